#include "netmgmt/agent/SubsystemStatus.h"

#include <cstddef>
#include <iterator>

#include "coresys/common/GrossStatus.h"

namespace oruagent {

namespace {

constexpr std::int32_t kPrecedence[] = {4, 7, 3, 6, 3, 2, 10, 0, 2, 5, 1, 1};
constexpr std::size_t kAbsent = std::size(kPrecedence);

std::size_t Position(std::int32_t status) {
    for (std::size_t i = 0; i < std::size(kPrecedence); ++i) {
        if (kPrecedence[i] == status) {
            return i;
        }
    }
    return kAbsent;
}

}  // namespace

std::int32_t WorseStatus(std::int32_t a, std::int32_t b) {
    const std::size_t pa = Position(a);
    const std::size_t pb = Position(b);
    const std::size_t p = pa < pb ? pa : pb;
    return p == kAbsent ? kPrecedence[kAbsent - 1] : kPrecedence[p];
}

std::int32_t SubsystemStatus(const GrossStatus& gross) {
    auto g = [&gross](std::uint32_t n) { return gross.G(n); };
    if (g(36) != 1) {
        return 1;
    }
    const std::uint32_t state = g(1);
    if (state > 1) {
        return state == 9 || state == 11 || state > 13 ? 10 : 4;
    }
    std::int32_t status = g(2) != 0 ? 4 : 2;
    auto fold = [&status](bool raised, std::int32_t worse) {
        if (raised) {
            status = WorseStatus(status, worse);
        }
    };
    fold(g(8) != 0, 7);
    fold(g(3) != 0, 7);
    fold((g(10) | g(9) | g(11)) != 0, 7);
    for (std::uint32_t n : {12u, 13u, 4u, 18u}) {
        fold(g(n) != 0, 7);
    }
    for (std::uint32_t n : {17u, 19u, 23u, 24u, 5u, 16u, 22u}) {
        fold(g(n) != 0, 3);
    }
    fold(g(20) != 0, 6);
    fold(g(14) != 0, 6);
    fold(g(25) != 0, 2);
    fold(g(26) != 0, 2);
    const bool quiet = g(3) == 0 && g(16) == 0 && g(2) == 0 && g(8) == 0 && g(14) == 0;
    fold((g(31) | g(34)) != 0 && quiet, 3);
    fold(g(29) != 0 || g(32) != 0 || g(33) != 0, 2);
    return status;
}

}  // namespace oruagent
