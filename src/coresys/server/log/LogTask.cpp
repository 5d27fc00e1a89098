#include "coresys/server/log/LogTask.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <shared_mutex>
#include <vector>

#include "coresys/server/log/LogFileEntry.h"
#include "coresys/server/log/LogLayout.h"
#include "coresys/server/log/LogText.h"
#include "coresys/server/log/WriteBuffer.h"
#include "coresys/server/task/ServerFatal.h"
#include "coresys/server/winnt/Service/EventReport.h"
#include "platform/Root.h"

using namespace logfmt;

namespace {

std::shared_mutex g_reporterLock;
LogTask::LogStateReporter g_reporter;

// Event-log severities (see ReportNtEvent).
constexpr int kSeverityError = 2;
constexpr int kSeverityWarning = 4;
constexpr int kSeverityInformation = 5;

void DeleteLogFile(const std::string& path) {
    // Log files are created read-only; deleting one makes it writable first.
    ::chmod(path.c_str(), 0644);
    ::unlink(path.c_str());
}

}  // namespace

void LogTask::SetLogStateReporter(LogStateReporter reporter) {
    std::unique_lock<std::shared_mutex> hold(g_reporterLock);
    g_reporter = std::move(reporter);
}

LogTask::LogTask(const LogSettings& settings) : OruTask("Log Task"), settings_(settings) {}

