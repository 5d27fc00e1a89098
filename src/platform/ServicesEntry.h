// Services-entry lookup ("oruTCP"/"tcp", "oruUDP"/"udp", "shell"/"tcp").
//
// Looks in ORU_ROOT/etc/services first (services(5) format: "name port/proto
// [aliases...]", '#' starts a comment; the name or an alias matches, case
// sensitive as getservbyname is), then in the system's database
// (getservbyname_r), else gives the caller's default. The port is returned in
// host order exactly as the entry stores it; the UDP quirk of the design (an
// entry's port put into network order once more) is the callers' business.
// Thread-safe; the file is read at each call.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

enum class ServiceEntrySource { ROOT_FILE, SYSTEM, DEFAULT };

struct ServiceEntry {
    std::uint16_t port = 0;  // host order
    bool found = false;      // an entry was found (ROOT_FILE or SYSTEM)
    ServiceEntrySource source = ServiceEntrySource::DEFAULT;
};

// protocol: "tcp" or "udp" (any protocol name of the file is accepted).
ServiceEntry LookupServiceEntry(const std::string& name, const std::string& protocol,
                                std::uint16_t defaultPort);

// ORU_ROOT/etc/services
std::string ServicesFilePath();

}  // namespace platform
