#include "gui/CDevLUNPage.h"

#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "client/DiskArray.h"
#include "gui/DiskTests.h"
#include "gui/Messages.h"
#include "gui/SheetPictures.h"

namespace oru {
namespace {

// The capacity field takes at most this many characters.
constexpr int kCapacityChars = 7;

QString Hundredths(std::uint32_t value) {
    return QStringLiteral("%1.%2").arg(value / 100).arg(value % 100, 2, 10, QLatin1Char('0'));
}

void FillNumbers(QComboBox* box, const std::vector<std::uint32_t>& numbers) {
    for (std::uint32_t number : numbers) {
        box->addItem(QString::number(number), number);
    }
    box->setCurrentIndex(numbers.empty() ? -1 : 0);
}

}  // namespace

bool PageAvailable(ArrayCommands& commands) {
    const std::optional<std::uint32_t> state = ArrayState(commands.State());
    if (state.has_value() && *state <= 1) {
        return true;
    }
    commands.Message(txt::kPageNotAvailable, QMessageBox::Information);
    return false;
}

void CLunBarDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    const QPalette& palette = option.palette;
    LunBar::Item item;
    item.number = index.data(Qt::UserRole).toUInt();
    item.capacity = index.data(kCapacityRole).toUInt();
    item.largest = index.data(kLargestRole).toUInt();
    item.selected = (option.state & QStyle::State_Selected) != 0;
    item.focused = (option.state & QStyle::State_HasFocus) != 0;
    LunBar::Colours colours{palette.color(QPalette::Base), palette.color(QPalette::Text),
                            palette.color(QPalette::Highlight),
                            palette.color(QPalette::HighlightedText), palette.color(QPalette::Mid)};
    LunBar::Paint(*painter, item, option.rect, colours, option.font);
}

QSize CLunBarDelegate::sizeHint(const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    return QSize(QStyledItemDelegate::sizeHint(option, index).width(), LunBar::kItemHeight);
}

CCreateLunDlg::CCreateLunDlg(std::uint32_t maximum, std::uint32_t minimum,
                             const std::vector<std::uint32_t>& freeNumbers, QWidget* parent)
    : QDialog(parent), maximum_(maximum), minimum_(minimum) {
    setWindowTitle(QText(txt::kCreateLunTitle));
    capacityEdit_ = new QLineEdit(Hundredths(maximum), this);
    capacityEdit_->setMaxLength(kCapacityChars);
    numbers_ = new QComboBox(this);
    FillNumbers(numbers_, freeNumbers);
    auto* form = new QFormLayout;
    auto* capacityLabel = new QLabel(QText(txt::kCreateLunCapacity), this);
    capacityLabel->setBuddy(capacityEdit_);
    form->addRow(capacityLabel, capacityEdit_);
    form->addRow(QText(txt::kCreateLunUnallocated),
                 new QLabel(QString::fromStdString(GigabyteText(maximum)), this));
    auto* numberLabel = new QLabel(QText(txt::kCreateLunNumber), this);
    numberLabel->setBuddy(numbers_);
    form->addRow(numberLabel, numbers_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(DialogButtons(this));
    connect(capacityEdit_, &QLineEdit::textEdited, this, &CCreateLunDlg::OnEdited);
}

void CCreateLunDlg::OnEdited(const QString& text) {
    const CleanedText cleaned = CleanCapacityText(text);
    if (cleaned.changed) {
        const int cursor = capacityEdit_->cursorPosition();
        capacityEdit_->setText(cleaned.text);
        capacityEdit_->setCursorPosition(std::min<int>(cursor, cleaned.text.size()));
        ++beeps_;
        QApplication::beep();
    }
}

void CCreateLunDlg::accept() {
    const std::optional<std::uint32_t> capacity =
        CapacityHundredths(CleanCapacityText(capacityEdit_->text()).text);
    if (!capacity.has_value() || *capacity > maximum_) {
        ShowMessage(this, QText(txt::kCapacityTooLarge), QMessageBox::Warning);
        return;
    }
    if (*capacity < minimum_) {
        ShowMessage(this, QText(txt::kCapacityTooSmall), QMessageBox::Warning);
        return;
    }
    capacity_ = *capacity;
    number_ = numbers_->currentData().toUInt();
    QDialog::accept();
}

CRenumberLunDlg::CRenumberLunDlg(std::uint32_t current,
                                 const std::vector<std::uint32_t>& freeNumbers, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QText(txt::kRenumberTitle));
    numbers_ = new QComboBox(this);
    FillNumbers(numbers_, freeNumbers);
    auto* form = new QFormLayout;
    form->addRow(QText(txt::kRenumberPresent),
                 new QLabel(QString::number(static_cast<unsigned long>(current)), this));
    auto* numberLabel = new QLabel(QText(txt::kRenumberNew), this);
    numberLabel->setBuddy(numbers_);
    form->addRow(numberLabel, numbers_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(DialogButtons(this));
}

std::uint32_t CRenumberLunDlg::Number() const {
    return numbers_->currentData().toUInt();
}

CDevLUNPage::CDevLUNPage(CDevPropSheet& sheet) : CSheetPage(sheet) {
    list_ = new QListWidget(this);
    list_->setItemDelegate(new CLunBarDelegate(list_));
    list_->setUniformItemSizes(true);
    create_ = new QPushButton(QText(txt::kLunCreate), this);
    renumber_ = new QPushButton(QText(txt::kLunRenumber), this);
    delete_ = new QPushButton(QText(txt::kLunDelete), this);
    format_ = new QPushButton(QText(txt::kLunFormat), this);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {create_, renumber_, delete_, format_}) {
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QText(txt::kLunListHeading), this));
    left->addWidget(list_, 1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);
    connect(create_, &QPushButton::clicked, this, &CDevLUNPage::OnCreate);
    connect(renumber_, &QPushButton::clicked, this, &CDevLUNPage::OnRenumber);
    connect(delete_, &QPushButton::clicked, this, &CDevLUNPage::OnDelete);
    connect(format_, &QPushButton::clicked, this, &CDevLUNPage::OnFormat);
    Refresh();
}

