// The Device Properties sheet against the real service over the simulator's
// cabinets (GuiEndToEndFixture.h): opened from the list, its Refresh reads
// the array once, a logical drive it creates is in the simulator's cabinet,
// a drive verify runs to "Passed", and its performance charts come from
// preventive records seeded in the service's log by the service's own log
// writer. Every page is grabbed into a PNG file.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include <ctime>
#include <functional>
#include <sstream>

#include "GuiEndToEndFixture.h"
#include "GuiTestSupport.h"
#include "PerfTestSupport.h"
#include "client/DiskArray.h"
#include "gui/CDevCapPage.h"
#include "gui/CDevConfigPage.h"
#include "gui/CDevDiagPage.h"
#include "gui/CDevLUNPage.h"
#include "gui/CDevPerfPage.h"
#include "gui/CDevPropSheet.h"
#include "gui/CDevStatusPage.h"
#include "gui/CDeviceListView.h"
#include "gui/DiskTests.h"
#include "support/LogGenerator.h"

namespace {

using oru::CDevPropSheet;
using testsupport::LogGenerator;

class SheetEndToEnd : public guitest::GuiEndToEnd {
  protected:
    // Opens the sheet of an array through the list's Device Properties;
    // `body` runs while it is open (shown, not modal), on the frame's waits.
    void WithSheet(const char* serial, const std::function<void(CDevPropSheet&)>& body) {
        bool ran = false;
        Frame().SetDevicePropertiesRunner([&](DiskArray& array, const QString& title) {
            CDevPropSheet sheet(array, title, Frame(), &Frame());
            sheet.resize(820, 600);
            sheet.show();
            QApplication::processEvents();
            body(sheet);
            ran = true;
        });
        ASSERT_NE(RowOf(serial), nullptr);
        Frame().List()->clearSelection();
        RowOf(serial)->setSelected(true);
        Frame().OnDeviceProperties();
        EXPECT_TRUE(ran);
    }

