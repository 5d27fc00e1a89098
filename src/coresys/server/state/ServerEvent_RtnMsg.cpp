#include "coresys/server/state/ServerEvent_RtnMsg.h"

#include <cstring>

#include "coresys/server/state/ServerDiskArrayState.h"

ServerEvent_RtnMsg::ServerEvent_RtnMsg() : Event_RtnMsg(nullptr, nullptr) {
    code = RMT_EVENT_MSG;
    length = kBareEventLength;
}

ServerEvent_RtnMsg::ServerEvent_RtnMsg(ServerDiskArrayState* boundState, OruServerState* server)
    : Event_RtnMsg(boundState, server) {
    code = RMT_EVENT_MSG;
    length = kBareEventLength;
    if (boundState != nullptr) {
        const char* id = boundState->Monitor().BackplaneId();
        if (id != nullptr) {
            SetFieldText(serialNumber_, std::string_view(id, strnlen(id, 12)));
        }
    }
}

Event* ServerEvent_RtnMsg::AppendEvent(EVENT_MAJOR_TYPE major, std::uint32_t minor,
                                       std::uint32_t data1, std::uint32_t data2) {
    Event* event = new Event();
    event->majorType = major;
    event->minorType = minor;
    event->data1 = data1;
    event->data2 = data2;
    // The piece's size depends on what it carries (a LUN event carries all
    // eight LUN records); coding it once is the one exact measure.
    CodedBuff scratch;
    scratch.Setup(version);
    event->EncodePiece(scratch, state, serverState);
    length += Event::kWireSize + scratch.position;
    CodedBuff::FreeData(scratch.TakeData());
    events.Append(event);
    return event;
}

std::uint32_t ServerEvent_RtnMsg::AddHardwareDifferences(const Hardware& old,
                                                         const Hardware& fresh) {
    std::uint32_t added = 0;
    auto compare = [&](const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b,
                       EVENT_MINOR_HW_TYPE minor) {
        for (std::uint32_t i = 0; i < a.size(); ++i) {
            if (i >= b.size() || a[i] != b[i]) {
                AppendEvent(HW, minor, i, 0);
                ++added;
            }
        }
    };
    compare(old.values1, fresh.values1, HW_LIST1);
    compare(old.values2, fresh.values2, HW_LIST2);
    return added;
}
