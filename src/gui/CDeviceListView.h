// The right pane of the main frame: the list of arrays of the current view,
// one row per array or per group of arrays that read the same in every
// column. Rows are drawn by the program: a status mark before the status
// text, a group box in the first column of a row that stands for several
// arrays. The list only reports what the user does; the main frame owns the
// rows' content (see RowTable) and decides.
#pragma once

#include <QHeaderView>
#include <QStyledItemDelegate>
#include <QTreeWidget>

class QMenu;

namespace oru {

// The list's header: the sorted column (the header's sort indicator section)
// carries a mark drawn by the program, a small triangle after its title that
// points up for ascending and down for descending order. The style's own
// indicator is never shown: styles disagree on which way it points.
class SortMarkHeader : public QHeaderView {
  public:
    // The mark needs this much room right of the title; it is drawn from
    // kMarkStart to kMarkEnd pixels after the title.
    static constexpr int kMarkRoom = 25;
    static constexpr int kMarkStart = 11;
    static constexpr int kMarkEnd = 19;

    explicit SortMarkHeader(QWidget* parent);

  protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
};

class CDeviceListView : public QTreeWidget {
    Q_OBJECT

  public:
    // Item data: the row's number in the frame's row table, the number of
    // arrays it stands for, the status value of its first array.
    static constexpr int kRowRole = Qt::UserRole;
    static constexpr int kDeviceCountRole = Qt::UserRole + 1;
    static constexpr int kStatusRole = Qt::UserRole + 2;
    // Clicks this close to the left edge are on the group box.
    static constexpr int kGroupBoxReach = 10;

    explicit CDeviceListView(QWidget* parent = nullptr);

    // Sets the columns: their titles and widths, which one is the status
    // column (-1: none), and the sort mark on column `sortColumn`.
    void SetColumns(const QStringList& titles, const std::vector<int>& widths, int statusColumn,
                    int sortColumn, bool descending);
    int StatusColumn() const { return statusColumn_; }

    // The menus a right click opens: "Device" with rows selected, else "View".
    void SetContextMenus(QMenu* device, QMenu* view) {
        deviceMenu_ = device;
        viewMenu_ = view;
    }

  signals:
    void columnClicked(int column);
    void rowActivated();
    void groupBoxClicked();

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    int statusColumn_ = -1;
    QMenu* deviceMenu_ = nullptr;
    QMenu* viewMenu_ = nullptr;
};

// Draws the rows of a CDeviceListView.
class DeviceRowDelegate : public QStyledItemDelegate {
  public:
    // Text starts this far into a column, and after the status mark.
    static constexpr int kTextIndent = 5;
    static constexpr int kAfterMark = 20;

    explicit DeviceRowDelegate(CDeviceListView* list) : QStyledItemDelegate(list), list_(list) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

  private:
    CDeviceListView* list_;
};

}  // namespace oru
