// The sheet's pictures painted into images and probed pixel by pixel: the
// pie, the capacity legend, the cabinet and disk frames, the logical-drive
// bars, and the time chart with its layout, marks, bars and bad input.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <cstdlib>
#include <ctime>
#include <limits>

#include "SheetTestSupport.h"
#include "gui/CPieChart.h"
#include "gui/CTimeChart.h"
#include "gui/SheetPictures.h"

namespace {

using oru::CTimeChart;

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
const QColor kBlue(0, 0, 255);
const QColor kWhite(255, 255, 255);
const QColor kBacking(0, 191, 191);

QImage Blank(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// 2023-11-14 00:00:00 UTC; the charts are read in UTC here.
constexpr std::uint32_t kMidnight = 1699920000;

class Charts : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }

    // A chart of 600 x 400 pixels with one series.
    void OneSeries(CTimeChart& chart, CTimeChart::Style style, std::vector<std::uint32_t> samples,
                   std::uint32_t start, std::uint32_t reference = 0, bool percent = false) {
        chart.Create(nullptr, QRect(0, 0, 600, 400), 10, 10);
        chart.SetTimeAxis(start, 3600, 6, 24, static_cast<int>(samples.size()));
        chart.AddSeries(oru::txt::kSeriesDisks, style, 25, kBlue, reference, 0, percent);
        chart.AttachSamples(oru::txt::kSeriesDisks, samples);
        chart.Layout(23, 8);
    }

    static QImage Paint(const CTimeChart& chart) {
        QImage image = Blank(600, 400);
        QPainter painter(&image);
        chart.Paint(painter);
        return image;
    }
};

TEST_F(Charts, ASingleSliceIsAWholeDiscWithItsSideWall) {
    oru::CPieChart pie;
    pie.Create(0, 0, 200, 100, 20, 10);
    ASSERT_TRUE(pie.AddSlice(kRed, 5));
    pie.Layout();
    QImage image = Blank(220, 120);
    QPainter painter(&image);
    pie.Paint(painter);
    painter.end();
    EXPECT_EQ(image.pixelColor(100, 40), kRed);  // the top face
    EXPECT_EQ(image.pixelColor(100, 90), kRed);  // the wall below the front
    EXPECT_EQ(image.pixelColor(5, 55), kRed);    // the wall at the left end
    EXPECT_EQ(image.pixelColor(195, 55), kRed);  // and at the right end
    EXPECT_EQ(image.pixelColor(100, 110), kWhite);
}

TEST_F(Charts, TheFirstSliceIsCentredOnTheRightAndTheWallsFollowTheSlices) {
    oru::CPieChart pie;
    pie.Create(0, 0, 200, 100, 20, 10);
    pie.AddSlice(kRed, 3);
    pie.AddSlice(kBlue, 1);
    pie.Layout();
    QImage image = Blank(220, 120);
    QPainter painter(&image);
    pie.Paint(painter);
    painter.end();
    // Red spans -135 to 135 degrees, blue the quarter on the left.
    EXPECT_EQ(image.pixelColor(170, 40), kRed);
    EXPECT_EQ(image.pixelColor(30, 40), kBlue);
    EXPECT_EQ(image.pixelColor(100, 90), kRed);
    EXPECT_EQ(image.pixelColor(5, 55), kBlue);  // blue's wall: x 0 to 29
    EXPECT_EQ(image.pixelColor(50, 85), kRed);  // red's wall from there on
    EXPECT_EQ(pie.Slices()[0].edge, QPoint(100 - 71, 40 - 28));
}

TEST_F(Charts, ZeroValuesDrawNothing) {
    oru::CPieChart pie;
    pie.Create(0, 0, 200, 100, 20, 10);
    EXPECT_FALSE(pie.AddSlice(kRed, 0));
    pie.Layout();
    EXPECT_FALSE(pie.AddSlice(kRed, 1));  // nothing after the layout
    QImage image = Blank(220, 120);
    QPainter painter(&image);
    pie.Paint(painter);
    painter.end();
    EXPECT_EQ(image, Blank(220, 120));
    // More slices than it takes are dropped.
    oru::CPieChart small;
    small.Create(0, 0, 200, 100, 20, 2);
    EXPECT_TRUE(small.AddSlice(kRed, 1));
    EXPECT_TRUE(small.AddSlice(kRed, 1));
    EXPECT_FALSE(small.AddSlice(kRed, 1));
}

