#include "gui/SheetPictures.h"

#include <QPainter>
#include <QPixmap>

#include <algorithm>

#include "coresys/common/DiskArrayState.h"
#include "gui/CPieChart.h"
#include "gui/GuiText.h"
#include "gui/Messages.h"

namespace oru {
namespace {

const QColor kBody(112, 112, 116);
const QColor kBodyEdge(40, 40, 44);
const QColor kBay(72, 72, 76);
const QColor kDrive(150, 150, 156);
const QColor kDriveLight(60, 200, 60);
const QColor kBoard(84, 96, 132);
const QColor kVent(52, 52, 56);

void DrawFrame(QPainter& painter, const QRect& rect, const QColor& colour) {
    // Two pixels wide, inside the rectangle.
    painter.setPen(QPen(colour, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
    painter.drawRect(rect.adjusted(1, 1, -2, -2));
}

void DrawDrive(QPainter& painter, const QRect& place) {
    painter.setPen(kBodyEdge);
    painter.setBrush(kDrive);
    painter.drawRect(place.adjusted(2, 2, -3, -3));
    painter.setPen(Qt::NoPen);
    painter.setBrush(kDriveLight);
    painter.drawRect(QRect(place.right() - 7, place.top() + 4, 3, 3));
}

void DrawController(QPainter& painter, const QRect& place) {
    painter.setPen(kBodyEdge);
    painter.setBrush(kBoard);
    painter.drawRect(place.adjusted(2, 2, -3, -3));
    painter.setPen(QColor(200, 200, 210));
    for (int y = place.top() + 8; y < place.bottom() - 6; y += 8) {
        painter.drawLine(place.left() + 4, y, place.right() - 4, y);
    }
}

void DrawFan(QPainter& painter, const QRect& place) {
    painter.setPen(kBodyEdge);
    painter.setBrush(kVent);
    painter.drawRect(place.adjusted(2, 2, -3, -3));
    painter.setPen(QColor(150, 150, 150));
    const int side = std::max(place.height() - 6, 2);
    painter.drawEllipse(QRect(place.center().x() - side / 2, place.top() + 3, side, side));
}

void DrawPowerSupply(QPainter& painter, const QRect& place) {
    painter.setPen(kBodyEdge);
    painter.setBrush(kVent);
    painter.drawRect(place.adjusted(2, 2, -3, -3));
    painter.setPen(QColor(150, 150, 150));
    for (int x = place.left() + 6; x < place.right() - 4; x += 4) {
        painter.drawLine(x, place.top() + 5, x, place.bottom() - 6);
    }
}

void DrawComponent(QPainter& painter, ComponentKind kind, const QRect& place) {
    switch (kind) {
        case ComponentKind::kController:
            DrawController(painter, place);
            break;
        case ComponentKind::kDisk:
            DrawDrive(painter, place);
            break;
        case ComponentKind::kFan:
            DrawFan(painter, place);
            break;
        case ComponentKind::kPowerSupply:
            DrawPowerSupply(painter, place);
            break;
    }
}

// How many places a layout has for a kind.
std::uint32_t Places(std::uint32_t layoutType, ComponentKind kind) {
    std::uint32_t places = 0;
    while (!CabinetLayout::ComponentRect(layoutType, kind, places).isEmpty()) {
        ++places;
    }
    return places;
}

}  // namespace

QIcon StatusImage(int index) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QColor fill;
    switch (index) {
        case 6:
            fill = QColor(0, 0, 255);
            break;
        case 7:
            fill = QColor(0, 255, 0);
            break;
        case 8:
            fill = QColor(255, 255, 0);
            break;
        case 9:
            fill = QColor(255, 0, 0);
            break;
        default:
            fill = QColor(255, 255, 255);
            break;
    }
    painter.setPen(QPen(QColor(64, 64, 64), 1));
    painter.setBrush(fill);
    painter.drawEllipse(QRectF(2.5, 2.5, 11, 11));
    painter.end();
    return QIcon(pixmap);
}

std::optional<QColor> FrameColour(int statusValue) {
    switch (statusValue) {
        case DS_EMPTY_SLOT:
            return QColor(255, 255, 255);
        case DS_NOT_IN_USE:
        case DS_NO_DATA:
            return QColor(0, 0, 255);
        case DS_WARNING:
            return QColor(255, 255, 0);
        case DS_MINOR_ERROR:
        case DS_MAJOR_ERROR:
        case DS_CRITICAL_ERROR:
            return QColor(255, 0, 0);
        default:
            return std::nullopt;
    }
}

void CabinetPicture::Paint(QPainter& painter, std::uint32_t layoutType,
                           const std::vector<FramedComponent>& framed, const QPoint& origin) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.translate(origin);
    const QRect body(0, 0, CabinetLayout::kWidth, CabinetLayout::kHeight);
    painter.setPen(kBodyEdge);
    painter.setBrush(kBody);
    painter.drawRect(body.adjusted(0, 0, -1, -1));
    if (CabinetLayout::HasPlaces(layoutType)) {
        for (ComponentKind kind : kComponentKinds) {
            const std::uint32_t places = Places(layoutType, kind);
            for (std::uint32_t i = 0; i < places; ++i) {
                DrawComponent(painter, kind, CabinetLayout::ComponentRect(layoutType, kind, i));
            }
        }
        for (const FramedComponent& component : framed) {
            const QRect place =
                CabinetLayout::ComponentRect(layoutType, component.kind, component.index);
            const std::optional<QColor> colour = FrameColour(component.value);
            if (!place.isEmpty() && colour.has_value()) {
                DrawFrame(painter, place.adjusted(1, 1, -1, -1), *colour);
            }
        }
    } else {
        // A cabinet the program has no picture of: plain bays, no places.
        painter.setPen(kBodyEdge);
        painter.setBrush(kBay);
        for (int y = 12; y + 18 < CabinetLayout::kHeight; y += 22) {
            painter.drawRect(QRect(12, y, CabinetLayout::kWidth - 25, 16));
        }
    }
    painter.restore();
}

int CabinetPicture::NotShown(const DiskArrayState& state, std::uint32_t layoutType) {
    if (!CabinetLayout::HasPlaces(layoutType)) {
        return 0;
    }
    int missing = 0;
    for (ComponentKind kind : kComponentKinds) {
        const std::uint32_t count = ComponentCount(state, kind);
        const std::uint32_t places = Places(layoutType, kind);
        missing += count > places ? static_cast<int>(count - places) : 0;
    }
    return missing;
}

std::optional<std::uint32_t> CabinetPicture::HitTest(const DiskArrayState& state,
                                                     std::uint32_t layoutType,
                                                     const QPoint& point) {
    for (ComponentKind kind : kComponentKinds) {
        const std::uint32_t count = ComponentCount(state, kind);
        for (std::uint32_t i = 0; i < count; ++i) {
            const QRect place = CabinetLayout::ComponentRect(layoutType, kind, i);
            if (place.isEmpty()) {
                break;
            }
            if (place.contains(point)) {
                return PackComponent(kind, i);
            }
        }
    }
    return std::nullopt;
}

void DiskPicture::Paint(QPainter& painter, const std::vector<FramedComponent>& framed,
                        const QPoint& origin) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.translate(origin);
    painter.setPen(kBodyEdge);
    painter.setBrush(kBody);
    painter.drawRect(QRect(0, 0, DiskLayout::kWidth, DiskLayout::kHeight).adjusted(0, 0, -1, -1));
    for (std::uint32_t i = 0; i < DiskLayout::kDisks; ++i) {
        DrawDrive(painter, DiskLayout::DiskRect(i));
    }
    for (const FramedComponent& disk : framed) {
        const QRect place = DiskLayout::DiskRect(disk.index);
        const std::optional<QColor> colour = FrameColour(disk.value);
        if (!place.isEmpty() && colour.has_value()) {
            DrawFrame(painter, place, *colour);
        }
    }
    painter.restore();
}

