#include "sim/LunSetAttention.h"

#include "sim/DriveEngine.h"

namespace sim {

namespace {

constexpr std::uint8_t kAscLunSetChanged = 0x3F;
constexpr std::uint8_t kAscqLunSetChanged = 0x0E;

std::uint8_t LunSet(const CabinetModel& cab) {
    std::uint8_t set = 0;
    for (int l = 0; l < kMaxLuns; ++l) {
        if (cab.luns[l].present) {
            set = static_cast<std::uint8_t>(set | (1u << l));
        }
    }
    return set;
}

}  // namespace

LunSetAttention::Watch& LunSetAttention::Look(int cabinet, const CabinetModel& cab) {
    if (watches_.size() <= static_cast<std::size_t>(cabinet)) {
        watches_.resize(static_cast<std::size_t>(cabinet) + 1);
    }
    Watch& w = watches_[static_cast<std::size_t>(cabinet)];
    const std::uint8_t set = LunSet(cab);
    if (!w.known) {
        w.known = true;
        w.set = set;
    } else if (set != w.set) {
        w.set = set;
        ++w.generation;
    }
    return w;
}

std::optional<SimReply> LunSetAttention::Before(int cabinet, const CabinetModel& cab,
                                                SessionContext& session, const SimCommand& cmd) {
    const Watch& w = Look(cabinet, cab);
    LunSetView& view = session.lunSet;
    if (view.cabinet != cabinet) {
        view.cabinet = cabinet;
        view.seen = w.generation;
        return std::nullopt;
    }
    if (view.seen == w.generation || cmd.cdb.empty()) {
        return std::nullopt;
    }
    switch (cmd.cdb[0]) {
        case 0x12:  // INQUIRY
        case 0x29:  // the data phases of a drive exchange
        case 0xF3:
        case 0xF4:
            return std::nullopt;
        case 0x03:  // REQUEST SENSE reports it
            view.seen = w.generation;
            return DataReply(MakeSense(kKeyUnitAttention, kAscLunSetChanged, kAscqLunSetChanged),
                             cmd.cdb.size() > 4 ? cmd.cdb[4] : 0);
        default:
            view.seen = w.generation;
            return CheckCondition(kKeyUnitAttention, kAscLunSetChanged, kAscqLunSetChanged);
    }
}

void LunSetAttention::After(int cabinet, const CabinetModel& cab, SessionContext& session) {
    // Before has just brought the watch up to date, so a change seen here is
    // this command's own. A session that still has an older change to hear
    // of (its command passed as an INQUIRY or a data phase, which change
    // nothing) keeps it.
    const std::uint64_t before = watches_[static_cast<std::size_t>(cabinet)].generation;
    const Watch& w = Look(cabinet, cab);
    LunSetView& view = session.lunSet;
    if (view.cabinet == cabinet && view.seen == before) {
        view.seen = w.generation;
    }
}

}  // namespace sim
