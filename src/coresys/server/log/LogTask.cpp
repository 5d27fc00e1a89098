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

#include "coresys/server/log/LogBlock.h"
#include "coresys/server/log/LogFileEntry.h"
#include "coresys/server/log/LogFileIo.h"
#include "coresys/server/log/LogLayout.h"
#include "coresys/server/log/LogText.h"
#include "coresys/server/log/ReadBuffer.h"
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
            answer = InitLogTask(0);
            break;
        case LOG_TASK_WRITE:
            WriteRequest(reinterpret_cast<WriteBuffer*>(request.args[0]));
            break;
        case LOG_TASK_READ:
            answer = LogRead(static_cast<std::uint32_t>(request.args[0]),
                             static_cast<std::uint32_t>(request.args[1]),
                             static_cast<std::uint32_t>(request.args[2]),
                             reinterpret_cast<ReadBuffer*>(request.args[3]));
            break;
        case LOG_TASK_RESUME:
            if (suspended_.load()) {
                answer = InitLogTask(static_cast<std::uint32_t>(request.args[0]));
                if (response != nullptr) {
                    response->value = lastWritten_;
                    response->value4 = 1;
                }
            }
            break;
        case LOG_TASK_BARRIER:
            if (response != nullptr) {
                bool running = !suspended_.load() && catalog_ != nullptr;
                response->value = running ? catalog_->Header().startLrba : 0;
                response->value4 = running ? catalog_->Header().highLrba : 0;
                answer = running ? 1 : 0;
            }
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

std::uint32_t LogTask::InitLogTask(std::uint32_t floor) {
    const bool wasSuspended = suspended_.exchange(false);
    // Nothing the writers handed out may be handed out again, whether it
    // reached the Log Task (and was dropped) or not.
    highestDropped_ = std::max(highestDropped_, floor);
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
    if (catalog_->WasRepaired()) {
        ReportNtEvent(kSeverityWarning, LogText(LTEXT_CATALOG_REPAIRED, catalog_->Path().c_str()));
    }
    const std::uint32_t dropped = highestDropped_;
    const LogCatalogHeader& header = catalog_->Header();
    std::uint32_t result = 0;
    if (header.fileCount != 0) {
        // A catalog found in the middle of a change was repaired to state
        // 1 as it was opened: its end is looked for like after any stop
        // without close.
        if (header.state == kStateClosed) {
            result = header.highLrba;
        } else {
            result = FindEOL();
            if (suspended_.load()) {
                return result;
            }
        }
        // The last record on disk: the latest file's end (the catalog's
        // high LRBA, which the search for the end sets).
        lastWritten_ = catalog_->Header().highLrba;
        // Nothing at or below the catalog's high LRBA may be handed out
        // twice, even when nothing was dropped.
        result = std::max({result, highestDropped_, catalog_->Header().highLrba});
        nextLrba_ = BlockOf(result + kBlockSize);
        fileBytes_ = 0;
        catalog_->MarkOpen();
        if (!NewFile()) {
            Suspend(false);
            return result;
        }
    } else if (std::max(highestDropped_, header.highLrba) != 0) {
        // No file, but LRBAs were handed out before: go on above them.
        result = std::max(highestDropped_, header.highLrba);
        catalog_->SetHighLrba(result, header.highLrbaTime);
        lastWritten_ = result;
        nextLrba_ = BlockOf(result + kBlockSize);
        if (!NewFile()) {
            Suspend(false);
            return result;
        }
    } else {
        // A new log: its first block holds the filler record alone.
        nextLrba_ = 0;
        lastWritten_ = 0;
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
    }
    if (wasSuspended) {
        ReportLogState(dropped, true);
        readErrors_ = 0;
    }
    highestDropped_ = 0;
    return result;
}