std::optional<std::uint32_t> DiskPicture::HitTest(std::uint32_t disks, const QPoint& point) {
    for (std::uint32_t i = 0; i < std::min(disks, DiskLayout::kDisks); ++i) {
        if (DiskLayout::DiskRect(i).contains(point)) {
            return i;
        }
    }
    return std::nullopt;
}

int LunBar::BarWidth(std::uint32_t capacity, std::uint32_t largest) {
    if (largest == 0) {
        return kMinimumBar;
    }
    const std::uint64_t width =
        static_cast<std::uint64_t>(std::min(capacity, largest)) * kBarWidth / largest;
    return std::max(static_cast<int>(width), kMinimumBar);
}

void LunBar::Paint(QPainter& painter, const Item& item, const QRect& rect, const Colours& colours,
                   const QFont& font) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QColor background = item.selected ? colours.highlight : colours.window;
    const QColor text = item.selected ? colours.highlightText : colours.windowText;
    painter.fillRect(rect, background);
    painter.setFont(font);
    painter.setPen(text);
    painter.drawText(QRect(rect.left() + 1, rect.top(), 14, rect.height()),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     QString::number(static_cast<unsigned long>(item.number)));
    const QRect bar(rect.left() + 15, rect.top() + 2, BarWidth(item.capacity, item.largest),
                    rect.height() - 4);
    painter.setPen(colours.activeBorder);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(bar.adjusted(0, 0, -1, -1));
    painter.setPen(background);
    painter.drawRect(bar.adjusted(1, 1, -2, -2));
    painter.fillRect(bar.adjusted(2, 2, -2, -2), QColor(0, 0, 255));
    painter.setPen(text);
    painter.drawText(QRect(rect.left(), rect.top(), rect.width() - 1, rect.height()),
                     Qt::AlignRight | Qt::AlignVCenter,
                     QString::fromStdString(GigabyteText(item.capacity)));
    if (item.focused) {
        painter.setPen(QPen(text, 1, Qt::DotLine));
        painter.drawRect(rect.adjusted(0, 0, -1, -1));
    }
    painter.restore();
}

