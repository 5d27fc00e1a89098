// Reading a remote stream in pieces.
//
// A piece is complete when `capacity` bytes are in, the connection ends, or
// the last byte received is zero (the remote side ends its status and error
// messages that way). Interrupted receives are retried.
#pragma once

#include <cstddef>

namespace remrun {

inline constexpr std::size_t kPieceSize = 2047;

struct Piece {
    std::size_t size = 0;  // bytes in the buffer
    bool ended = false;    // the connection has ended (after these bytes)
    int error = 0;         // errno of a failed receive (after these bytes)
};

Piece ReceivePiece(int fd, char* buffer, std::size_t capacity);

}  // namespace remrun
