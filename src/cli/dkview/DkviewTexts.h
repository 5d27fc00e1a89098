// dkview's catalog sets and the few texts that are no catalog texts: the
// resiliency words of the raw settings record (read by scripts, so never
// translated) and the layouts of its fatal time-argument messages.
#pragma once

#include <cstdint>

namespace dkview {

inline constexpr int kPerfSet = 11;     // performance recommendations and metrics
inline constexpr int kUsageSet = 12;    // usage lines 1..4
inline constexpr int kDisplaySet = 13;  // display labels and the long help
inline constexpr int kFatalSet = 16;    // fatal texts of the time arguments

inline constexpr int kFirstUsageItem = 1;
inline constexpr int kLastUsageItem = 4;
inline constexpr int kFirstHelpItem = 900;
inline constexpr int kLastHelpItem = 925;

struct DkviewTexts {
    // Raw resiliency word by the user parameters of the state.
    static constexpr const char* kHighPerformance = "HighPerformance";
    static constexpr const char* kNormal = "Normal";
    static constexpr const char* kSingleController = "SingleController";
    static constexpr const char* kSecure = "Secure";
    static constexpr const char* kError = "Error";

    // "<program>: <fatal text>" and the range line after it.
    static constexpr const char* kFatalLine = "%s: %s\n";
    static constexpr const char* kRangeLine = "[%02d-%02d]: %d\n";

    // Indents of headings and value lines in the readable displays.
    static constexpr const char* kHeading = "   ";
    static constexpr const char* kValue = "      ";
};

}  // namespace dkview
