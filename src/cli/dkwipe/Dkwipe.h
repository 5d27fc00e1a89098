// dkwipe: formats a whole array.
#pragma once

#include <cstdint>
#include <string>

namespace dkwipe {

inline constexpr int kWipeSet = 4;
inline constexpr int kHelpItems[] = {7, 10, 11, 12, 13, 14, 15, 16, 17, 18};
inline constexpr int kUsageItems[] = {20};

struct WipeOptions {
    bool format = false;   // -F
    bool pattern = false;  // -h: fill with the format pattern
    bool raw = false;
    bool verbose = false;
    std::int32_t exitLevel = -1;
    std::string arrayId;
};

WipeOptions ParseWipeArguments(int argc, char** argv);

int RunWipe(const WipeOptions& options);

void PrintWipeHelp();

}  // namespace dkwipe
