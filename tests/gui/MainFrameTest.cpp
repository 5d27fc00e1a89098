// The main frame offscreen over made-up arrays: the list rebuild (order,
// filters, groups, "Count:" and "FILTER ON"), the host views, the
// commands' refusals, the dialogs they open, the window placement and the
// busy rule of the idle pass.
#include "gui/CMainFrame.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "GuiTestSupport.h"
#include "gui/CCreateViewDlg.h"
#include "gui/CDeviceListView.h"
#include "gui/CDiscoverHostsDlg.h"
#include "gui/CSelectDeviceDlg.h"
#include "gui/CSelectHostsDlg.h"
#include "gui/CSelectView.h"
#include "gui/CViewOptionsSheet.h"
#include "gui/ProfileKeys.h"
#include "platform/Clock.h"
#include "platform/PrivateProfile.h"
#include "platform/Registry.h"
#include "support/FreshRoot.h"

namespace {

using guitest::AnswerNextModal;
using guitest::FakeProvider;
using oru::CMainFrame;

class MainFrameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake_ = new FakeProvider();
        fake_->AddDevice("hostA", "S3", "CAB3", "Normal", 3);
        fake_->AddDevice("hostA", "S1", "CAB1", "Warning: Rebuilding", 4);
        fake_->AddDevice("hostA", "S2", "CAB2", "Normal", 3);
        fake_->AddDevice("hostB", "S4", "CAB4", "Normal", 3);
    }

    void TearDown() override {
        guitest::StopRecordingMessages();
        guitest::ForgetModalAnswers();
        frame_.reset();
    }

    // Makes and starts the frame; waits for its first rebuild.
    void Open(const std::string& host = "", const std::string& serial = "") {
        oru::FrameSetup setup;
        setup.profile = &profile_;
        setup.commandLineHost = host;
        setup.commandLineSerial = serial;
        FakeProvider* fake = fake_;
        setup.makeProviders = [fake](oru::CDeviceModel& model, oru::ModelHost&) {
            model.AddProvider(std::unique_ptr<oru::CDeviceProvider>(fake));
        };
        setup.hostName = [](std::string* name, int*) {
            *name = "hostA";
            return true;
        };
        frame_ = std::make_unique<CMainFrame>(std::move(setup));
        frame_->Start();
        ASSERT_TRUE(guitest::Eventually([this] { return frame_->FirstRebuildDone(); }));
    }

    // The texts of one column, top to bottom.
    std::vector<std::string> Column(int column) {
        std::vector<std::string> texts;
        for (int i = 0; i < frame_->List()->topLevelItemCount(); ++i) {
            texts.push_back(frame_->List()->topLevelItem(i)->text(column).toStdString());
        }
        return texts;
    }

    // Runs the posted calls (and the rebuilds they start).
    void Settle() {
        const int before = frame_->Rebuilds();
        guitest::Eventually([&] { return frame_->Rebuilds() > before; }, 200);
        QApplication::processEvents();
    }

    void SelectView(const std::string& view) {
        const int before = frame_->Rebuilds();
        frame_->Tree()->setCurrentItem(frame_->Tree()->ItemOfView(view));
        ASSERT_TRUE(guitest::Eventually([&] { return frame_->Rebuilds() > before; }));
    }

    void SelectRowOf(const std::string& serial) {
        frame_->List()->clearSelection();
        for (int i = 0; i < frame_->List()->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = frame_->List()->topLevelItem(i);
            if (item->text(1).toStdString() == serial) {
                item->setSelected(true);
                frame_->List()->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
            }
        }
    }

    // A user view with the given columns and hosts, made current.
    void UserView(const std::string& name, const std::vector<std::string>& columns,
                  const std::vector<std::string>& hosts) {
        oru::CViewSettings& settings = frame_->Settings();
        ASSERT_TRUE(settings.CreateView(name));
        settings.ApplyOptions(columns, columns, settings.Filters(), oru::CViewSettings::kAscending);
        settings.ApplyHosts(true, hosts);
        frame_->Tree()->InsertUserView(name, QString::fromStdString(name));
        SelectView(name);
    }

    testsupport::FreshRoot root_;
    platform::PrivateProfile profile_{root_.File("etc/oru.ini")};
    FakeProvider* fake_ = nullptr;  // owned by the frame's model once opened
    std::unique_ptr<CMainFrame> frame_;
    std::vector<QString> messages_;
};

