#include "gui/CDevStatusPage.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "client/DiskArray.h"
#include "gui/Messages.h"
#include "gui/SheetPictures.h"

namespace oru {
namespace {

constexpr int kKeyRole = Qt::UserRole + 1;

QString Line(const DetailLine& line) {
    return QString::fromStdString(line.label + ": " + line.value);
}

}  // namespace

void AddDetailLines(QTreeWidgetItem* item, const std::vector<DetailLine>& lines) {
    for (const DetailLine& line : lines) {
        new QTreeWidgetItem(item, QStringList(Line(line)));
    }
}

ComponentStatus AddComponentItem(QTreeWidget* tree, QTreeWidgetItem* parent,
                                 const DiskArrayState& state, ComponentKind kind,
                                 std::uint32_t index) {
    const ComponentStatus status = EvaluateComponent(state, kind, index);
    const QStringList name(QString::fromStdString(ComponentName(kind, index)));
    auto* item =
        parent != nullptr ? new QTreeWidgetItem(parent, name) : new QTreeWidgetItem(tree, name);
    item->setIcon(0, StatusImage(StatusImageIndex(status.value)));
    item->setData(0, Qt::UserRole, index);
    item->setData(0, kKeyRole, PackComponent(kind, index));
    AddDetailLines(item, ComponentDetails(state, kind, index));
    return status;
}

CPictureView::CPictureView(const QSize& picture, const QPoint& offset, Painter painter,
                           QWidget* parent)
    : QWidget(parent), picture_(picture), offset_(offset), painter_(std::move(painter)) {
    setFixedSize(picture.width() + offset.x(), picture.height() + offset.y());
}

void CPictureView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter_(painter, offset_);
}

void CPictureView::mousePressEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint() - offset_;
    if (event->button() != Qt::LeftButton || point.x() < 0 || point.y() < 0 ||
        point.x() > picture_.width() || point.y() > picture_.height()) {
        QWidget::mousePressEvent(event);
        return;
    }
    emit pictureClicked(point);
}

CDevStatusPage::CDevStatusPage(CDevPropSheet& sheet) : CSheetPage(sheet) {
    // The cabinet at (0, 8), as the frames of the tree's components count.
    picture_ = new CPictureView(
        QSize(CabinetLayout::kWidth, CabinetLayout::kHeight), QPoint(0, 8),
        [this](QPainter& painter, const QPoint& origin) {
            CabinetPicture::Paint(painter, layoutType_, framed_, origin);
        },
        this);
    notShown_ = new QLabel(this);
    notShown_->setWordWrap(true);
    notShown_->setMaximumWidth(CabinetLayout::kWidth);
    tree_ = new QTreeWidget(this);
    tree_->setHeaderHidden(true);
    tree_->setColumnCount(1);
    refresh_ = new QPushButton(QText(txt::kRefresh), this);

    auto* left = new QVBoxLayout;
    left->addWidget(picture_);
    left->addWidget(notShown_);
    left->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(tree_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(refresh_);
    right->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addLayout(right, 1);

    connect(refresh_, &QPushButton::clicked, this,
            [this] { Sheet().PostRefresh(CDevPropSheet::kReadState); });
    connect(picture_, &CPictureView::pictureClicked, this, &CDevStatusPage::OnPictureClicked);
    RebuildTree();
}

bool CDevStatusPage::RebuildIfChanged() {
    if (!model_.Changed(Commands().State())) {
        return false;
    }
    RebuildTree();
    return true;
}

void CDevStatusPage::RebuildTree() {
    WaitCursor cursor;
    ++rebuilds_;
    const DiskArrayState& state = Commands().State();
    // The model remembers what the tree shows now.
    model_.Changed(state);
    tree_->clear();
    keys_.clear();
    const StatusEvaluation array = EvaluateState(state);
    auto* root = new QTreeWidgetItem(tree_, QStringList(QText(txt::kTreeArray)));
    root->setIcon(0, StatusImage(StatusImageIndex(array.value)));
    AddDetailLines(root, ArrayDetails(state, array));
    std::vector<FramedComponent> framed;
    for (ComponentKind kind : kComponentKinds) {
        auto* group =
            new QTreeWidgetItem(tree_, QStringList(QString::fromStdString(GroupName(kind))));
        const std::uint32_t count = ComponentCount(state, kind);
        for (std::uint32_t i = 0; i < count; ++i) {
            const ComponentStatus status = AddComponentItem(tree_, group, state, kind, i);
            if (status.value != DS_NORMAL) {
                keys_.push_back(PackComponent(kind, i));
                framed.push_back(FramedComponent{kind, i, status.value});
            }
        }
    }
    root->setExpanded(true);
    layoutType_ = state.stateValue7;
    framed_ = std::move(framed);
    picture_->update();
    const int notShown = CabinetPicture::NotShown(state, state.stateValue7);
    notShown_->setText(notShown > 0 ? QText(txt::kNotShown, notShown) : QString());
    notShown_->setVisible(notShown > 0);
    update();
}

QTreeWidgetItem* CDevStatusPage::ItemOf(std::uint32_t key) const {
    for (int g = 1; g < tree_->topLevelItemCount(); ++g) {
        QTreeWidgetItem* group = tree_->topLevelItem(g);
        for (int i = 0; i < group->childCount(); ++i) {
            QTreeWidgetItem* item = group->child(i);
            if (item->data(0, kKeyRole).toUInt() == key) {
                return item;
            }
        }
    }
    return nullptr;
}

void CDevStatusPage::OnPictureClicked(const QPoint& point) {
    tree_->collapseAll();
    const DiskArrayState& state = Commands().State();
    const std::optional<std::uint32_t> key =
        CabinetPicture::HitTest(state, state.stateValue7, point);
    QTreeWidgetItem* item = key.has_value() ? ItemOf(*key) : nullptr;
    if (item == nullptr) {
        if (tree_->topLevelItemCount() > 0) {
            tree_->topLevelItem(0)->setExpanded(true);
        }
        return;
    }
    item->parent()->setExpanded(true);
    item->setExpanded(true);
    tree_->scrollToItem(item);
    tree_->setCurrentItem(item);
}

}  // namespace oru
