// Binding a socket to a reserved local port, as the remote shell service
// expects of its clients.
//
// Tries `top`, then each lower port while it is above `floor`, on any local
// address; moves on only while the port is in use. Returns the bound port,
// or 0 with the errno of the failure in *error (EADDRINUSE when every port
// was taken). Binding below 1024 needs privilege: an unprivileged caller gets
// EACCES at the first try.
#pragma once

#include <cstdint>

namespace remrun {

inline constexpr std::uint16_t kTopReservedPort = 1023;
inline constexpr std::uint16_t kReservedPortFloor = 512;

std::uint16_t BindReservedPort(int fd, std::uint16_t top, std::uint16_t floor, int* error);

}  // namespace remrun
