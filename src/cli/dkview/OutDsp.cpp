#include "cli/dkview/OutDsp.h"

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cli/common/ArrayConnect.h"
#include "cli/common/CliConfig.h"
#include "cli/common/CommandSubmit.h"
#include "cli/common/ErrorPrinter.h"
#include "cli/common/ExitCodes.h"
#include "cli/common/ProgramMessages.h"
#include "cli/common/ReportController.h"
#include "cli/common/SwitchParsers.h"
#include "cli/common/ValueText.h"
#include "cli/dkview/ArrayReport.h"
#include "cli/dkview/DkviewTexts.h"
#include "cli/dkview/PerfReport.h"
#include "client/DiskArray.h"
#include "client/QEN.h"
#include "coresys/common/FieldText.h"
#include "coresys/common/MESSAGE_CODE.h"

namespace dkview {

namespace {

constexpr int kAliasItem = 116;
constexpr int kRescanItem = 159;
constexpr int kNoControllerItem = 2;
constexpr int kUnknownMetricItem = 110;
constexpr std::uint32_t kAllControllersAbsent = 3;

// The metrics the metrics display asks for, in column order.
constexpr PERF_METRIC kShownMetrics[] = {
    static_cast<PERF_METRIC>(2),  static_cast<PERF_METRIC>(6),  static_cast<PERF_METRIC>(7),
    static_cast<PERF_METRIC>(8),  static_cast<PERF_METRIC>(9),  static_cast<PERF_METRIC>(10),
    static_cast<PERF_METRIC>(11), static_cast<PERF_METRIC>(12), static_cast<PERF_METRIC>(14),
    static_cast<PERF_METRIC>(15), static_cast<PERF_METRIC>(16),
};

bool AllDigits(const char* text) {
    if (*text == '\0') {
        return false;
    }
    for (; *text != '\0'; ++text) {
        if (*text < '0' || *text > '9') {
            return false;
        }
    }
    return true;
}

// An unknown switch is named by its letter (nothing for a bare "-").
[[noreturn]] void BadSwitch(const char* argument) {
    PrintProgramMessage(PM_BAD_SWITCH, PROG_DKVIEW, std::cerr);
    const std::string letter = argument[1] != '\0' ? std::string(1, argument[1]) : std::string();
    std::cerr << " \"" << letter << "\"\n";
    Usage::Exit();
}

// The next argument when it is there, is not the last (the array
// identifier) and is no switch.
const char* OptionalValue(char** argv, int& index, int argc) {
    if (index + 2 < argc && argv[index + 1][0] != '-') {
        return argv[++index];
    }
    return nullptr;
}

}  // namespace

void PrintLongHelp() {
    PrintHelpItems(kDisplaySet, kFirstHelpItem, kLastHelpItem);
}

void OutDsp::SetKind(DISPLAY_KIND wanted) {
    if (kind != DK_NONE) {
        Usage::Exit();
    }
    kind = wanted;
}

void OutDsp::ParseArguments(int argc, char** argv) {
    CommandLineFrame(argc, argv, 1, PrintLongHelp);
    const char* startArgument = nullptr;
    const char* endArgument = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (argument[0] != '-') {
            if (i != argc - 1) {
                Usage::Exit();
            }
            arrayId = argument;
            continue;
        }
        switch (argument[1]) {
            case 'a':
            case 'c':
            case 'd':
            case 'h':
            case 'i':
            case 's':
            case 'v':
            case 'A':
            case 'R': {
                CheckSwitchLength(argument, PROG_DKVIEW);
                static constexpr struct {
                    char letter;
                    DISPLAY_KIND kind;
                } kKinds[] = {{'a', DK_ALL},      {'c', DK_CONTROLLERS}, {'d', DK_DRIVES},
                              {'h', DK_HARDWARE}, {'i', DK_LIST},        {'s', DK_SETTINGS},
                              {'v', DK_GEOMETRY}, {'A', DK_SERVER},      {'R', DK_RESCAN}};
                for (const auto& entry : kKinds) {
                    if (entry.letter == argument[1]) {
                        SetKind(entry.kind);
                    }
                }
                break;
            }
            case 'S':
                CheckSwitchLength(argument, PROG_DKVIEW);
                raw = true;
                break;
            case 'V':
                CheckSwitchLength(argument, PROG_DKVIEW);
                verbose = true;
                break;
            case 'E':
                exitLevel = GetExitLevelSwitchArg(argv, i, argc, PROG_DKVIEW);
                break;
            case 'l': {
                SetKind(DK_UNITS);
                if (argument[2] != '\0') {
                    // A negative unit is out of range rather than no number.
                    if (argument[2] == '-' && AllDigits(argument + 3)) {
                        ExitOutOfRange(PROG_DKVIEW);
                    }
                    unit = ParseDecimalArg(argument + 2);
                } else if (const char* next = OptionalValue(argv, i, argc)) {
                    unit = ParseDecimalArg(next);
                }
                break;
            }
            case 'm':
            case 'r': {
                SetKind(argument[1] == 'm' ? DK_METRICS : DK_PERF_RECS);
                startArgument = GetSwitchValue(argv, i, argc);
                if (i + 1 >= argc) {
                    Usage::Exit();
                }
                endArgument = argv[++i];
                if (!AllDigits(startArgument) || !AllDigits(endArgument)) {
                    Usage::Exit();
                }
                if (kind == DK_METRICS) {
                    if (const char* next = OptionalValue(argv, i, argc)) {
                        const std::int32_t interval = ParseDecimalArg(next);
                        window.interval = interval > 0 ? interval : TimeWindow::kDefaultInterval;
                    }
                }
                break;
            }
            default:
                BadSwitch(argument);
        }
    }
    if (kind == DK_NONE) {
        kind = DK_SUMMARY;
    }
    const bool takesArray = kind != DK_LIST && kind != DK_RESCAN;
    if (takesArray == arrayId.empty()) {
        Usage::Exit();
    }
    window.raw = raw;
    if (startArgument != nullptr && exitLevel < 0) {
        window.Set(startArgument, endArgument);
    }
}

