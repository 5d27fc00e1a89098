// The map application: how long building the map takes for 1, 10 and 100
// hosts, and how long a trap takes from its arrival to the symbol's status
// in the map's dump.
//
//   build/release/bin/map_bench
//
// Runs:
//   BM_BuildMap/n        vxqxoru's start in-process (probe of every computer,
//                        table reads, objects, submaps, symbols, the dump)
//                        against n scripted agents on 127.0.0.2.. with two
//                        arrays each (1 + 5 x 2 requests per host), on the
//                        virtual clock of the tests: every answer is there at
//                        once, so nothing is a pause of the application
//   BM_TrapToDumpInProcess  one trap sent to the application's trap port
//                        until its status is in the dump file, in-process
//   BM_TrapToDump        the same through the real vxqxoru program on the
//                        real clock (its agent a scripted one served by a
//                        thread): from sendto until the rewritten dump is on
//                        disk with the new status (inotify on its directory)
#include <benchmark/benchmark.h>

#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <thread>

#include <nlohmann/json.hpp>

#include "ScriptedAgent.h"
#include "netmgmt/map/MapApplication.h"
#include "netmgmt/map/standin/AppLoop.h"
#include "support/ChildProcess.h"
#include "support/FreshRoot.h"

namespace {

using maptest::ScriptedAgent;
using nlohmann::json;

constexpr int kLimitMs = 30000;

std::string Address(int host) {
    return "127.0.0." + std::to_string(2 + host);
}

void Environment(const testsupport::FreshRoot& root, std::uint16_t snmpPort,
                 std::uint16_t trapPort) {
    ::setenv("ORU_MAP_DATABASE", root.File("map/database.json").c_str(), 1);
    ::setenv("ORU_MAP_DUMP", root.File("map/dump.json").c_str(), 1);
    ::setenv("ORU_MAP_CONTROL", root.File("map/control").c_str(), 1);
    ::setenv("ORU_MAP_SNMP_PORT", std::to_string(snmpPort).c_str(), 1);
    ::setenv("ORU_MAP_TRAP_PORT", std::to_string(trapPort).c_str(), 1);
}

std::vector<maptest::Row> TwoArrays(int host) {
    char a[24];
    char b[24];
    std::snprintf(a, sizeof a, "QX%05d00001", host);
    std::snprintf(b, sizeof b, "QX%05d00002", host);
    return {{a}, {b}};
}

void SendTrap(std::uint16_t port, const std::string& serial, std::int64_t status) {
    maptest::Trap trap;
    trap.specific = status;
    trap.bindings = maptest::TrapBindings(serial, 15011);
    maptest::SendTrapTo(port, trap);
}

// The status the dump file shows for the symbol labelled serial (-1: none).
int DumpedStatus(const testsupport::FreshRoot& root, const std::string& serial) {
    const json dump = json::parse(root.Read("map/dump.json"), nullptr, false);
    if (dump.is_discarded()) {
        return -1;
    }
    for (const json& symbol : dump["symbols"]) {
        if (symbol["label"] == serial) {
            return symbol["status"].get<int>();
        }
    }
    return -1;
}

void Pump(qxapp::AppLoop& loop) {
    qxapp::Msg msg;
    while (loop.PeekMessage(&msg, false) && msg.message != qxapp::WM_QUIT) {
        loop.PumpMessage();
    }
}

void BM_BuildMap(benchmark::State& state) {
    const int hosts = static_cast<int>(state.range(0));
    testsupport::FreshRoot root;
    const std::uint16_t port = testsupport::FreePort(SOCK_DGRAM);
    Environment(root, port, testsupport::FreePort(SOCK_DGRAM));
    std::vector<std::string> names;
    std::vector<std::unique_ptr<ScriptedAgent>> agents;
    maptest::VirtualClock clock;
    for (int i = 0; i < hosts; ++i) {
        names.push_back(Address(i));
        agents.push_back(std::make_unique<ScriptedAgent>(Address(i), port));
        if (!agents.back()->Bound()) {
            state.SkipWithError(("cannot bind " + Address(i)).c_str());
            return;
        }
        agents.back()->SetRows(TwoArrays(i));
        clock.Add(agents.back().get());
    }
    root.Write("map/database.json", maptest::ComputersDatabase(names));
    std::size_t symbols = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // A loop of its own each time: an application that goes leaves its
        // loop quitting.
        qxapp::AppLoop loop(clock);
        vxqxoru::MapApplication app;
        state.ResumeTiming();
        app.InitInstance();
        state.PauseTiming();
        symbols = 0;
        for (const vxqxoru::ArrayEntry& entry : app.Map()->Entries()) {
            symbols += entry.rows.size();
        }
        app.ExitInstance(0);
        state.ResumeTiming();
    }
    if (symbols != 2u * static_cast<std::size_t>(hosts)) {
        state.SkipWithError("the map does not hold every array");
    }
    state.counters["requests"] = 11.0 * hosts;
    state.counters["symbols"] = static_cast<double>(symbols);
}
BENCHMARK(BM_BuildMap)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_TrapToDumpInProcess(benchmark::State& state) {
    testsupport::FreshRoot root;
    const std::uint16_t port = testsupport::FreePort(SOCK_DGRAM);
    const std::uint16_t trapPort = testsupport::FreePort(SOCK_DGRAM);
    Environment(root, port, trapPort);
    ScriptedAgent agent("127.0.0.1", port);
    agent.SetRows(TwoArrays(0));
    maptest::VirtualClock clock;
    clock.Add(&agent);
    root.Write("map/database.json", maptest::ComputersDatabase({"localhost"}));
    qxapp::AppLoop loop(clock);
    vxqxoru::MapApplication app;
    app.InitInstance();
    const std::string serial = TwoArrays(0)[0].serial;
    int status = 3;
    for (auto _ : state) {
        status = status == 3 ? 4 : 3;
        SendTrap(trapPort, serial, status);
        Pump(loop);
        if (DumpedStatus(root, serial) != status) {
            state.SkipWithError("the dump does not show the trap's status");
            break;
        }
    }
    app.ExitInstance(0);
}
BENCHMARK(BM_TrapToDumpInProcess)->Unit(benchmark::kMicrosecond);