TEST_F(MainFrameTest, TheFirstRebuildShowsTheLocalHostsArraysInSortOrder) {
    Open();
    const CMainFrame& frame = *frame_;
    ASSERT_EQ(frame.List()->columnCount(), 3);
    EXPECT_EQ(frame.List()->headerItem()->text(0), "Host Name");
    EXPECT_EQ(frame.List()->headerItem()->text(1), "Array Serial #");
    EXPECT_EQ(frame.List()->headerItem()->text(2), "Array Status");
    EXPECT_EQ(Column(1), (std::vector<std::string>{"S1", "S2", "S3"}));
    EXPECT_EQ(Column(2), (std::vector<std::string>{"Warning: Rebuilding", "Normal", "Normal"}));
    EXPECT_EQ(frame.CountPane()->text(), "Count:   3");
    EXPECT_EQ(frame.FilterPane()->text(), "");
    EXPECT_EQ(fake_->scanned, (std::vector<std::string>{"hostA"}));
    EXPECT_EQ(frame.List()->topLevelItem(0)->data(0, oru::CDeviceListView::kStatusRole).toInt(), 4);
    // The tree: the new-view item, then the two built-in views.
    ASSERT_EQ(frame.Tree()->topLevelItemCount(), 3);
    EXPECT_EQ(frame.Tree()->topLevelItem(0)->text(0), "<<New Host View>>");
    EXPECT_EQ(frame.Tree()->topLevelItem(1)->text(0), "Local host");
    EXPECT_EQ(frame.Tree()->topLevelItem(2)->text(0), "All known hosts");
    EXPECT_EQ(frame.Tree()->currentItem(), frame.Tree()->topLevelItem(1));

    SelectView(oru::keys::kAllHostsView);
    EXPECT_EQ(Column(1), (std::vector<std::string>{"S1", "S2", "S3", "S4"}));
    EXPECT_EQ(fake_->forgets, 2);
}

TEST_F(MainFrameTest, ClickingTheFirstSortColumnTwiceRestoresTheFirstOrder) {
    Open();
    using Serials = std::vector<std::string>;
    const Serials first = Column(1);
    EXPECT_EQ(first, (Serials{"S1", "S2", "S3"}));
    frame_->OnColumnClicked(0);  // the first sort column: the direction turns
    EXPECT_EQ(Column(1), (Serials{"S3", "S2", "S1"}));
    EXPECT_EQ(frame_->List()->header()->sortIndicatorOrder(), Qt::DescendingOrder);
    frame_->OnColumnClicked(0);
    EXPECT_EQ(Column(1), first);
    frame_->OnColumnClicked(2);  // status first, the direction kept
    EXPECT_EQ(Column(1), (Serials{"S2", "S3", "S1"}));
    EXPECT_EQ(frame_->Settings().SortOrder().front(), "Array Status");
    EXPECT_EQ(frame_->List()->header()->sortIndicatorSection(), 2);
    EXPECT_EQ(frame_->List()->header()->sortIndicatorOrder(), Qt::AscendingOrder);
    frame_->OnColumnClicked(2);
    EXPECT_EQ(Column(1), (Serials{"S1", "S3", "S2"}));
    // Without a rescan the host is not scanned again.
    EXPECT_EQ(fake_->scanned.size(), 1u);
}

