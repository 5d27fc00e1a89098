#include "gui/Wildcard.h"

#include <cctype>

namespace oru {
namespace {

bool SameLetter(char a, char b) {
    return std::toupper(static_cast<unsigned char>(a)) ==
           std::toupper(static_cast<unsigned char>(b));
}

}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view text) {
    std::size_t p = 0;
    std::size_t t = 0;
    // The last "*" seen and the text position its run ends at so far: on a
    // mismatch the run takes one more character and the rest is tried
    // again. Only the last "*" needs retrying, as any earlier one could only
    // take characters the later one can take as well.
    std::size_t star = std::string_view::npos;
    std::size_t runEnd = 0;
    for (;;) {
        if (p == pattern.size()) {
            return true;
        }
        if (pattern[p] == '*') {
            star = p++;
            runEnd = t;
            continue;
        }
        if (t < text.size() && SameLetter(pattern[p], text[t])) {
            ++p;
            ++t;
            continue;
        }
        if (star == std::string_view::npos || runEnd >= text.size()) {
            return false;
        }
        p = star + 1;
        t = ++runEnd;
    }
}

}  // namespace oru
