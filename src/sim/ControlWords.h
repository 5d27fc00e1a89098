// The words an operator types to the simulator: in its control requests
// ("strovsim pull 0 A2", "strovsim media-error 0 A2 1000 8") and on the
// command line of strovfw.
#pragma once

#include <cstdint>
#include <string>

namespace sim {

// A decimal number, or a hexadecimal one after "0x", of at most max; false
// for an empty word, a sign, anything after the digits or a larger value.
bool ParseNumber(const std::string& text, std::uint64_t max, std::uint64_t* out);

// A drive slot by its name (A1..B6) or its index (0..11); false for
// anything else.
bool SlotIndexOf(const std::string& name, int* slot);

// A controller: X/x/0 gives 0, Y/y/1 gives 1; false for anything else.
bool ControllerIndexOf(const std::string& name, int* index);

}  // namespace sim
