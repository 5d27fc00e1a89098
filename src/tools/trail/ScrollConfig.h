// The start-up record of the log printer: the console programs' record
// (transport names, port, catalog) in the printer's own shape, with the
// catalog path in a fixed buffer and a copy of it beside.
//
// InitScrollConfig builds it and opens the console programs' catalog in the
// user's language; FreeScrollConfig lets go of both. The printer keeps one
// record for the whole run.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "catalog/StringCatalog.h"

namespace trail {

struct ScrollConfig {
    std::string udpServiceName;     // "oruUDP"
    std::string tcpServiceName;     // "oruTCP"
    std::uint16_t defaultPort = 0;  // 34604
    std::optional<std::string> spareText;
    // At most 256 characters of the catalog path, the rest zero.
    char catalogPathCopy[257] = {};
    // ".\" and "vxraidcl.cat" (the name the console programs have always
    // given their catalog; the language libraries are found as texamb finds
    // them).
    char catalogPath[256] = {};
    std::unique_ptr<StringCatalog> catalog;
};

// The arguments are not used.
ScrollConfig* InitScrollConfig(int argc, char** argv);
// Frees the record and its catalog (nullptr is ignored).
void FreeScrollConfig(ScrollConfig* config);

}  // namespace trail