std::vector<CapacityPicture::Row> CapacityPicture::Rows(const ArrayCapacity& capacity) {
    const Row figures[] = {
        {QColor(0, 0, 255), capacity.logicalDrives, true},
        {QColor(0, 255, 255), capacity.unallocated, true},
        {QColor(255, 255, 0), capacity.activeSpare, true},
        {QColor(0, 191, 0), capacity.dataRedundancy, true},
        {QColor(191, 191, 101), capacity.unincluded, true},
        {QColor(191, 0, 191), capacity.failed, true},
    };
    std::vector<Row> rows;
    for (const Row& row : figures) {
        if (row.value != 0) {
            rows.push_back(row);
        }
    }
    rows.push_back(Row{QColor(), capacity.total, false});
    return rows;
}

QRect CapacityPicture::PieRect(const ArrayCapacity& capacity, const QPoint& origin) {
    const int y = origin.y() + static_cast<int>(Rows(capacity).size()) * kRowHeight;
    return QRect(origin.x(), y + 20, kValueRight, 100);
}

void CapacityPicture::Paint(QPainter& painter, const ArrayCapacity& capacity, const QPoint& origin,
                            const QColor& text, const QFont& font) {
    static constexpr TextId kLabels[] = {txt::kCapLogicalDrives, txt::kCapUnallocated,
                                         txt::kCapActiveSpare,   txt::kCapRedundancy,
                                         txt::kCapUnincluded,    txt::kFailed};
    const std::uint32_t values[] = {capacity.logicalDrives, capacity.unallocated,
                                    capacity.activeSpare,   capacity.dataRedundancy,
                                    capacity.unincluded,    capacity.failed};
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setFont(font);
    const std::vector<Row> rows = Rows(capacity);
    int y = origin.y();
    std::size_t label = 0;
    for (const Row& row : rows) {
        TextId name = txt::kCapTotal;
        if (row.swatch) {
            while (label < std::size(values) && values[label] == 0) {
                ++label;
            }
            name = kLabels[label++];
            painter.setPen(text);
            painter.setBrush(row.colour);
            painter.drawRect(QRect(origin.x(), y, 16, 12).adjusted(0, 0, -1, -1));
        }
        painter.setPen(text);
        painter.drawText(QRect(origin.x() + 21, y - 1, 150, kRowHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, QText(name) + ":");
        painter.drawText(QRect(origin.x(), y - 1, kValueRight, kRowHeight),
                         Qt::AlignRight | Qt::AlignVCenter,
                         QString::fromStdString(GigabyteText(row.value)));
        y += kRowHeight;
    }
    const QRect pie = PieRect(capacity, origin);
    CPieChart chart;
    chart.Create(pie.left(), pie.top(), pie.left() + pie.width(), pie.top() + pie.height(),
                 kPieDepth, kPieSlices);
    for (const Row& row : rows) {
        if (row.swatch) {
            chart.AddSlice(row.colour, row.value);
        }
    }
    chart.Layout();
    chart.Paint(painter);
    painter.restore();
}

}  // namespace oru