// After a stop without close: the last sound record of the latest file is
// the end of the log. The file's whole blocks are looked at from the last
// one back; a block whose first record is not sound (never written whole, or
// a zero-filled tail the file system kept) is passed over for the one
// before. A latest file that does not exist was never created: its entry is
// withdrawn.
std::uint32_t LogTask::FindEOL() {
    std::optional<LogFileEntry> latest = catalog_->LatestFile();
    if (!latest) {
        ServerFatalError("LogTask::FindEOL", "can't find latest log file entry");
    }
    std::string path = catalog_->FilePath(latest->Name());
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT && latest->endLrba == 0) {
        ReportNtEvent(kSeverityWarning, LogText(LTEXT_FILE_MISSING, path.c_str()));
        if (!catalog_->RemoveLatestFile()) {
            Suspend(false);
            return 0;
        }
        return catalog_->Header().highLrba;
    }
    if (fd < 0) {
        ReportNtEvent(kSeverityError,
                      LogText(LTEXT_FILE_OPEN_FAILED, path.c_str(), std::strerror(errno)));
        Suspend(false);
        return 0;
    }
    struct stat info {};
    std::uint64_t size = ::fstat(fd, &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
    std::uint64_t blockCount = size / kBlockSize;
    std::vector<unsigned char> block(kBlockSize);
    bool found = false;
    std::uint32_t lrba = 0;
    std::uint32_t time = 0;
    for (std::uint64_t index = blockCount; index-- > 0 && !found;) {
        if (!logio::ReadAt(fd, block.data(), kBlockSize, index * kBlockSize)) {
            continue;
        }
        const auto blockLrba = static_cast<std::uint32_t>(latest->beginLrba + index * kBlockSize);
        LogBlockWalk walk(block.data(), blockLrba);
        if (walk.Damaged()) {
            ReportNtEvent(kSeverityWarning,
                          LogText(LTEXT_FILE_DAMAGED, path.c_str(),
                                  static_cast<unsigned>(index * kBlockSize + walk.DamageOffset())));
        }
        if (walk.Count() > 0) {
            LogRecordView last = walk.Record(walk.Count() - 1);
            lrba = last.Lrba();
            time = last.Time();
            found = true;
        }
    }
    ::close(fd);
    if (blockCount == 0 && latest->endLrba == 0) {
        // Not one block reached the file: it never held a record.
        if (!catalog_->RemoveLatestFile()) {
            Suspend(false);
            return 0;
        }
        logio::DeleteLogFile(path);
        return catalog_->Header().highLrba;
    }
    if (!found) {
        // Not one sound record: the entry is closed at what the catalog knew.
        lrba = std::max(catalog_->Header().highLrba, latest->beginLrba);
        time = catalog_->Header().highLrbaTime;
    }
    if (time == 0) {
        // Nothing stamped in the file (the filler of a new log alone): an
        // end time of 0 would read as a file still open. The file ends when
        // it was begun, which is when the filler was written.
        time = latest->beginTime;
    }
    catalog_->SetHighLrba(lrba, time);
    if (!catalog_->CloseLatestFile(lrba, time)) {
        Suspend(false);
        return 0;
    }
    return lrba;
}

// ---------------------------------------------------------------------------
// Reading

std::intptr_t LogTask::LogRead(std::uint32_t mode, std::uint32_t lrba, std::uint32_t time,
                               ReadBuffer* buffer) {
    if (mode > LOG_READ_LRBA_THEN_LATER) {
        ServerFatalError("LogTask::LogRead", "Invalid read request");
    }
    if (buffer == nullptr || suspended_.load() || catalog_ == nullptr || !catalog_->IsOpen()) {
        return 0;
    }
    LogFileReader::Writer writer;
    writer.fd = fd_;
    writer.beginLrba = fileBeginLrba_;
    LogFileReader::Outcome outcome = reader_.Read(*catalog_, writer, mode, lrba, time, *buffer);
    bool failed = outcome == LogFileReader::Outcome::kFailed ||
                  (outcome == LogFileReader::Outcome::kRead && buffer->Damaged());
    if (failed) {
        if (++readErrors_ >= kReadErrorLimit) {
            ReportNtEvent(kSeverityError, LogText(LTEXT_READ_ERRORS, readErrors_));
            Suspend(false);
            return 0;
        }
    } else if (outcome == LogFileReader::Outcome::kRead) {
        readErrors_ = 0;
    }
    return outcome == LogFileReader::Outcome::kRead ? 1 : 0;
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
    if (buffer->BlockLrba() < nextLrba_) {
        // Numbered before the log went on above it (a block that a writer
        // still filled while the log resumed): its place is taken.
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
            // The file this task just started got nothing: it goes again.
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
    if (logio::WriteAt(fd_, data, kBlockSize, fileBytes_)) {
        return true;
    }
    // A block is on disk whole or not at all: cut off what part of it got
    // there, so no reader meets half a block.
    const int saved = errno;
    if (::ftruncate(fd_, static_cast<off_t>(fileBytes_)) != 0) {
        // The write's failure is the one to report, not the cut's.
    }
    errno = saved;
    return false;
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
    // Only a file that this task added and that holds no block: an entry of
    // a file with blocks, or of a file another run left, is never withdrawn.
    if (fd_ < 0 || fileBytes_ != 0) {
        return;
    }
    ::close(fd_);
    fd_ = -1;
    logio::DeleteLogFile(filePath_);
    if (catalog_ != nullptr && catalog_->HasCurrentFile()) {
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
        reporter(lrba, readErrors_, !resumed);
    }
}
