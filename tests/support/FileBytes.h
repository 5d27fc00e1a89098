// A file's bytes as a whole, for tests that write files by hand and compare
// what a program left in them.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

// Every byte of the file; none when it cannot be read.
std::vector<unsigned char> ReadBytes(const std::string& path);
// Replaces the file's content with bytes; false when that failed.
bool WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes);

}  // namespace testsupport
