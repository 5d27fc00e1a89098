// This host's name as the service announces it: at most 48 characters and
// a NUL in a 49-byte field. Read into a larger buffer first, so a longer
// system name is cut instead of failing. Also the dotted form in which the
// service names a peer's address.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <string>

class HostName {
  public:
    static constexpr std::size_t kFieldSize = 49;

    // Fills field (49 bytes, zero-filled past the name). False when the
    // system cannot tell its name (field is then all zero).
    static bool Read(char* field);
};

// The IPv4 address in dotted form ("" when it cannot be written).
std::string DottedAddress(const sockaddr_in& address);