TEST_F(Charts, TheCapacityLegendListsTheNonzeroFiguresAndTheirPie) {
    oru::ArrayCapacity capacity;
    capacity.logicalDrives = 100;
    capacity.unallocated = 200;
    capacity.dataRedundancy = 300;
    capacity.total = 600;
    const std::vector<oru::CapacityPicture::Row> rows = oru::CapacityPicture::Rows(capacity);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_FALSE(rows[3].swatch);
    QImage image = Blank(400, 300);
    QPainter painter(&image);
    const QPoint origin(100, 20);
    oru::CapacityPicture::Paint(painter, capacity, origin, Qt::black, QFont());
    painter.end();
    EXPECT_EQ(image.pixelColor(105, 25), kBlue);
    EXPECT_EQ(image.pixelColor(105, 40), QColor(0, 255, 255));
    EXPECT_EQ(image.pixelColor(105, 55), QColor(0, 191, 0));
    EXPECT_EQ(image.pixelColor(105, 70), kWhite);  // Total has no swatch
    const QRect pie = oru::CapacityPicture::PieRect(capacity, origin);
    EXPECT_EQ(pie, QRect(100, 20 + 60 + 20, 200, 100));
    const QPoint centre(pie.left() + 100, pie.top() + 40);
    EXPECT_EQ(image.pixelColor(centre + QPoint(60, 0)), kBlue);
    EXPECT_EQ(image.pixelColor(centre + QPoint(0, -25)), QColor(0, 255, 255));
    EXPECT_EQ(image.pixelColor(centre + QPoint(-60, 0)), QColor(0, 191, 0));
    // An array without capacity: only the total, and no pie.
    EXPECT_EQ(oru::CapacityPicture::Rows(oru::ArrayCapacity()).size(), 1u);
    QImage empty = Blank(400, 300);
    QPainter emptyPainter(&empty);
    oru::CapacityPicture::Paint(emptyPainter, oru::ArrayCapacity(), origin, Qt::black, QFont());
    emptyPainter.end();
    EXPECT_EQ(empty.pixelColor(centre), kWhite);
}

TEST_F(Charts, TheCabinetFramesComponentsInTheirStatusColour) {
    using oru::ComponentKind;
    const std::vector<oru::FramedComponent> framed = {
        {ComponentKind::kDisk, 4, oru::DS_CRITICAL_ERROR},
        {ComponentKind::kDisk, 11, oru::DS_EMPTY_SLOT},
        {ComponentKind::kFan, 3, oru::DS_WARNING},
        {ComponentKind::kController, 1, oru::DS_NO_DATA},
        {ComponentKind::kDisk, 12, oru::DS_CRITICAL_ERROR},  // no place: ignored
    };
    QImage image = Blank(200, 200);
    QPainter painter(&image);
    oru::CabinetPicture::Paint(painter, 2, framed, QPoint(0, 8));
    painter.end();
    // Disk A3 (index 4) sits at (21, 71)-(53, 84); its frame is that
    // rectangle less one pixel, 8 pixels down.
    EXPECT_EQ(image.pixelColor(22, 72 + 8), kRed);
    EXPECT_EQ(image.pixelColor(22, 76 + 8), kRed);
    EXPECT_NE(image.pixelColor(37, 77 + 8), kRed);
    // Disk A1 is Normal: no frame.
    EXPECT_NE(image.pixelColor(22, 102 + 8), kRed);
    // Disk B6 (index 11): an empty slot, framed white.
    EXPECT_EQ(image.pixelColor(59, 27 + 8), kWhite);
    // Fan 4 and controller Y.
    EXPECT_EQ(image.pixelColor(133, 8 + 8), QColor(255, 255, 0));
    EXPECT_EQ(image.pixelColor(113, 49 + 8), kBlue);
    // The other layouts frame nothing.
    QImage other = Blank(200, 200);
    QPainter otherPainter(&other);
    oru::CabinetPicture::Paint(otherPainter, 7, framed, QPoint(0, 8));
    otherPainter.end();
    EXPECT_NE(other.pixelColor(22, 72 + 8), kRed);
    EXPECT_NE(other.pixelColor(133, 8 + 8), QColor(255, 255, 0));
}

