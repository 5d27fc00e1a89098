// StartServer builds the tasks and managers on the calling thread and
// StopServer takes them down again, in a fresh machine.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "coresys/server/log/LogMgr.h"
#include "coresys/server/net/ConnectionMgr.h"
#include "coresys/server/task/OruTask.h"
#include "coresys/server/winnt/Service/ServerLifecycle.h"
#include "coresys/server/winnt/Service/ServerManager.h"
#include "platform/EventLog.h"
#include "support/FreshRoot.h"
#include "support/ThreadNames.h"

namespace {

TEST(ServerStartStop, StartBuildsEveryTaskAndStopEndsAllButTheServiceTask) {
    setenv("ORU_EVENTLOG_SYSLOG", "0", 1);
    testsupport::FreshRoot root;
    StartServer();

    EXPECT_NE(dynamic_cast<LogMgr*>(GetManager(LOG_MANAGER)), nullptr);
    EXPECT_NE(GetManager(DEVICE_MANAGER), nullptr);
    auto* connections = dynamic_cast<ConnectionMgr*>(GetManager(CONNECTION_MANAGER));
    ASSERT_NE(connections, nullptr);
    ASSERT_NE(connections->GetSessionMgr(), nullptr);
    // Set-up has run before Init returned.
    EXPECT_EQ(connections->GetSessionMgr()->DeviceManager(), GetManager(DEVICE_MANAGER));
    EXPECT_STREQ(OruTask::CurrentTask()->Name(), "Controller Task");

    std::map<std::string, int> running = testsupport::ThreadNames();
    for (const char* name : {"Service Task", "Log Task", "DEVMGR00", "SessionMgr"}) {
        EXPECT_EQ(running[name], 1) << name;
    }

    StopServer();
    for (int index : {LOG_MANAGER, DEVICE_MANAGER, CONNECTION_MANAGER}) {
        EXPECT_EQ(GetManager(index), nullptr) << index;
    }
    EXPECT_EQ(OruTask::FindCurrentTask(), nullptr);
    std::map<std::string, int> left = testsupport::ThreadNames();
    EXPECT_EQ(left["Service Task"], 1);
    for (const char* name : {"Log Task", "DEVMGR00", "SessionMgr"}) {
        EXPECT_EQ(left.count(name), 0u) << name;
    }

    std::vector<platform::EventRecord> records;
    ASSERT_TRUE(platform::ReadEventLog("Application", &records));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].strings.at(0), "OruServr Started\n");
    EXPECT_EQ(records[1].strings.at(0), "OruServr Exited\n");
}

}  // namespace
