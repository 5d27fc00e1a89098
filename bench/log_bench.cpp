// The service's log: records written per second through the log writer (a
// writer thread, the write buffers and the Log Task, into log files of the
// service's size with their catalog), and records read back per second by a
// cursor and by time slots, beside the floor of the same bytes: dd writing
// them in 4096-byte blocks, cat reading the log files.
//
//   build-rel/bin/log_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// Every run works in its own temporary directory (removed at the end).
// Figures and the machine are in docs/performance.md.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "coresys/server/log/LogCursor.h"
#include "coresys/server/log/LogFilter.h"
#include "coresys/server/log/SequenceLog.h"
#include "coresys/server/task/OruTask.h"
#include "platform/Root.h"
#include "support/LogGenerator.h"

namespace {

constexpr std::uint32_t kStart = 1700000000;
// Records of one written batch, and of the log the readers walk.
constexpr std::uint32_t kBatch = 20000;
constexpr std::uint32_t kReadRecords = 100000;
constexpr std::uint32_t kPerfLength = 848;

std::string Scratch() {
    static std::string root = [] {
        char dir[] = "/tmp/oru-log-bench-XXXXXX";
        std::string made = ::mkdtemp(dir) != nullptr ? dir : "/tmp";
        platform::SetRootDir(made);
        return made;
    }();
    return root;
}

struct Cleanup {
    ~Cleanup() {
        std::error_code ignored;
        std::filesystem::remove_all(Scratch(), ignored);
    }
} g_cleanup;

std::uint64_t DirectoryBytes(const std::string& dir) {
    std::uint64_t bytes = 0;
    for (const auto& file : std::filesystem::directory_iterator(dir)) {
        if (file.path().filename().string().rfind('L', 0) == 0 &&
            file.path().filename() != "LOGCATLG") {
            bytes += file.file_size();
        }
    }
    return bytes;
}

void Run(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "log_bench: failed: %s\n", command.c_str());
    }
}

// --- writing ---------------------------------------------------------------

// kBatch records of one length, written by one thread and flushed, into a
// new log with files of the given size (40960: the service's ten blocks);
// the bytes are those of the log files written. The logs stay until the end
// of the run: deleting thousands of files between iterations would make the
// file system's next creations slower than a running service ever sees them.
void BM_LogWrite(benchmark::State& state) {
    const auto length = static_cast<std::uint32_t>(state.range(0));
    const auto fileSize = static_cast<std::uint32_t>(state.range(1));
    std::uint64_t bytes = 0;
    static int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::string dir = Scratch() + "/write" + std::to_string(run++);
        testsupport::LogGenerator::Options options;
        options.directory = dir;
        options.startTime = kStart;
        options.maxFileSize = fileSize;
        auto log = std::make_unique<testsupport::LogGenerator>(options);
        std::vector<std::uint32_t> words(length > 60 ? (length - 60) / 4 : 1, 0x5A5A5A5Au);
        state.ResumeTiming();
        for (std::uint32_t i = 0; i < kBatch; ++i) {
            words[0] = i;
            log->WriteWords("QX0000000001", 2, 4, words, length, kStart + i);
        }
        log->Flush();
        state.PauseTiming();
        log.reset();
        bytes += DirectoryBytes(dir);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kBatch);
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_LogWrite)
    ->Args({128, 40960})
    ->Args({kPerfLength, 40960})
    ->Args({kPerfLength, 1 << 20})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The floor: dd writing as many 4096-byte blocks as the batch of 848-byte
// records fills, to one file.
void BM_DdWrite(benchmark::State& state) {
    const std::uint32_t perBlock = 4096 / ((kPerfLength + 7) & ~7u);
    const std::uint32_t blocks = (kBatch + perBlock - 1) / perBlock + 1;
    static int run = 0;
    for (auto _ : state) {
        std::string file = Scratch() + "/dd" + std::to_string(run++);
        Run("dd if=/dev/zero of=" + file + " bs=4096 count=" + std::to_string(blocks) +
            " status=none");
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kBatch);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * blocks * 4096);
}
BENCHMARK(BM_DdWrite)->Unit(benchmark::kMillisecond)->UseRealTime();

// --- reading ---------------------------------------------------------------

// One log of kReadRecords preventive records (848 bytes, one per 900-second
// slot) of one subsystem, written once for every reading run.
class ReadLog {
  public:
    static ReadLog& Get() {
        static ReadLog log;
        return log;
    }
    testsupport::LogGenerator& Generator() { return *generator_; }
    const std::string& Directory() const { return dir_; }
    std::uint64_t Bytes() const { return bytes_; }

  private:
    ReadLog() : dir_(Scratch() + "/read") {
        testsupport::LogGenerator::Options options;
        options.directory = dir_;
        options.startTime = kStart;
        generator_ = std::make_unique<testsupport::LogGenerator>(options);
        testsupport::LogGenerator::Series series;
        series.first = kStart;
        series.count = kReadRecords;
        generator_->WriteSeries(series);
        generator_->Flush();
        bytes_ = DirectoryBytes(dir_);
    }

    std::string dir_;
    std::unique_ptr<testsupport::LogGenerator> generator_;
    std::uint64_t bytes_ = 0;
};

void BM_CursorRead(benchmark::State& state) {
    ReadLog& log = ReadLog::Get();
    LogMgr& manager = log.Generator().Manager();
    SubsysLog* subsystem = manager.OpenSubsysLog("QX0000000001");
    std::uint64_t records = 0;
    for (auto _ : state) {
        LogFilter filter;
        LogCursor cursor(filter, *subsystem);
        for (auto r = cursor.First(); r; r = cursor.NextRecord()) {
            ++records;
        }
    }
    manager.CloseSubsysLog(subsystem);
    state.SetItemsProcessed(static_cast<std::int64_t>(records));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * log.Bytes()));
}
BENCHMARK(BM_CursorRead)->Unit(benchmark::kMillisecond)->UseRealTime();

// The performance requests' reader: one record per 900-second slot over
// the whole log.
void BM_SequenceRead(benchmark::State& state) {
    ReadLog& log = ReadLog::Get();
    std::uint64_t records = 0;
    for (auto _ : state) {
        SequenceLog slots(log.Generator().Manager(), "QX0000000001", kStart,
                          kStart + 900 * (kReadRecords - 1), 900, 2, 4);
        for (auto r = slots.First(); r; r = slots.Next()) {
            ++records;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(records));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * log.Bytes()));
}
BENCHMARK(BM_SequenceRead)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor: cat reading the same log files (from the page cache, as the
// readers above do).
void BM_CatRead(benchmark::State& state) {
    ReadLog& log = ReadLog::Get();
    for (auto _ : state) {
        Run("cat " + log.Directory() + "/L* > /dev/null");
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kReadRecords);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * log.Bytes()));
}
BENCHMARK(BM_CatRead)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