void BM_TrapToDump(benchmark::State& state) {
    testsupport::FreshRoot root;
    const std::uint16_t port = testsupport::FreePort(SOCK_DGRAM);
    const std::uint16_t trapPort = testsupport::FreePort(SOCK_DGRAM);
    ScriptedAgent agent("127.0.0.1", port);
    agent.SetRows(TwoArrays(0));
    std::atomic<bool> serving{true};
    std::thread server([&] {
        while (serving) {
            pollfd p{agent.Fd(), POLLIN, 0};
            if (::poll(&p, 1, 50) > 0) {
                agent.Serve(0);
            }
        }
    });
    root.Write("map/database.json", maptest::ComputersDatabase({"localhost"}));
    testsupport::ChildProcess map;
    const std::string serial = TwoArrays(0)[0].serial;
    const int watch = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    const bool started = map.Start(
        testsupport::ProgramPath(ORU_BIN_DIR, "vxqxoru"), {},
        {"ORU_MAP_DATABASE=" + root.File("map/database.json"),
         "ORU_MAP_DUMP=" + root.File("map/dump.json"),
         "ORU_MAP_CONTROL=" + root.File("map/control"), "ORU_MAP_SNMP_PORT=" + std::to_string(port),
         "ORU_MAP_TRAP_PORT=" + std::to_string(trapPort), "ORU_TIME_SCALE"});
    bool ready = false;
    for (int i = 0; started && i < kLimitMs / 10 && !ready; ++i) {
        ready = DumpedStatus(root, serial) == 2;
        ::usleep(10000);
    }
    if (!ready || ::inotify_add_watch(watch, root.File("map").c_str(), IN_MOVED_TO) < 0) {
        state.SkipWithError(("vxqxoru did not build its map: " + map.Stderr()).c_str());
    } else {
        int status = 3;
        char events[4096];
        for (auto _ : state) {
            status = status == 3 ? 4 : 3;
            while (::read(watch, events, sizeof events) > 0) {
            }
            SendTrap(trapPort, serial, status);
            bool seen = false;
            for (int i = 0; i < 100 && !seen; ++i) {
                pollfd p{watch, POLLIN, 0};
                ::poll(&p, 1, 100);
                while (::read(watch, events, sizeof events) > 0) {
                }
                seen = DumpedStatus(root, serial) == status;
            }
            if (!seen) {
                state.SkipWithError("the dump does not show the trap's status");
                break;
            }
        }
    }
    ::close(watch);
    map.Signal(SIGTERM);
    map.WaitExit(kLimitMs);
    serving = false;
    server.join();
}
BENCHMARK(BM_TrapToDump)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
