#include "sim/SimScsi.h"

namespace sim {

std::vector<std::uint8_t> MakeSense(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq) {
    std::vector<std::uint8_t> s(kSenseLength, 0);
    s[0] = 0x70;
    s[2] = key & 0x0F;
    s[7] = 18;
    s[12] = asc;
    s[13] = ascq;
    return s;
}

std::vector<std::uint8_t> MakeDriveSense(std::uint8_t driveKey, std::uint8_t driveAsc,
                                         std::uint8_t driveAscq, std::uint8_t slot) {
    std::vector<std::uint8_t> s = MakeSense(driveKey, 0x80, 0);
    s[14] = static_cast<std::uint8_t>(slot + 1);
    s[22] = driveKey & 0x0F;
    s[23] = driveAsc;
    s[24] = driveAscq;
    s[25] = slot;
    return s;
}

SimReply CheckCondition(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq) {
    SimReply r;
    r.status = kStatusCheckCondition;
    r.sense = MakeSense(key, asc, ascq);
    return r;
}

SimReply Refused(std::uint16_t vendorCode) {
    SimReply r = CheckCondition(kKeyIllegalRequest, 0x26, 0x02);
    r.sense[19] = static_cast<std::uint8_t>(vendorCode >> 8);
    r.sense[20] = static_cast<std::uint8_t>(vendorCode);
    return r;
}

}  // namespace sim
