#include "tools/recover/RecoveryModes.h"

#include "cli/common/CliConfig.h"
#include "tools/recover/SalvageTexts.h"

namespace salvage {

namespace {

void Texts(std::ostream& out, int first, int last) {
    for (int item = first; item <= last; ++item) {
        out << CliText(kMessageSet, item) << '\n';
    }
}

void Say(std::ostream& stream, int item, const std::string& arrayId) {
    stream << CliText(kMessageSet, item, arrayId.c_str()) << '\n';
}

[[noreturn]] void Unreadable(SalvageRun& run) {
    Say(run.console.err, M_NOT_READABLE, run.options.arrayId);
    ExitSalvage(SALVAGE_EXIT_FAILED);
}

// Follows the work to its end; a poll that lost the array or saw no
// progress for too long ends the run.
void FollowProgress(SalvageRun& run, RecoveryArray& array, bool lostIsFailure) {
    const RecoveryArray::PollResult result = array.ProgressPoll();
    if (result == RecoveryArray::PollResult::kFailed && lostIsFailure) {
        Unreadable(run);
    }
    run.console.out << '\n';
    if (result == RecoveryArray::PollResult::kStalled) {
        run.console.err << CliText(kMessageSet, M_PROGRESS_STALLED, run.options.arrayId.c_str(),
                                   static_cast<unsigned>(RecoveryArray::kStallPolls *
                                                         RecoveryArray::kPollWaitMs / 60000))
                        << '\n';
        ExitSalvage(SALVAGE_EXIT_FAILED);
    }
    if (array.Refresh() == 0) {
        Unreadable(run);
    }
}

}  // namespace

int Recover(SalvageRun& run, RecoveryArray& array) {
    run.Enter("Recover", SalvageTrace::kRecover);
    RecoveryOptions& options = run.options;
    std::ostream& out = run.console.out;
    std::ostream& err = run.console.err;
    bool shown = false;
    bool advised = false;
    auto show = [&] {
        if (!shown) {
            array.StateDisplay();
            array.StatusReport();
            array.LogCount(true);
            shown = true;
        }
    };

    if (!array.WorkWanted() && options.mode != PARITY_SCAN_ONLY) {
        array.StatusReport();
        run.ExitUnlessOverride(SALVAGE_EXIT_OK);
    }
    const bool severe = array.Severe();
    if (severe) {
        show();
        Texts(out, M_SEVERE_FIRST, M_SEVERE_LAST);
        Texts(out, M_ADVICE_FIRST, M_ADVICE_LAST);
        advised = true;
        run.ExitUnlessOverride(SALVAGE_EXIT_FAILED);
    }
    if (array.ScanWanted()) {
        show();
        Texts(out, M_SCAN_FIRST, M_SCAN_LAST);
        if (!severe) {
            Texts(out, M_ADVICE_FIRST, M_ADVICE_LAST);
            advised = true;
        }
    }
    if (array.Other() && !severe) {
        show();
        Texts(out, M_OTHER_FIRST, M_OTHER_LAST);
        if (!advised) {
            Texts(out, M_ADVICE_FIRST, M_ADVICE_LAST);
        }
    }
    if (array.Flag(RecoveryArray::F113)) {
        Texts(out, M_STOPPED_FIRST, M_STOPPED_LAST);
        run.ExitUnlessOverride(SALVAGE_EXIT_FAILED);
    }
    // What was shown asks for a choice by the user.
    if (options.mode != MODE_INTERACTIVE &&
        (array.Flag(RecoveryArray::F113) || severe || (shown && !options.override))) {
        options.mode = MODE_INTERACTIVE;
        out << CliText(kListSet, L_NOW_INTERACTIVE) << '\n';
    }
    if (options.mode == VOL_SET_SPECIFIED) {
        array.SelectVolumeSetId(options.volumeSetId);
    }

    switch (options.mode) {
        case MODE_INTERACTIVE:
            switch (array.RunMenu()) {
                case RecoveryArray::MenuResult::kQuit:
                    ExitSalvage(SALVAGE_EXIT_OK);
                case RecoveryArray::MenuResult::kEndOfInput:
                    // Nobody is there to choose: nothing is sent.
                    Say(err, M_NO_CHOICE, options.arrayId);
                    ExitSalvage(SALVAGE_EXIT_FAILED);
                case RecoveryArray::MenuResult::kChosen:
                    break;
            }
            break;
        case VOL_SET_SPECIFIED:
            if (!array.KnownId()) {
                err << CliText(kMessageSet, M_UNKNOWN_ID, options.volumeSetId) << '\n';
                array.VolumeSetList(false);
                run.ExitUnlessOverride(SALVAGE_EXIT_FAILED);
            }
            break;
        default:  // DEFAULT_VOL_SET, PARITY_SCAN_ONLY
            if (array.SeveralSets()) {
                Say(err, M_SEVERAL_SETS, options.arrayId);
                array.VolumeSetList(false);
                run.ExitUnlessOverride(SALVAGE_EXIT_USAGE);
            }
            array.UseDefaultVolumeSet();
            break;
    }
    if (!array.ValidChoice()) {
        err << CliText(kMessageSet, M_CHOICE_NOT_VALID) << '\n';
        run.ExitUnlessOverride(SALVAGE_EXIT_FAILED);
    }

    if (!array.SendVolumeSetId()) {
        if (array.Refresh() != 0) {
            array.StateDisplay();
            array.StatusReport();
            array.LogCount(true);
        }
        return 0;
    }
    if (array.Refresh() == 0) {
        Unreadable(run);
    }
    if (options.pollCycle) {
        FollowProgress(run, array, false);
    }
    if (array.ScanWanted() || array.Severe() || array.Other()) {
        array.StateDisplay();
        array.StatusReport();
    }
    return 1;
}

int RecoveryStatus(SalvageRun& run, RecoveryArray& array) {
    run.Enter("RecoveryStatus", SalvageTrace::kRecoveryStatus);
    array.StateDisplay();
    array.StatusReport();
    if (array.InProgress() || array.ScanWanted() || array.WorkWanted() || run.options.override) {
        if (!array.LogCount(true)) {
            Say(run.console.err, M_LOG_FAILED, run.options.arrayId);
            ExitSalvage(SALVAGE_EXIT_FAILED);
        }
        if (run.options.pollCycle) {
            FollowProgress(run, array, true);
            array.StatusReport();
        }
    }
    return 1;
}

int DumpLogs(SalvageRun& run, RecoveryArray& array) {
    run.Enter("DumpLogs", SalvageTrace::kDumpLogsFunction);
    if (!array.LogCount(false)) {
        Say(run.console.err, M_LOG_FAILED, run.options.arrayId);
        ExitSalvage(SALVAGE_EXIT_FAILED);
    }
    if (run.options.clearLog) {
        // The second read consumes what the controller hands over: entries
        // logged after the first read are cleared unseen, a narrow window.
        if (!array.ReadLog(1)) {
            Say(run.console.err, M_LOG_FAILED, run.options.arrayId);
            ExitSalvage(SALVAGE_EXIT_FAILED);
        }
        Say(run.console.out, M_LOG_CLEARED, run.options.arrayId);
    }
    return 1;
}

}  // namespace salvage
