// The log catalog "LOGCATLG": the age chain of the log files from oldest to
// latest and the log's totals. Only the Log Task uses it (one thread).
//
// Every operation answers success as a truth value. A read, write or seek
// failure leaves the header image as it stands; a failed header write also
// closes the catalog. A catalog that fails its checks when it is opened
// (short header, unknown version, links or sizes that do not fit the file)
// is left closed and untouched, and OpenFailure() says why. Misuse named in
// the members is fatal (ServerFatalError).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "coresys/server/log/LogCatalogHeader.h"
#include "coresys/server/log/LogFileEntry.h"

class LogCatalog {
  public:
    // Opens (creating when missing) "LOGCATLG" in directory for reading and
    // writing. An empty file gets a new header (state 1) at once.
    // sizeLimit 0xFFFFFFFF means no limit on the total size of the log.
    LogCatalog(const std::string& directory, std::uint32_t sizeLimit);
    // Closes the catalog when it is open.
    ~LogCatalog();
    LogCatalog(const LogCatalog&) = delete;
    LogCatalog& operator=(const LogCatalog&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    // Why the catalog is not open (empty when it is).
    const std::string& OpenFailure() const { return failure_; }

    // Closes the current file's entry at the high LRBA, marks the catalog
    // closed cleanly (state 0) and closes it.
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
    // oldest files first when the size limit asks for it.
    bool AddFile(const std::string& name, std::uint32_t beginLrba);
    // Removes the oldest entry and deletes its log file. Fatal without one.
    bool RemoveOldestFile();
    // Withdraws the latest entry of a file that never received a record
    // (the caller deletes the file). Fatal without one or when it is closed.
    bool RemoveLatestFile();
    // Sets the end LRBA and end time of the latest entry. Fatal without one.
    bool CloseLatestFile(std::uint32_t endLrba, std::uint32_t endTime);

    std::optional<LogFileEntry> LatestFile();
    // The entry whose file holds the LRBA.
    std::optional<LogFileEntry> FindFileByLRBA(std::uint32_t lrba);
    // The entry whose file holds the time (seconds since 1970); for a time
    // between two files the newer one; none for a future time.
    std::optional<LogFileEntry> FindFileByTime(std::uint32_t time);
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

    // Seconds since 1970 as the catalog stamps them.
    static std::uint32_t Now();

  private:
    bool WriteHeader();
    bool ReadEntry(std::uint32_t offset, LogFileEntry& entry);
    bool WriteEntry(std::uint32_t offset, const LogFileEntry& entry);
    // Checks the header and the chain against the file; fills failure_.
    bool CheckStructure(std::uint64_t fileSize);
    bool IsSlot(std::uint32_t offset) const;
    void CloseDescriptor();
    void RecomputeStart();

    std::string directory_;
    std::string path_;
    int fd_ = -1;
    std::uint32_t sizeLimit_;
    std::optional<LogFileEntry> current_;
    LogCatalogHeader header_;
    std::string failure_;
};
