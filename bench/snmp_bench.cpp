// The SNMP agent as a network manager sees it: snmpwalk of the agent's whole
// view through a private snmpd (AgentX master) and oru-snmp-host, with 1, 10
// and 20 arrays behind it, beside snmpwalk of the same number of variables
// from snmpd's own built-in tables (the floor: the same client, master and
// transport without the subagent); the agent's own share of a walk of 1, 10
// and 50 rows in-process; and the CPU oru-snmp-host takes while it idles for
// a minute.
//
// One service serves at most 20 sessions, so an agent reads at most 20
// arrays of one host: the walks through snmpd stop at 20 rows, the
// in-process walk goes to 50.
//
// Each size gets its own machine: a fresh ORU_ROOT, "strovsim serve" with
// that many cabinets, OruServr, snmpd and snmptrapd on free loopback ports,
// and the host. The walks run with the host's waits 20 times shorter (its
// first round after 3 s instead of 60 s); the idle run keeps every wait at
// its length.
//
//   build/release/bin/snmp_bench [--benchmark_filter=Walk]
//
// Runs:
//   BM_AgentWalk/n     snmpwalk -v2c of the view: 5n + 2 variables
//   BM_FloorWalk/n     snmpwalk -v2c of 5n + 2 variables of MIB-2 (-CE)
//   BM_QueryWalk/n     the same GETNEXT walk of 5n + 2 variables through
//                      the agent's query entry in-process (no SNMP at all)
//   BM_HostIdleCpu     CPU time and context switches of oru-snmp-host (10
//                      arrays) over 60 s after its first round
#include <benchmark/benchmark.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchMachine.h"
#include "netmgmt/agent/AgentMib.h"
#include "support/ChildProcess.h"
#include "support/SnmpMaster.h"

namespace {

using benchsupport::BenchMachine;
using Clock = std::chrono::steady_clock;

constexpr const char* kView = ".1.3.6.1.4.1.32473.2.27.1.1";
constexpr const char* kMib2 = ".1.3.6.1.2.1";
constexpr int kLimitMs = 180000;

// n cabinets with two drives each.
std::string Scenario(int cabinets) {
    std::ostringstream json;
    json << R"({"cabinets":[)";
    for (int i = 0; i < cabinets; ++i) {
        char serial[16];
        std::snprintf(serial, sizeof serial, "QX%010d", i + 1);
        json << (i == 0 ? "" : ",") << R"({"serial":")" << serial
             << R"(","drives":[{"slot":"A1"},{"slot":"B1"}]})";
    }
    json << "]}";
    return json.str();
}

// One machine with the SNMP side: simulator, service, snmpd, host.
class SnmpMachine {
  public:
    ~SnmpMachine() { Stop(); }

