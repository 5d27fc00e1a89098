// The Device Properties sheet's widgets against a scripted service that
// plays one array's session: what each page shows, which requests each
// command sends and in what order, the confirmations, the refresh timer
// standing aside while a command wait runs, and states beyond what the
// pictures hold.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <future>

#include "SheetTestSupport.h"
#include "client/DiskArray.h"
#include "client/QEN.h"
#include "coresys/common/DiagCommandResults.h"
#include "coresys/common/OruErrors.h"
#include "coresys/common/PollMsg.h"
#include "coresys/common/ReturnMsgs.h"
#include "gui/ArrayCommands.h"
#include "gui/BusyState.h"
#include "gui/CDevCapPage.h"
#include "gui/CDevConfigPage.h"
#include "gui/CDevDiagPage.h"
#include "gui/CDevLUNPage.h"
#include "gui/CDevPerfPage.h"
#include "gui/CDevPropSheet.h"
#include "gui/CDevStatusPage.h"

namespace {

using guitest::SeenRequest;
using oru::CDevPropSheet;

std::vector<std::uint32_t> Codes(const std::vector<SeenRequest>& requests, std::size_t from = 0) {
    std::vector<std::uint32_t> codes;
    for (std::size_t i = from; i < requests.size(); ++i) {
        codes.push_back(requests[i].code);
    }
    return codes;
}

QTreeWidgetItem* Child(QTreeWidgetItem* parent, const QString& text) {
    for (int i = 0; i < parent->childCount(); ++i) {
        if (parent->child(i)->text(0).startsWith(text)) {
            return parent->child(i);
        }
    }
    return nullptr;
}

QTreeWidgetItem* TopLevel(QTreeWidget* tree, const QString& text) {
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        if (tree->topLevelItem(i)->text(0) == text) {
            return tree->topLevelItem(i);
        }
    }
    return nullptr;
}

PerfMetric Metric(std::uint32_t id, std::uint32_t start, std::uint32_t count, std::uint32_t value) {
    PerfMetric metric(static_cast<PERF_METRIC>(id), 10, 1, RELOP_GREATER);
    metric.windowStart = start;
    metric.windowEnd = start + 3600 * count;
    metric.slotsPerValue = 4;
    metric.values.assign(count, value);
    return metric;
}

class SheetTest : public guitest::SheetFixture {
  protected:
    std::size_t Seen() { return service_.Requests().size(); }

    // Waits for the sheet's posted refreshes to have run.
    bool RefreshesDone(int count) {
        return guitest::Eventually([&] { return sheet_->RefreshesRun() >= count; });
    }

    bool SawMessage(const QString& text) {
        return std::find(messages_.begin(), messages_.end(), text) != messages_.end();
    }
};

TEST_F(SheetTest, TheStatusPageShowsTheArrayAsATreeBesideItsCabinet) {
    Connect();
    CDevPropSheet& sheet = OpenSheet();
    ASSERT_EQ(sheet.Tabs()->count(), 6);
    EXPECT_EQ(sheet.Tabs()->tabText(0), "Status");
    EXPECT_EQ(sheet.Tabs()->tabText(5), "Performance");
    QTreeWidget* tree = sheet.StatusPage()->Tree();
    ASSERT_EQ(tree->topLevelItemCount(), 5);
    QTreeWidgetItem* root = tree->topLevelItem(0);
    EXPECT_EQ(root->text(0), "Array");
    EXPECT_TRUE(root->isExpanded());
    EXPECT_EQ(root->child(0)->text(0), "Condition: Normal");
    EXPECT_EQ(root->child(2)->text(0), "Alias Name: CABINET1");
    EXPECT_EQ(TopLevel(tree, "Controllers")->childCount(), 2);
    EXPECT_EQ(TopLevel(tree, "Disks")->childCount(), 12);
    EXPECT_EQ(TopLevel(tree, "Fans")->childCount(), 4);
    EXPECT_EQ(TopLevel(tree, "Power Supplies")->childCount(), 2);
    QTreeWidgetItem* a3 = Child(TopLevel(tree, "Disks"), "Disk A3");
    ASSERT_NE(a3, nullptr);
    EXPECT_EQ(a3->data(0, Qt::UserRole).toInt(), 4);
    EXPECT_EQ(a3->child(0)->text(0), "Condition: Normal");
    QTreeWidgetItem* x = Child(TopLevel(tree, "Controllers"), "Controller X");
    EXPECT_EQ(Child(x, "State")->text(0), "State: Primary");
    EXPECT_EQ(Child(x, "SCSI Address")->text(0), "SCSI Address: 7");
    // Framed: the hot spare (not in use) and the five empty slots.
    EXPECT_EQ(sheet.StatusPage()->Keys().size(), 6u);
    EXPECT_FALSE(sheet.StatusPage()->NotShownLabel()->isVisible());
    // A click on Disk A3's place in the picture opens it in the tree.
    sheet.StatusPage()->OnPictureClicked(QPoint(30, 75));
    EXPECT_EQ(tree->currentItem(), a3);
    EXPECT_TRUE(a3->isExpanded());
    EXPECT_FALSE(root->isExpanded());
    // Off every place: the root opens.
    sheet.StatusPage()->OnPictureClicked(QPoint(2, 2));
    EXPECT_TRUE(root->isExpanded());
    EXPECT_FALSE(a3->isExpanded());
}

