#include "ServiceFixture.h"

#include <sstream>

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
    // For the run the simulator's clock follows real time as fast as the
    // service's waits do (both a hundred times faster): the array's 20 s
    // restart ends 200 ms after the command, and the service first looks
    // after its 1.2 s wait, which no loaded machine makes shorter. Nothing
    // hangs on how soon a test gets to move a virtual clock on.
    if (Strovsim({"timescale", kSimulatedSpeed}) != 0) {
        return {-1, "", "strovsim timescale " + std::string(kSimulatedSpeed) + " failed"};
    }
    const ProgramResult result = Run(program, arguments);
    // Back on the virtual clock; the change writes the state file too.
    EXPECT_EQ(Strovsim({"timescale", "0"}), 0);
    return result;
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
