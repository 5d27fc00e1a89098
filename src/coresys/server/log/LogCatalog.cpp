#include "coresys/server/log/LogCatalog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "coresys/server/log/LogLayout.h"
#include "coresys/server/log/LogText.h"
#include "coresys/server/task/ServerFatal.h"

using namespace logfmt;

namespace {

bool ReadAt(int fd, unsigned char* data, std::size_t size, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < size) {
        ssize_t got = ::pread(fd, data + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

bool WriteAt(int fd, const unsigned char* data, std::size_t size, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < size) {
        ssize_t put = ::pwrite(fd, data + done, size - done, static_cast<off_t>(offset + done));
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    return true;
}

// Bytes of the closed span [begin, end] rounded down to whole blocks; an
// entry that never got a record (end below its begin) spans nothing, so the
// totals never wrap.
std::uint32_t ClosedSpan(std::uint32_t begin, std::uint32_t end) {
    if (static_cast<std::uint64_t>(end) + kBlockSize < begin) {
        return 0;
    }
    std::uint64_t span = static_cast<std::uint64_t>(end) + kBlockSize - begin;
    return static_cast<std::uint32_t>(span) & ~(kBlockSize - 1);
}

// Only names of the form "L" and seven digits are log files: a damaged entry
// must never make the catalog delete anything else.
bool IsLogFileName(const char* name) {
    if (name[0] != 'L' || std::strlen(name) != 8) {
        return false;
    }
    for (int i = 1; i < 8; ++i) {
        if (name[i] < '0' || name[i] > '9') {
            return false;
        }
    }
    return true;
}

}  // namespace

std::uint32_t LogCatalog::Now() {
    return static_cast<std::uint32_t>(std::time(nullptr));
}

LogCatalog::LogCatalog(const std::string& directory, std::uint32_t sizeLimit)
    : directory_(directory), path_(directory + "/" + kCatalogName), sizeLimit_(sizeLimit) {
    int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        failure_ = LogText(LTEXT_CATALOG_NOT_OPEN, path_.c_str(), std::strerror(errno));
        return;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        failure_ = LogText(LTEXT_CATALOG_NOT_OPEN, path_.c_str(), std::strerror(errno));
        ::close(fd);
        return;
    }
    fd_ = fd;
    if (info.st_size == 0) {
        header_ = LogCatalogHeader();
        if (!WriteHeader()) {
            failure_ = LogText(LTEXT_CATALOG_WRITE_FAILED, path_.c_str(), std::strerror(errno));
        }
        return;
    }
    unsigned char image[kHeaderSize];
    if (static_cast<std::uint64_t>(info.st_size) < kHeaderSize ||
        !ReadAt(fd_, image, sizeof image, 0)) {
        failure_ = LogText(LTEXT_CATALOG_SHORT, path_.c_str(), static_cast<unsigned>(info.st_size));
        CloseDescriptor();
        return;
    }
    header_.Decode(image);
    if (header_.version != 0) {
        failure_ = LogText(LTEXT_CATALOG_VERSION, path_.c_str(), header_.version);
        CloseDescriptor();
        return;
    }
    if (!CheckStructure(static_cast<std::uint64_t>(info.st_size))) {
        CloseDescriptor();
    }
}

LogCatalog::~LogCatalog() {
    if (IsOpen()) {
        Close();
    }
}

void LogCatalog::CloseDescriptor() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool LogCatalog::IsSlot(std::uint32_t offset) const {
    return offset >= kHeaderSize && (offset - kHeaderSize) % kEntrySize == 0 &&
           static_cast<std::uint64_t>(offset) + kEntrySize <= header_.catalogSize;
}

// Every link and size is checked against the file before the catalog is
// trusted: a damaged catalog is refused whole rather than repaired by
// writes that would follow its broken links.
bool LogCatalog::CheckStructure(std::uint64_t fileSize) {
    auto damaged = [this](int why) {
        failure_ = LogText(LTEXT_CATALOG_DAMAGED, path_.c_str(), LogText(why).c_str());
        return false;
    };
    if (header_.catalogSize < kHeaderSize ||
        (header_.catalogSize - kHeaderSize) % kEntrySize != 0 || header_.catalogSize > fileSize) {
        return damaged(LTEXT_WHY_SIZE);
    }
    std::uint32_t slots = (header_.catalogSize - kHeaderSize) / kEntrySize;
    for (std::uint32_t link : {header_.oldestEntry, header_.latestEntry, header_.freeList}) {
        if (link != 0 && !IsSlot(link)) {
            return damaged(LTEXT_WHY_LINK);
        }
    }
    if (header_.fileCount > slots || (header_.fileCount == 0) != (header_.oldestEntry == 0) ||
        (header_.oldestEntry == 0) != (header_.latestEntry == 0)) {
        return damaged(LTEXT_WHY_CHAIN);
    }
    std::uint32_t count = 0;
    std::uint32_t previous = 0;
    std::uint32_t at = header_.oldestEntry;
    while (at != 0) {
        LogFileEntry entry;
        if (count >= header_.fileCount || !IsSlot(at)) {
            return damaged(LTEXT_WHY_CHAIN);
        }
        if (!ReadEntry(at, entry)) {
            return damaged(LTEXT_WHY_SIZE);
        }
        if (entry.previous != previous) {
            return damaged(LTEXT_WHY_CHAIN);
        }
        if (!IsLogFileName(entry.fileName)) {
            return damaged(LTEXT_WHY_NAME);
        }
        ++count;
        previous = at;
        at = entry.next;
    }
    if (count != header_.fileCount || previous != header_.latestEntry) {
        return damaged(LTEXT_WHY_CHAIN);
    }
    std::uint32_t freeCount = 0;
    for (std::uint32_t slot = header_.freeList; slot != 0;) {
        LogFileEntry entry;
        if (++freeCount > slots - count || !IsSlot(slot) || !ReadEntry(slot, entry)) {
            return damaged(LTEXT_WHY_FREE);
        }
        slot = entry.next;
    }
    return true;
}

bool LogCatalog::WriteHeader() {
    unsigned char image[kHeaderSize];
    header_.Encode(image);
    if (fd_ < 0 || !WriteAt(fd_, image, sizeof image, 0)) {
        CloseDescriptor();
        return false;
    }
    return true;
}

bool LogCatalog::ReadEntry(std::uint32_t offset, LogFileEntry& entry) {
    unsigned char image[kEntrySize];
    if (fd_ < 0 || offset == 0 || !ReadAt(fd_, image, sizeof image, offset)) {
        return false;
    }
    entry.Decode(image);
    return true;
}

bool LogCatalog::WriteEntry(std::uint32_t offset, const LogFileEntry& entry) {
    unsigned char image[kEntrySize];
    entry.Encode(image);
    return fd_ >= 0 && offset != 0 && WriteAt(fd_, image, sizeof image, offset);
}

bool LogCatalog::Close() {
    if (fd_ < 0) {
        return false;
    }
    bool ok = true;
    if (current_) {
        if (header_.oldestCompleteBundleId == 0) {
            header_.oldestCompleteBundleId = current_->bundleId;
        }
        current_->endLrba = header_.highLrba;
        current_->endTime = header_.highLrbaTime;
        ok = WriteEntry(header_.latestEntry, *current_);
        header_.totalLogSize += ClosedSpan(current_->beginLrba, header_.highLrba);
        current_.reset();
    }
    header_.state = kStateClosed;
    ok = WriteHeader() && ok;
    CloseDescriptor();
    return ok;
}

bool LogCatalog::MarkOpen() {
    if (header_.state != kStateClosed) {
        header_.state = kStateOpen;
        if (!WriteHeader()) {
            header_.state = kStateClosed;
        }
    }
    return header_.state != kStateClosed;
}

void LogCatalog::SetBundleID(std::uint32_t bundle) {
    if (!current_) {
        ServerFatalError("LogCatalog::SetBundleID", "no open file");
    }
    if (current_->bundleId == 0) {
        current_->bundleId = bundle;
    }
}

void LogCatalog::RecomputeStart() {
    header_.startLrba = 0;
    header_.oldestCompleteBundleId = 0;
    std::uint32_t at = header_.oldestEntry;
    for (std::uint32_t visited = 0; at != 0 && visited <= header_.fileCount; ++visited) {
        LogFileEntry entry;
        if (!ReadEntry(at, entry)) {
            break;
        }
        header_.startLrba = entry.beginLrba;
        header_.oldestCompleteBundleId = entry.bundleId;
        if (entry.bundleId != 0) {
            break;
        }
        at = entry.next;
    }
}

bool LogCatalog::AddFile(const std::string& name, std::uint32_t beginLrba) {
    header_.state = kStateUpdating;
    if (!WriteHeader()) {
        return false;
    }
    std::uint32_t span = current_ ? beginLrba - current_->beginLrba : 0;
    if (sizeLimit_ != kNoSizeLimit) {
        std::uint64_t limit = sizeLimit_ > kLimitHeadroom ? sizeLimit_ - kLimitHeadroom : 0;
        if (static_cast<std::uint64_t>(header_.totalLogSize) + span >= limit) {
            // The file being closed is the current one and never removed
            // here: only closed files leave the chain.
            while (static_cast<std::uint64_t>(header_.totalLogSize) + span > limit &&
                   header_.oldestEntry != 0 &&
                   !(current_ && header_.oldestEntry == header_.latestEntry)) {
                if (!RemoveOldestFile()) {
                    return false;
                }
            }
            RecomputeStart();
        }
    }
    std::uint32_t slot = 0;
    if (header_.freeList != 0) {
        LogFileEntry freeEntry;
        if (!ReadEntry(header_.freeList, freeEntry)) {
            return false;
        }
        slot = header_.freeList;
        header_.freeList = freeEntry.next;
    } else {
        slot = header_.catalogSize;
        header_.catalogSize += kEntrySize;
    }
    std::uint32_t oldLatest = header_.latestEntry;
    if (current_) {
        if (header_.oldestCompleteBundleId == 0) {
            header_.oldestCompleteBundleId = current_->bundleId;
        }
        current_->endLrba = header_.highLrba;
        current_->endTime = header_.highLrbaTime;
        current_->next = slot;
        if (!WriteEntry(oldLatest, *current_)) {
            return false;
        }
        header_.totalLogSize += ClosedSpan(current_->beginLrba, header_.highLrba);
    } else if (header_.fileCount != 0) {
        LogFileEntry latest;
        if (!ReadEntry(oldLatest, latest)) {
            return false;
        }
        latest.next = slot;
        if (!WriteEntry(oldLatest, latest)) {
            return false;
        }
    }
    LogFileEntry entry;
    entry.previous = oldLatest;
    entry.beginLrba = beginLrba;
    entry.beginTime = Now();
    std::strncpy(entry.fileName, name.c_str(), sizeof entry.fileName - 1);
    current_ = entry;
    if (!WriteEntry(slot, entry)) {
        return false;
    }
    header_.latestEntry = slot;
    ++header_.fileCount;
    if (header_.oldestEntry == 0) {
        header_.oldestEntry = slot;
    }
    // The name carries the file number; the next file takes the one after.
    if (IsLogFileName(entry.fileName)) {
        header_.lastFileNumber =
            static_cast<std::uint32_t>(std::strtoul(entry.fileName + 1, nullptr, 10));
    }
    header_.state = kStateOpen;
    return WriteHeader();
}

bool LogCatalog::RemoveOldestFile() {
    if (header_.oldestEntry == 0) {
        ServerFatalError("LogCatalog::RemoveOldestFile", "No file entries");
    }
    std::uint32_t slot = header_.oldestEntry;
    LogFileEntry oldest;
    if (!ReadEntry(slot, oldest)) {
        return false;
    }
    --header_.fileCount;
    header_.totalLogSize -=
        std::min(header_.totalLogSize, ClosedSpan(oldest.beginLrba, oldest.endLrba));
    header_.oldestEntry = oldest.next;
    if (header_.oldestEntry == 0) {
        header_.latestEntry = 0;
    }
    std::string name = oldest.fileName;
    oldest.next = header_.freeList;
    header_.freeList = slot;
    if (!WriteEntry(slot, oldest)) {
        return false;
    }
    if (IsLogFileName(name.c_str())) {
        std::string file = FilePath(name);
        ::chmod(file.c_str(), 0644);
        ::unlink(file.c_str());
    }
    if (header_.oldestEntry != 0) {
        LogFileEntry next;
        if (!ReadEntry(header_.oldestEntry, next)) {
            return false;
        }
        next.previous = 0;
        return WriteEntry(header_.oldestEntry, next);
    }
    return true;
}

bool LogCatalog::RemoveLatestFile() {
    header_.state = kStateUpdating;
    if (!WriteHeader()) {
        return false;
    }
    if (header_.latestEntry == 0) {
        ServerFatalError("LogCatalog::RemoveLatestFile", "No file entries");
    }
    std::uint32_t slot = header_.latestEntry;
    LogFileEntry latest;
    if (!ReadEntry(slot, latest)) {
        return false;
    }
    if (latest.endLrba != 0) {
        ServerFatalError("LogCatalog::RemoveFile", "file is not empty");
    }
    header_.latestEntry = latest.previous;
    --header_.fileCount;
    if (header_.latestEntry == 0) {
        header_.oldestEntry = 0;
    }
    latest.next = header_.freeList;
    header_.freeList = slot;
    if (!WriteEntry(slot, latest)) {
        return false;
    }
    if (header_.latestEntry != 0) {
        LogFileEntry previous;
        if (!ReadEntry(header_.latestEntry, previous)) {
            return false;
        }
        previous.next = 0;
        if (!WriteEntry(header_.latestEntry, previous)) {
            return false;
        }
    }
    current_.reset();
    header_.state = kStateOpen;
    return WriteHeader();
}

bool LogCatalog::CloseLatestFile(std::uint32_t endLrba, std::uint32_t endTime) {
    if (header_.latestEntry == 0) {
        ServerFatalError("LogCatalog::CloseLatestFile", "No file entries");
    }
    LogFileEntry latest;
    if (!ReadEntry(header_.latestEntry, latest)) {
        return false;
    }
    latest.endLrba = endLrba;
    latest.endTime = endTime;
    return WriteEntry(header_.latestEntry, latest);
}

std::optional<LogFileEntry> LogCatalog::LatestFile() {
    LogFileEntry entry;
    if (!ReadEntry(header_.latestEntry, entry)) {
        return std::nullopt;
    }
    return entry;
}

std::optional<LogFileEntry> LogCatalog::FindFileByLRBA(std::uint32_t lrba) {
    std::uint32_t at = header_.latestEntry;
    if (current_) {
        if (current_->beginLrba <= lrba && lrba <= header_.highLrba) {
            return current_;
        }
        at = current_->previous;
    }
    // The walk is bounded by the file count: a damaged link cannot loop.
    for (std::uint32_t visited = 0; at != 0 && visited <= header_.fileCount; ++visited) {
        LogFileEntry entry;
        if (!ReadEntry(at, entry)) {
            return std::nullopt;
        }
        if (entry.beginLrba <= lrba && lrba <= entry.endLrba) {
            return entry;
        }
        at = entry.previous;
    }
    return std::nullopt;
}

std::optional<LogFileEntry> LogCatalog::FindFileByTime(std::uint32_t time) {
    if (time > Now()) {
        return std::nullopt;
    }
    std::optional<LogFileEntry> newer;
    std::uint32_t at = header_.latestEntry;
    if (current_) {
        if (current_->beginTime <= time) {
            return current_;
        }
        newer = current_;
        at = current_->previous;
    } else {
        newer = LatestFile();
        if (!newer) {
            return std::nullopt;
        }
        // The latest entry itself is looked at first, like every other.
    }
    for (std::uint32_t visited = 0; at != 0 && visited <= header_.fileCount; ++visited) {
        LogFileEntry entry;
        if (!ReadEntry(at, entry)) {
            return std::nullopt;
        }
        if (entry.beginTime <= time) {
            if (entry.endTime < time) {
                return newer;
            }
            return entry;
        }
        newer = entry;
        at = entry.previous;
    }
    return std::nullopt;
}

std::string LogCatalog::FilePath(const std::string& name) const {
    return directory_ + "/" + name;
}