TEST_F(SheetTest, RefreshSendsOneStateRequestAndRefreshesFivePages) {
    Connect();
    CDevPropSheet& sheet = OpenSheet();
    ASSERT_EQ(service_.CountOf(MC_GetState), 1u);
    // Meanwhile the array changed: a new logical drive, a failed disk, a
    // new alias.
    DiskArrayState changed = guitest::SampleState();
    changed.luns[2].status = 1;
    changed.luns[2].capacity = BlockCapacity(2097151, 512);
    changed.virtualRemaining = BlockCapacity(2097151, 512);
    changed.drives[3].driveState = 4;
    SetFieldText(changed.aliasName, "RENAMED");
    service_.SetState(changed);
    const std::size_t before = Seen();
    const int rebuilds = sheet.StatusPage()->Rebuilds();
    sheet.StatusPage()->RefreshButton()->click();
    ASSERT_TRUE(RefreshesDone(1));
    EXPECT_EQ(Codes(service_.Requests(), before), (std::vector<std::uint32_t>{MC_GetState}));
    // Status: rebuilt, Disk B2 failed.
    EXPECT_EQ(sheet.StatusPage()->Rebuilds(), rebuilds + 1);
    QTreeWidgetItem* b2 = Child(TopLevel(sheet.StatusPage()->Tree(), "Disks"), "Disk B2");
    EXPECT_EQ(b2->child(0)->text(0), "Condition: Critical Error - Failed");
    // Configuration: reloaded.
    EXPECT_EQ(sheet.ConfigPage()->Alias()->text(), "RENAMED");
    // Logical drives: three.
    EXPECT_EQ(sheet.LunPage()->List()->count(), 3);
    EXPECT_EQ(sheet.LunPage()->Table().unallocated, 100u);
    // Diagnostics: its tree too.
    QTreeWidgetItem* diagB2 = sheet.DiagPage()->Tree()->topLevelItem(3);
    EXPECT_EQ(diagB2->child(0)->text(0), "Condition: Critical Error - Failed");
    // Capacity: 0.50 + 0.50 + 1.00 GB of logical drives.
    ASSERT_TRUE(sheet.CapacityPage()->Capacity().has_value());
    EXPECT_EQ(sheet.CapacityPage()->Capacity()->logicalDrives, 200u);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(SheetTest, TheRefreshTimerNeverPollsWhileACommandWaitRuns) {
    auto release = std::make_shared<std::promise<void>>();
    std::shared_future<void> released = release->get_future().share();
    service_.On(MC_ResetSubsystem, [released](const SeenRequest& request,
                                              guitest::ScriptedService& service) {
        // An event for the sheet arrives first, then the reply once the
        // test lets it go.
        service.Push({guitest::EventReply({Event(SSW, static_cast<EVENT_MINOR_SSW_TYPE>(3), 0, 0)},
                                          service.state, service.server)});
        released.wait_for(std::chrono::seconds(20));
        return guitest::Messages{guitest::OkReply(request)};
    });
    Connect();
    CDevPropSheet& sheet = OpenSheet();
    ASSERT_TRUE(guitest::Eventually([&] { return sheet.TimerPolls() > 3; }));
    int pollsDuringWait = -1;
    int skipsDuringWait = -1;
    QTimer::singleShot(300, [&] {
        pollsDuringWait = sheet.TimerPolls();
        skipsDuringWait = sheet.TimerSkips();
        release->set_value();
    });
    const int pollsBefore = sheet.TimerPolls();
    const int skipsBefore = sheet.TimerSkips();
    const oru::CommandReply reply =
        sheet.Commands().Await(sheet.Commands().Array().ResetSubsystem());
    EXPECT_EQ(reply.kind, 1u);
    EXPECT_EQ(pollsDuringWait, pollsBefore);
    EXPECT_GT(skipsDuringWait, skipsBefore);  // the timer did tick, and stood aside
    EXPECT_EQ(host_.busy.Depth(), 0);
    ASSERT_TRUE(guitest::Eventually([&] { return sheet.TimerPolls() > pollsBefore; }));
}

// A page's refresh asked for while a command wait runs is held by the wait
// and takes its turn in the event loop as soon as the wait ends.
TEST_F(SheetTest, ARefreshAskedForDuringAWaitRunsAsSoonAsTheWaitEnds) {
    Connect();
    CDevPropSheet& sheet = OpenSheet();
    const int refreshesBefore = sheet.RefreshesRun();
    {
        oru::BusyScope wait(host_.busy);
        sheet.PostRefresh(CDevPropSheet::kAfterLogicalDrives);
        QApplication::processEvents();
        QApplication::processEvents();
        EXPECT_EQ(sheet.RefreshesRun(), refreshesBefore);
    }
    QApplication::processEvents();
    EXPECT_EQ(sheet.RefreshesRun(), refreshesBefore + 1);
}

TEST_F(SheetTest, ARebuildsProgressFollowsTheServicesEvents) {
    Connect();
    CDevPropSheet& sheet = OpenSheet();
    oru::CDevConfigPage* config = sheet.ConfigPage();
    EXPECT_EQ(config->Progress()->value(), 0);
    EXPECT_FALSE(config->StopButton()->isEnabled());
    DiskArrayState rebuilding = guitest::SampleState();
    rebuilding.modeSubsystem->rebuild_in_progress = 1;
    rebuilding.modeSubsystem->rebuild_progress = 40;
    // The mode page's progress event (status 5), carrying the page.
    service_.Push({guitest::EventReply({Event(MSS, static_cast<EVENT_MINOR_MSS_TYPE>(12), 0, 0)},
                                       rebuilding, OruServerState())});
    ASSERT_TRUE(guitest::Eventually([&] { return config->Progress()->value() == 40; }));
    EXPECT_TRUE(config->StopButton()->isEnabled());
    EXPECT_TRUE(config->StartButton()->isEnabled());
}

TEST_F(SheetTest, ChangingOnlyTheAliasSendsOneChangeAndOneStateRead) {
    Connect();
    CDevPropSheet& sheet = OpenSheet();
    sheet.ShowPage(CDevPropSheet::kConfigPage);
    EXPECT_FALSE(sheet.ApplyButton()->isEnabled());
    QLineEdit* alias = sheet.ConfigPage()->Alias();
    alias->selectAll();
    QTest::keyClicks(alias, "NEW ALIAS");
    EXPECT_TRUE(sheet.ApplyButton()->isEnabled());
    const std::size_t before = Seen();
    sheet.ApplyButton()->click();
    const std::vector<SeenRequest> requests = service_.Requests();
    ASSERT_EQ(Codes(requests, before), (std::vector<std::uint32_t>{MC_SetAliasName, MC_GetState}));
    EXPECT_EQ(requests[before].text, "NEW ALIAS");
    EXPECT_FALSE(sheet.ApplyButton()->isEnabled());
    EXPECT_TRUE(messages_.empty());
}

TEST_F(SheetTest, AFailedSettingEndsTheApplyWithItsMessageAndKeepsTheChoices) {
    service_.On(MC_Set_AutoInclude, [](const SeenRequest& request, guitest::ScriptedService&) {
        return guitest::Messages{guitest::ErrorReply(request, ERR_COMMAND_FAILED)};
    });
    Connect();
    CDevPropSheet& sheet = OpenSheet();
    sheet.ShowPage(CDevPropSheet::kConfigPage);
    sheet.ConfigPage()->AutoInclude()->click();
    sheet.ConfigPage()->Low()->click();
    const std::size_t before = Seen();
    sheet.OkButton()->click();
    EXPECT_EQ(Codes(service_.Requests(), before),
              (std::vector<std::uint32_t>{MC_Set_AutoInclude, MC_GetState}));
    EXPECT_TRUE(SawMessage("Error setting the 'Automatic Include' option"));
    EXPECT_TRUE(sheet.isVisible());  // OK did not close it
    EXPECT_TRUE(sheet.ConfigPage()->Modified());
    EXPECT_FALSE(sheet.ConfigPage()->AutoInclude()->isChecked());
    EXPECT_TRUE(sheet.ConfigPage()->Low()->isChecked());
}

TEST_F(SheetTest, ASettingMadeWithANoteGoesOnWithTheNextOne) {
    // The array takes the active spare but cannot provide one: the service
    // says nothing failed and why. The note is shown, and the apply goes on.
    DiskArrayState noSpare = guitest::SampleState();
    noSpare.modeSubsystem->hot_spare_desired = 0;
    service_.SetState(noSpare);
    service_.On(MC_Set_HotSpare, [](const SeenRequest& request, guitest::ScriptedService&) {
        return guitest::Messages{guitest::ErrorReply(request, ERR_NO_FAIL, HOT_SPARE_UNAVAILABLE)};
    });
    Connect();
    CDevPropSheet& sheet = OpenSheet();
    sheet.ShowPage(CDevPropSheet::kConfigPage);
    ASSERT_FALSE(sheet.ConfigPage()->ActiveSpare()->isChecked());
    sheet.ConfigPage()->ActiveSpare()->click();
    sheet.ConfigPage()->VeryEarlyBusy()->click();
    const std::size_t before = Seen();
    sheet.ApplyButton()->click();
    EXPECT_EQ(Codes(service_.Requests(), before),
              (std::vector<std::uint32_t>{MC_Set_HotSpare, MC_Set_VeryEarlyBusy, MC_GetState}));
    EXPECT_EQ(messages_,
              (std::vector<QString>{
                  "The setting was made, but the array cannot provide an active spare now."}));
    EXPECT_FALSE(sheet.ConfigPage()->Modified());

    // The note needs the code that says nothing failed and a reply of that
    // kind; the qualifier's name stands for one without words of its own.
    auto note = [](std::uint32_t kind, std::uint32_t code, std::uint32_t qualifier) {
        OruErrStatus_RtnMsg reply(kind);
        reply.error.errorCode = code;
        reply.error.qualifier = qualifier;
        const ErrorPollMsg polled(reply);
        return oru::NothingFailedNote(&polled);
    };
    EXPECT_EQ(note(RMT_ORUERRORSTATUS_MSG, ERR_NO_FAIL, DRIVE_DOWN_DUPLICATION),
              QString("The disk is already down."));
    EXPECT_EQ(note(RMT_ORUERRORSTATUS_MSG, ERR_NO_FAIL, MODE_SELECT),
              QString("The request was carried out. The service adds: MODE_SELECT"));
    EXPECT_FALSE(note(RMT_ORUERRORSTATUS_MSG, ERR_COMMAND_FAILED, HOT_SPARE_UNAVAILABLE));
    EXPECT_FALSE(note(RMT_ERRORSTATUS_MSG, ERR_NO_FAIL, HOT_SPARE_UNAVAILABLE));
    EXPECT_FALSE(oru::NothingFailedNote(nullptr));
}

TEST_F(SheetTest, StoppingAnAutomaticRebuildAsksToMakeItManualFirst) {
    DiskArrayState rebuilding = guitest::SampleState();
    rebuilding.modeSubsystem->rebuild_in_progress = 1;
    service_.SetState(rebuilding);
    Connect();
    CDevPropSheet& sheet = OpenSheet();
    oru::CDevConfigPage* config = sheet.ConfigPage();
    ASSERT_TRUE(config->StopButton()->isEnabled());
    guitest::StopRecordingMessages();
    QString asked;
    guitest::AnswerNextModal([&](QWidget* box) {
        asked = qobject_cast<QMessageBox*>(box)->text();
        qobject_cast<QMessageBox*>(box)->reject();
    });
    const std::size_t before = Seen();
    config->StopButton()->click();
    EXPECT_EQ(asked,
              "The rebuild is set for automatic, it will be changed to manual to stop the "
              "rebuild");
    EXPECT_EQ(Seen(), before);
    guitest::AnswerNextModal(guitest::Accept);
    config->StopButton()->click();
    const std::vector<SeenRequest> requests = service_.Requests();
    ASSERT_EQ(Codes(requests, before),
              (std::vector<std::uint32_t>{MC_Set_AutoRebuild, MC_StopRebuildOperation}));
    EXPECT_EQ(requests[before].values[0], 0u);
    EXPECT_TRUE(config->Manual()->isChecked());
}

TEST_F(SheetTest, ALogicalDriveOfAllTheUnallocatedSpaceIsCreatedByItsExactSize) {
    service_.On(MC_CreateLUN, [](const SeenRequest& request, guitest::ScriptedService& service) {
        // As the service: the new state's events, then the reply.
        service.state.luns[request.values[0]].status = 1;
        service.state.luns[request.values[0]].capacity = BlockCapacity(4194303, 512);
        service.state.virtualRemaining = BlockCapacity();
        return guitest::Messages{
            guitest::EventReply(
                {Event(LUN_EVENT, static_cast<EVENT_MINOR_LUN_TYPE>(0), request.values[0], 0),
                 Event(CAP, CAP_VIRTUAL_REMAINING, 0, 0)},
                service.state, service.server),
            guitest::OkReply(request)};
    });
    Connect();
    CDevPropSheet& sheet = OpenSheet();
    sheet.ShowPage(CDevPropSheet::kLunPage);
    ASSERT_EQ(sheet.CurrentPage(), CDevPropSheet::kLunPage);
    QString preset;
    guitest::AnswerNextModal([&](QWidget* dialog) {
        auto* create = qobject_cast<oru::CCreateLunDlg*>(dialog);
        ASSERT_NE(create, nullptr);
        preset = create->CapacityEdit()->text();
        create->accept();
    });
    const std::size_t before = Seen();
    sheet.LunPage()->CreateButton()->click();
    EXPECT_EQ(preset, "2.00");
    const std::vector<SeenRequest> requests = service_.Requests();
    ASSERT_EQ(Codes(requests, before), (std::vector<std::uint32_t>{MC_CreateLUN}));
    EXPECT_EQ(requests[before].values[0], 2u);  // the first free number
    // 2^31 bytes in units of 2^19 bytes.
    EXPECT_EQ(requests[before].values[1], 4096u);
    ASSERT_TRUE(RefreshesDone(1));
    EXPECT_EQ(sheet.LunPage()->List()->count(), 3);
    EXPECT_EQ(sheet.CapacityPage()->Capacity()->unallocated, 0u);
    // Nothing left to create with.
    sheet.LunPage()->CreateButton()->click();
    EXPECT_TRUE(SawMessage("There is no unallocated capacity left for a new logical drive"));
}

TEST_F(SheetTest, TheCreateDialogCleansItsTextAndChecksTheRange) {
    oru::CCreateLunDlg dialog(200, 1, {2, 3});
    dialog.show();
    QLineEdit* edit = dialog.CapacityEdit();
    edit->clear();
    QTest::keyClicks(edit, "1.234");
    EXPECT_EQ(edit->text(), "1.23");
    EXPECT_EQ(dialog.Beeps(), 1);
    std::vector<QString> messages;
    guitest::RecordMessages(&messages);
    edit->setText("2.01");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    edit->setText("0");
    dialog.accept();
    edit->setText(".5");
    dialog.accept();
    guitest::StopRecordingMessages();
    EXPECT_EQ(messages, (std::vector<QString>{
                            "The capacity entered is larger than the unallocated capacity",
                            "The capacity entered is smaller than the smallest logical drive "
                            "(0.01 GB)"}));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Capacity(), 50u);
    EXPECT_EQ(dialog.Number(), 2u);
}

