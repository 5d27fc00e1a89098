#include "gui/LogicalDrives.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "coresys/common/DiskArrayState.h"
#include "gui/DeviceStatus.h"

namespace oru {

LunTable LunTable::FromState(const DiskArrayState& state) {
    LunTable table;
    for (std::uint32_t n = 0; n < state.LunCount(); ++n) {
        const LUN& lun = *state.Lun(n);
        if (lun.Exists()) {
            const std::uint32_t capacity = CapacityHundredthsGB(lun.capacity);
            table.present.push_back(LunEntry{n, capacity});
            table.largest = std::max(table.largest, capacity);
        } else {
            table.free.push_back(n);
        }
    }
    table.unallocated = UnallocatedHundredthsGB(state);
    table.unallocatedLastBlock = state.virtualRemaining.blocks;
    table.unallocatedBlockSize = state.virtualRemaining.blockSize;
    return table;
}

std::uint32_t CreateLunSize(std::uint32_t hundredths, const LunTable& table) {
    double size = 0;
    if (hundredths == table.unallocated) {
        const double bytes = static_cast<double>(table.unallocatedBlockSize) *
                             (static_cast<double>(table.unallocatedLastBlock) + 1.0);
        size = bytes / 524288.0;
    } else {
        size = static_cast<double>(hundredths) * 1048576.0 * 0.01 / 512.0;
    }
    if (size >= static_cast<double>(std::numeric_limits<std::uint32_t>::max())) {
        return std::numeric_limits<std::uint32_t>::max();
    }
    return static_cast<std::uint32_t>(std::trunc(size));
}

CleanedText CleanCapacityText(const QString& typed) {
    CleanedText cleaned;
    bool point = false;
    int decimals = 0;
    for (const QChar c : typed) {
        if (c.isDigit() && c.unicode() < 128) {
            if (point && decimals == 2) {
                cleaned.changed = true;
                continue;
            }
            decimals += point ? 1 : 0;
            cleaned.text += c;
        } else if (c == QLatin1Char('.') && !point) {
            point = true;
            cleaned.text += c;
        } else {
            cleaned.changed = true;
        }
    }
    return cleaned;
}

std::optional<std::uint32_t> CapacityHundredths(const QString& text) {
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    const QString whole = point < 0 ? text : text.left(point);
    QString fraction = point < 0 ? QString() : text.mid(point + 1, 2);
    while (fraction.size() < 2) {
        fraction += QLatin1Char('0');
    }
    std::uint64_t value = 0;
    for (const QChar c : whole) {
        if (!c.isDigit()) {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c.digitValue());
        if (value > std::numeric_limits<std::uint32_t>::max()) {
            return std::nullopt;
        }
    }
    value *= 100;
    for (const QChar c : fraction) {
        if (!c.isDigit()) {
            return std::nullopt;
        }
    }
    value += static_cast<std::uint64_t>(fraction[0].digitValue() * 10 + fraction[1].digitValue());
    if (value > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace oru
