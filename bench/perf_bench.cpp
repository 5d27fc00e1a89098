// Performance metrics and recommendations over a month of the log: 30 days
// of preventive records (one per 900-second slot) of 10 subsystems,
// written once through the service's own log writer (LogGenerator), then
// read back as the requests do (PerfAnalysis over SequenceLog and the Log
// Task), for one subsystem and for all ten in turn.
//
//   build/release/bin/perf_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// Counters: slots (N of the window), heap_kB (the heap the request holds
// when its values are ready: metric objects, raw slot values, values, the
// reader's block), maxrss_MB (the process's peak resident size so far,
// the log writer's buffers included). Figures in docs/performance.md.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "coresys/server/perf/PerfAnalysis.h"
#include "platform/Root.h"
#include "support/LogGenerator.h"

namespace {

constexpr std::uint32_t kStart = 1699999200;  // on the hour
constexpr std::uint32_t kDays = 30;
constexpr std::uint32_t kSubsystems = 10;
constexpr std::uint32_t kSlots = kDays * 96;
constexpr std::uint32_t kEnd = kStart + kSlots * 900;
// The metrics dkview asks for, and every metric.
const std::vector<std::uint32_t> kShown = {2, 6, 7, 8, 9, 10, 11, 12, 14, 15, 16};
const std::vector<std::uint32_t> kAll = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

double MaxRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

std::size_t HeapInUse() {
    return mallinfo2().uordblks;
}

// The month's log in a directory of its own, removed at exit.
class MonthLog {
  public:
    static MonthLog& Get() {
        static MonthLog log;
        return log;
    }
    LogMgr& Manager() { return generator_->Manager(); }
    const std::vector<std::string>& Serials() const { return serials_; }
    ~MonthLog() {
        generator_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

  private:
    MonthLog() : serials_(testsupport::LogGenerator::Serials(kSubsystems)) {
        char dir[] = "/tmp/oru-perf-bench-XXXXXX";
        dir_ = ::mkdtemp(dir) != nullptr ? dir : "/tmp/oru-perf-bench";
        platform::SetRootDir(dir_);
        testsupport::LogGenerator::Options options;
        options.directory = dir_ + "/c/oru_log";
        options.startTime = kStart;
        generator_ = std::make_unique<testsupport::LogGenerator>(options);
        testsupport::LogGenerator::Series month;
        month.serials = serials_;
        month.first = kStart;
        month.count = kSlots;
        generator_->WriteSeries(month);
        generator_->Flush();
    }

    std::string dir_;
    std::vector<std::string> serials_;
    std::unique_ptr<testsupport::LogGenerator> generator_;
};

// One request's work: the metrics (G = range(0)) or, for G = 0, the
// recommendations, of one subsystem or of all ten in turn.
void RunRequests(benchmark::State& state, const std::vector<std::uint32_t>& ids,
                 bool allSubsystems) {
    MonthLog& log = MonthLog::Get();
    const auto slotsPerValue = static_cast<std::uint32_t>(state.range(0));
    std::size_t heap = 0;
    std::uint32_t slots = 0;
    std::uint64_t requests = 0;
    for (auto _ : state) {
        for (std::uint32_t s = 0; s < (allSubsystems ? kSubsystems : 1); ++s) {
            const std::string& serial = log.Serials()[allSubsystems ? s : kSubsystems / 2];
            const std::size_t before = HeapInUse();
            PerfAnalysis analysis(log.Manager(), serial.c_str());
            const PerfFailure failed =
                slotsPerValue == 0 ? analysis.Recommendations(kStart, kEnd)
                                   : analysis.Metrics(kStart, kEnd, slotsPerValue, ids.data(),
                                                      static_cast<std::uint32_t>(ids.size()));
            if (failed != PerfFailure::kNone) {
                state.SkipWithError(PerfFailureName(failed));
                return;
            }
            heap = std::max(heap, HeapInUse() - before);
            slots = analysis.SlotCount();
            benchmark::DoNotOptimize(analysis.MetricArray());
            ++requests;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(requests * slots));
    state.counters["slots"] = slots;
    state.counters["heap_kB"] = static_cast<double>(heap) / 1024.0;
    state.counters["maxrss_MB"] = MaxRssMb();
}

// dkview -m over the month: the 11 metrics it shows, by the hour (G = 4)
// and every slot (G = 1); every metric, every slot.
void BM_PerfMetrics(benchmark::State& state) {
    RunRequests(state, kShown, false);
}
BENCHMARK(BM_PerfMetrics)->Arg(4)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PerfMetricsAllIds(benchmark::State& state) {
    RunRequests(state, kAll, false);
}
BENCHMARK(BM_PerfMetricsAllIds)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// dkview -r over the month.
void BM_PerfRecs(benchmark::State& state) {
    RunRequests(state, {}, false);
}
BENCHMARK(BM_PerfRecs)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// The month of every subsystem in turn (as ten clients asking one after
// the other would keep the subsystem tasks busy).
void BM_PerfMetricsTenSubsystems(benchmark::State& state) {
    RunRequests(state, kShown, true);
}
BENCHMARK(BM_PerfMetricsTenSubsystems)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
