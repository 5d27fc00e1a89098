// The service against the number of cabinets it manages: how long OruServr
// takes from its start to RUNNING, how much memory it holds, and what one
// full state build costs in controller commands and time.
//
// Every run makes its own machine: a fresh ORU_ROOT with free ports and the
// administration path, and strovsim serving the first N cabinets of
// bench/scenarios/cabinets-20.json (one path per controller, no plain disk).
// The service runs in the console with every wait and interval at its real
// length. Nothing is left behind.
//
//   build/release/bin/service_bench
//
// Runs:
//   BM_ServiceStart/N   N cabinets; time = OruServr's start (fork) to its
//                       "OruServr Started" record, polled every 0.2 ms.
//                       Counters: subsystems it lists, commands the
//                       controllers received during the start, resident
//                       memory (KiB) at RUNNING and after one GetState per
//                       subsystem through libqen, its high-water mark, and
//                       the service's threads.
//   BM_DeviceStart/N/S  the device manager's part of the start alone, in
//                       this process: discovery, grouping, the monitors and
//                       their first state builds. S 0: over an in-process
//                       simulator that keeps no state file; S 1: over
//                       strovsim's sockets. Counter commands = commands the
//                       controllers received, each monitor's sign-off at
//                       the stop included.
//   BM_SimulatorSave/N  what strovsim spends after every command that
//                       changes its cabinets (a host-sequence exchange,
//                       for one): the whole world written to its state
//                       file (JSON, fsync, rename) under $TMPDIR.
//   BM_StateBuild/N     one ServerDiskArrayState build of the last cabinet,
//                       in this process, with N cabinets discovered;
//                       counter commands = commands one build sends.
#include <benchmark/benchmark.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "client/DiskArray.h"
#include "client/QEN.h"
#include "coresys/common/PollMsg.h"
#include "coresys/server/device/DeviceMgr.h"
#include "coresys/server/monitor/OruLite.h"
#include "coresys/server/state/ServerDiskArrayState.h"
#include "coresys/server/task/OruTask.h"
#include "coresys/server/task/ResourceHold.h"
#include "platform/Registry.h"
#include "platform/Root.h"
#include "platform/scsi/ScsiDevice.h"
#include "sim/InProcessDevice.h"
#include "sim/ModelJson.h"
#include "sim/Simulator.h"
#include "support/ChildProcess.h"
#include "support/FreshRoot.h"
#include "support/ServerProcess.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kLimitMs = 120000;
constexpr const char* kAdministrationKey =
    "Software\\Verdanix\\Strovane\\OruServer\\Administration";
constexpr const char* kStartedText = "OruServr Started";

// Serial and path names of cabinet n (0-based) of the scenario: paths are
// numbered in cabinet order, X before Y.
std::string SerialOf(int n) {
    char serial[16];
    std::snprintf(serial, sizeof serial, "QX%010d", n + 1);
    return serial;
}
std::vector<std::string> PathsOf(int n) {
    return {"STROVANE" + std::to_string(2 * n), "STROVANE" + std::to_string(2 * n + 1)};
}

// The scenario with its first `cabinets` cabinets, as text ("" on failure).
std::string Scenario(int cabinets) {
    std::ifstream in(ORU_BENCH_SCENARIO);
    nlohmann::json world = nlohmann::json::parse(in, nullptr, false);
    if (world.is_discarded() || !world.contains("cabinets") ||
        static_cast<int>(world["cabinets"].size()) < cabinets) {
        return "";
    }
    nlohmann::json& list = world["cabinets"];
    list.erase(list.begin() + cabinets, list.end());
    return world.dump(1);
}

struct ProcessMemory {
    double rssKib = 0, hwmKib = 0, threads = 0;
};

// VmRSS, VmHWM and Threads of /proc/<pid>/status; false when unreadable.
bool ReadMemory(pid_t pid, ProcessMemory* memory) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    int found = 0;
    while (std::getline(status, line)) {
        std::istringstream fields(line);
        std::string name;
        double value = 0;
        fields >> name >> value;
        if (name == "VmRSS:") {
            memory->rssKib = value;
            ++found;
        } else if (name == "VmHWM:") {
            memory->hwmKib = value;
            ++found;
        } else if (name == "Threads:") {
            memory->threads = value;
            ++found;
        }
    }
    return found == 3;
}

