// The cost of one pass-through command to a simulated controller, by backend,
// beside the physical floor of a bare Unix-socket round trip.
//
// Two commands: a standard INQUIRY (36 bytes in) and a READ(10) of 128 blocks
// (64 KiB in) from LUN 0. Three ways to run them:
//   - Socket: platform::OpenScsiDevice on ORU_ROOT/dev/STROVANE0, served by
//     the simulator's own socket server (sim::SimServer) in this process, in
//     a temporary ORU_ROOT: the frames, the server's connection thread and the
//     controller model, as the service meets them against strovsim.
//   - InProcess: sim::InProcessDevice on the same simulator: the model alone.
//   - BareSocket: the same-sized frames over a Unix stream socket to an echo
//     thread that reads the request and writes a reply of the reply's size:
//     what any socket transport costs, with no controller behind it.
//
//   build-rel/bin/passthrough_bench
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/Root.h"
#include "platform/scsi/ScsiDevice.h"
#include "sim/DefaultScenario.h"
#include "sim/InProcessDevice.h"
#include "sim/SimServer.h"
#include "sim/Simulator.h"

namespace {

constexpr std::uint32_t kInquiryLength = 36;
constexpr std::uint32_t kReadLength = 64 * 1024;
constexpr std::uint32_t kRequestFrame = 32;  // 4-byte length + 28-byte body, no data out
constexpr std::uint32_t kReplyHeader = 20;   // 4-byte length + 16-byte head

// One simulator served on sockets under a temporary root for the whole run.
class Bench {
  public:
    static Bench& Get() {
        static Bench bench;
        return bench;
    }
    std::shared_ptr<sim::Simulator> simulator;
    std::string root;
    bool ok = false;

