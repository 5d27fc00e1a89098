#include "gui/CAddFilterDlg.h"

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
    layout->addWidget(DialogButtons(this));
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