TEST_F(Charts, ComponentsBeyondTheCabinetAreCountedNotDrawn) {
    DiskArrayState state = guitest::SampleState();
    state.drives.resize(20);
    state.controllers.resize(3);
    state.hardware->values1.assign(9, 2);
    EXPECT_EQ(oru::CabinetPicture::NotShown(state, 2), 8 + 1 + 5);
    EXPECT_EQ(oru::CabinetPicture::NotShown(state, 5), 0);
    // A click lands only on places the state has components for.
    EXPECT_EQ(oru::CabinetPicture::HitTest(state, 2, QPoint(30, 75)),
              oru::PackComponent(oru::ComponentKind::kDisk, 4));
    state.drives.resize(3);
    EXPECT_EQ(oru::CabinetPicture::HitTest(state, 2, QPoint(30, 75)), std::nullopt);
    EXPECT_EQ(oru::CabinetPicture::HitTest(state, 2, QPoint(100, 60)),
              oru::PackComponent(oru::ComponentKind::kController, 0));
}

TEST_F(Charts, TheDiskPictureFramesItsDisks) {
    QImage image = Blank(120, 130);
    QPainter painter(&image);
    oru::DiskPicture::Paint(painter, {{oru::ComponentKind::kDisk, 3, oru::DS_WARNING}},
                            QPoint(5, 16));
    painter.end();
    // Disk B2 (index 3): (52, 66)-(84, 79), shifted by (5, 16).
    EXPECT_EQ(image.pixelColor(57, 82), QColor(255, 255, 0));
    EXPECT_NE(image.pixelColor(20, 16 + 82), QColor(255, 255, 0));
    EXPECT_EQ(oru::DiskPicture::HitTest(12, QPoint(60, 70)), 3u);
    EXPECT_EQ(oru::DiskPicture::HitTest(3, QPoint(60, 70)), std::nullopt);
}

TEST_F(Charts, LogicalDriveBarsAreScaledToTheLargest) {
    EXPECT_EQ(oru::LunBar::BarWidth(50, 100), 112);
    EXPECT_EQ(oru::LunBar::BarWidth(100, 100), 225);
    EXPECT_EQ(oru::LunBar::BarWidth(1, 100000), 4);
    EXPECT_EQ(oru::LunBar::BarWidth(0, 0), 4);  // every drive of 0 GB
    EXPECT_EQ(oru::LunBar::BarWidth(0xFFFFFFFF, 0xFFFFFFFF), 225);
    QImage image = Blank(400, 25);
    QPainter painter(&image);
    oru::LunBar::Colours colours{kWhite, Qt::black, kBlue, kWhite, QColor(128, 128, 128)};
    oru::LunBar::Paint(painter, {3, 50, 100, false, false}, QRect(0, 0, 400, 25), colours, QFont());
    painter.end();
    EXPECT_EQ(image.pixelColor(15 + 50, 12), kBlue);
    EXPECT_EQ(image.pixelColor(15, 12), QColor(128, 128, 128));  // its frame
    EXPECT_NE(image.pixelColor(15 + 150, 12), kBlue);
    EXPECT_EQ(image.pixelColor(15 + 50, 1), kWhite);  // 2 pixels inside the item
}

TEST_F(Charts, AChartWithFewSamplesIsShorterAndDoesNotScroll) {
    CTimeChart chart;
    OneSeries(chart, CTimeChart::kBars, {1, 2, 3}, kMidnight);
    EXPECT_TRUE(chart.LaidOut());
    EXPECT_EQ(chart.Visible(), 3);
    EXPECT_EQ(chart.ScrollRange(), 0);
    EXPECT_EQ(chart.Plot().width(), 3 + 18 + 3);
    EXPECT_EQ(chart.Plot().left(), 600 * 18 / 100);
    EXPECT_EQ(chart.AxisStrip().height(), 400 * 9 / 100);
    CTimeChart longer;
    std::vector<std::uint32_t> samples(200, 1);
    OneSeries(longer, CTimeChart::kBars, samples, kMidnight);
    EXPECT_EQ(longer.Visible(), (600 - 108) / 6 - 1);
    EXPECT_EQ(longer.ScrollRange(), 200 - longer.Visible());
    EXPECT_EQ(longer.WindowStart(), longer.ScrollRange());  // the newest samples
}

