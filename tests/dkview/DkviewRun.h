// Running the dkview program in a test's machine root (see ProgramRun.h).
#pragma once

#include "ProgramRun.h"

namespace dkviewtest {

using clitest::Fields;
using clitest::kRunLimitMs;
using clitest::Lines;
using clitest::Mark;
using DkviewResult = clitest::ProgramResult;

inline DkviewResult RunDkview(const testsupport::FreshRoot& root,
                              const std::vector<std::string>& arguments,
                              const std::vector<std::string>& environment = {}) {
    return clitest::RunProgram(root, "dkview", arguments, environment);
}

}  // namespace dkviewtest
