#include "GuiEndToEndFixture.h"

#include <QDir>
#include <QPixmap>
#include <QTreeWidget>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <string>

#include "GuiTestSupport.h"
#include "gui/CDeviceListView.h"
#include "gui/CSelectView.h"
#include "gui/ClientWorkers.h"
#include "gui/ProfileKeys.h"
#include "platform/Clock.h"
#include "support/ChildProcess.h"

namespace guitest {

void GuiEndToEnd::SetUp() {
    BeforeService();
    StartAndConnect(kFirst, {"ORU_SMON_INTERVAL=0", "ORU_PLOG_INTERVAL=0"});
    ASSERT_TRUE(FetchState());
    // Rounds of 300 ms, reply budgets of 3 s.
    platform::SetTimeScale(100);
    // A message box would wait for a user: record it and go on.
    RecordMessages(&messages_);
}

void GuiEndToEnd::TearDown() {
    for (const QString& message : messages_) {
        ADD_FAILURE() << "message: " << message.toStdString();
    }
    StopRecordingMessages();
    ForgetModalAnswers();
    app_.reset();
    Eventually([] { return oru::RunningWorkers() == 0; }, kLimitMs);
    platform::SetTimeScale(0);
    ArrayClientTest::TearDown();
}

void GuiEndToEnd::Open(const QStringList& arguments, const std::function<void()>& beforeStart) {
    app_ = std::make_unique<oru::COruApp>(arguments, ORU_BIN_DIR "/oru");
    if (beforeStart) {
        beforeStart();
    }
    app_->Start();
    ASSERT_TRUE(Eventually([this] { return Frame().FirstRebuildDone(); }, kLimitMs));
}

bool GuiEndToEnd::StopService() {
    return server_.Process().Signal(SIGSTOP) &&
           testsupport::AwaitEveryThreadStopped(server_.Process().Pid(), kLimitMs);
}

oru::CArrayProvider& GuiEndToEnd::Arrays() {
    return dynamic_cast<oru::CArrayProvider&>(Frame().Model().Provider(0));
}

QTreeWidgetItem* GuiEndToEnd::RowOf(const std::string& serial) {
    const int serialColumn = ColumnOf(oru::keys::kColumnNames[0]);
    for (int i = 0; i < Frame().List()->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = Frame().List()->topLevelItem(i);
        if (item->text(serialColumn).toStdString() == serial) {
            return item;
        }
    }
    return nullptr;
}

int GuiEndToEnd::ColumnOf(const std::string& column) {
    const std::vector<std::string>& columns = Frame().Settings().Columns();
    return static_cast<int>(std::find(columns.begin(), columns.end(), column) - columns.begin());
}

std::string GuiEndToEnd::StatusOf(const std::string& serial) {
    QTreeWidgetItem* row = RowOf(serial);
    return row != nullptr ? row->text(ColumnOf(oru::keys::kColumnNames[3])).toStdString()
                          : std::string();
}

void GuiEndToEnd::ShowView(const std::string& name, const std::vector<std::string>& columns,
                           const std::vector<oru::ColumnFilter>& filters) {
    oru::CViewSettings& settings = Frame().Settings();
    ASSERT_TRUE(settings.CreateView(name));
    settings.ApplyOptions(columns, columns, filters.empty() ? settings.Filters() : filters,
                          oru::CViewSettings::kAscending);
    settings.ApplyHosts(true, {netsrvtest::AnnouncedHostName()});
    const int before = Frame().Rebuilds();
    Frame().Tree()->setCurrentItem(
        Frame().Tree()->InsertUserView(name, QString::fromStdString(name)));
    ASSERT_TRUE(Eventually([&] { return Frame().Rebuilds() > before; }, kLimitMs));
}

void GuiEndToEnd::GrabTo(QWidget* widget, const char* file) {
    const char* dir = std::getenv("ORU_GRAB_DIR");
    const QString target = dir != nullptr ? QString(dir) : QString(ORU_GRAB_DEFAULT_DIR);
    QDir().mkpath(target);
    QApplication::processEvents();
    EXPECT_TRUE(widget->grab().save(target + "/" + file)) << file;
}

}  // namespace guitest
