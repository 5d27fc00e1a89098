#include "gui/RowTable.h"

#include <algorithm>

namespace oru {
namespace {

bool EndsWith(const std::string& text, const std::string& suffix) {
    return !suffix.empty() && text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

int Sign(int value) {
    return (value > 0) - (value < 0);
}

}  // namespace

void RowTable::Reset(const std::vector<std::string>& columns,
                     const std::vector<std::string>& sortOrder, bool descending,
                     const std::string& statusColumn, const std::string& gbSuffix) {
    sortColumns_.clear();
    for (const std::string& name : sortOrder) {
        const auto at = std::find(columns.begin(), columns.end(), name);
        if (at != columns.end()) {
            sortColumns_.push_back(static_cast<int>(at - columns.begin()));
        }
    }
    const auto status = std::find(columns.begin(), columns.end(), statusColumn);
    statusColumn_ = status != columns.end() ? static_cast<int>(status - columns.begin()) : -1;
    descending_ = descending;
    gbSuffix_ = gbSuffix;
    rows_.clear();
    order_.clear();
}

int RowTable::CompareTexts(const std::string& a, const std::string& b,
                           const std::string& gbSuffix) {
    if (EndsWith(a, gbSuffix) && EndsWith(b, gbSuffix) && a.size() != b.size()) {
        return a.size() < b.size() ? -1 : 1;
    }
    return Sign(a.compare(b));
}

int RowTable::Compare(const Device& device, const Row& row) const {
    const Device& shown = row.devices.front();
    for (int column : sortColumns_) {
        int order = 0;
        if (column == statusColumn_) {
            order = Sign(device.statusValue - shown.statusValue);
        } else {
            const auto c = static_cast<std::size_t>(column);
            static const std::string kNone;
            order = CompareTexts(c < device.texts.size() ? device.texts[c] : kNone,
                                 c < shown.texts.size() ? shown.texts[c] : kNone, gbSuffix_);
        }
        if (order != 0) {
            return order;
        }
    }
    return 0;
}

RowTable::Placement RowTable::Add(Device device) {
    Placement placement;
    std::size_t position = 0;
    for (; position < order_.size(); ++position) {
        Row& row = rows_[static_cast<std::size_t>(order_[position])];
        const int order = Compare(device, row);
        if (order == 0) {
            row.devices.push_back(std::move(device));
            placement.joined = true;
            placement.row = order_[position];
            placement.position = static_cast<int>(position);
            return placement;
        }
        if (descending_ ? order > 0 : order < 0) {
            break;
        }
    }
    rows_.push_back(Row{{std::move(device)}});
    placement.row = static_cast<int>(rows_.size()) - 1;
    placement.position = static_cast<int>(position);
    order_.insert(order_.begin() + static_cast<std::ptrdiff_t>(position), placement.row);
    return placement;
}

std::vector<std::pair<int, bool>> RowTable::Remove(std::uint32_t index) {
    std::vector<std::pair<int, bool>> touched;
    for (int row : RowsOf(index)) {
        std::vector<Device>& devices = rows_[static_cast<std::size_t>(row)].devices;
        std::erase_if(devices, [index](const Device& d) { return d.index == index; });
        const bool empty = devices.empty();
        if (empty) {
            order_.erase(std::find(order_.begin(), order_.end(), row));
        }
        touched.emplace_back(row, empty);
    }
    return touched;
}

int RowTable::PositionOf(int row) const {
    const auto at = std::find(order_.begin(), order_.end(), row);
    return at != order_.end() ? static_cast<int>(at - order_.begin()) : -1;
}

std::vector<int> RowTable::RowsOf(std::uint32_t index) const {
    std::vector<int> rows;
    for (int row : order_) {
        for (const Device& device : rows_[static_cast<std::size_t>(row)].devices) {
            if (device.index == index) {
                rows.push_back(row);
                break;
            }
        }
    }
    return rows;
}

}  // namespace oru