bool CDevLUNPage::MayActivate() {
    return PageAvailable(Commands());
}

void CDevLUNPage::Refresh() {
    const std::optional<std::uint32_t> selected = Selected();
    table_ = LunTable::FromState(Commands().State());
    list_->clear();
    for (const LunEntry& entry : table_.present) {
        auto* item = new QListWidgetItem(list_);
        item->setData(Qt::UserRole, entry.number);
        item->setData(CLunBarDelegate::kCapacityRole, entry.capacity);
        item->setData(CLunBarDelegate::kLargestRole, table_.largest);
        item->setText(QString::number(entry.number) + " " +
                      QString::fromStdString(GigabyteText(entry.capacity)));
        if (selected.has_value() && *selected == entry.number) {
            list_->setCurrentItem(item);
        }
    }
}

std::optional<std::uint32_t> CDevLUNPage::Selected() const {
    const QListWidgetItem* item = list_->currentItem();
    if (item == nullptr || !item->isSelected()) {
        return std::nullopt;
    }
    return item->data(Qt::UserRole).toUInt();
}

void CDevLUNPage::OnCreate() {
    if (table_.unallocated == 0) {
        Commands().Message(txt::kNoUnallocated);
        return;
    }
    if (table_.free.empty()) {
        Commands().Message(txt::kNoFreeNumber);
        return;
    }
    CCreateLunDlg dialog(table_.unallocated, 1, table_.free, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    WaitCursor cursor;
    const std::uint32_t size = CreateLunSize(dialog.Capacity(), table_);
    if (Commands().Run(Commands().Array().CreateLUN(dialog.Number(), size), txt::kErrCreateLun)) {
        Sheet().PostRefresh(CDevPropSheet::kAfterLogicalDrives);
    }
}

void CDevLUNPage::OnRenumber() {
    const std::optional<std::uint32_t> selected = Selected();
    if (!selected.has_value()) {
        Commands().Message(txt::kSelectLun);
        return;
    }
    if (table_.free.empty()) {
        Commands().Message(txt::kNoFreeNumber);
        return;
    }
    CRenumberLunDlg dialog(*selected, table_.free, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    WaitCursor cursor;
    if (Commands().Run(Commands().Array().RenumberLUN(*selected, dialog.Number()),
                       txt::kErrRenumberLun)) {
        Sheet().PostRefresh(CDevPropSheet::kAfterLogicalDrives);
    }
}

void CDevLUNPage::OnDelete() {
    const std::optional<std::uint32_t> selected = Selected();
    if (!selected.has_value()) {
        Commands().Message(txt::kSelectLun);
        return;
    }
    if (!Commands().Confirm(txt::kAskDeleteLun)) {
        return;
    }
    WaitCursor cursor;
    if (Commands().Run(Commands().Array().DeleteLUN(*selected), txt::kErrDeleteLun)) {
        Sheet().PostRefresh(CDevPropSheet::kAfterLogicalDrives);
    }
}

void CDevLUNPage::OnFormat() {
    const std::optional<std::uint32_t> selected = Selected();
    if (!selected.has_value()) {
        Commands().Message(txt::kSelectLun);
        return;
    }
    if (!Commands().Confirm(txt::kAskFormatLun)) {
        return;
    }
    WaitCursor cursor;
    Commands().Run(Commands().Array().FormatLUN(*selected, 0), txt::kErrFormatLun);
}

}  // namespace oru
