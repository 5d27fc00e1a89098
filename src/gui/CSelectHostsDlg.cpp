#include "gui/CSelectHostsDlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

#include "gui/CViewSettings.h"
#include "gui/Messages.h"

namespace oru {
namespace {

constexpr int kHostRole = Qt::UserRole;

std::string HostOf(const QListWidgetItem* item) {
    return item->data(kHostRole).toString().toStdString();
}

}  // namespace

CSelectHostsDlg::CSelectHostsDlg(CViewSettings& settings, KnownHosts knownHosts,
                                 Discoverer discover, QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      knownHosts_(std::move(knownHosts)),
      discover_(std::move(discover)),
      allKnown_(new QRadioButton(QText(txt::kAllKnownHosts), this)),
      specified_(new QRadioButton(QText(txt::kSpecifiedHosts), this)),
      known_(new QListWidget(this)),
      chosen_(new QListWidget(this)) {
    setWindowTitle(
        QText(txt::kSelectHostsTitle, settings.DisplayName(settings.CurrentView()).c_str()));
    known_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    chosen_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto* add = new QPushButton(QText(txt::kAdd), this);
    auto* remove = new QPushButton(QText(txt::kRemove), this);
    auto* discoverButton = new QPushButton(QText(txt::kDiscover), this);
    connect(add, &QPushButton::clicked, this, &CSelectHostsDlg::Add);
    connect(remove, &QPushButton::clicked, this, &CSelectHostsDlg::Remove);
    connect(discoverButton, &QPushButton::clicked, this, &CSelectHostsDlg::Discover);

    const bool specified = settings.SearchMethod() == CViewSettings::kSearchSpecifiedHosts;
    specified_->setChecked(specified);
    allKnown_->setChecked(!specified);
    for (const std::string& host : settings.Hosts()) {
        auto* item = new QListWidgetItem(QString::fromStdString(host), chosen_);
        item->setData(kHostRole, QString::fromStdString(host));
    }
    FillKnown();

    auto* layout = new QGridLayout(this);
    layout->addWidget(allKnown_, 0, 0, 1, 3);
    layout->addWidget(specified_, 1, 0, 1, 3);
    layout->addWidget(new QLabel(QText(txt::kKnownHosts), this), 2, 0);
    layout->addWidget(new QLabel(QText(txt::kChosenHosts), this), 2, 2);
    layout->addWidget(known_, 3, 0);
    auto* middle = new QVBoxLayout();
    middle->addStretch();
    middle->addWidget(add);
    middle->addWidget(remove);
    middle->addSpacing(12);
    middle->addWidget(discoverButton);
    middle->addStretch();
    layout->addLayout(middle, 3, 1);
    layout->addWidget(chosen_, 3, 2);
    layout->addWidget(DialogButtons(this), 4, 0, 1, 3);
}

std::vector<std::string> CSelectHostsDlg::ChosenHosts() const {
    std::vector<std::string> hosts;
    for (int i = 0; i < chosen_->count(); ++i) {
        hosts.push_back(HostOf(chosen_->item(i)));
    }
    return hosts;
}

void CSelectHostsDlg::FillKnown() {
    known_->clear();
    const std::vector<std::string> chosen = ChosenHosts();
    for (const std::string& host : knownHosts_()) {
        auto* item = new QListWidgetItem(QString::fromStdString(host), known_);
        item->setData(kHostRole, QString::fromStdString(host));
        // A host already chosen is marked.
        const bool isChosen = std::find(chosen.begin(), chosen.end(), host) != chosen.end();
        QFont font = item->font();
        font.setBold(isChosen);
        item->setFont(font);
        item->setCheckState(isChosen ? Qt::Checked : Qt::Unchecked);
        item->setFlags(item->flags() & ~Qt::ItemIsUserCheckable);
    }
}

void CSelectHostsDlg::Add() {
    const std::vector<std::string> chosen = ChosenHosts();
    bool any = false;
    for (int i = 0; i < known_->count(); ++i) {
        QListWidgetItem* item = known_->item(i);
        if (!item->isSelected()) {
            continue;
        }
        any = true;
        const std::string host = HostOf(item);
        if (std::find(chosen.begin(), chosen.end(), host) == chosen.end()) {
            auto* added = new QListWidgetItem(QString::fromStdString(host), chosen_);
            added->setData(kHostRole, QString::fromStdString(host));
        }
    }
    if (!any) {
        ShowMessage(this, QText(txt::kSelectKnownHost), QMessageBox::Warning);
        return;
    }
    FillKnown();
}

void CSelectHostsDlg::Remove() {
    bool any = false;
    for (int i = chosen_->count() - 1; i >= 0; --i) {
        if (chosen_->item(i)->isSelected()) {
            any = true;
            delete chosen_->takeItem(i);
        }
    }
    if (!any) {
        ShowMessage(this, QText(txt::kSelectSpecifiedHost), QMessageBox::Warning);
        return;
    }
    FillKnown();
}

void CSelectHostsDlg::Discover() {
    if (discover_ && discover_()) {
        changed_ = true;
        FillKnown();
    }
}

void CSelectHostsDlg::accept() {
    if (settings_.IsLocalHostView(settings_.CurrentView())) {
        ShowMessage(this, QText(txt::kNoHostsForLocalView), QMessageBox::Information);
        QDialog::reject();
        return;
    }
    settings_.ApplyHosts(specified_->isChecked(), ChosenHosts());
    QDialog::accept();
}

}  // namespace oru
