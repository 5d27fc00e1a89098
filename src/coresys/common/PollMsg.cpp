#include "coresys/common/PollMsg.h"

#include <utility>

EventPollMsg::EventPollMsg(Event_RtnMsg& reply)
    : PollMsg(reply), count(reply.events.Count()), events(reply.events.TakeHead()) {}

EventPollMsg::~EventPollMsg() {
    EventList::DeleteChain(events);
}

Event* EventPollMsg::operator[](unsigned short i) const {
    Event* event = events;
    for (unsigned short n = 0; event != nullptr && n < i; ++n) {
        event = event->next;
    }
    return event;
}

namespace {

// Decodes the whole reply with its own class and builds the poll result.
template <typename Reply, typename Result>
std::unique_ptr<PollMsg> Build(Reply& reply, unsigned char* data, std::uint32_t length) {
    if (!reply.DecodeMsg(data, length)) {
        return nullptr;
    }
    return std::make_unique<Result>(reply);
}

}  // namespace

std::unique_ptr<PollMsg> PollMsg::FromReply(unsigned char* data, std::uint32_t length,
                                            DiskArrayState& state, OruServerState& server,
                                            OruSubsystem* from) {
    ORU_ReturnMsg scratch;
    if (!scratch.DecodeMsg(data, length)) {
        return nullptr;
    }
    switch (scratch.code) {
        case RMT_OKSTATUS_MSG: {
            OkStatus_RtnMsg reply;
            return Build<OkStatus_RtnMsg, PollMsg>(reply, data, length);
        }
        case RMT_ERRORSTATUS_MSG:
        case RMT_ORUERRORSTATUS_MSG: {
            OruErrStatus_RtnMsg reply(scratch.code);
            reply.subsystem = from;
            return Build<OruErrStatus_RtnMsg, ErrorPollMsg>(reply, data, length);
        }
        case RMT_EVENT_MSG: {
            Event_RtnMsg reply(&state, &server);
            return Build<Event_RtnMsg, EventPollMsg>(reply, data, length);
        }
        case RMT_STATE_MSG: {
            State_RtnMsg reply(&state, &server);
            return Build<State_RtnMsg, StatePollMsg>(reply, data, length);
        }
        case RMT_VALUESTATUS_MSG: {
            ValueStatus_RtnMsg reply;
            return Build<ValueStatus_RtnMsg, ValuePollMsg>(reply, data, length);
        }
        case RMT_PERFMETRICS_MSG: {
            PerfMetrics_RtnMsg reply;
            return Build<PerfMetrics_RtnMsg, PerfMetricsPollMsg>(reply, data, length);
        }
        case RMT_PERFRECS_MSG: {
            PerfRecs_RtnMsg reply;
            return Build<PerfRecs_RtnMsg, PerfRecsPollMsg>(reply, data, length);
        }
        case RMT_BUFFER_MSG: {
            Buffer_RtnMsg reply;
            return Build<Buffer_RtnMsg, BufferPollMsg>(reply, data, length);
        }
        case RMT_GROSSSTATUS_MSG: {
            GrossStatus_ReturnMsg reply;
            reply.subsystem = from;
            return Build<GrossStatus_ReturnMsg, GrossStatusPollMsg>(reply, data, length);
        }
        default:
            // A kind this release does not know gives no poll result.
            return nullptr;
    }
}
