// One change in a subsystem, as the service reports it to the clients.
//
// An event is four words; right behind it on the wire travels a fresh copy of
// the piece of state its major type names, which the client writes straight
// into its own copy of the state (EncodePiece / ApplyPiece).
#pragma once

#include <cstdint>

#include "coresys/common/EventTypes.h"
#include "coresys/common/OruXdr.h"

class DiskArrayState;
class OruServerState;

class Event : public OruXdr {
  public:
    static constexpr std::uint32_t kWireSize = 16;

    EVENT_MAJOR_TYPE majorType = CTLR;
    std::uint32_t minorType = 3;
    std::uint32_t data1 = 0;
    std::uint32_t data2 = 0;
    Event* next = nullptr;  // next event of the same reply; not coded, not owned

    Event() = default;
    Event(EVENT_MAJOR_TYPE major, EVENT_MINOR_CTLR_TYPE minor, std::uint32_t d1, std::uint32_t d2);
    Event(EVENT_MAJOR_TYPE major, EVENT_MINOR_SSS_TYPE minor, std::uint32_t d1, std::uint32_t d2);
    Event(EVENT_MAJOR_TYPE major, EVENT_MINOR_MSS_TYPE minor, std::uint32_t d1, std::uint32_t d2);
    Event(EVENT_MAJOR_TYPE major, EVENT_MINOR_MC_TYPE minor, std::uint32_t d1, std::uint32_t d2);
    Event(EVENT_MAJOR_TYPE major, EVENT_MINOR_CAP_TYPE minor, std::uint32_t d1, std::uint32_t d2);
    Event(EVENT_MAJOR_TYPE major, EVENT_MINOR_LUN_TYPE minor, std::uint32_t d1, std::uint32_t d2);
    Event(EVENT_MAJOR_TYPE major, EVENT_MINOR_PHYS_TYPE minor, std::uint32_t d1, std::uint32_t d2);
    Event(EVENT_MAJOR_TYPE major, EVENT_MINOR_MISS_TYPE minor, std::uint32_t d1, std::uint32_t d2);
    Event(EVENT_MAJOR_TYPE major, EVENT_MINOR_HW_TYPE minor, std::uint32_t d1, std::uint32_t d2);
    Event(EVENT_MAJOR_TYPE major, EVENT_MINOR_DAS_MISC_TYPE minor, std::uint32_t d1,
          std::uint32_t d2);
    Event(EVENT_MAJOR_TYPE major, EVENT_MINOR_CRES_TYPE minor, std::uint32_t d1, std::uint32_t d2);
    Event(EVENT_MAJOR_TYPE major, EVENT_MINOR_CPRG_TYPE minor, std::uint32_t d1, std::uint32_t d2);
    Event(EVENT_MAJOR_TYPE major, EVENT_MINOR_ORUSS_MISC_TYPE minor, std::uint32_t d1,
          std::uint32_t d2);
    Event(EVENT_MAJOR_TYPE major, EVENT_MINOR_SSW_TYPE minor, std::uint32_t d1, std::uint32_t d2);
    Event(EVENT_MAJOR_TYPE major, EVENT_MINOR_MEXT_TYPE minor, std::uint32_t d1, std::uint32_t d2);

    // Wire: majorType, minorType, data1, data2.
    void Encode(CodedBuff& buff) override;
    void Decode(CodedBuff& buff) override;

    // Writes the piece of state that follows this event, taken from state and
    // server. A missing source (no state, no server state, an absent page) is
    // written as an empty one so the receiver stays in step.
    void EncodePiece(CodedBuff& buff, DiskArrayState* state, OruServerState* server) const;
    // Reads the piece that follows this event into state and server. Each
    // piece is read aside first: on short bytes or a count larger than the
    // bytes left the buffer is marked failed and the piece is not applied.
    // Returns false on failure.
    bool ApplyPiece(CodedBuff& buff, DiskArrayState& state, OruServerState& server) const;
};
