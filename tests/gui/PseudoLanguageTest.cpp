// Every text the window shows comes from the catalog: run in the pseudo
// language, each one starts with its "[set.number]" tag.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTabWidget>
#include <QTreeWidget>

#include "GuiTestSupport.h"
#include "SheetTestSupport.h"
#include "client/DiskArray.h"
#include "gui/CAboutDlg.h"
#include "gui/CAddFilterDlg.h"
#include "gui/CCreateViewDlg.h"
#include "gui/CDevDiagPage.h"
#include "gui/CDevLUNPage.h"
#include "gui/CDevPerfPage.h"
#include "gui/CDevPropSheet.h"
#include "gui/CDevStatusPage.h"
#include "gui/CDeviceListView.h"
#include "gui/CDiscoverHostsDlg.h"
#include "gui/CMainFrame.h"
#include "gui/CNoticeDlg.h"
#include "gui/CSelectDeviceDlg.h"
#include "gui/CSelectHostsDlg.h"
#include "gui/CSelectView.h"
#include "gui/CViewOptionsSheet.h"
#include "gui/Messages.h"
#include "platform/PrivateProfile.h"
#include "support/FreshRoot.h"

namespace {

bool Tagged(const QString& text) {
    static const QRegularExpression tag(R"(^\[\d+\.\d+\] )");
    return tag.match(text).hasMatch();
}

// A number shown is data, not a text.
bool Number(const QString& text) {
    static const QRegularExpression number(R"(^\d+$)");
    return number.match(text).hasMatch();
}

// Every text of the widget and its children that the program wrote.
void ExpectAllTagged(QWidget* widget) {
    if (!widget->windowTitle().isEmpty()) {
        EXPECT_TRUE(Tagged(widget->windowTitle())) << widget->windowTitle().toStdString();
    }
    for (QLabel* label : widget->findChildren<QLabel*>()) {
        if (!label->text().isEmpty() && !Number(label->text())) {
            EXPECT_TRUE(Tagged(label->text())) << label->text().toStdString();
        }
    }
    for (QAbstractButton* button : widget->findChildren<QAbstractButton*>()) {
        if (!button->text().isEmpty()) {
            EXPECT_TRUE(Tagged(button->text())) << button->text().toStdString();
        }
    }
    for (QTabWidget* tabs : widget->findChildren<QTabWidget*>()) {
        for (int i = 0; i < tabs->count(); ++i) {
            EXPECT_TRUE(Tagged(tabs->tabText(i))) << tabs->tabText(i).toStdString();
        }
    }
}

// Every item of a tree and every line below it.
void ExpectTreeTagged(QTreeWidgetItem* item) {
    EXPECT_TRUE(Tagged(item->text(0))) << item->text(0).toStdString();
    for (int i = 0; i < item->childCount(); ++i) {
        ExpectTreeTagged(item->child(i));
    }
}

TEST(PseudoLanguage, EveryTextOfTheDevicePropertiesSheetComesFromTheCatalog) {
    // An array that is not connected: the sheet shows its state only.
    DiskArray array("hostA", "QX0000000001", nullptr);
    *array.GetStatePtr() = guitest::SampleState();
    guitest::TestHost host;
    oru::CDevPropSheet sheet(array, oru::QText(oru::txt::kDevicePropertiesTitle, "hostA", "A"),
                             host);
    ExpectAllTagged(&sheet);
    for (QTreeWidget* tree : {sheet.StatusPage()->Tree(), sheet.DiagPage()->Tree()}) {
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            ExpectTreeTagged(tree->topLevelItem(i));
        }
    }
    oru::CCreateLunDlg create(200, 1, {2});
    ExpectAllTagged(&create);
    oru::CRenumberLunDlg renumber(1, {2});
    ExpectAllTagged(&renumber);
    oru::CPercentDlg percent(oru::QText(oru::txt::kWarnVerify));
    ExpectAllTagged(&percent);
    oru::CDownDiskDlg down;
    ExpectAllTagged(&down);
    oru::CTestDiskDlg test(sheet.Commands(), 0);
    ExpectAllTagged(&test);
    EXPECT_TRUE(Tagged(test.Information()->toPlainText()));
    oru::CControllerLogDlg log({});
    ExpectAllTagged(&log);
    EXPECT_TRUE(Tagged(log.List()->item(0)->text()));
    PerfRecs recs;
    recs.conditions[0] = 1;
    oru::CPerfRecommendDlg recommend(oru::Recommendation::FromRecs(recs));
    ExpectAllTagged(&recommend);
    for (int i = 0; i < recommend.Lines()->count(); ++i) {
        EXPECT_TRUE(Tagged(recommend.Lines()->item(i)->text()));
    }
}

