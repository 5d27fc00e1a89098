#include <cctype>
#include <cstring>
#include <iostream>

#include "cli/common/CliConfig.h"
#include "cli/common/ExitCodes.h"
#include "cli/common/ProgramMessages.h"
#include "cli/common/SwitchParsers.h"
#include "cli/dklayout/Dklayout.h"

namespace dklayout {

namespace {

constexpr double kLargestValue = 2147483647.0;
constexpr double kMegabytesPerGigabyte = 1024.0;
constexpr double kKilobytesPerMegabyte = 1024.0;

bool Starts(const char* argument, char letter) {
    return argument[0] == '-' && argument[1] == letter;
}

void Message(int messageIndex, int programIndex) {
    PrintProgramMessage(messageIndex, programIndex, std::cerr);
}

class Parser {
  public:
    Parser(int argc, char** argv) : argc_(argc), argv_(argv), last_(argc - 1) {}

    LayoutOptions Parse() {
        options_.arrayId = CommandLineFrame(argc_, argv_, 3, PrintLayoutHelp);
        Targets();
        for (int i = 1; i < last_; ++i) {
            Switch(i);
        }
        Check();
        return options_;
    }

  private:
    // The first pass: the one unit or drive the line is about.
    void Targets() {
        for (int i = 1; i < last_; ++i) {
            const char* argument = argv_[i];
            if (!Starts(argument, 'L') && !Starts(argument, 'D')) {
                continue;
            }
            if (options_.target != LT_NONE) {
                Usage::Exit();
            }
            if (argument[1] == 'L') {
                options_.target = LT_UNIT;
                options_.unit = GetNumericSwitchArg(argv_, i, last_);
            } else {
                options_.target = LT_DRIVE;
                options_.slot = ParseSlotSwitchArg(argv_, i, last_, PROG_DKLAYOUT);
            }
        }
        if (options_.target == LT_NONE) {
            Usage::Exit();
        }
    }

    void Action(LAYOUT_ACTION action) {
        options_.actions |= action;
        ++actionCount_;
    }

    void Capacity(int& i) {
        const char* text = GetSwitchValue(argv_, i, last_);
        switch (ParseCapacity(text, options_.capacity)) {
            case CapacityError::NONE:
                return;
            case CapacityError::NOT_A_NUMBER:
                Message(PM_NOT_A_NUMBER, PROG_NONE);
                std::cerr << " \"" << text << "\"\n";
                break;
            case CapacityError::UNIT_LETTER:
                Message(kPmCapacityUnit, PROG_DKLAYOUT);
                std::cerr << " \"" << text[std::strlen(text) - 1] << "\"\n";
                break;
            case CapacityError::TOO_LARGE:
                Message(PM_OUT_OF_RANGE, PROG_DKLAYOUT);
                std::cerr << '\n';
                break;
            case CapacityError::ZERO:
                Message(kPmZeroCapacity, PROG_DKLAYOUT);
                std::cerr << '\n';
                break;
        }
        Usage::Exit();
    }

    void Switch(int& i) {
        const char* argument = argv_[i];
        if (argument[0] != '-' || argument[1] == '\0') {
            ExitWithBadSwitch(argument, PROG_DKLAYOUT);
        }
        switch (argument[1]) {
            case 'L':
            case 'D':
                // Read by the first pass; only its value is stepped over.
                GetSwitchValue(argv_, i, last_);
                break;
            case 'a':
                if (options_.target == LT_DRIVE) {
                    CheckSwitchLength(argument, PROG_DKLAYOUT);
                } else {
                    Capacity(i);
                }
                Action(LA_ADD);
                break;
            case 'd':
                CheckSwitchLength(argument, PROG_DKLAYOUT);
                Action(LA_DELETE);
                break;
            case 'r':
                options_.newUnit = GetNumericSwitchArg(argv_, i, last_);
                Action(LA_RENUMBER);
                break;
            case 'v':
                CheckSwitchLength(argument, PROG_DKLAYOUT);
                if (options_.target != LT_DRIVE || options_.validate == 0) {
                    Usage::Exit();
                }
                options_.validate = 0;
                break;
            case 'R':
            case 'Z':
                CheckSwitchLength(argument, PROG_DKLAYOUT);
                if (options_.allowance != 0) {
                    Usage::Exit();
                }
                options_.allowance = argument[1] == 'R' ? 1 : 2;
                break;
            case 'S':
                CheckSwitchLength(argument, PROG_DKLAYOUT);
                options_.raw = true;
                break;
            case 'V':
                CheckSwitchLength(argument, PROG_DKLAYOUT);
                options_.verbose = true;
                break;
            case 'E':
                options_.exitLevel = GetExitLevelSwitchArg(argv_, i, last_, PROG_DKLAYOUT);
                break;
            default:
                ExitWithBadSwitch(argument, PROG_DKLAYOUT);
        }
    }

    // A unit takes exactly one of -a, -d, -r and no allowance; a drive
    // exactly one of -a (without an allowance) and -d.
    void Check() const {
        bool accepted = actionCount_ == 1;
        if (options_.target == LT_UNIT) {
            accepted = accepted && options_.allowance == 0;
        } else {
            accepted = accepted && options_.actions != LA_RENUMBER &&
                       !(options_.actions == LA_ADD && options_.allowance != 0);
        }
        if (!accepted) {
            Usage::Exit();
        }
    }

    int argc_;
    char** argv_;
    int last_;
    int actionCount_ = 0;
    LayoutOptions options_;
};

}  // namespace

CapacityError ParseCapacity(std::string_view text, std::int32_t& halfMegabytes) {
    double scale = 1.0;
    if (!text.empty() && std::isalpha(static_cast<unsigned char>(text.back())) != 0) {
        switch (text.back()) {
            case 'G':
                scale = kMegabytesPerGigabyte;
                break;
            case 'K':
                scale = 1.0 / kKilobytesPerMegabyte;
                break;
            default:
                return CapacityError::UNIT_LETTER;
        }
        text.remove_suffix(1);
    }
    double value = 0.0;
    if (text.empty() || !ParseRealText(text, value)) {
        return CapacityError::NOT_A_NUMBER;
    }
    const double megabytes = value * scale;
    // Half megabytes travel as a signed 32-bit number.
    if (megabytes > kLargestValue || megabytes * 2 > kLargestValue) {
        return CapacityError::TOO_LARGE;
    }
    halfMegabytes = static_cast<std::int32_t>(megabytes * 2);
    return halfMegabytes == 0 ? CapacityError::ZERO : CapacityError::NONE;
}

LayoutOptions ParseLayoutArguments(int argc, char** argv) {
    return Parser(argc, argv).Parse();
}

void PrintLayoutHelp() {
    PrintHelpItems(kLayoutSet, kUsageItems);
    PrintHelpItems(kLayoutSet, kFirstHelpItem, kLastHelpItem);
}

}  // namespace dklayout