TEST_F(SheetTest, DeletingALogicalDriveAsksFirst) {
    Connect();
    CDevPropSheet& sheet = OpenSheet();
    sheet.ShowPage(CDevPropSheet::kLunPage);
    oru::CDevLUNPage* luns = sheet.LunPage();
    luns->OnDelete();
    EXPECT_TRUE(SawMessage("A logical drive must first be selected"));
    luns->List()->setCurrentRow(1);
    ASSERT_EQ(luns->Selected(), 1u);
    guitest::StopRecordingMessages();
    guitest::AnswerNextModal([](QWidget* box) { qobject_cast<QMessageBox*>(box)->reject(); });
    const std::size_t before = Seen();
    luns->OnDelete();
    EXPECT_EQ(Seen(), before);
    guitest::AnswerNextModal(guitest::Accept);
    luns->OnDelete();
    const std::vector<SeenRequest> requests = service_.Requests();
    ASSERT_EQ(Codes(requests, before), (std::vector<std::uint32_t>{MC_DeleteLUN}));
    EXPECT_EQ(requests[before].values[0], 1u);
}

TEST_F(SheetTest, PagesThatNeedARunningArrayGoBackToTheFirstPage) {
    DiskArrayState shutDown = guitest::SampleState();
    shutDown.subsystemState->values[0] = 6;
    service_.SetState(shutDown);
    Connect();
    CDevPropSheet& sheet = OpenSheet();
    sheet.ShowPage(CDevPropSheet::kCapacityPage);
    ASSERT_TRUE(guitest::Eventually([&] { return sheet.CurrentPage() == 0; }));
    EXPECT_TRUE(SawMessage(
        "The information for this page is not available because of the current array state"));
    sheet.ShowPage(CDevPropSheet::kConfigPage);
    EXPECT_EQ(sheet.CurrentPage(), CDevPropSheet::kConfigPage);
}

