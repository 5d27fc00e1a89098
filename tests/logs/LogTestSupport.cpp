#include "LogTestSupport.h"

#include "support/ServerProcess.h"

#include <csignal>
#include <cstring>

namespace logtest {

std::uint32_t Le32(const Bytes& bytes, std::size_t at) {
    if (at + 4 > bytes.size()) {
        return 0xDEADBEEF;
    }
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

std::uint16_t Le16(const Bytes& bytes, std::size_t at) {
    if (at + 2 > bytes.size()) {
        return 0xBEEF;
    }
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

void PutLe32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    if (bytes.size() < at + 4) {
        bytes.resize(at + 4);
    }
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

std::vector<Record> WalkLogFile(const Bytes& file) {
    std::vector<Record> records;
    for (std::size_t block = 0; block + 4096 <= file.size(); block += 4096) {
        std::size_t offset = 0;
        while (offset + 60 <= 4096) {
            std::size_t at = block + offset;
            std::uint32_t length = Le32(file, at + 4);
            if (offset != 0 && length >= 4096) {
                break;
            }
            if (length < 60 || length > 4096 - offset) {
                return records;
            }
            Record r;
            r.fileOffset = static_cast<std::uint32_t>(at);
            r.length = length;
            r.recordClass = Le16(file, at + 12);
            r.code = Le16(file, at + 14);
            r.bundleId = Le32(file, at + 20);
            r.lrba = Le32(file, at + 24);
            r.backLink = Le32(file, at + 28);
            const char* serial = reinterpret_cast<const char*>(file.data() + at + 36);
            std::size_t n = 0;
            while (n < 13 && serial[n] != '\0') {
                ++n;
            }
            r.serial.assign(serial, n);
            r.beginFlag = Le32(file, at + 52);
            r.endFlag = Le32(file, at + 56);
            records.push_back(r);
            offset += (length + 7) & ~7u;
        }
    }
    return records;
}

std::vector<std::string> ChainFileNames(const std::string& directory) {
    std::vector<std::string> names;
    Bytes catalog = ReadBytes(directory + "/LOGCATLG");
    std::uint32_t at = Le32(catalog, 40);
    for (int n = 0; at != 0 && n < 100000 && at + 44 <= catalog.size(); ++n) {
        const char* name = reinterpret_cast<const char*>(catalog.data() + at + 28);
        names.emplace_back(name, ::strnlen(name, 16));
        at = Le32(catalog, at);
    }
    return names;
}

std::vector<Record> ChainRecords(const std::string& directory) {
    std::vector<Record> all;
    for (const std::string& name : ChainFileNames(directory)) {
        auto records = WalkLogFile(ReadBytes(directory + "/" + name));
        all.insert(all.end(), records.begin(), records.end());
    }
    return all;
}

bool EventLogHas(const std::string& piece) {
    for (const std::string& text : testsupport::EventLogTexts()) {
        if (text.find(piece) != std::string::npos) {
            return true;
        }
    }
    return false;
}

FileSizeLimit::FileSizeLimit(rlim_t bytes, bool keepSignal) : keepSignal_(keepSignal) {
    if (!keepSignal_) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    }
    ::getrlimit(RLIMIT_FSIZE, &previous_);
    Set(bytes);
}

FileSizeLimit::~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &previous_);
    if (!keepSignal_) {
        std::signal(SIGXFSZ, previousHandler_);
    }
}

void FileSizeLimit::Lift() {
    ::setrlimit(RLIMIT_FSIZE, &previous_);
}

void FileSizeLimit::Set(rlim_t bytes) {
    rlimit limit = previous_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

}  // namespace logtest
