#include "coresys/server/log/LogMgr.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "coresys/server/log/LogLayout.h"
#include "coresys/server/log/LogText.h"
#include "coresys/server/task/ServerFatal.h"
#include "coresys/server/winnt/Service/EventReport.h"
#include "coresys/server/winnt/Service/ServerConfig.h"
#include "platform/Root.h"

using namespace logfmt;

namespace {

// Slots of a new table beside the subsystems' and by how many it grows.
constexpr std::size_t kTableSpare = 6;
constexpr std::size_t kTableGrowth = 5;
constexpr int kSeverityWarning = 4;

}  // namespace

LogSettings LogMgr::ConfiguredSettings() {
    LogSettings settings;
    const ServerConfig* config = GetServerConfig();
    std::string directory = config != nullptr ? config->logDirectory : GetLogDirectory();
    settings.directory = platform::MapDrivePath(directory);
    if (config != nullptr) {
        settings.sizeLimit = config->logSizeLimit;
        settings.maxFileSize = config->logFileSize;
    }
    return settings;
}

LogMgr::LogMgr() : LogMgr(ConfiguredSettings()) {}

LogMgr::LogMgr(const LogSettings& settings) : task_(std::make_unique<LogTask>(settings)) {
    TaskRequest init;
    init.code = LOG_TASK_INIT;
    TaskResponse answer = task_->Request(init);
    nextLrba_ = static_cast<std::uint32_t>(answer.result);
    pool_ = std::make_unique<WriteBufferPool>(task_.get(), nextLrba_);
    table_.resize(kTableSpare);
}

LogMgr::~LogMgr() {
    {
        std::lock_guard<std::mutex> hold(tableLock_);
        for (SubsysLog* log : held_) {
            log->Close();
        }
        held_.clear();
    }
    pool_->Flush();
    TaskRequest stop;
    stop.code = LOG_TASK_STOP;
    task_->Request(stop);
    task_.reset();
    for (auto& slot : table_) {
        if (slot != nullptr && slot->OpenCount() == 0) {
            slot.reset();
        }
    }
    // A log still open by a user outlives the manager's table only as a
    // leak; its destructor would end the service at stop.
    for (auto& slot : table_) {
        (void)slot.release();
    }
    pool_.reset();
}

void LogMgr::Init() {
    std::lock_guard<std::mutex> hold(tableLock_);
    if (table_.empty()) {
        table_.resize(kTableSpare);
    }
    if (table_[0] == nullptr) {
        table_[0] = std::make_unique<SubsysLog>(nullptr, pool_.get(), this);
    }
}

SubsysLog* LogMgr::OpenLocked(const char* serial) {
    bool own = serial == nullptr || serial[0] == '\0';
    char key[13] = {};
    if (!own) {
        std::strncpy(key, serial, sizeof key - 1);
    }
    if (table_.empty()) {
        table_.resize(kTableSpare);
    }
    if (own) {
        if (table_[0] == nullptr) {
            table_[0] = std::make_unique<SubsysLog>(nullptr, pool_.get(), this);
        }
        table_[0]->Open();
        return table_[0].get();
    }
    for (std::size_t i = 1; i < table_.size(); ++i) {
        if (table_[i] != nullptr && std::memcmp(table_[i]->Serial(), key, sizeof key) == 0) {
            table_[i]->Open();
            return table_[i].get();
        }
    }
    std::size_t slot = 1;
    while (slot < table_.size() && table_[slot] != nullptr) {
        ++slot;
    }
    if (slot == table_.size()) {
        table_.resize(table_.size() + kTableGrowth);
    }
    table_[slot] = std::make_unique<SubsysLog>(key, pool_.get(), this);
    table_[slot]->Open();
    return table_[slot].get();
}

SubsysLog* LogMgr::OpenSubsysLog(const char* serial) {
    std::lock_guard<std::mutex> hold(tableLock_);
    return OpenLocked(serial);
}

void LogMgr::CloseSubsysLog(SubsysLog* log) {
    std::lock_guard<std::mutex> hold(tableLock_);
    auto found = std::find_if(table_.begin(), table_.end(),
                              [log](const auto& slot) { return slot.get() == log; });
    if (log == nullptr || found == table_.end()) {
        ServerFatalError("LogMgr::CloseSubsysLog", "Invalid subsystem log");
    }
    log->Close();
    if (log->OpenCount() == 0) {
        DeleteSubsysLog(log);
    }
}

