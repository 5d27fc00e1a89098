// The pictures of the Device Properties sheet, each a painter that takes
// what it shows and where, so a test can paint it into a QImage and probe
// its pixels: the status images of the trees, the cabinet with its framed
// components, the disk picture of the Diagnostics page, one bar of the
// logical-drive list, and the capacity legend with its pie.
#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPoint>
#include <QRect>

#include <cstdint>
#include <optional>
#include <vector>

#include "gui/ArrayComponents.h"
#include "gui/DeviceStatus.h"

class QPainter;

namespace oru {

// Image `index` of the status image list (16 x 16): 0 an empty slot,
// 6 not in use or unknown (blue), 7 normal (green), 8 warning (yellow),
// 9 error (red).
QIcon StatusImage(int index);

// The colour of the frame around a component of this status: 1 white, 2
// and 10 blue, 4 yellow, 5 to 7 red; none for any other value.
std::optional<QColor> FrameColour(int statusValue);

// A component framed in a picture.
struct FramedComponent {
    ComponentKind kind = ComponentKind::kDisk;
    std::uint32_t index = 0;
    int value = DS_NO_DATA;
};

// The array cabinet of the Status page, drawn for its layout type (1, 2 or
// any other), with a frame in its status colour around every listed
// component the picture has a place for.
struct CabinetPicture {
    // The picture with its top left corner at `origin`.
    static void Paint(QPainter& painter, std::uint32_t layoutType,
                      const std::vector<FramedComponent>& framed, const QPoint& origin);
    // How many of the state's components the picture has no place for (all
    // of them counted, not only the framed ones); 0 for a layout without
    // places.
    static int NotShown(const DiskArrayState& state, std::uint32_t layoutType);
    // The component whose place holds `point` (picture coordinates), the
    // groups searched in tree order; only components the state holds.
    static std::optional<std::uint32_t> HitTest(const DiskArrayState& state,
                                                std::uint32_t layoutType, const QPoint& point);
};

// The two columns of disks of the Diagnostics page, framed like the cabinet.
struct DiskPicture {
    static void Paint(QPainter& painter, const std::vector<FramedComponent>& framed,
                      const QPoint& origin);
    // The disk whose place holds `point` (picture coordinates), among the
    // `disks` the state holds.
    static std::optional<std::uint32_t> HitTest(std::uint32_t disks, const QPoint& point);
};

// One item of the logical-drive list (item height 25).
struct LunBar {
    static constexpr int kItemHeight = 25;
    static constexpr int kBarWidth = 225;
    static constexpr int kMinimumBar = 4;

    struct Item {
        std::uint32_t number = 0;
        std::uint32_t capacity = 0;  // hundredths of a GB
        std::uint32_t largest = 0;   // the largest listed capacity
        bool selected = false;
        bool focused = false;
    };
    struct Colours {
        QColor window;
        QColor windowText;
        QColor highlight;
        QColor highlightText;
        QColor activeBorder;
    };

    // The bar's width in pixels: capacity x 225 / largest, at least 4 (and
    // 4 when every listed capacity is 0).
    static int BarWidth(std::uint32_t capacity, std::uint32_t largest);
    static void Paint(QPainter& painter, const Item& item, const QRect& rect,
                      const Colours& colours, const QFont& font);
};

// The Capacity page: a legend row per nonzero figure, then "Total", then the
// pie of the six figures.
struct CapacityPicture {
    static constexpr int kRowHeight = 15;
    static constexpr int kValueRight = 200;
    static constexpr int kPieDepth = 20;
    static constexpr int kPieSlices = 10;

    struct Row {
        QColor colour;
        std::uint32_t value = 0;
        bool swatch = true;
    };
    // The legend's rows in order: logical drives, unallocated, active
    // spare, data redundancy, unincluded, failed (each only when nonzero),
    // then total (always, without a swatch).
    static std::vector<Row> Rows(const ArrayCapacity& capacity);
    // The pie's rectangle below the legend that starts at origin.
    static QRect PieRect(const ArrayCapacity& capacity, const QPoint& origin);
    static void Paint(QPainter& painter, const ArrayCapacity& capacity, const QPoint& origin,
                      const QColor& text, const QFont& font);
};

}  // namespace oru
