// The Status page: the array's status as a tree of its components beside a
// picture of its cabinet, where every component that is not Normal is
// framed in its status colour. A click on the picture opens the component
// under the pointer in the tree.
#pragma once

#include <QWidget>

#include <cstdint>
#include <vector>

#include "gui/ArrayComponents.h"
#include "gui/CDevPropSheet.h"
#include "gui/SheetPictures.h"

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace oru {

// The cabinet picture of the page (picture at (0, 8), as the tree's frames
// count).
class CCabinetView : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kTop = 8;
    explicit CCabinetView(QWidget* parent = nullptr);

    void Show(std::uint32_t layoutType, std::vector<FramedComponent> framed);
    QSize sizeHint() const override;

  signals:
    // A click inside the picture, in picture coordinates.
    void pictureClicked(const QPoint& point);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    std::uint32_t layoutType_ = 0;
    std::vector<FramedComponent> framed_;
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
    CCabinetView* Picture() const { return picture_; }
    QLabel* NotShownLabel() const { return notShown_; }
    QPushButton* RefreshButton() const { return refresh_; }
    // The tree item of a component, or nullptr.
    QTreeWidgetItem* ItemOf(std::uint32_t key) const;
    int Rebuilds() const { return rebuilds_; }

  private:
    QTreeWidget* tree_ = nullptr;
    CCabinetView* picture_ = nullptr;
    QLabel* notShown_ = nullptr;
    QPushButton* refresh_ = nullptr;
    CStatusModel model_;
    std::vector<std::uint32_t> keys_;
    int rebuilds_ = 0;
};

// Adds the detail lines below an item ("Label: value").
void AddDetailLines(QTreeWidgetItem* item, const std::vector<DetailLine>& lines);

}  // namespace oru
