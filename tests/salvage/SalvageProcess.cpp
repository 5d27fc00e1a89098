#include "SalvageProcess.h"

#include <sstream>

#include "SalvageOutput.h"

namespace salvagetest {

void SalvageProcessTest::ServeScenario(const std::string& name) {
    sim = std::make_unique<testsupport::SimProcess>(root, ORU_BIN_DIR);
    ASSERT_TRUE(sim->Start({"--recovery", name, "--time-scale", kProcessSpeed}))
        << sim->Process().Stderr();
}

std::vector<std::string> SalvageProcessTest::Environment() const {
    return {"ORU_ROOT=" + root.Path(),
            "LC_ALL",
            "LC_MESSAGES",
            "LANG=xx",
            std::string("ORU_NLSPATH=") + ORU_NLS_DIR,
            std::string("ORU_TIME_SCALE=") + kProcessSpeed};
}

bool SalvageProcessTest::Start(testsupport::ChildProcess& process,
                               const std::vector<std::string>& arguments,
                               const std::vector<std::string>& environment) {
    std::vector<std::string> env = Environment();
    env.insert(env.end(), environment.begin(), environment.end());
    return process.Start(testsupport::ProgramPath(ORU_BIN_DIR, "dksalvage"), arguments, env);
}

ProcessResult SalvageProcessTest::RunSalvage(const std::vector<std::string>& arguments) {
    return testsupport::RunProgram(testsupport::ProgramPath(ORU_BIN_DIR, "dksalvage"), arguments,
                                   Environment(), kProcessLimitMs);
}

std::vector<std::string> SalvageProcessTest::Cdbs(const std::string& path) {
    return TracedCdbs(sim->Trace(path));
}

void SalvageProcessTest::ClearTraces() {
    for (const char* path : {"STROVANE0", "STROVANE1"}) {
        EXPECT_EQ(sim->Control({"clear-trace", path}), 0);
    }
}

int SalvageProcessTest::CabinetState() {
    std::string text;
    EXPECT_EQ(sim->Control({"show"}, &text), 0);
    std::istringstream in(text);
    std::string word, index, serial, label;
    int state = -1;
    in >> word >> index >> serial >> label >> state;
    return word == "cabinet" ? state : -1;
}

std::vector<std::string> SalvageProcessTest::DriveLines() {
    std::string text;
    EXPECT_EQ(sim->Control({"show"}, &text), 0);
    std::vector<std::string> drives;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("  drive ", 0) == 0) {
            drives.push_back(line.substr(2));
        }
    }
    return drives;
}

std::vector<std::string> Folded(const std::vector<std::string>& cdbs) {
    std::vector<std::string> folded;
    for (const std::string& cdb : cdbs) {
        if (folded.empty() || folded.back() != cdb) {
            folded.push_back(cdb);
        }
    }
    return folded;
}

std::vector<std::size_t> Repeats(const std::vector<std::string>& cdbs, const std::string& cdb) {
    std::vector<std::size_t> runs;
    for (std::size_t i = 0; i < cdbs.size(); ++i) {
        if (cdbs[i] != cdb) {
            continue;
        }
        if (i == 0 || cdbs[i - 1] != cdb) {
            runs.push_back(0);
        }
        ++runs.back();
    }
    return runs;
}

bool IsSubsequence(const std::vector<std::string>& part, const std::vector<std::string>& whole) {
    std::size_t at = 0;
    for (const std::string& cdb : whole) {
        if (at < part.size() && part[at] == cdb) {
            ++at;
        }
    }
    return at == part.size();
}

}  // namespace salvagetest
