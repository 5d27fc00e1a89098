#include "gui/CSelectView.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>

#include "gui/CViewSettings.h"
#include "gui/GuiText.h"
#include "gui/Pictures.h"

namespace oru {
namespace {

constexpr int kViewRole = Qt::UserRole;
constexpr int kKindRole = Qt::UserRole + 1;
constexpr int kNewViewKind = -1;
constexpr int kIndent = 5;

QTreeWidgetItem* MakeItem(const QString& text, const std::string& view, int image,
                          int selectedImage) {
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setData(0, kViewRole, QString::fromStdString(view));
    QIcon icon = TreeImage(image);
    if (selectedImage != image) {
        icon.addPixmap(TreeImage(selectedImage).pixmap(16, 16), QIcon::Selected);
    }
    item->setIcon(0, icon);
    return item;
}

}  // namespace

CSelectView::CSelectView(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setIndentation(kIndent);
    setIconSize(QSize(16, 16));
    setRootIsDecorated(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setFrameShape(QFrame::NoFrame);
    connect(this, &QTreeWidget::currentItemChanged, this, [this] { emit selectionMoved(); });
    // An expanded view item becomes the selected one.
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        if (item->parent() == nullptr) {
            setCurrentItem(item);
        }
    });
}

void CSelectView::Fill(const CViewSettings& settings) {
    const QSignalBlocker quiet(this);
    clear();
    QTreeWidgetItem* newView =
        MakeItem(QString::fromStdString(GuiText(txt::kNewHostView)), "", 3, 3);
    newView->setData(0, kKindRole, kNewViewKind);
    addTopLevelItem(newView);
    protectedCount_ = 0;
    for (const std::string& view : settings.ViewNames()) {
        const QString shown = QString::fromStdString(settings.DisplayName(view));
        if (settings.IsProtected(view)) {
            const int image = protectedCount_ == 0 ? 4 : 5;
            insertTopLevelItem(1 + protectedCount_, MakeItem(shown, view, image, image));
            ++protectedCount_;
        } else {
            InsertUserView(view, shown);
        }
    }
}

QTreeWidgetItem* CSelectView::InsertUserView(const std::string& view, const QString& shown) {
    int at = 1 + protectedCount_;
    for (; at < topLevelItemCount(); ++at) {
        const int order = QString::compare(topLevelItem(at)->text(0), shown, Qt::CaseInsensitive);
        if (order == 0) {
            return topLevelItem(at);
        }
        if (order > 0) {
            break;
        }
    }
    QTreeWidgetItem* item = MakeItem(shown, view, 0, 1);
    insertTopLevelItem(at, item);
    return item;
}

QTreeWidgetItem* CSelectView::ItemOfView(const std::string& view) const {
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = topLevelItem(i);
        if (!IsNewViewItem(item) && ViewOf(item) == view) {
            return item;
        }
    }
    return nullptr;
}

bool CSelectView::IsNewViewItem(const QTreeWidgetItem* item) {
    return item != nullptr && item->data(0, kKindRole).toInt() == kNewViewKind &&
           item->data(0, kKindRole).isValid();
}

std::string CSelectView::ViewOf(const QTreeWidgetItem* item) {
    return item != nullptr ? item->data(0, kViewRole).toString().toStdString() : std::string();
}

void CSelectView::contextMenuEvent(QContextMenuEvent* event) {
    if (contextMenu_ != nullptr) {
        contextMenu_->exec(event->globalPos());
    }
}

}  // namespace oru
