#include "netmgmt/agent/AgentPoll.h"

#include <memory>
#include <new>

#include "client/DiskArray.h"
#include "client/QEN.h"
#include "coresys/common/GrossStatus.h"
#include "coresys/common/PollMsg.h"
#include "netmgmt/agent/AgentReport.h"
#include "netmgmt/agent/AgentShared.h"
#include "netmgmt/agent/AgentTexts.h"
#include "netmgmt/agent/SubsystemStatus.h"
#include "platform/Clock.h"
#include "platform/Registry.h"

namespace oruagent {

namespace {

constexpr const char* kAgentKey = "SOFTWARE\\Verdanix\\Strovane\\ORUAgent\\CurrentVersion";
constexpr const char* kRemoteSupport = "EnableRemoteSupport";

// Numbers of the agent's reports (set 1).
constexpr int kTableBuilt = 1;
constexpr int kNoConnection = 4;
constexpr int kNoTable = 7;
constexpr int kNoSession = 8;
constexpr int kNoValidState = 9;
constexpr int kNoMib = 10;
constexpr int kNoSubsystem = 14;

// Poll status of an event reply the agent acts on.
constexpr std::uint32_t kEventStatus = 5;
// Poll status of a final reply.
constexpr std::uint32_t kFinalStatus = 1;

}  // namespace

AgentPoller::AgentPoller(AgentShared& shared)
    : shared_(shared), traps_(shared.catalog, shared.traps) {}

bool AgentPoller::RemoteSupport() {
    platform::RegistryKey key;
    std::uint32_t value = 0;
    return platform::RegistryKey::Open(platform::Hive::LOCAL_MACHINE, kAgentKey, &key).ok() &&
           key.ReadDword(kRemoteSupport, &value).ok() && value == 1;
}

void AgentPoller::Report(int type, int number, const std::string& tail) {
    ReportAgentEvent(static_cast<ReportType>(type), shared_.catalog.AgentText(number) + tail);
}

void AgentPoller::Run() {
    PollControl& control = shared_.control;
    if (control.Wait(PollTimes::kFirstRoundMs)) {
        const bool remote = RemoteSupport();
        while (!control.StopAsked()) {
            int answer = 0;
            {
                std::unique_ptr<QEN> qen;
                if (remote) {
                    qen = std::make_unique<QEN>(0);
                    qen->ScanforSubsystems(nullptr, 0, 1);
                } else {
                    qen = std::make_unique<QEN>(1);
                }
                answer = PollSubsystems(*qen);
                // The sessions go with the QEN, before any pause.
                table_.clear();
            }
            if (answer != 1 && !control.Wait(PollTimes::kRetryMs)) {
                break;
            }
        }
    }
    control.MarkEnded();
}

DiskArrayState* AgentPoller::WaitForState(DiskArray& array) {
    const CommandHandle request = array.GetState();
    if (request.sessionID == 0) {
        return nullptr;  // not sent: no reply can ever answer it
    }
    const std::uint64_t end =
        platform::MonotonicMs() + platform::ScaledMs(PollTimes::kStateLimitMs);
    while (!shared_.control.StopAsked()) {
        PollMsg* result = array.PollQEN();
        if (result == nullptr) {
            if (platform::MonotonicMs() >= end) {
                return nullptr;
            }
            // Ends as soon as the reply starts to arrive; the pause only
            // bounds how late a stop is seen.
            array.WaitForReply(PollTimes::kReplyPauseMs);
            continue;
        }
        if (result->kind == RMT_INVALID || result->status == SESS_CONNECTION_UNINITIALIZED) {
            return nullptr;
        }
        if (DiskArray::Answers(result, request) && result->status == kFinalStatus) {
            return result->kind == RMT_STATE_MSG ? array.GetStatePtr() : nullptr;
        }
        if (platform::MonotonicMs() >= end) {
            return nullptr;
        }
    }
    return nullptr;
}

bool AgentPoller::PublishRows() {
    try {
        for (const SubsystemRecord& record : table_) {
            if (record.row >= 0) {
                rows_[static_cast<std::size_t>(record.row)].status = record.status;
            }
        }
        shared_.mib.Publish(MibChain::Build(rows_));
    } catch (const std::bad_alloc&) {
        Report(kReportError, kNoMib);
        return false;
    }
    return true;
}

int AgentPoller::PollSubsystems(QEN& qen) {
    const ASL_STATUS list = qen.OruListStatus();
    if (list != ASL_GOOD) {
        Report(kReportError, kNoConnection, AslStatusName(list));
        return 0;
    }
    const unsigned short count = qen.NameArraySize();
    if (count == 0) {
        Report(kReportError, kNoSubsystem);
        return 0;
    }
    try {
        table_.assign(count, SubsystemRecord{});
        rows_.clear();
        rows_.reserve(count);
    } catch (const std::bad_alloc&) {
        Report(kReportError, kNoTable);
        return 0;
    }

    int sessions = 0;
    for (unsigned short i = 0; i < count && !shared_.control.StopAsked(); ++i) {
        SubsystemRecord& record = table_[i];
        record.subsystem = qen[i];
        record.array = record.subsystem != nullptr ? qen.Connect(record.subsystem) : nullptr;
        if (record.array == nullptr) {
            const std::string server =
                record.subsystem != nullptr ? record.subsystem->ServerName() : "";
            Report(kReportWarning, kNoConnection,
                   AgentTexts::kSeparator + server + SessionStatusName(qen.LastStatus()));
            continue;
        }
        ++sessions;
    }
    if (shared_.control.StopAsked()) {
        return 0;
    }
    if (sessions == 0) {
        Report(kReportError, kNoSession);
        return 0;
    }

    for (SubsystemRecord& record : table_) {
        if (record.array == nullptr || shared_.control.StopAsked()) {
            continue;
        }
        DiskArrayState* state = WaitForState(*record.array);
        record.status = state != nullptr ? SubsystemStatus(GrossStatus(*state)) : 1;
        if (state != nullptr && state->ValidStateData() == 1) {
            record.state = state;
            record.serial = std::string(state->SerialNumber());
            record.row = static_cast<int>(rows_.size());
            rows_.push_back(RowFromState(*state, record.status));
        }
    }
    if (shared_.control.StopAsked()) {
        return 0;
    }
    if (rows_.empty()) {
        Report(kReportError, kNoValidState);
        return 0;
    }
    if (!PublishRows()) {
        return 0;
    }
    Report(kReportInformation, kTableBuilt);
    // What changed since the sinks were last told: during the pause after
    // a trap, while the sessions were made again, or while the service was
    // out of reach.
    for (const SubsystemRecord& record : table_) {
        if (record.state != nullptr) {
            TrapStatusChange(record);
        }
    }

    while (!shared_.control.StopAsked()) {
        switch (PollEvents()) {
            case EventsOutcome::kPosted:
                if (!shared_.control.Wait(PollTimes::kAfterTrapMs)) {
                    return 0;
                }
                // What came during the pause makes its traps before the
                // sessions go.
                return PollEvents() == EventsOutcome::kLost ? 0 : 1;
            case EventsOutcome::kLost:
                return 0;
            case EventsOutcome::kNone:
                break;
        }
        shared_.control.Wait(PollTimes::kIdleMs);
    }
    return 0;
}

bool AgentPoller::TrapStatusChange(const SubsystemRecord& record) {
    const auto [told, first] = told_.try_emplace(record.serial, record.status);
    if (first || told->second == record.status) {
        return false;
    }
    if (!traps_.PostStatusChange(*record.state, record.status)) {
        return false;
    }
    told->second = record.status;
    return true;
}

bool AgentPoller::TakeEvents(SubsystemRecord& record, EventPollMsg& events, bool* noMib) {
    const std::int32_t status = SubsystemStatus(GrossStatus(*record.state));
    if (status != record.status) {
        record.status = status;
        if (!PublishRows()) {
            *noMib = true;
            return false;
        }
    }
    bool posted = false;
    for (unsigned short i = 0; i < events.EventCount() && !shared_.control.StopAsked(); ++i) {
        const Event* event = events[i];
        if (event != nullptr && traps_.EventToTrapText(*record.state, *event, status)) {
            // The trap carries the status as its specific code.
            told_[record.serial] = status;
            posted = true;
        }
    }
    // A change none of the events told (their texts make no trap, or are
    // suppressed) still reaches the sinks.
    return TrapStatusChange(record) || posted;
}

AgentPoller::EventsOutcome AgentPoller::PollEvents() {
    bool lost = false;
    bool posted = false;
    for (SubsystemRecord& record : table_) {
        if (record.array == nullptr) {
            continue;
        }
        for (PollMsg* result = record.array->PollQEN();
             result != nullptr && !shared_.control.StopAsked(); result = record.array->PollQEN()) {
            if (result->kind == RMT_INVALID) {
                // The service dropped the session: the subsystem has no state
                // until a round reads it again, and its next valid status is
                // trapped.
                record.array = nullptr;
                record.state = nullptr;
                record.status = 1;
                if (!record.serial.empty()) {
                    told_[record.serial] = 1;
                }
                if (!PublishRows()) {
                    return EventsOutcome::kLost;
                }
                lost = true;
                break;
            }
            auto* events = dynamic_cast<EventPollMsg*>(result);
            if (result->kind != RMT_EVENT_MSG || result->status != kEventStatus ||
                events == nullptr || record.state == nullptr) {
                continue;
            }
            bool noMib = false;
            posted = TakeEvents(record, *events, &noMib) || posted;
            if (noMib) {
                return EventsOutcome::kLost;
            }
        }
    }
    if (lost) {
        return EventsOutcome::kLost;
    }
    return posted ? EventsOutcome::kPosted : EventsOutcome::kNone;
}

}  // namespace oruagent
