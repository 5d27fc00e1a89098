#include "coresys/server/net/NetText.h"

namespace {

// Kept in step with set 4 of catalogs/en/oruseng.msg (a test compares them).
constexpr const char* kEnglish[NET_TEXT_COUNT_PLUS_ONE] = {
    "",
    "Warning - Unauthorized Management Access Attempted to Strovane: %s from ip: %s.",
    "Warning - Unauthorized Management Access Attempted to Strovane: %s.",
    "Management Authorization to Strovane: %s Succeeded for: %s at ip: %s.",
    "Management Authorization to Strovane: %s Succeeded for: %s.",
    "Failed SID Lookup - %d",
    "Management request %u by datagram from ip: %s refused: only the gross status is served by "
    "datagram.",
    "No administration path is configured: management sessions are refused.",
    "The secure path for Strovane %s does not fit in 260 characters; the client gets an empty "
    "path.",
    "The administration directory %s is writable by every user: anyone can authorize a "
    "management session.",
    "Warning - %u further refused requests and failed connections from ip: %s were not "
    "recorded.",
    "Warning - Management session to Strovane: %s for: %s at ip: %s refused: the service "
    "already serves %d sessions.",
};

}  // namespace

const char* NetTextEnglish(int id) {
    if (id <= 0 || id >= NET_TEXT_COUNT_PLUS_ONE) {
        return "";
    }
    return kEnglish[id];
}
