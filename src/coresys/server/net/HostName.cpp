#include "coresys/server/net/HostName.h"

#include <arpa/inet.h>
#include <unistd.h>

#include <cstring>

bool HostName::Read(char* field) {
    char name[256] = {};
    std::memset(field, 0, kFieldSize);
    if (::gethostname(name, sizeof name - 1) != 0) {
        return false;
    }
    name[sizeof name - 1] = '\0';
    std::strncpy(field, name, kFieldSize - 1);
    field[kFieldSize - 1] = '\0';
    return true;
}

std::string DottedAddress(const sockaddr_in& address) {
    char text[INET_ADDRSTRLEN] = {};
    if (::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text) == nullptr) {
        return std::string();
    }
    return text;
}
