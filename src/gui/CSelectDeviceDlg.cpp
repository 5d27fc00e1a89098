#include "gui/CSelectDeviceDlg.h"

#include <QListWidget>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>
#include <tuple>

#include "gui/CDeviceModel.h"
#include "gui/Messages.h"
#include "gui/Pictures.h"
#include "gui/ProfileKeys.h"

namespace oru {
namespace {

constexpr int kIndexRole = Qt::UserRole;

std::string Text(CDeviceModel& model, std::uint32_t index, int column) {
    std::string text;
    model.ColumnText(index, keys::kColumnNames[column], &text);
    return text;
}

}  // namespace

CSelectDeviceDlg::CSelectDeviceDlg(CDeviceModel& model, const std::vector<std::uint32_t>& indices,
                                   QWidget* parent)
    : QDialog(parent), list_(new QListWidget(this)) {
    setWindowTitle(QText(txt::kSelectDeviceTitle));
    struct Item {
        std::string host, alias, status, serial;
        int value;
        std::uint32_t index;
    };
    std::vector<Item> items;
    for (std::uint32_t index : indices) {
        // Columns 6, 1, 3, 0: host name, alias, status, serial number.
        items.push_back(Item{Text(model, index, 6), Text(model, index, 1), Text(model, index, 3),
                             Text(model, index, 0), model.StatusValue(index), index});
    }
    std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
        return std::tie(a.host, a.alias, a.status) < std::tie(b.host, b.alias, b.status);
    });
    list_->setItemDelegate(new SelectDeviceDelegate(list_));
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setUniformItemSizes(true);
    for (const Item& item : items) {
        auto* row = new QListWidgetItem(list_);
        row->setData(kIndexRole, item.index);
        row->setData(SelectDeviceDelegate::kHostRole, QString::fromStdString(item.host));
        row->setData(SelectDeviceDelegate::kSerialRole, QString::fromStdString(item.serial));
        row->setData(SelectDeviceDelegate::kStatusTextRole, QString::fromStdString(item.status));
        row->setData(SelectDeviceDelegate::kStatusRole, item.value);
    }
    if (list_->count() == 1) {
        list_->item(0)->setSelected(true);
        list_->setCurrentRow(0);
    }
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] { accept(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addWidget(DialogButtons(this));
    resize(460, 240);
}

std::vector<std::uint32_t> CSelectDeviceDlg::Chosen() const {
    std::vector<std::uint32_t> chosen;
    for (int i = 0; i < list_->count() && static_cast<int>(chosen.size()) < kMostChosen; ++i) {
        if (list_->item(i)->isSelected()) {
            chosen.push_back(list_->item(i)->data(kIndexRole).toUInt());
        }
    }
    return chosen;
}

void CSelectDeviceDlg::accept() {
    if (Chosen().empty()) {
        ShowMessage(this, QText(txt::kSelectDevice), QMessageBox::Warning);
        return;
    }
    QDialog::accept();
}

void SelectDeviceDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    const bool selected = option.state & QStyle::State_Selected;
    painter->save();
    painter->fillRect(option.rect,
                      option.palette.color(selected ? QPalette::Highlight : QPalette::Base));
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    const QRect r = option.rect;
    auto column = [&](int from, int to, int role) {
        const QRect cell(r.left() + from, r.top(), to - from, r.height());
        painter->drawText(cell, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          option.fontMetrics.elidedText(index.data(role).toString(), Qt::ElideRight,
                                                        cell.width()));
    };
    column(0, kSerialAt, kHostRole);
    column(kSerialAt, kMarkAt, kSerialRole);
    StatusMark::Paint(*painter, QRect(r.left() + kMarkAt, r.top(), r.height(), r.height()),
                      index.data(kStatusRole).toInt());
    column(kStatusAt, std::max(kStatusAt + 1, r.width()), kStatusTextRole);
    if (option.state & QStyle::State_HasFocus) {
        painter->setPen(QPen(option.palette.color(QPalette::Text), 1, Qt::DotLine));
        painter->drawRect(r.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}

QSize SelectDeviceDelegate::sizeHint(const QStyleOptionViewItem& option,
                                     const QModelIndex& /*index*/) const {
    return QSize(kStatusAt + 200, std::max(kItemHeight, option.fontMetrics.height() + 2));
}

}  // namespace oru
