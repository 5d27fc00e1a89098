// Bytes per second of a 4.5 MB controller image written as download writes
// it: 68 WRITE BUFFER pieces of 65532 bytes with mode 4 and the rest with
// mode 5, to a shut-down controller that assembles the image and checks it
// when the last byte has come. Three ways:
//   - DeviceLayer: each piece as a ScsiCommand through the device table's
//     pass-through (ScsiDeviceTable::RunOn) on the socket device, served by
//     the simulator's own socket server (sim::SimServer) in this process.
//   - DownloadCommands: the same through download's CdbWriteBuffer, its
//     retrying executor and the scanned record: what the tool itself costs.
//   - InProcessDevice: the device layer on the simulator in this process,
//     without a socket: what the simulated controller itself costs.
//   - BareSocket: the same frames over a bare Unix socket to an echo thread
//     (BareSocketEcho.h): the floor any socket transport sits on.
// Between iterations (not timed) the simulated burn and restart are moved
// on at once and the subsystem is shut down again.
//
//   build/release/bin/firmware_bench
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BareSocketEcho.h"
#include "ServedSimulator.h"
#include "coresys/server/scsi/ScsiDeviceTable.h"
#include "platform/scsi/ScsiDevice.h"
#include "sim/CabinetRules.h"
#include "sim/FirmwareImage.h"
#include "sim/FirmwareRules.h"
#include "sim/InProcessDevice.h"
#include "tools/firmware/DownloadCommands.h"
#include "tools/firmware/DownloadController.h"

namespace {

constexpr std::uint32_t kImageSize = 4500000;
constexpr std::uint32_t kPiece = 65532;

// The simulator served for the whole run, and the image.
class Bench : public benchsupport::ServedSimulator {
  public:
    static Bench& Get() {
        static Bench bench;
        return bench;
    }

    std::vector<std::uint8_t> image;
    bool ok = false;

    // Finishes the burn and restart of the last image and shuts the
    // subsystem down again, ready for the next one.
    bool Ready() {
        simulator->Advance(sim::FirmwareRules::kFlashMs + sim::CabinetRules::kRestartMs);
        auto device = platform::OpenScsiDevice("STROVANE0");
        if (!device)
            return false;
        platform::ScsiRequest shutdown;
        shutdown.cdb = {0xE8};
        shutdown.cdbLength = 10;
        shutdown.timeoutSeconds = 32;
        platform::ScsiOutcome outcome;
        device->PassThrough(shutdown, outcome);
        simulator->Advance(sim::CabinetRules::kShutdownMs);
        return outcome.systemError == 0 && outcome.scsiStatus == 0;
    }