    // Commands of one kind a controller path received since its trace was
    // cleared (the alias read, 0xFC, is sent once per state the service
    // builds).
    int Commands(const char* path, const char* opcode) {
        std::istringstream lines(sim_.Trace(path));
        int count = 0;
        for (std::string line; std::getline(lines, line);) {
            count += line.find(std::string("op=") + opcode) != std::string::npos ? 1 : 0;
        }
        return count;
    }
};

TEST_F(SheetEndToEnd, TheSheetOpensFromTheListAndItsRefreshReadsTheArrayOnce) {
    Open();
    ASSERT_TRUE(guitest::Eventually([&] { return StatusOf(kFirst) == "Normal"; }, kLimitMs));
    // Without a runner the frame shows the sheet itself, modally.
    bool checked = false;
    guitest::AnswerNextModal([&](QWidget* modal) {
        auto* sheet = qobject_cast<CDevPropSheet*>(modal);
        ASSERT_NE(sheet, nullptr);
        EXPECT_EQ(sheet->windowTitle().toStdString(),
                  "Device Properties - " + netsrvtest::AnnouncedHostName() + " : CABINET1");
        QTreeWidget* tree = sheet->StatusPage()->Tree();
        EXPECT_EQ(tree->topLevelItem(0)->child(0)->text(0), "Condition: Normal");
        EXPECT_EQ(tree->topLevelItem(2)->childCount(), 12);  // Disks
        // Controller X of the first cabinet answers on both its paths.
        ASSERT_EQ(sim_.Control({"clear-trace", "STROVANE0"}), 0);
        ASSERT_EQ(sim_.Control({"clear-trace", "PHYSICALDRIVE1"}), 0);
        sheet->StatusPage()->RefreshButton()->click();
        EXPECT_TRUE(guitest::Eventually([&] { return sheet->RefreshesRun() == 1; }, kLimitMs));
        EXPECT_EQ(Commands("STROVANE0", "fc") + Commands("PHYSICALDRIVE1", "fc"), 1);
        checked = true;
        sheet->reject();
    });
    Frame().List()->clearSelection();
    RowOf(kFirst)->setSelected(true);
    Frame().OnDeviceProperties();
    EXPECT_TRUE(checked);
    // The session is closed again and the row refreshed.
    ASSERT_TRUE(guitest::Eventually([&] { return StatusOf(kFirst) == "Normal"; }, kLimitMs));
}

TEST_F(SheetEndToEnd, ALogicalDriveCreatedInTheSheetIsInTheSimulatorsCabinet) {
    Open();
    WithSheet(kFirst, [&](CDevPropSheet& sheet) {
        sheet.ShowPage(CDevPropSheet::kLunPage);
        oru::CDevLUNPage* luns = sheet.LunPage();
        ASSERT_EQ(luns->List()->count(), 3);
        ASSERT_GE(luns->Table().unallocated, 50u);
        ASSERT_EQ(luns->Table().free.front(), 3u);
        guitest::AnswerNextModal([](QWidget* modal) {
            auto* create = qobject_cast<oru::CCreateLunDlg*>(modal);
            ASSERT_NE(create, nullptr);
            create->CapacityEdit()->setText("0.50");
            create->accept();
        });
        luns->CreateButton()->click();
        ASSERT_TRUE(guitest::Eventually([&] { return luns->List()->count() == 4; }, kLimitMs));
        EXPECT_EQ(luns->Table().present.back().number, 3u);
        EXPECT_EQ(luns->Table().present.back().capacity, 50u);
    });
    // 0.50 GB is 1024 units of 2^19 bytes: 1048576 blocks.
    std::string cabinets;
    ASSERT_EQ(sim_.Control({"show"}, &cabinets), 0);
    const std::size_t lun = cabinets.find("  lun 3 ");
    ASSERT_NE(lun, std::string::npos) << cabinets;
    const std::string line = cabinets.substr(lun, cabinets.find('\n', lun) - lun);
    EXPECT_NE(line.find("blocks 1048576"), std::string::npos) << line;
}

// Once the rebuild onto the spare ended, the window's unallocated figures
// (the list's column, the Capacity and Logical Drives pages) are the room
// the array reports, and a logical drive of exactly that size is created.
TEST_F(SheetEndToEnd, TheUnallocatedSpaceIsTheRoomALogicalDriveCanTake) {
    ASSERT_EQ(sim_.Control({"pull", "0", "A2"}), 0);
    ASSERT_EQ(sim_.Control({"advance", "130000"}), 0);
    ASSERT_TRUE(FetchState());
    // The free capacity as dkview -v shows it, in whole hundredths of a
    // gigabyte that fit in it.
    const BlockCapacity& room = State().virtualRemaining;
    const std::uint64_t bytes = (static_cast<std::uint64_t>(room.blocks) + 1) * room.blockSize;
    const std::uint32_t hundredths = static_cast<std::uint32_t>(bytes / 10737418);
    ASSERT_GT(hundredths, 0u);

    Open();
    ShowView("Capacity", {"Array Serial #", "Array Total Space", "Array Unallocated Space"});
    ASSERT_NE(RowOf(kFirst), nullptr);
    ASSERT_TRUE(guitest::Eventually(
        [&] { return RowOf(kFirst)->text(2).toStdString() == oru::GigabyteText(hundredths); },
        kLimitMs))
        << RowOf(kFirst)->text(2).toStdString() << " / " << oru::GigabyteText(hundredths);

    WithSheet(kFirst, [&](CDevPropSheet& sheet) {
        sheet.ShowPage(CDevPropSheet::kCapacityPage);
        ASSERT_TRUE(sheet.CapacityPage()->Capacity().has_value());
        EXPECT_EQ(sheet.CapacityPage()->Capacity()->unallocated, hundredths);
        sheet.ShowPage(CDevPropSheet::kLunPage);
        oru::CDevLUNPage* luns = sheet.LunPage();
        ASSERT_EQ(luns->Table().unallocated, hundredths);
        const int before = luns->List()->count();
        guitest::AnswerNextModal([&](QWidget* modal) {
            auto* create = qobject_cast<oru::CCreateLunDlg*>(modal);
            ASSERT_NE(create, nullptr);
            create->CapacityEdit()->setText(
                QString::fromStdString(oru::GigabyteText(hundredths)).section(' ', 0, 0));
            create->accept();
        });
        luns->CreateButton()->click();
        ASSERT_TRUE(
            guitest::Eventually([&] { return luns->List()->count() == before + 1; }, kLimitMs));
        EXPECT_EQ(luns->Table().unallocated, 0u);
    });
    EXPECT_TRUE(messages_.empty());
    std::string cabinets;
    ASSERT_EQ(sim_.Control({"show"}, &cabinets), 0);
    const std::size_t lun = cabinets.find("  lun 3 ");
    ASSERT_NE(lun, std::string::npos) << cabinets;
    const std::string line = cabinets.substr(lun, cabinets.find('\n', lun) - lun);
    EXPECT_NE(line.find("blocks " + std::to_string(bytes / 524288 * 1024)), std::string::npos)
        << line;
}

TEST_F(SheetEndToEnd, ADriveVerifyRunsToPassed) {
    Open();
    WithSheet(kFirst, [&](CDevPropSheet& sheet) {
        sheet.ShowPage(CDevPropSheet::kDiagPage);
        sheet.DiagPage()->SelectDisk(0);  // Disk A1, a member
        QString type;
        QString status;
        int percent = -1;
        guitest::AnswerNextModal([&](QWidget* modal) {
            auto* test = qobject_cast<oru::CTestDiskDlg*>(modal);
            ASSERT_NE(test, nullptr);
            EXPECT_EQ(test->TypeText()->text(), "None");
            // Read Verify of 1 percent of the disk.
            guitest::AnswerNextModal([](QWidget* asked) {
                auto* share = qobject_cast<oru::CPercentDlg*>(asked);
                ASSERT_NE(share, nullptr);
                share->Edit()->setText("1");
                share->accept();
            });
            test->OnReadVerify();
            // The service runs it step by step; its events reach the sheet.
            EXPECT_TRUE(guitest::Eventually([&] { return test->StatusText()->text() == "Passed"; },
                                            kLimitMs));
            type = test->TypeText()->text();
            status = test->StatusText()->text();
            percent = test->Progress()->value();
            GrabTo(test, "oru-sheet-test-disk.png");
            test->accept();
        });
        sheet.DiagPage()->OnTest();
        EXPECT_EQ(type, "Read Verify");
        EXPECT_EQ(status, "Passed");
        EXPECT_EQ(percent, 100);
        // The result is in the sheet's copy of the service's bookkeeping.
        const oru::DiskTestRecord record = oru::ReadDiskTest(sheet.Commands().Server(), 0);
        EXPECT_TRUE(record.found);
        EXPECT_EQ(record.state, oru::kTestStatePassed);
    });
}

// The same cabinets, whose log holds two days of preventive records of the
// first cabinet, ending now.
class SheetPerformanceEndToEnd : public SheetEndToEnd {
  protected:
    static constexpr std::uint32_t kSlots = 2 * 96;

