// The graphical manager against the real service over the simulator's
// default cabinets: the program's application object runs in this process
// (offscreen), OruServr in the console, strovsim in the background. A
// session of the test's own (libqen) makes the service read a changed
// cabinet at once, so each check can say how many gross-status rounds the
// window needed to show it.
//
// The window is also grabbed into PNG files (a plain and a filtered list),
// by default into the build tree's gui-grabs/, or into ORU_GRAB_DIR.
#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QPixmap>

#include <cstdlib>

#include "ArrayClientFixture.h"
#include "GuiTestSupport.h"
#include "client/DiskArray.h"
#include "coresys/common/GrossStatus.h"
#include "gui/CArrayProvider.h"
#include "gui/CDeviceListView.h"
#include "gui/CMainFrame.h"
#include "gui/COruApp.h"
#include "gui/CSelectView.h"
#include "gui/DeviceStatus.h"
#include "gui/ProfileKeys.h"
#include "platform/Clock.h"

namespace {

constexpr const char* kFirst = "QX0000000001";
constexpr const char* kSecond = "QX0000000002";
constexpr int kLimitMs = 30000;

class GuiEndToEnd : public netsrvtest::ArrayClientTest {
  protected:
    void SetUp() override {
        // The service polls nothing on its own: every state it answers a
        // gross-status request with was built for a request of the test.
        StartAndConnect(kFirst, {"ORU_SMON_INTERVAL=0", "ORU_PLOG_INTERVAL=0"});
        ASSERT_TRUE(FetchState());
        // Rounds of 300 ms, reply budgets of 3 s.
        platform::SetTimeScale(100);
        // A message box would wait for a user: record it and go on.
        guitest::RecordMessages(&messages_);
    }

    void TearDown() override {
        for (const QString& message : messages_) {
            ADD_FAILURE() << "message: " << message.toStdString();
        }
        guitest::StopRecordingMessages();
        app_.reset();
        guitest::Eventually([] { return oru::RunningWorkers() == 0; }, kLimitMs);
        platform::SetTimeScale(0);
        ArrayClientTest::TearDown();
    }

    void Open() {
        app_ = std::make_unique<oru::COruApp>(QStringList(), ORU_BIN_DIR "/oru");
        app_->Start();
        ASSERT_TRUE(guitest::Eventually([this] { return Frame().FirstRebuildDone(); }, kLimitMs));
    }

    oru::CMainFrame& Frame() { return app_->Frame(); }
    oru::CArrayProvider& Arrays() {
        return dynamic_cast<oru::CArrayProvider&>(Frame().Model().Provider(0));
    }

    // The row of an array: its item in the list, or nullptr.
    QTreeWidgetItem* RowOf(const std::string& serial) {
        const int serialColumn = ColumnOf(oru::keys::kColumnNames[0]);
        for (int i = 0; i < Frame().List()->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = Frame().List()->topLevelItem(i);
            if (item->text(serialColumn).toStdString() == serial) {
                return item;
            }
        }
        return nullptr;
    }

    int ColumnOf(const std::string& column) {
        const std::vector<std::string>& columns = Frame().Settings().Columns();
        return static_cast<int>(std::find(columns.begin(), columns.end(), column) -
                                columns.begin());
    }

    std::string StatusOf(const std::string& serial) {
        QTreeWidgetItem* row = RowOf(serial);
        return row != nullptr ? row->text(ColumnOf(oru::keys::kColumnNames[3])).toStdString()
                              : std::string();
    }

    // A user view of this host's arrays with the columns given.
    void ShowView(const std::string& name, const std::vector<std::string>& columns,
                  const std::vector<oru::ColumnFilter>& filters = {}) {
        oru::CViewSettings& settings = Frame().Settings();
        ASSERT_TRUE(settings.CreateView(name));
        settings.ApplyOptions(columns, columns, filters.empty() ? settings.Filters() : filters,
                              oru::CViewSettings::kAscending);
        settings.ApplyHosts(true, {netsrvtest::AnnouncedHostName()});
        const int before = Frame().Rebuilds();
        Frame().Tree()->setCurrentItem(
            Frame().Tree()->InsertUserView(name, QString::fromStdString(name)));
        ASSERT_TRUE(guitest::Eventually([&] { return Frame().Rebuilds() > before; }, kLimitMs));
    }

    void Grab(const char* file) {
        const char* dir = std::getenv("ORU_GRAB_DIR");
        const QString target = dir != nullptr ? QString(dir) : QString(ORU_GRAB_DEFAULT_DIR);
        QDir().mkpath(target);
        Frame().resize(1240, 260);
        // Room for the whole status text.
        Frame().List()->setColumnWidth(ColumnOf(oru::keys::kColumnNames[3]), 420);
        QApplication::processEvents();
        EXPECT_TRUE(Frame().grab().save(target + "/" + file)) << file;
    }

    std::unique_ptr<oru::COruApp> app_;
    std::vector<QString> messages_;
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
