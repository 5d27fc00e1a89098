// What the log tests share: raw file bytes, little-endian words read from
// them, and a walk over the records of a log file as a reader would make
// it (every length bounded by its block).
#pragma once

#include <sys/resource.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "coresys/server/log/LogMgr.h"
#include "support/FileBytes.h"

namespace logtest {

using Bytes = std::vector<unsigned char>;

using testsupport::ReadBytes;
using testsupport::WriteBytes;
std::uint32_t Le32(const Bytes& bytes, std::size_t at);
std::uint16_t Le16(const Bytes& bytes, std::size_t at);
// Bytes of a little-endian word, for literal images.
void PutLe32(Bytes& bytes, std::size_t at, std::uint32_t value);

struct Record {
    std::uint32_t fileOffset;
    std::uint32_t length;
    std::uint16_t recordClass;
    std::uint16_t code;
    std::uint32_t bundleId;
    std::uint32_t lrba;
    std::uint32_t backLink;
    std::string serial;
    std::uint32_t beginFlag;
    std::uint32_t endFlag;
};

// The records of a log file, block by block; stops at a damaged length.
std::vector<Record> WalkLogFile(const Bytes& file);

// The names of the files in the catalog's age chain, oldest first (at most
// 100000: a damaged chain cannot loop).
std::vector<std::string> ChainFileNames(const std::string& directory);
// Every record of every file of the chain, oldest first.
std::vector<Record> ChainRecords(const std::string& directory);

// The service's log manager over directory, with files of maxFileSize
// bytes (call on a task's thread; only the tests that link the log use it).
inline std::unique_ptr<LogMgr> StartLog(const std::string& directory,
                                        std::uint32_t maxFileSize = 40960) {
    LogSettings settings;
    settings.directory = directory;
    settings.maxFileSize = maxFileSize;
    auto mgr = std::make_unique<LogMgr>(settings);
    mgr->Init();
    return mgr;
}
// Everything written so far is in the files.
inline void Settle(LogMgr& mgr) {
    mgr.FlushToDisk();
}

// Whether a record of the event log of the current root holds the text.
bool EventLogHas(const std::string& piece);

// Files may not grow beyond a size (RLIMIT_FSIZE) while it lives; SIGXFSZ
// is ignored meanwhile, so a write past the limit fails with EFBIG. With
// keepSignal the signal stays as it was: for a child started meanwhile,
// which inherits the limit and the signal's disposition, as a service
// manager would set them.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes, bool keepSignal = false);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    void Lift();
    void Set(rlim_t bytes);

  private:
    rlimit previous_{};
    bool keepSignal_;
    void (*previousHandler_)(int) = nullptr;
};

}  // namespace logtest
