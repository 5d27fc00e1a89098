#include "gui/CMainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QUrl>

#include <algorithm>
#include <string_view>

#include "coresys/common/FieldText.h"
#include "gui/CAboutDlg.h"
#include "gui/CArrayProvider.h"
#include "gui/CCreateViewDlg.h"
#include "gui/CDevPropSheet.h"
#include "gui/CDeviceListView.h"
#include "gui/CDiscoverHostsDlg.h"
#include "gui/CNoticeDlg.h"
#include "gui/CSelectDeviceDlg.h"
#include "gui/CSelectHostsDlg.h"
#include "gui/CSelectView.h"
#include "gui/CViewOptionsSheet.h"
#include "gui/Messages.h"
#include "gui/ProfileKeys.h"
#include "platform/Registry.h"

namespace oru {
namespace {

constexpr int kTreeIdealWidth = 135;
constexpr int kPaneMinimum = 25;
constexpr int kListIdealWidth = 4096;
constexpr int kDefaultWidth = 600;
constexpr int kDefaultHeight = 400;
constexpr int kDefaultLeft = 25;
constexpr int kDefaultTop = 25;

const std::string& StatusColumnName() {
    static const std::string name = keys::kColumnNames[3];
    return name;
}

const std::string& SerialColumnName() {
    static const std::string name = keys::kColumnNames[0];
    return name;
}

const std::string& AliasColumnName() {
    static const std::string name = keys::kColumnNames[1];
    return name;
}

QMessageBox::Icon BoxIcon(ModelHost::Icon icon) {
    switch (icon) {
        case ModelHost::Icon::kWarning:
            return QMessageBox::Warning;
        case ModelHost::Icon::kStop:
            return QMessageBox::Critical;
        default:
            return QMessageBox::Information;
    }
}

// The window placement of the user, or its default when it is missing or
// cannot be read.
int PlacementValue(const platform::RegistryKey& key, const char* name, int fallback) {
    std::uint32_t value = 0;
    if (!key.IsOpen() || !key.ReadDword(name, &value).ok()) {
        return fallback;
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace

std::vector<std::size_t> ArraysNamedBy(const std::string& id,
                                       const std::vector<NamedArray>& arrays) {
    std::vector<std::size_t> named;
    const std::string_view wanted = TrimTrailingBlanks(id);
    if (wanted.empty()) {
        return named;
    }
    for (std::size_t i = 0; i < arrays.size(); ++i) {
        if (TrimTrailingBlanks(arrays[i].serial) == wanted ||
            TrimTrailingBlanks(arrays[i].alias) == wanted) {
            named.push_back(i);
        }
    }
    return named;
}

CMainFrame::CMainFrame(FrameSetup setup)
    : EventLoopHost(busy_),
      profile_(*setup.profile),
      settings_(*setup.profile, std::move(setup.hostName)),
      commandLineHost_(setup.commandLineHost),
      commandLineSerial_(setup.commandLineSerial) {
    setWindowTitle(QText(txt::kAppTitle));
    const std::string gb = GuiText(txt::kGigabytes);
    gbSuffix_ = gb.size() >= 3 ? gb.substr(gb.size() - 3) : gb;
    busy_.OnChange([this](bool busy) { OnBusyChanged(busy); });

    LoadPlacement();
    CreateCommands();
    CreateMenus();
    CreateToolbar();
    CreateStatusBar();

    splitter_ = new QSplitter(Qt::Horizontal, this);
    settings_.LoadViews();
    tree_ = new CSelectView(splitter_);
    tree_->setMinimumWidth(kPaneMinimum);
    tree_->SetContextMenu(viewMenu_);
    if (!setup.commandLineHost.empty()) {
        settings_.AddTempView(setup.commandLineHost);
    }
    tree_->Fill(settings_);
    {
        const QSignalBlocker quiet(tree_);
        tree_->setCurrentItem(tree_->ItemOfView(settings_.CurrentView()));
    }
    if (setup.makeProviders) {
        setup.makeProviders(model_, *this);
    } else {
        model_.AddProvider(std::make_unique<CArrayProvider>(*setup.qen, profile_, *this));
    }
    for (int p = 0; p < model_.ProviderCount(); ++p) {
        if (auto* arrays = dynamic_cast<CArrayProvider*>(&model_.Provider(p))) {
            // Also while a wait on one array runs: only a list wait holds
            // the rows still.
            connect(arrays, &CArrayProvider::statusChanged, this,
                    [this] { busy_.WhenListFree(this, [this] { OnStatusChanged(); }); });
        }
    }
    list_ = new CDeviceListView(splitter_);
    list_->setMinimumWidth(kPaneMinimum);
    list_->SetContextMenus(deviceMenu_, viewMenu_);
    splitter_->addWidget(tree_);
    splitter_->addWidget(list_);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({kTreeIdealWidth, kListIdealWidth});
    setCentralWidget(splitter_);

    connect(tree_, &CSelectView::selectionMoved, this,
            [this] { Post([this] { OnHostViewSelected(); }); });
    connect(list_, &CDeviceListView::columnClicked, this,
            [this](int column) { Post([this, column] { OnColumnClicked(column); }); });
    connect(list_, &CDeviceListView::rowActivated, this,
            [this] { Post([this] { OnRowActivated(); }); });
    connect(list_, &CDeviceListView::groupBoxClicked, this,
            [this] { Post([this] { OnGroupBoxClicked(); }); });
}

CMainFrame::~CMainFrame() {
    // Taking the views down must not post calls to a frame that is going.
    tree_->disconnect(this);
    list_->disconnect(this);
}

void CMainFrame::Start() {
    show();
    ReportHostNameError();
    Post([this] { OnHostViewSelected(); });
}

// ---------------------------------------------------------------------------
// Window parts

void CMainFrame::CreateCommands() {
    QStyle* style = QApplication::style();
    struct ActionEntry {
        int id;
        TextId text;
        QStyle::StandardPixmap icon;
        void (CMainFrame::*handler)();
    };
    const ActionEntry entries[] = {
        {kDeviceProperties, txt::kMenuProperties, QStyle::SP_FileDialogDetailedView,
         &CMainFrame::OnDeviceProperties},
        {kExpandDevices, txt::kMenuExpand, QStyle::SP_FileDialogListView,
         &CMainFrame::OnExpandDevices},
        {kViewOptions, txt::kMenuViewOptions, QStyle::SP_FileDialogContentsView,
         &CMainFrame::OnViewOptions},
        {kSelectHosts, txt::kMenuSelectHosts, QStyle::SP_DriveNetIcon, &CMainFrame::OnSelectHosts},
        {kCreateView, txt::kMenuNewView, QStyle::SP_FileDialogNewFolder, &CMainFrame::OnCreateView},
        {kDeleteView, txt::kMenuDeleteView, QStyle::SP_TrashIcon, &CMainFrame::OnDeleteView},
        {kAbout, txt::kMenuAbout, QStyle::SP_MessageBoxInformation, &CMainFrame::OnAbout},
        {kWebPage, txt::kMenuWebPage, QStyle::SP_DirHomeIcon, &CMainFrame::OnWebPage},
    };
    for (const ActionEntry& entry : entries) {
        auto* action = new QAction(style->standardIcon(entry.icon), QText(entry.text), this);
        action->setData(entry.id);
        const auto handler = entry.handler;
        connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
        commands_.push_back(action);
    }
}

QAction* CMainFrame::Command(int id) const {
    for (QAction* action : commands_) {
        if (action->data().toInt() == id) {
            return action;
        }
    }
    return nullptr;
}

void CMainFrame::CreateMenus() {
    QMenu* file = menuBar()->addMenu(QText(txt::kMenuFile));
    exit_ = file->addAction(QText(txt::kMenuExit));
    connect(exit_, &QAction::triggered, this, &QWidget::close);
    commands_.push_back(exit_);

    deviceMenu_ = menuBar()->addMenu(QText(txt::kMenuDevice));
    deviceMenu_->addAction(Command(kDeviceProperties));
    deviceMenu_->addAction(Command(kExpandDevices));

    viewMenu_ = menuBar()->addMenu(QText(txt::kMenuView));
    viewMenu_->addAction(Command(kViewOptions));
    viewMenu_->addAction(Command(kSelectHosts));
    viewMenu_->addSeparator();
    viewMenu_->addAction(Command(kCreateView));
    viewMenu_->addAction(Command(kDeleteView));

    QMenu* help = menuBar()->addMenu(QText(txt::kMenuHelp));
    help->addAction(Command(kAbout));
    help->addAction(Command(kWebPage));
}

void CMainFrame::CreateToolbar() {
    QToolBar* toolbar = addToolBar(QText(txt::kToolbarName));
    toolbar->setObjectName("toolbar");
    toolbar->setMovable(true);
    for (int id : {kDeviceProperties, kExpandDevices, 0, kViewOptions, kSelectHosts, 0, kCreateView,
                   kDeleteView, 0, kAbout}) {
        if (id == 0) {
            toolbar->addSeparator();
        } else {
            toolbar->addAction(Command(id));
        }
    }
    viewMenu_->addSeparator();
    QAction* toggleToolbar = toolbar->toggleViewAction();
    toggleToolbar->setText(QText(txt::kMenuToolbar));
    viewMenu_->addAction(toggleToolbar);
}

void CMainFrame::CreateStatusBar() {
    filterPane_ = new QLabel(this);
    countPane_ = new QLabel(this);
    const QFontMetrics metrics(statusBar()->font());
    filterPane_->setMinimumWidth(metrics.horizontalAdvance(QText(txt::kFilterOn)) + 12);
    countPane_->setMinimumWidth(metrics.horizontalAdvance(QText(txt::kCountSizer)) + 12);
    // What a wait is for and its Cancel, left of the panes.
    waitPane_ = new QLabel(this);
    waitPane_->setObjectName("waitPane");
    cancelWait_ = new QPushButton(QText(txt::kCancel), this);
    cancelWait_->setObjectName("cancelWait");
    MarkWaitControl(cancelWait_);
    connect(cancelWait_, &QPushButton::clicked, this, [this] { CancelWaits(); });
    statusBar()->addWidget(waitPane_, 1);
    statusBar()->addWidget(cancelWait_);
    waitPane_->hide();
    cancelWait_->hide();
    statusBar()->addPermanentWidget(filterPane_);
    statusBar()->addPermanentWidget(countPane_);
    QAction* toggle = new QAction(QText(txt::kMenuStatusBar), this);
    toggle->setCheckable(true);
    toggle->setChecked(true);
    connect(toggle, &QAction::toggled, statusBar(), &QWidget::setVisible);
    viewMenu_->addAction(toggle);
}

void CMainFrame::LoadPlacement() {
    platform::RegistryKey key;
    platform::RegistryKey::Open(platform::Hive::CURRENT_USER, keys::kRegistryKey, &key);
    const int width = PlacementValue(key, keys::kWidth, kDefaultWidth);
    const int height = PlacementValue(key, keys::kHeight, kDefaultHeight);
    const int left = PlacementValue(key, keys::kLeft, kDefaultLeft);
    const int top = PlacementValue(key, keys::kTop, kDefaultTop);
    // A size no window can have is damage, not a placement.
    const bool sane =
        width >= kPaneMinimum && height >= kPaneMinimum && width <= 100000 && height <= 100000;
    resize(sane ? width : kDefaultWidth, sane ? height : kDefaultHeight);
    move(sane ? left : kDefaultLeft, sane ? top : kDefaultTop);
}

void CMainFrame::SavePlacement() {
    const QRect normal = isMaximized() || isMinimized() ? normalGeometry() : QRect(pos(), size());
    platform::RegistryKey key;
    if (!platform::RegistryKey::Create(platform::Hive::CURRENT_USER, keys::kRegistryKey, &key)
             .ok()) {
        return;
    }
    key.WriteDword(keys::kWidth, static_cast<std::uint32_t>(normal.width()));
    key.WriteDword(keys::kHeight, static_cast<std::uint32_t>(normal.height()));
    key.WriteDword(keys::kLeft, static_cast<std::uint32_t>(normal.x()));
    key.WriteDword(keys::kTop, static_cast<std::uint32_t>(normal.y()));
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // Not from inside a wait, whose callers would return to a closed window:
    // the waits end as failed, and the window closes once they returned.
    if (busy_.Busy()) {
        closing_ = true;
        CancelWaits();
        event->ignore();
        return;
    }
    SavePlacement();
    StoreColumnWidths();
    settings_.SaveView();
    QMainWindow::closeEvent(event);
}

// ---------------------------------------------------------------------------
// Posting and the busy rule

void CMainFrame::Post(std::function<void()> action) {
    busy_.WhenIdle(this, std::move(action));
}

void CMainFrame::OnBusyChanged(bool busy) {
    // A second command waits for the first; closing the window does not.
    for (QAction* action : commands_) {
        action->setEnabled(!busy || action == exit_);
    }
    // The subject names the array of an array wait; a list wait (a capacity
    // read while a sheet is open) is not for it.
    const std::string& subject = busy_.Subject();
    waitPane_->setText(subject.empty() || busy_.ListHeld() ? QText(txt::kPleaseWait)
                                                           : QString::fromStdString(subject));
    waitPane_->setVisible(busy);
    cancelWait_->setVisible(busy);
    if (!busy && closing_) {
        QMetaObject::invokeMethod(
            this, [this] { close(); }, Qt::QueuedConnection);
    }
}

bool CMainFrame::OnIdle(bool openPropertiesOnce) {
    // A wait on one array lets the others' status go on; a list wait holds
    // the list still.
    if (busy_.ListHeld()) {
        return false;
    }
    model_.Poll();
    if (busy_.Busy()) {
        return false;
    }
    if (openPropertiesOnce && firstRebuildDone_) {
        if (commandLineAmbiguous_) {
            Post([this] {
                ShowMessage(GuiText(txt::kAmbiguousArray, commandLineHost_.c_str(),
                                    commandLineSerial_.c_str()),
                            Icon::kWarning);
            });
        } else {
            Post([this] { OnDeviceProperties(); });
        }
        return true;
    }
    return false;
}

// ---------------------------------------------------------------------------
// ModelHost

void CMainFrame::ShowMessage(const std::string& text, Icon icon) {
    if (closing_) {
        return;  // the user is done with the window
    }
    oru::ShowMessage(this, QString::fromStdString(text), BoxIcon(icon));
}

bool CMainFrame::AskKeepWaiting() {
    return !closing_ && AskYesNo(this, QText(txt::kAskKeepWaiting), QMessageBox::Warning);
}

void CMainFrame::SetWaitCursor(bool on) {
    if (on) {
        ++waitCursors_;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (waitCursors_ > 0) {
        --waitCursors_;
        QApplication::restoreOverrideCursor();
    }
}

void CMainFrame::RunDeviceProperties(DiskArray& array, const std::string& title) {
    if (closing_) {
        return;
    }
    if (propertiesRunner_) {
        propertiesRunner_(array, QString::fromStdString(title));
        return;
    }
    // Its waits are the frame's: one busy state for the whole program.
    CDevPropSheet sheet(array, QString::fromStdString(title), *this, this);
    sheet.exec();
}

void CMainFrame::OnWaitTick() {
    CNoticeDlg* notice =
        notice_ != nullptr ? notice_ : qobject_cast<CNoticeDlg*>(QApplication::activeWindow());
    if (notice != nullptr) {
        notice->Step();
    }
}

// ---------------------------------------------------------------------------
// Host views

void CMainFrame::OnHostViewSelected() {
    QTreeWidgetItem* selected = tree_->currentItem();
    if (selected == nullptr || selected->parent() != nullptr) {
        return;
    }
    if (CSelectView::IsNewViewItem(selected)) {
        if (QTreeWidgetItem* previous = tree_->ItemOfView(previousView_)) {
            tree_->setCurrentItem(previous);
        }
        OnCreateView();
        return;
    }
    const std::string view = CSelectView::ViewOf(selected);
    if (view == previousView_) {
        return;
    }
    if (QTreeWidgetItem* previous = tree_->ItemOfView(previousView_)) {
        previous->setExpanded(false);
        qDeleteAll(previous->takeChildren());
    }
    if (!previousView_.empty() && previousView_ == settings_.CurrentView()) {
        StoreColumnWidths();
    }
    previousView_ = view;
    if (settings_.CurrentView() != view) {
        settings_.SelectView(view);
        ReportHostNameError();
    }
    RebuildList(true);
}

void CMainFrame::ReportHostNameError() {
    if (std::optional<int> error = settings_.TakeHostNameError()) {
        ShowMessage(GuiText(txt::kLocalHostNameError, *error), Icon::kWarning);
    }
}

void CMainFrame::OnViewOptions() {
    if (settings_.IsProtected(settings_.CurrentView())) {
        ShowMessage(GuiText(txt::kProtectedNoOptions), Icon::kInformation);
        return;
    }
    StoreColumnWidths();
    CViewOptionsSheet sheet(settings_, this);
    if (sheet.exec() == QDialog::Accepted) {
        RebuildList(false);
    }
}

bool CMainFrame::RunDiscovery() {
    CDiscoverHostsDlg dialog(this);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    model_.StartDiscovery(dialog.Host(), dialog.ClearHostList());
    CNoticeDlg notice(txt::kDiscovering, this);
    notice.show();
    notice_ = &notice;
    if (!WaitUntil([this] { return model_.DiscoveryDone(); }, kWorkerBudgetMs)) {
        model_.AbandonWaits();
        model_.DiscoveryDone();
    }
    notice_ = nullptr;
    return true;
}

void CMainFrame::OnSelectHosts() {
    if (settings_.IsLocalHostView(settings_.CurrentView())) {
        ShowMessage(GuiText(txt::kNoHostsForLocalView), Icon::kInformation);
        return;
    }
    CSelectHostsDlg dialog(
        settings_, [this] { return model_.HostNames(); }, [this] { return RunDiscovery(); }, this);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (accepted || dialog.Changed()) {
        RebuildList(true);
    }
}

void CMainFrame::OnCreateView() {
    CCreateViewDlg dialog(this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const std::string name = dialog.Name();
    switch (settings_.CheckNewName(name)) {
        case CViewSettings::NameCheck::kExists:
            ShowMessage(GuiText(txt::kNameExists), Icon::kWarning);
            return;
        case CViewSettings::NameCheck::kInvalid:
            ShowMessage(GuiText(txt::kViewNameInvalid), Icon::kWarning);
            return;
        case CViewSettings::NameCheck::kOk:
            break;
    }
    settings_.CreateView(name);
    CViewOptionsSheet sheet(settings_, this);
    sheet.exec();
    CSelectHostsDlg hosts(
        settings_, [this] { return model_.HostNames(); }, [this] { return RunDiscovery(); }, this);
    hosts.exec();
    tree_->setCurrentItem(tree_->InsertUserView(name, QString::fromStdString(name)));
}

void CMainFrame::OnDeleteView() {
    const std::string view = settings_.CurrentView();
    if (settings_.IsProtected(view)) {
        ShowMessage(GuiText(txt::kProtectedNoDelete), Icon::kStop);
        return;
    }
    if (!AskOkCancel(this, QText(txt::kAskDeleteView))) {
        return;
    }
    settings_.DeleteCurrentView();
    QTreeWidgetItem* gone = tree_->ItemOfView(view);
    // To the local host view: the first item would start a new view.
    tree_->setCurrentItem(tree_->ItemOfView(keys::kLocalHostView));
    delete gone;
}

void CMainFrame::OnAbout() {
    CAboutDlg about(this);
    about.exec();
}

void CMainFrame::OnWebPage() {
    if (!QDesktopServices::openUrl(QUrl(QString::fromUtf8(keys::kWebPage)))) {
        ShowMessage(GuiText(txt::kWebPageFailed, keys::kWebPage), Icon::kWarning);
    }
}

// ---------------------------------------------------------------------------
// Devices

std::vector<std::uint32_t> CMainFrame::SelectedIndices() const {
    std::vector<std::uint32_t> indices;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list_->topLevelItem(i);
        if (!item->isSelected()) {
            continue;
        }
        const int row = item->data(0, CDeviceListView::kRowRole).toInt();
        for (const RowTable::Device& device : rows_.RowAt(row).devices) {
            indices.push_back(device.index);
        }
    }
    return indices;
}

void CMainFrame::OnDeviceProperties() {
    const std::vector<std::uint32_t> indices = SelectedIndices();
    if (indices.empty()) {
        ShowMessage(GuiText(txt::kSelectDevice), Icon::kInformation);
        return;
    }
    model_.OpenProperties(indices);
}

void CMainFrame::OnExpandDevices() {
    const std::vector<std::uint32_t> indices = SelectedIndices();
    if (indices.empty()) {
        ShowMessage(GuiText(txt::kSelectDevice), Icon::kInformation);
        return;
    }
    CSelectDeviceDlg dialog(model_, indices, this);
    if (dialog.exec() == QDialog::Accepted) {
        model_.OpenProperties(dialog.Chosen());
    }
}

void CMainFrame::OnRowActivated() {
    if (SelectedIndices().size() == 1) {
        Post([this] { OnDeviceProperties(); });
    } else {
        Post([this] { OnExpandDevices(); });
    }
}

void CMainFrame::OnGroupBoxClicked() {
    if (SelectedIndices().size() > 1) {
        Post([this] { OnExpandDevices(); });
    }
}

void CMainFrame::StoreColumnWidths() {
    if (list_ == nullptr) {
        return;
    }
    const int count = std::min(list_->columnCount(), static_cast<int>(settings_.Columns().size()));
    for (int i = 0; i < count; ++i) {
        settings_.SetColumnWidth(i, list_->columnWidth(i));
    }
}

void CMainFrame::OnColumnClicked(int column) {
    const std::vector<std::string> columns = settings_.Columns();
    if (column < 0 || column >= static_cast<int>(columns.size())) {
        return;
    }
    StoreColumnWidths();
    const std::string& name = columns[static_cast<std::size_t>(column)];
    std::vector<std::string> sort = settings_.SortOrder();
    if (!sort.empty() && sort.front() == name) {
        settings_.SetSortMethod(settings_.SortMethod() == CViewSettings::kDescending
                                    ? CViewSettings::kAscending
                                    : CViewSettings::kDescending);
    } else {
        std::erase(sort, name);
        sort.insert(sort.begin(), name);
        for (std::size_t i = 0; i < sort.size(); ++i) {
            settings_.SetSortEntry(static_cast<int>(i), sort[i]);
        }
    }
    RebuildList(false);
}

std::string CMainFrame::ColumnText(std::uint32_t index, const std::string& column) {
    std::string text;
    while (model_.ColumnText(index, column, &text) == CDeviceProvider::kTextPending) {
        if (!WaitUntil([this] { return model_.CapacityWorkerIdle(); }, kWorkerBudgetMs)) {
            model_.AbandonWaits();
        }
    }
    return text;
}

void CMainFrame::RebuildList(bool rescan) {
    ++rebuilds_;
    const std::vector<std::uint32_t> remembered =
        rescan ? std::vector<std::uint32_t>() : SelectedIndices();
    const std::vector<std::string>& columns = settings_.Columns();
    const std::vector<std::string>& sort = settings_.SortOrder();
    QStringList titles;
    std::vector<int> widths;
    int statusColumn = -1;
    int sortColumn = -1;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        titles << ColumnTitle(columns[i]);
        widths.push_back(settings_.ColumnWidth(static_cast<int>(i)));
        if (columns[i] == StatusColumnName()) {
            statusColumn = static_cast<int>(i);
        }
        if (!sort.empty() && columns[i] == sort.front()) {
            sortColumn = static_cast<int>(i);
        }
    }
    const bool descending = settings_.SortMethod() == CViewSettings::kDescending;
    list_->SetColumns(titles, widths, statusColumn, sortColumn, descending);
    rows_.Reset(columns, sort, descending, StatusColumnName(), gbSuffix_);
    filterPane_->clear();
    countPane_->clear();

    std::vector<std::string> hosts;
    if (settings_.SearchMethod() == CViewSettings::kSearchSpecifiedHosts) {
        hosts = settings_.Hosts();
    } else {
        hosts = model_.HostNames();
    }
    if (hosts.empty()) {
        ShowMessage(GuiText(txt::kNoHostsInView), Icon::kInformation);
        Post([this] { OnSelectHosts(); });
        return;
    }

    std::unique_ptr<CNoticeDlg> notice;
    if (rescan) {
        model_.ForgetAllDevices();
        // The panes, not the window: the wait dialog is a window of its own
        // and would be greyed with it.
        centralWidget()->setEnabled(false);
        notice = std::make_unique<CNoticeDlg>(txt::kBuildingList, this);
        notice->show();
        notice_ = notice.get();
    }
    std::size_t added = 0;
    for (const std::string& host : hosts) {
        if (notice != nullptr) {
            notice->SetSecondLine(QText(txt::kCurrentHost, host.c_str()));
        }
        if (rescan) {
            model_.StartScan(host);
            if (!WaitUntil([this] { return model_.ScanDone(); }, kWorkerBudgetMs)) {
                model_.AbandonWaits();
                model_.ScanDone();
            }
            model_.CollectDevices();
        }
        const std::vector<std::uint32_t>& devices = model_.Devices();
        for (; added < devices.size(); ++added) {
            AddDevice(devices[added]);
        }
    }
    notice_ = nullptr;
    notice.reset();
    centralWidget()->setEnabled(true);
    SelectCommandLineDevice();
    ShowCount();
    for (std::uint32_t index : remembered) {
        SelectRowsOf(index, true, false);
    }
    firstRebuildDone_ = true;
}

void CMainFrame::ShowCount() {
    countPane_->setText(QText(txt::kCount, static_cast<int>(rows_.Order().size())));
}

void CMainFrame::AddDevice(std::uint32_t index) {
    const std::vector<std::string>& columns = settings_.Columns();
    RowTable::Device device;
    device.index = index;
    for (const std::string& column : columns) {
        device.texts.push_back(ColumnText(index, column));
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const ColumnFilter* filter = settings_.Filter(columns[i]);
        if (filter != nullptr && !filter->Keeps(device.texts[i])) {
            filterPane_->setText(QText(txt::kFilterOn));
            return;
        }
    }
    device.statusValue = model_.StatusValue(index);
    const RowTable::Placement placement = rows_.Add(std::move(device));
    if (placement.joined) {
        ShowRow(placement.row, ItemOfRow(placement.row));
    } else {
        InsertItem(placement.row, placement.position);
    }
}

void CMainFrame::SelectCommandLineDevice() {
    if (commandLineSerial_.empty()) {
        return;
    }
    const std::vector<std::uint32_t>& devices = model_.Devices();
    std::vector<NamedArray> arrays;
    for (std::uint32_t index : devices) {
        arrays.push_back(
            {ColumnText(index, SerialColumnName()), ColumnText(index, AliasColumnName())});
    }
    const std::vector<std::size_t> named = ArraysNamedBy(commandLineSerial_, arrays);
    commandLineAmbiguous_ = named.size() > 1;
    if (named.size() == 1) {
        SelectRowsOf(devices[named.front()], true, true);
    }
}

void CMainFrame::InsertItem(int row, int position) {
    auto* item = new QTreeWidgetItem();
    list_->insertTopLevelItem(position, item);
    ShowRow(row, item);
}

void CMainFrame::ShowRow(int row, QTreeWidgetItem* item) {
    if (item == nullptr) {
        return;
    }
    const RowTable::Row& shown = rows_.RowAt(row);
    const RowTable::Device& first = shown.devices.front();
    for (std::size_t i = 0; i < first.texts.size(); ++i) {
        item->setText(static_cast<int>(i), QString::fromStdString(first.texts[i]));
    }
    item->setData(0, CDeviceListView::kRowRole, row);
    item->setData(0, CDeviceListView::kDeviceCountRole, static_cast<int>(shown.devices.size()));
    item->setData(0, CDeviceListView::kStatusRole, first.statusValue);
}

QTreeWidgetItem* CMainFrame::ItemOfRow(int row) const {
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list_->topLevelItem(i);
        if (item->data(0, CDeviceListView::kRowRole).toInt() == row) {
            return item;
        }
    }
    return nullptr;
}

void CMainFrame::SelectRowsOf(std::uint32_t index, bool select, bool focus) {
    for (int row : rows_.RowsOf(index)) {
        QTreeWidgetItem* item = ItemOfRow(row);
        if (item == nullptr) {
            continue;
        }
        if (select) {
            item->setSelected(true);
        }
        if (focus) {
            list_->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
        }
    }
}

void CMainFrame::OnStatusChanged() {
    const std::vector<std::uint32_t> devices = model_.Devices();
    for (std::uint32_t index : devices) {
        if (!model_.StatusChanged(index)) {
            continue;
        }
        bool selected = false;
        bool focused = false;
        for (const auto& [row, empty] : rows_.Remove(index)) {
            QTreeWidgetItem* item = ItemOfRow(row);
            if (item == nullptr) {
                continue;
            }
            selected = selected || item->isSelected();
            focused = focused || item == list_->currentItem();
            if (empty) {
                delete item;
            } else {
                ShowRow(row, item);
            }
        }
        AddDevice(index);
        if (selected || focused) {
            SelectRowsOf(index, selected, focused);
        }
    }
    ShowCount();
}

}  // namespace oru
