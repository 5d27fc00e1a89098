#include "ServiceFixture.h"

#include <sstream>

#include "platform/Clock.h"
#include "sim/DefaultScenario.h"
#include "sim/ModelJson.h"

namespace clitest {

void ProgramsOnServiceTest::SetUp() {
    sim::WorldModel world = sim::DefaultScenario::Build();
    Prepare(world);
    ASSERT_TRUE(root_.Write("sim/state.json", sim::ModelJson::ToJson(world).dump()));
    ASSERT_TRUE(StartSimulator());
    ConfigureAdministration();
    StartServer({"ORU_SMON_INTERVAL=0", "ORU_PLOG_INTERVAL=0"});
}

ProgramResult ProgramsOnServiceTest::Run(const std::string& program,
                                         const std::vector<std::string>& arguments) {
    return RunProgram(root_, program, arguments, {"ORU_TIME_SCALE=10"});
}

ProgramResult ProgramsOnServiceTest::RunAdvancing(const std::string& program,
                                                  const std::vector<std::string>& arguments) {
    testsupport::ChildProcess process;
    if (!StartProgram(process, root_, program, arguments, {"ORU_TIME_SCALE=10"})) {
        return {-1, "", process.StartError()};
    }
    // Simulated time moves 30 times faster than real time, however long each
    // strovsim run takes on a loaded machine: the array's 20 s restart lasts
    // under a second, well inside the service's 1.8 s of ready polls (it
    // runs 100 times faster than real time).
    constexpr std::uint64_t kSimulatedPerRealMs = 30;
    std::uint64_t last = platform::MonotonicMs();
    const std::uint64_t end = last + kRunLimitMs;
    while (process.Running() && last < end) {
        platform::SleepMs(20);
        const std::uint64_t now = platform::MonotonicMs();
        Strovsim({"advance", std::to_string((now - last) * kSimulatedPerRealMs)});
        last = now;
    }
    return FinishProgram(process);
}

sim::CabinetModel ProgramsOnServiceTest::Cabinet(std::size_t n) {
    sim::WorldModel world;
    std::string error;
    EXPECT_TRUE(sim::ModelJson::FromText(root_.Read("sim/state.json"), &world, &error)) << error;
    return n < world.cabinets.size() ? world.cabinets[n] : sim::CabinetModel{};
}

std::string ProgramsOnServiceTest::Shown(int n) {
    std::string all;
    Strovsim({"show"}, &all);
    std::string cabinet;
    bool inside = false;
    std::istringstream in(all);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("cabinet ", 0) == 0 || line.rfind("path ", 0) == 0) {
            inside = line.rfind("cabinet " + std::to_string(n) + " ", 0) == 0;
        }
        if (inside) {
            cabinet += line + "\n";
        }
    }
    return cabinet;
}

std::string ProgramsOnServiceTest::Trace(const std::string& path) {
    std::string trace;
    Strovsim({"trace", path}, &trace);
    return trace;
}

}  // namespace clitest
