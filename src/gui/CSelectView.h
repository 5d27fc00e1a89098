// The left pane of the main frame: the tree of host views.
//
// Top-level items: "<<New Host View>>" first, then the protected views in
// their settings order, then the user's views in alphabetical order (case
// not looked at). Each item carries its view's profile name. The tree only
// reports what the user does; the main frame decides.
#pragma once

#include <QTreeWidget>

#include <string>

class QMenu;

namespace oru {

class CViewSettings;

class CSelectView : public QTreeWidget {
    Q_OBJECT

  public:
    explicit CSelectView(QWidget* parent = nullptr);

    // Rebuilds the items from the settings' views.
    void Fill(const CViewSettings& settings);
    // Inserts a user view in alphabetical order after the protected views;
    // a view whose name equals an item's (case not looked at) is that item.
    QTreeWidgetItem* InsertUserView(const std::string& view, const QString& shown);
    QTreeWidgetItem* ItemOfView(const std::string& view) const;
    static bool IsNewViewItem(const QTreeWidgetItem* item);
    static std::string ViewOf(const QTreeWidgetItem* item);

    // The menu a right click opens (the main menu's "View" menu).
    void SetContextMenu(QMenu* menu) { contextMenu_ = menu; }

  signals:
    // The selected item changed (the frame looks at the current item).
    void selectionMoved();

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    int protectedCount_ = 0;
    QMenu* contextMenu_ = nullptr;
};

}  // namespace oru
