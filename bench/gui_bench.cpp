// The graphical manager's start and its window's responsiveness, offscreen.
//
// BM_FilledList<machine>: from making the application object (main frame, model,
// profile) to (a) the list showing every array of this host and (b) every
// row's status known from the first gross-status round. Against a real
// OruServr over strovsim with N cabinets (at most 32: one simulated machine
// serves no more), and against a scripted peer that answers the same
// protocol at once (N up to 50).
//
// BM_EventLoopLatency<machine>: with the list filled, gross-status rounds every
// 300 ms (the round interval of 30 s run a hundred times faster) for 3 s
// while a 5 ms timer ticks; the longest gap between two ticks is what the
// window's user would feel. The peer's arrays change status every round, so
// every row is refreshed each time.
//
// BM_SheetAllPages: the Device Properties sheet of the largest array the
// simulator makes (twelve drives, eight logical drives), whose log holds 14
// days of preventive records: from the state request to every page shown and
// drawn, the Performance page's two metric requests included.
//
// BM_ChartRepaint/<samples>: one paint of the Performance page's Events chart
// (800 x 450 pixels) over a day (24 hourly samples) or the 14 days the page
// reads (336 samples, 108 of them visible at that width).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTabWidget>
#include <QTimer>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "BenchMachine.h"
#include "GuiTestSupport.h"
#include "PerfTestSupport.h"
#include "QuietOffscreen.h"
#include "ServicePeer.h"
#include "WireBytes.h"
#include "client/DiskArray.h"
#include "client/QEN.h"
#include "coresys/common/ORU_ReturnMsg.h"
#include "coresys/common/PerfMetric.h"
#include "gui/CArrayProvider.h"
#include "gui/CDevPerfPage.h"
#include "gui/CDevPropSheet.h"
#include "gui/CMainFrame.h"
#include "gui/COruApp.h"
#include "gui/CTimeChart.h"
#include "gui/ClientWorkers.h"
#include "gui/PerfData.h"
#include "platform/Clock.h"
#include "support/FreshRoot.h"
#include "support/LogGenerator.h"

namespace {

using clienttest::Be;

constexpr qint64 kLimitMs = 120000;

// A scenario of `cabinets` cabinets made from the first cabinet of the
// service benchmark's scenario.
std::string Scenario(int cabinets) {
    std::ifstream in(ORU_BENCH_SCENARIO);
    nlohmann::json world = nlohmann::json::parse(in, nullptr, false);
    if (world.is_discarded() || world["cabinets"].empty()) {
        return "";
    }
    const nlohmann::json model = world["cabinets"][0];
    nlohmann::json list = nlohmann::json::array();
    for (int n = 0; n < cabinets; ++n) {
        nlohmann::json cabinet = model;
        char serial[16];
        char volumeSet[20];
        std::snprintf(serial, sizeof serial, "QX%010d", n + 1);
        std::snprintf(volumeSet, sizeof volumeSet, "VOLSET-%09d", n + 1);
        cabinet["serial"] = serial;
        cabinet["alias"] = "CABINET" + std::to_string(n + 1);
        cabinet["volumeSetId"] = volumeSet;
        int slot = 0;
        for (nlohmann::json& drive : cabinet["drives"]) {
            char driveSerial[32];
            std::snprintf(driveSerial, sizeof driveSerial, "D%03dS%02d0000", n + 1, slot++);
            drive["serial"] = driveSerial;
            drive["volumeSetId"] = volumeSet;
        }
        list.push_back(cabinet);
    }
    world["cabinets"] = list;
    return world.dump(1);
}

// Runs the event loop until done() or the limit; false on the limit.
bool RunUntil(const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > kLimitMs) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

bool AllStatusesKnown(oru::CMainFrame& frame) {
    for (std::uint32_t index : frame.Model().Devices()) {
        if (frame.Model().StatusValue(index) == oru::DS_NO_DATA) {
            return false;
        }
    }
    return true;
}

// Opens the application; the milliseconds until the list holds `arrays`
// rows and until every status is known.
bool OpenAndFill(int arrays, std::unique_ptr<oru::COruApp>* app, double* listedMs,
                 double* knownMs) {
    QElapsedTimer clock;
    clock.start();
    *app = std::make_unique<oru::COruApp>(QStringList(), "/bench/oru");
    (*app)->Start();
    oru::CMainFrame& frame = (*app)->Frame();
    if (!RunUntil([&] {
            return frame.FirstRebuildDone() &&
                   static_cast<int>(frame.Rows().Order().size()) == arrays;
        })) {
        return false;
    }
    *listedMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    if (!RunUntil([&] { return AllStatusesKnown(frame); })) {
        return false;
    }
    *knownMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    return true;
}

// The longest gap (ms) between ticks of a 5 ms timer over 3 s of rounds
// every 300 ms; *rounds: the rounds sent meanwhile.
double LongestGap(oru::COruApp& app, int* rounds) {
    auto& arrays = dynamic_cast<oru::CArrayProvider&>(app.Frame().Model().Provider(0));
    platform::SetTimeScale(100);
    const int before = arrays.RoundCount();
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 longest = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    ticker.start();
    last = clock.nsecsElapsed();
    RunUntil([&] { return clock.elapsed() > 3000; });
    ticker.stop();
    platform::SetTimeScale(0);
    *rounds = arrays.RoundCount() - before;
    return static_cast<double>(longest) / 1e6;
}

// ---------------------------------------------------------------------------
// Against OruServr over strovsim

class ServiceMachine {
  public:
    explicit ServiceMachine(int cabinets) { error_ = machine_.Start(true, Scenario(cabinets)); }
    const std::string& Error() const { return error_; }

