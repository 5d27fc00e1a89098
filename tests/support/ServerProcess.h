// OruServr run by a test in the console of a fresh machine root.
//
// Start runs <binDir>/OruServr with ORU_DEBUG=ON, ORU_ROOT=<root>, syslog
// off and the English locale, plus the caller's environment changes.
// WaitUntilRunning waits (with a time limit) until the service has
// recorded its start in the root's event log, i.e. it has built its
// managers and is about to report RUNNING; false when the program ended
// first.
#pragma once

#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/FreshRoot.h"

namespace testsupport {

class ServerProcess {
  public:
    ServerProcess(const FreshRoot& root, std::string binDir)
        : root_(root), binDir_(std::move(binDir)) {}

    bool Start(const std::vector<std::string>& environment = {});
    // startedText: the start record's text (another in a test language).
    bool WaitUntilRunning(int timeoutMs, const std::string& startedText = "OruServr Started");

    ChildProcess& Process() { return process_; }

  private:
    const FreshRoot& root_;
    std::string binDir_;
    ChildProcess process_;
};

// The strings of every record of an event log of the current root, one
// entry per record (its strings joined by '|').
std::vector<std::string> EventLogTexts(const std::string& logName = "Application");

// The records of an event log of the current root whose text begins with
// prefix.
int CountEventLogTexts(const std::string& prefix, const std::string& logName = "Application");

// Waits up to timeoutMs until a record of the log contains text.
bool WaitForEventLogText(const std::string& text, int timeoutMs,
                         const std::string& logName = "Application");

}  // namespace testsupport