TEST_F(SheetTest, WriteReadIsRefusedOnADiskThatWasNotDownedBeforeAnyPercentIsAsked) {
    Connect();
    CDevPropSheet& sheet = OpenSheet();
    oru::CTestDiskDlg dialog(sheet.Commands(), 0, &sheet);
    const std::size_t before = Seen();
    dialog.OnWriteRead();
    EXPECT_EQ(
        messages_,
        (std::vector<QString>{"The write / read test runs only on a disk that has been downed"}));
    EXPECT_EQ(Seen(), before);
    EXPECT_EQ(dialog.TypeText()->text(), "None");
    EXPECT_EQ(dialog.StatusText()->text(), "");
    EXPECT_TRUE(dialog.Information()->toPlainText().startsWith("Condition:\tNormal\n"));
}

TEST_F(SheetTest, APercentOutsideOneToAHundredIsRefusedAndTheDialogStays) {
    oru::CPercentDlg dialog("warning");
    EXPECT_EQ(dialog.Edit()->text(), "1");
    std::vector<QString> messages;
    guitest::RecordMessages(&messages);
    for (const char* text : {"101", "0", "-3", "ten"}) {
        dialog.Edit()->setText(text);
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Rejected) << text;
    }
    dialog.Edit()->setText("100");
    dialog.accept();
    guitest::StopRecordingMessages();
    EXPECT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages.front(), "Enter a valid percentage");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Percent(), 100u);
}

