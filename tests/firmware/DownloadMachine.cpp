#include "DownloadMachine.h"

#include <sstream>

#include "../sim/SimTestUtil.h"
#include "sim/CommandTrace.h"
#include "support/ChildProcess.h"
#include "support/FileBytes.h"

namespace fwtest {

namespace {

constexpr int kRunLimitMs = 60000;

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    return sim::CommandTrace::DataSummary(bytes);
}

}  // namespace

std::vector<std::string> CollapsedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (lines.empty() || lines.back() != line)
            lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> WithOffBusAfterRestarts(std::vector<std::string> lines) {
    const std::string restart = "op=f0 cdb=f0000000000000000000 status=00";
    const std::string offBus = "op=20 cdb=20000000000000000600 error=16";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] == restart && (i + 1 == lines.size() || lines[i + 1] != offBus)) {
            lines.insert(lines.begin() + static_cast<long>(i) + 1, offBus);
        }
    }
    return lines;
}

void DownloadMachine::SetUp() {
    // download is another process: its waits cannot move a virtual clock, so
    // the simulator's time runs at a scale of real time.
    ASSERT_TRUE(sim_.Start({"--scenario",
                            std::string(ORU_SOURCE_DIR) + "/tests/firmware/scenarios/firmware.json",
                            "--time-scale", "75"}));
}

bool DownloadMachine::StartDownload(testsupport::ChildProcess& child,
                                    const std::vector<std::string>& arguments,
                                    const std::vector<std::string>& environment) {
    std::vector<std::string> env = {"ORU_ROOT=" + root_.Path(), "ORU_TIME_SCALE=500", "LC_ALL",
                                    "LANG=C"};
    env.insert(env.end(), environment.begin(), environment.end());
    return child.Start(testsupport::ProgramPath(ORU_BIN_DIR, "download"), arguments, env);
}

Ran DownloadMachine::Download(const std::vector<std::string>& arguments,
                              const std::vector<std::string>& environment) {
    testsupport::ChildProcess child;
    Ran ran;
    if (!StartDownload(child, arguments, environment)) {
        ran.err = child.StartError();
        return ran;
    }
    ran.code = child.WaitExit(kRunLimitMs);
    ran.out = child.Stdout();
    ran.err = child.Stderr();
    return ran;
}

std::string DownloadMachine::Sim(const std::vector<std::string>& arguments) {
    std::string out;
    EXPECT_EQ(sim_.Control(arguments, &out), 0) << ::testing::PrintToString(arguments);
    return out;
}

std::string DownloadMachine::Build(const std::string& name,
                                   const std::vector<std::string>& arguments) {
    const std::string path = root_.File(name);
    std::vector<std::string> args = {"build"};
    args.insert(args.end(), arguments.begin(), arguments.end());
    args.push_back(path);
    testsupport::ChildProcess child;
    EXPECT_TRUE(child.Start(testsupport::ProgramPath(ORU_BIN_DIR, "strovfw"), args, {}));
    EXPECT_EQ(child.WaitExit(kRunLimitMs), 0) << child.Stderr();
    return path;
}

std::string DownloadMachine::Sample(const std::string& name) const {
    return std::string(ORU_SOURCE_DIR) + "/tests/firmware/samples/" + name;
}

std::vector<std::uint8_t> DownloadMachine::FileBytes(const std::string& path) const {
    return testsupport::ReadBytes(path);
}

std::vector<std::string> DownloadMachine::Trace(const std::string& path) {
    return CollapsedLines(sim_.Trace(path));
}

void DownloadMachine::ClearTrace(const std::string& path) {
    Sim({"clear-trace", path});
}

std::string DownloadMachine::ControllerRevision(int cabinet, char controller) {
    const std::string shown = Sim({"firmware", std::to_string(cabinet)});
    const std::string key = std::string("controller ") + controller + " revision \"";
    const std::size_t at = shown.find(key);
    return at == std::string::npos ? "?" : shown.substr(at + key.size(), 4);
}

int DownloadMachine::ReportedState(int cabinet, char controller) {
    const std::string shown = Sim({"firmware", std::to_string(cabinet)});
    const std::size_t at = shown.find(std::string("controller ") + controller);
    const std::size_t reports = shown.find("reports ", at);
    return reports == std::string::npos ? -1 : std::stoi(shown.substr(reports + 8));
}

std::string DownloadMachine::DriveRevision(int cabinet, const std::string& slot) {
    const std::string shown = Sim({"firmware", std::to_string(cabinet)});
    const std::size_t at = shown.find("drive " + slot + " ");
    const std::size_t revision = shown.find("revision \"", at);
    return revision == std::string::npos ? "?" : shown.substr(revision + 10, 4);
}

std::vector<std::string> DrivePieceLines(std::uint8_t slot, const std::vector<std::uint8_t>& inner,
                                         const std::vector<std::uint8_t>& data) {
    const std::vector<std::uint8_t> request = simtest::ExchangeRequestCdb(
        2, slot, static_cast<std::uint8_t>(inner.size()), static_cast<std::uint32_t>(data.size()));
    std::string cdb;
    for (std::uint8_t b : request) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", b);
        cdb += two;
    }
    return {"op=27 cdb=" + cdb + " status=00 out=" + Hex(inner),
            "op=f3 cdb=f3000000000000000000 status=00 out=" + Hex(data)};
}

}  // namespace fwtest
