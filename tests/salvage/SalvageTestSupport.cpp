#include "SalvageTestSupport.h"

#include <cstdlib>
#include <sstream>

#include "platform/Clock.h"
#include "sim/InProcessDevice.h"
#include "sim/RecoveryScenario.h"
#include "tools/recover/SalvageRun.h"

namespace salvagetest {

void SalvageTest::SetUp() {
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_MESSAGES");
    ::setenv("LANG", "xx", 1);
    ::setenv("ORU_NLSPATH", ORU_NLS_DIR, 1);
    platform::SetTimeScale(kSpeed);
}

void SalvageTest::TearDown() {
    platform::SetTimeScale(0);
}

sim::WorldModel SalvageTest::Scenario(const std::string& name) {
    sim::WorldModel world;
    EXPECT_TRUE(sim::RecoveryScenario::Build(name, &world)) << name;
    world.timeScale = kSimSpeed;
    return world;
}

std::shared_ptr<sim::Simulator> SalvageTest::Serve(const std::string& scenario,
                                                   void (*tweak)(sim::WorldModel&)) {
    sim::WorldModel world = Scenario(scenario);
    if (tweak != nullptr) {
        tweak(world);
    }
    simulator = sim::InProcessDevice::ServeWorld(std::move(world));
    return simulator;
}

RunResult SalvageTest::Run(std::vector<std::string> arguments, const std::string& input) {
    arguments.insert(arguments.begin(), "dksalvage");
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    RunResult result;
    result.exitCode = salvage::RunSalvage(static_cast<int>(argv.size() - 1), argv.data(),
                                          salvage::Console{in, out, err});
    result.out = out.str();
    result.err = err.str();
    return result;
}

std::vector<std::string> SalvageTest::Cdbs(const std::string& path) {
    return TracedCdbs(simulator->Trace(path));
}

sim::CabinetModel SalvageTest::Cabinet() {
    return simulator->Snapshot().cabinets.at(0);
}

}  // namespace salvagetest
