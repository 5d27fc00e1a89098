// The file side of reading the log: fills a reader's buffer from the log
// files by LRBA or by time, as the Log Task does for request 2 (and as an
// offline reader may do over a read-only catalog).
//
// The file being written is read through the writer's descriptor; reads and
// writes both name their offsets (pread/pwrite), so the writer's position is
// never moved. Other files are opened read-only; the descriptor is cached in
// the buffer when it keeps one (with its file's begin LRBA) and reused for
// the next read of the same file, else closed at once.
//
// Every offset is bounded by the file's size and every file name is checked
// before it is opened. A read past the end of a file while looking by time
// is the end of that file, not an error.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "coresys/server/log/LogCatalog.h"
#include "coresys/server/log/ReadBuffer.h"

class LogFileReader {
  public:
    enum class Outcome {
        kRead,      // a block was read whole
        kNotFound,  // no file or block holds it (the end of the log, a gap)
        kFailed,    // a file that should hold it could not be read
    };
    // The file being written: its descriptor (-1: none) and begin LRBA.
    struct Writer {
        int fd = -1;
        std::uint32_t beginLrba = 0;
    };

    // keepDescriptors: cache read descriptors in the buffers (the Log Task
    // does; each buffer's owner lets go of it).
    explicit LogFileReader(bool keepDescriptors) : keepDescriptors_(keepDescriptors) {}

    // One read of request 2 (mode 0 to 4). Fills the buffer's data and
    // extents when a block was read.
    Outcome Read(LogCatalog& catalog, const Writer& writer, std::uint32_t mode, std::uint32_t lrba,
                 std::uint32_t time, ReadBuffer& buffer);

  private:
    Outcome ByLrba(LogCatalog& catalog, const Writer& writer, std::uint32_t lrba,
                   ReadBuffer& buffer);
    Outcome ByTime(LogCatalog& catalog, const Writer& writer, std::uint32_t time,
                   ReadBuffer& buffer);
    // The descriptor for the entry's file: the writer's, the buffer's cached
    // one, or a new one; -1 when it cannot be opened.
    int DescriptorFor(LogCatalog& catalog, const Writer& writer, const LogFileEntry& entry,
                      ReadBuffer& buffer, bool* owned);
    void Done(int fd, bool owned, const LogFileEntry& entry, ReadBuffer& buffer);
    // Runs read on the descriptor and size of the entry's file (none:
    // not found; a file that cannot be opened: failed).
    Outcome InFile(LogCatalog& catalog, const Writer& writer,
                   const std::optional<LogFileEntry>& entry, ReadBuffer& buffer,
                   const std::function<Outcome(int fd, std::uint64_t size)>& read);

    bool keepDescriptors_;
};
