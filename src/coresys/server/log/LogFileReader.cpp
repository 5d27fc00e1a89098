#include "coresys/server/log/LogFileReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "coresys/server/log/LogFileIo.h"
#include "coresys/server/log/LogLayout.h"

using namespace logfmt;

LogFileReader::Outcome LogFileReader::Read(LogCatalog& catalog, const Writer& writer,
                                           std::uint32_t mode, std::uint32_t lrba,
                                           std::uint32_t time, ReadBuffer& buffer) {
    buffer.Invalidate();
    switch (mode) {
        case 0:
        case LOG_READ_LRBA:
            return ByLrba(catalog, writer, lrba, buffer);
        case LOG_READ_TIME:
            return ByTime(catalog, writer, time, buffer);
        case LOG_READ_LRBA_THEN_EARLIER:
        case LOG_READ_LRBA_THEN_LATER: {
            Outcome outcome = ByLrba(catalog, writer, lrba, buffer);
            if (outcome == Outcome::kFailed) {
                return outcome;
            }
            // An LRBA that lies in no file (a start below the oldest file)
            // leaves the time to choose.
            bool byTime =
                outcome == Outcome::kNotFound ||
                (buffer.Valid() && (mode == LOG_READ_LRBA_THEN_EARLIER ? time < buffer.FirstTime()
                                                                       : time > buffer.LastTime()));
            return byTime ? ByTime(catalog, writer, time, buffer) : outcome;
        }
        default:
            return Outcome::kNotFound;
    }
}

int LogFileReader::DescriptorFor(LogCatalog& catalog, const Writer& writer,
                                 const LogFileEntry& entry, ReadBuffer& buffer, bool* owned) {
    *owned = false;
    if (writer.fd >= 0 && entry.beginLrba == writer.beginLrba) {
        return writer.fd;
    }
    if (buffer.CachedFd() >= 0) {
        if (buffer.CachedBeginLrba() == entry.beginLrba) {
            return buffer.CachedFd();
        }
        ::close(buffer.CachedFd());
        buffer.Cache(-1, 0);
    }
    if (!logio::IsLogFileName(entry.fileName)) {
        return -1;
    }
    int fd = ::open(catalog.FilePath(entry.Name()).c_str(), O_RDONLY | O_CLOEXEC);
    *owned = fd >= 0;
    return fd;
}

void LogFileReader::Done(int fd, bool owned, const LogFileEntry& entry, ReadBuffer& buffer) {
    if (!owned) {
        return;
    }
    if (keepDescriptors_) {
        buffer.Cache(fd, entry.beginLrba);
    } else {
        ::close(fd);
    }
}

LogFileReader::Outcome LogFileReader::InFile(
    LogCatalog& catalog, const Writer& writer, const std::optional<LogFileEntry>& entry,
    ReadBuffer& buffer, const std::function<Outcome(int fd, std::uint64_t size)>& read) {
    if (!entry) {
        return Outcome::kNotFound;
    }
    bool owned = false;
    int fd = DescriptorFor(catalog, writer, *entry, buffer, &owned);
    if (fd < 0) {
        return Outcome::kFailed;
    }
    struct stat info {};
    std::uint64_t size = ::fstat(fd, &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
    Outcome outcome = read(fd, size);
    Done(fd, owned, *entry, buffer);
    return outcome;
}

LogFileReader::Outcome LogFileReader::ByLrba(LogCatalog& catalog, const Writer& writer,
                                             std::uint32_t lrba, ReadBuffer& buffer) {
    std::optional<LogFileEntry> entry = catalog.FindFileByLRBA(lrba);
    return InFile(catalog, writer, entry, buffer, [&](int fd, std::uint64_t size) {
        const std::uint32_t offset = BlockOf(lrba - entry->beginLrba);
        if (std::uint64_t{offset} + kBlockSize > size) {
            // A file still being written ends where its writer is; a closed
            // one that is shorter than its entry says is damaged.
            return entry->endLrba == 0 ? Outcome::kNotFound : Outcome::kFailed;
        }
        if (!logio::ReadAt(fd, buffer.Data(), kBlockSize, offset)) {
            return Outcome::kFailed;
        }
        buffer.Fill(entry->beginLrba + offset);
        return Outcome::kRead;
    });
}

LogFileReader::Outcome LogFileReader::ByTime(LogCatalog& catalog, const Writer& writer,
                                             std::uint32_t time, ReadBuffer& buffer) {
    std::optional<LogFileEntry> entry = catalog.FindFileByTime(time);
    Outcome outcome = InFile(catalog, writer, entry, buffer, [&](int fd, std::uint64_t size) {
        for (std::uint64_t offset = 0; offset + kBlockSize <= size; offset += kBlockSize) {
            if (!logio::ReadAt(fd, buffer.Data(), kBlockSize, offset)) {
                return Outcome::kFailed;
            }
            buffer.Fill(entry->beginLrba + static_cast<std::uint32_t>(offset));
            if (buffer.Valid() && buffer.LastTime() >= time) {
                return Outcome::kRead;
            }
        }
        return Outcome::kNotFound;
    });
    if (outcome != Outcome::kRead) {
        buffer.Invalidate();
    }
    return outcome;
}