LogTask::~LogTask() {
    EndThread();
    if (pending_.Count() != 0) {
        ServerFatalError("LogTask::~LogTask", "Write Pending queue is not empty");
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    catalog_.reset();
}

std::int32_t LogTask::Dispatch(TaskRequest& request, TaskResponse* response) {
    std::intptr_t answer = 0;
    switch (request.code) {
        case LOG_TASK_INIT:
            answer = InitLogTask();
            break;
        case LOG_TASK_WRITE:
            WriteRequest(reinterpret_cast<WriteBuffer*>(request.args[0]));
            break;
        case LOG_TASK_RESUME:
            if (suspended_.load()) {
                answer = InitLogTask();
            }
            break;
        case LOG_TASK_BARRIER:
            break;
        case LOG_TASK_CLOSE_FD: {
            // Only a reader's descriptor: never the log file being written
            // nor a standard stream.
            int fd = static_cast<int>(request.args[0]);
            if (fd > 2 && fd != fd_) {
                ::close(fd);
            }
            break;
        }
        case LOG_TASK_STOP:
            Suspend(true);
            return 1;
        default:
            ServerFatalError("LogTask::Dispatch", "Invalid LogTask request code");
    }
    if (response != nullptr) {
        response->result = answer;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Start and resume

std::uint32_t LogTask::InitLogTask() {
    bool wasSuspended = suspended_.exchange(false);
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (platform::MakeDirs(settings_.directory) != 0) {
        ReportNtEvent(kSeverityError, LogText(LTEXT_DIRECTORY_FAILED, settings_.directory.c_str(),
                                              std::strerror(errno)));
    }
    catalog_ = std::make_unique<LogCatalog>(settings_.directory, settings_.sizeLimit);
    if (!catalog_->IsOpen()) {
        ReportNtEvent(kSeverityError, catalog_->OpenFailure());
        Suspend(false);
        return 0;
    }
    const LogCatalogHeader& header = catalog_->Header();
    if (header.fileCount != 0) {
        std::uint32_t result = 0;
        if (header.state == kStateUpdating) {
            ServerFatalError("LogTask::InitLogTask", "Log catalog is inconsistent");
        }
        if (header.state == kStateClosed) {
            result = header.highLrba;
            if (wasSuspended) {
                ReportLogState(highestDropped_, true);
                // Nothing at or below the catalog's high LRBA may be handed
                // out twice, even when nothing was dropped.
                result = std::max(highestDropped_, header.highLrba);
                highestDropped_ = 0;
                readErrors_ = 0;
            }
        } else {
            result = FindEOL();
            if (wasSuspended) {
                result = std::max(result, highestDropped_);
                highestDropped_ = 0;
            }
        }
        nextLrba_ = BlockOf(result + kBlockSize);
        fileBytes_ = 0;
        if (!suspended_.load()) {
            catalog_->MarkOpen();
            if (!NewFile()) {
                Suspend(false);
            }
        }
        return result;
    }
    if (highestDropped_ != 0) {
        std::uint32_t result = highestDropped_;
        catalog_->SetHighLrba(result, header.highLrbaTime);
        nextLrba_ = BlockOf(result + kBlockSize);
        if (NewFile()) {
            highestDropped_ = 0;
        } else {
            Suspend(false);
        }
        return result;
    }
    // A new log: its first block holds the filler record alone.
    nextLrba_ = 0;
    if (!NewFile()) {
        Suspend(false);
        return 0;
    }
    std::vector<unsigned char> filler(kBlockSize, 0);
    PutLe32(filler.data() + kRecLength, kBlockSize);
    PutLe16(filler.data() + kRecClass, kClassFiller);
    PutLe16(filler.data() + kRecCode, 0);
    PutLe32(filler.data() + kRecBeginFlag, 1);
    PutLe32(filler.data() + kRecEndFlag, 1);
    if (!WriteAtCurrent(filler.data())) {
        DropCurrentFile();
        Suspend(false);
        return 0;
    }
    fileBytes_ = kBlockSize;
    catalog_->SetHighLrba(kBlockSize, catalog_->Header().highLrbaTime);
    nextLrba_ = kBlockSize;
    return 0;
}

// After a stop without close: the last sound record of the latest file is
// the end of the log. Every length read is bounded by its block and every
// block by the file's size.
std::uint32_t LogTask::FindEOL() {
    std::optional<LogFileEntry> latest = catalog_->LatestFile();
    if (!latest) {
        ServerFatalError("LogTask::FindEOL", "can't find latest log file entry");
    }
    std::string path = catalog_->FilePath(latest->Name());
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        ReportNtEvent(kSeverityError,
                      LogText(LTEXT_FILE_OPEN_FAILED, path.c_str(), std::strerror(errno)));
        Suspend(false);
        return 0;
    }
    struct stat info {};
    std::uint64_t size = ::fstat(fd, &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
    std::vector<unsigned char> blocks;
    for (std::uint64_t offset = 0; offset + kBlockSize <= size; offset += kBlockSize) {
        std::size_t at = blocks.size();
        blocks.resize(at + kBlockSize);
        ssize_t got = ::pread(fd, blocks.data() + at, kBlockSize, static_cast<off_t>(offset));
        if (got != static_cast<ssize_t>(kBlockSize)) {
            blocks.resize(at);
            break;
        }
    }
    ::close(fd);
    std::uint32_t blockCount = static_cast<std::uint32_t>(blocks.size() / kBlockSize);
    if (blockCount == 0) {
        catalog_->RemoveLatestFile();
        DeleteLogFile(path);
        return catalog_->Header().highLrba;
    }
    // Walk the last whole block; a block whose very first record is not
    // sound holds nothing usable, so the one before it is taken.
    for (std::uint32_t index = blockCount; index-- > 0;) {
        const unsigned char* block = blocks.data() + std::size_t{index} * kBlockSize;
        std::uint32_t offset = 0;
        std::uint32_t last = kBlockSize;
        bool damaged = false;
        while (offset + 8 <= kBlockSize) {
            std::uint32_t length = GetLe32(block + offset + kRecLength);
            if (offset != 0 && length >= kBlockSize) {
                break;
            }
            if (length < kRecordHeaderSize || length > kBlockSize - offset) {
                damaged = true;
                break;
            }
            last = offset;
            offset += RoundedLength(length);
        }
        if (damaged) {
            ReportNtEvent(kSeverityWarning,
                          LogText(LTEXT_FILE_DAMAGED, path.c_str(), index * kBlockSize + offset));
        }
        if (last == kBlockSize) {
            continue;
        }
        std::uint32_t lrba = latest->beginLrba + index * kBlockSize + last;
        std::uint32_t time = GetLe32(block + last + kRecTime);
        catalog_->SetHighLrba(lrba, time);
        if (!catalog_->CloseLatestFile(lrba, time)) {
            Suspend(false);
            return 0;
        }
        return lrba;
    }
    // Not one sound record: the entry is closed at what the catalog knew.
    std::uint32_t high = catalog_->Header().highLrba;
    if (!catalog_->CloseLatestFile(high, catalog_->Header().highLrbaTime)) {
        Suspend(false);
        return 0;
    }
    return high;
}

// ---------------------------------------------------------------------------
// Writing

void LogTask::WriteRequest(WriteBuffer* buffer) {
    if (buffer == nullptr) {
        return;
    }
    if (suspended_.load()) {
        highestDropped_ = std::max(highestDropped_, buffer->LastLrba());
        buffer->Reset();
        return;
    }
    if (buffer->BlockLrba() != nextLrba_) {
        pending_.Add(buffer);
        return;
    }
    if (!WriteAndAccount(buffer)) {
        return;
    }
    while (pending_.First() != nullptr && pending_.First()->BlockLrba() == nextLrba_) {
        if (!WriteAndAccount(pending_.TakeFirst())) {
            return;
        }
    }
}

bool LogTask::WriteAndAccount(WriteBuffer* buffer) {
    if (!WriteBlock(buffer->Data())) {
        highestDropped_ = std::max(highestDropped_, buffer->LastLrba());
        buffer->Reset();
        Suspend(false);
        return false;
    }
    catalog_->SetHighLrba(buffer->LastLrba(), buffer->TimeStamp());
    if (buffer->BundleId() != 0) {
        catalog_->SetBundleID(buffer->BundleId());
    }
    buffer->Reset();
    nextLrba_ += kBlockSize;
    return true;
}

bool LogTask::WriteBlock(const unsigned char* data) {
    std::uint64_t total = catalog_->Header().totalLogSize;
    if (total + kBlockSize > catalog_->SizeLimit() ||
        std::uint64_t{fileBytes_} + kBlockSize > settings_.maxFileSize || fd_ < 0) {
        if (!NewFile()) {
            return false;
        }
    }
    if (!WriteAtCurrent(data)) {
        ReportNtEvent(kSeverityError,
                      LogText(LTEXT_FILE_WRITE_FAILED, filePath_.c_str(), std::strerror(errno)));
        if (fileBytes_ == 0) {
            DropCurrentFile();
        }
        if (!NewFile()) {
            return false;
        }
        if (!WriteAtCurrent(data)) {
            ReportNtEvent(kSeverityError, LogText(LTEXT_FILE_WRITE_FAILED, filePath_.c_str(),
                                                  std::strerror(errno)));
            DropCurrentFile();
            return false;
        }
    }
    fileBytes_ += kBlockSize;
    return true;
}

bool LogTask::WriteAtCurrent(const unsigned char* data) {
    if (fd_ < 0) {
        return false;
    }
    std::uint32_t done = 0;
    while (done < kBlockSize) {
        ssize_t put =
            ::pwrite(fd_, data + done, kBlockSize - done, static_cast<off_t>(fileBytes_) + done);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            // A block is on disk whole or not at all: cut off what part of
            // it got there, so no reader meets half a block.
            int saved = errno;
            if (::ftruncate(fd_, static_cast<off_t>(fileBytes_)) != 0) {
                errno = saved;
            }
            errno = saved;
            return false;
        }
        done += static_cast<std::uint32_t>(put);
    }
    return true;
}

bool LogTask::NewFile() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    fileBytes_ = 0;
    if (catalog_ == nullptr || !catalog_->IsOpen()) {
        return false;
    }
    std::string name = LogFileName(catalog_->Header().lastFileNumber + 1);
    fileBeginLrba_ = nextLrba_;
    if (!catalog_->AddFile(name, nextLrba_)) {
        ReportNtEvent(kSeverityError, LogText(LTEXT_CATALOG_WRITE_FAILED, catalog_->Path().c_str(),
                                              std::strerror(errno)));
        return false;
    }
    filePath_ = catalog_->FilePath(name);
    // A stale file of that name (the catalog does not list it) is
    // overwritten from its start and cut to nothing, so none of its old
    // blocks can pass for this file's.
    ::chmod(filePath_.c_str(), 0644);
    fd_ = ::open(filePath_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0444);
    if (fd_ < 0) {
        ReportNtEvent(kSeverityError,
                      LogText(LTEXT_FILE_CREATE_FAILED, filePath_.c_str(), std::strerror(errno)));
        catalog_->RemoveLatestFile();
        return false;
    }
    ::fchmod(fd_, 0444);
    return true;
}

void LogTask::DropCurrentFile() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    DeleteLogFile(filePath_);
    if (catalog_ != nullptr && catalog_->IsOpen()) {
        catalog_->RemoveLatestFile();
    }
}

void LogTask::Suspend(bool atStop) {
    suspended_.store(true);
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    while (WriteBuffer* buffer = pending_.TakeFirst()) {
        highestDropped_ = std::max(highestDropped_, buffer->LastLrba());
        buffer->Reset();
    }
    catalog_.reset();
    if (!atStop) {
        ReportLogState(nextLrba_, false);
    }
}

void LogTask::ReportLogState(std::uint32_t lrba, bool resumed) {
    ReportNtEvent(resumed ? kSeverityInformation : kSeverityWarning,
                  LogText(resumed ? LTEXT_LOG_RESUMED : LTEXT_LOG_SUSPENDED, lrba, readErrors_));
    LogStateReporter reporter;
    {
        std::shared_lock<std::shared_mutex> hold(g_reporterLock);
        reporter = g_reporter;
    }
    if (reporter) {
        reporter(lrba, readErrors_);
    }
}
