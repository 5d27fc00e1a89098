#include "gui/CCreateViewDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "gui/Messages.h"

namespace oru {

CCreateViewDlg::CCreateViewDlg(QWidget* parent) : QDialog(parent), edit_(new QLineEdit(this)) {
    setWindowTitle(QText(txt::kCreateViewTitle));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QText(txt::kCreateViewPrompt), this);
    label->setBuddy(edit_);
    layout->addWidget(label);
    layout->addWidget(edit_);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QText(txt::kOk), QDialogButtonBox::AcceptRole);
    buttons->addButton(QText(txt::kCancel), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

std::string CCreateViewDlg::Name() const {
    return edit_->text().trimmed().toStdString();
}

}  // namespace oru
