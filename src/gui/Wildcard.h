// The wildcard match of the view filters: a pattern against a text, one
// character at a time, without regard to case.
//
// "*" stands for any run of characters, the empty run included, so "name*"
// matches "name". A pattern that is used up matches whatever text is left:
// a pattern without "*" matches every text that begins with it, and "*name"
// every text that contains "name". Runs in time proportional to the product
// of the two lengths at worst.
#pragma once

#include <string_view>

namespace oru {

bool WildcardMatch(std::string_view pattern, std::string_view text);

}  // namespace oru
