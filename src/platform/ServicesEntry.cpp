#include "platform/ServicesEntry.h"

#include "platform/FileUtil.h"
#include "platform/Root.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <cstdlib>
#include <sstream>
#include <vector>

namespace platform {
namespace {

// Finds name/protocol in services(5) text; returns true and the port if found.
bool FindInServicesText(const std::string& text, const std::string& name,
                        const std::string& protocol, std::uint16_t* port) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::string::size_type hash = line.find('#');
        if (hash != std::string::npos) {
            line.resize(hash);
        }
        std::istringstream words(line);
        std::string official;
        std::string portProto;
        if (!(words >> official >> portProto)) {
            continue;
        }
        std::string::size_type slash = portProto.find('/');
        if (slash == std::string::npos || slash == 0) {
            continue;
        }
        std::string portText = portProto.substr(0, slash);
        std::string proto = portProto.substr(slash + 1);
        if (proto != protocol) {
            continue;
        }
        bool match = official == name;
        std::string alias;
        while (!match && words >> alias) {
            match = alias == name;
        }
        if (!match) {
            continue;
        }
        char* end = nullptr;
        unsigned long number = std::strtoul(portText.c_str(), &end, 10);
        if (end == portText.c_str() || *end != '\0' || number > 65535) {
            continue;  // a malformed entry is no entry
        }
        *port = static_cast<std::uint16_t>(number);
        return true;
    }
    return false;
}

}  // namespace

std::string ServicesFilePath() {
    return RootPath("etc/services");
}

ServiceEntry LookupServiceEntry(const std::string& name, const std::string& protocol,
                                std::uint16_t defaultPort) {
    ServiceEntry entry;
    std::string text;
    if (ReadWholeFile(ServicesFilePath(), &text) == 0 &&
        FindInServicesText(text, name, protocol, &entry.port)) {
        entry.found = true;
        entry.source = ServiceEntrySource::ROOT_FILE;
        return entry;
    }
    servent result{};
    servent* found = nullptr;
    std::vector<char> buffer(4096);
    if (getservbyname_r(name.c_str(), protocol.c_str(), &result, buffer.data(), buffer.size(),
                        &found) == 0 &&
        found != nullptr) {
        entry.port = ntohs(static_cast<std::uint16_t>(found->s_port));
        entry.found = true;
        entry.source = ServiceEntrySource::SYSTEM;
        return entry;
    }
    entry.port = defaultPort;
    return entry;
}

}  // namespace platform