    void BeforeService() override {
        const std::uint32_t now = static_cast<std::uint32_t>(std::time(nullptr));
        // On an hour, so that every sample is four whole slots.
        first_ = (now - kSlots * 900) / 3600 * 3600;
        LogGenerator::Options options;
        options.directory = root_.File("c/oru_log");
        options.startTime = first_;
        LogGenerator log(options);
        LogGenerator::Series days;
        days.first = first_;
        days.count = kSlots;
        days.words = [](const LogGenerator::Slot& slot) { return Words(slot.index); };
        log.WriteSeries(days);
        ASSERT_TRUE(log.Flush());
    }

    // The record of a slot: six member disks; a rebuild that fails in hour
    // 10 of each day (its state 0, then 2); less free space as the hours
    // go; activity that changes by the hour; relocation and disk queue
    // beyond their limits now and then.
    static perftest::Words Words(std::uint32_t slot) {
        const std::uint32_t hour = slot / 4;
        const std::uint32_t rebuild = hour % 24 != 10 ? 1 : slot % 4 == 0 ? 0 : 2;
        return perftest::With(perftest::QuietWords(), {{9, 6},
                                                       {20, rebuild},
                                                       {21, 4194303 - hour * 40000},
                                                       {22, 512},
                                                       {23, 6291455},
                                                       {24, 512},
                                                       {51, hour % 7 == 3 ? 3 : 1},
                                                       {59, 1000 + 400 * (hour % 12)},
                                                       {61, 4500 + 900 * (hour % 8)},
                                                       {92, hour % 9 == 4 ? 30 : 5}});
    }

