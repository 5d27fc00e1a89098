// dksalvage run in-process by a test: a fresh machine root, the
// pseudo-language catalog (every text starts with "[<set>.<number>] "), the
// suite's waits shortened, and simulated arrays registered in the process
// (the recovery scenarios of the simulator, or a scripted path).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "SalvageOutput.h"
#include "TempRoot.h"
#include "sim/CabinetModel.h"
#include "sim/Simulator.h"

namespace salvagetest {

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class SalvageTest : public ::testing::Test {
  protected:
    // The tool waits kSpeed times faster; simulated time moves by
    // kSimSpeed / kSpeed of each wait, so each 5 s poll moves the work on by
    // a second.
    static constexpr double kSpeed = 1000;
    static constexpr double kSimSpeed = kSpeed / 5;

    void SetUp() override;
    void TearDown() override;

    // A recovery scenario of the simulator, changed by tweak, served in this
    // process under its path names; its clock is virtual and moves by a
    // fifth (kSimSpeed / kSpeed) of the time the tool waits.
    std::shared_ptr<sim::Simulator> Serve(const std::string& scenario,
                                          void (*tweak)(sim::WorldModel&) = nullptr);
    // The scenario's world, for a test that builds on it.
    static sim::WorldModel Scenario(const std::string& name);

    // Runs "dksalvage <arguments>" with input as its standard input.
    RunResult Run(std::vector<std::string> arguments, const std::string& input = "");

    // The CDBs (hex) a path of the served simulator received, oldest first.
    std::vector<std::string> Cdbs(const std::string& path);
    // The served cabinet's state.
    sim::CabinetModel Cabinet();

    TempRoot root;
    std::shared_ptr<sim::Simulator> simulator;
};

}  // namespace salvagetest