    std::string Start(int cabinets, const std::string& timeScale) {
        std::string why = machine_.Start(true, Scenario(cabinets));
        if (!why.empty()) {
            return why;
        }
        master_ = std::make_unique<testsupport::SnmpMaster>(machine_.Root().File("snmp"));
        why = master_->Start();
        if (!why.empty()) {
            return why;
        }
        std::vector<std::string> env = master_->Environment();
        env.insert(
            env.end(),
            {"ORU_ROOT=" + machine_.Root().Path(), "ORU_EVENTLOG_SYSLOG=0", "ORUHOST=127.0.0.1",
             timeScale.empty() ? "ORU_TIME_SCALE" : "ORU_TIME_SCALE=" + timeScale});
        if (!host_.Start(testsupport::ProgramPath(ORU_BIN_DIR, "oru-snmp-host"),
                         {"-f", "-x", master_->AgentXSocket()}, env)) {
            return host_.StartError();
        }
        // The first round has read every array once the table holds them.
        const std::string count = std::to_string(cabinets);
        const auto end = Clock::now() + std::chrono::milliseconds(kLimitMs);
        std::string rows = "none";
        while (Clock::now() < end) {
            const testsupport::SnmpRun run = master_->Get(std::string(kView) + ".2.0");
            if (!run.variables.empty()) {
                rows = run.variables[0].value;
            }
            if (rows == count) {
                return "";
            }
            if (!host_.Running()) {
                return "oru-snmp-host ended: " + host_.Stderr();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        return "the agent's table holds " + rows + " rows, not " + count;
    }

    void Stop() {
        if (host_.Running()) {
            host_.Signal(SIGTERM);
            host_.WaitExit(kLimitMs);
        }
        if (master_) {
            master_->Stop();
        }
        master_.reset();
        machine_.Stop();
    }

    testsupport::SnmpMaster& Master() { return *master_; }
    pid_t HostPid() { return host_.Pid(); }

  private:
    BenchMachine machine_;
    std::unique_ptr<testsupport::SnmpMaster> master_;
    testsupport::ChildProcess host_;
};

std::map<int, std::unique_ptr<SnmpMachine>> machines;

SnmpMachine* MachineFor(int cabinets, std::string* why) {
    auto& slot = machines[cabinets];
    if (!slot) {
        // One machine at a time: the previous one's processes go first.
        for (auto& [n, other] : machines) {
            if (other && n != cabinets) {
                other.reset();
            }
        }
        slot = std::make_unique<SnmpMachine>();
        *why = slot->Start(cabinets, "20");
        if (!why->empty()) {
            slot.reset();
            return nullptr;
        }
    }
    return slot.get();
}

// Times snmpwalk of 5n + 2 variables: the agent's view, or (floor) as many
// of snmpd's own MIB-2, the walk ending where the next variable begins.
void TimeWalks(benchmark::State& state, bool floor) {
    const int n = static_cast<int>(state.range(0));
    std::string why;
    SnmpMachine* m = MachineFor(n, &why);
    if (m == nullptr) {
        state.SkipWithError(why.c_str());
        return;
    }
    const std::size_t expected = 5 * static_cast<std::size_t>(n) + 2;
    std::string from = kView;
    std::vector<std::string> options;
    if (floor) {
        const testsupport::SnmpRun all = m->Master().Walk(kMib2);
        if (all.variables.size() <= expected) {
            state.SkipWithError("snmpd's MIB-2 holds too few variables");
            return;
        }
        from = kMib2;
        options = {"-CE", all.variables[expected].oid};
    }
    for (auto _ : state) {
        const testsupport::SnmpRun run =
            m->Master().Client("snmpwalk", "2c", "public", {from}, options);
        if (run.exitCode != 0 || run.variables.size() != expected) {
            state.SkipWithError(("walk of " + from + ": " + std::to_string(run.variables.size()) +
                                 " variables " + run.err)
                                    .c_str());
            return;
        }
    }
    state.counters["variables"] = static_cast<double>(expected);
}

void BM_AgentWalk(benchmark::State& state) {
    TimeWalks(state, false);
}

void BM_FloorWalk(benchmark::State& state) {
    TimeWalks(state, true);
}

void BM_QueryWalk(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<oruagent::MibRow> rows;
    for (int r = 0; r < n; ++r) {
        char serial[16];
        std::snprintf(serial, sizeof serial, "QX%010d", r + 1);
        rows.push_back({"QRVZX ARRAY     ", serial, "0301", "QRVZX-4003", 2});
    }
    oruagent::AgentMib mib;
    mib.Publish(oruagent::MibChain::Build(rows));
    const std::size_t expected = 5 * static_cast<std::size_t>(n) + 2;
    for (auto _ : state) {
        SnmpVarBind binding{};
        binding.value.asnType = ASN_NULL;
        SnmpUtilOidSet(&binding.name, oruagent::kViewArcs.data(),
                       static_cast<std::uint32_t>(oruagent::kViewArcs.size()));
        SnmpVarBindList list{&binding, 1};
        std::size_t seen = 0;
        std::int32_t status = 0;
        std::int32_t index = 0;
        // Each step as the host makes it: a fresh value, the next name.
        while (mib.Query(SNMP_PDU_GETNEXT, &list, &status, &index) != 0 && status == 0 &&
               binding.name.idLength > oruagent::kViewArcs.size()) {
            SnmpUtilAsnAnyFree(&binding.value);
            ++seen;
        }
        SnmpUtilVarBindFree(&binding);
        if (seen != expected) {
            state.SkipWithError("the walk missed variables");
            return;
        }
    }
    state.counters["variables"] = static_cast<double>(expected);
}

// CPU nanoseconds and context switches of every thread of a process, from
// each thread's schedstat and status (nanoseconds, where clock ticks would
// round a quiet minute to 0).
struct ProcessCpu {
    double ns = 0;
    double switches = 0;
};

ProcessCpu ReadCpu(pid_t pid) {
    ProcessCpu cpu;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks)) {
        std::ifstream schedstat(task.path() / "schedstat");
        double onCpu = 0;
        if (schedstat >> onCpu) {
            cpu.ns += onCpu;
        }
        std::ifstream status(task.path() / "status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0 ||
                line.rfind("nonvoluntary_ctxt_switches:", 0) == 0) {
                cpu.switches += std::stod(line.substr(line.find(':') + 1));
            }
        }
    }
    return cpu;
}

void BM_HostIdleCpu(benchmark::State& state) {
    machines.clear();
    SnmpMachine m;
    const std::string why = m.Start(10, "");
    if (!why.empty()) {
        state.SkipWithError(why.c_str());
        return;
    }
    for (auto _ : state) {
        const ProcessCpu before = ReadCpu(m.HostPid());
        const auto start = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(60));
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const ProcessCpu after = ReadCpu(m.HostPid());
        const double cpuMs = (after.ns - before.ns) / 1e6;
        state.counters["cpu_ms"] = cpuMs;
        state.counters["cpu_percent"] = 100.0 * cpuMs / (1000.0 * seconds);
        state.counters["switches"] = after.switches - before.switches;
    }
}

// Each size's two walks run together, on the same machine.
BENCHMARK(BM_AgentWalk)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorWalk)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AgentWalk)->Arg(10)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorWalk)->Arg(10)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AgentWalk)->Arg(20)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorWalk)->Arg(20)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QueryWalk)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HostIdleCpu)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    machines.clear();
    benchmark::Shutdown();
    return 0;
}
