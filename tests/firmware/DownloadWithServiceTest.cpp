// The downloads while OruServr polls the same array through its own
// connections: the controller download (shutdown, off-bus flash, restart)
// and a drive download end as they do alone, and the service goes on
// polling the array afterwards.
#include <csignal>

#include "DownloadMachine.h"
#include "platform/Clock.h"
#include "support/ServerProcess.h"

namespace fwtest {
namespace {

const std::string kArray = "00A0B8C0FFEE";

class DownloadWithService : public DownloadMachine {
  protected:
    void SetUp() override {
        DownloadMachine::SetUp();
        // A status poll of every subsystem every 50 ms.
        ASSERT_TRUE(
            server_.Start({"ORU_SMON_INTERVAL=1", "ORU_PLOG_INTERVAL=0", "ORU_TIME_SCALE=20"}));
        ASSERT_TRUE(server_.WaitUntilRunning(30000)) << server_.Process().Stderr();
    }
    void TearDown() override {
        if (server_.Process().Running()) {
            server_.Process().Signal(SIGTERM);
            server_.Process().WaitExit(20000);
        }
    }
    // Waits until the service has read the subsystem state on either path
    // of cabinet 0 since the traces were last cleared.
    bool ServicePolled(int timeoutMs) {
        const std::uint64_t deadline = platform::MonotonicMs() + timeoutMs;
        while (platform::MonotonicMs() < deadline) {
            for (const char* path : {"STROVANE0", "STROVANE1"}) {
                if (sim_.Trace(path).find("op=20 ") != std::string::npos)
                    return true;
            }
            platform::SleepMs(20);
        }
        return false;
    }

    testsupport::ServerProcess server_{root_, ORU_BIN_DIR};
};

TEST_F(DownloadWithService, DownloadsSucceedWhileTheServicePolls) {
    ASSERT_TRUE(ServicePolled(20000));
    const Ran controller = Download({"-c", Sample("controller-0302.fw"), kArray});
    ASSERT_EQ(controller.code, 0) << controller.out << controller.err;
    EXPECT_EQ(ControllerRevision(0, 'X'), "0302");
    EXPECT_EQ(ControllerRevision(0, 'Y'), "0302");

    const Ran drive = Download({"-d", "B3", Sample("drive-qd9100-0103.fw"), kArray});
    ASSERT_EQ(drive.code, 0) << drive.out << drive.err;
    EXPECT_EQ(DriveRevision(0, "B3"), "0103");
    EXPECT_EQ(ReportedState(0, 'X'), 0);

    // The service saw the array's state change under the new revision (when
    // its polls fell, the shutdown, the restart or the drive download's
    // shutdown), and polls it still.
    EXPECT_TRUE(testsupport::WaitForEventLogText("Product: QRVZX ARRAY     , revision 0302", 10000))
        << ::testing::PrintToString(testsupport::EventLogTexts());
    EXPECT_TRUE(server_.Process().Running()) << server_.Process().Stderr();
    ClearTrace("STROVANE0");
    ClearTrace("STROVANE1");
    EXPECT_TRUE(ServicePolled(20000));
}

}  // namespace
}  // namespace fwtest
