// The lines of a program's output, for tests that read it line by line.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

// The lines of text without their line ends; a last line without one counts.
std::vector<std::string> Lines(const std::string& text);

}  // namespace testsupport
