// The trace lines of the request layer (shown only when tracing is on). One
// table, so the wording lives in one place.
#pragma once

struct DiskArrayTexts {
    static constexpr const char* kBadReply =
        "DiskArray::ServerMessageHandler dropped a reply: kind %u, %lu bytes\n";
    static constexpr const char* kBadDatagram =
        "QEN::DatagramHandler dropped a reply: kind %u, %u bytes\n";
};
