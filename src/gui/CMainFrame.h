// The main window of the graphical manager: the host-view tree and the
// array list side by side, the toolbar, the status bar with its "FILTER ON"
// and "Count:" panes, and every command of the menus.
//
// The frame owns the device model and the view settings and is the model's
// host (messages, waits, the Device Properties sheet). The views only
// report what the user did; the frame decides, always by a posted call, so
// that nothing runs inside the view's own handlers. Posted calls that come
// while a wait runs are held until it ends (see BusyState).
#pragma once

#include <QMainWindow>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/CDeviceModel.h"
#include "gui/CViewSettings.h"
#include "gui/ModelHost.h"
#include "gui/RowTable.h"

class QAction;
class QLabel;
class QPushButton;
class QMenu;
class QSplitter;
class QTreeWidgetItem;
class QEN;

namespace platform {
class PrivateProfile;
}

namespace oru {

class CDeviceListView;
class CNoticeDlg;
class CSelectView;

struct FrameSetup {
    platform::PrivateProfile* profile = nullptr;
    // The program's QEN, for the array provider; unused when makeProviders
    // is given.
    QEN* qen = nullptr;
    // From the command line "host:serial": a temporary view of that host,
    // whose row of the array so named is selected (ArraysNamedBy).
    std::string commandLineHost;
    std::string commandLineSerial;
    // Gives the model its providers; by default the array provider.
    std::function<void(CDeviceModel&, ModelHost&)> makeProviders;
    // Reads this host's name (tests); by default the system's.
    CViewSettings::HostNameReader hostName;
};

// One array as an identifier may name it.
struct NamedArray {
    std::string serial;
    std::string alias;
};

// The arrays that `id` names: those whose serial number or alias equals it
// (trailing blanks aside, letter case as stored); positions in `arrays`,
// each array once, however many of its names match. The command line's
// array is the one named when exactly one is.
std::vector<std::size_t> ArraysNamedBy(const std::string& id,
                                       const std::vector<NamedArray>& arrays);

class CMainFrame : public QMainWindow, public EventLoopHost {
    Q_OBJECT

  public:
    explicit CMainFrame(FrameSetup setup);
    ~CMainFrame() override;

    // Shows the window and selects the current view (the first rebuild).
    void Start();
    // One idle pass: the model's poll, then the one-shot Device Properties
    // of the command line once the first rebuild is done. Stands aside while
    // a wait runs. True when the one-shot request was taken.
    bool OnIdle(bool openPropertiesOnce);

    // What shows the Device Properties sheet of a connected array instead
    // of the sheet itself (tests).
    void SetDevicePropertiesRunner(std::function<void(DiskArray&, const QString&)> runner) {
        propertiesRunner_ = std::move(runner);
    }

    // --- commands ---
    void OnDeviceProperties();
    void OnExpandDevices();
    void OnViewOptions();
    void OnSelectHosts();
    void OnCreateView();
    void OnDeleteView();
    void OnAbout();
    void OnWebPage();

    // --- what the views and the model report ---
    void OnHostViewSelected();
    void OnColumnClicked(int column);
    void OnRowActivated();
    void OnGroupBoxClicked();
    void OnStatusChanged();

    void RebuildList(bool rescan);

    // --- for tests and the benchmark ---
    CDeviceModel& Model() { return model_; }
    CViewSettings& Settings() { return settings_; }
    BusyState& BusyFlag() { return busy_; }
    CSelectView* Tree() const { return tree_; }
    CDeviceListView* List() const { return list_; }
    const RowTable& Rows() const { return rows_; }
    QLabel* FilterPane() const { return filterPane_; }
    QLabel* CountPane() const { return countPane_; }
    // Shown while a wait runs: what it waits for, and its Cancel.
    QLabel* WaitPane() const { return waitPane_; }
    QPushButton* CancelWaitButton() const { return cancelWait_; }
    bool FirstRebuildDone() const { return firstRebuildDone_; }
    int Rebuilds() const { return rebuilds_; }
    const std::vector<QAction*>& Commands() const { return commands_; }
    QAction* Command(int id) const;
    // The device indices of the selected rows.
    std::vector<std::uint32_t> SelectedIndices() const;
    QTreeWidgetItem* ItemOfRow(int row) const;

    // Command ids (the menu and toolbar commands).
    static constexpr int kDeviceProperties = 32771;
    static constexpr int kExpandDevices = 32772;
    static constexpr int kCreateView = 32778;
    static constexpr int kDeleteView = 32785;
    static constexpr int kViewOptions = 32786;
    static constexpr int kSelectHosts = 32787;
    static constexpr int kWebPage = 32795;
    static constexpr int kAbout = 57664;

    // ModelHost
    void ShowMessage(const std::string& text, Icon icon) override;
    bool AskKeepWaiting() override;
    void SetWaitCursor(bool on) override;
    void RunDeviceProperties(DiskArray& array, const std::string& title) override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void OnWaitTick() override;
    bool TakesInputWhileBusy(const QWidget* window) const override { return window == this; }

  private:
    void CreateCommands();
    void CreateMenus();
    void CreateToolbar();
    void CreateStatusBar();
    void LoadPlacement();
    void SavePlacement();

    // Runs `action` from the event loop; held while a wait runs.
    void Post(std::function<void()> action);
    void OnBusyChanged(bool busy);

    void AddDevice(std::uint32_t index);
    std::string ColumnText(std::uint32_t index, const std::string& column);
    // Selects the row of the array the command line names, when exactly one
    // of the list's arrays has that name.
    void SelectCommandLineDevice();
    void InsertItem(int row, int position);
    void ShowRow(int row, QTreeWidgetItem* item);
    void SelectRowsOf(std::uint32_t index, bool select, bool focus);
    void StoreColumnWidths();
    void ShowCount();
    void ReportHostNameError();
    bool RunDiscovery();

    platform::PrivateProfile& profile_;
    BusyState busy_;
    CViewSettings settings_;
    CDeviceModel model_;
    RowTable rows_;
    std::string commandLineHost_;
    std::string commandLineSerial_;
    // The command line's identifier names more than one array of its host:
    // the one-shot request says so and opens nothing.
    bool commandLineAmbiguous_ = false;
    std::string gbSuffix_;

    QSplitter* splitter_ = nullptr;
    CSelectView* tree_ = nullptr;
    CDeviceListView* list_ = nullptr;
    QLabel* filterPane_ = nullptr;
    QLabel* countPane_ = nullptr;
    QLabel* waitPane_ = nullptr;
    QPushButton* cancelWait_ = nullptr;
    QAction* exit_ = nullptr;
    // The window was asked to close while a wait ran: it closes once the
    // waits have returned, and shows nothing more until then.
    bool closing_ = false;
    QMenu* deviceMenu_ = nullptr;
    QMenu* viewMenu_ = nullptr;
    std::vector<QAction*> commands_;
    CNoticeDlg* notice_ = nullptr;

    std::string previousView_;
    bool firstRebuildDone_ = false;
    int rebuilds_ = 0;
    int waitCursors_ = 0;
    std::function<void(DiskArray&, const QString&)> propertiesRunner_;
};

}  // namespace oru
