#include "gui/Messages.h"

#include <QPushButton>

#include "gui/ProfileKeys.h"

namespace oru {
namespace {

bool Ask(QWidget* parent, const QString& text, QMessageBox::Icon icon, TextId yes, TextId no) {
    QMessageBox box(icon, QText(txt::kAppTitle), text, QMessageBox::NoButton, parent);
    QPushButton* accept = box.addButton(QText(yes), QMessageBox::AcceptRole);
    box.addButton(QText(no), QMessageBox::RejectRole);
    box.setDefaultButton(accept);
    box.exec();
    return box.clickedButton() == accept;
}

}  // namespace

QDialogButtonBox* DialogButtons(QDialog* dialog, bool withCancel) {
    auto* buttons = new QDialogButtonBox(dialog);
    buttons->addButton(QText(txt::kOk), QDialogButtonBox::AcceptRole);
    if (withCancel) {
        buttons->addButton(QText(txt::kCancel), QDialogButtonBox::RejectRole);
    }
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

QString ColumnTitle(const std::string& column) {
    static constexpr TextId kTitles[] = {
        txt::kColSerial,   txt::kColAlias,      txt::kColModel,
        txt::kColStatus,   txt::kColTotal,      txt::kColUnallocated,
        txt::kColHostName, txt::kColHostDomain, txt::kColHostOs};
    for (std::size_t i = 0; i < std::size(kTitles); ++i) {
        if (column == keys::kColumnNames[i]) {
            return QText(kTitles[i]);
        }
    }
    return QString::fromStdString(column);
}

void ShowMessage(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
    QMessageBox box(icon, QText(txt::kAppTitle), text, QMessageBox::NoButton, parent);
    box.addButton(QText(txt::kOk), QMessageBox::AcceptRole);
    box.exec();
}

bool AskOkCancel(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
    return Ask(parent, text, icon, txt::kOk, txt::kCancel);
}

bool AskYesNo(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
    return Ask(parent, text, icon, txt::kYes, txt::kNo);
}

}  // namespace oru