// Which way the mark drawn in the header of `column` right of its title
// points, as read from the pixels: "up" (narrow top, wide bottom), "down",
// or "none" when nothing is drawn there.
std::string SortMarkOf(QHeaderView* header, int column) {
    const QRect section(header->sectionViewportPosition(column), 0, header->sectionSize(column),
                        header->height());
    const QImage image = header->grab(section).toImage();
    const QString title = header->model()->headerData(column, Qt::Horizontal).toString();
    // Right of the title (with some room for the style's own margins), short
    // of the section's edge line.
    const int from = 5 + QFontMetrics(header->font()).horizontalAdvance(title) + 6;
    const int to = image.width() - 4;
    auto differs = [](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                   std::abs(qBlue(a) - qBlue(b)) >
               24;
    };
    int top = -1;
    int bottom = -1;
    std::vector<int> widths(static_cast<std::size_t>(image.height()), 0);
    for (int y = 0; y < image.height(); ++y) {
        const QRgb background = image.pixel(from, y);
        int first = -1;
        int last = -1;
        for (int x = from; x < to; ++x) {
            if (differs(image.pixel(x, y), background)) {
                first = first < 0 ? x : first;
                last = x;
            }
        }
        if (first >= 0) {
            widths[static_cast<std::size_t>(y)] = last - first + 1;
            top = top < 0 ? y : top;
            bottom = y;
        }
    }
    if (top < 0 || top == bottom) {
        return "none";
    }
    const int topWidth = widths[static_cast<std::size_t>(top)];
    const int bottomWidth = widths[static_cast<std::size_t>(bottom)];
    return topWidth < bottomWidth ? "up" : topWidth > bottomWidth ? "down" : "none";
}

TEST_F(MainFrameTest, TheSortMarkPointsUpForAscendingAndDownForDescending) {
    Open();
    QHeaderView* header = frame_->List()->header();
    frame_->List()->setColumnWidth(0, 200);
    EXPECT_EQ(SortMarkOf(header, 0), "up");
    EXPECT_EQ(SortMarkOf(header, 1), "none");
    frame_->OnColumnClicked(0);
    frame_->List()->setColumnWidth(0, 200);
    EXPECT_EQ(SortMarkOf(header, 0), "down");
    frame_->OnColumnClicked(1);  // another column first: the direction is kept
    frame_->List()->setColumnWidth(1, 200);
    EXPECT_EQ(SortMarkOf(header, 1), "down");
    EXPECT_EQ(SortMarkOf(header, 0), "none");
}

TEST_F(MainFrameTest, ArraysThatReadAlikeShareARowThatOpensAsSeveralDevices) {
    Open();
    UserView("Status", {"Host Name", "Array Status"}, {"hostA"});
    EXPECT_EQ(Column(1), (std::vector<std::string>{"Normal", "Warning: Rebuilding"}));
    EXPECT_EQ(frame_->CountPane()->text(), "Count:   2");
    QTreeWidgetItem* shared = frame_->List()->topLevelItem(0);
    EXPECT_EQ(shared->data(0, oru::CDeviceListView::kDeviceCountRole).toInt(), 2);
    EXPECT_EQ(
        frame_->List()->topLevelItem(1)->data(0, oru::CDeviceListView::kDeviceCountRole).toInt(),
        1);
    shared->setSelected(true);
    EXPECT_EQ(frame_->SelectedIndices().size(), 2u);
    frame_->OnDeviceProperties();
    ASSERT_EQ(fake_->opened.size(), 1u);
    EXPECT_EQ(fake_->opened[0].size(), 2u);
}

