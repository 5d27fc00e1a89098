#include "support/LogGenerator.h"

#include <cstdio>
#include <cstring>

#include "coresys/server/log/LogLayout.h"
#include "coresys/server/task/OruTask.h"
#include "platform/Root.h"

namespace testsupport {

LogGenerator::LogGenerator(const Options& options) : options_(options), clock_(options.startTime) {
    if (OruTask::FindCurrentTask() == nullptr) {
        self_ = std::make_unique<OruTask>(OruTask::BindToCurrentThread{}, "Log Generator");
    }
    platform::MakeDirs(options_.directory);
    logclock::SetSource(&clock_);
    LogSettings settings;
    settings.directory = options_.directory;
    settings.maxFileSize = options_.maxFileSize;
    settings.sizeLimit = options_.sizeLimit;
    manager_ = std::make_unique<LogMgr>(settings);
    manager_->Init();
}

LogGenerator::~LogGenerator() {
    Stop();
    logclock::SetSource(nullptr);
}

void LogGenerator::Stop() {
    if (manager_ == nullptr) {
        return;
    }
    for (auto& [serial, log] : logs_) {
        manager_->CloseSubsysLog(log);
    }
    logs_.clear();
    manager_.reset();
}

void LogGenerator::SetTime(std::uint32_t now) {
    if (now != clock_.Now() && manager_ != nullptr) {
        manager_->Sync();
    }
    clock_.Set(now);
}

SubsysLog* LogGenerator::LogOf(const std::string& serial) {
    auto found = logs_.find(serial);
    if (found != logs_.end()) {
        return found->second;
    }
    SubsysLog* log = manager_->OpenSubsysLog(serial.empty() ? nullptr : serial.c_str());
    logs_.emplace(serial, log);
    return log;
}

std::uint32_t LogGenerator::Write(const std::string& serial, std::uint16_t recordClass,
                                  std::uint16_t code, const std::vector<unsigned char>& payload,
                                  std::uint32_t time) {
    std::vector<unsigned char> record(logfmt::kRecordHeaderSize + payload.size(), 0);
    logfmt::PutLe32(record.data() + logfmt::kRecLength, static_cast<std::uint32_t>(record.size()));
    logfmt::PutLe16(record.data() + logfmt::kRecClass, recordClass);
    logfmt::PutLe16(record.data() + logfmt::kRecCode, code);
    if (!payload.empty()) {
        std::memcpy(record.data() + logfmt::kRecordHeaderSize, payload.data(), payload.size());
    }
    lastLrba_ = LogOf(serial)->WriteRecord(record.data(), 0, time != 0 ? time : Now()).second;
    ++records_;
    return lastLrba_;
}

std::uint32_t LogGenerator::WriteWords(const std::string& serial, std::uint16_t recordClass,
                                       std::uint16_t code, const std::vector<std::uint32_t>& words,
                                       std::uint32_t length, std::uint32_t time) {
    std::size_t bytes = 4 * words.size();
    if (length > logfmt::kRecordHeaderSize) {
        bytes = length - logfmt::kRecordHeaderSize;
    }
    std::vector<unsigned char> payload(bytes, 0);
    for (std::size_t i = 0; i < words.size() && 4 * i + 4 <= bytes; ++i) {
        logfmt::PutLe32(payload.data() + 4 * i, words[i]);
    }
    return Write(serial, recordClass, code, payload, time);
}

std::uint32_t LogGenerator::WriteSeries(const Series& series) {
    const std::uint32_t first = series.first != 0 ? series.first : Now();
    std::uint32_t written = 0;
    for (std::uint32_t index = 0; index < series.count; ++index) {
        const std::uint32_t slotTime = first + index * series.interval;
        SetTime(slotTime);
        for (std::uint32_t s = 0; s < series.serials.size(); ++s) {
            Slot slot{s, index, slotTime};
            if (series.skip && series.skip(slot)) {
                continue;
            }
            std::uint32_t stamp = slotTime;
            if (series.jitter) {
                stamp = static_cast<std::uint32_t>(static_cast<std::int64_t>(slotTime) +
                                                   series.jitter(slot));
            }
            std::vector<std::uint32_t> words =
                series.words ? series.words(slot) : DefaultWords(slot, series.length);
            WriteWords(series.serials[s], series.recordClass, series.code, words, series.length,
                       stamp);
            ++written;
        }
    }
    return written;
}

bool LogGenerator::Flush() {
    return manager_ != nullptr && manager_->FlushToDisk();
}

std::vector<std::string> LogGenerator::Serials(std::uint32_t count) {
    std::vector<std::string> serials;
    for (std::uint32_t i = 1; i <= count; ++i) {
        char serial[16];
        std::snprintf(serial, sizeof serial, "QX%010u", i);
        serials.emplace_back(serial);
    }
    return serials;
}

std::vector<std::uint32_t> LogGenerator::DefaultWords(const Slot& slot, std::uint32_t length) {
    std::size_t count = length > logfmt::kRecordHeaderSize
                            ? (length - logfmt::kRecordHeaderSize) / 4
                            : std::size_t{4};
    std::vector<std::uint32_t> words(count, 0);
    const std::uint32_t head[] = {1, slot.index, slot.serialIndex, slot.time};
    for (std::size_t k = 0; k < count; ++k) {
        words[k] = k < 4 ? head[k]
                         : (slot.index * 2654435761u) ^ (slot.serialIndex * 40503u) ^
                               static_cast<std::uint32_t>(k * 97u);
    }
    return words;
}

}  // namespace testsupport
