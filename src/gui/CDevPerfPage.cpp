#include "gui/CDevPerfPage.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <ctime>

#include "client/DiskArray.h"
#include "coresys/common/OruErrors.h"
#include "coresys/common/PollMsg.h"
#include "gui/Messages.h"

namespace oru {
namespace {

constexpr std::uint32_t kMetricsReply = 7;
constexpr std::uint32_t kRecsReply = 8;
constexpr int kChartTopMargin = 10;
constexpr int kChartSeries = 10;

// Whether a reply says the array has no performance records: the service
// answers that with its error 13 rather than with an empty list.
bool NoRecords(const CommandReply& reply) {
    const auto* error = dynamic_cast<const ErrorPollMsg*>(reply.result);
    return error != nullptr && error->error.errorCode == ERR_PERFORMANCE_LOG_DATA_UNAVAILABLE;
}

}  // namespace

// --- the chart's widget ---

CTimeChartView::CTimeChartView(CTimeChart& chart, QWidget* parent)
    : QWidget(parent), chart_(chart) {
    setMinimumSize(560, 380);
    setMouseTracking(true);
}

void CTimeChartView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Button));
    chart_.Paint(painter);
}

void CTimeChartView::mousePressEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    const CTimeChart::Hit hit = chart_.HitTest(point);
    if (event->button() != Qt::LeftButton ||
        (hit != CTimeChart::kStartMark && hit != CTimeChart::kEndMark &&
         hit != CTimeChart::kInterval)) {
        QWidget::mousePressEvent(event);
        return;
    }
    chart_.BeginDrag(hit, point);
    setCursor(hit == CTimeChart::kInterval ? Qt::SizeAllCursor : Qt::SizeHorCursor);
    update();
}

void CTimeChartView::mouseMoveEvent(QMouseEvent* event) {
    if (!chart_.Dragging()) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    chart_.MoveDrag(event->position().toPoint());
    update();
}

void CTimeChartView::mouseReleaseEvent(QMouseEvent* event) {
    if (!chart_.Dragging()) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    chart_.MoveDrag(event->position().toPoint());
    chart_.EndDrag();
    unsetCursor();
    update();
    emit intervalChanged();
}

void CTimeChartView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    emit resized();
}

// --- the recommendations dialog ---

void CIndicationDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    painter->save();
    const QRect& rect = option.rect;
    painter->fillRect(rect, option.palette.color(QPalette::Base));
    const int marker = index.data(kMarkerRole).toInt();
    const int side = rect.height();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setPen(Qt::NoPen);
    painter->setBrush(marker == Recommendation::kPassed ? QColor(0, 255, 0) : QColor(255, 0, 0));
    painter->drawEllipse(QRect(rect.left() + 2, rect.top() + 2, side - 4, side - 4));
    painter->setPen(option.palette.color(QPalette::Text));
    painter->drawText(rect.adjusted(20, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                      index.data(Qt::DisplayRole).toString());
    painter->restore();
}

QSize CIndicationDelegate::sizeHint(const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    return QSize(QStyledItemDelegate::sizeHint(option, index).width() + 20,
                 std::max(kItemHeight, option.fontMetrics.height()));
}

CPerfRecommendDlg::CPerfRecommendDlg(const Recommendation& recommendation, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QText(txt::kRecommendTitle));
    text_ = new QLabel(QString::fromStdString(recommendation.text), this);
    text_->setWordWrap(true);
    interval_ = new QLabel(QString::fromStdString(recommendation.interval), this);
    lines_ = new QListWidget(this);
    lines_->setItemDelegate(new CIndicationDelegate(lines_));
    lines_->setSelectionMode(QAbstractItemView::NoSelection);
    for (const Recommendation::Line& line : recommendation.lines) {
        auto* item = new QListWidgetItem(QString::fromStdString(line.text), lines_);
        item->setData(CIndicationDelegate::kMarkerRole, static_cast<int>(line.marker));
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addWidget(interval_);
    layout->addWidget(lines_, 1);
    layout->addWidget(DialogButtons(this, false));
    resize(520, 300);
}

// --- the page ---

