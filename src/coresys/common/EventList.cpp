#include "coresys/common/EventList.h"

#include <new>

#include "coresys/common/WireWords.h"

void EventList::Append(Event* event) {
    if (event == nullptr) {
        return;
    }
    event->next = nullptr;
    if (tail == nullptr) {
        head = event;
    } else {
        tail->next = event;
    }
    tail = event;
    ++count;
}

void EventList::EncodeWithPieces(CodedBuff& buff, DiskArrayState* state,
                                 OruServerState* server) const {
    WireWords::EncodeVal(buff, count);
    for (Event* e = head; e != nullptr; e = e->next) {
        e->Encode(buff);
        e->EncodePiece(buff, state, server);
    }
}

bool EventList::DecodeAndApply(CodedBuff& buff, DiskArrayState& state, OruServerState& server) {
    Clear();
    const std::uint32_t announced = WireWords::Read(buff);
    if (buff.Failed()) {
        return false;
    }
    if (!buff.CanHold(announced, Event::kWireSize)) {
        buff.Fail();
        return false;
    }
    for (std::uint32_t i = 0; i < announced; ++i) {
        auto* event = new (std::nothrow) Event();
        if (event == nullptr) {
            buff.Fail();
            return false;
        }
        event->Decode(buff);
        if (buff.Failed()) {
            delete event;
            return false;
        }
        Append(event);
        if (!event->ApplyPiece(buff, state, server)) {
            return false;
        }
    }
    return true;
}

Event* EventList::operator[](unsigned short i) const {
    Event* e = head;
    for (unsigned short k = 0; e != nullptr && k < i; ++k) {
        e = e->next;
    }
    return e;
}

Event* EventList::TakeHead() {
    Event* first = head;
    head = nullptr;
    tail = nullptr;
    count = 0;
    return first;
}

void EventList::DeleteChain(Event* first) {
    while (first != nullptr) {
        Event* next = first->next;
        delete first;
        first = next;
    }
}

void EventList::Clear() {
    DeleteChain(TakeHead());
}
