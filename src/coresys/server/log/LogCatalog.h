// The log catalog "LOGCATLG": the age chain of the log files from oldest to
// latest and the log's totals.
//
// The Log Task owns the one writable catalog of a log (one thread). Offline
// readers (the log printer, tests) open it read-only: such a catalog never
// creates, writes or closes-cleanly the file, so it changes nothing on disk
// beside a running service.
//
// Every operation answers success as a truth value. A catalog that fails its
// checks when it is opened (short header, unknown version, links or sizes
// that do not fit the file) is left closed and untouched, and OpenFailure()
// says why.
//
// A change of the chain (AddFile, RemoveLatestFile) marks the file "update
// under way" (state 2) first and commits the header image in memory only
// once every write of the change has succeeded. A change that fails leaves
// the catalog unusable (every further change and Close refuse to write, so
// it is never marked closed cleanly over a half-done change); opening it
// again repairs it: see Recover. Misuse named in the members is fatal
// (ServerFatalError).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "coresys/server/log/LogCatalogHeader.h"
#include "coresys/server/log/LogFileEntry.h"

class LogCatalog {
  public:
    enum class Access {
        // The writer's catalog: created when missing, repaired when a change
        // was left half-done.
        kReadWrite,
        // Never created nor written: a missing or empty catalog reads as a
        // new one (state 1, no files), in memory only.
        kReadOnly,
        // Read-only as well, and a catalog whose chain or free list fails
        // the checks is opened as it is found (Damage() says what the check
        // found), so that a printer can show what stands and where it
        // breaks. Only a short header or an unknown version keep it closed.
        kInspect,
    };

    // Where a process that wants to hear of them (the log printer) gets the
    // catalog's read and write failures, one fixed line each (ending with a
    // line end). None by default. Set it before any catalog is opened.
    using DebugSink = void (*)(const char* text);
    static void SetDebugSink(DebugSink sink);

    // Opens "LOGCATLG" in directory. A new writable catalog gets its header
    // (state 1) at once. sizeLimit 0xFFFFFFFF means no limit on the total
    // size of the log.
    LogCatalog(const std::string& directory, std::uint32_t sizeLimit,
               Access access = Access::kReadWrite);
    // Closes the catalog when it is open.
    ~LogCatalog();
    LogCatalog(const LogCatalog&) = delete;
    LogCatalog& operator=(const LogCatalog&) = delete;

    bool IsOpen() const { return open_; }
    bool IsReadOnly() const { return access_ != Access::kReadWrite; }
    // Why the catalog is not open (empty when it is).
    const std::string& OpenFailure() const { return failure_; }
    // What the checks found wrong with a catalog opened for inspection
    // (empty when nothing).
    const std::string& Damage() const { return damage_; }
    // True when the catalog was found with a change half-done (state 2)
    // and was repaired as it was opened.
    bool WasRepaired() const { return repaired_; }
    // True after a change that failed part way: the file keeps state 2
    // until it is opened again.
    bool UpdateFailed() const { return updateFailed_; }

    // Closes the current file's entry at the high LRBA, marks the catalog
    // closed cleanly (state 0) and closes it. After a failed change, or when
    // the entry cannot be written, the state on disk is left as it is (1 or
    // 2), so the next start looks for the end of the log again. A read-only
    // catalog only lets go of its file.
    bool Close();
    // After a start: state 1 unless the catalog was closed cleanly. Returns
    // whether the state is non-zero.
    bool MarkOpen();
    // Names the first bundle written into the current file (memory only:
    // it reaches the file with the entry's next write). Fatal without a
    // current file.
    void SetBundleID(std::uint32_t bundle);
    // Appends a new latest entry for a new log file whose first block has
    // the LRBA beginLrba; closes the previous current entry; removes the
    // oldest files first when the size limit asks for it. The first entry of
    // an empty chain that begins above the start LRBA becomes the start.
    bool AddFile(const std::string& name, std::uint32_t beginLrba);
    // Removes the oldest entry and deletes its log file. Fatal without one.
    bool RemoveOldestFile();
    // Withdraws the latest entry of a file that never received a record
    // (the caller deletes the file). Fatal without one or when it is closed.
    bool RemoveLatestFile();
    // Sets the end LRBA and end time of the latest entry and counts the
    // total log size again over the closed files of the chain (in memory:
    // it reaches the file with the header's next write). For a catalog
    // without a current file (after a start). Fatal without an entry.
    bool CloseLatestFile(std::uint32_t endLrba, std::uint32_t endTime);

