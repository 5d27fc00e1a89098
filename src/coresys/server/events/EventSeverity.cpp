#include "coresys/server/events/EventSeverity.h"

#include <array>

#include "coresys/common/EventTypes.h"
#include "coresys/server/winnt/Service/EventReport.h"

namespace {

constexpr int N = EventSeverity::kNotReported;

struct ClassLevels {
    std::uint32_t count;
    std::array<int, 24> level;
};

// By major type, the level of each minor type in order; minors past a row's
// count are not reported.
constexpr ClassLevels kLevels[] = {
    /* CTLR */ {6, {3, 6, 3, 3, 3, 3}},
    /* SSS */
    {24, {2, 2, 3, N, 4, N, N, 3, N, N, N, N, N, 4, N, 6, 3, 4, N, 3, 3, 3, 4, 4}},
    /* MSS */ {14, {N, N, 6, N, 6, 6, 6, N, N, N, N, N, N, 6}},
    /* MC */ {2, {N, N}},
    /* CAP */ {2, {N, N}},
    /* LUN */ {2, {N, N}},
    /* PHYS */ {2, {6, 4}},
    /* MISS */ {2, {N, 0}},
    /* HW */ {2, {3, 3}},
    /* DAS_MISC */ {6, {N, 4, 4, 6, 6, 4}},
    /* CRES */ {4, {N, 6, 6, 6}},
    /* CPRG */ {2, {N, N}},
    // Minor 2 (the log task suspended or resumed) is reported like the
    // state value it mirrors: a warning.
    /* ORUSS_MISC */ {3, {4, 0, 4}},
    /* SSW */ {14, {4, 4, 7, 6, 7, 3, 3, 3, 3, 3, 6, 6, 6, 6}},
    /* MEXT */ {5, {6, 6, 6, 6, 6}},
};

}  // namespace

int EventSeverity::Level(std::uint32_t major, std::uint32_t minor) {
    if (major >= std::size(kLevels)) {
        return kNotReported;
    }
    const ClassLevels& row = kLevels[major];
    return minor < row.count ? row.level[minor] : kNotReported;
}

int EventSeverity::Report(std::uint32_t major, std::uint32_t minor, const std::string& text) {
    int level = Level(major, minor);
    if (level == kNotReported) {
        return 0;
    }
    return ReportNtEvent(level, text);
}
