// The decoding half of the logs: the walks over the bytes, which print
// nothing and need no catalog.
#include <algorithm>

#include "cli/dkjournal/JournalLogs.h"
#include "coresys/common/ControllerLogWalk.h"

namespace dkjournal {

namespace {

constexpr std::size_t kLogHeader = ControllerLogWalk::kHeaderLength;
constexpr std::size_t kPageHeader = 4;
constexpr std::size_t kParameterHeader = 4;
constexpr std::size_t kDefectHeader = 4;
constexpr std::size_t kDefectDescriptor = 8;

// A controller log entry of a kind the walk does not know is this long and
// is stepped over.
constexpr std::size_t kOtherEntrySize = 10;

// The bytes a header-led block declares, within what came.
Bytes Declared(Bytes bytes, std::uint32_t total) {
    return bytes.first(std::min<std::size_t>(bytes.size(), total));
}

}  // namespace

std::uint32_t ReadBe(Bytes bytes, std::size_t at, std::size_t width) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        value = value << 8 | bytes[at + i];
    }
    return value;
}

std::uint32_t ResizedRequest(std::uint32_t declaredTotal, std::uint32_t asked) {
    if (declaredTotal <= asked) {
        return 0;
    }
    return std::min(declaredTotal, kLargestRequest);
}

std::uint32_t ControllerLogTotal(Bytes log) {
    return log.size() < kLogHeader ? 0 : ReadBe(log, 1, 2) + kLogHeader;
}

std::vector<Bytes> ControllerLogEntries(Bytes log) {
    std::vector<Bytes> found;
    if (log.size() < kLogHeader || log[0] != kErrorLogType) {
        return found;
    }
    const Bytes entries = Declared(log, ControllerLogTotal(log)).subspan(kLogHeader);
    std::size_t at = 0;
    while (at < entries.size()) {
        const std::size_t kindLength = ControllerLogWalk::KindLength(entries[at]);
        const bool known = kindLength != 0;
        const std::size_t size = known ? kindLength : kOtherEntrySize;
        if (size > entries.size() - at) {
            break;  // cut short: nothing of it counts
        }
        if (known) {
            found.push_back(entries.subspan(at, size));
        }
        at += size;
    }
    return found;
}

std::uint32_t LogPageTotal(Bytes page) {
    return page.size() < kPageHeader ? 0 : ReadBe(page, 2, 2) + kPageHeader;
}

std::vector<std::uint8_t> SupportedPages(Bytes page) {
    const Bytes declared = Declared(page, LogPageTotal(page));
    if (declared.size() <= kPageHeader) {
        return {};
    }
    const Bytes codes = declared.subspan(kPageHeader);
    return std::vector<std::uint8_t>(codes.begin(), codes.end());
}

std::vector<LogParameter> LogParameters(Bytes page) {
    std::vector<LogParameter> parameters;
    const Bytes declared = Declared(page, LogPageTotal(page));
    std::size_t at = kPageHeader;
    while (at + kParameterHeader <= declared.size()) {
        const std::size_t length = declared[at + 3];
        const std::size_t valueAt = at + kParameterHeader;
        if (length > declared.size() - valueAt) {
            break;  // the value did not come whole
        }
        LogParameter parameter;
        parameter.code = static_cast<std::uint16_t>(ReadBe(declared, at, 2));
        switch (length) {
            case 1:
            case 2:
            case 4:
                parameter.value = ReadBe(declared, valueAt, length);
                break;
            case 8: {
                // Megabytes: the 64-bit count shifted by 20, 32 bits kept.
                const std::uint64_t high = ReadBe(declared, valueAt, 4);
                const std::uint64_t low = ReadBe(declared, valueAt + 4, 4);
                parameter.value = static_cast<std::uint32_t>((high << 32 | low) >> 20);
                break;
            }
            default:
                break;
        }
        parameters.push_back(parameter);
        at = valueAt + length;
    }
    return parameters;
}

std::uint32_t DefectDataTotal(Bytes data) {
    return data.size() < kDefectHeader ? 0 : ReadBe(data, 2, 2) + kDefectHeader;
}

std::vector<Defect> Defects(Bytes data) {
    std::vector<Defect> defects;
    const Bytes declared = Declared(data, DefectDataTotal(data));
    for (std::size_t at = kDefectHeader; at + kDefectDescriptor <= declared.size();
         at += kDefectDescriptor) {
        defects.push_back({ReadBe(declared, at, 3), declared[at + 3], ReadBe(declared, at + 4, 4)});
    }
    return defects;
}

}  // namespace dkjournal
