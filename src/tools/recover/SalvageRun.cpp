#include "tools/recover/SalvageRun.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "catalog/StringCatalog.h"
#include "cli/common/CliConfig.h"
#include "coresys/common/ReportError.h"
#include "tools/recover/LogMessageModules.h"
#include "tools/recover/RecoveryArray.h"
#include "tools/recover/RecoveryModes.h"
#include "tools/recover/SalvageTexts.h"

namespace salvage {

namespace {

constexpr std::size_t kTraceBufferSize = 255;

// The run the fatal-error sink traces through (one run at a time).
SalvageRun* gActiveRun = nullptr;

// The start-up of the command-line library: the catalog, which serves as
// the tool's own catalog, the common library's and the usage catalog.
class RecoveryEnvironment {
  public:
    RecoveryEnvironment() {
        CliConfig* config = InitCliConfig(0, nullptr);
        toolCatalog_ = config != nullptr ? config->catalog.get() : nullptr;
        commonCatalog_ = toolCatalog_;
        usageCatalog_ = toolCatalog_;
    }
    virtual ~RecoveryEnvironment() { ReleaseCliConfig(); }
    RecoveryEnvironment(const RecoveryEnvironment&) = delete;
    RecoveryEnvironment& operator=(const RecoveryEnvironment&) = delete;

    // A catalog that opened no language library at all would answer every
    // text with its "no such string" complaint: not usable either.
    bool Usable() const {
        return toolCatalog_ != nullptr && commonCatalog_ != nullptr && usageCatalog_ != nullptr &&
               toolCatalog_->OpenResult() == 0;
    }

