#include "gui/CDevConfigPage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "client/DiskArray.h"
#include "gui/Messages.h"

namespace oru {
namespace {

constexpr std::uint32_t kAddresses = 16;  // the lists offer 0..15

QRadioButton* Radio(TextId text, QWidget* parent) {
    return new QRadioButton(QText(text), parent);
}

}  // namespace

CDevConfigPage::CDevConfigPage(CDevPropSheet& sheet) : CSheetPage(sheet) {
    autoInclude_ = new QCheckBox(QText(txt::kAutoInclude), this);
    activeSpare_ = new QCheckBox(QText(txt::kActiveSpareEnable), this);
    alias_ = new QLineEdit(this);
    alias_->setMaxLength(kAliasChars);
    resiliency_ = new QComboBox(this);
    for (TextId entry :
         {txt::kResSingleController, txt::kResHighPerformance, txt::kResNormal, txt::kResSecure}) {
        resiliency_->addItem(QText(entry));
    }
    addressX_ = new QComboBox(this);
    addressY_ = new QComboBox(this);
    veryEarlyBusy_ = new QCheckBox(QText(txt::kVeryEarlyBusy), this);
    automatic_ = Radio(txt::kRebuildAutomatic, this);
    manual_ = Radio(txt::kRebuildManual, this);
    low_ = Radio(txt::kPriorityLow, this);
    high_ = Radio(txt::kPriorityHigh, this);
    start_ = new QPushButton(QText(txt::kRebuildStart), this);
    stop_ = new QPushButton(QText(txt::kRebuildStop), this);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, 100);

    auto* settings = new QGroupBox(QText(txt::kSettingsGroup), this);
    auto* form = new QFormLayout(settings);
    form->addRow(autoInclude_);
    form->addRow(activeSpare_);
    auto* aliasLabel = new QLabel(QText(txt::kAliasName), settings);
    aliasLabel->setBuddy(alias_);
    form->addRow(aliasLabel, alias_);
    auto* resiliencyLabel = new QLabel(QText(txt::kDataResiliency), settings);
    resiliencyLabel->setBuddy(resiliency_);
    form->addRow(resiliencyLabel, resiliency_);

    auto* scsi = new QGroupBox(QText(txt::kScsiGroup), this);
    auto* scsiForm = new QFormLayout(scsi);
    auto* xLabel = new QLabel(QText(txt::kAddressX), scsi);
    xLabel->setBuddy(addressX_);
    scsiForm->addRow(xLabel, addressX_);
    auto* yLabel = new QLabel(QText(txt::kAddressY), scsi);
    yLabel->setBuddy(addressY_);
    scsiForm->addRow(yLabel, addressY_);
    scsiForm->addRow(veryEarlyBusy_);

    auto* rebuild = new QGroupBox(QText(txt::kRebuildGroup), this);
    auto* type = new QGroupBox(QText(txt::kRebuildType), rebuild);
    auto* typeLayout = new QVBoxLayout(type);
    typeLayout->addWidget(automatic_);
    typeLayout->addWidget(manual_);
    auto* priority = new QGroupBox(QText(txt::kRebuildPriority), rebuild);
    auto* priorityLayout = new QVBoxLayout(priority);
    priorityLayout->addWidget(low_);
    priorityLayout->addWidget(high_);
    auto* typeGroup = new QButtonGroup(this);
    typeGroup->addButton(automatic_);
    typeGroup->addButton(manual_);
    auto* priorityGroup = new QButtonGroup(this);
    priorityGroup->addButton(low_);
    priorityGroup->addButton(high_);
    auto* rebuildButtons = new QHBoxLayout;
    rebuildButtons->addWidget(progress_, 1);
    rebuildButtons->addWidget(start_);
    rebuildButtons->addWidget(stop_);
    auto* rebuildLayout = new QVBoxLayout(rebuild);
    auto* choices = new QHBoxLayout;
    choices->addWidget(type);
    choices->addWidget(priority);
    rebuildLayout->addLayout(choices);
    rebuildLayout->addLayout(rebuildButtons);

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(settings, 1);
    top->addWidget(scsi, 1);
    layout->addLayout(top);
    layout->addWidget(rebuild);
    layout->addStretch(1);

    auto changed = [this] {
        if (!loading_) {
            SetModified(true);
        }
    };
    connect(autoInclude_, &QCheckBox::toggled, this, changed);
    connect(activeSpare_, &QCheckBox::toggled, this, changed);
    connect(veryEarlyBusy_, &QCheckBox::toggled, this, changed);
    connect(alias_, &QLineEdit::textEdited, this, changed);
    connect(resiliency_, &QComboBox::activated, this, changed);
    connect(addressX_, &QComboBox::activated, this, changed);
    connect(addressY_, &QComboBox::activated, this, changed);
    // The radios mark the page only when their value really changed.
    connect(automatic_, &QRadioButton::toggled, this, [this](bool on) {
        if (!loading_ && on != snapshot_.autoRebuild) {
            SetModified(true);
        }
    });
    connect(high_, &QRadioButton::toggled, this, [this](bool on) {
        if (!loading_ && on != snapshot_.highPriority) {
            SetModified(true);
        }
    });
    connect(start_, &QPushButton::clicked, this, &CDevConfigPage::OnStart);
    connect(stop_, &QPushButton::clicked, this, &CDevConfigPage::OnStop);
    Reload();
}

