// A state request's round trip: libqen in this process, OruServr in the
// console, strovsim serving the simulated cabinets, with one session and
// with twenty sessions asking at once; beside it the floor: a loopback TCP
// round trip of the same sizes and the simulator commands of one state
// build, run in-process through the same pass-through layer.
//
// Every run makes its own machine (a fresh ORU_ROOT with free ports, the
// administration path, strovsim, and OruServr where needed, every wait at
// its real length) and removes it at the end.
//
//   build/release/bin/dispatch_bench
//
// Runs (times per request; counters in milliseconds):
//   BM_LoopbackRoundTrip   36 bytes out, 2.6 KB back over loopback TCP
//   BM_StateBuild          one ServerDiskArrayState build over strovsim;
//                          counter commands = commands the build sends
//   BM_StateRequest/N      GetState through libqen and the service with N
//                          sessions asking at once; counters median, p99,
//                          and the median of each leg: sent->received (3),
//                          received->started (2), started->finished (1)
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchMachine.h"
#include "client/DiskArray.h"
#include "client/QEN.h"
#include "coresys/common/PollMsg.h"
#include "coresys/server/device/DeviceMgr.h"
#include "coresys/server/monitor/OruLite.h"
#include "coresys/server/state/ServerDiskArrayState.h"
#include "coresys/server/task/OruTask.h"
#include "coresys/server/task/ResourceHold.h"

namespace {

using benchsupport::BenchMachine;
using benchsupport::ReceiveAll;
using benchsupport::SendAll;
using Clock = std::chrono::steady_clock;

constexpr const char* kSerial = "QX0000000001";
constexpr std::size_t kRequestBytes = 36 + 8;
constexpr std::size_t kStateReplyBytes = 2600 + 8;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    std::size_t at = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

// The floor of the network leg: a request out and a state-sized reply back
// between two threads over loopback TCP.
void BM_LoopbackRoundTrip(benchmark::State& state) {
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener, 1);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    int client = ::socket(AF_INET, SOCK_STREAM, 0);
    ::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
    int server = ::accept(listener, nullptr, nullptr);
    std::thread echo([server] {
        std::vector<unsigned char> in(kRequestBytes), out(kStateReplyBytes, 0x5A);
        while (ReceiveAll(server, in.data(), in.size()) &&
               SendAll(server, out.data(), out.size())) {
        }
    });
    std::vector<unsigned char> request(kRequestBytes, 0x11), reply(kStateReplyBytes);
    for (auto _ : state) {
        if (!SendAll(client, request.data(), request.size()) ||
            !ReceiveAll(client, reply.data(), reply.size())) {
            state.SkipWithError("loopback exchange failed");
            break;
        }
    }
    ::shutdown(client, SHUT_RDWR);
    ::close(client);
    echo.join();
    ::close(server);
    ::close(listener);
}
BENCHMARK(BM_LoopbackRoundTrip)->Unit(benchmark::kMicrosecond);

// The floor of the array leg: the commands of one state build, sent from
// this process through the pass-through layer to strovsim.
void BM_StateBuild(benchmark::State& state) {
    ::setenv("ORU_SMON_INTERVAL", "0", 1);
    ::setenv("ORU_PLOG_INTERVAL", "0", 1);
    static OruTask* bound = nullptr;
    if (bound == nullptr && OruTask::FindCurrentTask() == nullptr) {
        bound = new OruTask(OruTask::BindToCurrentThread{}, "dispatch-bench");
    }
    BenchMachine machine;
    std::string failure = machine.Start(false);
    if (!failure.empty()) {
        state.SkipWithError(failure.c_str());
        return;
    }
    {
        DeviceMgr manager;
        manager.DiscoverDevices();
        manager.Init();
        OruLite* monitor = nullptr;
        {
            ResourceHold hold(manager.SubsystemListLock());
            monitor = manager.LocateOruLiteArray(kSerial);
        }
        if (monitor == nullptr) {
            state.SkipWithError("no subsystem");
            return;
        }
        // The build may reach the controller by any of its paths.
        const std::vector<std::string> paths = {"STROVANE0", "STROVANE1", "PHYSICALDRIVE1",
                                                "PHYSICALDRIVE2"};
        for (const std::string& path : paths) {
            machine.Strovsim({"clear-trace", path});
        }
        {
            manager.LocksubSysInUse();
            ServerDiskArrayState once(*monitor);
            manager.ReleasesubSysInUse();
        }
        double commands = 0;
        for (const std::string& path : paths) {
            std::string trace;
            machine.Strovsim({"trace", path}, &trace);
            commands += static_cast<double>(std::count(trace.begin(), trace.end(), '\n'));
        }
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
    }
    ::unsetenv("ORU_SMON_INTERVAL");
    ::unsetenv("ORU_PLOG_INTERVAL");
}
BENCHMARK(BM_StateBuild)->Unit(benchmark::kMillisecond);

