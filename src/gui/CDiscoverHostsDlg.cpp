#include "gui/CDiscoverHostsDlg.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "gui/Messages.h"

namespace oru {

CDiscoverHostsDlg::CDiscoverHostsDlg(QWidget* parent)
    : QDialog(parent),
      automatic_(new QRadioButton(QText(txt::kAutomaticDiscovery), this)),
      specified_(new QRadioButton(QText(txt::kSpecifiedHost), this)),
      clear_(new QCheckBox(QText(txt::kClearHostList), this)),
      host_(new QLineEdit(this)) {
    setWindowTitle(QText(txt::kDiscoverTitle));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(automatic_);
    auto* indented = new QVBoxLayout();
    indented->setContentsMargins(20, 0, 0, 0);
    indented->addWidget(clear_);
    layout->addLayout(indented);
    layout->addWidget(specified_);
    auto* hostRow = new QVBoxLayout();
    hostRow->setContentsMargins(20, 0, 0, 0);
    hostRow->addWidget(host_);
    layout->addLayout(hostRow);
    layout->addWidget(DialogButtons(this));

    automatic_->setChecked(true);
    connect(automatic_, &QRadioButton::toggled, this, [this] { UpdateControls(); });
    UpdateControls();
}

void CDiscoverHostsDlg::UpdateControls() {
    const bool automatic = automatic_->isChecked();
    clear_->setEnabled(automatic);
    host_->setEnabled(!automatic);
}

int CDiscoverHostsDlg::Method() const {
    return automatic_->isChecked() ? kAutomatic : kSpecifiedHost;
}

bool CDiscoverHostsDlg::ClearHostList() const {
    return automatic_->isChecked() && clear_->isChecked();
}

std::string CDiscoverHostsDlg::Host() const {
    return specified_->isChecked() ? host_->text().trimmed().toStdString() : std::string();
}

void CDiscoverHostsDlg::accept() {
    if (specified_->isChecked()) {
        if (host_->text().trimmed().isEmpty()) {
            ShowMessage(this, QText(txt::kHostNameNeeded), QMessageBox::Warning);
            return;
        }
    } else if (!AskOkCancel(this, QText(txt::kDiscoveryMayTakeTime), QMessageBox::Information)) {
        return;
    }
    QDialog::accept();
}

}  // namespace oru
