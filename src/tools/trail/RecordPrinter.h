// How dktrail prints one log record that passed its filters: the generic
// line (verbose only) for records it does not decode, and the decoders of
// the subsystem data records (class 2): "usage" (code 0, the controller's
// counters), "disk", "ctrlr" and "change" (codes 1..3, controller-log
// entries as the controller wrote them, big-endian), "perf" (code 4, the
// preventive record, little-endian).
//
// A decoder reads only what the record's length covers: a record too short
// for its kind prints the generic line (verbose) and is reported on the
// error stream instead of being decoded. Times print in the local zone as
// ctime() does. Text fields of a record (serials, drive ids) print with
// anything unprintable as '?': they come from a file and go to a terminal.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

#include "cli/common/ControllerLogLines.h"
#include "coresys/server/log/LogBlock.h"
#include "tools/trail/TrailCommandLine.h"
#include "tools/trail/TrailOutput.h"

class StringCatalog;

namespace trail {

class TrailOutput;

// The ctime() text of a time stamp in the local zone ("Thu Nov 14 22:13:20
// 2023\n"), the last one kept for the next record.
class LocalTimeText {
  public:
    // 24 characters and the line end.
    const std::string& Full(std::uint32_t time);
    // Month, day and time of day: "Nov 14 22:13:20".
    std::string Short(std::uint32_t time) { return Full(time).substr(4, 15); }

  private:
    bool valid_ = false;
    std::uint32_t time_ = 0;
    std::string text_;
};

class RecordPrinter {
  public:
    // Bytes a record of each kind must hold to be decoded.
    static constexpr std::uint32_t kDecodeLength[LRK_COUNT] = {76, 78, 74, 71, 253};

    RecordPrinter(const TrailOptions& options, StringCatalog& console, StringCatalog& firmware,
                  TrailOutput& out, TrailOutput& err);

    // A record that passed the time and serial filters (the filler is never
    // handed in).
    void Print(const LogRecordView& record);
    // Records that went to a decoder (class 2 of the kinds chosen, and of
    // codes no kind names).
    std::uint64_t Decoded() const { return decoded_; }

    LocalTimeText& Times() { return times_; }

  private:
    void GenericLine(const LogRecordView& record);
    // The decoder's heading: its title with the serial, message 187 and the
    // time; with verbose on, the generic line behind it.
    void Heading(int title, const LogRecordView& record);
    void Usage(const LogRecordView& record);
    void Disk(const LogRecordView& record);
    void Controller(const LogRecordView& record);
    void Change(const LogRecordView& record);
    void Perf(const LogRecordView& record);
    const std::string& Text(int number);

    const TrailOptions& options_;
    StringCatalog& console_;
    TrailOutput& out_;
    TrailOutput& err_;
    cli::ControllerLogTexts entryTexts_;
    LocalTimeText times_;
    std::uint64_t decoded_ = 0;
    // Texts without arguments, and the headings of each serial, looked up
    // once.
    std::array<std::optional<std::string>, 256> texts_;
    std::unordered_map<std::string, std::string> headings_;
};

}  // namespace trail
