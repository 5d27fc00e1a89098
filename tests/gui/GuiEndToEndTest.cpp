// The list of the graphical manager against the real service over the
// simulator's default cabinets (GuiEndToEndFixture.h): each check can say
// how many gross-status rounds the window needed to show a change. The
// window is also grabbed into PNG files (a plain and a filtered list).
#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <csignal>

#include "GuiEndToEndFixture.h"
#include "GuiTestSupport.h"
#include "client/DiskArray.h"
#include "coresys/common/GrossStatus.h"
#include "gui/CArrayProvider.h"
#include "gui/CDevPropSheet.h"
#include "gui/CDeviceListView.h"
#include "gui/CMainFrame.h"
#include "gui/COruApp.h"
#include "gui/CSelectView.h"
#include "gui/CViewSettings.h"
#include "gui/ClientWorkers.h"
#include "gui/DeviceStatus.h"
#include "gui/ProfileKeys.h"
#include "platform/Clock.h"

namespace {

class GuiEndToEnd : public guitest::GuiEndToEnd {
  protected:
    void Grab(const char* file) {
        Frame().resize(1240, 260);
        // Room for the whole status text.
        Frame().List()->setColumnWidth(ColumnOf(oru::keys::kColumnNames[3]), 420);
        GrabTo(&Frame(), file);
    }
};

TEST_F(GuiEndToEnd, TheListShowsTheSimulatorsArraysWithTheirStatus) {
    Open();
    // The local host view: this host's service and its two cabinets.
    EXPECT_EQ(Frame().Settings().CurrentView(), oru::keys::kLocalHostView);
    ASSERT_EQ(Frame().List()->topLevelItemCount(), 2);
    ASSERT_NE(RowOf(kFirst), nullptr);
    ASSERT_NE(RowOf(kSecond), nullptr);
    EXPECT_EQ(RowOf(kFirst)->text(0).toStdString(), netsrvtest::AnnouncedHostName());
    EXPECT_EQ(Frame().CountPane()->text(), "Count:   2");
    // The first round's answers: both cabinets are whole and ready.
    ASSERT_TRUE(guitest::Eventually(
        [&] { return StatusOf(kFirst) == "Normal" && StatusOf(kSecond) == "Normal"; }, kLimitMs))
        << StatusOf(kFirst) << " / " << StatusOf(kSecond);
    EXPECT_EQ(RowOf(kFirst)->data(0, oru::CDeviceListView::kStatusRole).toInt(), oru::DS_NORMAL);
}

TEST_F(GuiEndToEnd, APulledDriveChangesTheRowWithinOneRound) {
    Open();
    ASSERT_TRUE(guitest::Eventually([&] { return StatusOf(kFirst) == "Normal"; }, kLimitMs));
    ASSERT_EQ(sim_.Control({"pull", "0", "A2"}), 0);
    // The service reads the cabinet anew for this request.
    ASSERT_TRUE(FetchState());
    const oru::StatusEvaluation expected = oru::EvaluateArrayStatus(GrossStatus(State()));
    ASSERT_NE(expected.text, "Normal");
    const int round = Arrays().RoundCount();
    ASSERT_TRUE(guitest::Eventually([&] { return StatusOf(kFirst) != "Normal"; }, kLimitMs));
    EXPECT_LE(Arrays().RoundCount(), round + 1);
    EXPECT_EQ(StatusOf(kFirst), expected.text);
    EXPECT_EQ(RowOf(kFirst)->data(0, oru::CDeviceListView::kStatusRole).toInt(), expected.value);
    EXPECT_GE(expected.value, oru::DS_WARNING);
    EXPECT_EQ(StatusOf(kSecond), "Normal");

    // The list with the changed row, as a picture.
    ShowView("Cabinets", {"Host Name", "Array Serial #", "Array Alias", "Array Status",
                          "Array Total Space", "Array Unallocated Space"});
    ASSERT_TRUE(guitest::Eventually(
        [&] { return StatusOf(kFirst) == expected.text && StatusOf(kSecond) == "Normal"; },
        kLimitMs));
    Grab("oru-list.png");

    // Back in its slot, the drive is not a member again: still not Normal.
    ASSERT_EQ(sim_.Control({"insert", "0", "A2", "D1S02000000"}), 0);
    ASSERT_TRUE(FetchState());
    const oru::StatusEvaluation after = oru::EvaluateArrayStatus(GrossStatus(State()));
    const int next = Arrays().RoundCount();
    ASSERT_TRUE(guitest::Eventually([&] { return StatusOf(kFirst) == after.text; }, kLimitMs))
        << StatusOf(kFirst) << " / " << after.text;
    EXPECT_LE(Arrays().RoundCount(), next + 1);
}

// A member fails and the spare takes its place: once the rebuild ended, the
// row names the failed drive (beside the spare the array wants and no longer
// has).
TEST_F(GuiEndToEnd, AFailedMemberShowsInTheRowOnceTheRebuildEnded) {
    Open();
    ASSERT_TRUE(guitest::Eventually([&] { return StatusOf(kFirst) == "Normal"; }, kLimitMs));
    ASSERT_EQ(sim_.Control({"fail-drive", "0", "A2"}), 0);
    ASSERT_EQ(sim_.Control({"advance", "130000"}), 0);
    ASSERT_TRUE(FetchState());
    // The failed drive stays in its slot; the spare is a member now.
    int failed = 0;
    for (const Physical_Drive& drive : State().drives) {
        failed += drive.driveState == 4 ? 1 : 0;
        EXPECT_NE(drive.driveState, 8u);
    }
    ASSERT_EQ(failed, 1);
    ASSERT_TRUE(guitest::Eventually(
        [&] { return StatusOf(kFirst) == "Warning: Active Spare Unavailable, Failed Drive"; },
        kLimitMs))
        << StatusOf(kFirst);
    EXPECT_EQ(RowOf(kFirst)->data(0, oru::CDeviceListView::kStatusRole).toInt(), oru::DS_WARNING);
    EXPECT_EQ(StatusOf(kSecond), "Normal");
}

TEST_F(GuiEndToEnd, CapacityColumnsAreReadOnceFromEachArraysState) {
    Open();
    ShowView("Capacity", {"Array Serial #", "Array Total Space", "Array Unallocated Space"});
    ASSERT_NE(RowOf(kFirst), nullptr);
    const std::optional<oru::ArrayCapacity> capacity = oru::ComputeArrayCapacity(State());
    ASSERT_TRUE(capacity.has_value());
    EXPECT_GT(capacity->total, 0u);
    EXPECT_EQ(RowOf(kFirst)->text(1).toStdString(), oru::GigabyteText(capacity->total));
    EXPECT_EQ(RowOf(kFirst)->text(2).toStdString(), oru::GigabyteText(capacity->unallocated));
    EXPECT_NE(RowOf(kSecond)->text(1).toStdString().find(" GB"), std::string::npos);
}

TEST_F(GuiEndToEnd, DevicePropertiesConnectReadTheStateAndRefreshTheRowAfterwards) {
    Open();
    ASSERT_TRUE(guitest::Eventually([&] { return StatusOf(kSecond) == "Normal"; }, kLimitMs));
    std::vector<QString> titles;
    std::uint32_t valid = 0;
    Frame().SetDevicePropertiesRunner([&](DiskArray& array, const QString& title) {
        titles.push_back(title);
        valid = array.GetStatePtr()->ValidStateData();
    });
    Frame().List()->clearSelection();
    RowOf(kSecond)->setSelected(true);
    Frame().OnDeviceProperties();
    ASSERT_EQ(titles.size(), 1u);
    EXPECT_EQ(titles[0].toStdString(),
              "Device Properties - " + netsrvtest::AnnouncedHostName() + " : CABINET2");
    EXPECT_EQ(valid, 1u);
    // The entry was read again and its status is asked for at once.
    ASSERT_TRUE(guitest::Eventually([&] { return StatusOf(kSecond) == "Normal"; }, kLimitMs));
}

// Ends the window's waits that run on past a limit, and says so: no step of
// a test that waits on a stopped service can hang it. It cancels again each
// second, so that a Cancel the window lost is made again.
class WaitWatchdog {
  public:
    WaitWatchdog(oru::CMainFrame& frame, int limitMs) {
        timer_.setInterval(1000);
        QObject::connect(&timer_, &QTimer::timeout, [this, &frame, limitMs] {
            if (clock_.elapsed() > limitMs) {
                ranOn_ = true;
                frame.CancelWaits();
            }
        });
    }
    void Arm() {
        clock_.start();
        timer_.start();
    }
    // Whether no wait ran on since Arm.
    bool Disarm() {
        timer_.stop();
        const bool inTime = !ranOn_;
        ranOn_ = false;
        return inTime;
    }

