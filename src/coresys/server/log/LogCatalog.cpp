#include "coresys/server/log/LogCatalog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include "coresys/server/log/LogClock.h"
#include "coresys/server/log/LogFileIo.h"
#include "coresys/server/log/LogLayout.h"
#include "coresys/server/log/LogText.h"
#include "coresys/server/task/ServerFatal.h"

using namespace logfmt;

namespace {

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

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

std::atomic<LogCatalog::DebugSink> g_debugSink{nullptr};

// The fixed lines of the debug sink.
constexpr const char* kDebugHeaderRead = "Error reading log catalog header\n";
constexpr const char* kDebugVersion = "Invalid log catalog version\n";
constexpr const char* kDebugHeaderWrite = "Write error on catalog header\n";
constexpr const char* kDebugEntryRead = "Read error on catalog log file entry\n";
constexpr const char* kDebugEntryWrite = "Write error on catalog log file entry\n";

void Debug(const char* text) {
    if (LogCatalog::DebugSink sink = g_debugSink.load(); sink != nullptr) {
        sink(text);
    }
}

}  // namespace

void LogCatalog::SetDebugSink(DebugSink sink) {
    g_debugSink.store(sink);
}

std::uint32_t LogCatalog::Now() {
    return logclock::Now();
}

LogCatalog::LogCatalog(const std::string& directory, std::uint32_t sizeLimit, Access access)
    : directory_(directory),
      path_(directory + "/" + kCatalogName),
      access_(access),
      sizeLimit_(sizeLimit) {
    Open();
}

LogCatalog::~LogCatalog() {
    if (open_) {
        Close();
    }
}

void LogCatalog::Open() {
    const bool readOnly = IsReadOnly();
    // A reader never waits on whatever may stand under the catalog's name
    // (a FIFO would block the open): it is a regular file or not a catalog.
    int fd = readOnly ? ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)
                      : ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 && readOnly && errno == ENOENT) {
        // Nothing to read yet: a new log, in memory only.
        header_ = LogCatalogHeader();
        open_ = true;
        return;
    }
    if (fd < 0) {
        failure_ = LogText(LTEXT_CATALOG_NOT_OPEN, path_.c_str(), std::strerror(errno));
        return;
    }
    struct stat info {};
    int statError = ::fstat(fd, &info) != 0 ? errno : 0;
    if (statError == 0 && !S_ISREG(info.st_mode)) {
        statError = EINVAL;
    }
    if (statError != 0) {
        failure_ = LogText(LTEXT_CATALOG_NOT_OPEN, path_.c_str(), std::strerror(statError));
        ::close(fd);
        return;
    }
    fd_ = fd;
    open_ = true;
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (size == 0) {
        // A new log: the writer puts its header on disk at once.
        header_ = LogCatalogHeader();
        if (!readOnly && !WriteHeader(header_)) {
            failure_ = LogText(LTEXT_CATALOG_WRITE_FAILED, path_.c_str(), std::strerror(errno));
        }
        return;
    }
    unsigned char image[kHeaderSize];
    if (size < kHeaderSize || !logio::ReadAt(fd_, image, sizeof image, 0)) {
        Debug(kDebugHeaderRead);
        failure_ = LogText(LTEXT_CATALOG_SHORT, path_.c_str(), static_cast<unsigned>(size));
        CloseDescriptor();
        return;
    }
    header_.Decode(image);
    if (header_.version != 0) {
        Debug(kDebugVersion);
        failure_ = LogText(LTEXT_CATALOG_VERSION, path_.c_str(), header_.version);
        CloseDescriptor();
        return;
    }
    bool repair = !readOnly && header_.state == kStateUpdating;
    checking_ = true;
    bool sound = repair ? Recover(size) : CheckStructure(size);
    checking_ = false;
    if (!sound && access_ == Access::kInspect) {
        damage_ = failure_;
        failure_.clear();
    } else if (!sound) {
        CloseDescriptor();
    }
}

void LogCatalog::CloseDescriptor() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    open_ = false;
}

