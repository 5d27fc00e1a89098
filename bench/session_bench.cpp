// What a client and an administrator at the console wait for: the
// subsystem list of a host, an authorized session and whole dkview runs,
// through libqen and the real programs against a real OruServr, beside the
// floors: a bare TCP connect-and-close to the service's own port and the
// start of /bin/true.
//
// The program makes its own machine: a fresh ORU_ROOT with free ports in
// etc/services, the "Administration" "Path Name" C:\oru_admin, "strovsim
// serve" giving the service its subsystems, and OruServr in the console with
// the suite's waits at their real length. Everything is stopped and removed
// at the end. All runs go against the same service in one run of the
// program, so their figures stand side by side.
//
//   build/release/bin/session_bench
//
// Runs:
//   BM_TrueProcess       spawn /bin/true and wait for it (floor of a program run)
//   BM_TcpConnectClose   connect to the service's TCP port and close (floor of
//                        an exchange with the service)
//   BM_SubsystemList     OruSubsystemList::Update of the host (2 subsystems)
//   BM_OpenSession       Session::Connect (secure file, request, session id)
//                        and Disconnect
//   BM_SessionRequestRaw the same exchange by hand with blocking sockets and
//                        the least work on the client's side: what the
//                        service itself takes
//   BM_DkviewList        dkview -i (the list of arrays)
//   BM_DkviewState       dkview <serial> (the state display of one array)
//   BM_DkviewConcurrent  20 and 100 dkview <serial> started at once; counters:
//                        the median and the worst single run over all
//                        batches, the runs turned away for want of a free
//                        session and the runs that failed otherwise
//   BM_DkviewBesideAFlood/0, /1
//                        dkview -i (0) and dkview <serial> (1) while 600
//                        silent connections from 127.0.0.2 are closed and
//                        opened again every 2 s; 5 rounds, the worst run
//   BM_DkviewAfterKilledClients
//                        20 clients queue 200 GetStates each, read no reply
//                        and end with a reset (as when killed); 1 s later 20
//                        dkview <serial> at once, counted as in
//                        BM_DkviewConcurrent
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point begin) {
    return std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
}

