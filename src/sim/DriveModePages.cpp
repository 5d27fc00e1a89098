#include "sim/DriveModePages.h"

#include <array>

#include "sim/ByteOrder.h"
#include "sim/DriveEngine.h"

namespace sim {

namespace {

using Page = std::vector<std::uint8_t>;

struct PageDef {
    std::uint8_t code;
    Page defaults;    // from the page code on: code, length, fields
    Page changeable;  // the same layout: code, length, then the masks
};

// Page control values of MODE SENSE byte 2 bits 7..6 (0 current, 3 saved:
// the same values here).
constexpr std::uint8_t kChangeable = 1;
constexpr std::uint8_t kDefault = 2;

const std::array<PageDef, 4>& Pages() {
    static const std::array<PageDef, 4> pages = {{
        {0x01,
         {0x01, 0x0A, 0xC0, 0x08, 0x30, 0, 0, 0, 0x08, 0, 0xFF, 0xFF},
         {0x01, 0x0A, 0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0, 0xFF, 0xFF}},
        {0x03,
         {0x03, 0x16, 0, 0x01, 0, 0, 0, 0, 0,    0, 0, 0x40,
          0x02, 0,    0, 0x01, 0, 0, 0, 0, 0x40, 0, 0, 0},
         Page{0x03, 0x16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {0x04,
         {0x04, 0x16, 0, 0x10, 0, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x1C, 0x20, 0, 0},
         Page{0x04, 0x16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {0x08,
         {0x08, 0x0A, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         {0x08, 0x0A, 0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    }};
    return pages;
}

const PageDef* Find(std::uint8_t code) {
    for (const auto& p : Pages()) {
        if (p.code == code)
            return &p;
    }
    return nullptr;
}

Page Current(const DriveModel& drive, const PageDef& def) {
    auto it = drive.modePages.find(def.code);
    if (it != drive.modePages.end() && it->second.size() == def.defaults.size())
        return it->second;
    return def.defaults;
}

}  // namespace

SimReply DriveModePages::Sense(const DriveModel& drive, const std::vector<std::uint8_t>& cdb) {
    const bool dbd = cdb[1] & 0x08;
    const std::uint8_t control = cdb[2] >> 6;
    const std::uint8_t code = cdb[2] & 0x3F;
    if (code != 0x3F && !Find(code))
        return CheckCondition(kKeyIllegalRequest, 0x24, 0);
    std::vector<std::uint8_t> p(4, 0);
    if (!dbd) {
        p[3] = 8;
        std::vector<std::uint8_t> bd(8, 0);
        PutBe32(bd, 0, drive.blocks);
        PutBe32(bd, 4, kBlockSize);
        p.insert(p.end(), bd.begin(), bd.end());
    }
    for (const auto& def : Pages()) {
        if (code != 0x3F && code != def.code)
            continue;
        const Page page = control == kChangeable ? def.changeable
                          : control == kDefault  ? def.defaults
                                                 : Current(drive, def);
        p.insert(p.end(), page.begin(), page.end());
    }
    p[0] = static_cast<std::uint8_t>(p.size() - 1);
    return DataReply(p, cdb[4]);
}

SimReply DriveModePages::Select(DriveModel& drive, const std::vector<std::uint8_t>& cdb,
                                const std::vector<std::uint8_t>& data, bool* changed) {
    const std::size_t length = std::min<std::size_t>(cdb[4], data.size());
    auto refuse = [] { return CheckCondition(kKeyIllegalRequest, 0x26, 0); };
    if (length < 4 || (data[3] != 0 && data[3] != 8))
        return refuse();
    std::vector<std::pair<const PageDef*, Page>> pages;
    for (std::size_t at = 4 + data[3]; at < length;) {
        if (at + 2 > length)
            return refuse();
        const PageDef* def = Find(data[at] & 0x3F);
        const std::size_t size = std::size_t(data[at + 1]) + 2;
        if (!def || size != def->defaults.size() || at + size > length)
            return refuse();
        pages.emplace_back(def, Page(data.begin() + long(at), data.begin() + long(at + size)));
        at += size;
    }
    for (const auto& [def, sent] : pages) {
        Page page = Current(drive, *def);
        for (std::size_t i = 2; i < page.size(); ++i) {
            const std::uint8_t mask = def->changeable[i];
            page[i] = static_cast<std::uint8_t>((page[i] & ~mask) | (sent[i] & mask));
        }
        drive.modePages[def->code] = page;
    }
    drive.modeSelectData.assign(data.begin(), data.begin() + long(length));
    drive.modeSelectData.resize(cdb[4], 0);
    *changed = true;
    return {};
}

}  // namespace sim
