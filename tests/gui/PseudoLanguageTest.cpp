// Every text the window shows comes from the catalog: run in the pseudo
// language, each one starts with its "[set.number]" tag.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTabWidget>

#include "GuiTestSupport.h"
#include "gui/CAboutDlg.h"
#include "gui/CAddFilterDlg.h"
#include "gui/CCreateViewDlg.h"
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

// Every text of the widget and its children that the program wrote.
void ExpectAllTagged(QWidget* widget) {
    if (!widget->windowTitle().isEmpty()) {
        EXPECT_TRUE(Tagged(widget->windowTitle())) << widget->windowTitle().toStdString();
    }
    for (QLabel* label : widget->findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) {
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
