// The wall clock of the service's log: seconds since 1970-01-01 00:00 UTC
// as the log stamps its records and catalog entries and as its readers
// compare them with "now".
//
// By default it is the system's clock. A test or a generator of logs may
// put a clock of its own in its place for the whole process, so a month of
// records can be written in seconds with the stamps of that month, and the
// catalog's file times agree with them.
#pragma once

#include <cstdint>

class LogClockSource {
  public:
    virtual ~LogClockSource() = default;
    virtual std::uint32_t Now() const = 0;
};

namespace logclock {

// The log's current time. Thread-safe.
std::uint32_t Now();

// Makes source the log's clock (nullptr: the system's clock again). The
// source must outlive its use; set and clear it while no log is running.
void SetSource(const LogClockSource* source);

}  // namespace logclock