void CDevConfigPage::FillAddresses(QComboBox* box, std::uint32_t address) {
    box->clear();
    for (std::uint32_t a = 0; a < kAddresses; ++a) {
        box->addItem(QString::number(a), a);
    }
    if (address >= kAddresses) {
        // An address the list does not offer (255: none) is shown as it is
        // and kept unless another is chosen.
        box->addItem(QString::number(address), address);
    }
    box->setCurrentIndex(box->findData(address));
}

std::uint32_t CDevConfigPage::AddressOf(const QComboBox* box) {
    return box->currentData().toUInt();
}

void CDevConfigPage::ShowSettings(const ArraySettings& settings) {
    loading_ = true;
    autoInclude_->setChecked(settings.autoInclude);
    activeSpare_->setChecked(settings.activeSpare);
    alias_->setText(QString::fromStdString(settings.alias));
    resiliency_->setCurrentIndex(settings.resiliency);  // -1 shows no entry
    FillAddresses(addressX_, settings.addressX);
    FillAddresses(addressY_, settings.addressY);
    veryEarlyBusy_->setChecked(settings.veryEarlyBusy);
    automatic_->setChecked(settings.autoRebuild);
    manual_->setChecked(!settings.autoRebuild);
    high_->setChecked(settings.highPriority);
    low_->setChecked(!settings.highPriority);
    alias_->setEnabled(!settings.aliasLocked);
    resiliency_->setEnabled(!settings.resiliencyLocked);
    veryEarlyBusy_->setEnabled(!settings.veryEarlyBusyLocked);
    loading_ = false;
}

void CDevConfigPage::Reload() {
    snapshot_ = ArraySettings::FromState(Commands().State());
    ShowSettings(snapshot_);
    SetModified(false);
    UpdateProgress();
}

void CDevConfigPage::OnFirstShow() {
    if (!snapshot_.resiliencyLocked && resiliency_->currentIndex() == kResiliencyUnknown) {
        Commands().Message(txt::kResiliencyUnknown, QMessageBox::Information);
        resiliency_->setCurrentIndex(kResiliencyNormal);
        SetModified(true);
    }
}

void CDevConfigPage::UpdateProgress() {
    const ArraySettings now = ArraySettings::FromState(Commands().State());
    progress_->setValue(static_cast<int>(now.rebuildProgress));
    start_->setEnabled(now.startAllowed);
    stop_->setEnabled(now.stopAllowed);
}

void CDevConfigPage::SetModified(bool modified) {
    if (modified_ != modified) {
        modified_ = modified;
        emit modifiedChanged(modified);
    }
}

ArraySettings CDevConfigPage::Controls() const {
    ArraySettings settings = snapshot_;
    settings.autoInclude = autoInclude_->isChecked();
    settings.activeSpare = activeSpare_->isChecked();
    settings.alias = alias_->text().toStdString();
    settings.resiliency = resiliency_->currentIndex();
    settings.addressX = AddressOf(addressX_);
    settings.addressY = AddressOf(addressY_);
    settings.veryEarlyBusy = veryEarlyBusy_->isChecked();
    settings.autoRebuild = automatic_->isChecked();
    settings.highPriority = high_->isChecked();
    return settings;
}

bool CDevConfigPage::Apply() {
    if (!modified_) {
        return true;
    }
    WaitCursor cursor;
    snapshot_ = Controls();
    const std::vector<SettingChange> changes = PlanApply(snapshot_, Commands().State());
    bool applied = true;
    for (const SettingChange& change : changes) {
        if (!Commands().Run(SendChange(Commands().Array(), change), change.failure)) {
            applied = false;
            break;
        }
    }
    if (!changes.empty()) {
        Commands().Await(Commands().Array().GetState());
    }
    if (applied) {
        SetModified(false);
        Sheet().PostRefresh(CDevPropSheet::kAfterApply);
    }
    return applied;
}

void CDevConfigPage::OnStart() {
    WaitCursor cursor;
    Commands().Run(Commands().Array().StartRebuildOperation(), txt::kErrStartRebuild);
    UpdateProgress();
}

void CDevConfigPage::OnStop() {
    if (snapshot_.autoRebuild) {
        if (!Commands().Confirm(txt::kAutoRebuildToManual)) {
            return;
        }
        WaitCursor cursor;
        if (!Commands().Run(Commands().Array().Set_AutoRebuild(0), txt::kErrRebuildType)) {
            return;
        }
        snapshot_.autoRebuild = false;
    }
    {
        WaitCursor cursor;
        Commands().Run(Commands().Array().StopRebuildOperation(), txt::kErrStopRebuild);
    }
    loading_ = true;
    automatic_->setChecked(snapshot_.autoRebuild);
    manual_->setChecked(!snapshot_.autoRebuild);
    loading_ = false;
    UpdateProgress();
}

}  // namespace oru
