// The identity of one request: a sequence number and the session id. Replies
// carry the handle of the request they answer, so clients match them by it.
#pragma once

#include <cstdint>

#include "coresys/common/OruXdr.h"

class CommandHandle : public OruXdr {
  public:
    static constexpr std::uint32_t kWireSize = 8;

    std::uint32_t sequence = 0;
    std::uint32_t sessionID = 0;

    CommandHandle() = default;
    CommandHandle(std::uint32_t seq, std::uint32_t session) : sequence(seq), sessionID(session) {}

    // Wire: sequence, sessionID.
    void Encode(CodedBuff& buff) override;
    void Decode(CodedBuff& buff) override;

    // Advances the sequence; gives the handle as it was before.
    CommandHandle operator++(int) {
        CommandHandle old = *this;
        ++sequence;
        return old;
    }
    // Advances the sequence; gives the handle as it was before, as the
    // postfix form does, so both spellings number requests alike.
    CommandHandle operator++() { return (*this)++; }

    // Both words.
    bool operator==(const CommandHandle& other) const {
        return sequence == other.sequence && sessionID == other.sessionID;
    }
    bool operator!=(const CommandHandle& other) const { return !(*this == other); }
    // The sequence only.
    bool operator==(std::uint32_t seq) const { return sequence == seq; }
    bool operator!=(std::uint32_t seq) const { return sequence != seq; }

    explicit operator std::uint32_t() const { return sequence; }
};
