#include "tools/trail/ServerLogRefresh.h"

#include "catalog/StringCatalog.h"
#include "cli/common/CommandWait.h"
#include "cli/common/ReplyPoll.h"
#include "client/DiskArray.h"
#include "client/OruSubsystem.h"
#include "client/QEN.h"
#include "coresys/common/ORU_ReturnMsg.h"
#include "coresys/common/PollMsg.h"
#include "tools/trail/TrailOutput.h"
#include "tools/trail/TrailTexts.h"

namespace trail {

namespace {

constexpr std::uint64_t kSilenceMs = 2000;
constexpr int kSilenceSeconds = static_cast<int>(kSilenceMs / 1000);
// ReadControllerLog: no buffer back, the controller's event log, read by
// the subsystem's monitor (which writes one log record per entry).
constexpr std::uint32_t kNoBuffer = 0;
constexpr std::uint32_t kEventLog = 1;
constexpr int kThroughMonitor = 1;
constexpr std::size_t kSerialBytes = 13;

// The serial comes from the service: only its printable characters go to
// the terminal.
void Say(StringCatalog& catalog, TrailOutput& stream, int number, const OruSubsystem* subsystem) {
    const std::string serial =
        subsystem != nullptr ? PrintableText(subsystem->SerialNumber(), kSerialBytes) : "";
    stream.Put(catalog.GetStringCommonBuf(kTrailSet, number, serial.c_str()));
    stream.Put('\n');
}

}  // namespace

const PollMsg* AwaitCommandCompletion(DiskArray* array, const CommandHandle& handle) {
    if (array == nullptr) {
        return nullptr;
    }
    CommandWait wait(handle, CommandWait::Countdown{kSilenceMs});
    return PollForFinalMessage(*array, wait, [](const PollMsg&) {});
}

void RefreshServerLog(StringCatalog& catalog, TrailOutput& out, TrailOutput& err) {
    // The log on disk is printed whatever the service does: every exchange
    // with it, the list and the session set-up included, gives up after the
    // same 2 s of silence as the wait for a reply.
    QEN qen(0);
    qen.SetBudgetSeconds(kSilenceSeconds);
    qen.ScanforSubsystems(nullptr, 0, 0);
    const unsigned short count = qen.NameArraySize();
    for (unsigned short i = 0; i < count; ++i) {
        OruSubsystem* subsystem = qen[i];
        DiskArray* array = subsystem != nullptr ? qen.Connect(subsystem) : nullptr;
        if (array == nullptr) {
            Say(catalog, err, T_REFRESH_NO_ARRAY, subsystem);
            continue;
        }
        const CommandHandle handle =
            array->ReadControllerLog(kNoBuffer, kEventLog, kThroughMonitor);
        const PollMsg* result = AwaitCommandCompletion(array, handle);
        if (result != nullptr && result->kind != RMT_BUFFER_MSG) {
            Say(catalog, err, T_REFRESH_NOT_COPIED, subsystem);
        }
        qen.DisConnect(array);
    }
    for (unsigned short i = 0; i < count; ++i) {
        OruSubsystem* subsystem = qen[i];
        DiskArray* array = subsystem != nullptr ? qen.Connect(subsystem) : nullptr;
        if (array == nullptr) {
            continue;
        }
        const PollMsg* result = AwaitCommandCompletion(array, array->FlushServerLog());
        const bool flushed = result != nullptr && result->kind == RMT_OKSTATUS_MSG;
        // An array that got no answer goes too: nothing more is asked of it.
        qen.DisConnect(array);
        if (flushed) {
            return;
        }
    }
    out.Put(catalog.GetStringCommonBuf(kTrailSet, T_REFRESH_NOT_FLUSHED));
    out.Put('\n');
}

}  // namespace trail