TEST_F(SheetTest, AVerifyIsStartedAndFollowedToItsEnd) {
    Connect();
    CDevPropSheet& sheet = OpenSheet();
    oru::CTestDiskDlg dialog(sheet.Commands(), 2, &sheet);
    guitest::StopRecordingMessages();
    guitest::AnswerNextModal([](QWidget* modal) {
        auto* percent = qobject_cast<oru::CPercentDlg*>(modal);
        ASSERT_NE(percent, nullptr);
        percent->Edit()->setText("25");
        percent->accept();
    });
    const std::size_t before = Seen();
    dialog.OnReadVerify();
    const std::vector<SeenRequest> requests = service_.Requests();
    ASSERT_EQ(Codes(requests, before), (std::vector<std::uint32_t>{MC_VerifyPhysicalDrive}));
    EXPECT_EQ(requests[before].values[0], 2u);
    EXPECT_EQ(requests[before].values[1], 25u);
    EXPECT_EQ(requests[before].values[2], 0u);
    // The service reports the test running at 40 percent, then passed.
    OruServerState running;
    running.commandResults.AddElement(
        DiagCommandResults(MC_VerifyPhysicalDrive, 0, 2, DIAG_STATE_RUNNING, 256, 0, 0, nullptr));
    running.commandsInProgress.AddElement(
        CommandInProgress(requests[before].Handle(), MC_VerifyPhysicalDrive, 2, 1, 40));
    service_.Push({guitest::EventReply({Event(CPRG, static_cast<EVENT_MINOR_CPRG_TYPE>(1), 2, 40)},
                                       guitest::SampleState(), running)});
    ASSERT_TRUE(guitest::Eventually([&] { return dialog.Progress()->value() == 40; }));
    EXPECT_EQ(dialog.TypeText()->text(), "Read Verify");
    EXPECT_EQ(dialog.StatusText()->text(), "In Progress");
    OruServerState passed;
    passed.commandResults.AddElement(
        DiagCommandResults(MC_VerifyPhysicalDrive, 1, 2, DIAG_STATE_FINISHED, 256, 0, 0, nullptr));
    service_.Push({guitest::EventReply({Event(CRES, static_cast<EVENT_MINOR_CRES_TYPE>(2), 2, 1)},
                                       guitest::SampleState(), passed)});
    ASSERT_TRUE(guitest::Eventually([&] { return dialog.StatusText()->text() == "Passed"; }));
    EXPECT_EQ(dialog.FailureText()->text(), "");
    // A verify that found failing chunks did not pass, also when the
    // service calls it finished.
    oruerr error;
    DiagCommandResults::SetFailedChunks(error, {{1200, 120}, {360, 120}});
    OruServerState withErrors;
    withErrors.commandResults.AddElement(DiagCommandResults(
        MC_VerifyPhysicalDrive, 1, 2, DIAG_STATE_FINISHED, 47, 360, 120, &error));
    service_.Push({guitest::EventReply({Event(CRES, static_cast<EVENT_MINOR_CRES_TYPE>(2), 2, 1)},
                                       guitest::SampleState(), withErrors)});
    ASSERT_TRUE(guitest::Eventually([&] { return dialog.StatusText()->text() == "Failed"; }));
    EXPECT_EQ(dialog.FailureText()->text(), "Chunks that failed: 2, the first at block 360");
    EXPECT_EQ(dialog.Progress()->value(), 100);
    // Abort has nothing to cancel now.
    const std::size_t after = Seen();
    dialog.OnAbort();
    EXPECT_EQ(Seen(), after);
}