  private:
    QTimer timer_;
    QElapsedTimer clock_;
    bool ranOn_ = false;
};

// A service that stops answering (SIGSTOP) while Device Properties waits for
// it: the window shows at once what it waits for, refuses a second command,
// keeps the other arrays' status rounds going, and its Cancel ends the wait
// as a failure; closing the window ends a wait too. The service is stopped
// for certain before each wait begins (the kernel shows it stopped), and no
// wait runs on for longer than 40 s.
TEST_F(GuiEndToEnd, AWaitForAStoppedServiceKeepsTheWindowLiveUntilCancelledOrClosed) {
    Open();
    ASSERT_TRUE(guitest::Eventually([&] { return StatusOf(kSecond) == "Normal"; }, kLimitMs));
    // Reply budgets of 30 s, status rounds of 3 s.
    platform::SetTimeScale(10);
    // Whatever fails, the service goes on before the fixture stops it.
    struct GoOn {
        testsupport::ChildProcess& service;
        ~GoOn() { service.Signal(SIGCONT); }
    } goOn{server_.Process()};
    constexpr int kRunOnMs = 40000;
    WaitWatchdog watchdog(Frame(), kRunOnMs);
    ASSERT_TRUE(StopService());
    Frame().List()->clearSelection();
    RowOf(kSecond)->setSelected(true);

    auto* pane = Frame().statusBar()->findChild<QLabel*>("waitPane");
    auto* cancel = Frame().statusBar()->findChild<QPushButton*>("cancelWait");
    QString shown;
    bool waitCursor = false;
    bool commandRefused = false;
    bool clickSelects = false;
    bool roundsGoOn = false;
    bool cancelled = false;
    QTimer::singleShot(0, &Frame(), [&] {
        // Inside the wait.
        shown = pane != nullptr && pane->isVisible() ? pane->text() : QString();
        waitCursor = QApplication::overrideCursor() != nullptr &&
                     QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        commandRefused = !Frame().Command(oru::CMainFrame::kDeviceProperties)->isEnabled();
        // The list takes clicks.
        QTreeWidgetItem* first = RowOf(kFirst);
        QTest::mouseClick(Frame().List()->viewport(), Qt::LeftButton, {},
                          Frame().List()->visualItemRect(first).center());
        clickSelects = first->isSelected();
        const int round = Arrays().RoundCount();
        roundsGoOn = guitest::Eventually([&] { return Arrays().RoundCount() > round; }, 15000);
        if (cancel != nullptr && cancel->isVisible()) {
            QTest::mouseClick(cancel, Qt::LeftButton);
            cancelled = true;
        }
    });
    watchdog.Arm();
    Frame().OnDeviceProperties();
    EXPECT_TRUE(watchdog.Disarm()) << "the wait ran on after the Cancel";
    EXPECT_EQ(shown.toStdString(),
              "Waiting for the array CABINET2 on " + netsrvtest::AnnouncedHostName() + "...");
    EXPECT_TRUE(waitCursor);
    EXPECT_TRUE(commandRefused);
    EXPECT_TRUE(clickSelects);
    EXPECT_TRUE(roundsGoOn);
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(Frame().Command(oru::CMainFrame::kDeviceProperties)->isEnabled());
    EXPECT_FALSE(pane != nullptr && pane->isVisible());
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].toStdString(), "The connection to the array failed.");
    messages_.clear();

    // The sheet's Cancel ends a wait of one of its refreshes, and the sheet
    // closes without a message.
    ASSERT_TRUE(server_.Process().Signal(SIGCONT));
    oru::CDevPropSheet* sheet = nullptr;
    bool sheetCancelled = false;
    QTimer driver;
    driver.setInterval(10);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        if (sheet == nullptr) {
            sheet = qobject_cast<oru::CDevPropSheet*>(QApplication::activeModalWidget());
            if (sheet != nullptr) {
                EXPECT_TRUE(StopService());
                sheet->PostRefresh(oru::CDevPropSheet::kReadState);
            }
        } else if (!sheetCancelled && Frame().BusyFlag().Busy()) {
            auto* box = sheet->findChild<QDialogButtonBox*>();
            for (QAbstractButton* button : box->buttons()) {
                if (box->buttonRole(button) == QDialogButtonBox::RejectRole) {
                    sheetCancelled = true;
                    QTest::mouseClick(button, Qt::LeftButton);
                    return;
                }
            }
        }
    });
    driver.start();
    watchdog.Arm();
    Frame().OnDeviceProperties();
    EXPECT_TRUE(watchdog.Disarm()) << "a wait ran on after the sheet's Cancel";
    driver.stop();
    EXPECT_TRUE(sheetCancelled);
    EXPECT_TRUE(messages_.empty());

    // Closing the window ends the wait; the window goes without a message.
    const bool quitOnClose = QGuiApplication::quitOnLastWindowClosed();
    QGuiApplication::setQuitOnLastWindowClosed(false);
    bool closeTaken = false;
    QTimer::singleShot(0, &Frame(), [&] { closeTaken = Frame().close(); });
    watchdog.Arm();
    Frame().OnDeviceProperties();
    EXPECT_TRUE(watchdog.Disarm()) << "the wait ran on after the window was closed";
    EXPECT_TRUE(guitest::Eventually([&] { return !Frame().isVisible(); }, kLimitMs));
    EXPECT_FALSE(closeTaken);  // not at once: once the wait has returned
    EXPECT_TRUE(messages_.empty());
    QGuiApplication::setQuitOnLastWindowClosed(quitOnClose);
}