struct Sample {
    double total = 0, received = 0, queued = 0, handled = 0;
};

// One client's requests: GetState, then poll until its final reply,
// noting when each status arrived.
bool RunClient(DiskArray& array, int requests, std::vector<Sample>& samples) {
    for (int i = 0; i < requests; ++i) {
        const Clock::time_point sent = Clock::now();
        Clock::time_point received = sent, started = sent;
        CommandHandle handle = array.GetState();
        for (;;) {
            PollMsg* result = array.PollQEN();
            if (result == nullptr) {
                std::this_thread::sleep_for(std::chrono::microseconds(20));
                continue;
            }
            if (result->kind == RMT_INVALID) {
                return false;
            }
            if (!DiskArray::Answers(result, handle)) {
                continue;
            }
            const Clock::time_point now = Clock::now();
            if (result->status == 3) {
                received = now;
            } else if (result->status == 2) {
                started = now;
            } else if (result->status == 1) {
                if (result->kind != RMT_STATE_MSG) {
                    return false;
                }
                samples.push_back({Ms(now - sent), Ms(received - sent), Ms(started - received),
                                   Ms(now - started)});
                break;
            }
        }
    }
    return true;
}

void BM_StateRequest(benchmark::State& state) {
    const int sessions = static_cast<int>(state.range(0));
    const int requests = sessions == 1 ? 400 : 40;
    BenchMachine machine;
    std::string failure = machine.Start(true);
    if (!failure.empty()) {
        state.SkipWithError(failure.c_str());
        return;
    }
    auto qen = std::make_unique<QEN>(0);
    if (qen->ScanforSubsystems("127.0.0.1", 0, 0) != ASL_GOOD) {
        state.SkipWithError("no subsystem list");
        return;
    }
    OruSubsystem* subsystem = nullptr;
    for (int i = 0; i < qen->NameArraySize(); ++i) {
        if (std::strcmp((*qen)[i]->SerialNumber(), kSerial) == 0) {
            subsystem = (*qen)[i];
        }
    }
    std::vector<DiskArray*> arrays;
    for (int i = 0; subsystem != nullptr && i < sessions; ++i) {
        DiskArray* array = qen->Connect(subsystem);
        if (array == nullptr) {
            break;
        }
        arrays.push_back(array);
    }
    if (static_cast<int>(arrays.size()) != sessions) {
        state.SkipWithError("cannot open the sessions");
        return;
    }
    std::vector<Sample> all;
    for (auto _ : state) {
        std::vector<std::vector<Sample>> samples(arrays.size());
        std::vector<std::thread> clients;
        std::atomic<bool> ok{true};
        for (std::size_t i = 0; i < arrays.size(); ++i) {
            clients.emplace_back([&, i] {
                if (!RunClient(*arrays[i], requests, samples[i])) {
                    ok = false;
                }
            });
        }
        for (std::thread& t : clients) {
            t.join();
        }
        if (!ok) {
            state.SkipWithError("a request failed");
            break;
        }
        for (const auto& s : samples) {
            all.insert(all.end(), s.begin(), s.end());
        }
    }
    auto column = [&](double Sample::*field) {
        std::vector<double> values;
        for (const Sample& s : all) {
            values.push_back(s.*field);
        }
        return values;
    };
    state.counters["requests"] = static_cast<double>(all.size());
    state.counters["median_ms"] = Percentile(column(&Sample::total), 0.5);
    state.counters["p99_ms"] = Percentile(column(&Sample::total), 0.99);
    state.counters["to_received_ms"] = Percentile(column(&Sample::received), 0.5);
    state.counters["queued_ms"] = Percentile(column(&Sample::queued), 0.5);
    state.counters["handled_ms"] = Percentile(column(&Sample::handled), 0.5);
    for (DiskArray* array : arrays) {
        qen->DisConnect(array);
    }
    qen.reset();
}
BENCHMARK(BM_StateRequest)
    ->Arg(1)
    ->Arg(20)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
