#include "InProcessDownload.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "../sim/SimTestUtil.h"
#include "coresys/server/scsi/ScsiDeviceTable.h"
#include "platform/Clock.h"
#include "platform/scsi/ScsiDevice.h"
#include "sim/InProcessDevice.h"
#include "tools/firmware/DownloadConsole.h"
#include "tools/firmware/DownloadFlows.h"

namespace fwtest {

void InProcessDownload::SetUp() {
    // The tool's pauses shrink 500 times: a 1 s poll takes 2 ms, the 17 s
    // after a flash 34 ms.
    platform::SetTimeScale(kToolScale);
    out_ = std::tmpfile();
    err_ = std::tmpfile();
    download::Console().out = out_;
    download::Console().err = err_;
    char dir[] = "/tmp/oru-fwtest-XXXXXX";
    if (::mkdtemp(dir) != nullptr)
        dir_ = dir;
    Serve({});
}

void InProcessDownload::TearDown() {
    platform::SetSleepObserver(nullptr);
    download::DownloadController::SetCurrent(nullptr);
    controller.reset();
    CloseArrayDevices(list);
    platform::ClearInProcessDevices();
    sim.reset();
    download::Console().out = stdout;
    download::Console().err = stderr;
    std::fclose(out_);
    std::fclose(err_);
    platform::SetTimeScale(0);
    if (!dir_.empty())
        std::filesystem::remove_all(dir_);
}

void InProcessDownload::Serve(sim::WorldModel world) {
    download::DownloadController::SetCurrent(nullptr);
    controller.reset();
    CloseArrayDevices(list);
    platform::ClearInProcessDevices();
    if (world.cabinets.empty())
        world = simtest::ScenarioWorld();
    world.timeScale = 0;
    sim = sim::InProcessDevice::ServeWorld(std::move(world));
}

void InProcessDownload::FollowToolWaits() {
    std::weak_ptr<sim::Simulator> served = sim;
    platform::SetSleepObserver([served](std::uint64_t ms) {
        if (auto alive = served.lock())
            alive->Advance(ms);
    });
}

void InProcessDownload::UseControllerX() {
    ScsiResult result;
    OpenArrayDevices(list, result);
    ASSERT_NE(list, nullptr);
    controller = std::make_unique<download::DownloadController>(list);
    download::DownloadController::SetCurrent(controller.get());
    ClearTrace();
}

std::string InProcessDownload::ReadAll(std::FILE* file) {
    std::fflush(file);
    std::string text;
    std::rewind(file);
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, n);
    return text;
}

std::string InProcessDownload::Out() {
    return ReadAll(out_);
}

std::string InProcessDownload::Err() {
    return ReadAll(err_);
}

std::vector<std::string> InProcessDownload::Trace(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(sim->Trace(path));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

void InProcessDownload::ClearTrace(const std::string& path) {
    Control("clear-trace " + path);
}

void InProcessDownload::Control(const std::string& line) {
    std::string answer;
    ASSERT_TRUE(sim->Control(line, &answer)) << line << ": " << answer;
}

int InProcessDownload::Run(const std::vector<std::string>& argv) {
    std::vector<std::string> words = argv;
    std::vector<char*> pointers;
    for (auto& w : words)
        pointers.push_back(w.data());
    pointers.push_back(nullptr);
    return download::DownloadMain(static_cast<int>(words.size()), pointers.data());
}

std::string InProcessDownload::WriteFile(const std::string& name,
                                         const std::vector<std::uint8_t>& bytes) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

}  // namespace fwtest