// `oru HOST:SERIAL` by any name or address of this host: the temporary view
// shows the host's arrays, and the named array's sheet opens, whatever name
// the service gives itself.
TEST_F(GuiEndToEnd, TheCommandLineOpensTheArrayOfAHostNamedAnyWay) {
    for (const std::string& host :
         {std::string("localhost"), std::string("127.0.0.1"), netsrvtest::AnnouncedHostName()}) {
        SCOPED_TRACE(host);
        std::vector<std::string> opened;
        Open({QString::fromStdString(host + ":" + kSecond)}, [&] {
            Frame().SetDevicePropertiesRunner([&](DiskArray& array, const QString& title) {
                opened.emplace_back(array.GetStatePtr()->SerialNumber());
                opened.push_back(title.toStdString());
            });
        });
        EXPECT_EQ(Frame().Settings().CurrentView(), oru::CViewSettings::TempViewName());
        EXPECT_NE(RowOf(kFirst), nullptr);
        EXPECT_NE(RowOf(kSecond), nullptr);
        EXPECT_EQ(Frame().CountPane()->text().toStdString(), "Count:   2");
        ASSERT_TRUE(guitest::Eventually([&] { return !opened.empty(); }, kLimitMs));
        ASSERT_EQ(opened.size(), 2u);
        EXPECT_EQ(opened[0], kSecond);
        EXPECT_EQ(opened[1],
                  "Device Properties - " + netsrvtest::AnnouncedHostName() + " : CABINET2");
        app_.reset();
        ASSERT_TRUE(guitest::Eventually([] { return oru::RunningWorkers() == 0; }, kLimitMs));
    }
}

TEST_F(GuiEndToEnd, AFilteredListSaysSo) {
    Open();
    oru::CViewSettings& settings = Frame().Settings();
    std::vector<oru::ColumnFilter> filters = settings.Filters();
    filters[1].enabled = true;  // Array Alias
    filters[1].exclude = {"*2"};
    ShowView("Filtered",
             {"Host Name", "Array Serial #", "Array Alias", "Array Status", "Array Total Space",
              "Array Unallocated Space"},
             filters);
    ASSERT_NE(RowOf(kFirst), nullptr);
    EXPECT_EQ(RowOf(kSecond), nullptr);
    EXPECT_EQ(Frame().FilterPane()->text(), "FILTER ON");
    EXPECT_EQ(Frame().CountPane()->text(), "Count:   1");
    ASSERT_TRUE(guitest::Eventually([&] { return StatusOf(kFirst) == "Normal"; }, kLimitMs));
    Grab("oru-list-filtered.png");
}

}  // namespace
