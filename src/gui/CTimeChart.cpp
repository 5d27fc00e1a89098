#include "gui/CTimeChart.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <ctime>
#include <limits>

#include "gui/Messages.h"

namespace oru {
namespace {

constexpr int kSampleWidth = 6;
constexpr int kLabelColumnPercent = 18;
constexpr int kAxisStripPercent = 9;
constexpr int kLabelPixels = 11;
const QColor kIntervalBacking(0, 191, 191);
const QColor kGreen(0, 255, 0);
const QColor kRed(255, 0, 0);

std::tm LocalTime(std::uint32_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&t, &local);
    return local;
}

}  // namespace

void CTimeChart::Create(ChartPosition* saved, const QRect& rect, int topMargin, int capacity) {
    saved_ = saved;
    rect_ = rect;
    topMargin_ = std::max(topMargin, 0);
    capacity_ = std::max(capacity, 0);
    font_ = QFont(QText(txt::kLabelFont));
    font_.setStyleHint(QFont::SansSerif);
    font_.setPixelSize(kLabelPixels);
    font_.setWeight(QFont::Normal);
    Clear();
}

void CTimeChart::Clear() {
    series_.clear();
    reference_.clear();
    count_ = 0;
    laidOut_ = false;
    visible_ = 0;
    windowStart_ = 0;
    markStart_ = 0;
    markEnd_ = 0;
    drag_ = kOutside;
}

void CTimeChart::SetTimeAxis(std::uint32_t start, std::uint32_t interval, int tickStep,
                             int dayLength, int count) {
    // To the nearest hour; a start in the last half hour before 2^32 stays.
    axisStart_ = start <= std::numeric_limits<std::uint32_t>::max() - 1800
                     ? (start + 1800) / 3600 * 3600
                     : start;
    interval_ = std::max<std::uint32_t>(interval, 1);
    tickStep_ = std::max(tickStep, 1);
    dayLength_ = std::max(dayLength, 1);
    count_ = std::max(count, 0);
    laidOut_ = false;
}

void CTimeChart::SetReferenceLine(std::vector<std::uint32_t> samples) {
    reference_ = std::move(samples);
}

bool CTimeChart::AddSeries(TextId label, Style style, int weight, const QColor& colour,
                           std::uint32_t reference, int scaleCode, bool percent) {
    if (static_cast<int>(series_.size()) >= capacity_) {
        return false;
    }
    Series series;
    series.label = label;
    series.text = QText(label);
    series.style = style;
    series.weight = std::max(weight, 1);
    series.colour = colour;
    series.reference = reference;
    series.scaleCode = std::clamp(scaleCode, 0, 9);
    series.percent = percent;
    series_.push_back(std::move(series));
    laidOut_ = false;
    return true;
}

void CTimeChart::AttachSamples(TextId label, const std::vector<std::uint32_t>& samples) {
    for (Series& series : series_) {
        if (series.label.set == label.set && series.label.number == label.number) {
            series.samples = samples;
        }
    }
    laidOut_ = false;
}

std::uint32_t CTimeChart::GridStep(std::uint32_t maximum, int n) {
    const std::uint64_t limit = maximum / static_cast<std::uint32_t>(std::max(n, 1));
    std::uint64_t best = 1;
    for (std::uint64_t decade = 1; decade <= limit; decade *= 10) {
        for (std::uint64_t factor : {1u, 2u, 5u}) {
            if (decade * factor <= limit) {
                best = decade * factor;
            }
        }
    }
    return static_cast<std::uint32_t>(best);
}

int CTimeChart::BarHeight(std::uint64_t value, const Series& series) {
    const std::uint64_t usable = static_cast<std::uint64_t>(std::max(series.band.height() - 3, 0));
    const std::uint64_t maximum = std::max<std::uint32_t>(series.maximum, 1);
    const std::uint64_t height = std::min(value, maximum) * usable / maximum;
    return static_cast<int>(height);
}

QString CTimeChart::ValueText(std::uint64_t value, int scaleCode) {
    if (scaleCode <= 0) {
        return QString::number(value);
    }
    std::uint64_t divisor = 1;
    for (int i = 0; i < scaleCode; ++i) {
        divisor *= 10;
    }
    return QStringLiteral("%1.%2")
        .arg(value / divisor)
        .arg(value % divisor, scaleCode, 10, QLatin1Char('0'));
}