TEST_F(SheetTest, ARunningTestCanBeAborted) {
    OruServerState running;
    running.commandResults.AddElement(
        DiagCommandResults(MC_TestPhysicalDrive, 0, 3, DIAG_STATE_RUNNING, 256, 0, 0, nullptr));
    running.commandsInProgress.AddElement(
        CommandInProgress(CommandHandle(41, 7), MC_TestPhysicalDrive, 3, 1, 10));
    service_.SetServer(running);
    Connect();
    CDevPropSheet& sheet = OpenSheet();
    oru::CTestDiskDlg dialog(sheet.Commands(), 3, &sheet);
    EXPECT_EQ(dialog.TypeText()->text(), "Write / Read");
    const std::size_t before = Seen();
    dialog.OnReadVerify();  // refused: a test runs
    EXPECT_TRUE(
        SawMessage("The disk cannot be tested now: a test is running on it, the array's "
                   "state is not known, or the disk has failed"));
    dialog.OnAbort();
    const std::vector<SeenRequest> requests = service_.Requests();
    ASSERT_EQ(Codes(requests, before), (std::vector<std::uint32_t>{MC_Cancel_Command}));
    EXPECT_EQ(requests[before].values[0], 41u);
    EXPECT_EQ(requests[before].values[1], 7u);
}

TEST_F(SheetTest, DiskCommandsCheckTheDiskFirst) {
    Connect();
    CDevPropSheet& sheet = OpenSheet();
    oru::CDevDiagPage* diag = sheet.DiagPage();
    const std::size_t before = Seen();
    diag->OnInclude();
    diag->SelectDisk(0);
    diag->OnInclude();
    diag->SelectDisk(11);
    diag->OnTest();
    diag->OnDown();
    EXPECT_EQ(messages_,
              (std::vector<QString>{
                  "A disk must first be selected",
                  "The disk cannot be included: a test is running on it, or it is not a new, "
                  "downed, previously used or unsupported disk",
                  "An empty slot cannot be tested",
                  "The disk cannot be downed: a test is running on it, or it is not a member of "
                  "the array"}));
    EXPECT_EQ(Seen(), before);
    // A detail line's disk is the selected disk.
    QTreeWidgetItem* line = diag->Tree()->topLevelItem(5)->child(1);
    diag->Tree()->setCurrentItem(line);
    EXPECT_EQ(diag->SelectedDisk(), 5u);
}

TEST_F(SheetTest, DowningADiskTakesTheChoiceOfTheWarning) {
    Connect();
    CDevPropSheet& sheet = OpenSheet();
    guitest::AnswerNextModal([](QWidget* modal) {
        auto* warning = qobject_cast<oru::CDownDiskDlg*>(modal);
        ASSERT_NE(warning, nullptr);
        EXPECT_TRUE(warning->Option(1)->isChecked());
        warning->Option(2)->setChecked(true);
        warning->accept();
    });
    sheet.DiagPage()->SelectDisk(1);
    const std::size_t before = Seen();
    sheet.DiagPage()->OnDown();
    const std::vector<SeenRequest> requests = service_.Requests();
    ASSERT_EQ(Codes(requests, before), (std::vector<std::uint32_t>{MC_DownPhysicalDrive}));
    EXPECT_EQ(requests[before].values[0], 1u);
    EXPECT_EQ(requests[before].values[1], 2u);
    EXPECT_EQ(requests[before].values[2], 1u);
    EXPECT_EQ(sheet.DiagPage()->SelectedDisk(), 1u);  // still selected after the rebuild
}

TEST_F(SheetTest, ShutdownAsksReportsAndReadsTheState) {
    Connect();
    CDevPropSheet& sheet = OpenSheet();
    const std::size_t before = Seen();
    sheet.DiagPage()->OnShutdown();  // the question is answered OK
    ASSERT_TRUE(RefreshesDone(1));
    EXPECT_EQ(Codes(service_.Requests(), before),
              (std::vector<std::uint32_t>{MC_ShutdownSubsystem, MC_GetState}));
    EXPECT_EQ(messages_, (std::vector<QString>{"Shutting the array down stops all access to its "
                                               "data. Do you want to shut it down?",
                                               "Array shutdown successfully"}));
    // Restart only after a shutdown; switching to Y asks and says so.
    messages_.clear();
    sheet.DiagPage()->OnRestart();
    EXPECT_EQ(messages_.front(), "Only an array that is shut down or not ready can be restarted");
    messages_.clear();
    const std::size_t switched = Seen();
    sheet.DiagPage()->OnSwitch(1);
    ASSERT_TRUE(RefreshesDone(2));
    EXPECT_EQ(Codes(service_.Requests(), switched),
              (std::vector<std::uint32_t>{MC_SetPrimaryController, MC_GetState}));
    EXPECT_EQ(service_.Requests()[switched].values[0], 1u);
    EXPECT_EQ(messages_.back(), "Controller switched successfully");
}