TEST_F(Charts, TheIntervalEndsAtTheLastElevenPmEvenWhenTheDataEndsEarlierInTheDay) {
    CTimeChart chart;
    // 100 hourly samples from 01:00: the data ends at 05:00, six hours
    // after 23:00 (-18 in C++'s remainder, which would put the mark after
    // the window).
    std::vector<std::uint32_t> samples(100, 1);
    OneSeries(chart, CTimeChart::kBars, samples, kMidnight + 3600);
    ASSERT_EQ(chart.Visible(), 81);
    EXPECT_EQ(chart.MarkEnd(), 81 - 6);
    EXPECT_EQ(chart.MarkStart(), 81 - 6 - 8);
    EXPECT_EQ(chart.IntervalEnd() % 86400, 23u * 3600);
    EXPECT_EQ(chart.IntervalEnd() - chart.IntervalStart(), 8u * 3600);
    // Data that ends at 23:00 ends the interval with the window.
    CTimeChart atEleven;
    OneSeries(atEleven, CTimeChart::kBars, samples, kMidnight + 19 * 3600);
    EXPECT_EQ(atEleven.MarkEnd(), 81);
    // An end mark that would fall before the window is the window's end.
    CTimeChart few;
    OneSeries(few, CTimeChart::kBars, {1, 2, 3}, kMidnight + 3600);
    EXPECT_EQ(few.MarkEnd(), 3);
    EXPECT_EQ(few.MarkStart(), 0);
}

TEST_F(Charts, GridStepsGrowWithTheMaximumAndNeverDivideByZero) {
    EXPECT_EQ(CTimeChart::GridStep(65535, 5), 10000u);
    EXPECT_EQ(CTimeChart::GridStep(100, 5), 20u);
    EXPECT_EQ(CTimeChart::GridStep(4, 5), 1u);
    EXPECT_EQ(CTimeChart::GridStep(0xFFFFFFFF, 1), 2000000000u);
    CTimeChart chart;
    OneSeries(chart, CTimeChart::kBars, {65535, 12, 0xFFFFFFFE}, kMidnight);
    const CTimeChart::Series& series = chart.AllSeries().front();
    EXPECT_GE(series.spacing, 1);
    EXPECT_GE(series.gridStep, 1u);
    EXPECT_LE(series.gridLines, series.band.height());
    // A band thinner than a line of text still gets one grid line.
    CTimeChart thin;
    thin.Create(nullptr, QRect(0, 0, 600, 40), 10, 10);
    thin.SetTimeAxis(kMidnight, 3600, 6, 24, 2);
    thin.AddSeries(oru::txt::kSeriesDisks, CTimeChart::kBars, 1, kBlue, 0, 0, false);
    thin.AddSeries(oru::txt::kSeriesRaid01, CTimeChart::kBars, 50, kRed, 0, 0, false);
    thin.AttachSamples(oru::txt::kSeriesDisks, {65535, 1});
    thin.Layout(23, 8);
    EXPECT_GE(thin.AllSeries()[0].spacing, 1);
    EXPECT_EQ(thin.AllSeries()[0].gridLines, 1);
    Paint(thin);  // and paints
}

TEST_F(Charts, BarHeightsAreComputedIn64Bits) {
    CTimeChart::Series series;
    series.band = QRect(0, 0, 10, 103);
    series.maximum = 0xFFFFFFFE;
    EXPECT_EQ(CTimeChart::BarHeight(0xFFFFFFFE, series), 100);
    EXPECT_EQ(CTimeChart::BarHeight(0x7FFFFFFF, series), 50);
    EXPECT_EQ(CTimeChart::BarHeight(0x40000000, series), 25);
    series.maximum = 0;
    EXPECT_EQ(CTimeChart::BarHeight(5, series), 100);
}

TEST_F(Charts, BarsStandOnTheBaseLineOverTheIntervalsBacking) {
    CTimeChart chart;
    // Ends at 23:00: the interval covers the whole (short) window.
    OneSeries(chart, CTimeChart::kBars, {0, 10, 5}, kMidnight + 20 * 3600);
    const QImage image = Paint(chart);
    const CTimeChart::Series& series = chart.AllSeries().front();
    const int zero = series.band.bottom() - 2;
    const int full = CTimeChart::BarHeight(10, series);
    const int x1 = chart.MarkX(1) + 3;
    EXPECT_EQ(image.pixelColor(x1, zero), kBlue);
    EXPECT_EQ(image.pixelColor(x1, zero - full + 1), kBlue);
    EXPECT_EQ(image.pixelColor(chart.MarkX(0) + 3, zero), kBacking);  // a value of 0
    const int x2 = chart.MarkX(2) + 3;
    EXPECT_EQ(image.pixelColor(x2, zero - full / 2 + 2), kBlue);
    EXPECT_EQ(image.pixelColor(x2, zero - full / 2 - 3), kBacking);
    // The base line is black.
    EXPECT_EQ(image.pixelColor(x1, series.band.bottom()), QColor(Qt::black));
}

