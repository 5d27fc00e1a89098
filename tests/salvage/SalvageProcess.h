// dksalvage and strovsim as processes in a fresh machine root: strovsim
// serving one recovery scenario, dksalvage run with the pseudo-language
// catalog (texts start with "[<set>.<number>] ") and the test speed factor,
// and the commands a path received, read back from strovsim's trace.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/FreshRoot.h"
#include "support/SimProcess.h"

namespace salvagetest {

using ProcessResult = testsupport::ProgramRun;

// The speed factor of the tool's waits and of simulated time.
inline constexpr const char* kProcessSpeed = "100";
// Far beyond any run of the tests: a run that takes this long hangs.
inline constexpr int kProcessLimitMs = 60000;

class SalvageProcessTest : public ::testing::Test {
  protected:
    // Serves the recovery scenario `name`.
    void ServeScenario(const std::string& name);

    // The environment dksalvage runs with.
    std::vector<std::string> Environment() const;
    // Starts dksalvage (its standard input is empty), with further
    // environment changes.
    bool Start(testsupport::ChildProcess& process, const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment = {});
    // Runs dksalvage to its end.
    ProcessResult RunSalvage(const std::vector<std::string>& arguments);

    // The CDBs (hex) a path received since its trace was last cleared.
    std::vector<std::string> Cdbs(const std::string& path);
    void ClearTraces();
    // The first cabinet's state as "strovsim show" gives it, and its drive
    // lines ("drive A1 <serial> state <n> ...").
    int CabinetState();
    std::vector<std::string> DriveLines();

    testsupport::FreshRoot root;
    std::unique_ptr<testsupport::SimProcess> sim;
};

// Runs of equal neighbours folded into one: the commands a host repeats
// while it waits (busy reads, progress polls) count once.
std::vector<std::string> Folded(const std::vector<std::string>& cdbs);
// How often each run of `cdb` repeats in cdbs, run by run.
std::vector<std::size_t> Repeats(const std::vector<std::string>& cdbs, const std::string& cdb);
// True when every element of `part` appears in `whole` in order.
bool IsSubsequence(const std::vector<std::string>& part, const std::vector<std::string>& whole);

}  // namespace salvagetest
