// Select Device: the arrays of the selected rows, one item each (host name,
// serial number, status mark and status text), ordered by host name, alias
// and status text; several may be chosen. OK needs at least one; a double
// click is OK. With one array it is chosen already.
#pragma once

#include <QDialog>
#include <QStyledItemDelegate>

#include <cstdint>
#include <vector>

class QListWidget;

namespace oru {

class CDeviceModel;

class CSelectDeviceDlg : public QDialog {
    Q_OBJECT

  public:
    // At most this many chosen arrays are read.
    static constexpr int kMostChosen = 512;

    CSelectDeviceDlg(CDeviceModel& model, const std::vector<std::uint32_t>& indices,
                     QWidget* parent);

    std::vector<std::uint32_t> Chosen() const;
    QListWidget* List() const { return list_; }

    void accept() override;

  private:
    QListWidget* list_;
};

// Draws one array of the Select Device list.
class SelectDeviceDelegate : public QStyledItemDelegate {
  public:
    static constexpr int kItemHeight = 14;
    static constexpr int kSerialAt = 103;
    static constexpr int kMarkAt = 203;
    static constexpr int kStatusAt = 223;
    // Item data: the texts and the status value.
    static constexpr int kHostRole = Qt::UserRole + 1;
    static constexpr int kSerialRole = Qt::UserRole + 2;
    static constexpr int kStatusTextRole = Qt::UserRole + 3;
    static constexpr int kStatusRole = Qt::UserRole + 4;

    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace oru
