// Fault injection, command trace and path/controller failures of the
// simulator, seen through the platform's in-process device backend.
#include <gtest/gtest.h>

#include <cerrno>

#include "SimTestUtil.h"
#include "platform/scsi/ScsiDevice.h"
#include "sim/InProcessDevice.h"

using namespace simtest;

namespace {

class SimFaults : public ::testing::Test {
  protected:
    void SetUp() override { sim::InProcessDevice::RegisterAll(sim); }
    void TearDown() override { platform::ClearInProcessDevices(); }

    std::unique_ptr<platform::ScsiDevice> Open(const std::string& name, int* error = nullptr) {
        return platform::OpenScsiDevice(name, error);
    }

    static platform::ScsiOutcome Serial(platform::ScsiDevice& dev, Bytes& data) {
        data.assign(48, 0xEE);
        return PassThrough(dev, {0x12, 0x01, 0x80, 0x00, 0x30, 0x00}, platform::ScsiDirection::In,
                           data);
    }

    void Control(const std::string& line) {
        std::string answer;
        ASSERT_TRUE(sim->Control(line, &answer)) << line << ": " << answer;
    }

    std::shared_ptr<sim::Simulator> sim = MakeSim();
};

TEST_F(SimFaults, DevicesOpenByWindowsNameWithAddress) {
    auto dev = Open("\\\\.\\STROVANE1");
    ASSERT_TRUE(dev);
    platform::ScsiAddress a;
    ASSERT_EQ(dev->GetAddress(a), 0);
    EXPECT_EQ(a.length, 8u);
    EXPECT_EQ(a.portNumber, 1);
    EXPECT_EQ(a.targetId, 1);
    Bytes data;
    auto o = Serial(*dev, data);
    EXPECT_EQ(o.systemError, 0);
    EXPECT_EQ(o.bytesMoved, 48u);
    EXPECT_EQ(Bytes(data.begin() + 4, data.begin() + 20), Text("CTRLY00000000001"));
}

TEST_F(SimFaults, ScriptedBusyCheckShortAndSystemError) {
    auto dev = Open("STROVANE0");
    ASSERT_TRUE(dev);
    Control("fault STROVANE0 12 2 busy");
    Control("fault STROVANE0 12 1 check 4 44 0");
    Control("fault STROVANE0 12 1 short 10");
    Control("fault STROVANE0 12 1 syserr 5");
    Bytes data;
    EXPECT_EQ(Serial(*dev, data).scsiStatus, 0x08);
    EXPECT_EQ(Serial(*dev, data).scsiStatus, 0x08);
    auto check = Serial(*dev, data);
    EXPECT_EQ(check.scsiStatus, 0x02);
    EXPECT_EQ(check.senseLength, 26);
    EXPECT_EQ(check.sense[2], 4);
    EXPECT_EQ(check.sense[12], 0x44);
    auto shortened = Serial(*dev, data);
    EXPECT_EQ(shortened.scsiStatus, 0);
    EXPECT_EQ(shortened.bytesMoved, 10u);
    EXPECT_EQ(Serial(*dev, data).systemError, 5);
    auto good = Serial(*dev, data);
    EXPECT_EQ(good.systemError, 0);
    EXPECT_EQ(good.scsiStatus, 0);
    EXPECT_EQ(good.bytesMoved, 48u);
    // A delayed answer is the ordinary answer.
    Control("fault STROVANE0 12 1 delay 1");
    EXPECT_EQ(Serial(*dev, data).bytesMoved, 48u);
    // A fault for another opcode or path leaves this one alone.
    Control("fault STROVANE1 12 1 busy");
    Control("fault STROVANE0 20 1 busy");
    EXPECT_EQ(Serial(*dev, data).scsiStatus, 0);
}

TEST_F(SimFaults, TraceRecordsOpcodeCdbAndStatus) {
    auto dev = Open("STROVANE0");
    Control("fault STROVANE0 * 1 busy");
    Bytes data;
    Serial(*dev, data);
    Serial(*dev, data);
    std::string answer;
    ASSERT_TRUE(sim->Control("trace STROVANE0", &answer));
    EXPECT_EQ(answer,
              "op=12 cdb=120180003000 status=08\n"
              "op=12 cdb=120180003000 status=00\n");
    EXPECT_EQ(sim->Trace("STROVANE1"), "");
}

TEST_F(SimFaults, FailedControllerRemovedPathAndSilentPage) {
    auto x = Open("STROVANE0");
    auto y = Open("STROVANE1");
    Bytes data;
    Control("silence 0 X 80");
    auto silent = Serial(*x, data);
    EXPECT_EQ(silent.scsiStatus, 0x02);
    EXPECT_EQ(silent.sense[2], 4);
    Control("unsilence 0 X");
    EXPECT_EQ(Serial(*x, data).scsiStatus, 0);

    Control("fail-controller 0 X");
    EXPECT_EQ(Serial(*x, data).systemError, EIO);
    Serial(*y, data);
    EXPECT_EQ(data[2], 1);  // the partner took the active role
    Control("restore-controller 0 X");
    EXPECT_EQ(Serial(*x, data).systemError, 0);

    Control("remove-path STROVANE1");
    EXPECT_EQ(Serial(*y, data).systemError, ENODEV);
    int error = 0;
    EXPECT_FALSE(Open("STROVANE1", &error));
    EXPECT_NE(error, 0);
    Control("add-path STROVANE1");
    EXPECT_TRUE(Open("STROVANE1"));
}

TEST_F(SimFaults, BadControlRequestsAreRefused) {
    const char* bad[] = {"",
                         "explode",
                         "pull 0",
                         "pull 7 A1",
                         "pull 0 C9",
                         "pull 0 A6",    // empty slot
                         "insert 0 A1",  // occupied
                         "fault NOPATH 12 1 busy",
                         "fault * 12 0 busy",
                         "fault * 1234 1 busy",
                         "fault * 12 1 check 99 0 0",
                         "fault * 12 1 syserr 0",
                         "fault * 12 1 explode",
                         "refuse 0 Z 1 1",
                         "refuse 0 X 1 70000",
                         "silence 0 X zz",
                         "timescale -1",
                         "advance x",
                         "trace NOPATH"};
    for (const char* line : bad) {
        std::string answer;
        EXPECT_FALSE(sim->Control(line, &answer)) << line;
        EXPECT_FALSE(answer.empty()) << line;
    }
    std::string answer;
    EXPECT_TRUE(sim->Control("help", &answer));
}

TEST(SimInProcess, DefaultScenarioServedInProcess) {
    auto sim = sim::InProcessDevice::ServeWorld();
    // Dense numbering: every name up to the last opens, the next does not.
    for (int n = 0; n < 4; ++n) {
        EXPECT_TRUE(platform::OpenScsiDevice("STROVANE" + std::to_string(n))) << n;
    }
    for (int n = 0; n < 5; ++n) {
        EXPECT_TRUE(platform::OpenScsiDevice("PHYSICALDRIVE" + std::to_string(n))) << n;
    }
    EXPECT_FALSE(platform::OpenScsiDevice("STROVANE4"));
    EXPECT_FALSE(platform::OpenScsiDevice("PHYSICALDRIVE5"));
    platform::ClearInProcessDevices();
}

}  // namespace