TEST_F(SheetTest, TheControllersEventLogIsShownAndCleared) {
    service_.On(MC_ReadControllerLog, [](const SeenRequest& request, guitest::ScriptedService&) {
        std::vector<unsigned char> page(request.values[0], 0);
        page[0] = 1;
        page[2] = 18;        // one kind-0 entry
        page[3 + 4] = 0x0A;  // tick 2701
        page[3 + 5] = 0x8D;
        page[3 + 8] = 104;  // event code 104
        page[3 + 9] = 1;    // count
        return guitest::Messages{guitest::BufferReply(request, page)};
    });
    Connect();
    CDevPropSheet& sheet = OpenSheet();
    QStringList shown;
    guitest::AnswerNextModal([&](QWidget* modal) {
        auto* log = qobject_cast<oru::CControllerLogDlg*>(modal);
        ASSERT_NE(log, nullptr);
        for (int i = 0; i < log->List()->count(); ++i) {
            shown << log->List()->item(i)->text();
        }
        log->accept();
    });
    const std::size_t before = Seen();
    sheet.DiagPage()->OnLogView();
    ASSERT_EQ(shown.size(), 1);
    // The entry's text is the firmware's text of its event code.
    EXPECT_EQ(shown[0].toStdString(), "At tick 2701: Drive removed. (event 104, count 1)");
    sheet.DiagPage()->OnLogClear();
    const std::vector<SeenRequest> requests = service_.Requests();
    ASSERT_EQ(Codes(requests, before),
              (std::vector<std::uint32_t>{MC_ReadControllerLog, MC_ReadControllerLog}));
    EXPECT_EQ(requests[before].values[1], 1u);
    EXPECT_EQ(requests[before].values[2], 0u);
    EXPECT_EQ(requests[before + 1].values[2], 1u);
    EXPECT_TRUE(
        SawMessage("1 entries of the controller's event log were copied into the service's log and "
                   "cleared."));
}

TEST_F(SheetTest, AnArrayWithoutPerformanceRecordsShowsEmptyCharts) {
    service_.On(MC_GetPerfMetrics, [](const SeenRequest& request, guitest::ScriptedService&) {
        return guitest::Messages{
            guitest::ErrorReply(request, ERR_PERFORMANCE_LOG_DATA_UNAVAILABLE)};
    });
    Connect();
    CDevPropSheet& sheet = OpenSheet();
    sheet.ShowPage(CDevPropSheet::kPerfPage);
    oru::CDevPerfPage* perf = sheet.PerfPage();
    EXPECT_TRUE(perf->Data().Empty());
    EXPECT_FALSE(perf->Chart().LaidOut());
    EXPECT_FALSE(perf->ScrollBar()->isVisible());
    EXPECT_FALSE(perf->RecommendButton()->isEnabled());
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(service_.CountOf(MC_GetPerfMetrics), 1u);
    perf->ThresholdsButton()->click();
    EXPECT_FALSE(perf->Chart().LaidOut());
}

TEST_F(SheetTest, AMetricsFailureIsReported) {
    service_.On(MC_GetPerfMetrics, [](const SeenRequest& request, guitest::ScriptedService&) {
        return guitest::Messages{guitest::ErrorReply(request, ERR_COMMAND_FAILED)};
    });
    Connect();
    CDevPropSheet& sheet = OpenSheet();
    sheet.ShowPage(CDevPropSheet::kPerfPage);
    EXPECT_EQ(messages_, (std::vector<QString>{"Error getting the performance metrics"}));
}

TEST_F(SheetTest, TheChartsShowTheRecordsAndAskForTheIntervalsRecommendations) {
    const std::uint32_t start =
        static_cast<std::uint32_t>(std::time(nullptr)) / 3600 * 3600 - 200 * 3600;
    service_.On(MC_GetPerfMetrics, [start](const SeenRequest& request, guitest::ScriptedService&) {
        std::vector<PerfMetric> metrics;
        for (std::uint32_t id : request.ids) {
            metrics.push_back(Metric(id, start, 200, id == 1 ? 1 : 3));
        }
        return guitest::Messages{guitest::MetricsReply(request, metrics)};
    });
    service_.On(MC_GetPerfRecs, [](const SeenRequest& request, guitest::ScriptedService&) {
        PerfRecs recs;
        recs.valueA = request.values[0];
        recs.valueB = request.values[1];
        return guitest::Messages{guitest::RecsReply(request, recs)};
    });
    Connect();
    CDevPropSheet& sheet = OpenSheet();
    sheet.resize(900, 700);
    sheet.ShowPage(CDevPropSheet::kPerfPage);
    oru::CDevPerfPage* perf = sheet.PerfPage();
    const std::vector<SeenRequest> asked = service_.Requests();
    ASSERT_EQ(service_.CountOf(MC_GetPerfMetrics), 2u);
    const SeenRequest& first = asked[asked.size() - 2];
    const SeenRequest& second = asked.back();
    EXPECT_EQ(first.ids, (std::vector<std::uint32_t>{2}));
    EXPECT_EQ(first.values[2], 4u);
    EXPECT_EQ(first.values[1] - first.values[0], 1209600u);
    EXPECT_EQ(second.values[0], start);
    EXPECT_EQ(second.ids, (std::vector<std::uint32_t>{2, 1, 3, 4, 14, 15, 7, 8, 9, 10, 16}));
    ASSERT_EQ(perf->Data().count, 200);
    ASSERT_TRUE(perf->Chart().LaidOut());
    EXPECT_EQ(perf->Chart().AllSeries().size(), 6u);
    EXPECT_TRUE(perf->ScrollBar()->isVisible());
    EXPECT_EQ(perf->ScrollBar()->maximum(), perf->Chart().ScrollRange());
    perf->ThresholdsButton()->click();
    EXPECT_EQ(perf->Chart().AllSeries().size(), 5u);
    perf->ScrollBar()->setValue(0);
    EXPECT_EQ(perf->Chart().WindowStart(), 0);
    // The recommendations of the interval between the marks.
    QString text;
    guitest::AnswerNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<oru::CPerfRecommendDlg*>(modal);
        ASSERT_NE(dialog, nullptr);
        text = dialog->Text()->text();
        EXPECT_EQ(dialog->Lines()->count(), 6);
        dialog->accept();
    });
    perf->RecommendButton()->click();
    EXPECT_EQ(text, "No recommendations, performance is optimal");
    const SeenRequest recs = service_.Requests().back();
    EXPECT_EQ(recs.code, MC_GetPerfRecs);
    EXPECT_EQ(recs.values[0], perf->Chart().IntervalStart());
    EXPECT_EQ(recs.values[1], perf->Chart().IntervalEnd());
    EXPECT_EQ(recs.values[1] - recs.values[0], 8u * 3600);
}

