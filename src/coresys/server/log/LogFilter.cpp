#include "coresys/server/log/LogFilter.h"

#include <algorithm>
#include <cstring>

#include "coresys/server/task/ServerFatal.h"

void LogFilter::SetSerial(const char* serial) {
    std::memset(serial_, 0, sizeof serial_);
    if (serial != nullptr) {
        std::strncpy(serial_, serial, sizeof serial_ - 1);
    }
}

void LogFilter::RecordType(std::uint32_t type) {
    auto at = std::lower_bound(types_.begin(), types_.end(), type);
    if (at == types_.end() || *at != type) {
        types_.insert(at, type);
    }
}

void LogFilter::RecordType(std::uint32_t, std::uint32_t) {
    ServerFatalError("LogFilter::RecordType", "Record subtype filtering not implemented");
}

void LogFilter::BundleRange(std::uint32_t low, std::uint32_t high) {
    Insert(bundles_, low, high);
}

void LogFilter::TimeRange(std::uint32_t low, std::uint32_t high) {
    Insert(times_, low, high);
}

void LogFilter::Insert(std::vector<Range>& ranges, std::uint32_t low, std::uint32_t high) {
    if (high < low) {
        std::swap(low, high);
    }
    ranges.emplace_back(low, high);
    std::sort(ranges.begin(), ranges.end());
    std::vector<Range> merged;
    for (const Range& range : ranges) {
        if (!merged.empty() && range.first <= merged.back().second) {
            merged.back().second = std::max(merged.back().second, range.second);
        } else {
            merged.push_back(range);
        }
    }
    ranges.swap(merged);
}

bool LogFilter::InRanges(const std::vector<Range>& ranges, std::uint32_t value) {
    if (ranges.empty()) {
        return true;
    }
    // The first range whose high end is at or above the value.
    auto at =
        std::lower_bound(ranges.begin(), ranges.end(), value,
                         [](const Range& range, std::uint32_t v) { return range.second < v; });
    return at != ranges.end() && at->first <= value;
}

bool LogFilter::Match(const LogRecordView& record) const {
    if (record.Class() == logfmt::kClassFiller || !record.HasSerial(serial_)) {
        return false;
    }
    if (!types_.empty() &&
        !std::binary_search(types_.begin(), types_.end(), std::uint32_t{record.Class()})) {
        return false;
    }
    return InRanges(bundles_, record.BundleId()) && InRanges(times_, record.Time());
}