TEST(PseudoLanguage, EveryTextOfTheWindowAndItsDialogsComesFromTheCatalog) {
    testsupport::FreshRoot root;
    platform::PrivateProfile profile(root.File("etc/oru.ini"));
    auto* fake = new guitest::FakeProvider();
    fake->AddDevice("hostA", "S1", "CAB1", "x", 3);
    oru::FrameSetup setup;
    setup.profile = &profile;
    setup.makeProviders = [fake](oru::CDeviceModel& model, oru::ModelHost&) {
        model.AddProvider(std::unique_ptr<oru::CDeviceProvider>(fake));
    };
    setup.hostName = [](std::string* name, int*) {
        *name = "hostA";
        return true;
    };
    oru::CMainFrame frame(std::move(setup));
    frame.Start();
    ASSERT_TRUE(guitest::Eventually([&] { return frame.FirstRebuildDone(); }));

    EXPECT_TRUE(Tagged(frame.windowTitle()));
    for (QAction* menu : frame.menuBar()->actions()) {
        EXPECT_TRUE(Tagged(menu->text())) << menu->text().toStdString();
    }
    for (QAction* command : frame.Commands()) {
        EXPECT_TRUE(Tagged(command->text())) << command->text().toStdString();
    }
    for (int i = 0; i < frame.Tree()->topLevelItemCount(); ++i) {
        EXPECT_TRUE(Tagged(frame.Tree()->topLevelItem(i)->text(0)));
    }
    for (int i = 0; i < frame.List()->columnCount(); ++i) {
        EXPECT_TRUE(Tagged(frame.List()->headerItem()->text(i)));
    }
    EXPECT_TRUE(Tagged(frame.CountPane()->text())) << frame.CountPane()->text().toStdString();

    std::vector<QString> messages;
    guitest::RecordMessages(&messages);
    frame.List()->clearSelection();
    frame.OnDeviceProperties();
    guitest::StopRecordingMessages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].left(7), "[5.15] ");

    oru::CViewOptionsSheet sheet(frame.Settings(), &frame);
    ExpectAllTagged(&sheet);
    oru::CSelectHostsDlg hosts(
        frame.Settings(), [] { return std::vector<std::string>(); }, [] { return false; }, &frame);
    ExpectAllTagged(&hosts);
    oru::CDiscoverHostsDlg discover(&frame);
    ExpectAllTagged(&discover);
    oru::CCreateViewDlg create(&frame);
    ExpectAllTagged(&create);
    oru::CAddFilterDlg filter(oru::QText(oru::txt::kPromptInclude), &frame);
    ExpectAllTagged(&filter);
    oru::CAboutDlg about(&frame);
    ExpectAllTagged(&about);
    oru::CSelectDeviceDlg select(frame.Model(), frame.SelectedIndices(), &frame);
    ExpectAllTagged(&select);
    oru::CNoticeDlg notice(oru::txt::kBuildingList, &frame);
    notice.SetSecondLine(oru::QText(oru::txt::kCurrentHost, "hostA"));
    ExpectAllTagged(&notice);
}

}  // namespace
