// Comparing names the way hosts and views are compared: byte by byte,
// without regard to the case of ASCII letters.
#pragma once

#include <algorithm>
#include <cctype>
#include <string_view>

namespace oru {

inline bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace oru
