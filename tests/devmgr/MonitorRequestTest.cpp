#include "MonitorRequestTest.h"

#include <cstdlib>

#include "coresys/server/dispatch/ManagementDispatch.h"
#include "coresys/server/task/ResourceHold.h"

namespace devmgrtest {

void MonitorRequestTest::SetUp() {
    setenv("ORU_SMON_INTERVAL", "0", 1);
    setenv("ORU_PLOG_INTERVAL", "0", 1);
    InstallManagementDispatch();
    cabinets_ = std::make_unique<InProcessCabinets>(InProcessCabinets::DefaultWorld());
    BeforeManager();
    if (HasFatalFailure()) {
        return;
    }
    manager_ = std::make_unique<DeviceMgr>();
    manager_->DiscoverDevices();
    manager_->Init();
    ResourceHold hold(manager_->SubsystemListLock());
    monitor_ = manager_->LocateOruLiteArray("QX0000000001");
    ASSERT_NE(monitor_, nullptr);
}

void MonitorRequestTest::TearDown() {
    manager_.reset();
    AfterManager();
    cabinets_.reset();
    unsetenv("ORU_SMON_INTERVAL");
    unsetenv("ORU_PLOG_INTERVAL");
}

MonitorRequestTest::Exchange MonitorRequestTest::Submit(const std::vector<unsigned char>& bytes) {
    RecordingClient client;
    EXPECT_EQ(monitor_->SubmitMessage(&client, bytes), 1);
    EXPECT_TRUE(client.WaitDone(1, kRequestLimitMs));
    Exchange exchange;
    exchange.replies = client.Replies();
    exchange.words = client.Words();
    return exchange;
}

}  // namespace devmgrtest