TEST_F(MainFrameTest, AFilterThatExcludesEveryArraySaysSoAndCountsNone) {
    Open();
    oru::CViewSettings& settings = frame_->Settings();
    ASSERT_TRUE(settings.CreateView("None"));
    std::vector<oru::ColumnFilter> filters = settings.Filters();
    filters[6].enabled = true;  // Host Name
    filters[6].exclude = {"host*"};
    settings.ApplyOptions(settings.Columns(), settings.SortOrder(), filters, 0);
    settings.ApplyHosts(true, {"hostA"});
    frame_->Tree()->InsertUserView("None", "None");
    SelectView("None");
    EXPECT_EQ(frame_->List()->topLevelItemCount(), 0);
    EXPECT_EQ(frame_->FilterPane()->text(), "FILTER ON");
    EXPECT_EQ(frame_->CountPane()->text(), "Count:   0");

    filters[6].exclude = {"*B"};
    settings.ApplyOptions(settings.Columns(), settings.SortOrder(), filters, 0);
    settings.ApplyHosts(false, {});
    frame_->RebuildList(true);
    EXPECT_EQ(Column(1), (std::vector<std::string>{"S1", "S2", "S3"}));
    EXPECT_EQ(frame_->FilterPane()->text(), "FILTER ON");
}

TEST_F(MainFrameTest, AChangedStatusMovesItsRowAndKeepsItSelected) {
    Open();
    frame_->OnColumnClicked(2);  // status first
    SelectRowOf("S3");
    fake_->SetStatus("S3", "Critical Error: No Map", 7);
    frame_->OnStatusChanged();
    EXPECT_EQ(Column(1), (std::vector<std::string>{"S2", "S1", "S3"}));
    EXPECT_EQ(Column(2).back(), "Critical Error: No Map");
    QTreeWidgetItem* last = frame_->List()->topLevelItem(2);
    EXPECT_TRUE(last->isSelected());
    EXPECT_EQ(frame_->List()->currentItem(), last);
    EXPECT_EQ(frame_->SelectedIndices().size(), 1u);
    EXPECT_EQ(frame_->CountPane()->text(), "Count:   3");
}

TEST_F(MainFrameTest, ProtectedViewsRefuseOptionsDeletionAndHosts) {
    Open();
    guitest::RecordMessages(&messages_);
    frame_->OnViewOptions();
    frame_->OnDeleteView();
    frame_->OnSelectHosts();
    frame_->List()->clearSelection();
    frame_->OnDeviceProperties();
    frame_->OnExpandDevices();
    ASSERT_EQ(messages_.size(), 5u);
    EXPECT_TRUE(messages_[0].startsWith("Cannot modify the options for a protected view"));
    EXPECT_EQ(messages_[1], "Cannot delete a protected view setting");
    EXPECT_EQ(messages_[2], "Hosts cannot be selected for the local host view");
    EXPECT_EQ(messages_[3], "A device must be selected from the list");
    EXPECT_EQ(messages_[4], "A device must be selected from the list");
    EXPECT_TRUE(fake_->opened.empty());
}

TEST_F(MainFrameTest, DeletingAViewMovesToTheLocalHostView) {
    Open();
    UserView("Doomed", {"Host Name", "Array Serial #"}, {"hostB"});
    EXPECT_EQ(Column(1), (std::vector<std::string>{"S4"}));
    AnswerNextModal(guitest::Accept);
    const int before = frame_->Rebuilds();
    frame_->OnDeleteView();
    ASSERT_TRUE(guitest::Eventually([&] { return frame_->Rebuilds() > before; }));
    EXPECT_EQ(frame_->Settings().CurrentView(), oru::keys::kLocalHostView);
    EXPECT_EQ(oru::CSelectView::ViewOf(frame_->Tree()->currentItem()), oru::keys::kLocalHostView);
    EXPECT_EQ(frame_->Tree()->ItemOfView("Doomed"), nullptr);
    EXPECT_EQ(frame_->Tree()->topLevelItemCount(), 3);
    EXPECT_FALSE(profile_.Read(oru::keys::kAllViews, "Doomed").has_value());
    EXPECT_EQ(Column(1), (std::vector<std::string>{"S1", "S2", "S3"}));
}