int OutDsp::ListArrays(QEN& qen) {
    if (raw) {
        std::cout << "I:";
    }
    for (int i = 0; i < qen.NameArraySize(); ++i) {
        const OruSubsystem* subsystem = qen[i];
        if (subsystem == nullptr) {
            break;
        }
        const std::string serial(FieldText(subsystem->serialNumber));
        if (raw) {
            std::cout << (i == 0 ? "" : ":") << serial;
            continue;
        }
        ValueText words;
        const std::string alias = words.Trim(FieldText(subsystem->aliasName));
        std::cout << serial;
        if (!alias.empty()) {
            std::cout << ' ' << CliText(kDisplaySet, kAliasItem, alias.c_str());
        }
        std::cout << '\n';
    }
    if (raw) {
        std::cout << '\n';
    }
    return CLI_EXIT_SUCCESS;
}

int OutDsp::Rescan(QEN& qen) {
    if (!raw) {
        std::cout << CliText(kDisplaySet, kRescanItem) << '\n';
        std::cout.flush();
    }
    const ASL_STATUS status = qen.Rescan(nullptr, 0, 1);
    if (status != ASL_GOOD) {
        PrintListStatus(static_cast<std::int32_t>(status), std::cerr);
        return CLI_EXIT_NO_REPLY;
    }
    return CLI_EXIT_SUCCESS;
}

