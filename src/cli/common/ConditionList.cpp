#include "cli/common/ConditionList.h"

#include "cli/common/CliConfig.h"

namespace {

constexpr int kHeadingItem = 224;
// The set 9 item of each flag's line.
constexpr int kFlagItems[ConditionList::kFlagCount] = {
    225, 226, 227, 228, 229, 230, 231, 232, 233, 234, 235, 236,
    237, 238, 239, 240, 241, 242, 247, 248, 243, 244, 245, 246,
};
constexpr std::uint32_t kFirstStateValue = 2;  // counted from 1, as the record counts
constexpr std::size_t kStateFlags = 23;

}  // namespace

ConditionList ConditionList::FromStateInfo(const SubsystemStateInfo& info) {
    ConditionList list;
    for (std::size_t i = 0; i < kStateFlags; ++i) {
        list.flags[i] = info.Value(kFirstStateValue + static_cast<std::uint32_t>(i)) != 0;
    }
    return list;
}

bool ConditionList::Any() const {
    for (bool flag : flags) {
        if (flag) {
            return true;
        }
    }
    return false;
}

std::uint32_t ConditionList::Bits() const {
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < kFlagCount; ++i) {
        if (flags[i]) {
            bits |= 1u << i;
        }
    }
    return bits;
}

void ConditionList::Print(std::ostream& out) const {
    if (!Any()) {
        return;
    }
    out << "   " << CliText(kCliTextSet, kHeadingItem) << '\n';
    for (std::size_t i = 0; i < kFlagCount; ++i) {
        if (flags[i]) {
            out << "      " << CliText(kCliTextSet, kFlagItems[i]) << '\n';
        }
    }
}
