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
//   - BareSocket: the same frames over a Unix stream socket to an echo
//     thread that reads the request and writes a reply of the reply's size
//     (BareSocketEcho.h): what any socket transport costs, with no
//     controller behind it.
//
//   build-rel/bin/passthrough_bench
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "BareSocketEcho.h"
#include "ServedSimulator.h"
#include "platform/scsi/ScsiDevice.h"
#include "sim/InProcessDevice.h"
#include "sim/Simulator.h"

namespace {

constexpr std::uint32_t kInquiryLength = 36;
constexpr std::uint32_t kReadLength = 64 * 1024;

// One simulator served on sockets under a temporary root for the whole run.
struct Bench : benchsupport::ServedSimulator {
    static Bench& Get() {
        static Bench bench;
        return bench;
    }
    Bench() : ServedSimulator("passthrough_bench") {}
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
    if (!bench.Ok()) {
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
    if (!bench.Ok()) {
        state.SkipWithError("no simulator");
        return;
    }
    sim::InProcessDevice device(bench.simulator, "STROVANE0");
    std::vector<std::uint8_t> buffer;
    platform::ScsiRequest request = large ? Read64k(buffer) : Inquiry(buffer);
    RunDevice(state, device, request, large ? kReadLength : kInquiryLength);
}

// The floor: the same frames over a bare Unix stream socket.
void BareSocket(benchmark::State& state, bool large) {
    Bench& bench = Bench::Get();
    benchsupport::BareSocketEcho echo(bench.root + "/echo");
    if (!echo.Start()) {
        state.SkipWithError("cannot serve the echo");
        return;
    }
    std::vector<std::uint8_t> buffer;
    const std::vector<std::uint8_t> frame =
        benchsupport::RequestFrame(large ? Read64k(buffer) : Inquiry(buffer));
    for (auto _ : state) {
        if (!echo.Exchange(frame)) {
            state.SkipWithError("echo failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            (large ? kReadLength : kInquiryLength));
}

BENCHMARK_CAPTURE(Socket, Inquiry36, false)->UseRealTime();
BENCHMARK_CAPTURE(InProcess, Inquiry36, false)->UseRealTime();
BENCHMARK_CAPTURE(BareSocket, Inquiry36, false)->UseRealTime();
BENCHMARK_CAPTURE(Socket, Read64k, true)->UseRealTime();
BENCHMARK_CAPTURE(InProcess, Read64k, true)->UseRealTime();
BENCHMARK_CAPTURE(BareSocket, Read64k, true)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