  private:
    Bench() {
        char dir[] = "/tmp/oru-bench-XXXXXX";
        if (::mkdtemp(dir) == nullptr) {
            return;
        }
        root = dir;
        platform::SetRootDir(root);
        simulator = std::make_shared<sim::Simulator>(sim::DefaultScenario::Build(), "");
        server_ = std::make_unique<sim::SimServer>(simulator);
        std::string error;
        if (server_->Start(&error) != 0) {
            std::fprintf(stderr, "passthrough_bench: cannot serve: %s\n", error.c_str());
            return;
        }
        thread_ = std::thread([this] { server_->Run(); });
        ok = true;
    }
    ~Bench() {
        if (server_) {
            server_->Stop();
        }
        if (thread_.joinable()) {
            thread_.join();
        }
        server_.reset();
        if (!root.empty()) {
            std::string command = "rm -rf '" + root + "'";
            [[maybe_unused]] int rc = std::system(command.c_str());
        }
    }
    std::unique_ptr<sim::SimServer> server_;
    std::thread thread_;
};

platform::ScsiRequest Inquiry(std::vector<std::uint8_t>& buffer) {
    platform::ScsiRequest r;
    r.cdb = {0x12, 0, 0, 0, kInquiryLength, 0};
    r.cdbLength = 6;
    r.direction = platform::ScsiDirection::In;
    buffer.assign(kInquiryLength, 0);
    r.transferLength = kInquiryLength;
    r.data = buffer.data();
    r.timeoutSeconds = 32;
    return r;
}

platform::ScsiRequest Read64k(std::vector<std::uint8_t>& buffer) {
    platform::ScsiRequest r;
    r.cdb = {0x28};  // LUN 0 from block 0, 128 blocks
    r.cdb[8] = static_cast<std::uint8_t>(kReadLength / 512);
    r.cdbLength = 10;
    r.direction = platform::ScsiDirection::In;
    buffer.assign(kReadLength, 0);
    r.transferLength = kReadLength;
    r.data = buffer.data();
    r.timeoutSeconds = 32;
    return r;
}

void RunDevice(benchmark::State& state, platform::ScsiDevice& device,
               const platform::ScsiRequest& request, std::uint32_t expected) {
    platform::ScsiOutcome outcome;
    for (auto _ : state) {
        device.PassThrough(request, outcome);
        if (outcome.systemError != 0 || outcome.scsiStatus != 0 || outcome.bytesMoved != expected) {
            state.SkipWithError("command failed");
            return;
        }
        benchmark::DoNotOptimize(outcome.bytesMoved);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * expected);
}

void Socket(benchmark::State& state, bool large) {
    Bench& bench = Bench::Get();
    if (!bench.ok) {
        state.SkipWithError("no simulator");
        return;
    }
    auto device = platform::OpenScsiDevice("STROVANE0");
    if (!device) {
        state.SkipWithError("cannot open STROVANE0");
        return;
    }
    std::vector<std::uint8_t> buffer;
    platform::ScsiRequest request = large ? Read64k(buffer) : Inquiry(buffer);
    RunDevice(state, *device, request, large ? kReadLength : kInquiryLength);
}

void InProcess(benchmark::State& state, bool large) {
    Bench& bench = Bench::Get();
    if (!bench.ok) {
        state.SkipWithError("no simulator");
        return;
    }
    sim::InProcessDevice device(bench.simulator, "STROVANE0");
    std::vector<std::uint8_t> buffer;
    platform::ScsiRequest request = large ? Read64k(buffer) : Inquiry(buffer);
    RunDevice(state, device, request, large ? kReadLength : kInquiryLength);
}

bool ReadAll(int fd, std::uint8_t* data, std::size_t length) {
    while (length > 0) {
        ssize_t n = ::read(fd, data, length);
        if (n <= 0) {
            return false;
        }
        data += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t length) {
    while (length > 0) {
        ssize_t n = ::send(fd, data, length, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        data += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

// The floor: a request frame of the same size out, a reply frame of the same
// size back, over a Unix stream socket bound in the file system, to a thread
// that does nothing else. The request names the reply's data size.
void BareSocket(benchmark::State& state, bool large) {
    Bench& bench = Bench::Get();
    const std::string file = bench.root + "/echo";
    ::unlink(file.c_str());
    int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, file.c_str(), file.size() + 1);
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener, 1) != 0) {
        state.SkipWithError("cannot listen");
        return;
    }
    std::thread echo([listener] {
        int fd = ::accept(listener, nullptr, nullptr);
        std::vector<std::uint8_t> request(kRequestFrame);
        std::vector<std::uint8_t> reply(kReplyHeader + kReadLength);
        while (fd >= 0 && ReadAll(fd, request.data(), request.size())) {
            std::uint32_t data = (std::uint32_t(request[8]) << 24) | (request[9] << 16) |
                                 (request[10] << 8) | request[11];
            if (!WriteAll(fd, reply.data(), kReplyHeader + data)) {
                break;
            }
        }
        if (fd >= 0) {
            ::close(fd);
        }
    });
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        state.SkipWithError("cannot connect");
    } else {
        const std::uint32_t data = large ? kReadLength : kInquiryLength;
        std::vector<std::uint8_t> request(kRequestFrame, 0);
        request[8] = static_cast<std::uint8_t>(data >> 24);
        request[9] = static_cast<std::uint8_t>(data >> 16);
        request[10] = static_cast<std::uint8_t>(data >> 8);
        request[11] = static_cast<std::uint8_t>(data);
        std::vector<std::uint8_t> reply(kReplyHeader + data);
        for (auto _ : state) {
            if (!WriteAll(fd, request.data(), request.size()) ||
                !ReadAll(fd, reply.data(), reply.size())) {
                state.SkipWithError("echo failed");
                break;
            }
        }
        state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * data);
    }
    ::close(fd);
    echo.join();
    ::close(listener);
    ::unlink(file.c_str());
}

BENCHMARK_CAPTURE(Socket, Inquiry36, false)->UseRealTime();
BENCHMARK_CAPTURE(InProcess, Inquiry36, false)->UseRealTime();
BENCHMARK_CAPTURE(BareSocket, Inquiry36, false)->UseRealTime();
BENCHMARK_CAPTURE(Socket, Read64k, true)->UseRealTime();
BENCHMARK_CAPTURE(InProcess, Read64k, true)->UseRealTime();
BENCHMARK_CAPTURE(BareSocket, Read64k, true)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