  private:
    benchsupport::BenchMachine machine_;
    std::string error_;
};

// ---------------------------------------------------------------------------
// Against a scripted peer

// A gross-status reply of a valid record: Normal, or Warning (rebuilding)
// when `warning`.
std::string GrossReply(bool warning) {
    std::string values;
    for (int n = 0; n < 37; ++n) {
        std::uint32_t value = 0;
        if (n == 13) {
            value = warning ? 1 : 0;
        } else if (n == 36) {
            value = 1;  // the record is valid (g36, the last word)
        }
        values += Be(value);
    }
    return Be(24 + 148) + Be(4) + Be(100) + Be(0) + Be(0) + Be(100) + values;
}

class PeerMachine {
  public:
    explicit PeerMachine(int arrays) {
        const std::uint16_t udp = testsupport::FreePort(SOCK_DGRAM);
        std::ostringstream services;
        services << "oruTCP " << root_.TcpPort() << "/tcp\n"
                 << "oruUDP " << static_cast<std::uint16_t>(udp << 8 | udp >> 8) << "/udp\n";
        root_.Write("etc/services", services.str());
        peer_ = std::make_unique<clienttest::ServicePeer>(root_.TcpPort(), udp);
        std::vector<clienttest::ListRecord> records;
        for (int n = 0; n < arrays; ++n) {
            clienttest::ListRecord record;
            char serial[16];
            std::snprintf(serial, sizeof serial, "QX%010d", n + 1);
            record.serverName = clienttest::ServicePeer::OwnHostName();
            record.serial = serial;
            record.alias = "CABINET" + std::to_string(n + 1);
            records.push_back(record);
        }
        peer_->SetListAnswer(clienttest::ListAnswer(records));
        arrays_ = arrays;
        peer_->SetDatagramAnswer([this](const std::string& in) -> std::optional<std::string> {
            // Every array answers each round, the whole lot turning from
            // Normal to Warning and back from one round to the next.
            const bool warning = (answers_++ / arrays_) % 2 == 1;
            return std::string(1, '\0') + in.substr(1, 12) + GrossReply(warning);
        });
    }
    std::string Error() const { return peer_->Listening() ? "" : "the peer cannot listen"; }

