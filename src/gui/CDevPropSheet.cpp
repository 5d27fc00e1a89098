#include "gui/CDevPropSheet.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "client/DiskArray.h"
#include "coresys/common/Event.h"
#include "coresys/common/PollMsg.h"
#include "gui/CDevCapPage.h"
#include "gui/CDevConfigPage.h"
#include "gui/CDevDiagPage.h"
#include "gui/CDevLUNPage.h"
#include "gui/CDevPerfPage.h"
#include "gui/CDevStatusPage.h"
#include "gui/Messages.h"
#include "gui/ModelHost.h"
#include "platform/Clock.h"

namespace oru {
namespace {

// The event that reports the rebuild's progress: the mode page's progress.
constexpr std::uint32_t kRebuildProgressMinor = 12;
// The service's event replies carry status 5.
constexpr std::uint32_t kEventStatus = 5;
constexpr std::uint32_t kProgressStatus = 4;

}  // namespace

CSheetPage::CSheetPage(CDevPropSheet& sheet) : sheet_(sheet) {}

ArrayCommands& CSheetPage::Commands() {
    return sheet_.Commands();
}

CDevPropSheet::CDevPropSheet(DiskArray& array, const QString& title, CommandWaitHost& waits,
                             QWidget* parent)
    : QDialog(parent), commands_(array, waits, this) {
    setWindowTitle(title);
    tabs_ = new QTabWidget(this);
    status_ = new CDevStatusPage(*this);
    config_ = new CDevConfigPage(*this);
    luns_ = new CDevLUNPage(*this);
    diag_ = new CDevDiagPage(*this);
    capacity_ = new CDevCapPage(*this);
    perf_ = new CDevPerfPage(*this);
    tabs_->addTab(status_, QText(txt::kPageStatus));
    tabs_->addTab(config_, QText(txt::kPageConfiguration));
    tabs_->addTab(luns_, QText(txt::kPageLogicalDrives));
    tabs_->addTab(diag_, QText(txt::kPageDiagnostics));
    tabs_->addTab(capacity_, QText(txt::kPageCapacity));
    tabs_->addTab(perf_, QText(txt::kPagePerformance));
    status_->MarkShown();

    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(QText(txt::kOk), QDialogButtonBox::AcceptRole);
    // Cancel closes the sheet also while a command waits, ending the wait.
    EventLoopHost::MarkWaitControl(
        buttons->addButton(QText(txt::kCancel), QDialogButtonBox::RejectRole));
    apply_ = buttons->addButton(QText(txt::kApply), QDialogButtonBox::ApplyRole);
    apply_->setEnabled(false);
    connect(ok_, &QPushButton::clicked, this, &CDevPropSheet::OnOk);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(apply_, &QPushButton::clicked, this, [this] { OnApply(); });
    connect(config_, &CDevConfigPage::modifiedChanged, this, &CDevPropSheet::OnModified);
    connect(tabs_, &QTabWidget::currentChanged, this, &CDevPropSheet::OnTabChanged);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_, 1);
    layout->addWidget(buttons);
    resize(760, 560);

    timer_.setInterval(static_cast<int>(platform::ScaledMs(kTimerMs)));
    connect(&timer_, &QTimer::timeout, this, &CDevPropSheet::OnTimer);
    timer_.start();
}

CDevPropSheet::~CDevPropSheet() {
    timer_.stop();
}

void CDevPropSheet::done(int result) {
    if (commands_.Busy()) {
        // The waits end as failed, quietly; the sheet closes once they have
        // returned to the pages that asked.
        commands_.SetQuiet();
        commands_.CancelWaits();
        commands_.WhenIdle(this, [this, result] { done(result); });
        return;
    }
    commands_.SetQuiet();
    timer_.stop();
    QDialog::done(result);
}

void CDevPropSheet::OnModified(bool modified) {
    apply_->setEnabled(modified);
}

void CDevPropSheet::OnOk() {
    if (OnApply()) {
        accept();
    }
}

bool CDevPropSheet::OnApply() {
    return config_->Apply();
}

void CDevPropSheet::ShowPage(int page) {
    tabs_->setCurrentIndex(page);
}

int CDevPropSheet::CurrentPage() const {
    return tabs_->currentIndex();
}

void CDevPropSheet::OnTabChanged(int index) {
    auto* page = qobject_cast<CSheetPage*>(tabs_->widget(index));
    if (page == nullptr) {
        return;
    }
    if (!page->MayActivate()) {
        // Back to the first page, from the event loop: the tab bar is still
        // busy with this change.
        QTimer::singleShot(0, this, [this] { ShowPage(kStatusPage); });
        return;
    }
    if (!page->Shown()) {
        page->MarkShown();
        page->OnFirstShow();
    }
}

void CDevPropSheet::PostRefresh(int kind) {
    commands_.WhenIdle(this, [this, kind] { Refresh(kind); });
}

void CDevPropSheet::Refresh(int kind) {
    if (commands_.Quiet()) {
        return;  // the sheet is closing
    }
    WaitCursor cursor;
    ++refreshes_;
    switch (kind) {
        case kAfterApply:
            status_->RebuildTree();
            config_->Reload();
            capacity_->Refresh();
            break;
        case kReadState:
            commands_.Await(commands_.Array().GetState());
            status_->RebuildIfChanged();
            if (config_->Modified()) {
                config_->UpdateProgress();
            } else {
                config_->Reload();
            }
            luns_->Refresh();
            diag_->Refresh();
            capacity_->Refresh();
            break;
        case kAfterDiagnostics:
            commands_.Await(commands_.Array().GetState());
            status_->RebuildTree();
            diag_->Refresh();
            break;
        case kAfterLogicalDrives:
            luns_->Refresh();
            capacity_->Refresh();
            break;
        default:
            break;
    }
}

void CDevPropSheet::OnTimer() {
    // A wait polls the connection itself; the timer stands aside.
    if (commands_.Busy()) {
        ++timerSkips_;
        return;
    }
    if (++ticks_ >= kTreeTicks) {
        status_->RebuildIfChanged();
        ticks_ = 0;
    }
    ++timerPolls_;
    const PollMsg* result = commands_.Array().PollQEN();
    if (result == nullptr) {
        return;
    }
    if (result->status == kEventStatus && result->kind == RMT_EVENT_MSG) {
        const auto* events = dynamic_cast<const EventPollMsg*>(result);
        for (std::uint32_t i = 0; events != nullptr && i < events->EventCount(); ++i) {
            const Event* event = (*events)[static_cast<unsigned short>(i)];
            if (event != nullptr && event->majorType == MSS &&
                event->minorType == kRebuildProgressMinor) {
                config_->UpdateProgress();
            }
        }
    } else if (result->status == kProgressStatus) {
        config_->UpdateProgress();
    }
}

}  // namespace oru