TEST_F(SheetTest, AStateBeyondWhatThePicturesHoldIsShownBoundedAndLabelled) {
    DiskArrayState odd = guitest::SampleState();
    odd.controllers.resize(3);
    odd.controllers[2] = odd.controllers[1];
    odd.drives.resize(20);
    for (std::uint32_t slot = 12; slot < 20; ++slot) {
        odd.drives[slot] = odd.drives[0];
        odd.drives[slot].driveState = 4;
    }
    odd.hardware->values1.assign(9, 2);
    odd.luns.resize(20);
    for (LUN& lun : odd.luns) {
        lun.status = 1;
        lun.capacity = BlockCapacity();  // zero capacities
    }
    odd.virtualRemaining = BlockCapacity();
    std::memset(odd.aliasName, 'Z', sizeof odd.aliasName);  // no terminator
    std::memset(odd.drives[0].vendor, 'V', sizeof odd.drives[0].vendor);
    service_.SetState(odd);
    service_.On(MC_GetPerfMetrics, [](const SeenRequest& request, guitest::ScriptedService&) {
        // One record of one sample.
        return guitest::Messages{guitest::MetricsReply(
            request, {Metric(request.ids.front(), 1700000000, 1, PerfMetric::kNoData)})};
    });
    Connect();
    CDevPropSheet& sheet = OpenSheet();
    EXPECT_EQ(TopLevel(sheet.StatusPage()->Tree(), "Disks")->childCount(), 20);
    EXPECT_EQ(sheet.StatusPage()->NotShownLabel()->text(), "14 more not shown in the picture");
    EXPECT_EQ(sheet.ConfigPage()->Alias()->text(), QString(12, 'Z'));  // the field's limit
    for (int page = 0; page < sheet.Tabs()->count(); ++page) {
        sheet.ShowPage(page);
        EXPECT_EQ(sheet.CurrentPage(), page);
        EXPECT_FALSE(Grab(sheet.Tabs()->widget(page)).isNull());
    }
    EXPECT_EQ(sheet.LunPage()->List()->count(), 20);
    EXPECT_EQ(sheet.LunPage()->Table().largest, 0u);
    EXPECT_EQ(sheet.CapacityPage()->Capacity()->logicalDrives, 0u);
    EXPECT_EQ(sheet.PerfPage()->Data().count, 1);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(SheetTest, EmptyListsAndAStateThatIsNotValid) {
    DiskArrayState empty = guitest::SampleState();
    empty.controllers.clear();
    empty.drives.clear();
    empty.luns.clear();
    empty.missing.clear();
    empty.hardware.reset();
    empty.modeSubsystem.reset();
    service_.SetState(empty);
    Connect();
    CDevPropSheet& sheet = OpenSheet();
    EXPECT_EQ(TopLevel(sheet.StatusPage()->Tree(), "Disks")->childCount(), 0);
    EXPECT_EQ(sheet.LunPage()->Table().free.size(), 0u);
    sheet.LunPage()->OnCreate();
    EXPECT_TRUE(SawMessage("There is no unallocated capacity left for a new logical drive") ||
                SawMessage("Every logical drive number is in use"));
    // The service then loses the array's state.
    DiskArrayState invalid = guitest::SampleState();
    invalid.stateValue4 = 0;
    service_.SetState(invalid);
    sheet.Refresh(CDevPropSheet::kReadState);
    EXPECT_EQ(sheet.StatusPage()->Tree()->topLevelItem(0)->child(0)->text(0), "Condition: Unknown");
    EXPECT_EQ(TopLevel(sheet.StatusPage()->Tree(), "Controllers")->childCount(), 0);
    EXPECT_FALSE(sheet.CapacityPage()->Capacity().has_value());
}

TEST_F(SheetTest, OkClosesWithoutRequestsWhenNothingChangedAndTheTimerStops) {
    Connect();
    CDevPropSheet& sheet = OpenSheet();
    const std::size_t before = Seen();
    sheet.OkButton()->click();
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_FALSE(sheet.Timer().isActive());
    EXPECT_EQ(Seen(), before);
}

}  // namespace
