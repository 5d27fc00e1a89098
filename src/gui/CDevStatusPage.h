// The Status page: the array's status as a tree of its components beside a
// picture of its cabinet, where every component that is not Normal is
// framed in its status colour. A click on the picture opens the component
// under the pointer in the tree.
#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

#include "gui/ArrayComponents.h"
#include "gui/CDevPropSheet.h"
#include "gui/SheetPictures.h"

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace oru {

// A picture of a page: drawn by a painter at an offset inside the widget;
// a left click inside it is reported in picture coordinates.
class CPictureView : public QWidget {
    Q_OBJECT

  public:
    using Painter = std::function<void(QPainter&, const QPoint& origin)>;
    CPictureView(const QSize& picture, const QPoint& offset, Painter painter,
                 QWidget* parent = nullptr);

  signals:
    void pictureClicked(const QPoint& point);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    QSize picture_;
    QPoint offset_;
    Painter painter_;
};

class CDevStatusPage : public CSheetPage {
    Q_OBJECT

  public:
    explicit CDevStatusPage(CDevPropSheet& sheet);

    // Rebuilds the tree and the picture from the array's state.
    void RebuildTree();
    // Rebuilds them when the change test finds a change; true when it did.
    bool RebuildIfChanged();
    // The packed keys of the components that are not Normal.
    const std::vector<std::uint32_t>& Keys() const { return keys_; }

    // A click at (x, y) of the picture: collapses every item, then opens
    // and selects the component whose place holds the point (the root when
    // none does).
    void OnPictureClicked(const QPoint& point);

    QTreeWidget* Tree() const { return tree_; }
    CPictureView* Picture() const { return picture_; }
    QLabel* NotShownLabel() const { return notShown_; }
    QPushButton* RefreshButton() const { return refresh_; }
    // The tree item of a component, or nullptr.
    QTreeWidgetItem* ItemOf(std::uint32_t key) const;
    int Rebuilds() const { return rebuilds_; }

  private:
    QTreeWidget* tree_ = nullptr;
    CPictureView* picture_ = nullptr;
    std::uint32_t layoutType_ = 0;
    std::vector<FramedComponent> framed_;
    QLabel* notShown_ = nullptr;
    QPushButton* refresh_ = nullptr;
    CStatusModel model_;
    std::vector<std::uint32_t> keys_;
    int rebuilds_ = 0;
};

// Adds the detail lines below an item ("Label: value").
void AddDetailLines(QTreeWidgetItem* item, const std::vector<DetailLine>& lines);
// Adds component `index` of a kind (its name, status image, index and
// detail lines) to a tree, under `parent` or at the top level when it is
// null; its status.
ComponentStatus AddComponentItem(QTreeWidget* tree, QTreeWidgetItem* parent,
                                 const DiskArrayState& state, ComponentKind kind,
                                 std::uint32_t index);

}  // namespace oru
