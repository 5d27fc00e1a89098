// The printf arguments a catalog text takes.
//
// Catalog texts are files outside the program, and every text is used as a
// printf format filled with the caller's arguments. A text is safe to use
// only when it takes exactly the arguments the program passes, and never
// writes through one of them (%n). FormatArguments reads a format the way
// printf does and names the argument each conversion takes, in argument
// order; two texts are interchangeable when their sequences are equal.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace catalog {

// One name per argument ("int", "lunsigned", "double", "string", ...), in
// argument order; a '*' width or precision takes an "int". Nothing when the
// format writes through an argument (%n with any length modifier), holds a
// conversion printf does not know, mixes numbered and plain conversions, or
// leaves a gap between numbered arguments.
std::optional<std::vector<std::string>> FormatArguments(const char* format);

}  // namespace catalog