// A fresh machine root serving `cabinets` cabinets, and on request OruServr.
class Machine {
  public:
    ~Machine() { Stop(); }

    std::string Start(int cabinets) {
        root_ = std::make_unique<testsupport::FreshRoot>();
        ::setenv("ORU_ROOT", root_->Path().c_str(), 1);
        ::unsetenv("ORU_TIME_SCALE");
        platform::RegistryKey admin;
        if (!platform::RegistryKey::Create(platform::Hive::LOCAL_MACHINE, kAdministrationKey,
                                           &admin)
                 .ok() ||
            !admin.WriteString("Path Name", "C:\\oru_admin").ok() ||
            platform::MakeDirs(root_->File("c/oru_admin")) != 0) {
            return "cannot configure the administration path";
        }
        const std::string scenario = Scenario(cabinets);
        if (scenario.empty() || !root_->Write("bench-scenario.json", scenario)) {
            return "cannot write the scenario";
        }
        if (Strovsim({"serve", "--daemon", "--scenario", root_->File("bench-scenario.json")}) !=
            0) {
            return "strovsim serve failed";
        }
        simulating_ = true;
        return "";
    }

    // Starts OruServr; *startMs: fork to its start record. "" when it runs.
    std::string StartServer(double* startMs) {
        server_ = std::make_unique<testsupport::ServerProcess>(*root_, ORU_BIN_DIR);
        const Clock::time_point begin = Clock::now();
        if (!server_->Start({"ORU_TIME_SCALE", "ORU_SMON_INTERVAL", "ORU_INTERVAL",
                             "ORU_PLOG_INTERVAL", "ORU_TRACE"})) {
            return "OruServr cannot start: " + server_->Process().StartError();
        }
        // The log file only grows: the record is looked for in what was
        // appended since the last look.
        const std::string log = root_->File("eventlog/Application.log");
        std::string seen;
        for (;;) {
            std::ifstream in(log, std::ios::binary);
            in.seekg(static_cast<std::streamoff>(seen.size()));
            std::ostringstream more;
            more << in.rdbuf();
            seen += more.str();
            if (seen.find(kStartedText) != std::string::npos) {
                break;
            }
            if (!server_->Process().Running()) {
                return "OruServr ended: " + server_->Process().Stderr();
            }
            if (Clock::now() - begin > std::chrono::milliseconds(kLimitMs)) {
                return "OruServr did not start";
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        *startMs = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
        return "";
    }

    pid_t ServerPid() { return server_ ? server_->Process().Pid() : -1; }

    int Strovsim(const std::vector<std::string>& args, std::string* output = nullptr) {
        testsupport::ChildProcess run;
        if (!run.Start(testsupport::ProgramPath(ORU_BIN_DIR, "strovsim"), args,
                       {"ORU_ROOT=" + root_->Path()})) {
            return -1;
        }
        int rc = run.WaitExit(kLimitMs);
        if (output != nullptr) {
            *output = run.Stdout();
        }
        return rc;
    }

    // Commands the given paths received so far; *exchanges: how many of
    // them were host-sequence exchanges (op ee), which change the cabinets.
    double Commands(const std::vector<std::string>& paths, double* exchanges = nullptr) {
        double commands = 0;
        for (const std::string& path : paths) {
            std::string trace;
            Strovsim({"trace", path}, &trace);
            commands += static_cast<double>(std::count(trace.begin(), trace.end(), '\n'));
            for (std::size_t at = trace.find("op=ee");
                 exchanges != nullptr && at != std::string::npos;
                 at = trace.find("op=ee", at + 1)) {
                *exchanges += 1;
            }
        }
        return commands;
    }
    void ClearTraces(const std::vector<std::string>& paths) {
        for (const std::string& path : paths) {
            Strovsim({"clear-trace", path});
        }
    }

    void Stop() {
        if (server_ && server_->Process().Running()) {
            server_->Process().Signal(SIGTERM);
            server_->Process().WaitExit(kLimitMs);
        }
        server_.reset();
        if (simulating_) {
            Strovsim({"stop"});
            simulating_ = false;
        }
        root_.reset();
        ::unsetenv("ORU_ROOT");
    }

  private:
    std::unique_ptr<testsupport::FreshRoot> root_;
    std::unique_ptr<testsupport::ServerProcess> server_;
    bool simulating_ = false;
};

// One GetState through libqen for every subsystem the service lists; the
// number of subsystems that answered with a state, or -1.
int AskEveryState() {
    auto qen = std::make_unique<QEN>(0);
    if (qen->ScanforSubsystems("127.0.0.1", 0, 0) != ASL_GOOD) {
        return -1;
    }
    int answered = 0;
    for (int i = 0; i < qen->NameArraySize(); ++i) {
        DiskArray* array = qen->Connect((*qen)[i]);
        if (array == nullptr) {
            continue;
        }
        CommandHandle handle = array->GetState();
        const Clock::time_point end = Clock::now() + std::chrono::milliseconds(kLimitMs);
        while (Clock::now() < end) {
            PollMsg* result = array->PollQEN();
            if (result == nullptr) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                continue;
            }
            if (result->kind == RMT_INVALID) {
                break;
            }
            if (DiskArray::Answers(result, handle) && result->status == 1) {
                answered += result->kind == RMT_STATE_MSG ? 1 : 0;
                break;
            }
        }
        qen->DisConnect(array);
    }
    return answered;
}

void BM_ServiceStart(benchmark::State& state) {
    const int cabinets = static_cast<int>(state.range(0));
    std::vector<std::string> allPaths;
    for (int n = 0; n < cabinets; ++n) {
        for (const std::string& path : PathsOf(n)) {
            allPaths.push_back(path);
        }
    }
    double runningKib = 0, servedKib = 0, hwmKib = 0, threads = 0, commands = 0, listed = 0,
           exchanges = 0;
    for (auto _ : state) {
        Machine machine;
        std::string failure = machine.Start(cabinets);
        double startMs = 0;
        if (failure.empty()) {
            failure = machine.StartServer(&startMs);
        }
        ProcessMemory atRunning, served;
        if (failure.empty() && !ReadMemory(machine.ServerPid(), &atRunning)) {
            failure = "cannot read the service's memory";
        }
        if (!failure.empty()) {
            state.SkipWithError(failure.c_str());
            break;
        }
        state.SetIterationTime(startMs / 1000.0);
        state.PauseTiming();
        exchanges = 0;
        commands = machine.Commands(allPaths, &exchanges);
        listed = AskEveryState();
        ReadMemory(machine.ServerPid(), &served);
        runningKib = std::max(runningKib, atRunning.rssKib);
        servedKib = std::max(servedKib, served.rssKib);
        hwmKib = std::max(hwmKib, served.hwmKib);
        threads = std::max(threads, served.threads);
        machine.Stop();
        state.ResumeTiming();
    }
    state.counters["subsystems"] = listed;
    state.counters["start_commands"] = commands;
    state.counters["start_exchanges"] = exchanges;
    state.counters["rss_running_kib"] = runningKib;
    state.counters["rss_served_kib"] = servedKib;
    state.counters["hwm_kib"] = hwmKib;
    state.counters["threads"] = threads;
}
BENCHMARK(BM_ServiceStart)
    ->Arg(0)
    ->Arg(2)
    ->Arg(5)
    ->Arg(10)
    ->Arg(20)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BindThisThread() {
    static OruTask* bound = nullptr;
    if (bound == nullptr && OruTask::FindCurrentTask() == nullptr) {
        bound = new OruTask(OruTask::BindToCurrentThread{}, "service-bench");
    }
}

// The device manager's start (discovery, grouping, monitors, first state
// builds) in this process; the time of that part alone. Its subsystem count
// goes to *found.
double DeviceManagerStart(std::uint32_t* found) {
    const Clock::time_point begin = Clock::now();
    DeviceMgr manager;
    manager.DiscoverDevices();
    manager.Init();
    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    *found = manager.SubsystemCount();
    manager.BeginShutdown();
    return seconds;
}

// range(0) cabinets; range(1) 0: an in-process simulator that keeps no state
// file, 1: strovsim over its sockets, as the service sees it.
void BM_DeviceStart(benchmark::State& state) {
    const int cabinets = static_cast<int>(state.range(0));
    const bool overSockets = state.range(1) != 0;
    ::setenv("ORU_SMON_INTERVAL", "0", 1);
    ::setenv("ORU_PLOG_INTERVAL", "0", 1);
    BindThisThread();
    sim::WorldModel world;
    std::string error;
    if (!sim::ModelJson::FromText(Scenario(cabinets), &world, &error)) {
        state.SkipWithError(("bad scenario: " + error).c_str());
        return;
    }
    std::vector<std::string> allPaths;
    for (int n = 0; n < cabinets; ++n) {
        for (const std::string& path : PathsOf(n)) {
            allPaths.push_back(path);
        }
    }
    double commands = 0;
    for (auto _ : state) {
        std::uint32_t found = 0;
        if (overSockets) {
            state.PauseTiming();
            Machine machine;
            std::string failure = machine.Start(cabinets);
            state.ResumeTiming();
            if (!failure.empty()) {
                state.SkipWithError(failure.c_str());
                break;
            }
            state.SetIterationTime(DeviceManagerStart(&found));
            state.PauseTiming();
            commands = machine.Commands(allPaths);
            machine.Stop();
            state.ResumeTiming();
        } else {
            testsupport::FreshRoot root;
            auto simulator = std::make_shared<sim::Simulator>(world, "");
            platform::ClearInProcessDevices();
            sim::InProcessDevice::RegisterAll(simulator);
            state.SetIterationTime(DeviceManagerStart(&found));
            commands = 0;
            for (const std::string& path : allPaths) {
                const std::string trace = simulator->Trace(path);
                commands += static_cast<double>(std::count(trace.begin(), trace.end(), '\n'));
            }
            platform::ClearInProcessDevices();
        }
        if (found != static_cast<std::uint32_t>(cabinets)) {
            state.SkipWithError("the subsystems were not found");
            break;
        }
    }
    state.counters["commands"] = commands;
    ::unsetenv("ORU_SMON_INTERVAL");
    ::unsetenv("ORU_PLOG_INTERVAL");
}
BENCHMARK(BM_DeviceStart)
    ->ArgsProduct({{2, 5, 10, 20}, {0}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeviceStart)
    ->ArgsProduct({{2, 5, 10, 20}, {1}})
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_SimulatorSave(benchmark::State& state) {
    const int cabinets = static_cast<int>(state.range(0));
    sim::WorldModel world;
    std::string error;
    if (!sim::ModelJson::FromText(Scenario(cabinets), &world, &error)) {
        state.SkipWithError(("bad scenario: " + error).c_str());
        return;
    }
    testsupport::FreshRoot root;
    sim::Simulator simulator(world, root.File("state.json"));
    for (auto _ : state) {
        if (simulator.Save() != 0) {
            state.SkipWithError("the state file cannot be written");
            break;
        }
    }
}
BENCHMARK(BM_SimulatorSave)->Arg(2)->Arg(20)->Unit(benchmark::kMillisecond);

void BM_StateBuild(benchmark::State& state) {
    const int cabinets = static_cast<int>(state.range(0));
    ::setenv("ORU_SMON_INTERVAL", "0", 1);
    ::setenv("ORU_PLOG_INTERVAL", "0", 1);
    BindThisThread();
    Machine machine;
    std::string failure = machine.Start(cabinets);
    if (!failure.empty()) {
        state.SkipWithError(failure.c_str());
        return;
    }
    {
        DeviceMgr manager;
        manager.DiscoverDevices();
        manager.Init();
        const std::string serial = SerialOf(cabinets - 1);
        OruLite* monitor = nullptr;
        {
            ResourceHold hold(manager.SubsystemListLock());
            monitor = manager.LocateOruLiteArray(serial.c_str());
        }
        if (monitor == nullptr ||
            manager.SubsystemCount() != static_cast<std::uint32_t>(cabinets)) {
            state.SkipWithError("the subsystems were not found");
            return;
        }
        const std::vector<std::string> paths = PathsOf(cabinets - 1);
        machine.ClearTraces(paths);
        {
            manager.LocksubSysInUse();
            ServerDiskArrayState once(*monitor);
            manager.ReleasesubSysInUse();
        }
        const double commands = machine.Commands(paths);
        bool valid = true;
        for (auto _ : state) {
            manager.LocksubSysInUse();
            ServerDiskArrayState built(*monitor);
            valid = valid && built.Valid();
            manager.ReleasesubSysInUse();
        }
        if (!valid) {
            state.SkipWithError("a state build failed");
        }
        state.counters["commands"] = commands;
        manager.BeginShutdown();
    }
    ::unsetenv("ORU_SMON_INTERVAL");
    ::unsetenv("ORU_PLOG_INTERVAL");
}
BENCHMARK(BM_StateBuild)->Arg(2)->Arg(20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
