#include <iostream>

#include "cli/common/CliConfig.h"
#include "cli/common/ExitCodes.h"
#include "cli/common/ProgramMessages.h"
#include "cli/common/SwitchParsers.h"
#include "cli/dkmend/Dkmend.h"

namespace dkmend {

namespace {

class Parser {
  public:
    Parser(int argc, char** argv) : argc_(argc), argv_(argv), last_(argc - 1) {}

    MendOptions Parse() {
        options_.arrayId = CommandLineFrame(argc_, argv_, 2, PrintMendHelp);
        for (int i = 1; i < last_; ++i) {
            Switch(i);
        }
        if (options_.operation == MO_NONE) {
            Usage::Exit();
        }
        return options_;
    }

  private:
    void Setting(MEND_SETTING setting) {
        if ((options_.operation != MO_NONE && options_.operation != MO_SETTINGS) ||
            (options_.settings & setting) != 0) {
            Usage::Exit();
        }
        options_.operation = MO_SETTINGS;
        options_.settings |= setting;
    }

    void Operation(const char* argument, MEND_OPERATION operation) {
        CheckSwitchLength(argument, PROG_DKMEND);
        if (options_.operation != MO_NONE) {
            Usage::Exit();
        }
        options_.operation = operation;
    }

    void Switch(int& i) {
        const char* argument = argv_[i];
        if (argument[0] != '-' || argument[1] == '\0') {
            ExitWithBadSwitch(argument, PROG_DKMEND);
        }
        switch (argument[1]) {
            case 'a':
                Setting(MS_AUTO_REBUILD);
                options_.autoRebuild = ParseKeywordSwitchArg(argv_, i, last_, "on", "off");
                break;
            case 'P':
                Setting(MS_PRIORITY);
                options_.priority = ParseKeywordSwitchArg(argv_, i, last_, "low", "high");
                break;
            case 'r':
                Operation(argument, MO_START);
                break;
            case 'c':
                Operation(argument, MO_STOP);
                break;
            case 'p':
                Operation(argument, MO_PROGRESS);
                break;
            case 'S':
                CheckSwitchLength(argument, PROG_DKMEND);
                options_.raw = true;
                break;
            case 'V':
                CheckSwitchLength(argument, PROG_DKMEND);
                options_.verbose = true;
                break;
            case 'E':
                options_.exitLevel = GetExitLevelSwitchArg(argv_, i, last_, PROG_DKMEND);
                break;
            default:
                ExitWithBadSwitch(argument, PROG_DKMEND);
        }
    }

    int argc_;
    char** argv_;
    int last_;
    MendOptions options_;
};

}  // namespace

MendOptions ParseMendArguments(int argc, char** argv) {
    return Parser(argc, argv).Parse();
}

void PrintMendHelp() {
    PrintHelpItems(kMendSet, kFirstHelpItem, kLastHelpItem, "   ");
}

}  // namespace dkmend
