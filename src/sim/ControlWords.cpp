#include "sim/ControlWords.h"

#include <cerrno>
#include <cstdlib>

#include "sim/CabinetModel.h"

namespace sim {

bool ParseNumber(const std::string& text, std::uint64_t max, std::uint64_t* out) {
    if (text.empty() || text.size() > 20)
        return false;
    char* end = nullptr;
    errno = 0;
    const int base =
        (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) ? 16 : 10;
    const unsigned long long v = std::strtoull(text.c_str(), &end, base);
    if (errno != 0 || *end != '\0' || text[0] == '-' || v > max)
        return false;
    *out = v;
    return true;
}

bool SlotIndexOf(const std::string& name, int* slot) {
    for (int s = 0; s < kDriveSlots; ++s) {
        if (SlotName(s) == name) {
            *slot = s;
            return true;
        }
    }
    std::uint64_t n = 0;
    if (!ParseNumber(name, kDriveSlots - 1, &n))
        return false;
    *slot = static_cast<int>(n);
    return true;
}

bool ControllerIndexOf(const std::string& name, int* index) {
    if (name == "X" || name == "x" || name == "0")
        return *index = 0, true;
    if (name == "Y" || name == "y" || name == "1")
        return *index = 1, true;
    return false;
}

}  // namespace sim
