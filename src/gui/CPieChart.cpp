#include "gui/CPieChart.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace oru {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDegrees16 = 180.0 * 16.0 / kPi;

int RoundAway(double value) {
    return static_cast<int>(value < 0 ? std::ceil(value - 0.5) : std::floor(value + 0.5));
}

}  // namespace

void CPieChart::Create(int left, int top, int right, int bottom, int depth, int maxSlices) {
    left_ = left;
    top_ = top;
    right_ = std::max(right, left);
    depth_ = std::clamp(depth, 0, std::max(0, bottom - top));
    bottom_ = std::max(bottom, top);
    maxSlices_ = std::max(maxSlices, 0);
    laidOut_ = false;
    total_ = 0;
    slices_.clear();
}

bool CPieChart::AddSlice(const QColor& colour, std::uint64_t value) {
    if (value == 0 || laidOut_ || static_cast<int>(slices_.size()) >= maxSlices_) {
        return false;
    }
    Slice slice;
    slice.colour = colour;
    slice.value = value;
    slices_.push_back(slice);
    return true;
}

QRect CPieChart::TopEllipse() const {
    return QRect(left_, top_, right_ - left_, bottom_ - depth_ - top_);
}

void CPieChart::Layout() {
    if (laidOut_) {
        return;
    }
    laidOut_ = true;
    total_ = 0;
    for (const Slice& slice : slices_) {
        total_ += slice.value;
    }
    if (total_ == 0) {
        return;
    }
    const double rx = (right_ - left_ + 1) / 2;
    const double ry = (bottom_ - top_ - depth_ + 1) / 2;
    const QRectF top = QRectF(TopEllipse());
    const QPointF centre = top.center();
    // The side wall: what the bottom ellipse and the band between the two
    // centres cover and the top face does not.
    QPainterPath wall;
    if (depth_ > 0) {
        QPainterPath below;
        below.addEllipse(top.translated(0, depth_));
        below.addRect(QRectF(top.left(), centre.y(), top.width(), depth_));
        below.setFillRule(Qt::WindingFill);
        QPainterPath face;
        face.addEllipse(top);
        wall = below.simplified().subtracted(face);
    }
    const double total = static_cast<double>(total_);
    double angle = -kPi * static_cast<double>(slices_.front().value) / total;
    for (Slice& slice : slices_) {
        slice.start = angle;
        angle += 2 * kPi * static_cast<double>(slice.value) / total;
        slice.end = angle;
        slice.edge = QPoint(RoundAway(centre.x() + rx * std::cos(angle)),
                            RoundAway(centre.y() - ry * std::sin(angle)));
        if (wall.isEmpty()) {
            continue;
        }
        if (slices_.size() == 1) {
            slice.wall = wall;
            continue;
        }
        // The lower half of the rim is the angles (pi, 2 pi) and their turns;
        // there the rim's x grows with the angle.
        for (int turn = -1; turn <= 1; ++turn) {
            const double low = std::max(slice.start, kPi + 2 * kPi * turn);
            const double high = std::min(slice.end, 2 * kPi + 2 * kPi * turn);
            if (high <= low) {
                continue;
            }
            const double x1 = centre.x() + rx * std::cos(low);
            const double x2 = centre.x() + rx * std::cos(high);
            QPainterPath band;
            band.addRect(QRectF(QPointF(std::min(x1, x2), top.top()),
                                QPointF(std::max(x1, x2), top.bottom() + depth_ + 1)));
            slice.wall = slice.wall.united(wall.intersected(band));
        }
    }
}

void CPieChart::Paint(QPainter& painter) const {
    if (!laidOut_ || total_ == 0) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(Qt::black, 1));
    const QRect top = TopEllipse();
    for (const Slice& slice : slices_) {
        if (!slice.wall.isEmpty()) {
            painter.setBrush(slice.colour);
            painter.drawPath(slice.wall);
        }
    }
    if (slices_.size() == 1) {
        painter.setBrush(slices_.front().colour);
        painter.drawEllipse(top);
    } else {
        for (const Slice& slice : slices_) {
            const int start = static_cast<int>(std::lround(slice.start * kDegrees16));
            const int end = static_cast<int>(std::lround(slice.end * kDegrees16));
            if (end == start) {
                continue;  // too thin to draw
            }
            painter.setBrush(slice.colour);
            painter.drawPie(top, start, end - start);
        }
    }
    if (depth_ > 0) {
        const int middle = top.top() + top.height() / 2;
        painter.drawLine(top.left(), middle, top.left(), middle + depth_);
        painter.drawLine(top.right(), middle, top.right(), middle + depth_);
    }
    painter.restore();
}

}  // namespace oru
