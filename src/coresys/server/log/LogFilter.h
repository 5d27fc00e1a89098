// Which records of the log a reader wants: one subsystem (by serial number),
// and optionally bundle ranges, record classes and time ranges. An empty
// list sets no condition.
//
// Range lists are kept sorted; ranges that overlap or share an end point are
// merged into one ([10, 20] and [20, 30] become [10, 30]; [10, 20] and
// [21, 30] stay two). The class list is sorted and holds each value once.
// Bounds are inclusive. Times are seconds since 1970, unsigned like the
// records' stamps.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "coresys/server/log/LogBlock.h"

class LogFilter {
  public:
    using Range = std::pair<std::uint32_t, std::uint32_t>;

    LogFilter() = default;

    // The subsystem whose records match (the cursor sets it from its log):
    // up to 12 characters, empty for the service's own records.
    void SetSerial(const char* serial);
    const char* Serial() const { return serial_; }

    // Records of this class (widened to 32 bits; the code is not compared).
    void RecordType(std::uint32_t type);
    // Filtering by class and code is not offered: fatal.
    [[noreturn]] void RecordType(std::uint32_t type, std::uint32_t subtype);
    // Records whose bundle ID lies in [low, high].
    void BundleRange(std::uint32_t low, std::uint32_t high);
    // Records stamped within [low, high].
    void TimeRange(std::uint32_t low, std::uint32_t high);

    // True when the record is of the filter's subsystem and passes every
    // list that is not empty. The filler record that opens a new log
    // (class 0) is never a match.
    bool Match(const LogRecordView& record) const;

    const std::vector<Range>& BundleRanges() const { return bundles_; }
    const std::vector<Range>& TimeRanges() const { return times_; }
    const std::vector<std::uint32_t>& RecordTypes() const { return types_; }

  private:
    static void Insert(std::vector<Range>& ranges, std::uint32_t low, std::uint32_t high);
    static bool InRanges(const std::vector<Range>& ranges, std::uint32_t value);

    char serial_[13] = {};
    std::vector<Range> bundles_;
    std::vector<std::uint32_t> types_;
    std::vector<Range> times_;
};
