// The pie chart of the Capacity page: a pie with a visible side wall, seen
// slightly from above. Slices are added with their colour and value, then
// laid out once; painting draws the side wall of every slice that faces the
// viewer, then the top face, in black outline.
//
// The first slice is centred on the positive x axis (3 o'clock); the others
// follow counterclockwise. A pie whose values sum to 0 draws nothing.
#pragma once

#include <QColor>
#include <QPainterPath>
#include <QPoint>
#include <QRect>

#include <cstdint>
#include <vector>

class QPainter;

namespace oru {

class CPieChart {
  public:
    struct Slice {
        QColor colour;
        std::uint64_t value = 0;
        double start = 0;  // angles in radians, counterclockwise from 3 o'clock
        double end = 0;
        QPoint edge;        // where the slice ends on the top face's rim
        QPainterPath wall;  // its part of the side wall (empty when it faces away)
    };

    // The pie's bounding box (right and bottom outside it), the height of
    // its side wall, and the most slices it takes.
    void Create(int left, int top, int right, int bottom, int depth, int maxSlices);
    // Adds a slice; values of 0, slices beyond the maximum and slices added
    // after the layout are ignored. True when it was taken.
    bool AddSlice(const QColor& colour, std::uint64_t value);
    // Computes the angles, rim points and side-wall parts.
    void Layout();
    void Paint(QPainter& painter) const;

    const std::vector<Slice>& Slices() const { return slices_; }
    std::uint64_t Total() const { return total_; }
    // The top face's ellipse.
    QRect TopEllipse() const;

  private:
    int left_ = 0;
    int top_ = 0;
    int right_ = 0;
    int bottom_ = 0;
    int depth_ = 0;
    int maxSlices_ = 0;
    bool laidOut_ = false;
    std::uint64_t total_ = 0;
    std::vector<Slice> slices_;
};

}  // namespace oru
