// The two timer intervals of a subsystem monitor, from the environment.
//
// Status poll: ORU_SMON_INTERVAL seconds, else ORU_INTERVAL seconds, else
// 120000 ms. Preventive check: ORU_PLOG_INTERVAL seconds, else 900000 ms. A
// variable that is present decides even when it holds 0 or no number: the
// timer is then off (0). Large values are clamped so the milliseconds fit
// in 32 bits.
#pragma once

#include <cstdint>

class MonitorInterval {
  public:
    static constexpr std::uint32_t kDefaultStatusPollMs = 120000;
    static constexpr std::uint32_t kDefaultPreventiveMs = 900000;
    static constexpr std::uint32_t kMaxSeconds = 0xFFFFFFFFu / 1000u;

    static std::uint32_t StatusPoll();
    static std::uint32_t PreventiveCheck();

    // Milliseconds of a value in seconds as the variables hold it: digits
    // only (surrounding blanks allowed), clamped; anything else gives 0.
    static std::uint32_t ParseSeconds(const char* text);
};
