#include "tools/trail/LogPrinter.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <unordered_set>

#include "catalog/StringCatalog.h"
#include "coresys/server/log/LogBlock.h"
#include "coresys/server/log/LogCatalog.h"
#include "coresys/server/log/LogFileIo.h"
#include "coresys/server/log/LogLayout.h"
#include "coresys/server/log/LogText.h"
#include "tools/trail/TrailOutput.h"
#include "tools/trail/TrailTexts.h"

namespace trail {

namespace {

using logfmt::kBlockSize;

// Blocks read with one call: a log is read in large sequential pieces.
constexpr std::uint64_t kBlocksPerRead = 64;
// The highest LRBA a block can have.
constexpr std::uint64_t kLastBlockLrba = 0xFFFFFFFFull & ~std::uint64_t{kBlockSize - 1};
// The width of a time in the list of files.
constexpr std::size_t kShortTimeWidth = 15;

// Closes a descriptor when it goes.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

// True when the catalog of the directory has a header on disk (a missing
// or empty one reads as a new log) and a log file that holds at least one
// whole block lies beside it. A shorter file is what a stop can leave of the
// file of an entry that was withdrawn because it never held a block.
//
// Looked at before the catalog is read: a running service adds a file's
// entry to the catalog before it creates the file, and takes off the entry
// of a file that holds a block only while it adds a new one, so no header
// read afterwards counts no files while such a file was seen.
bool FilesBesideHeader(const std::string& directory) {
    struct stat catalog {};
    const std::string path = directory + "/" + logfmt::kCatalogName;
    if (::stat(path.c_str(), &catalog) != 0 || !S_ISREG(catalog.st_mode) ||
        static_cast<std::uint64_t>(catalog.st_size) < logfmt::kHeaderSize) {
        return false;
    }
    DIR* listing = ::opendir(directory.c_str());
    if (listing == nullptr) {
        return false;
    }
    bool found = false;
    while (!found) {
        const dirent* item = ::readdir(listing);
        if (item == nullptr) {
            break;
        }
        struct stat info {};
        found = logio::IsLogFileName(item->d_name) &&
                ::fstatat(::dirfd(listing), item->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISREG(info.st_mode) && static_cast<std::uint64_t>(info.st_size) >= kBlockSize;
    }
    ::closedir(listing);
    return found;
}

}  // namespace

LogPrinter::LogPrinter(const TrailOptions& options, StringCatalog& console, StringCatalog& firmware,
                       TrailOutput& out, TrailOutput& err)
    : options_(options),
      console_(console),
      out_(out),
      err_(err),
      records_(options, console, firmware, out, err) {}

template <typename... Args>
void LogPrinter::SystemError(int error, int number, Args... args) {
    std::string text = console_.GetStringCommonBuf(kTrailSet, number, args...);
    if (error != 0) {
        text += ": ";
        text += std::strerror(error);
    }
    text += '\n';
    err_.Put(text);
}

int LogPrinter::Print(const std::string& directory) {
    const bool filesBeside = FilesBesideHeader(directory);
    LogCatalog catalog(directory, logfmt::kNoSizeLimit, LogCatalog::Access::kInspect);
    if (!catalog.IsOpen()) {
        std::string text =
            console_.GetStringCommonBuf(kTrailSet, T_CATALOG_NOT_OPEN, catalog.Path().c_str());
        err_.Put(text + ": " + catalog.OpenFailure() + "\n");
        return 1;
    }
    if (catalog.Header().fileCount == 0) {
        // "No files" is the one answer no walk of the chain checks: it is
        // believed only from a catalog that is sound as a whole.
        if (std::string damage = EmptyCatalogDamage(catalog, filesBeside); !damage.empty()) {
            std::string text =
                console_.GetStringCommonBuf(kTrailSet, T_CATALOG_NOT_OPEN, catalog.Path().c_str());
            err_.Put(text + ": " + damage + "\n");
            return 1;
        }
    }
    out_.Put(console_.GetStringCommonBuf(kTrailSet, T_LOG_HEADING, catalog.Path().c_str()));
    out_.Put('\n');
    if (options_.verbose != 0) {
        PrintHeader(catalog);
    }
    if (catalog.Header().fileCount == 0) {
        out_.Put(console_.GetStringCommonBuf(kTrailSet, T_NO_FILES));
        out_.Put('\n');
        return 0;
    }
    if (int code = ListFiles(catalog); code != 0) {
        return code;
    }
    out_.Put(console_.GetStringCommonBuf(kTrailSet, T_RECORDS_HEADING));
    out_.Put('\n');
    if (int code = DumpFiles(catalog); code != 0) {
        return code;
    }
    std::string count = console_.GetStringCommonBuf(kTrailSet, T_DECODED_BEFORE);
    count += std::to_string(records_.Decoded());
    count += console_.GetStringCommonBuf(kTrailSet, T_DECODED_AFTER);
    count += '\n';
    out_.Put(count);
    if (records_.Decoded() == 0) {
        err_.Put(count);
    }
    return 0;
}

std::string LogPrinter::EmptyCatalogDamage(const LogCatalog& catalog, bool filesBeside) {
    if (!catalog.Damage().empty()) {
        return catalog.Damage();
    }
    if (filesBeside) {
        return LogText(LTEXT_CATALOG_DAMAGED, catalog.Path().c_str(),
                       LogText(LTEXT_WHY_CHAIN).c_str());
    }
    return std::string();
}

void LogPrinter::PrintHeader(LogCatalog& catalog) {
    const LogCatalogHeader& header = catalog.Header();
    out_.Printf(TrailTexts::kTotals, header.totalLogSize, header.fileCount, header.highLrba);
    out_.Printf(TrailTexts::kOldestBundle, header.oldestCompleteBundleId,
                header.state != logfmt::kStateClosed ? TrailTexts::kLeftOpen : TrailTexts::kClosed);
    out_.Printf(TrailTexts::kEntryOffsets, header.oldestEntry, header.latestEntry, header.freeList);
    out_.Printf(TrailTexts::kNextFile, header.lastFileNumber, header.catalogSize);
}

template <typename Visit>
LogPrinter::WalkEnd LogPrinter::WalkChain(LogCatalog& catalog, Visit visit) {
    // The header as it was read when the catalog was opened: a service that
    // adds a file meanwhile links it behind the latest entry named here,
    // which is where this walk ends.
    const LogCatalogHeader& header = catalog.Header();
    std::unordered_set<std::uint32_t> seen;
    WalkEnd end;
    for (std::uint32_t at = header.oldestEntry; at != 0;) {
        if (end.walked >= header.fileCount || !seen.insert(at).second) {
            end.how = WalkEnd::kBroken;
            return end;
        }
        errno = 0;
        std::optional<LogFileEntry> entry = catalog.EntryAt(at);
        if (!entry) {
            end.how = WalkEnd::kUnreadable;
            end.stopOffset = at;
            end.error = errno;
            return end;
        }
        visit(at, *entry);
        ++end.walked;
        end.stopOffset = at;
        if (at == header.latestEntry) {
            break;
        }
        at = entry->next;
    }
    if (end.walked != header.fileCount) {
        end.how = WalkEnd::kBroken;
    }
    return end;
}

int LogPrinter::Finish(LogCatalog& catalog, const WalkEnd& end, int unreadable, int failureCode) {
    switch (end.how) {
        case WalkEnd::kDone:
            return 0;
        case WalkEnd::kUnreadable:
            SystemError(end.error, unreadable, end.stopOffset);
            break;
        case WalkEnd::kBroken:
            SystemError(0, T_CHAIN_BROKEN, end.stopOffset, catalog.Header().fileCount, end.walked);
            break;
    }
    return failureCode;
}

int LogPrinter::ListFiles(LogCatalog& catalog) {
    out_.Put(console_.GetStringCommonBuf(kTrailSet, T_FILES_HEADING));
    out_.Put('\n');
    if (options_.verbose != 0) {
        out_.Put(TrailTexts::kVerboseFilesColumns);
    } else {
        out_.Put(console_.GetStringCommonBuf(kTrailSet, T_FILES_COLUMNS));
        out_.Put('\n');
    }
    std::string open = console_.GetStringCommonBuf(kTrailSet, T_OPEN_FILE);
    if (open.size() < kShortTimeWidth) {
        open.resize(kShortTimeWidth, ' ');
    }
    LocalTimeText& times = records_.Times();
    auto line = [&](std::uint32_t, const LogFileEntry& entry) {
        const std::string name = PrintableText(entry.fileName, sizeof entry.fileName);
        const std::string begin = times.Short(entry.beginTime);
        const std::string end = entry.endTime == 0 ? open : times.Short(entry.endTime);
        if (options_.verbose != 0) {
            out_.Printf(TrailTexts::kVerboseFileLine, name.c_str(), entry.beginLrba, begin.c_str(),
                        entry.endLrba, end.c_str());
        } else {
            out_.Printf(TrailTexts::kFileLine, name.c_str(), begin.c_str(), end.c_str());
        }
    };
    return Finish(catalog, WalkChain(catalog, line), T_LIST_ENTRY_UNREADABLE, 255);
}

int LogPrinter::DumpFiles(LogCatalog& catalog) {
    std::uint32_t expected = 0;
    auto dump = [&](std::uint32_t offset, const LogFileEntry& entry) {
        // A file still open has no end time: it is read up to its size.
        const bool closed = entry.endTime != 0;
        if (closed && (entry.endTime < entry.beginTime || entry.endTime < options_.startTime)) {
            expected = entry.endLrba;
            return;
        }
        if (!logio::IsLogFileName(entry.fileName)) {
            const std::string name = PrintableText(entry.fileName, sizeof entry.fileName);
            SystemError(0, T_ENTRY_NOT_A_FILE, offset, name.c_str());
            expected = 0;
            return;
        }
        const bool good =
            DumpLogFile(catalog.FilePath(entry.fileName), entry.beginLrba, entry.endLrba, expected);
        expected = good ? entry.endLrba : 0;
    };
    return Finish(catalog, WalkChain(catalog, dump), T_DUMP_ENTRY_UNREADABLE, 1);
}

bool LogPrinter::DumpLogFile(const std::string& path, std::uint32_t beginLrba,
                             std::uint32_t endLrba, std::uint32_t expectedLink) {
    // Never through a link, never waiting on a FIFO: the name comes from a
    // file that may be damaged.
    Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK)};
    if (file.fd < 0) {
        err_.Put(path + ": " + std::strerror(errno) + "\n");
        return true;
    }
    struct stat info {};
    if (::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        SystemError(0, T_NOT_A_REGULAR_FILE, path.c_str());
        return true;
    }
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(file.fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    const std::uint64_t first = beginLrba;
    // The file being written (end LRBA 0): as far as it reaches now; a
    // file that grows meanwhile is read no further.
    const auto size = static_cast<std::uint64_t>(info.st_size);
    const bool empty = endLrba == 0 && size == 0;
    std::uint64_t last = endLrba == 0 ? first + size - (empty ? 0 : 1) : endLrba;
    last = std::min<std::uint64_t>(last, 0xFFFFFFFFull);

    out_.Printf(TrailTexts::kLogFile, path.c_str());
    if (options_.verbose != 0) {
        out_.Put(TrailTexts::kVerboseRecordColumns);
    }
    std::uint32_t link = expectedLink;
    bool broken = false;
    const std::string* serial = options_.serial ? &*options_.serial : nullptr;
    if (!buffer_) {
        buffer_ = std::make_unique_for_overwrite<unsigned char[]>(kBlocksPerRead * kBlockSize);
    }
    unsigned char* const buffer = buffer_.get();
    for (std::uint64_t block = first; !empty && block <= last && block <= kLastBlockLrba;) {
        const std::uint64_t blocks =
            std::min<std::uint64_t>(kBlocksPerRead, (last - block) / kBlockSize + 1);
        const std::uint64_t offset = block - first;
        const std::size_t wanted = static_cast<std::size_t>(blocks * kBlockSize);
        const std::size_t got = logio::ReadUpTo(file.fd, buffer, wanted, offset);
        const int readError = errno;
        const std::uint64_t whole = got / kBlockSize;
        for (std::uint64_t k = 0; k < whole; ++k) {
            const auto blockLrba = static_cast<std::uint32_t>(block + k * kBlockSize);
            const unsigned char* data = buffer + k * kBlockSize;
            LogBlockWalk walk(data, blockLrba);
            for (int i = 0; i < walk.Count(); ++i) {
                const LogRecordView record = walk.Record(i);
                const std::uint32_t lrba = blockLrba + walk.Offset(i);
                if (record.Class() == logfmt::kClassFiller && record.Code() == 0) {
                    link = lrba;
                    continue;
                }
                const std::int64_t time = record.Time();
                if (time >= options_.startTime && time <= options_.endTime &&
                    (serial == nullptr || record.HasSerial(serial->c_str()))) {
                    records_.Print(record);
                    if (link != 0 && record.BackLink() != link) {
                        SystemError(0, T_BACK_LINK, lrba, record.BackLink(), link);
                        broken = true;
                    }
                }
                link = lrba;
            }
            if (walk.Damaged()) {
                SystemError(
                    0, T_BLOCK_DAMAGED, path.c_str(), blockLrba + walk.DamageOffset(),
                    static_cast<unsigned long long>(offset + k * kBlockSize + walk.DamageOffset()));
                // What the damage hid is not known: no check of the next link.
                link = 0;
            }
        }
        if (whole < blocks) {
            SystemError(readError, T_FILE_SHORT, path.c_str(),
                        static_cast<std::uint32_t>(block + whole * kBlockSize));
            break;
        }
        block += blocks * kBlockSize;
    }
    return !broken;
}

}  // namespace trail