void CTimeChart::LayoutSeries(Series& series, int textHeight) {
    std::uint32_t low = std::numeric_limits<std::uint32_t>::max();
    std::uint32_t high = 0;
    for (std::uint32_t sample : series.samples) {
        low = std::min(low, sample);
        high = std::max(high, sample);
    }
    if (series.samples.empty()) {
        low = high = 0;
    }
    if (high == low && high != std::numeric_limits<std::uint32_t>::max()) {
        high = low + 1;
    }
    series.maximum = std::max<std::uint32_t>(high, 1);
    const std::uint64_t usable = static_cast<std::uint64_t>(std::max(series.band.height() - 3, 0));
    // The smallest step whose grid lines stay a text height apart; the
    // largest step when none does.
    std::uint64_t spacing = 0;
    for (int n = 5; n >= 1; --n) {
        series.gridStep = GridStep(series.maximum, n);
        spacing = series.gridStep * usable / series.maximum;
        if (spacing >= static_cast<std::uint64_t>(textHeight)) {
            break;
        }
    }
    series.spacing = static_cast<int>(std::clamp<std::uint64_t>(spacing, 1, 1u << 20));
    series.gridLines = std::max((series.band.height() - textHeight) / series.spacing + 1, 1);
}

bool CTimeChart::Layout(int hourOfDay, int intervalLength) {
    if (laidOut_) {
        return ScrollRange() > 0;
    }
    if (series_.empty()) {
        return false;
    }
    const QFontMetrics metrics(font_);
    const int textHeight = metrics.height();
    const int labelWidth = rect_.width() * kLabelColumnPercent / 100;
    const int axisHeight = rect_.height() * kAxisStripPercent / 100;
    const int strip = std::max(topMargin_, textHeight + 2);
    const int plotWidth = rect_.width() - labelWidth;
    labels_ = QRect(rect_.left(), rect_.top(), labelWidth, rect_.height());
    plot_ = QRect(rect_.left() + labelWidth, rect_.top() + strip, plotWidth,
                  std::max(rect_.height() - strip - axisHeight, 0));
    visible_ = std::max(plot_.width() / kSampleWidth - 1, 0);
    if (count_ < visible_) {
        // Fewer samples than the plot holds: it ends 3 pixels after the last.
        visible_ = count_;
        plot_.setWidth(3 + kSampleWidth * count_ + 3);
    }
    axis_ = QRect(plot_.left(), plot_.bottom() + 1, plot_.width(), axisHeight);
    intervalStrip_ = QRect(plot_.left(), rect_.top(), plot_.width(), strip);

    // Bands in proportion to the weights, the last series lowest; the
    // first takes what the rounding leaves.
    int totalWeight = 0;
    for (const Series& series : series_) {
        totalWeight += series.weight;
    }
    int bottom = plot_.bottom() + 1;
    for (std::size_t i = series_.size(); i-- > 0;) {
        Series& series = series_[i];
        const int height = i == 0 ? bottom - plot_.top()
                                  : plot_.height() * series.weight / std::max(totalWeight, 1);
        series.band = QRect(plot_.left(), bottom - height, plot_.width(), height);
        bottom -= height;
        LayoutSeries(series, textHeight);
    }
    PlaceWindow(hourOfDay, intervalLength);
    laidOut_ = true;
    return ScrollRange() > 0;
}

void CTimeChart::PlaceWindow(int hourOfDay, int intervalLength) {
    if (saved_ != nullptr && saved_->valid && saved_->start == axisStart_ &&
        saved_->interval == interval_ && saved_->count == count_ && saved_->visible == visible_) {
        windowStart_ = std::clamp(saved_->windowStart, 0, ScrollRange());
        markEnd_ = std::clamp(saved_->markEnd, 0, visible_);
        markStart_ = std::clamp(saved_->markStart, 0, markEnd_);
        return;
    }
    windowStart_ = std::max(count_ - visible_, 0);
    const std::uint64_t end =
        static_cast<std::uint64_t>(axisStart_) + static_cast<std::uint64_t>(interval_) * count_;
    const int endHour =
        LocalTime(static_cast<std::uint32_t>(std::min<std::uint64_t>(end, 0xFFFFFFFFu))).tm_hour;
    // C++'s % keeps the sign of a negative difference: brought into 0..23.
    const int back = ((endHour - hourOfDay) % dayLength_ + dayLength_) % dayLength_;
    markEnd_ = visible_ - back;
    if (markEnd_ < 0) {
        markEnd_ = visible_;
    }
    markStart_ = std::max(markEnd_ - std::max(intervalLength, 0), 0);
    SaveTo();
}

void CTimeChart::SaveTo() const {
    if (saved_ == nullptr) {
        return;
    }
    saved_->valid = true;
    saved_->start = axisStart_;
    saved_->interval = interval_;
    saved_->count = count_;
    saved_->visible = visible_;
    saved_->windowStart = windowStart_;
    saved_->markStart = markStart_;
    saved_->markEnd = markEnd_;
}

int CTimeChart::ScrollRange() const {
    return std::max(count_ - visible_, 0);
}

