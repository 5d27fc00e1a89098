#include "gui/CAddFilterDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/Messages.h"

namespace oru {

CAddFilterDlg::CAddFilterDlg(const QString& prompt, QWidget* parent)
    : QDialog(parent), edit_(new QLineEdit(this)) {
    setWindowTitle(QText(txt::kAddFilterTitle));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(prompt, this);
    label->setWordWrap(true);
    layout->addWidget(label);
    layout->addWidget(edit_);
    layout->addWidget(new QLabel(QText(txt::kWildcardNote), this));
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QText(txt::kOk), QDialogButtonBox::AcceptRole);
    buttons->addButton(QText(txt::kCancel), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QString CAddFilterDlg::Text() const {
    return edit_->text();
}

void CAddFilterDlg::accept() {
    if (edit_->text().isEmpty()) {
        ShowMessage(this, QText(txt::kFilterTextNeeded), QMessageBox::Warning);
        return;
    }
    QDialog::accept();
}

}  // namespace oru