  private:
    testsupport::FreshRoot root_;
    std::unique_ptr<clienttest::ServicePeer> peer_;
    std::atomic<int> answers_{0};
    int arrays_ = 1;
};

// ---------------------------------------------------------------------------
// The runs, on either machine

template <typename Machine>
void BM_FilledList(benchmark::State& state) {
    const int arrays = static_cast<int>(state.range(0));
    Machine machine(arrays);
    if (!machine.Error().empty()) {
        state.SkipWithError(machine.Error().c_str());
        return;
    }
    double listed = 0, known = 0, sumListed = 0;
    for (auto _ : state) {
        std::unique_ptr<oru::COruApp> app;
        if (!OpenAndFill(arrays, &app, &listed, &known)) {
            state.SkipWithError("the list did not fill");
            return;
        }
        state.SetIterationTime(known / 1000.0);
        sumListed += listed;
        app.reset();
    }
    state.counters["listed_ms"] =
        benchmark::Counter(sumListed / static_cast<double>(state.iterations()));
}

template <typename Machine>
void BM_EventLoopLatency(benchmark::State& state) {
    const int arrays = static_cast<int>(state.range(0));
    Machine machine(arrays);
    if (!machine.Error().empty()) {
        state.SkipWithError(machine.Error().c_str());
        return;
    }
    for (auto _ : state) {
        std::unique_ptr<oru::COruApp> app;
        double listed = 0, known = 0;
        if (!OpenAndFill(arrays, &app, &listed, &known)) {
            state.SkipWithError("the list did not fill");
            return;
        }
        int rounds = 0;
        const double gap = LongestGap(*app, &rounds);
        state.SetIterationTime(gap / 1000.0);
        state.counters["longest_gap_ms"] = gap;
        state.counters["rounds"] = rounds;
    }
}

// ---------------------------------------------------------------------------
// The Device Properties sheet and its chart

// One cabinet with a drive in every slot (the last a hot spare) and all
// eight logical drives.
std::string LargestArray() {
    std::ifstream in(ORU_BENCH_SCENARIO);
    nlohmann::json world = nlohmann::json::parse(in, nullptr, false);
    if (world.is_discarded() || world["cabinets"].empty()) {
        return "";
    }
    nlohmann::json cabinet = world["cabinets"][0];
    nlohmann::json drives = nlohmann::json::array();
    for (int slot = 0; slot < 12; ++slot) {
        char name[4];
        char serial[16];
        std::snprintf(name, sizeof name, "%c%d", slot % 2 == 0 ? 'A' : 'B', slot / 2 + 1);
        std::snprintf(serial, sizeof serial, "D01S%02d000000", slot);
        nlohmann::json drive = {
            {"slot", name}, {"serial", serial}, {"volumeSetId", cabinet["volumeSetId"]}};
        if (slot == 11) {
            drive["spare"] = true;
        }
        drives.push_back(drive);
    }
    cabinet["drives"] = drives;
    nlohmann::json luns = nlohmann::json::array();
    for (int lun = 0; lun < 8; ++lun) {
        luns.push_back({{"lun", lun}, {"raidLevel", 5}, {"units", 1024}});
    }
    cabinet["luns"] = luns;
    world["cabinets"] = nlohmann::json::array({cabinet});
    return world.dump(1);
}

// 14 days of preventive records of the cabinet, ending now.
void SeedRecords(const testsupport::FreshRoot& root) {
    const std::uint32_t now = static_cast<std::uint32_t>(std::time(nullptr));
    const std::uint32_t slotCount = 14 * 96;
    testsupport::LogGenerator::Options options;
    options.directory = root.File("c/oru_log");
    options.startTime = (now - slotCount * 900) / 3600 * 3600;
    testsupport::LogGenerator log(options);
    testsupport::LogGenerator::Series days;
    days.serials = {"QX0000000001"};
    days.first = options.startTime;
    days.count = slotCount;
    days.words = [](const testsupport::LogGenerator::Slot& slot) {
        return perftest::With(perftest::QuietWords(), {{21, 4194303 - slot.index * 1000},
                                                       {22, 512},
                                                       {23, 6291455},
                                                       {24, 512},
                                                       {59, 1000 + 50 * (slot.index % 48)}});
    };
    log.WriteSeries(days);
    log.Flush();
}

void BM_SheetAllPages(benchmark::State& state) {
    benchsupport::BenchMachine machine;
    const std::string error = machine.Start(true, LargestArray(), SeedRecords);
    if (!error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    QEN qen(0);
    if (qen.ScanforSubsystems("127.0.0.1", 0, 0) != ASL_GOOD || qen.NameArraySize() < 1) {
        state.SkipWithError("no subsystem list");
        return;
    }
    DiskArray* array = qen.Connect(qen[0]);
    if (array == nullptr) {
        state.SkipWithError("no session");
        return;
    }
    guitest::TestHost host;
    double sumState = 0;
    double sumPerf = 0;
    int samples = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        if (oru::WaitForCommand(array->GetState(), *array, host).kind != RMT_STATE_MSG) {
            state.SkipWithError("no state");
            return;
        }
        const qint64 stateNs = clock.nsecsElapsed();
        oru::CDevPropSheet sheet(*array, "bench", host);
        sheet.resize(820, 600);
        sheet.show();
        qint64 perfNs = 0;
        for (int page = 0; page < sheet.Tabs()->count(); ++page) {
            const qint64 before = clock.nsecsElapsed();
            sheet.ShowPage(page);
            sheet.grab();
            if (page == oru::CDevPropSheet::kPerfPage) {
                perfNs = clock.nsecsElapsed() - before;
            }
        }
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
        sumState += static_cast<double>(stateNs) / 1e6;
        sumPerf += static_cast<double>(perfNs) / 1e6;
        samples = sheet.PerfPage()->Data().count;
        if (!host.messages.empty() || !sheet.PerfPage()->Chart().LaidOut()) {
            state.SkipWithError("the sheet did not show its data");
            return;
        }
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["state_ms"] = benchmark::Counter(sumState / n);
    state.counters["perf_page_ms"] = benchmark::Counter(sumPerf / n);
    state.counters["samples"] = samples;
}

void BM_ChartRepaint(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    std::vector<PerfMetric> metrics;
    for (std::uint32_t id : {1u, 2u, 3u, 4u, 14u, 15u}) {
        PerfMetric metric(static_cast<PERF_METRIC>(id), 0, 1, RELOP_GREATER);
        metric.windowStart = 1700000000;
        metric.windowEnd = 1700000000 + 3600 * static_cast<std::uint32_t>(count);
        for (int i = 0; i < count; ++i) {
            metric.values.push_back(id == 1 ? static_cast<std::uint32_t>(i % 3)
                                            : static_cast<std::uint32_t>(1000 + (i * 37) % 500));
        }
        metrics.push_back(metric);
    }
    const oru::PerfDataSet data = oru::PerfDataSet::FromMetrics(metrics);
    oru::CTimeChart chart;
    chart.Create(nullptr, QRect(0, 0, 800, 450), 10, 10);
    oru::FillChart(chart, data, oru::EventSeries());
    chart.Layout(oru::kPerfHourOfDay, oru::kPerfIntervalSamples);
    QImage image(800, 450, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        chart.Paint(painter);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["visible"] = chart.Visible();
}

BENCHMARK_TEMPLATE(BM_FilledList, ServiceMachine)
    ->Arg(1)
    ->Arg(10)
    ->Arg(32)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_TEMPLATE(BM_FilledList, PeerMachine)
    ->Arg(1)
    ->Arg(10)
    ->Arg(50)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_TEMPLATE(BM_EventLoopLatency, ServiceMachine)
    ->Arg(32)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_TEMPLATE(BM_EventLoopLatency, PeerMachine)
    ->Arg(50)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

BENCHMARK(BM_SheetAllPages)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ChartRepaint)->Arg(24)->Arg(336)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    guitest::UseQuietOffscreen();
    ::setenv("LC_ALL", "C", 1);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
