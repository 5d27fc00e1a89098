// Reads session frames from a non-blocking socket a piece at a time, as the
// bytes come, into a buffer of its own: the type word, the length word, then
// the message. A reader never waits: what the socket holds now is taken (but
// never beyond the end of the frame being read), and the frame is finished
// by later calls. So a peer that stops in the middle of a frame holds up
// nobody but itself; Expired tells when it has taken too long.
//
// The outcome of a frame that cannot be finished names the piece that broke:
// the length (a connection closed before the length word was whole, also
// one closed between frames: a message frame whose length never came), the
// body (a length below a message header or above 1 MiB, or a connection
// closed before the body was whole), or the type (neither message nor
// disconnect). Used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/net/SocketIo.h"

namespace netio {

class FrameReader {
  public:
    enum class Result {
        NOTHING,     // no whole frame yet; call again when more has come
        MESSAGE,     // a message is whole: TakeMessage
        DISCONNECT,  // a disconnect frame
        GONE,        // the connection broke (reset, aborted, no socket)
        NO_LENGTH,   // closed (or expired) before the length word was whole
        NO_BODY,     // a length out of bounds, or closed (or expired) in the body
        BAD_TYPE,    // a type word that is neither message nor disconnect
    };

    // Reads what fd holds, up to the end of one frame. nowMs (the monotonic
    // clock) marks when a piece began, for Expired.
    Result Read(int fd, std::uint64_t nowMs);
    // The message after Read returned MESSAGE; the reader starts on the
    // next frame.
    std::vector<unsigned char> TakeMessage();
    // NO_LENGTH or NO_BODY when the piece being read began more than
    // budgetMs before nowMs, else NOTHING.
    Result Expired(std::uint64_t nowMs, std::uint64_t budgetMs) const;
    // Whether part of a frame has arrived.
    bool InFrame() const { return piece_ != Piece::IDLE; }

  private:
    enum class Piece { IDLE, TYPE, LENGTH, BODY, DONE };
    // The result for a connection that ended (or stalled) in this piece.
    Result BrokenHere() const;
    void Start(Piece piece, std::uint64_t nowMs);

    Piece piece_ = Piece::IDLE;
    std::uint64_t pieceSince_ = 0;
    unsigned char word_[4] = {};
    std::size_t wordHave_ = 0;
    std::vector<unsigned char> body_;
    std::size_t bodyHave_ = 0;
};

}  // namespace netio