void OutDsp::Performance(QEN& qen, DiskArray*& array, const ArrayReport& report) {
    std::string head = report.RawHead("");
    head.erase(0, 1);  // the letters' ':' of an empty record name
    PerfReport perf(head, raw, std::cout);
    const auto start = static_cast<std::uint32_t>(window.start);
    const auto end = static_cast<std::uint32_t>(window.end);
    if (kind == DK_PERF_RECS) {
        const CommandArgument arguments[] = {{ARG_HEX, static_cast<std::int32_t>(start)},
                                             {ARG_HEX, static_cast<std::int32_t>(end)}};
        const CommandHandle handle = array->GetPerfRecs(start, end);
        lastReply =
            SubmitAndCheck(qen, array, handle, MC_GetPerfRecs, PROG_DKVIEW, arguments, verbose);
        perf.Recommendations(lastReply->recs.value_or(PerfRecs{}), window);
        return;
    }
    const auto count = static_cast<std::uint32_t>(std::size(kShownMetrics));
    const CommandArgument arguments[] = {{ARG_HEX, static_cast<std::int32_t>(start)},
                                         {ARG_HEX, static_cast<std::int32_t>(end)},
                                         {ARG_DECIMAL, window.interval},
                                         {ARG_DECIMAL, static_cast<std::int32_t>(count)}};
    const CommandHandle handle = array->GetPerfMetrics(
        start, end, static_cast<std::uint32_t>(window.interval), count, kShownMetrics);
    lastReply =
        SubmitAndCheck(qen, array, handle, MC_GetPerfMetrics, PROG_DKVIEW, arguments, verbose);
    if (!perf.Metrics(lastReply->metrics, window)) {
        std::cout.flush();
        std::fprintf(stderr, DkviewTexts::kFatalLine, ProgramName(PROG_DKVIEW).c_str(),
                     CliText(kFatalSet, kUnknownMetricItem).c_str());
        qen.DisConnect(array);
        array = nullptr;
        std::exit(CLI_EXIT_FAILED);
    }
}

int OutDsp::Output() {
    QEN qen(kind == DK_RESCAN ? 0 : 1);
    // Every run starts with the state of the subsystem list, the rescan
    // too: without a usable list nothing that follows can work.
    if (qen.OruListStatus() != ASL_GOOD) {
        PrintListStatus(static_cast<std::int32_t>(qen.OruListStatus()), std::cerr);
        return CLI_EXIT_NO_REPLY;
    }
    if (kind == DK_LIST) {
        return ListArrays(qen);
    }
    if (kind == DK_RESCAN) {
        return Rescan(qen);
    }
    DiskArray* array = OpenArray(qen, arrayId, PROG_DKVIEW);
    lastReply =
        SubmitAndCheck(qen, array, array->GetState(), MC_GetState, PROG_DKVIEW, {}, verbose);
    // A state reply that came without its record leaves the empty state.
    const DiskArrayState state = lastReply->state.value_or(DiskArrayState{});
    const std::optional<OruServerState> server = lastReply->serverState;
    reportController = PickReportController(state.controllers);
    if (FirstExistingController(state.controllers) == kAllControllersAbsent) {
        std::cout.flush();
        std::cerr << CliText(kDisplaySet, kNoControllerItem) << '\n';
    }
    ArrayReport report(state, server ? &*server : nullptr, raw, verbose, std::cout);
    switch (kind) {
        case DK_ALL:
            report.Head();
            report.SummaryRecord();
            report.LogicalUnits(-1);
            report.Drives();
            report.MissingDrives();
            report.Controllers();
            report.Settings();
            report.Geometry();
            report.HardwareRecord();
            if (verbose) {
                report.ServerStatus();
            }
            break;
        case DK_SUMMARY:
            report.Head();
            report.SummaryRecord();
            break;
        case DK_UNITS:
            report.Head();
            report.LogicalUnits(unit);
            break;
        case DK_SETTINGS:
            report.Head();
            report.Settings();
            break;
        case DK_HARDWARE:
            report.Head();
            report.HardwareRecord();
            break;
        case DK_GEOMETRY:
            report.Head();
            report.Geometry();
            break;
        case DK_CONTROLLERS:
            report.Controllers();
            break;
        case DK_DRIVES:
            report.Drives();
            report.MissingDrives();
            break;
        case DK_SERVER:
            report.Head();
            report.ServerStatus();
            break;
        case DK_PERF_RECS:
        case DK_METRICS:
            report.Head();
            Performance(qen, array, report);
            break;
        default:
            break;
    }
    std::cout.flush();
    qen.DisConnect(array);
    return CLI_EXIT_SUCCESS;
}

}  // namespace dkview
