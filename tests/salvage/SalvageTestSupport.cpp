#include "SalvageTestSupport.h"

#include <atomic>
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
    platform::SetSleepObserver(nullptr);
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
    // The simulated clock is virtual and moves by a fifth of every wait the
    // tool makes (each 5 s poll moves the work on by exactly a second), so
    // nothing depends on how fast the machine runs. A tweak that stops the
    // clock (a time scale next to nothing) keeps it stopped.
    const bool moving = world.timeScale >= kSimSpeed;
    world.timeScale = 0;
    simulator = sim::InProcessDevice::ServeWorld(std::move(world));
    if (moving) {
        std::weak_ptr<sim::Simulator> served = simulator;
        auto owed = std::make_shared<std::atomic<std::uint64_t>>(0);
        platform::SetSleepObserver([served, owed](std::uint64_t ms) {
            const auto ratio = static_cast<std::uint64_t>(kSpeed / kSimSpeed);
            const std::uint64_t total = owed->fetch_add(ms) + ms;
            const std::uint64_t before = (total - ms) / ratio;
            if (auto alive = served.lock()) {
                alive->Advance(total / ratio - before);
            }
        });
    }
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
