#include <cstdlib>
#include <cstring>
#include <iostream>

#include "cli/common/CliConfig.h"
#include "cli/common/ExitCodes.h"
#include "cli/common/ProgramMessages.h"
#include "cli/common/SwitchParsers.h"
#include "cli/dkjournal/Dkjournal.h"
#include "cli/dkjournal/JournalLogs.h"

namespace dkjournal {

namespace {

constexpr int kSlotRangeItem = 6;
constexpr int kPageNeedsDriveItem = 22;
// A log page code is six bits.
constexpr std::int32_t kLastPage = 63;

[[noreturn]] void Fail(int item) {
    std::cout.flush();
    std::cerr << CliText(kMessageSet, item) << '\n';
    std::exit(CLI_EXIT_USAGE);
}

class Parser {
  public:
    Parser(int argc, char** argv) : argc_(argc), argv_(argv), last_(argc - 1) {}

    JournalOptions Parse() {
        options_.arrayId = CommandLineFrame(argc_, argv_, 2, PrintJournalHelp);
        for (int i = 1; i < last_; ++i) {
            Switch(i);
        }
        if (options_.options == 0) {
            Usage::Exit();
        }
        return options_;
    }

  private:
    void Option(JOURNAL_OPTION option) {
        if ((options_.options & option) != 0) {
            Usage::Exit();
        }
        options_.options |= option;
        // The drive logs and the clearing of a drive's pages exclude each other.
        if ((options_.options & JO_DRIVE_LOGS) != 0 && (options_.options & JO_CLEAR_DRIVE) != 0) {
            Usage::Exit();
        }
    }

    std::int32_t Slot(int& i) {
        const std::int32_t slot = ParseDriveIdSwitchArg(argv_, i, last_);
        if (!IsDriveSlot(slot)) {
            Fail(kSlotRangeItem);
        }
        return slot;
    }

    void Exact(const char* argument) {
        if (std::strlen(argument) != 2) {
            Usage::Exit();
        }
    }

    void Switch(int& i) {
        const char* argument = argv_[i];
        if (argument[0] != '-' || argument[1] == '\0') {
            Usage::Exit();
        }
        switch (argument[1]) {
            case 'e':
                Exact(argument);
                Option(JO_ERROR_LOG);
                break;
            case 'u':
                Exact(argument);
                Option(JO_USAGE_LOG);
                break;
            case 'd':
                Option(JO_DRIVE_LOGS);
                options_.driveSlot = Slot(i);
                break;
            case 'C': {
                Exact(argument);
                if (i + 1 >= last_) {
                    Usage::Exit();
                }
                const char* what = argv_[++i];
                if (std::strcmp(what, "-c") == 0) {
                    Option(JO_CLEAR_LOG);
                } else if (std::strncmp(what, "-d", 2) == 0) {
                    Option(JO_CLEAR_DRIVE);
                    options_.clearSlot = Slot(i);
                } else {
                    Usage::Exit();
                }
                break;
            }
            case 'p':
                if ((options_.options & JO_DRIVE_LOGS) == 0) {
                    Fail(kPageNeedsDriveItem);
                }
                Option(JO_ONE_PAGE);
                options_.page = GetNumericSwitchArg(argv_, i, last_);
                if (options_.page > kLastPage) {
                    ExitOutOfRange(PROG_DKJOURNAL);
                }
                break;
            case 'E':
                options_.exitLevel = GetExitLevelSwitchArg(argv_, i, last_, PROG_DKJOURNAL);
                break;
            default:
                Usage::Exit();
        }
    }

    int argc_;
    char** argv_;
    int last_;
    JournalOptions options_;
};

}  // namespace

JournalOptions ParseJournalArguments(int argc, char** argv) {
    return Parser(argc, argv).Parse();
}

void PrintJournalHelp() {
    std::cout << '\n';
    PrintHelpItems(kReportSet, kFirstHelpItem, kLastHelpItem);
}

}  // namespace dkjournal