TEST_F(MainFrameTest, ANewViewIsNamedSetUpAndShownAndItsNameMustBeFree) {
    Open();
    UserView("Disks", {"Host Name", "Array Serial #"}, {"hostA"});
    guitest::RecordMessages(&messages_);
    AnswerNextModal([](QWidget* dialog) {
        auto* create = static_cast<oru::CCreateViewDlg*>(dialog);
        create->Edit()->setText("DISKS");
        create->accept();
    });
    frame_->OnCreateView();
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0], "That name already exists.");
    guitest::StopRecordingMessages();

    // Chosen from the tree's first item: name, options, hosts.
    AnswerNextModal([](QWidget* dialog) {
        auto* create = static_cast<oru::CCreateViewDlg*>(dialog);
        create->Edit()->setText("  Tapes  ");
        create->accept();
    });
    AnswerNextModal([](QWidget* dialog) { static_cast<QDialog*>(dialog)->accept(); });
    AnswerNextModal([](QWidget* dialog) {
        auto* hosts = static_cast<oru::CSelectHostsDlg*>(dialog);
        hosts->Specified()->setChecked(true);
        for (int i = 0; i < hosts->Known()->count(); ++i) {
            hosts->Known()->item(i)->setSelected(hosts->Known()->item(i)->text() == "hostB");
        }
        hosts->Add();
        hosts->accept();
    });
    const int before = frame_->Rebuilds();
    frame_->Tree()->setCurrentItem(frame_->Tree()->topLevelItem(0));
    ASSERT_TRUE(guitest::Eventually([&] { return frame_->Rebuilds() > before; }));
    EXPECT_EQ(frame_->Settings().CurrentView(), "Tapes");
    EXPECT_EQ(frame_->Settings().Hosts(), (std::vector<std::string>{"hostB"}));
    EXPECT_EQ(oru::CSelectView::ViewOf(frame_->Tree()->currentItem()), "Tapes");
    EXPECT_EQ(Column(1), (std::vector<std::string>{"S4"}));
    // User views in alphabetical order after the protected ones.
    EXPECT_EQ(frame_->Tree()->topLevelItem(3)->text(0), "Disks");
    EXPECT_EQ(frame_->Tree()->topLevelItem(4)->text(0), "Tapes");
}

TEST_F(MainFrameTest, CancellingTheNewViewReturnsToThePreviousView) {
    Open();
    AnswerNextModal([](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); });
    frame_->Tree()->setCurrentItem(frame_->Tree()->topLevelItem(0));
    ASSERT_TRUE(guitest::Eventually(
        [&] { return frame_->Tree()->currentItem() == frame_->Tree()->topLevelItem(1); }));
    QApplication::processEvents();
    EXPECT_EQ(frame_->Tree()->topLevelItemCount(), 3);
    EXPECT_EQ(frame_->Settings().CurrentView(), oru::keys::kLocalHostView);
}

TEST_F(MainFrameTest, AViewWithoutHostsAsksForThem) {
    fake_->hosts.clear();  // no known hosts
    fake_->all.clear();
    guitest::RecordMessages(&messages_);
    bool hostsAsked = false;
    AnswerNextModal([&hostsAsked](QWidget* dialog) {
        hostsAsked = qobject_cast<oru::CSelectHostsDlg*>(dialog) != nullptr;
        static_cast<QDialog*>(dialog)->reject();
    });
    Open();
    SelectView(oru::keys::kAllHostsView);
    ASSERT_TRUE(guitest::Eventually([&] { return hostsAsked; }));
    ASSERT_FALSE(messages_.empty());
    EXPECT_TRUE(messages_[0].startsWith("This view has no hosts to search."));
}

TEST_F(MainFrameTest, TheCommandLineDeviceIsSelectedAndOpenedOnceAfterTheFirstRebuild) {
    Open("hostB", "S4");
    EXPECT_EQ(frame_->Settings().CurrentView(), oru::CViewSettings::TempViewName());
    EXPECT_EQ(frame_->Tree()->currentItem()->text(0), "<Temp View>");
    ASSERT_EQ(frame_->SelectedIndices().size(), 1u);
    {
        // Not while a wait runs.
        oru::BusyScope busy(frame_->BusyFlag());
        EXPECT_FALSE(frame_->OnIdle(true));
    }
    EXPECT_TRUE(frame_->OnIdle(true));
    ASSERT_TRUE(guitest::Eventually([this] { return !fake_->opened.empty(); }));
    EXPECT_EQ(fake_->opened[0].size(), 1u);
    EXPECT_FALSE(frame_->OnIdle(false));
    EXPECT_EQ(fake_->opened.size(), 1u);
}