void LogMgr::DeleteSubsysLog(SubsysLog* log) {
    for (auto& slot : table_) {
        if (slot.get() == log) {
            slot.reset();
            return;
        }
    }
    ServerFatalError("LogMgr::DeleteSubsysLog", "Invalid SubsysLog pointer");
}

void LogMgr::WriteSubsystemRecord(const char* serial, const unsigned char* bytes,
                                  std::uint32_t length) {
    int why = -1;
    std::uint32_t claimed = 0;
    if (bytes == nullptr || length < kRecordHeaderSize) {
        why = LTEXT_WHY_RECORD_SHORT;
    } else {
        claimed = GetLe32(bytes + kRecLength);
        if (claimed < kRecordHeaderSize || claimed > kBlockSize) {
            why = LTEXT_WHY_RECORD_LENGTH;
        } else if (claimed > length) {
            why = LTEXT_WHY_RECORD_SHORT;
        }
    }
    if (why >= 0) {
        ReportNtEvent(kSeverityWarning, LogText(LTEXT_RECORD_REFUSED, LogText(why).c_str()));
        return;
    }
    SubsysLog* log = nullptr;
    {
        std::lock_guard<std::mutex> hold(tableLock_);
        char key[13] = {};
        if (serial != nullptr) {
            std::strncpy(key, serial, sizeof key - 1);
        }
        for (SubsysLog* held : held_) {
            if (std::memcmp(held->Serial(), key, sizeof key) == 0) {
                log = held;
                break;
            }
        }
        if (log == nullptr) {
            log = OpenLocked(key);
            held_.push_back(log);
        }
    }
    log->WriteRecord(bytes);
}

void LogMgr::WriteServiceText(std::uint16_t code, const char* text) {
    unsigned char record[kRecordHeaderSize + kTextFieldSize] = {};
    PutLe32(record + kRecLength, sizeof record);
    PutLe16(record + kRecClass, kClassText);
    PutLe16(record + kRecCode, code);
    if (text != nullptr) {
        std::strncpy(reinterpret_cast<char*>(record + kRecordHeaderSize), text, kTextFieldSize - 1);
    }
    WriteSubsystemRecord(nullptr, record, sizeof record);
}

std::uint32_t LogMgr::ResumeLog() {
    return pool_->Resume([this](std::uint32_t lastLrba) {
        TaskRequest resume;
        resume.code = LOG_TASK_RESUME;
        resume.args[0] = static_cast<std::intptr_t>(lastLrba);
        const TaskResponse answer = task_->Request(resume);
        WriteBufferPool::Resumed resumed;
        resumed.lrba = static_cast<std::uint32_t>(answer.result);
        resumed.resumed = answer.ended == 0 && ResumeRan(answer);
        resumed.lastWritten = ResumeLastWritten(answer);
        return resumed;
    });
}

bool LogMgr::FlushToDisk() {
    pool_->Flush();
    return Sync().readable;
}

LogBlockSource::Window LogMgr::Sync() {
    TaskRequest barrier;
    barrier.code = LOG_TASK_BARRIER;
    TaskResponse answer = task_->Request(barrier);
    Window window;
    window.readable = answer.ended == 0 && answer.result == 1;
    window.startLrba = BarrierStartLrba(answer);
    window.highLrba = BarrierHighLrba(answer);
    return window;
}

bool LogMgr::ReadBlock(std::uint32_t mode, std::uint32_t lrba, std::uint32_t time,
                       ReadBuffer& buffer) {
    TaskRequest read;
    read.code = LOG_TASK_READ;
    read.args[0] = static_cast<std::intptr_t>(mode);
    read.args[1] = static_cast<std::intptr_t>(lrba);
    read.args[2] = static_cast<std::intptr_t>(time);
    read.args[3] = reinterpret_cast<std::intptr_t>(&buffer);
    TaskResponse answer = task_->Request(read);
    return answer.ended == 0 && answer.result == 1;
}

void LogMgr::ReleaseDescriptor(int fd) {
    TaskRequest close;
    close.code = LOG_TASK_CLOSE_FD;
    close.args[0] = fd;
    if (task_->SendRequest(close) != 0 && fd > 2) {
        // The Log Task has ended: nothing reads through it any more.
        ::close(fd);
    }
}