    std::optional<LogFileEntry> LatestFile();
    // The entry whose file holds the LRBA. The latest entry while its file
    // is still open (end LRBA 0, no current file here: an offline reader)
    // holds every LRBA from its begin; its file's size bounds it.
    std::optional<LogFileEntry> FindFileByLRBA(std::uint32_t lrba);
    // The entry whose file holds the time (seconds since 1970); for a time
    // between two files the newer one; none for a future time.
    std::optional<LogFileEntry> FindFileByTime(std::uint32_t time);
    // The entry at a catalog offset (a slot of the age chain), or none.
    std::optional<LogFileEntry> EntryAt(std::uint32_t offset);
    // The log directory joined with a file name.
    std::string FilePath(const std::string& name) const;

    const LogCatalogHeader& Header() const { return header_; }
    // The last record known to be on disk (memory only until the header is
    // next written).
    void SetHighLrba(std::uint32_t lrba, std::uint32_t time) {
        header_.highLrba = lrba;
        header_.highLrbaTime = time;
    }
    bool HasCurrentFile() const { return current_.has_value(); }
    const std::optional<LogFileEntry>& CurrentFile() const { return current_; }
    std::uint32_t SizeLimit() const { return sizeLimit_; }
    const std::string& Path() const { return path_; }

    // Seconds since 1970 as the catalog stamps them (the log's clock,
    // LogClock.h).
    static std::uint32_t Now();

  private:
    void Open();
    // Checks the header and the chain against the file; fills failure_.
    bool CheckStructure(std::uint64_t fileSize);
    // A catalog found in state 2: see LogCatalog.cpp.
    bool Recover(std::uint64_t fileSize);
    bool Writable() const { return open_ && fd_ >= 0 && !IsReadOnly() && !updateFailed_; }
    bool WriteHeader(const LogCatalogHeader& image);
    bool ReadEntry(std::uint32_t offset, LogFileEntry& entry);
    bool WriteEntry(std::uint32_t offset, const LogFileEntry& entry);
    bool IsSlot(std::uint32_t offset) const;
    // The header's catalog size is 52 + 44·n and within the file.
    bool SizeFits(std::uint64_t fileSize) const;
    // Notes why the catalog is refused; answers false.
    bool Damaged(int why);
    bool IsSlotOf(const LogCatalogHeader& image, std::uint32_t offset) const;
    // The steps of a change, on a header image that is committed only when
    // the whole change succeeded.
    bool RemoveOldest(LogCatalogHeader& image);
    void RecomputeStart(LogCatalogHeader& image);
    // A change failed after "update under way" reached the file.
    bool FailUpdate();
    // The age chain from oldest to latest as on disk (nullptr when it
    // cannot be read).
    struct Indexed {
        std::uint32_t offset;
        LogFileEntry entry;
    };
    const std::vector<Indexed>* Index();
    void CloseDescriptor();

    std::string directory_;
    std::string path_;
    Access access_;
    int fd_ = -1;
    bool open_ = false;
    bool repaired_ = false;
    bool updateFailed_ = false;
    std::uint32_t sizeLimit_;
    std::optional<LogFileEntry> current_;
    LogCatalogHeader header_;
    std::string failure_;
    std::string damage_;
    // The checks at opening read entries on their own account: their
    // failures are not reported to the debug sink.
    bool checking_ = false;
    std::vector<Indexed> index_;
    bool indexValid_ = false;
    bool indexOrdered_ = false;
};
