#include "tools/remrun/StreamPieces.h"

#include <sys/socket.h>

#include <cerrno>

namespace remrun {

Piece ReceivePiece(int fd, char* buffer, std::size_t capacity) {
    Piece piece;
    while (piece.size < capacity) {
        ssize_t got = recv(fd, buffer + piece.size, capacity - piece.size, 0);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            piece.error = errno;
            return piece;
        }
        if (got == 0) {
            piece.ended = true;
            return piece;
        }
        piece.size += static_cast<std::size_t>(got);
        if (buffer[piece.size - 1] == '\0') {
            break;
        }
    }
    return piece;
}

}  // namespace remrun