void CTimeChart::ScrollTo(int windowStart) {
    windowStart_ = std::clamp(windowStart, 0, ScrollRange());
    SaveTo();
}

CTimeChart::Hit CTimeChart::HitTest(const QPoint& point) const {
    if (!laidOut_) {
        return kOutside;
    }
    if (labels_.contains(point)) {
        return kLabels;
    }
    if (axis_.contains(point)) {
        return kAxis;
    }
    if (!plot_.contains(point)) {
        return kOutside;
    }
    const int start = MarkX(markStart_);
    const int end = MarkX(markEnd_);
    if (point.x() >= start - 2 && point.x() <= start + 1) {
        return kStartMark;
    }
    if (point.x() >= end - 2 && point.x() <= end + 1) {
        return kEndMark;
    }
    if (point.x() > start && point.x() < end) {
        return kInterval;
    }
    return kPlot;
}

void CTimeChart::BeginDrag(Hit what, const QPoint& point) {
    if (what != kStartMark && what != kEndMark && what != kInterval) {
        return;
    }
    drag_ = what;
    dragStart_ = markStart_;
    dragEnd_ = markEnd_;
    dragAnchor_ = std::clamp(SampleAt(point.x()), 0, visible_);
}

void CTimeChart::MoveDrag(const QPoint& point) {
    const int position = std::clamp(SampleAt(point.x()), 0, visible_);
    switch (drag_) {
        case kStartMark:
            dragStart_ = std::min(position, dragEnd_);
            break;
        case kEndMark:
            dragEnd_ = std::clamp(position, dragStart_, visible_);
            break;
        case kInterval: {
            const int width = markEnd_ - markStart_;
            dragStart_ = std::clamp(markStart_ + position - dragAnchor_, 0, visible_ - width);
            dragEnd_ = dragStart_ + width;
            break;
        }
        default:
            break;
    }
}

void CTimeChart::EndDrag() {
    if (!Dragging()) {
        return;
    }
    markStart_ = dragStart_;
    markEnd_ = dragEnd_;
    drag_ = kOutside;
    SaveTo();
}

std::uint32_t CTimeChart::IntervalStart() const {
    const std::uint64_t t =
        axisStart_ + static_cast<std::uint64_t>(windowStart_ + markStart_) * interval_;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(t, 0xFFFFFFFFu));
}

std::uint32_t CTimeChart::IntervalEnd() const {
    const std::uint64_t t =
        axisStart_ + static_cast<std::uint64_t>(windowStart_ + markEnd_) * interval_;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(t, 0xFFFFFFFFu));
}

std::uint32_t CTimeChart::SampleOf(const Series& series, int windowIndex) const {
    const std::size_t index = static_cast<std::size_t>(windowStart_ + windowIndex);
    return index < series.samples.size() ? series.samples[index] : 0;
}

std::uint32_t CTimeChart::ThresholdAt(const Series& series, int windowIndex) const {
    std::uint64_t threshold = series.reference;
    if (series.percent) {
        const std::size_t index = static_cast<std::size_t>(windowStart_ + windowIndex);
        threshold *= index < reference_.size() ? reference_[index] : 0;
    }
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(threshold, 0xFFFFFFFFu));
}

void CTimeChart::Paint(QPainter& painter) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setClipRect(rect_);
    painter.fillRect(rect_, QApplication::palette().color(QPalette::Button));
    painter.setFont(font_);
    if (!laidOut_) {
        painter.setPen(QApplication::palette().color(QPalette::ButtonText));
        painter.drawText(rect_, Qt::AlignCenter, QText(txt::kNoPerfData));
        painter.restore();
        return;
    }
    if (markEnd_ > markStart_) {
        painter.fillRect(QRect(QPoint(MarkX(markStart_), plot_.top()),
                               QPoint(MarkX(markEnd_) - 1, plot_.bottom())),
                         kIntervalBacking);
    }
    for (const Series& series : series_) {
        PaintSeries(painter, series);
    }
    PaintAxis(painter);
    // The interval's length, centred over it.
    const int hours =
        static_cast<int>(static_cast<std::uint64_t>(markEnd_ - markStart_) * interval_ / 3600);
    const QString length =
        hours >= 24 ? QText(txt::kDaysHours, hours / 24, hours % 24) : QText(txt::kHours, hours);
    const int centre = (MarkX(markStart_) + MarkX(markEnd_)) / 2;
    painter.setPen(QApplication::palette().color(QPalette::ButtonText));
    painter.drawText(QRect(centre - 100, intervalStrip_.top(), 200, intervalStrip_.height()),
                     Qt::AlignCenter, length);
    if (Dragging()) {
        painter.setCompositionMode(QPainter::RasterOp_NotDestination);
        for (int mark : {dragStart_, dragEnd_}) {
            painter.fillRect(QRect(MarkX(mark) - 1, plot_.top(), 2, plot_.height()), Qt::black);
        }
    }
    painter.restore();
}

