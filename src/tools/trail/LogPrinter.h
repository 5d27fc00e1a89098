// dktrail's reading of the log: the catalog's header and its list of files,
// then the records of each file from the oldest on, through the filters of
// the run (RecordPrinter prints each record).
//
// The catalog is the service's own class, opened for inspection: read-only,
// never created, written or marked closed, so a running service finds it as
// it left it. The printer trusts nothing it reads:
//  - a catalog that counts no files is refused as damaged when its own
//    checks fail or log files lie beside it: such a header was lost, not
//    written for an empty log;
//  - the age chain is walked at most as far as the header's file count and
//    never past the latest entry the header names; a chain that ends early,
//    runs on or comes back on itself is reported (exit 255 while listing, 1
//    while printing), as is an entry that cannot be read;
//  - only names "L" + seven digits are opened, in the log directory, and only
//    regular files;
//  - a file is read block by block up to its end LRBA (the file being
//    written: up to its size when it is opened), never past its end; each
//    block is walked by the log's one rule of a sound record (LogBlock.h), and
//    a block that breaks it is reported with its place and passed over;
//  - a record whose back link does not name the record before it is
//    reported, and checking goes on from it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tools/trail/RecordPrinter.h"
#include "tools/trail/TrailCommandLine.h"

class LogCatalog;
class StringCatalog;
struct LogFileEntry;

namespace trail {

class TrailOutput;

class LogPrinter {
  public:
    LogPrinter(const TrailOptions& options, StringCatalog& console, StringCatalog& firmware,
               TrailOutput& out, TrailOutput& err);

    // Steps 4 to 9 of a run over the log directory: the exit code.
    int Print(const std::string& directory);

    std::uint64_t Decoded() const { return records_.Decoded(); }

  private:
    // How a walk of the age chain ended: the entries visited, and where it
    // stopped early the last entry reached (0: none) and why.
    struct WalkEnd {
        enum { kDone, kUnreadable, kBroken } how = kDone;
        std::uint32_t walked = 0;
        std::uint32_t stopOffset = 0;
        int error = 0;  // errno of an entry that could not be read
    };
    // Walks the age chain, calling visit(offset, entry) for each entry.
    template <typename Visit>
    WalkEnd WalkChain(LogCatalog& catalog, Visit visit);
    // 0 for a walk that went through; otherwise says why it stopped (the
    // entry that could not be read with message unreadable) and answers
    // failureCode.
    int Finish(LogCatalog& catalog, const WalkEnd& end, int unreadable, int failureCode);
    // For a catalog that counts no files: why it cannot be right (empty
    // when it can). The catalog's own checks must have found nothing (its
    // size fits the file, no link names an entry, the free list walks), and
    // no log file holding a block may lie beside its header (filesBeside).
    static std::string EmptyCatalogDamage(const LogCatalog& catalog, bool filesBeside);
    void PrintHeader(LogCatalog& catalog);
    int ListFiles(LogCatalog& catalog);
    int DumpFiles(LogCatalog& catalog);
    // Prints the records of one file; false when a back link was broken.
    bool DumpLogFile(const std::string& path, std::uint32_t beginLrba, std::uint32_t endLrba,
                     std::uint32_t expectedLink);
    // The catalog text filled with the arguments, then ": " and the system's
    // text of error (when it is not 0), on the error stream.
    template <typename... Args>
    void SystemError(int error, int number, Args... args);

    const TrailOptions& options_;
    StringCatalog& console_;
    TrailOutput& out_;
    TrailOutput& err_;
    RecordPrinter records_;
    // The blocks of one read, kept from file to file.
    std::unique_ptr<unsigned char[]> buffer_;
};

}  // namespace trail
