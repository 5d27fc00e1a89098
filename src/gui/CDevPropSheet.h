// The Device Properties sheet: one connected array examined and changed in
// six pages (Status, Configuration, Logical Drives, Diagnostics, Capacity,
// Performance) that share its DiskArray.
//
// A 500 ms timer keeps the state fresh: it polls the array for the
// service's events (which update the array's state as they are decoded),
// lets the Configuration page follow a rebuild, and every 16 s rebuilds the
// status tree when something changed. The timer stands aside while a command
// wait runs (the one busy rule): it never polls the connection another wait
// is polling. Pages ask the sheet for refreshes after their commands; those
// run from the event loop, also held while a wait runs.
#pragma once

#include <QDialog>
#include <QTimer>

#include <memory>

#include "gui/ArrayCommands.h"

class DiskArray;
class QPushButton;
class QTabWidget;

namespace oru {

class CDevCapPage;
class CDevConfigPage;
class CDevDiagPage;
class CDevLUNPage;
class CDevPerfPage;
class CDevStatusPage;
class CDevPropSheet;

// What every page of the sheet is: a widget that is told when it is shown
// for the first time and may refuse to be shown.
class CSheetPage : public QWidget {
    Q_OBJECT

  public:
    explicit CSheetPage(CDevPropSheet& sheet);

    // Called once, when the page is shown for the first time.
    virtual void OnFirstShow() {}
    // Whether the page may be shown now (else the sheet goes back to its
    // first page); it says why itself.
    virtual bool MayActivate() { return true; }
    bool Shown() const { return shown_; }
    void MarkShown() { shown_ = true; }

  protected:
    CDevPropSheet& Sheet() { return sheet_; }
    ArrayCommands& Commands();

  private:
    CDevPropSheet& sheet_;
    bool shown_ = false;
};

class CDevPropSheet : public QDialog {
    Q_OBJECT

  public:
    // Refreshes the pages ask for.
    enum RefreshKind : int {
        kAfterApply = 1,          // status tree, settings and capacity from the state
        kReadState = 2,           // a new state, then every page
        kAfterDiagnostics = 3,    // a new state, the status tree and Diagnostics
        kAfterLogicalDrives = 4,  // Logical Drives and Capacity
    };
    enum Page : int {
        kStatusPage = 0,
        kConfigPage = 1,
        kLunPage = 2,
        kDiagPage = 3,
        kCapacityPage = 4,
        kPerfPage = 5,
    };
    static constexpr int kTimerMs = 500;
    // The status tree is looked at again every this many timer ticks.
    static constexpr int kTreeTicks = 32;

    // The sheet of a connected array; waits run through `waits` (the main
    // frame, or a test's host).
    CDevPropSheet(DiskArray& array, const QString& title, CommandWaitHost& waits,
                  QWidget* parent = nullptr);
    ~CDevPropSheet() override;

    ArrayCommands& Commands() { return commands_; }

    // Runs a refresh from the event loop, once no wait runs.
    void PostRefresh(int kind);
    // Runs it now, under the wait cursor.
    void Refresh(int kind);
    // One tick of the refresh timer.
    void OnTimer();

    // Shows a page (as a click on its tab would).
    void ShowPage(int page);
    int CurrentPage() const;

    CDevStatusPage* StatusPage() const { return status_; }
    CDevConfigPage* ConfigPage() const { return config_; }
    CDevLUNPage* LunPage() const { return luns_; }
    CDevDiagPage* DiagPage() const { return diag_; }
    CDevCapPage* CapacityPage() const { return capacity_; }
    CDevPerfPage* PerfPage() const { return perf_; }
    QTabWidget* Tabs() const { return tabs_; }
    QPushButton* ApplyButton() const { return apply_; }
    QPushButton* OkButton() const { return ok_; }
    QTimer& Timer() { return timer_; }
    // Polls the timer made, ticks it stood aside for a wait, and refreshes
    // run, so far (tests).
    int TimerPolls() const { return timerPolls_; }
    int TimerSkips() const { return timerSkips_; }
    int RefreshesRun() const { return refreshes_; }

    // OK: applies the Configuration page; the sheet closes when that
    // succeeded. Apply: the same without closing.
    void OnOk();
    bool OnApply();

  protected:
    void done(int result) override;

  private:
    void OnTabChanged(int index);
    void OnModified(bool modified);

    ArrayCommands commands_;
    QTabWidget* tabs_ = nullptr;
    CDevStatusPage* status_ = nullptr;
    CDevConfigPage* config_ = nullptr;
    CDevLUNPage* luns_ = nullptr;
    CDevDiagPage* diag_ = nullptr;
    CDevCapPage* capacity_ = nullptr;
    CDevPerfPage* perf_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* apply_ = nullptr;
    QTimer timer_;
    int ticks_ = 0;
    int timerPolls_ = 0;
    int timerSkips_ = 0;
    int refreshes_ = 0;
};

}  // namespace oru