// The command line's identifier is an alias or a serial number; one that
// names two arrays of the host (one by each, or two by alias) opens none and
// says so.
TEST_F(MainFrameTest, TheCommandLineIdentifierOpensOnlyAnArrayItCannotMistake) {
    using oru::ArraysNamedBy;
    const std::vector<oru::NamedArray> arrays = {{"QX0000000001", "CABINET1"},
                                                 {"QX0000000002", "QX0000000001"},
                                                 {"QX0000000003", "CAB"},
                                                 {"QX0000000004", "CAB"},
                                                 {"QX0000000005", "QX0000000005"}};
    EXPECT_EQ(ArraysNamedBy("CABINET1", arrays), (std::vector<std::size_t>{0}));
    EXPECT_EQ(ArraysNamedBy("QX0000000002", arrays), (std::vector<std::size_t>{1}));
    EXPECT_EQ(ArraysNamedBy("QX0000000001", arrays), (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(ArraysNamedBy("CAB", arrays), (std::vector<std::size_t>{2, 3}));
    // An array without an alias shows its serial number as one: still one.
    EXPECT_EQ(ArraysNamedBy("QX0000000005", arrays), (std::vector<std::size_t>{4}));
    EXPECT_EQ(ArraysNamedBy("CAB  ", arrays), (std::vector<std::size_t>{2, 3}));
    EXPECT_TRUE(ArraysNamedBy("cabinet1", arrays).empty());
    EXPECT_TRUE(ArraysNamedBy("", arrays).empty());

    // S4's alias is S2's serial number: "S2" names both.
    fake_->all[3].texts[oru::keys::kColumnNames[1]] = "S2";
    fake_->all[3].host = "hostA";
    guitest::RecordMessages(&messages_);
    Open("hostA", "S2");
    EXPECT_TRUE(frame_->SelectedIndices().empty());
    EXPECT_TRUE(frame_->OnIdle(true));
    ASSERT_TRUE(guitest::Eventually([this] { return !messages_.empty(); }));
    EXPECT_EQ(messages_[0].toStdString(),
              "More than one array on hostA is named S2 (by its alias or serial number); none was "
              "opened.");
    EXPECT_TRUE(fake_->opened.empty());
    frame_.reset();
    messages_.clear();
}

TEST_F(MainFrameTest, TheCommandLineMayNameTheArrayByItsAlias) {
    Open("hostB", "CAB4");
    ASSERT_EQ(frame_->SelectedIndices().size(), 1u);
    EXPECT_TRUE(frame_->OnIdle(true));
    ASSERT_TRUE(guitest::Eventually([this] { return !fake_->opened.empty(); }));
    EXPECT_EQ(fake_->opened[0].size(), 1u);
}

TEST_F(MainFrameTest, TheIdlePassAndPostedWorkWaitWhileAWaitRuns) {
    Open();
    QTimer idle;
    idle.setInterval(5);
    QObject::connect(&idle, &QTimer::timeout, [this] { frame_->OnIdle(false); });
    idle.start();
    ASSERT_TRUE(guitest::Eventually([this] { return fake_->polls > 2; }));
    // A header click comes while the wait runs: its rebuild is held.
    QTimer::singleShot(20, [this] { emit frame_->List()->columnClicked(2); });
    const int pollsBefore = fake_->polls;
    const int rebuildsBefore = frame_->Rebuilds();
    bool commandsOff = true;
    const std::uint64_t start = platform::MonotonicMs();
    frame_->WaitUntil(
        [&] {
            commandsOff =
                commandsOff && !frame_->Command(CMainFrame::kDeviceProperties)->isEnabled();
            return platform::MonotonicMs() - start > 200;
        },
        oru::kWorkerBudgetMs);
    EXPECT_TRUE(commandsOff);
    EXPECT_EQ(fake_->polls, pollsBefore);
    EXPECT_EQ(frame_->Rebuilds(), rebuildsBefore);
    EXPECT_TRUE(frame_->Command(CMainFrame::kDeviceProperties)->isEnabled());
    // Afterwards both run.
    ASSERT_TRUE(guitest::Eventually([&] { return frame_->Rebuilds() > rebuildsBefore; }));
    ASSERT_TRUE(guitest::Eventually([&] { return fake_->polls > pollsBefore; }));
    EXPECT_EQ(frame_->Settings().SortOrder().front(), "Array Status");
}

TEST_F(MainFrameTest, TheSmallDialogsKeepTheirRules) {
    Open();
    guitest::RecordMessages(&messages_);
    // Select Device: one array is chosen already.
    SelectRowOf("S2");
    AnswerNextModal([](QWidget* dialog) {
        auto* select = static_cast<oru::CSelectDeviceDlg*>(dialog);
        EXPECT_EQ(select->List()->count(), 1);
        EXPECT_TRUE(select->List()->item(0)->isSelected());
        select->accept();
    });
    frame_->OnExpandDevices();
    ASSERT_EQ(fake_->opened.size(), 1u);
    // With nothing chosen, OK is refused.
    AnswerNextModal([](QWidget* dialog) {
        auto* select = static_cast<oru::CSelectDeviceDlg*>(dialog);
        select->List()->clearSelection();
        select->accept();
        static_cast<QDialog*>(dialog)->reject();
    });
    frame_->OnExpandDevices();
    EXPECT_EQ(fake_->opened.size(), 1u);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0], "A device must be selected from the list");

    // Discover Hosts: a specified host needs a name.
    oru::CDiscoverHostsDlg discover(frame_.get());
    EXPECT_TRUE(discover.ClearBox()->isEnabled());
    EXPECT_FALSE(discover.HostEdit()->isEnabled());
    discover.SpecifiedButton()->setChecked(true);
    EXPECT_FALSE(discover.ClearBox()->isEnabled());
    EXPECT_TRUE(discover.HostEdit()->isEnabled());
    discover.HostEdit()->setText("   ");
    discover.accept();
    EXPECT_EQ(discover.result(), QDialog::Rejected);
    ASSERT_EQ(messages_.size(), 2u);
    EXPECT_EQ(messages_[1], "A host name must be entered");
    discover.HostEdit()->setText("farhost");
    discover.accept();
    EXPECT_EQ(discover.result(), QDialog::Accepted);
    EXPECT_EQ(discover.Host(), "farhost");
}

TEST_F(MainFrameTest, TheWindowPlacementIsKeptPerUserAndDamageReadsAsTheDefault) {
    Open();
    frame_->resize(700, 500);
    frame_->move(40, 60);
    frame_->close();
    platform::RegistryKey key;
    ASSERT_TRUE(
        platform::RegistryKey::Open(platform::Hive::CURRENT_USER, oru::keys::kRegistryKey, &key)
            .ok());
    std::uint32_t width = 0;
    ASSERT_TRUE(key.ReadDword("cx", &width).ok());
    EXPECT_EQ(width, 700u);
    frame_.reset();

    fake_ = new FakeProvider();
    Open();
    EXPECT_EQ(frame_->width(), 700);
    EXPECT_EQ(frame_->height(), 500);
    frame_.reset();

    ASSERT_TRUE(key.WriteString("cx", "wide").ok());
    ASSERT_TRUE(key.WriteDword("cy", 0).ok());
    fake_ = new FakeProvider();
    Open();
    EXPECT_EQ(frame_->width(), 600);
    EXPECT_EQ(frame_->height(), 400);
}

}  // namespace