bool LogCatalog::IsSlotOf(const LogCatalogHeader& image, std::uint32_t offset) const {
    return offset >= kHeaderSize && (offset - kHeaderSize) % kEntrySize == 0 &&
           static_cast<std::uint64_t>(offset) + kEntrySize <= image.catalogSize;
}

bool LogCatalog::IsSlot(std::uint32_t offset) const {
    return IsSlotOf(header_, offset);
}

bool LogCatalog::SizeFits(std::uint64_t fileSize) const {
    return header_.catalogSize >= kHeaderSize &&
           (header_.catalogSize - kHeaderSize) % kEntrySize == 0 && header_.catalogSize <= fileSize;
}

bool LogCatalog::Damaged(int why) {
    failure_ = LogText(LTEXT_CATALOG_DAMAGED, path_.c_str(), LogText(why).c_str());
    return false;
}

// Every link and size is checked against the file before the catalog is
// trusted: a damaged catalog is refused whole rather than repaired by
// writes that would follow its broken links.
bool LogCatalog::CheckStructure(std::uint64_t fileSize) {
    auto damaged = [this](int why) { return Damaged(why); };
    if (!SizeFits(fileSize)) {
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
        if (!logio::IsLogFileName(entry.fileName)) {
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

// A catalog found in state 2: a change of the chain stopped part way (a
// stop inside it, or a write that failed). The header on disk is the image
// from before the change, but entries may be ahead of it:
//  - AddFile may have taken oldest entries off the chain (with a size limit)
//    and deleted their files, closed the old latest entry and linked it to a
//    new slot, and written that slot;
//  - RemoveLatestFile may have put the latest entry on the free list and
//    unlinked it from the entry before it (its file deleted first).
// A previous link is only ever cleared on the entry that becomes the oldest,
// so walking back from the header's latest entry by previous links gives a
// run of the chain as it stood before the change. The repair keeps that run
// less the entries at either end whose file no longer exists, links it anew
// both ways, makes every other slot free, recomputes the count and the
// totals, and writes it all with state 1. The half-done entry is thereby
// withdrawn, and the Log Task finds the end of the latest file as after any
// stop without close. A catalog whose links do not even allow that walk is
// refused like any damaged one.
bool LogCatalog::Recover(std::uint64_t fileSize) {
    auto damaged = [this](int why) { return Damaged(why); };
    if (!SizeFits(fileSize)) {
        return damaged(LTEXT_WHY_SIZE);
    }
    if (header_.latestEntry != 0 && !IsSlot(header_.latestEntry)) {
        return damaged(LTEXT_WHY_LINK);
    }
    const std::uint32_t slots = (header_.catalogSize - kHeaderSize) / kEntrySize;
    std::vector<std::uint32_t> run;
    std::vector<LogFileEntry> entries;
    std::set<std::uint32_t> seen;
    for (std::uint32_t at = header_.latestEntry; at != 0;) {
        LogFileEntry entry;
        if (!IsSlot(at) || !seen.insert(at).second || run.size() >= slots) {
            return damaged(LTEXT_WHY_CHAIN);
        }
        if (!ReadEntry(at, entry)) {
            return damaged(LTEXT_WHY_SIZE);
        }
        if (!logio::IsLogFileName(entry.fileName)) {
            return damaged(LTEXT_WHY_NAME);
        }
        run.insert(run.begin(), at);
        entries.insert(entries.begin(), entry);
        at = entry.previous;
    }
    const bool sameOldest = !run.empty() && run.front() == header_.oldestEntry;
    while (!entries.empty() && !FileExists(FilePath(entries.back().Name()))) {
        entries.pop_back();
        run.pop_back();
    }
    bool oldestDropped = false;
    while (!entries.empty() && !FileExists(FilePath(entries.front().Name()))) {
        entries.erase(entries.begin());
        run.erase(run.begin());
        oldestDropped = true;
    }

    LogCatalogHeader image = header_;
    image.fileCount = static_cast<std::uint32_t>(run.size());
    image.oldestEntry = run.empty() ? 0 : run.front();
    image.latestEntry = run.empty() ? 0 : run.back();
    image.totalLogSize = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        LogFileEntry& entry = entries[i];
        entry.previous = i == 0 ? 0 : run[i - 1];
        entry.next = i + 1 == entries.size() ? 0 : run[i + 1];
        if (entry.endLrba != 0) {
            image.totalLogSize += ClosedSpan(entry.beginLrba, entry.endLrba);
        }
        std::uint32_t number =
            static_cast<std::uint32_t>(std::strtoul(entry.fileName + 1, nullptr, 10));
        image.lastFileNumber = std::max(image.lastFileNumber, number);
        if (!WriteEntry(run[i], entry)) {
            return damaged(LTEXT_WHY_REPAIR);
        }
    }
    // Every slot outside the chain is free, in ascending order.
    std::set<std::uint32_t> chained(run.begin(), run.end());
    image.freeList = 0;
    std::uint32_t lastFree = 0;
    for (std::uint32_t i = 0; i < slots; ++i) {
        std::uint32_t slot = kHeaderSize + i * kEntrySize;
        if (chained.count(slot) != 0) {
            continue;
        }
        if (lastFree == 0) {
            image.freeList = slot;
        } else {
            LogFileEntry free;
            if (!ReadEntry(lastFree, free)) {
                return damaged(LTEXT_WHY_SIZE);
            }
            free.next = slot;
            if (!WriteEntry(lastFree, free)) {
                return damaged(LTEXT_WHY_REPAIR);
            }
        }
        lastFree = slot;
    }
    if (lastFree != 0) {
        LogFileEntry free;
        if (!ReadEntry(lastFree, free)) {
            return damaged(LTEXT_WHY_SIZE);
        }
        free.next = 0;
        if (!WriteEntry(lastFree, free)) {
            return damaged(LTEXT_WHY_REPAIR);
        }
    }
    if (!run.empty() && (!sameOldest || oldestDropped)) {
        RecomputeStart(image);
    }
    image.state = kStateOpen;
    if (!WriteHeader(image)) {
        return damaged(LTEXT_WHY_REPAIR);
    }
    header_ = image;
    repaired_ = true;
    indexValid_ = false;
    return true;
}

bool LogCatalog::WriteHeader(const LogCatalogHeader& image) {
    unsigned char bytes[kHeaderSize];
    image.Encode(bytes);
    if (fd_ < 0 || IsReadOnly() || !logio::WriteAt(fd_, bytes, sizeof bytes, 0)) {
        // What reached the file is not known: nothing more is written.
        Debug(kDebugHeaderWrite);
        CloseDescriptor();
        return false;
    }
    return true;
}

bool LogCatalog::ReadEntry(std::uint32_t offset, LogFileEntry& entry) {
    unsigned char image[kEntrySize];
    if (fd_ < 0 || offset == 0 || !logio::ReadAt(fd_, image, sizeof image, offset)) {
        if (!checking_) {
            Debug(kDebugEntryRead);
        }
        return false;
    }
    entry.Decode(image);
    return true;
}

bool LogCatalog::WriteEntry(std::uint32_t offset, const LogFileEntry& entry) {
    unsigned char image[kEntrySize];
    entry.Encode(image);
    if (fd_ >= 0 && !IsReadOnly() && offset != 0 &&
        logio::WriteAt(fd_, image, sizeof image, offset)) {
        return true;
    }
    Debug(kDebugEntryWrite);
    return false;
}

bool LogCatalog::FailUpdate() {
    updateFailed_ = true;
    indexValid_ = false;
    return false;
}

bool LogCatalog::Close() {
    if (!open_) {
        return false;
    }
    if (!Writable()) {
        // Read-only, or a change failed part way: the state on disk stays
        // as it is for the next opening to act on.
        CloseDescriptor();
        current_.reset();
        return !updateFailed_ && IsReadOnly();
    }
    LogCatalogHeader image = header_;
    if (current_) {
        LogFileEntry closing = *current_;
        if (image.oldestCompleteBundleId == 0) {
            image.oldestCompleteBundleId = closing.bundleId;
        }
        closing.endLrba = image.highLrba;
        closing.endTime = image.highLrbaTime;
        if (!WriteEntry(image.latestEntry, closing)) {
            // The entry still reads open: the log is not closed cleanly.
            CloseDescriptor();
            current_.reset();
            return false;
        }
        image.totalLogSize += ClosedSpan(closing.beginLrba, image.highLrba);
        current_.reset();
    }
    image.state = kStateClosed;
    bool ok = WriteHeader(image);
    header_ = image;
    CloseDescriptor();
    return ok;
}

bool LogCatalog::MarkOpen() {
    if (header_.state != kStateClosed && Writable()) {
        LogCatalogHeader image = header_;
        image.state = kStateOpen;
        header_.state = WriteHeader(image) ? kStateOpen : kStateClosed;
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

void LogCatalog::RecomputeStart(LogCatalogHeader& image) {
    image.startLrba = 0;
    image.oldestCompleteBundleId = 0;
    std::uint32_t at = image.oldestEntry;
    for (std::uint32_t visited = 0; at != 0 && visited <= image.fileCount; ++visited) {
        LogFileEntry entry;
        if (!ReadEntry(at, entry)) {
            break;
        }
        image.startLrba = entry.beginLrba;
        image.oldestCompleteBundleId = entry.bundleId;
        if (entry.bundleId != 0) {
            break;
        }
        at = entry.next;
    }
}

bool LogCatalog::AddFile(const std::string& name, std::uint32_t beginLrba) {
    if (!Writable()) {
        return false;
    }
    LogCatalogHeader image = header_;
    image.state = kStateUpdating;
    if (!WriteHeader(image)) {
        return FailUpdate();
    }
    std::uint32_t span = current_ ? beginLrba - current_->beginLrba : 0;
    if (sizeLimit_ != kNoSizeLimit) {
        std::uint64_t limit = sizeLimit_ > kLimitHeadroom ? sizeLimit_ - kLimitHeadroom : 0;
        if (static_cast<std::uint64_t>(image.totalLogSize) + span >= limit) {
            // The file being closed is the current one and never removed
            // here: only closed files leave the chain.
            while (static_cast<std::uint64_t>(image.totalLogSize) + span > limit &&
                   image.oldestEntry != 0 &&
                   !(current_ && image.oldestEntry == image.latestEntry)) {
                if (!RemoveOldest(image)) {
                    return FailUpdate();
                }
            }
            RecomputeStart(image);
        }
    }
    std::uint32_t slot = 0;
    if (image.freeList != 0) {
        LogFileEntry freeEntry;
        if (!ReadEntry(image.freeList, freeEntry)) {
            return FailUpdate();
        }
        slot = image.freeList;
        image.freeList = freeEntry.next;
    } else {
        slot = image.catalogSize;
        image.catalogSize += kEntrySize;
    }
    std::uint32_t oldLatest = image.latestEntry;
    if (current_) {
        LogFileEntry closing = *current_;
        if (image.oldestCompleteBundleId == 0) {
            image.oldestCompleteBundleId = closing.bundleId;
        }
        closing.endLrba = image.highLrba;
        closing.endTime = image.highLrbaTime;
        closing.next = slot;
        if (!WriteEntry(oldLatest, closing)) {
            return FailUpdate();
        }
        image.totalLogSize += ClosedSpan(closing.beginLrba, image.highLrba);
    } else if (image.fileCount != 0) {
        LogFileEntry latest;
        if (!ReadEntry(oldLatest, latest)) {
            return FailUpdate();
        }
        latest.next = slot;
        if (!WriteEntry(oldLatest, latest)) {
            return FailUpdate();
        }
    }
    LogFileEntry entry;
    entry.previous = oldLatest;
    entry.beginLrba = beginLrba;
    entry.beginTime = Now();
    std::strncpy(entry.fileName, name.c_str(), sizeof entry.fileName - 1);
    if (!WriteEntry(slot, entry)) {
        return FailUpdate();
    }
    if (image.fileCount == 0 && beginLrba > image.startLrba) {
        // Readers that are given no range begin here; below it lies no
        // file (the log was suspended before its first file).
        image.startLrba = beginLrba;
    }
    image.latestEntry = slot;
    ++image.fileCount;
    if (image.oldestEntry == 0) {
        image.oldestEntry = slot;
    }
    // The name carries the file number; the next file takes the one after.
    if (logio::IsLogFileName(entry.fileName)) {
        image.lastFileNumber =
            static_cast<std::uint32_t>(std::strtoul(entry.fileName + 1, nullptr, 10));
    }
    image.state = kStateOpen;
    if (!WriteHeader(image)) {
        return FailUpdate();
    }
    header_ = image;
    current_ = entry;
    indexValid_ = false;
    return true;
}

bool LogCatalog::RemoveOldestFile() {
    if (!Writable()) {
        return false;
    }
    LogCatalogHeader image = header_;
    if (!RemoveOldest(image)) {
        return FailUpdate();
    }
    header_ = image;
    indexValid_ = false;
    return true;
}

bool LogCatalog::RemoveOldest(LogCatalogHeader& image) {
    if (image.oldestEntry == 0) {
        ServerFatalError("LogCatalog::RemoveOldestFile", "No file entries");
    }
    std::uint32_t slot = image.oldestEntry;
    LogFileEntry oldest;
    if (!ReadEntry(slot, oldest)) {
        return false;
    }
    --image.fileCount;
    image.totalLogSize -=
        std::min(image.totalLogSize, ClosedSpan(oldest.beginLrba, oldest.endLrba));
    image.oldestEntry = oldest.next;
    if (image.oldestEntry == 0) {
        image.latestEntry = 0;
    }
    std::string name = oldest.fileName;
    oldest.next = image.freeList;
    image.freeList = slot;
    if (!WriteEntry(slot, oldest)) {
        return false;
    }
    if (logio::IsLogFileName(name.c_str())) {
        logio::DeleteLogFile(FilePath(name));
    }
    if (image.oldestEntry != 0) {
        LogFileEntry next;
        if (!ReadEntry(image.oldestEntry, next)) {
            return false;
        }
        next.previous = 0;
        return WriteEntry(image.oldestEntry, next);
    }
    return true;
}

bool LogCatalog::RemoveLatestFile() {
    if (!Writable()) {
        return false;
    }
    LogCatalogHeader image = header_;
    image.state = kStateUpdating;
    if (!WriteHeader(image)) {
        return FailUpdate();
    }
    if (image.latestEntry == 0) {
        ServerFatalError("LogCatalog::RemoveLatestFile", "No file entries");
    }
    std::uint32_t slot = image.latestEntry;
    LogFileEntry latest;
    if (!ReadEntry(slot, latest)) {
        return FailUpdate();
    }
    if (latest.endLrba != 0) {
        ServerFatalError("LogCatalog::RemoveFile", "file is not empty");
    }
    image.latestEntry = latest.previous;
    --image.fileCount;
    if (image.latestEntry == 0) {
        image.oldestEntry = 0;
    }
    latest.next = image.freeList;
    image.freeList = slot;
    if (!WriteEntry(slot, latest)) {
        return FailUpdate();
    }
    if (image.latestEntry != 0) {
        LogFileEntry previous;
        if (!ReadEntry(image.latestEntry, previous)) {
            return FailUpdate();
        }
        previous.next = 0;
        if (!WriteEntry(image.latestEntry, previous)) {
            return FailUpdate();
        }
    }
    image.state = kStateOpen;
    if (!WriteHeader(image)) {
        return FailUpdate();
    }
    header_ = image;
    current_.reset();
    indexValid_ = false;
    return true;
}

bool LogCatalog::CloseLatestFile(std::uint32_t endLrba, std::uint32_t endTime) {
    if (header_.latestEntry == 0) {
        ServerFatalError("LogCatalog::CloseLatestFile", "No file entries");
    }
    LogFileEntry latest;
    if (!Writable() || !ReadEntry(header_.latestEntry, latest)) {
        return false;
    }
    latest.endLrba = endLrba;
    latest.endTime = endTime;
    indexValid_ = false;
    if (!WriteEntry(header_.latestEntry, latest)) {
        return false;
    }
    // The total counts every closed file of the chain. Whether the header
    // counted this one already is not known (a stop may fall between the
    // entry's write and the header's), so the total is counted again over
    // the chain; it reaches the file with the header's next write.
    const std::vector<Indexed>* index = Index();
    if (index == nullptr) {
        return false;
    }
    std::uint64_t total = 0;
    for (const Indexed& it : *index) {
        total += ClosedSpan(it.entry.beginLrba, it.entry.endLrba);
    }
    header_.totalLogSize = static_cast<std::uint32_t>(std::min<std::uint64_t>(total, 0xFFFFFFFFu));
    return true;
}

std::optional<LogFileEntry> LogCatalog::LatestFile() {
    return EntryAt(header_.latestEntry);
}

std::optional<LogFileEntry> LogCatalog::EntryAt(std::uint32_t offset) {
    LogFileEntry entry;
    if (!IsSlot(offset) || !ReadEntry(offset, entry)) {
        return std::nullopt;
    }
    return entry;
}

// The readers look files up by LRBA and by time for every block they read:
// the age chain is kept in memory for them, read again from the file after
// every change of the chain.
const std::vector<LogCatalog::Indexed>* LogCatalog::Index() {
    if (indexValid_) {
        return &index_;
    }
    index_.clear();
    std::uint32_t at = header_.oldestEntry;
    for (std::uint32_t visited = 0; at != 0; ++visited) {
        LogFileEntry entry;
        // The walk is bounded by the file count: a damaged link cannot loop.
        if (visited >= header_.fileCount || !ReadEntry(at, entry)) {
            index_.clear();
            return nullptr;
        }
        index_.push_back({at, entry});
        at = entry.next;
    }
    // Files normally follow each other in LRBA order without overlap; then
    // a lookup may search instead of walking.
    indexOrdered_ = true;
    for (std::size_t i = 1; i < index_.size(); ++i) {
        const LogFileEntry& before = index_[i - 1].entry;
        if (before.beginLrba >= index_[i].entry.beginLrba ||
            before.endLrba >= index_[i].entry.beginLrba) {
            indexOrdered_ = false;
        }
    }
    indexValid_ = true;
    return &index_;
}

std::optional<LogFileEntry> LogCatalog::FindFileByLRBA(std::uint32_t lrba) {
    if (current_ && current_->beginLrba <= lrba && lrba <= header_.highLrba) {
        return current_;
    }
    const std::vector<Indexed>* index = Index();
    if (index == nullptr) {
        return std::nullopt;
    }
    auto from = index->rbegin();
    if (indexOrdered_) {
        // The newest entry that begins at or below the LRBA is the only one
        // that can hold it.
        auto above = std::upper_bound(
            index->begin(), index->end(), lrba,
            [](std::uint32_t value, const Indexed& it) { return value < it.entry.beginLrba; });
        from = std::make_reverse_iterator(above);
    }
    // From the newest entry back, as the chain's previous links go.
    for (auto it = from; it != index->rend(); ++it) {
        const LogFileEntry& entry = it->entry;
        bool latest = it->offset == header_.latestEntry;
        if (latest && current_) {
            continue;  // the current file was looked at above
        }
        bool openLatest = latest && entry.endLrba == 0;
        if (entry.beginLrba <= lrba && (lrba <= entry.endLrba || openLatest)) {
            return entry;
        }
    }
    return std::nullopt;
}

std::optional<LogFileEntry> LogCatalog::FindFileByTime(std::uint32_t time) {
    if (time > Now()) {
        return std::nullopt;
    }
    const std::vector<Indexed>* index = Index();
    if (index == nullptr || index->empty()) {
        return std::nullopt;
    }
    std::optional<LogFileEntry> newer;
    auto it = index->rbegin();
    if (current_) {
        if (current_->beginTime <= time) {
            return current_;
        }
        newer = current_;
        if (it->offset == header_.latestEntry) {
            ++it;
        }
    } else {
        // The latest entry itself is looked at first, like every other.
        newer = it->entry;
    }
    for (; it != index->rend(); ++it) {
        const LogFileEntry& entry = it->entry;
        if (entry.beginTime <= time) {
            if (entry.endTime < time) {
                return newer;
            }
            return entry;
        }
        newer = entry;
    }
    return std::nullopt;
}

std::string LogCatalog::FilePath(const std::string& name) const {
    return directory_ + "/" + name;
}
