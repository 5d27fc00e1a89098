#include "tools/remrun/ReservedPort.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>

namespace remrun {

std::uint16_t BindReservedPort(int fd, std::uint16_t top, std::uint16_t floor, int* error) {
    *error = EADDRINUSE;
    for (std::uint32_t port = top; port > floor; --port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            *error = 0;
            return static_cast<std::uint16_t>(port);
        }
        if (errno != EADDRINUSE) {
            *error = errno;
            return 0;
        }
    }
    return 0;
}

}  // namespace remrun
