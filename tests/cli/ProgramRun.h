// Running a console program of the suite in a test's machine root, with the
// pseudo-language catalog (texts start with "[set.number]") and the service
// looked for on this host.
#pragma once

#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/FreshRoot.h"
#include "support/TextLines.h"

namespace clitest {

// exitCode -1: could not start (the reason in err) or still running after
// the limit (then killed).
using ProgramResult = testsupport::ProgramRun;

// Far beyond any run of the tests: a run that takes this long hangs.
inline constexpr int kRunLimitMs = 60000;

// Runs <bin>/<program> with the arguments; environment adds or changes
// variables ("NAME=value") or removes them ("NAME").
ProgramResult RunProgram(const testsupport::FreshRoot& root, const std::string& program,
                         const std::vector<std::string>& arguments,
                         const std::vector<std::string>& environment = {});

// Starts the program as RunProgram runs it; false (the reason in the
// process's StartError) when it cannot run.
bool StartProgram(testsupport::ChildProcess& process, const testsupport::FreshRoot& root,
                  const std::string& program, const std::vector<std::string>& arguments,
                  const std::vector<std::string>& environment = {});

// Waits for a started program to end (killing it after kRunLimitMs) and
// collects its exit code and output.
ProgramResult FinishProgram(testsupport::ChildProcess& process);

// "[set.number]", the mark of a catalog text.
std::string Mark(int set, int number);

using testsupport::Lines;

// The fields of one raw line ("C:X:1:..."), split at ':'.
std::vector<std::string> Fields(const std::string& line);

// How often part stands in text.
inline std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

}  // namespace clitest
