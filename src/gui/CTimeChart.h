// The time chart of the Performance page: a stack of strip charts over one
// hourly time axis, with an interval between two marks that the user drags.
//
// The chart is plain drawing state: the page creates it over a rectangle,
// sets the time axis and adds its series, lays it out, and hands it mouse
// positions and scroll positions; Paint draws it into any painter, so a test
// can paint it into an image. Geometry: the label column is the left 18% of
// the rectangle, the axis strip the bottom 9%, the interval label strip the
// top margin; the plot is the rest. Sample i of the visible window occupies
// the 5 pixels after x = plot left + 3 + 6 i.
//
// Every division is guarded: a series whose samples are all 0 is drawn
// against a maximum of 1, grid steps never reach 0, and sample values are
// 32-bit (bar heights are computed in 64 bits).
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

#include <cstdint>
#include <vector>

#include "gui/GuiTextIds.h"

class QPainter;

namespace oru {

// Where the window and the interval stood, kept by the page across the
// chart's rebuilds (a switch between the Events and Thresholds views keeps
// the interval when the data did not change).
struct ChartPosition {
    bool valid = false;
    std::uint32_t start = 0;
    std::uint32_t interval = 0;
    int count = 0;
    int visible = 0;
    int windowStart = 0;
    int markStart = 0;  // positions between samples, 0..visible, counted
    int markEnd = 0;    // from the window's first sample
};

class CTimeChart {
  public:
    enum Style { kEventMarks = 1, kBars = 2, kThresholdBars = 3, kThresholdWhole = 4 };
    enum Hit {
        kOutside = 0,
        kStartMark = 1,
        kEndMark = 2,
        kPlot = 3,
        kInterval = 4,
        kAxis = 5,
        kLabels = 6
    };

    struct Series {
        TextId label;
        QString text;
        Style style = kBars;
        int weight = 1;
        QColor colour;
        std::uint32_t reference = 0;
        int scaleCode = 0;  // grid values shown divided by 10^scaleCode
        bool percent = false;
        std::vector<std::uint32_t> samples;
        // Laid out:
        QRect band;
        std::uint32_t maximum = 1;
        std::uint32_t gridStep = 1;
        int spacing = 1;
        int gridLines = 1;
    };

    // The chart over `rect` with a top margin for the interval label and
    // room for `capacity` series; `saved` (may be null) keeps the position.
    void Create(ChartPosition* saved, const QRect& rect, int topMargin, int capacity);
    // Drops the series and the layout (the rectangle stays).
    void Clear();
    // Samples start at `start` (rounded to the nearest hour), one every
    // `interval` seconds; long ticks every `tickStep` hours; `count` samples.
    void SetTimeAxis(std::uint32_t start, std::uint32_t interval, int tickStep, int dayLength,
                     int count);
    // The samples that scale the thresholds of percent series (disks).
    void SetReferenceLine(std::vector<std::uint32_t> samples);
    // False when the chart holds `capacity` series already.
    bool AddSeries(TextId label, Style style, int weight, const QColor& colour,
                   std::uint32_t reference, int scaleCode, bool percent);
    // Gives the series of that label its samples (copied).
    void AttachSamples(TextId label, const std::vector<std::uint32_t>& samples);

    // Lays the chart out for the page's hour of day and interval length (in
    // samples); nothing happens without series or when already laid out.
    // True when the data has more samples than the plot shows (a scroll bar
    // is needed).
    bool Layout(int hourOfDay, int intervalLength);
    bool LaidOut() const { return laidOut_; }

    // Scrolling: the window start goes from 0 to ScrollRange().
    int ScrollRange() const;
    int WindowStart() const { return windowStart_; }
    int Visible() const { return visible_; }
    int Count() const { return count_; }
    void ScrollTo(int windowStart);

    Hit HitTest(const QPoint& point) const;
    // Dragging a mark (kStartMark, kEndMark) or the interval (kInterval);
    // the marks move while dragging and are kept on EndDrag.
    void BeginDrag(Hit what, const QPoint& point);
    void MoveDrag(const QPoint& point);
    void EndDrag();
    bool Dragging() const { return drag_ != kOutside; }

    int MarkStart() const { return Dragging() ? dragStart_ : markStart_; }
    int MarkEnd() const { return Dragging() ? dragEnd_ : markEnd_; }
    // The times of the interval's ends (seconds since 1970).
    std::uint32_t IntervalStart() const;
    std::uint32_t IntervalEnd() const;
    std::uint32_t AxisStart() const { return axisStart_; }

    void Paint(QPainter& painter) const;

    // --- geometry, for the page and for tests ---
    const QRect& Rect() const { return rect_; }
    const QRect& Plot() const { return plot_; }
    const QRect& LabelColumn() const { return labels_; }
    const QRect& AxisStrip() const { return axis_; }
    const QRect& IntervalStrip() const { return intervalStrip_; }
    const std::vector<Series>& AllSeries() const { return series_; }
    const QFont& LabelFont() const { return font_; }
    // x of the boundary before visible sample `position` (a mark's x).
    int MarkX(int position) const { return plot_.left() + 3 + 6 * position; }
    // The visible sample under x.
    int SampleAt(int x) const { return (x - (plot_.left() + 3) + 2) / 6; }
    // The pixel height of value v in a series.
    static int BarHeight(std::uint64_t value, const Series& series);
    // The grid step for a maximum of `maximum` split n ways: the largest of
    // 1, 2, 5, 10, 20, 50, ... not above maximum / n (1 when none is).
    static std::uint32_t GridStep(std::uint32_t maximum, int n);
    // A grid value as the series shows it ("12", "0.25").
    static QString ValueText(std::uint64_t value, int scaleCode);

  private:
    void LayoutSeries(Series& series, int textHeight);
    void PlaceWindow(int hourOfDay, int intervalLength);
    void SaveTo() const;
    std::uint32_t SampleOf(const Series& series, int windowIndex) const;
    std::uint32_t ThresholdAt(const Series& series, int windowIndex) const;
    void PaintAxis(QPainter& painter) const;
    void PaintSeries(QPainter& painter, const Series& series) const;

    ChartPosition* saved_ = nullptr;
    QRect rect_;
    int topMargin_ = 0;
    int capacity_ = 0;
    QFont font_;
    std::vector<Series> series_;
    std::vector<std::uint32_t> reference_;

    std::uint32_t axisStart_ = 0;
    std::uint32_t interval_ = 3600;
    int tickStep_ = 6;
    int dayLength_ = 24;
    int count_ = 0;

    bool laidOut_ = false;
    QRect labels_;
    QRect plot_;
    QRect axis_;
    QRect intervalStrip_;
    int visible_ = 0;
    int windowStart_ = 0;
    int markStart_ = 0;
    int markEnd_ = 0;

    Hit drag_ = kOutside;
    int dragAnchor_ = 0;
    int dragStart_ = 0;
    int dragEnd_ = 0;
};

}  // namespace oru
