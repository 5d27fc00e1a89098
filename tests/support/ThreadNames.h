// The threads of this process by name, as the kernel shows them (at most 15
// characters each), with how many threads carry each name. Empty when the
// process's task list cannot be read.
#pragma once

#include <map>
#include <string>

namespace testsupport {

std::map<std::string, int> ThreadNames();

}  // namespace testsupport
