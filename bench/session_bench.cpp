// What a client waits for before it can manage an array: the subsystem list
// of a host and an authorized session, through libqen against a real
// OruServr, beside a bare TCP connect on loopback.
//
// The program makes its own machine: a fresh ORU_ROOT with free ports in
// etc/services, the "Administration" "Path Name" C:\oru_admin, "strovsim
// serve" giving the service its subsystems, and OruServr in the console with
// the suite's waits at their real length. Everything is stopped and removed
// at the end.
//
//   build/release/bin/session_bench
//
// Runs:
//   BM_TcpConnect        socket, connect, accept and close on loopback
//   BM_SubsystemList     OruSubsystemList::Update of the host (2 subsystems)
//   BM_OpenSession       Session::Connect (secure file, request, session id)
//                        and Disconnect
//   BM_SessionRequestRaw the same exchange by hand, file made before the
//                        connect, blocking reads: what the service itself takes
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "BenchMachine.h"
#include "client/OruSubsystem.h"
#include "client/OruSubsystemList.h"
#include "client/Session.h"

namespace {

using benchsupport::BenchMachine;
using benchsupport::ReceiveAll;
using benchsupport::SendAll;

constexpr int kSubsystems = 2;

BenchMachine* machine = nullptr;

sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

// A fresh list read from the benchmark's service; null (and the reason in
// *why) when it does not hold the served subsystems.
std::unique_ptr<OruSubsystemList> ReadList(std::string* why) {
    auto list = std::make_unique<OruSubsystemList>(0);
    ASL_STATUS status = list->Update("127.0.0.1", 0, 0);
    if (status != ASL_GOOD || list->Size() != kSubsystems) {
        *why = "subsystem list: status " + std::to_string(status) + ", " +
               std::to_string(list->Size()) + " entries";
        return nullptr;
    }
    return list;
}

void BM_TcpConnect(benchmark::State& state) {
    int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (listener < 0 ||
        ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 16) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        state.SkipWithError("no loopback listener");
        if (listener >= 0) {
            ::close(listener);
        }
        return;
    }
    for (auto _ : state) {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            state.SkipWithError("connect failed");
            if (fd >= 0) {
                ::close(fd);
            }
            break;
        }
        int accepted = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        ::close(fd);
        if (accepted < 0) {
            state.SkipWithError("accept failed");
            break;
        }
        ::close(accepted);
    }
    ::close(listener);
}

void BM_SubsystemList(benchmark::State& state) {
    OruSubsystemList list(0);
    for (auto _ : state) {
        list.ResetMap(nullptr);
        ASL_STATUS status = list.Update("127.0.0.1", 0, 0);
        if (status != ASL_GOOD || list.Size() != kSubsystems) {
            state.SkipWithError("the list does not hold the served subsystems");
            break;
        }
    }
}

void BM_OpenSession(benchmark::State& state) {
    std::string why;
    std::unique_ptr<OruSubsystemList> list = ReadList(&why);
    if (!list) {
        state.SkipWithError(why.c_str());
        return;
    }
    OruSubsystem* subsystem = (*list)[0];
    // Opens that took longer than one 20 ms retry pause of a read: the
    // listener's read of the request word found nothing too.
    std::int64_t overOnePause = 0;
    for (auto _ : state) {
        Session session(4);
        auto begin = std::chrono::steady_clock::now();
        SESSION_STATUS status = session.Connect(subsystem);
        if (std::chrono::steady_clock::now() - begin > std::chrono::milliseconds(35)) {
            ++overOnePause;
        }
        if (status != SESS_SUCCESS) {
            why = "Session::Connect status " + std::to_string(status);
            state.SkipWithError(why.c_str());
            break;
        }
        session.Disconnect();
    }
    state.counters["two_pauses"] =
        benchmark::Counter(static_cast<double>(overOnePause), benchmark::Counter::kAvgIterations);
}

// The session request done by hand with blocking sockets, the secure file
// made before connecting (its name needs only the local port, taken by an
// explicit bind) and the request sent at once: what the service itself
// takes to check the file, record the event and answer.
void BM_SessionRequestRaw(benchmark::State& state) {
    std::string why;
    std::unique_ptr<OruSubsystemList> list = ReadList(&why);
    if (!list) {
        state.SkipWithError(why.c_str());
        return;
    }
    const std::string serial = (*list)[0]->SerialNumber();
    const sockaddr_in server = Loopback(machine->TcpPort());
    unsigned char request[17] = {0x00, 0x04, 0x00, 0x00};
    std::memcpy(request + 4, serial.data(), std::min<std::size_t>(serial.size(), 12));
    for (auto _ : state) {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in local = Loopback(0);
        socklen_t length = sizeof local;
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
            state.SkipWithError("no local port");
            if (fd >= 0) {
                ::close(fd);
            }
            break;
        }
        std::string file =
            machine->AdminDir() + "/" + serial + ".local." + std::to_string(ntohs(local.sin_port));
        int made = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (made >= 0) {
            ::close(made);
        }
        unsigned char answer[4] = {};
        bool answered =
            made >= 0 &&
            ::connect(fd, reinterpret_cast<const sockaddr*>(&server), sizeof server) == 0 &&
            SendAll(fd, request, sizeof request) && ReceiveAll(fd, answer, sizeof answer);
        std::uint32_t id = std::uint32_t{answer[0]} << 24 | std::uint32_t{answer[1]} << 16 |
                           std::uint32_t{answer[2]} << 8 | answer[3];
        bool accepted = answered && id != 0 && id != 0xFFFFFFFFu;
        if (accepted) {
            const unsigned char goodbye[4] = {0, 0, 0, 1};
            SendAll(fd, goodbye, sizeof goodbye);
        }
        ::close(fd);
        if (!accepted) {
            ::unlink(file.c_str());
            why = "no session: answer " + std::to_string(id);
            state.SkipWithError(why.c_str());
            break;
        }
    }
}

BENCHMARK(BM_TcpConnect)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SubsystemList)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenSession)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SessionRequestRaw)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    BenchMachine shared;
    std::string failure = shared.Start(true);
    if (!failure.empty()) {
        std::fprintf(stderr, "session_bench: %s\n", failure.c_str());
        return 1;
    }
    machine = &shared;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    machine = nullptr;
    return 0;
}