CDevPerfPage::CDevPerfPage(CDevPropSheet& sheet) : CSheetPage(sheet) {
    view_ = new CTimeChartView(chart_, this);
    scroll_ = new QScrollBar(Qt::Horizontal, this);
    scroll_->hide();
    events_ = new QRadioButton(QText(txt::kViewEvents), this);
    thresholds_ = new QRadioButton(QText(txt::kViewThresholds), this);
    events_->setChecked(true);
    recommend_ = new QPushButton(QText(txt::kRecommend), this);
    auto* controls = new QHBoxLayout;
    controls->addWidget(events_);
    controls->addWidget(thresholds_);
    controls->addStretch(1);
    controls->addWidget(recommend_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_, 1);
    layout->addWidget(scroll_);
    layout->addLayout(controls);
    chart_.Create(&position_, view_->ChartRect(), kChartTopMargin, kChartSeries);

    connect(events_, &QRadioButton::clicked, this, [this] { ShowView(true); });
    connect(thresholds_, &QRadioButton::clicked, this, [this] { ShowView(false); });
    connect(recommend_, &QPushButton::clicked, this, &CDevPerfPage::OnRecommend);
    connect(scroll_, &QScrollBar::valueChanged, this, [this](int value) {
        chart_.ScrollTo(value);
        view_->update();
    });
    connect(view_, &CTimeChartView::resized, this, [this] {
        if (built_) {
            Rebuild();
        }
    });
}

void CDevPerfPage::OnFirstShow() {
    {
        WaitCursor cursor;
        ReadData();
    }
    built_ = true;
    showingEvents_ = false;
    ShowView(true);
}

bool CDevPerfPage::ReadData() {
    data_ = PerfDataSet();
    const std::uint32_t now = static_cast<std::uint32_t>(std::time(nullptr));
    const std::uint32_t start = now - kPerfWindowSeconds;
    DiskArray& array = Commands().Array();
    // The first request finds the window of the records there are.
    CommandReply reply =
        Commands().Await(array.GetPerfMetrics(start, now, kPerfSlotsPerSample, 1, kPageMetrics));
    if (NoRecords(reply)) {
        return true;
    }
    const auto* metrics = dynamic_cast<const PerfMetricsPollMsg*>(reply.result);
    if (reply.kind != kMetricsReply || metrics == nullptr) {
        Commands().Message(txt::kErrPerfMetrics);
        return false;
    }
    if (metrics->metrics.empty()) {
        return true;
    }
    const std::uint32_t first = metrics->metrics.front().windowStart;
    const std::uint32_t last = metrics->metrics.front().windowEnd;
    reply = Commands().Await(array.GetPerfMetrics(first, last, kPerfSlotsPerSample,
                                                  std::size(kPageMetrics), kPageMetrics));
    if (NoRecords(reply)) {
        return true;
    }
    metrics = dynamic_cast<const PerfMetricsPollMsg*>(reply.result);
    if (reply.kind != kMetricsReply || metrics == nullptr) {
        Commands().Message(txt::kErrPerfMetrics);
        return false;
    }
    data_ = PerfDataSet::FromMetrics(metrics->metrics);
    return true;
}

void CDevPerfPage::Rebuild() {
    chart_.Create(&position_, view_->ChartRect(), kChartTopMargin, kChartSeries);
    FillChart(chart_, data_, showingEvents_ ? EventSeries() : ThresholdSeries());
    const bool scrolls = chart_.Layout(kPerfHourOfDay, kPerfIntervalSamples);
    const QSignalBlocker block(scroll_);
    scroll_->setRange(0, chart_.ScrollRange());
    scroll_->setPageStep(std::max(chart_.Visible() - 1, 1));
    scroll_->setSingleStep(1);
    scroll_->setValue(chart_.WindowStart());
    scroll_->setVisible(scrolls);
    // Without data there is no interval to ask about.
    recommend_->setEnabled(chart_.LaidOut());
    view_->update();
}

void CDevPerfPage::ShowView(bool events) {
    if (built_ && events == showingEvents_) {
        return;
    }
    showingEvents_ = events;
    events_->setChecked(events);
    thresholds_->setChecked(!events);
    if (built_) {
        Rebuild();
    }
}

void CDevPerfPage::OnRecommend() {
    if (!chart_.LaidOut()) {
        return;
    }
    WaitCursor cursor;
    const CommandReply reply = Commands().Await(
        Commands().Array().GetPerfRecs(chart_.IntervalStart(), chart_.IntervalEnd()));
    const auto* recs = dynamic_cast<const PerfRecsPollMsg*>(reply.result);
    if (reply.kind != kRecsReply || recs == nullptr) {
        Commands().Message(txt::kErrPerfRecs);
        return;
    }
    const Recommendation recommendation = Recommendation::FromRecs(recs->recs);
    CPerfRecommendDlg dialog(recommendation, this);
    dialog.exec();
}

}  // namespace oru
