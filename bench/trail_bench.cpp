// The log printer: records printed per second from a log of 100 MB (102400
// preventive records of ten subsystems, written by the service's own log
// writer), by the program itself with its output to /dev/null, beside the
// floor of the same bytes: cat of the log files to /dev/null.
//
//   build/release/bin/trail_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// The log is written once per run in a temporary machine root (removed at
// the end), whose services file names ports nobody listens on: the
// printer's refresh finds no service and goes on at once.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/Root.h"
#include "support/FreshRoot.h"
#include "support/LogGenerator.h"
#include "tools/trail/TrailRun.h"

namespace {

constexpr std::uint32_t kStart = 1700000000;
constexpr std::uint32_t kSerials = 10;
// 10240 slots of ten subsystems: 102400 records of 848 bytes, 100 MB.
constexpr std::uint32_t kSlots = 10240;

class BigLog {
  public:
    static BigLog& Get() {
        static BigLog log;
        return log;
    }
    const std::string& Directory() const { return dir_; }
    const testsupport::FreshRoot& Root() const { return root_; }
    std::uint64_t Records() const { return records_; }
    std::uint64_t Bytes() const { return bytes_; }

  private:
    BigLog() : dir_(root_.File("c/oru_log")) {
        testsupport::LogGenerator::Options options;
        options.directory = dir_;
        options.startTime = kStart;
        testsupport::LogGenerator generator(options);
        testsupport::LogGenerator::Series series;
        series.serials = testsupport::LogGenerator::Serials(kSerials);
        series.first = kStart;
        series.count = kSlots;
        records_ = generator.WriteSeries(series);
        generator.Stop();
        for (const auto& file : std::filesystem::directory_iterator(dir_)) {
            if (file.path().filename() != "LOGCATLG") {
                bytes_ += file.file_size();
            }
        }
    }

    testsupport::FreshRoot root_;
    std::string dir_;
    std::uint64_t records_ = 0;
    std::uint64_t bytes_ = 0;
};

void Run(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "trail_bench: failed: %s\n", command.c_str());
    }
}

void Account(benchmark::State& state, const BigLog& log) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * log.Records()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * log.Bytes()));
}

// The program: "dktrail [-v 1 | -t usage]" with its output to /dev/null.
// Arguments: 0 decoded records, 1 verbose, 2 records read but none chosen
// (-t usage: the walk alone).
void BM_Dktrail(benchmark::State& state) {
    BigLog& log = BigLog::Get();
    const char* mode = state.range(0) == 1 ? " -v 1" : (state.range(0) == 2 ? " -t usage" : "");
    const std::string command = "ORU_ROOT=" + log.Root().Path() + " ORUHOST=127.0.0.1 TZ=UTC " +
                                ORU_BIN_DIR + "/dktrail" + mode + " >/dev/null 2>&1";
    for (auto _ : state) {
        Run(command);
    }
    Account(state, log);
}
BENCHMARK(BM_Dktrail)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same printing in this process (no program start, no refresh).
void BM_TrailInProcess(benchmark::State& state) {
    BigLog& log = BigLog::Get();
    ::setenv("TZ", "UTC", 1);
    std::ofstream null("/dev/null");
    trail::TrailHooks hooks;
    hooks.refresh = [](StringCatalog&, trail::TrailOutput&, trail::TrailOutput&) {};
    for (auto _ : state) {
        trail::RunTrail({"-d", log.Directory()}, null, null, hooks);
    }
    Account(state, log);
}
BENCHMARK(BM_TrailInProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor: cat of the log files to /dev/null (from the page cache, as
// the printer reads them).
void BM_CatRead(benchmark::State& state) {
    BigLog& log = BigLog::Get();
    const std::string command = "cat " + log.Directory() + "/L* >/dev/null";
    for (auto _ : state) {
        Run(command);
    }
    Account(state, log);
}
BENCHMARK(BM_CatRead)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
