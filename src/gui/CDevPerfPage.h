// The Performance page: the array's performance metrics of the last 14 days
// as strip charts over an hourly time axis (an Events view and a Thresholds
// view), an interval the user drags with two marks, and the performance
// recommendations for that interval in the Performance Recommendations
// dialog. The data is read when the page is first shown.
#pragma once

#include <QDialog>
#include <QStyledItemDelegate>
#include <QWidget>

#include "gui/CDevPropSheet.h"
#include "gui/CTimeChart.h"
#include "gui/PerfData.h"

class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace oru {

// The widget the chart is drawn in (control 1120): the chart fills its
// client area less 5 pixels left and right and 20 above and below, and the
// mouse drags the interval's marks.
class CTimeChartView : public QWidget {
    Q_OBJECT

  public:
    CTimeChartView(CTimeChart& chart, QWidget* parent = nullptr);
    // Where the chart goes in this widget.
    QRect ChartRect() const { return rect().adjusted(5, 20, -5, -20); }

  signals:
    void resized();
    void intervalChanged();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    CTimeChart& chart_;
};

// Performance Recommendations (dialog 162).
class CPerfRecommendDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CPerfRecommendDlg(const Recommendation& recommendation, QWidget* parent = nullptr);
    QLabel* Text() const { return text_; }
    QLabel* Interval() const { return interval_; }
    QListWidget* Lines() const { return lines_; }

  private:
    QLabel* text_ = nullptr;
    QLabel* interval_ = nullptr;
    QListWidget* lines_ = nullptr;
};

// An indication line: a circle (green for a passed check, red otherwise)
// in the item's left square, the text 20 pixels to the right.
class CIndicationDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    static constexpr int kItemHeight = 14;
    static constexpr int kMarkerRole = Qt::UserRole + 1;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

class CDevPerfPage : public CSheetPage {
    Q_OBJECT

  public:
    explicit CDevPerfPage(CDevPropSheet& sheet);

    // Reads the data set and shows the Events view.
    void OnFirstShow() override;
    // Reads the metrics of the last 14 days; false (after message 4196)
    // when the service could not give them. An array without performance
    // records has an empty set.
    bool ReadData();
    // Shows a view (true: Events, false: Thresholds) when it is not shown.
    void ShowView(bool events);
    // The recommendations for the interval between the chart's marks.
    void OnRecommend();

    const PerfDataSet& Data() const { return data_; }
    CTimeChart& Chart() { return chart_; }
    CTimeChartView* View() const { return view_; }
    QScrollBar* ScrollBar() const { return scroll_; }
    QRadioButton* EventsButton() const { return events_; }
    QRadioButton* ThresholdsButton() const { return thresholds_; }
    QPushButton* RecommendButton() const { return recommend_; }

  private:
    void Rebuild();

    PerfDataSet data_;
    ChartPosition position_;
    CTimeChart chart_;
    bool showingEvents_ = true;
    bool built_ = false;
    CTimeChartView* view_ = nullptr;
    QScrollBar* scroll_ = nullptr;
    QRadioButton* events_ = nullptr;
    QRadioButton* thresholds_ = nullptr;
    QPushButton* recommend_ = nullptr;
};

}  // namespace oru