    std::uint32_t first_ = 0;
};

TEST_F(SheetPerformanceEndToEnd, TheChartsShowTheSeededRecordsAndEveryPageIsGrabbed) {
    // A pulled drive, so that the pictures have something to frame.
    ASSERT_EQ(sim_.Control({"pull", "0", "A2"}), 0);
    Open();
    WithSheet(kFirst, [&](CDevPropSheet& sheet) {
        sheet.ShowPage(CDevPropSheet::kPerfPage);
        oru::CDevPerfPage* perf = sheet.PerfPage();
        const oru::PerfDataSet& data = perf->Data();
        // An hour a sample, from the first record to the end of the window.
        ASSERT_GE(data.count, 44);
        ASSERT_LE(data.count, 49);
        int six = 0;
        for (std::uint32_t disks : data.metrics[2].samples) {
            six += disks == 6 ? 1 : 0;
        }
        EXPECT_GE(six, data.count - 1);
        EXPECT_EQ(data.metrics[1].samples[10], 2u);  // the failed rebuild
        EXPECT_EQ(data.metrics[7].reference, 20u);
        ASSERT_TRUE(perf->Chart().LaidOut());
        EXPECT_EQ(perf->Chart().AllSeries().size(), 6u);
        GrabTo(&sheet, "oru-sheet-performance.png");
        perf->ThresholdsButton()->click();
        EXPECT_EQ(perf->Chart().AllSeries().size(), 5u);
        GrabTo(&sheet, "oru-sheet-thresholds.png");
        QString recommendation;
        guitest::AnswerNextModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<oru::CPerfRecommendDlg*>(modal);
            ASSERT_NE(dialog, nullptr);
            recommendation = dialog->Text()->text();
            GrabTo(dialog, "oru-sheet-recommendations.png");
            dialog->accept();
        });
        perf->RecommendButton()->click();
        EXPECT_FALSE(recommendation.isEmpty());

        // The other pages, over the cabinet with its pulled drive.
        QTreeWidget* tree = sheet.StatusPage()->Tree();
        ASSERT_TRUE(guitest::Eventually([&] {
            sheet.Refresh(CDevPropSheet::kReadState);
            return tree->topLevelItem(0)->child(0)->text(0) != "Condition: Normal";
        }));
        EXPECT_FALSE(sheet.StatusPage()->Keys().empty());
        sheet.ShowPage(CDevPropSheet::kStatusPage);
        sheet.StatusPage()->OnPictureClicked(QPoint(30, 92));  // Disk A2
        GrabTo(&sheet, "oru-sheet-status.png");
        sheet.ShowPage(CDevPropSheet::kConfigPage);
        GrabTo(&sheet, "oru-sheet-configuration.png");
        sheet.ShowPage(CDevPropSheet::kLunPage);
        sheet.LunPage()->List()->setCurrentRow(0);
        GrabTo(&sheet, "oru-sheet-logical-drives.png");
        sheet.ShowPage(CDevPropSheet::kDiagPage);
        sheet.DiagPage()->SelectDisk(2);
        GrabTo(&sheet, "oru-sheet-diagnostics.png");
        sheet.ShowPage(CDevPropSheet::kCapacityPage);
        EXPECT_EQ(sheet.CurrentPage(), CDevPropSheet::kCapacityPage);
        GrabTo(&sheet, "oru-sheet-capacity.png");
    });
}

TEST_F(SheetEndToEnd, AnActiveSpareTheArrayCannotProvideIsNotedAndTheApplyGoesOn) {
    // The rebuild onto the spare in A4 ends: the array has no spare now.
    ASSERT_EQ(sim_.Control({"pull", "0", "A2"}), 0);
    ASSERT_EQ(sim_.Control({"advance", "130000"}), 0);
    Open();
    WithSheet(kFirst, [&](CDevPropSheet& sheet) {
        sheet.ShowPage(CDevPropSheet::kConfigPage);
        oru::CDevConfigPage* config = sheet.ConfigPage();
        ASSERT_TRUE(config->ActiveSpare()->isChecked());
        ASSERT_FALSE(config->VeryEarlyBusy()->isChecked());
        int refreshes = sheet.RefreshesRun();
        config->ActiveSpare()->click();
        sheet.ApplyButton()->click();
        ASSERT_FALSE(config->Modified());
        ASSERT_TRUE(guitest::Eventually([&] { return sheet.RefreshesRun() > refreshes; }));
        ASSERT_FALSE(config->ActiveSpare()->isChecked());
        messages_.clear();

        // Wanted again: the array takes it, the service adds that no spare
        // can be provided, and the next setting is sent all the same.
        refreshes = sheet.RefreshesRun();
        config->ActiveSpare()->click();
        config->VeryEarlyBusy()->click();
        sheet.ApplyButton()->click();
        EXPECT_EQ(messages_,
                  (std::vector<QString>{
                      "The setting was made, but the array cannot provide an active spare now."}));
        EXPECT_FALSE(config->Modified());
        ASSERT_TRUE(guitest::Eventually([&] { return sheet.RefreshesRun() > refreshes; }));
        // The page shows the array's settings again: both were made.
        EXPECT_TRUE(config->ActiveSpare()->isChecked());
        EXPECT_TRUE(config->VeryEarlyBusy()->isChecked());
        messages_.clear();
    });
}

}  // namespace
