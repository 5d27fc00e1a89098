// How serious each kind of array event is for the NT event log.
//
// Level(major, minor) gives the severity the service reports an event's text
// with: 0..3 error, 4 warning, 5..6 information, 7 debug information (only
// with ORU_LOG_DEBUG_EVENTS set), -1 not reported at all. Report writes a
// text with that severity. Thread-safe.
#pragma once

#include <cstdint>
#include <string>

class EventSeverity {
  public:
    static constexpr int kNotReported = -1;

    static int Level(std::uint32_t major, std::uint32_t minor);
    // Returns 1 when the text reached the event log, 0 otherwise (also when
    // the event is not reported or its severity is filtered out).
    static int Report(std::uint32_t major, std::uint32_t minor, const std::string& text);
};
