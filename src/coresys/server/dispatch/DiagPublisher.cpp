#include "coresys/server/dispatch/DiagPublisher.h"

#include "coresys/common/DiagCommandResults.h"
#include "coresys/common/EventTypes.h"
#include "coresys/server/diag/DriveTestRecord.h"
#include "coresys/server/events/ServerEventReport.h"
#include "coresys/server/monitor/OruLite.h"

namespace {

// Outcome values of an ending test's result event.
constexpr std::uint32_t kOutcomeFailed = 0;
constexpr std::uint32_t kOutcomeFinished = 1;
constexpr std::uint32_t kOutcomeCancelled = 2;

bool Ending(std::uint32_t state) {
    return state == DriveTestRecord::kStateNotStarted || state == DriveTestRecord::kStateFinished ||
           state == DriveTestRecord::kStateFinishedWithErrors ||
           state == DriveTestRecord::kStateCancelled;
}

std::uint32_t Outcome(std::uint32_t state) {
    switch (state) {
        case DriveTestRecord::kStateFinished:
            return kOutcomeFinished;
        case DriveTestRecord::kStateCancelled:
            return kOutcomeCancelled;
        default:
            return kOutcomeFailed;
    }
}

EVENT_MINOR_CRES_TYPE ResultMinor(MESSAGE_CODE code) {
    return code == MC_VerifyPhysicalDrive ? CRES_VERIFY_RESULT : CRES_TEST_RESULT;
}

EVENT_MINOR_CPRG_TYPE ProgressMinor(MESSAGE_CODE code) {
    return code == MC_VerifyPhysicalDrive ? CPRG_VERIFY_PROGRESS : CPRG_TEST_PROGRESS;
}

bool IsDriveTest(MESSAGE_CODE code) {
    return code == MC_TestPhysicalDrive || code == MC_VerifyPhysicalDrive;
}

}  // namespace

void DiagPublisher::ClearBookkeeping(std::uint32_t slot) {
    subsystem_.commandsInProgress.RemoveDriveElement(static_cast<unsigned char>(slot));
    // Every drive-test result of the slot goes, of either kind: a result
    // left behind would show an old test as the slot's last.
    CommandResultsArray& results = subsystem_.commandResults;
    for (unsigned short i = results.Size(); i > 0; --i) {
        const auto* diag =
            dynamic_cast<const DiagCommandResults*>(results[static_cast<unsigned short>(i - 1)]);
        if (diag != nullptr && diag->drive == slot) {
            const DiagCommandResults copy = *diag;
            results.RemoveElement(copy);
        }
    }
}

void DiagPublisher::PublishProgress(const CommandHandle& handle, MESSAGE_CODE code,
                                    std::uint32_t slot, bool started) {
    DriveTestRecord& record = subsystem_.DriveSlot(slot);
    const std::uint32_t percent = record.PercentDone();
    const CommandInProgress entry(handle, code, slot, kProgressAux1, percent);
    CommandInProgressArray& running = subsystem_.commandsInProgress;
    const CommandInProgress* before = running.IsMember(entry);
    // A test that reached 100 percent and went from the list has nothing
    // new to tell when its last step reports 100 again.
    const bool changed = before != nullptr ? before->aux2 != percent
                                           : started || percent < DriveTestRecord::kMaxPercent;
    if (percent >= DriveTestRecord::kMaxPercent || !record.DiagnosticRunning()) {
        running.RemoveElement(entry);
    } else {
        running.AddElement(entry);
    }
    if (!changed) {
        return;
    }
    ServerEventReport report(subsystem_.CurrentState(), &subsystem_);
    if (started) {
        const DiagCommandResults result = record.Snapshot(code);
        subsystem_.commandResults.AddElement(result);
        report.AddEvent(CRES, ResultMinor(code), slot,
                        record.StateOf(DriveTestRecord::KindOf(code)));
    }
    report.AddEvent(CPRG, ProgressMinor(code), slot, percent);
    report.SendEvents();
}

void DiagPublisher::PublishResult(MESSAGE_CODE code, std::uint32_t slot) {
    DriveTestRecord& record = subsystem_.DriveSlot(slot);
    const std::uint32_t state = record.StateOf(DriveTestRecord::KindOf(code));
    const DiagCommandResults result = record.Snapshot(code);
    subsystem_.commandResults.AddElement(result);
    if (!Ending(state)) {
        return;
    }
    // The event log tells how many chunks failed and where the first lies.
    ServerEventReport::Detail failures;
    failures.failedChunks = static_cast<std::uint32_t>(result.FailedChunks().size());
    failures.firstFailedBlock = result.FirstFailedBlock();
    record.ClearTest();
    CommandInProgressArray& running = subsystem_.commandsInProgress;
    for (unsigned short i = running.Size(); i > 0; --i) {
        const CommandInProgress* entry = running[static_cast<unsigned short>(i - 1)];
        if (entry != nullptr && entry->drive == slot && IsDriveTest(entry->code)) {
            const CommandInProgress copy = *entry;
            running.RemoveElement(copy);
        }
    }
    ServerEventReport report(subsystem_.CurrentState(), &subsystem_);
    report.AddEvent(CRES, ResultMinor(code), slot, Outcome(state), failures);
    report.SendEvents();
}