// A program run as an administrator runs it: its own environment (this
// machine's root, the service on this host, the English texts), its output
// thrown away, or its standard error written to errorFile when one is named.
// Returns the child, or -1.
pid_t Spawn(const std::string& program, const std::vector<std::string>& arguments,
            const std::string& errorFile = "") {
    static const std::vector<std::string> environment = {
        std::string("ORU_ROOT=") + std::getenv("ORU_ROOT"), "ORUHOST=127.0.0.1", "LC_ALL=C",
        std::string("ORU_NLSPATH=") + ORU_NLS_DIR, "PATH=/usr/bin:/bin"};
    std::vector<std::string> words = {program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> envCopy = environment;
    std::vector<char*> envp;
    for (std::string& entry : envCopy) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2,
                                     errorFile.empty() ? "/dev/null" : errorFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t child = -1;
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
        child = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

// The child's exit code, or -1.
int Reap(pid_t child) {
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Dkview() {
    return std::string(ORU_BIN_DIR) + "/dkview";
}

// The serial number of the first served subsystem; "" (and the benchmark
// ended with an error) when none.
std::string FirstSerial(benchmark::State& state) {
    std::string why;
    std::unique_ptr<OruSubsystemList> list = ReadList(&why);
    if (!list) {
        state.SkipWithError("no subsystem");
        return std::string();
    }
    return (*list)[0]->SerialNumber();
}

void BM_TrueProcess(benchmark::State& state) {
    for (auto _ : state) {
        pid_t child = Spawn("/bin/true", {});
        if (child < 0 || Reap(child) != 0) {
            state.SkipWithError("/bin/true did not run");
            break;
        }
    }
}

void BM_TcpConnectClose(benchmark::State& state) {
    const sockaddr_in address = Loopback(machine->TcpPort());
    for (auto _ : state) {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0 ||
            ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            state.SkipWithError("connect failed");
            if (fd >= 0) {
                ::close(fd);
            }
            break;
        }
        ::close(fd);
    }
}

void BM_DkviewList(benchmark::State& state) {
    for (auto _ : state) {
        pid_t child = Spawn(Dkview(), {"-i"});
        if (child < 0 || Reap(child) != 0) {
            state.SkipWithError("dkview -i failed");
            break;
        }
    }
}

void BM_DkviewState(benchmark::State& state) {
    const std::string serial = FirstSerial(state);
    if (serial.empty()) {
        return;
    }
    for (auto _ : state) {
        pid_t child = Spawn(Dkview(), {serial});
        if (child < 0 || Reap(child) != 0) {
            state.SkipWithError("dkview <serial> failed");
            break;
        }
    }
}

// Administrators asking for the same array at once: each batch starts
// state.range(0) dkview runs together and waits for all of them. The
// counters are the median and the worst of the single runs' wall times over
// all batches, and the runs per batch that the service turned away for want
// of a free session (the service serves twenty at a time: dkview exits 1
// and says so) or that failed otherwise. Any other failure ends the
// benchmark with an error.
// The outcome of batches of dkview runs started at once.
struct Batches {
    std::vector<double> times;
    double refused = 0;
    double failures = 0;
};

// Starts `runs` dkview <serial> at once and waits for each; returns the
// batch's wall time in seconds.
double RunBatch(const std::string& serial, int runs, Batches& batches) {
    const std::string errors = std::string(std::getenv("ORU_ROOT")) + "/dkview-errors.";
    std::vector<pid_t> children;
    const Clock::time_point begin = Clock::now();
    for (int i = 0; i < runs; ++i) {
        children.push_back(Spawn(Dkview(), {serial}, errors + std::to_string(i)));
    }
    // Each run's own end, as the children end in any order.
    for (std::size_t left = children.size(); left > 0; --left) {
        int status = 0;
        const pid_t ended = ::wait(&status);
        if (ended < 0) {
            batches.failures += static_cast<double>(left);
            break;
        }
        batches.times.push_back(MsSince(begin));
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
            continue;
        }
        const auto index = static_cast<std::size_t>(
            std::find(children.begin(), children.end(), ended) - children.begin());
        const std::string said = ReadFile(errors + std::to_string(index));
        const bool noPlace = WIFEXITED(status) && WEXITSTATUS(status) == 1 &&
                             said.find("no connection available") != std::string::npos;
        batches.refused += noPlace ? 1 : 0;
        batches.failures += noPlace ? 0 : 1;
    }
    return MsSince(begin) / 1000.0;
}

// The counters of batches of dkview runs; any failure other than a refusal
// ends the benchmark with an error.
void ReportBatches(benchmark::State& state, Batches& batches) {
    const double count = static_cast<double>(state.iterations());
    state.counters["refused_per_batch"] = batches.refused / count;
    state.counters["failed_per_batch"] = batches.failures / count;
    std::vector<double>& times = batches.times;
    if (!times.empty()) {
        std::sort(times.begin(), times.end());
        state.counters["median_ms"] = times[times.size() / 2];
        state.counters["worst_ms"] = times.back();
    }
    if (batches.failures > 0) {
        state.SkipWithError("a concurrent dkview failed other than for want of a session");
    }
}

void BM_DkviewConcurrent(benchmark::State& state) {
    const int runs = static_cast<int>(state.range(0));
    const std::string serial = FirstSerial(state);
    if (serial.empty()) {
        return;
    }
    Batches batches;
    for (auto _ : state) {
        RunBatch(serial, runs, batches);
    }
    ReportBatches(state, batches);
}

// A connection from 127.0.0.2 to the service's port that says nothing: the
// connect is not waited for. -1 when no socket could be had.
int SilentConnection(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_addr.s_addr = htonl(0x7F000002);
    const sockaddr_in to = Loopback(port);
    if (fd >= 0 && (::bind(fd, reinterpret_cast<const sockaddr*>(&from), sizeof from) != 0 ||
                    (::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0 &&
                     errno != EINPROGRESS))) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Another host that floods the service: 600 connections that say nothing,
// closed and opened again every 2 s, from construction to destruction.
class SilentFlood {
  public:
    explicit SilentFlood(std::uint16_t port)
        : thread_([this, port] {
              std::vector<int> held;
              std::unique_lock<std::mutex> hold(lock_);
              while (!stop_) {
                  for (int fd : held) {
                      ::close(fd);
                  }
                  held.clear();
                  for (int i = 0; i < 600; ++i) {
                      const int fd = SilentConnection(port);
                      if (fd >= 0) {
                          held.push_back(fd);
                      }
                  }
                  stopped_.wait_for(hold, std::chrono::seconds(2), [this] { return stop_; });
              }
              for (int fd : held) {
                  ::close(fd);
              }
          }) {}
    ~SilentFlood() {
        {
            std::lock_guard<std::mutex> hold(lock_);
            stop_ = true;
        }
        stopped_.notify_all();
        thread_.join();
    }

  private:
    std::mutex lock_;
    std::condition_variable stopped_;
    bool stop_ = false;
    std::thread thread_;
};

void BM_DkviewBesideAFlood(benchmark::State& state) {
    const std::string serial = FirstSerial(state);
    if (serial.empty()) {
        return;
    }
    const std::vector<std::string> arguments =
        state.range(0) == 0 ? std::vector<std::string>{"-i"} : std::vector<std::string>{serial};
    SilentFlood flood(machine->TcpPort());
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    double worst = 0;
    for (auto _ : state) {
        const Clock::time_point begin = Clock::now();
        pid_t child = Spawn(Dkview(), arguments);
        if (child < 0 || Reap(child) != 0) {
            state.SkipWithError("dkview failed beside the flood");
            break;
        }
        const double ms = MsSince(begin);
        worst = std::max(worst, ms);
        state.SetIterationTime(ms / 1000.0);
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
    }
    state.counters["worst_ms"] = worst;
}

// Opens an authorized session to serial by hand with a 4 KiB receive buffer
// and queues `requests` GetStates on it; the socket, or -1.
int SessionWithQueuedStates(const std::string& serial, int requests) {
    const sockaddr_in server = Loopback(machine->TcpPort());
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int buffer = 4096;
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (fd < 0 || ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer) != 0 ||
        ::connect(fd, reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        return -1;
    }
    const std::string file =
        machine->AdminDir() + "/" + serial + ".local." + std::to_string(ntohs(local.sin_port));
    const int made = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (made >= 0) {
        ::close(made);
    }
    unsigned char request[17] = {0x00, 0x04, 0x00, 0x00};
    std::memcpy(request + 4, serial.data(), std::min<std::size_t>(serial.size(), 12));
    unsigned char answer[4] = {};
    if (made < 0 || !SendAll(fd, request, sizeof request) ||
        !ReceiveAll(fd, answer, sizeof answer)) {
        ::close(fd);
        return -1;
    }
    const std::uint32_t id = std::uint32_t{answer[0]} << 24 | std::uint32_t{answer[1]} << 16 |
                             std::uint32_t{answer[2]} << 8 | answer[3];
    if (id == 0 || id == 0xFFFFFFFFu) {
        ::close(fd);
        return -1;
    }
    // Frames: type 0, length 36, then a GetState (code 12) over handle
    // (sequence, session id).
    std::vector<unsigned char> burst;
    auto put = [&burst](std::uint32_t word) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            burst.push_back(static_cast<unsigned char>(word >> shift));
        }
    };
    for (int sequence = 1; sequence <= requests; ++sequence) {
        for (std::uint32_t word :
             {0u, 36u, 36u, 4u, 12u, static_cast<std::uint32_t>(sequence), id, 0u, 0u, 0u, 0u}) {
            put(word);
        }
    }
    if (!SendAll(fd, burst.data(), burst.size())) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void BM_DkviewAfterKilledClients(benchmark::State& state) {
    const std::string serial = FirstSerial(state);
    if (serial.empty()) {
        return;
    }
    Batches batches;
    for (auto _ : state) {
        std::vector<int> gone;
        for (int n = 0; n < 20; ++n) {
            const int fd = SessionWithQueuedStates(serial, 200);
            if (fd >= 0) {
                gone.push_back(fd);
            }
        }
        if (gone.size() != 20) {
            state.SkipWithError("the twenty sessions could not be opened");
            for (int fd : gone) {
                ::close(fd);
            }
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        // Closed with their replies unread: each connection ends with a
        // reset, as when the client is killed.
        for (int fd : gone) {
            ::close(fd);
        }
        std::this_thread::sleep_for(std::chrono::seconds(1));
        state.SetIterationTime(RunBatch(serial, 20, batches));
    }
    ReportBatches(state, batches);
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
    double worst = 0;
    for (auto _ : state) {
        Session session(4);
        const Clock::time_point begin = Clock::now();
        SESSION_STATUS status = session.Connect(subsystem);
        worst = std::max(worst, MsSince(begin));
        if (status != SESS_SUCCESS) {
            why = "Session::Connect status " + std::to_string(status);
            state.SkipWithError(why.c_str());
            break;
        }
        session.Disconnect();
    }
    state.counters["worst_ms"] = worst;
}

// The session request done by hand with blocking sockets: connect, make the
// secure file (its name needs the local port), send the request and read the
// answer, then say goodbye. What the service itself takes to check the file,
// record the event and answer. The port comes from the connect: an explicit
// bind to port 0 searches the ports still in TIME_WAIT from the iterations
// before, which costs the client more with every iteration.
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
        sockaddr_in local{};
        socklen_t length = sizeof local;
        if (fd < 0 ||
            ::connect(fd, reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
            state.SkipWithError("no connection");
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
        bool answered = made >= 0 && SendAll(fd, request, sizeof request) &&
                        ReceiveAll(fd, answer, sizeof answer);
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

BENCHMARK(BM_TrueProcess)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TcpConnectClose)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SubsystemList)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenSession)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SessionRequestRaw)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DkviewList)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DkviewState)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DkviewConcurrent)
    ->Arg(20)
    ->Arg(100)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(BM_DkviewBesideAFlood)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(BM_DkviewAfterKilledClients)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

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