void CTimeChart::PaintAxis(QPainter& painter) const {
    painter.save();
    painter.setClipRect(axis_);
    const QColor ink = QApplication::palette().color(QPalette::ButtonText);
    painter.setPen(ink);
    painter.drawLine(axis_.left(), axis_.top(), axis_.right(), axis_.top());
    const QFontMetrics metrics(font_);
    for (int i = 0; i < visible_; ++i) {
        const std::uint64_t t =
            axisStart_ + static_cast<std::uint64_t>(windowStart_ + i) * interval_;
        if (t > 0xFFFFFFFFu) {
            break;
        }
        const std::tm local = LocalTime(static_cast<std::uint32_t>(t));
        const int x = MarkX(i);
        const bool longTick = local.tm_hour % tickStep_ == 0;
        painter.drawLine(x, axis_.top(), x, axis_.top() + (longTick ? 6 : 3));
        QString label;
        if (local.tm_hour == 0) {
            label = QText(txt::kMonthDay, local.tm_mon + 1, local.tm_mday);
        } else if (local.tm_hour == 12) {
            label = QText(txt::kNoon);
        }
        if (!label.isEmpty()) {
            const int width = metrics.horizontalAdvance(label);
            painter.drawText(QRect(x - width / 2, axis_.top() + 7, width + 1, metrics.height()),
                             Qt::AlignCenter, label);
        }
    }
    painter.restore();
}

void CTimeChart::PaintSeries(QPainter& painter, const Series& series) const {
    const QRect& band = series.band;
    if (band.height() <= 0) {
        return;
    }
    const QColor ink = QApplication::palette().color(QPalette::ButtonText);
    const QFontMetrics metrics(font_);
    const int valueWidth = metrics.horizontalAdvance(QStringLiteral("0.00"));
    const int zero = band.bottom() - 2;  // the row above the base line
    painter.setPen(ink);
    painter.drawText(
        QRect(labels_.left() + 2, band.top(), labels_.width() - valueWidth - 12, band.height()),
        Qt::AlignLeft | Qt::AlignTop, series.text);
    if (series.style != kEventMarks) {
        painter.fillRect(QRect(plot_.left(), band.bottom() - 1, plot_.width(), 2), Qt::black);
        painter.drawLine(plot_.left(), band.top(), plot_.left(), band.bottom());
        painter.save();
        painter.setClipRect(labels_.united(QRect(plot_.left(), band.top(), 1, band.height())));
        for (int k = 0; k < series.gridLines; ++k) {
            const int y = zero - k * series.spacing;
            if (y < band.top()) {
                break;
            }
            const int tick = k == 0 ? 6 : 3;
            painter.drawLine(plot_.left() - tick, y, plot_.left() - 1, y);
            const QString value =
                ValueText(static_cast<std::uint64_t>(k) * series.gridStep, series.scaleCode);
            painter.drawText(QRect(labels_.left(), y - metrics.height() / 2, labels_.width() - 8,
                                   metrics.height()),
                             Qt::AlignRight | Qt::AlignVCenter, value);
        }
        painter.restore();
    }
    for (int i = 0; i < visible_; ++i) {
        const int x = MarkX(i) + 1;
        const std::uint32_t value = SampleOf(series, i);
        switch (series.style) {
            case kEventMarks: {
                QColor colour;
                if (value == 0) {
                    colour = Qt::white;
                } else if (value == 1) {
                    colour = kGreen;
                } else if (value == 2) {
                    colour = kRed;
                } else {
                    break;
                }
                painter.setPen(Qt::NoPen);
                painter.setBrush(colour);
                painter.drawEllipse(QRect(x, band.center().y() - 2, 5, 5));
                break;
            }
            case kBars: {
                const int height = BarHeight(value, series);
                painter.fillRect(QRect(x, zero - height + 1, 5, height), series.colour);
                break;
            }
            case kThresholdBars: {
                const int height = BarHeight(value, series);
                const int threshold = BarHeight(ThresholdAt(series, i), series);
                painter.fillRect(QRect(x, zero - height + 1, 5, height), kGreen);
                if (height > threshold) {
                    painter.fillRect(QRect(x, zero - height + 1, 5, height - threshold), kRed);
                }
                break;
            }
            case kThresholdWhole: {
                const int height = BarHeight(value, series);
                painter.fillRect(QRect(x, zero - height + 1, 5, height),
                                 value < ThresholdAt(series, i) ? kGreen : kRed);
                break;
            }
        }
    }
}

}  // namespace oru