TEST_F(Charts, ThresholdBarsTurnRedAboveTheThreshold) {
    CTimeChart chart;
    OneSeries(chart, CTimeChart::kThresholdBars, {2, 8}, kMidnight + 21 * 3600, 4);
    QImage image = Paint(chart);
    const CTimeChart::Series& series = chart.AllSeries().front();
    const int zero = series.band.bottom() - 2;
    const int full = CTimeChart::BarHeight(8, series);
    const int x = chart.MarkX(1) + 3;
    EXPECT_EQ(image.pixelColor(x, zero), kGreen);
    EXPECT_EQ(image.pixelColor(x, zero - full / 2 + 3), kGreen);
    EXPECT_EQ(image.pixelColor(x, zero - full + 1), kRed);
    EXPECT_EQ(image.pixelColor(chart.MarkX(0) + 3, zero), kGreen);
    // A percent series scales its threshold by the disks at each sample.
    CTimeChart percent;
    OneSeries(percent, CTimeChart::kThresholdBars, {2, 6}, kMidnight + 21 * 3600, 1, true);
    percent.SetReferenceLine({3, 3});
    image = Paint(percent);
    const CTimeChart::Series& scaled = percent.AllSeries().front();
    const int top = scaled.band.bottom() - 2 - CTimeChart::BarHeight(6, scaled) + 1;
    EXPECT_EQ(image.pixelColor(percent.MarkX(1) + 3, top), kRed);
    EXPECT_EQ(image.pixelColor(percent.MarkX(1) + 3, scaled.band.bottom() - 2), kGreen);
    EXPECT_EQ(image.pixelColor(percent.MarkX(0) + 3, scaled.band.bottom() - 2), kGreen);
    // Style 4: the whole bar by the comparison.
    CTimeChart whole;
    OneSeries(whole, CTimeChart::kThresholdWhole, {2, 8}, kMidnight + 21 * 3600, 4);
    image = Paint(whole);
    EXPECT_EQ(image.pixelColor(whole.MarkX(1) + 3, whole.AllSeries()[0].band.bottom() - 2), kRed);
    EXPECT_EQ(image.pixelColor(whole.MarkX(0) + 3, whole.AllSeries()[0].band.bottom() - 2), kGreen);
}

TEST_F(Charts, EventMarksAreCircles) {
    CTimeChart chart;
    OneSeries(chart, CTimeChart::kEventMarks, {0, 1, 2, 5}, kMidnight + 19 * 3600);
    const QImage image = Paint(chart);
    const int y = chart.AllSeries().front().band.center().y();
    EXPECT_EQ(image.pixelColor(chart.MarkX(0) + 3, y), kWhite);
    EXPECT_EQ(image.pixelColor(chart.MarkX(1) + 3, y), kGreen);
    EXPECT_EQ(image.pixelColor(chart.MarkX(2) + 3, y), kRed);
    EXPECT_EQ(image.pixelColor(chart.MarkX(3) + 3, y), kBacking);  // 5: no mark
}

TEST_F(Charts, NoDataAndOneRecordAreDrawnToo) {
    CTimeChart empty;
    empty.Create(nullptr, QRect(0, 0, 600, 400), 10, 10);
    empty.SetTimeAxis(0, 3600, 6, 24, 0);
    EXPECT_FALSE(empty.Layout(23, 8));
    EXPECT_FALSE(empty.LaidOut());
    EXPECT_EQ(empty.HitTest(QPoint(300, 200)), CTimeChart::kOutside);
    const QImage blank = Paint(empty);
    EXPECT_NE(blank.pixelColor(0, 0), kWhite);  // the chart's background, labelled
    CTimeChart one;
    OneSeries(one, CTimeChart::kBars, {7}, kMidnight);
    EXPECT_EQ(one.Visible(), 1);
    EXPECT_EQ(one.AllSeries().front().maximum, 8u);  // 7 alone: a range of 7 to 8
    Paint(one);
    CTimeChart zeros;
    OneSeries(zeros, CTimeChart::kThresholdBars, {0, 0, 0}, kMidnight, 0, true);
    EXPECT_EQ(zeros.AllSeries().front().maximum, 1u);
    Paint(zeros);
}

