#include "tools/remrun/ErrorStreamCopier.h"

#include "tools/remrun/StreamPieces.h"
#include "tools/remrun/WinsockErrorText.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace remrun {

ErrorStreamCopier::ErrorStreamCopier(int listenFd, RemrunConsole& console)
    : listenFd_(listenFd), console_(console) {}

ErrorStreamCopier::~ErrorStreamCopier() {
    Finish();
    for (int& fd : wake_) {
        if (fd >= 0) {
            close(fd);
            fd = -1;
        }
    }
}

bool ErrorStreamCopier::Start() {
    if (pipe2(wake_, O_CLOEXEC) != 0) {
        return false;
    }
    try {
        thread_ = std::thread(&ErrorStreamCopier::Run, this);
    } catch (const std::system_error& failure) {
        errno = failure.code().value();
        return false;
    }
    return true;
}

void ErrorStreamCopier::Finish() {
    if (!thread_.joinable()) {
        return;
    }
    char stop = 1;
    while (write(wake_[1], &stop, 1) < 0 && errno == EINTR) {
    }
    thread_.join();
}

void ErrorStreamCopier::Run() {
    console_.Trace(RemrunText::TRACE_THREAD_STARTED);
    for (;;) {
        pollfd waits[2] = {{listenFd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (poll(waits, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            console_.Error(RemrunText::ERROR_ACCEPT, WinsockCode(errno));
            return;
        }
        // A connection that is already waiting wins over the stop: the remote
        // side connects before it answers on the main connection, so by the
        // time the main stream has ended its error connection is here.
        if ((waits[0].revents & (POLLIN | POLLERR | POLLHUP)) != 0) {
            int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                if (errno == EINTR || errno == ECONNABORTED) {
                    continue;
                }
                console_.Error(RemrunText::ERROR_ACCEPT, WinsockCode(errno));
                return;
            }
            Copy(fd);
            return;
        }
        if (waits[1].revents != 0) {
            return;
        }
    }
}

void ErrorStreamCopier::Copy(int fd) {
    console_.Trace(RemrunText::TRACE_RECEIVING_ERRORS);
    char buffer[kPieceSize];
    for (;;) {
        console_.Trace(RemrunText::TRACE_RECEIVING);
        Piece piece = ReceivePiece(fd, buffer, sizeof buffer);
        console_.Trace(FormatText(Text(RemrunText::TRACE_RECEIVED), static_cast<int>(piece.size)));
        console_.WriteErrorOutput(buffer, piece.size);
        if (piece.ended || piece.error != 0) {
            break;
        }
    }
    console_.Trace(RemrunText::TRACE_CLOSING_ERROR);
    shutdown(fd, SHUT_RDWR);
    close(fd);
}

}  // namespace remrun