  private:
    StringCatalog* toolCatalog_ = nullptr;
    StringCatalog* commonCatalog_ = nullptr;
    StringCatalog* usageCatalog_ = nullptr;
};

// Marks the run the fatal-error sink reports through, for its lifetime.
class ActiveRun {
  public:
    explicit ActiveRun(SalvageRun& run) {
        gActiveRun = &run;
        SetFatalErrorSink(FatalError);
    }
    ~ActiveRun() {
        SetFatalErrorSink(nullptr);
        gActiveRun = nullptr;
    }
    ActiveRun(const ActiveRun&) = delete;
    ActiveRun& operator=(const ActiveRun&) = delete;
};

bool StartsWith(const char* text, const char* head) {
    return std::strncmp(text, head, std::strlen(head)) == 0;
}

}  // namespace

void ExitSalvage(int code) {
    throw SalvageExit{code};
}

void SalvageRun::TraceCheckPoint(const char* format, ...) {
    if (!options.debug) {
        return;
    }
    char text[kTraceBufferSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    char head[32];
    std::snprintf(head, sizeof head, SalvageTexts::kTraceHead, SalvageTexts::kProgram);
    console.out << head << text << '\n';
}

void SalvageRun::Enter(const char* function, const char* checkPoint) {
    options.currentFunction = function;
    TraceCheckPoint(checkPoint, options.currentFunction.c_str());
}

int SalvageRun::SetupUsage() {
    Enter("setupUsage", SalvageTrace::kSetupUsage);
    options.usage.assign(1, CliText(kUsageSet, kUsageItem));
    return 1;
}

void SalvageRun::ExtendedHelp() {
    for (int item = kHelpFirst; item <= kHelpLast; ++item) {
        console.out << CliText(kUsageSet, item) << '\n';
    }
}

void SalvageRun::Fail(int exitCode) {
    Enter("Fail", SalvageTrace::kFail);
    for (const std::string& line : options.usage) {
        if (line.empty()) {
            break;
        }
        console.err << line << '\n';
    }
    ExitSalvage(exitCode);
}

void SalvageRun::ExitUnlessOverride(int exitCode) {
    if (!options.override) {
        ExitSalvage(exitCode);
    }
    console.out << CliText(kMessageSet, M_OVERRIDDEN, exitCode) << '\n';
}

int SalvageRun::ParseArgs(int argc, char** argv) {
    options.arrayId.clear();
    Enter("ParseArgs", SalvageTrace::kParseArgs);
    for (int i = 1; i < argc; ++i) {
        if (StartsWith(argv[i], "-?")) {
            ExtendedHelp();
            ExitSalvage(SALVAGE_EXIT_OK);
        }
    }
    const int last = argc - 1;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        const std::size_t length = std::strlen(argument);
        if (argument[0] != '-') {
            if (i == last) {
                options.arrayId = argument;
                TraceCheckPoint(SalvageTrace::kArrayId, argument);
                continue;
            }
            if (length != RecoveryOptions::kVolumeSetIdLength) {
                console.err << CliText(kMessageSet, M_BAD_VOLUME_SET_ID, argument) << '\n';
                Fail(SALVAGE_EXIT_USAGE);
            }
            std::memcpy(options.volumeSetId, argument, length + 1);
            TraceCheckPoint(SalvageTrace::kVolumeSetId, argument);
            continue;
        }
        // A mode switch stands alone and only once; so does the poll switch.
        auto setMode = [&](int mode, const char* checkPoint) {
            if (length != 2 || options.mode != MODE_NONE) {
                Fail(SALVAGE_EXIT_USAGE);
            }
            options.mode = mode;
            TraceCheckPoint("%s", checkPoint);
        };
        auto setPoll = [&](bool continuous) {
            if (length != 2 || options.pollCycle) {
                Fail(SALVAGE_EXIT_USAGE);
            }
            options.pollCycle = true;
            options.continuous = continuous;
            TraceCheckPoint("%s", SalvageTrace::kPollCycle);
        };
        // A switch spelt out as a whole word.
        auto setWord = [&](const char* word, bool* flag, const char* checkPoint) {
            if (std::strcmp(argument, word) != 0) {
                Fail(SALVAGE_EXIT_USAGE);
            }
            *flag = true;
            TraceCheckPoint("%s", checkPoint);
        };
        switch (argument[1]) {
            case 's':
                setMode(CHECK_STATUS, SalvageTrace::kCheckStatus);
                break;
            case 'c':
                setPoll(false);
                break;
            case 'C':
                setPoll(true);
                break;
            case 'v':
                setMode(VOL_SET_SPECIFIED, SalvageTrace::kVolSetSpecified);
                break;
            case 'p':
                setMode(DEFAULT_VOL_SET, SalvageTrace::kDefaultVolSet);
                break;
            case 't':
                setMode(PARITY_SCAN_ONLY, SalvageTrace::kParityScanOnly);
                break;
            case 'l':
                if (length > 3 || options.mode != MODE_NONE ||
                    (length == 3 && std::strcmp(argument, "-lc") != 0)) {
                    Fail(SALVAGE_EXIT_USAGE);
                }
                options.mode = DUMP_LOGS;
                options.clearLog = length == 3;
                TraceCheckPoint("%s", SalvageTrace::kDumpLogs);
                break;
            case 'o':
                setWord("-override", &options.override, SalvageTrace::kOverride);
                break;
            case 'd':
                setWord("-debug", &options.debug, SalvageTrace::kDebug);
                break;
            default: {
                const char letter[2] = {argument[1], '\0'};
                console.err << CliText(kCommonSet, 163) << " \"" << letter << "\"\n";
                Fail(SALVAGE_EXIT_USAGE);
            }
        }
    }
    if (options.mode == MODE_NONE) {
        options.mode = MODE_INTERACTIVE;
        TraceCheckPoint("%s", SalvageTrace::kInteractive);
        options.pollCycle = true;
    }
    const bool volumeSetGiven = options.volumeSetId[0] != '\0';
    if (options.arrayId.empty() || (volumeSetGiven && options.mode != VOL_SET_SPECIFIED) ||
        (options.mode == VOL_SET_SPECIFIED && !volumeSetGiven)) {
        Fail(SALVAGE_EXIT_USAGE);
    }
    return 1;
}

int RunSalvage(int argc, char** argv, Console console) {
    SalvageRun run(console);
    ActiveRun active(run);
    try {
        run.Enter("main", SalvageTrace::kMain);
        RecoveryEnvironment environment;
        if (!environment.Usable()) {
            console.err << SalvageTexts::kNoCatalog << '\n';
            return SALVAGE_EXIT_FAILED;
        }
        if (run.SetupUsage() == 0) {
            console.err << SalvageTexts::kNoUsage << '\n';
            return SALVAGE_EXIT_FAILED;
        }
        if (run.ParseArgs(argc, argv) == 0) {
            return SALVAGE_EXIT_USAGE;
        }
        const std::string& arrayId = run.options.arrayId;
        LogMessageModules modules(arrayId);
        RecoveryArray array(arrayId, run, modules);
        if (!array.Readable()) {
            console.err << CliText(kMessageSet, M_NOT_READABLE, arrayId.c_str()) << '\n';
            return SALVAGE_EXIT_FAILED;
        }
        if (array.Revision() < 3 && !run.options.override) {
            console.err << CliText(kMessageSet, M_OLD_REVISION, arrayId.c_str()) << '\n';
            return SALVAGE_EXIT_FAILED;
        }
        array.SetContinuous(run.options.continuous);
        int done = 0;
        switch (run.options.mode) {
            case CHECK_STATUS:
                done = RecoveryStatus(run, array);
                break;
            case DUMP_LOGS:
                done = DumpLogs(run, array);
                break;
            default:
                done = Recover(run, array);
                break;
        }
        console.out.flush();
        return done != 0 ? SALVAGE_EXIT_OK : SALVAGE_EXIT_FAILED;
    } catch (const SalvageExit& exit) {
        console.out.flush();
        return exit.code;
    }
}

void FatalError(const char* first, const char* second) {
    if (gActiveRun != nullptr) {
        gActiveRun->Enter("FatalError", SalvageTrace::kFatal);
        gActiveRun->console.out.flush();
    }
    std::fprintf(stderr, SalvageTexts::kFatalFormat, SalvageTexts::kProgram,
                 first != nullptr ? first : "", second != nullptr ? second : "");
    std::fflush(stderr);
    std::fflush(stdout);
    std::_Exit(SALVAGE_EXIT_FATAL);
}

}  // namespace salvage
