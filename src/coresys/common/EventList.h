// The events of one event reply, in arrival order, with their pieces.
//
// The list owns its events until TakeHead hands them over (to a poll result,
// which then deletes them along the next links).
#pragma once

#include <cstdint>

#include "coresys/common/Event.h"

class DiskArrayState;
class OruServerState;

class EventList {
  public:
    EventList() = default;
    EventList(const EventList&) = delete;
    EventList& operator=(const EventList&) = delete;
    ~EventList() { Clear(); }

    // Appends an event the list then owns.
    void Append(Event* event);
    // Writes the count, then every event followed by its piece.
    void EncodeWithPieces(CodedBuff& buff, DiskArrayState* state, OruServerState* server) const;
    // Reads the count, then each event and its piece, applying the pieces to
    // state and server in order. A count larger than the bytes left, short
    // bytes or a bad piece marks the buffer failed and stops there: the
    // pieces before it stay applied, the events read so far stay in the list.
    // Returns false on failure.
    bool DecodeAndApply(CodedBuff& buff, DiskArrayState& state, OruServerState& server);

    std::uint32_t Count() const { return count; }
    // The i-th event (0-based), or nullptr past the end.
    Event* operator[](unsigned short i) const;
    Event* Head() const { return head; }
    // Hands the chain over to the caller and empties the list.
    Event* TakeHead();
    // Deletes every event of a chain along its next links.
    static void DeleteChain(Event* first);
    void Clear();

  private:
    Event* head = nullptr;
    Event* tail = nullptr;
    std::uint32_t count = 0;
};
