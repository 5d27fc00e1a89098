// dktune's catalog set and its program messages.
#pragma once

namespace dktune {

inline constexpr int kTuneSet = 6;  // usage, result lines, long help

inline constexpr int kFirstUsageItem = 1;
inline constexpr int kLastUsageItem = 4;
inline constexpr int kFirstHelpItem = 900;
inline constexpr int kLastHelpItem = 939;

// Program messages of dktune beside the library's.
inline constexpr int kPmNoAliasSupport = 19;  // the array's level cannot take the request
inline constexpr int kPmBadAlias = 20;        // an alias with a character not allowed

}  // namespace dktune