TEST_F(Charts, TheMarksAreDraggedWithinTheWindow) {
    CTimeChart chart;
    std::vector<std::uint32_t> samples(100, 1);
    OneSeries(chart, CTimeChart::kBars, samples, kMidnight + 3600);
    const int y = chart.Plot().center().y();
    ASSERT_EQ(chart.MarkStart(), 67);
    ASSERT_EQ(chart.MarkEnd(), 75);
    EXPECT_EQ(chart.HitTest(QPoint(chart.MarkX(67), y)), CTimeChart::kStartMark);
    EXPECT_EQ(chart.HitTest(QPoint(chart.MarkX(67) - 2, y)), CTimeChart::kStartMark);
    EXPECT_EQ(chart.HitTest(QPoint(chart.MarkX(75) + 1, y)), CTimeChart::kEndMark);
    EXPECT_EQ(chart.HitTest(QPoint(chart.MarkX(70), y)), CTimeChart::kInterval);
    EXPECT_EQ(chart.HitTest(QPoint(chart.MarkX(10), y)), CTimeChart::kPlot);
    EXPECT_EQ(chart.HitTest(QPoint(20, y)), CTimeChart::kLabels);
    EXPECT_EQ(chart.HitTest(QPoint(chart.MarkX(10), chart.AxisStrip().center().y())),
              CTimeChart::kAxis);
    // The start mark stops at the end mark.
    chart.BeginDrag(CTimeChart::kStartMark, QPoint(chart.MarkX(67), y));
    chart.MoveDrag(QPoint(chart.MarkX(80), y));
    EXPECT_TRUE(chart.Dragging());
    EXPECT_EQ(chart.MarkStart(), 75);
    chart.MoveDrag(QPoint(chart.MarkX(60), y));
    chart.EndDrag();
    EXPECT_EQ(chart.MarkStart(), 60);
    // The end mark stops at the last visible sample and at the start mark.
    chart.BeginDrag(CTimeChart::kEndMark, QPoint(chart.MarkX(75), y));
    chart.MoveDrag(QPoint(2000, y));
    EXPECT_EQ(chart.MarkEnd(), 81);
    chart.MoveDrag(QPoint(chart.MarkX(10), y));
    chart.EndDrag();
    EXPECT_EQ(chart.MarkEnd(), 60);
    // The interval keeps its width.
    chart.BeginDrag(CTimeChart::kEndMark, QPoint(chart.MarkX(60), y));
    chart.MoveDrag(QPoint(chart.MarkX(70), y));
    chart.EndDrag();
    chart.BeginDrag(CTimeChart::kInterval, QPoint(chart.MarkX(65), y));
    chart.MoveDrag(QPoint(chart.MarkX(0) - 200, y));
    chart.EndDrag();
    EXPECT_EQ(chart.MarkStart(), 0);
    EXPECT_EQ(chart.MarkEnd(), 10);
    // Scrolling stays within the data.
    chart.ScrollTo(-5);
    EXPECT_EQ(chart.WindowStart(), 0);
    chart.ScrollTo(1000);
    EXPECT_EQ(chart.WindowStart(), 19);
    EXPECT_EQ(chart.IntervalStart(), kMidnight + 3600 + 19 * 3600u);
}

TEST_F(Charts, TheWindowAndMarksSurviveARebuildOfTheSameData) {
    oru::ChartPosition position;
    std::vector<std::uint32_t> samples(100, 1);
    CTimeChart first;
    first.Create(&position, QRect(0, 0, 600, 400), 10, 10);
    first.SetTimeAxis(kMidnight + 3600, 3600, 6, 24, 100);
    first.AddSeries(oru::txt::kSeriesDisks, CTimeChart::kBars, 25, kBlue, 0, 0, false);
    first.AttachSamples(oru::txt::kSeriesDisks, samples);
    first.Layout(23, 8);
    first.ScrollTo(4);
    const int y = first.Plot().center().y();
    first.BeginDrag(CTimeChart::kStartMark, QPoint(first.MarkX(67), y));
    first.MoveDrag(QPoint(first.MarkX(30), y));
    first.EndDrag();
    CTimeChart second;
    second.Create(&position, QRect(0, 0, 600, 400), 10, 10);
    second.SetTimeAxis(kMidnight + 3600, 3600, 6, 24, 100);
    second.AddSeries(oru::txt::kSeriesRaid01, CTimeChart::kBars, 25, kRed, 0, 0, false);
    second.AttachSamples(oru::txt::kSeriesRaid01, samples);
    second.Layout(23, 8);
    EXPECT_EQ(second.WindowStart(), 4);
    EXPECT_EQ(second.MarkStart(), 30);
    EXPECT_EQ(second.MarkEnd(), 75);
}

}  // namespace
