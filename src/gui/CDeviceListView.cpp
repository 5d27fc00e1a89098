#include "gui/CDeviceListView.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionHeader>

#include "gui/CViewSettings.h"
#include "gui/Pictures.h"

namespace oru {

SortMarkHeader::SortMarkHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setSortIndicatorShown(false);
    // Titles start at the left, where the mark can follow them.
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void SortMarkHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    // The style's drawing may leave the painter clipped to nothing.
    painter->save();
    QHeaderView::paintSection(painter, rect, logicalIndex);
    painter->restore();
    if (logicalIndex != sortIndicatorSection() || model() == nullptr) {
        return;
    }
    QStyleOptionHeader option;
    option.initFrom(this);
    option.rect = rect;
    option.section = logicalIndex;
    option.text = model()->headerData(logicalIndex, orientation()).toString();
    const QRect label = style()->subElementRect(QStyle::SE_HeaderLabel, &option, this);
    const int textEnd = label.left() + QFontMetrics(font()).horizontalAdvance(option.text);
    if (rect.right() - textEnd < kMarkRoom) {
        return;
    }
    const int left = textEnd + kMarkStart;
    const int right = textEnd + kMarkEnd;
    const int middle = (left + right) / 2;
    const int bottom = rect.bottom();
    const QColor light = palette().color(QPalette::Base);
    const QColor shadow = palette().color(QPalette::Disabled, QPalette::WindowText);
    painter->save();
    if (sortIndicatorOrder() == Qt::AscendingOrder) {
        // Apex 13 pixels above the bottom, base 6 above it.
        const QPoint apex(middle, bottom - 13);
        painter->setPen(shadow);
        painter->drawLine(QPoint(left, bottom - 6), apex);
        painter->setPen(light);
        painter->drawLine(apex, QPoint(right, bottom - 6));
        painter->drawLine(QPoint(left, bottom - 6), QPoint(right, bottom - 6));
    } else {
        // Apex 6 pixels above the bottom, base 13 above it.
        const QPoint apex(middle, bottom - 6);
        painter->setPen(shadow);
        painter->drawLine(QPoint(left, bottom - 13), QPoint(right, bottom - 13));
        painter->drawLine(QPoint(left, bottom - 13), apex);
        painter->setPen(light);
        painter->drawLine(apex, QPoint(right, bottom - 13));
    }
    painter->restore();
}

CDeviceListView::CDeviceListView(QWidget* parent) : QTreeWidget(parent) {
    setHeader(new SortMarkHeader(this));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSortingEnabled(false);
    setItemDelegate(new DeviceRowDelegate(this));
    header()->setSectionsClickable(true);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    connect(header(), &QHeaderView::sectionClicked, this,
            [this](int column) { emit columnClicked(column); });
    connect(this, &QTreeWidget::itemActivated, this, [this] { emit rowActivated(); });
}

void CDeviceListView::SetColumns(const QStringList& titles, const std::vector<int>& widths,
                                 int statusColumn, int sortColumn, bool descending) {
    clear();
    setColumnCount(static_cast<int>(titles.size()));
    setHeaderLabels(titles);
    for (int i = 0; i < static_cast<int>(titles.size()); ++i) {
        if (i < static_cast<int>(widths.size())) {
            setColumnWidth(i, widths[static_cast<std::size_t>(i)]);
        }
    }
    statusColumn_ = statusColumn;
    // The header draws the mark on its sort indicator section (-1: none).
    header()->setSortIndicator(sortColumn >= 0 ? sortColumn : -1,
                               descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void CDeviceListView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = selectedItems().isEmpty() ? viewMenu_ : deviceMenu_;
    if (menu != nullptr) {
        menu->exec(event->globalPos());
    }
}

void CDeviceListView::mousePressEvent(QMouseEvent* event) {
    QTreeWidget::mousePressEvent(event);
    if (event->button() == Qt::LeftButton && event->position().x() <= kGroupBoxReach) {
        emit groupBoxClicked();
    }
}

void DeviceRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    const QString text = background.text;
    background.text.clear();
    background.icon = QIcon();
    QStyle* style =
        background.widget != nullptr ? background.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, background.widget);

    QRect area = option.rect;
    area.setLeft(area.left() + kTextIndent);
    const QModelIndex first = index.siblingAtColumn(0);
    if (index.column() == 0) {
        if (first.data(CDeviceListView::kDeviceCountRole).toInt() > 1) {
            GroupBox::Paint(*painter, option.rect, option.palette.color(QPalette::Dark));
        }
        area.setLeft(area.left() + CViewSettings::kGroupBoxWidth);
    }
    if (index.column() == list_->StatusColumn()) {
        StatusMark::Paint(*painter, QRect(area.left(), area.top(), area.height(), area.height()),
                          first.data(CDeviceListView::kStatusRole).toInt());
        area.setLeft(area.left() + kAfterMark);
    }
    const bool selected = option.state & QStyle::State_Selected;
    const bool active = option.state & QStyle::State_Active;
    painter->save();
    painter->setClipRect(option.rect);
    painter->setPen(option.palette.color(active ? QPalette::Active : QPalette::Inactive,
                                         selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      option.fontMetrics.elidedText(text, Qt::ElideRight, area.width()));
    painter->restore();
}

}  // namespace oru
