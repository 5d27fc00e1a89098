#include <cctype>
#include <iostream>
#include <string_view>

#include "cli/common/CliConfig.h"
#include "cli/common/ExitCodes.h"
#include "cli/common/ProgramMessages.h"
#include "cli/common/SwitchParsers.h"
#include "cli/dktune/Dktune.h"
#include "cli/dktune/DktuneTexts.h"

namespace dktune {

namespace {

constexpr std::int32_t kHighestThreshold = 99;
constexpr std::int32_t kHighestBusAddress = 15;
constexpr std::int32_t kNoBusAddress = 255;
constexpr std::size_t kAliasChars = 12;

bool AliasCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == ' ' || c == '#' || c == '.' ||
           c == '_';
}

// The resiliency mode whose keyword the upper-cased text begins with.
bool ResiliencyMode(std::string_view text, TuneOptions& options) {
    std::string upper;
    for (char c : text) {
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    static constexpr struct {
        const char* keyword;
        PERF_GOAL goal;
        std::int32_t single;
    } kModes[] = {{"SINGLE", PG_SECURE, 1},
                  {"SEC", PG_SECURE, 0},
                  {"NORM", PG_NORMAL, 0},
                  {"HIGHPER", PG_HIGH_PERFORMANCE, 0}};
    for (const auto& mode : kModes) {
        if (upper.rfind(mode.keyword, 0) == 0) {
            options.resiliency = mode.goal;
            options.singleController = mode.single;
            return true;
        }
    }
    return false;
}

class Parser {
  public:
    Parser(int argc, char** argv) : argc_(argc), argv_(argv) {}

    TuneOptions Parse() {
        options_.arrayId = CommandLineFrame(argc_, argv_, 2, PrintTuneHelp);
        // The switches and their values stand before the identifier.
        const int last = argc_ - 1;
        for (int i = 1; i < last; ++i) {
            Switch(i, last);
        }
        if (options_.operation == TO_NONE) {
            Usage::Exit();
        }
        return options_;
    }

  private:
    void Setting(std::uint32_t flag) {
        if (options_.operation != TO_NONE && options_.operation != TO_SETTINGS) {
            Usage::Exit();
        }
        if ((options_.settings & flag) != 0) {
            Usage::Exit();
        }
        options_.operation = TO_SETTINGS;
        options_.settings |= flag;
    }

    void Operation(TUNE_OPERATION operation) {
        if (options_.operation != TO_NONE) {
            Usage::Exit();
        }
        options_.operation = operation;
    }

    void OnOff(int& i, int last, const TuneSettingRow& row) {
        Setting(row.flag);
        const bool priority = row.flag == TS_REBUILD_PRIORITY;
        if (ParseKeywordSwitchArg(argv_, i, last, priority ? "low" : "on",
                                  priority ? "high" : "off") != 0) {
            options_.values |= row.flag;
        }
    }

    void ControllerAddress(int& i, int last) {
        Setting(TS_CONTROLLER_ADDRESS);
        const char* controller = GetSwitchValue(argv_, i, last);
        if (controller[0] != 'X' && controller[0] != 'Y') {
            Usage::Exit();
        }
        options_.addressController = controller[0] == 'X' ? 0 : 1;
        if (i + 1 >= last || !std::isdigit(static_cast<unsigned char>(argv_[i + 1][0]))) {
            Usage::Exit();
        }
        options_.address = ParseDecimalArg(argv_[++i]);
        if (options_.address > kHighestBusAddress && options_.address != kNoBusAddress) {
            ExitOutOfRange(PROG_DKTUNE);
        }
    }

    void Alias(int& i, int last) {
        Operation(TO_ALIAS);
        // The alias stands alone with the identifier: "-D alias [switch] array".
        if (i != 1 || (argc_ - 1 != 3 && argc_ - 1 != 4)) {
            Usage::Exit();
        }
        const std::string_view alias = GetSwitchValue(argv_, i, last);
        bool allowed = alias.size() <= kAliasChars;
        for (char c : alias) {
            allowed = allowed && AliasCharacter(c);
        }
        if (!allowed) {
            ExitWithProgramMessage(kPmBadAlias, PROG_DKTUNE, CLI_EXIT_USAGE);
        }
        options_.alias = alias;
    }

    void Switch(int& i, int last) {
        const char* argument = argv_[i];
        if (argument[0] != '-' || argument[1] == '\0') {
            ExitWithBadSwitch(argument, PROG_DKTUNE);
        }
        const char letter = argument[1];
        for (const TuneSettingRow& row : TuneSettingTable) {
            if (row.letter == letter) {
                OnOff(i, last, row);
                return;
            }
        }
        switch (letter) {
            case 'c': {
                Setting(TS_PRIMARY_CONTROLLER);
                options_.primaryController =
                    ParseKeywordSwitchArg(argv_, i, last, "x", "y") != 0 ? 0 : 1;
                break;
            }
            case 'C':
                ControllerAddress(i, last);
                break;
            case 't':
                Setting(TS_CAPACITY_THRESHOLD);
                options_.threshold = GetNumericSwitchArg(argv_, i, last);
                if (options_.threshold > kHighestThreshold) {
                    ExitOutOfRange(PROG_DKTUNE);
                }
                break;
            case 'q':
                Setting(TS_QUEUE_FULL);
                options_.queueFull = GetNumericSwitchArg(argv_, i, last);
                break;
            case 'n': {
                Setting(TS_LUN_LIMIT);
                const std::int32_t limit = GetNumericSwitchArg(argv_, i, last);
                if (limit <= 0 || (limit & (limit - 1)) != 0) {
                    ExitOutOfRange(PROG_DKTUNE);
                }
                while ((std::int32_t{1} << options_.lunLimitExponent) != limit) {
                    ++options_.lunLimitExponent;
                }
                break;
            }
            case 'l':
                CheckSwitchLength(argument, PROG_DKTUNE);
                Setting(TS_FLUSH_LOG);
                break;
            case 'L':
                CheckSwitchLength(argument, PROG_DKTUNE);
                Setting(TS_RETRY_LOG);
                break;
            case 'D':
                Alias(i, last);
                break;
            case 'J':
                Operation(TO_RESILIENCY);
                if (!ResiliencyMode(GetSwitchValue(argv_, i, last), options_)) {
                    Usage::Exit();
                }
                break;
            case 's':
                Operation(ParseKeywordSwitchArg(argv_, i, last, "shut", "start") != 0 ? TO_SHUTDOWN
                                                                                      : TO_RESTART);
                break;
            case 'R':
                CheckSwitchLength(argument, PROG_DKTUNE);
                Operation(TO_RESET);
                break;
            case 'Z':
                CheckSwitchLength(argument, PROG_DKTUNE);
                Operation(TO_DEFAULT_SCSI);
                break;
            case 'F':
                CheckSwitchLength(argument, PROG_DKTUNE);
                Operation(TO_FORCE_LOCK);
                break;
            case 'S':
                CheckSwitchLength(argument, PROG_DKTUNE);
                options_.raw = true;
                break;
            case 'V':
                CheckSwitchLength(argument, PROG_DKTUNE);
                options_.verbose = true;
                break;
            case 'E':
                options_.exitLevel = GetExitLevelSwitchArg(argv_, i, last, PROG_DKTUNE);
                break;
            default:
                ExitWithBadSwitch(argument, PROG_DKTUNE);
        }
    }

    int argc_;
    char** argv_;
    TuneOptions options_;
};

}  // namespace

TuneOptions ParseTuneArguments(int argc, char** argv) {
    return Parser(argc, argv).Parse();
}

void PrintTuneHelp() {
    PrintHelpItems(kTuneSet, kFirstHelpItem, kLastHelpItem);
}

}  // namespace dktune