  private:
    Bench() : ServedSimulator("firmware_bench") {
        image = sim::FirmwareImage::Build(
            sim::FirmwareImage::kControllerTarget, "0302",
            sim::FirmwareImage::Pattern(kImageSize - sim::FirmwareImage::kHeaderSize, 1));
        ok = Ok() && Ready();
    }
};

// One piece as download's CdbWriteBuffer builds it.
platform::ScsiRequest PieceRequest(std::uint8_t mode, const std::uint8_t* data,
                                   std::uint32_t length) {
    platform::ScsiRequest r;
    r.cdb = {0x3B,
             mode,
             0,
             0,
             0,
             static_cast<std::uint8_t>(length >> 24),
             static_cast<std::uint8_t>(length >> 16),
             static_cast<std::uint8_t>(length >> 8),
             static_cast<std::uint8_t>(length),
             0};
    r.cdbLength = 10;
    r.direction = length == 0 ? platform::ScsiDirection::None : platform::ScsiDirection::Out;
    r.transferLength = length;
    r.data = const_cast<std::uint8_t*>(data);
    r.timeoutSeconds = 8;
    return r;
}

// Writes the whole image with write(mode, offset, length); false when a
// piece failed.
template <typename Write>
bool WriteImage(const std::vector<std::uint8_t>& image, Write write) {
    const std::uint32_t size = static_cast<std::uint32_t>(image.size());
    std::uint32_t at = 0;
    for (; at + kPiece <= size; at += kPiece) {
        if (!write(4, at, kPiece))
            return false;
    }
    return write(5, at, size - at);
}

template <typename Write>
void Run(benchmark::State& state, Write write) {
    Bench& bench = Bench::Get();
    if (!bench.ok) {
        state.SkipWithError("no simulator");
        return;
    }
    for (auto _ : state) {
        if (!WriteImage(bench.image, write)) {
            state.SkipWithError("a piece failed");
            return;
        }
        state.PauseTiming();
        const bool ready = bench.Ready();
        state.ResumeTiming();
        if (!ready) {
            state.SkipWithError("the controller did not come back");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kImageSize);
}

void Pieces(benchmark::State& state, platform::ScsiDevice& device) {
    const auto& image = Bench::Get().image;
    Run(state, [&](std::uint8_t mode, std::uint32_t at, std::uint32_t length) {
        ScsiCommand command(12, length, length == 0 ? ScsiCommand::kNoData : ScsiCommand::kDataOut,
                            8, 0, 0);
        const platform::ScsiRequest r = PieceRequest(mode, image.data() + at, length);
        std::copy(r.cdb.begin(), r.cdb.begin() + 10, command.Cdb());
        command.cdbLength = 10;
        if (length != 0)
            std::copy(image.begin() + at, image.begin() + at + length, command.Data());
        ScsiResult result;
        ScsiDeviceTable::RunOn(device, command, result);
        return result.result == ScsiResult::kGood && command.residual == 0;
    });
}

void DeviceLayer(benchmark::State& state) {
    Bench::Get();  // the machine root first
    auto device = platform::OpenScsiDevice("STROVANE0");
    if (!device) {
        state.SkipWithError("cannot open STROVANE0");
        return;
    }
    Pieces(state, *device);
}

// The same without the socket: what the simulated controller itself costs.
void InProcessDevice(benchmark::State& state) {
    sim::InProcessDevice device(Bench::Get().simulator, "STROVANE0");
    Pieces(state, device);
}

void DownloadCommands(benchmark::State& state) {
    Bench::Get();  // the machine root first
    DeviceRecord* list = nullptr;
    ScsiResult scan;
    OpenArrayDevices(list, scan);
    // The default scenario's first array path is PHYSICALDRIVE1: cabinet 0's X.
    if (list == nullptr) {
        state.SkipWithError("no array found");
        return;
    }
    download::DownloadController controller(list);
    download::DownloadController::SetCurrent(&controller);
    const auto& image = Bench::Get().image;
    Run(state, [&](std::uint8_t mode, std::uint32_t at, std::uint32_t length) {
        ScsiResult result;
        return download::CdbWriteBuffer(mode, length, image.data() + at, result) == 1;
    });
    download::DownloadController::SetCurrent(nullptr);
    CloseArrayDevices(list);
}

void BareSocket(benchmark::State& state) {
    Bench& bench = Bench::Get();
    benchsupport::BareSocketEcho echo(bench.root + "/echo");
    if (!echo.Start()) {
        state.SkipWithError("cannot serve the echo");
        return;
    }
    // The frames are built once: the floor is the transport alone.
    std::vector<std::vector<std::uint8_t>> frames;
    WriteImage(bench.image, [&](std::uint8_t mode, std::uint32_t at, std::uint32_t length) {
        frames.push_back(
            benchsupport::RequestFrame(PieceRequest(mode, bench.image.data() + at, length)));
        return true;
    });
    for (auto _ : state) {
        for (const auto& frame : frames) {
            if (!echo.Exchange(frame)) {
                state.SkipWithError("echo failed");
                return;
            }
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kImageSize);
}

BENCHMARK(DeviceLayer)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(DownloadCommands)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(InProcessDevice)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BareSocket)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
