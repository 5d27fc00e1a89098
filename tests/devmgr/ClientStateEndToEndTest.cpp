// What a client sees of a change in the cabinets: libqen in this process
// asks OruServr (in the console) for the state through a session, while
// strovsim serves the default cabinets and the test changes them with the
// strovsim command line. Every state is fetched anew after the change, so
// each check reads what the service's next state build found.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "ArrayClientFixture.h"
#include "client/DiskArray.h"
#include "client/QEN.h"
#include "coresys/common/PollMsg.h"
#include "platform/Clock.h"
#include "support/SimProcess.h"

namespace {

using netsrvtest::kLimitMs;

constexpr const char* kFirst = "QX0000000001";
// Slot A2 of the first cabinet holds a member drive of its volume set.
constexpr int kSlotA2 = 2;
constexpr const char* kDriveA2 = "D1S02000000";

// A text field without the blanks that pad it to the controller's width.
std::string Trimmed(std::string_view text) {
    std::size_t end = text.find_last_not_of(' ');
    return std::string(text.substr(0, end == std::string_view::npos ? 0 : end + 1));
}

class ClientStateEndToEnd : public netsrvtest::ArrayClientTest {
  protected:
    void SetUp() override {
        // No status poll or preventive check runs between two requests:
        // every state the test reads was built for its own request.
        StartAndConnect(kFirst, {"ORU_SMON_INTERVAL=0", "ORU_PLOG_INTERVAL=0"});
    }

    // The first line `strovsim show` prints for the first cabinet.
    std::string CabinetLine() {
        std::string all;
        sim_.Control({"show"}, &all);
        std::istringstream in(all);
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("cabinet 0 ", 0) == 0) {
                return line;
            }
        }
        return "";
    }

    bool MissingListed(const std::string& serial) {
        for (const Missing_Drive& m : State().missing) {
            if (m.Present() && Trimmed(m.SerialNumber()) == serial) {
                return true;
            }
        }
        return false;
    }
};

TEST_F(ClientStateEndToEnd, PulledDriveReadsEmptyInTheNextStateAndReturnsWhenInserted) {
    ASSERT_TRUE(FetchState());
    ASSERT_EQ(State().DriveCount(), 12u);
    const Physical_Drive* before = State().Drive(kSlotA2);
    ASSERT_NE(before, nullptr);
    EXPECT_EQ(before->driveState, 0u);  // a member of the volume set
    EXPECT_EQ(Trimmed(before->serialNumber), kDriveA2);
    EXPECT_FALSE(MissingListed(kDriveA2));

    ASSERT_EQ(sim_.Control({"pull", "0", "A2"}), 0);
    ASSERT_TRUE(FetchState());
    const Physical_Drive* pulled = State().Drive(kSlotA2);
    ASSERT_NE(pulled, nullptr);
    // The slot keeps its place and name but holds no drive; the subsystem
    // lists the drive among its missing ones.
    EXPECT_EQ(pulled->driveState, Physical_Drive::kNoDrive);
    EXPECT_EQ(pulled->driveValue1, static_cast<std::uint32_t>(kSlotA2));
    EXPECT_STREQ(pulled->driveText, "A2");
    EXPECT_STREQ(pulled->serialNumber, "");
    EXPECT_TRUE(MissingListed(kDriveA2));
    // The other members stay where they were.
    EXPECT_EQ(State().Drive(0)->driveState, 0u);
    EXPECT_EQ(State().Drive(3)->driveState, 0u);
    ASSERT_TRUE(State().subsystemState.has_value());
    const std::string cabinet = CabinetLine();
    EXPECT_NE(
        cabinet.find(" state " + std::to_string(State().subsystemState->SubsystemState()) + " "),
        std::string::npos)
        << cabinet;

    ASSERT_EQ(sim_.Control({"insert", "0", "A2", kDriveA2}), 0);
    ASSERT_TRUE(FetchState());
    const Physical_Drive* back = State().Drive(kSlotA2);
    ASSERT_NE(back, nullptr);
    // Back in its slot as a drive the volume set has not taken in again.
    EXPECT_NE(back->driveState, Physical_Drive::kNoDrive);
    EXPECT_EQ(back->driveState, 2u);
    EXPECT_EQ(Trimmed(back->serialNumber), kDriveA2);
    EXPECT_FALSE(MissingListed(kDriveA2));
}

TEST_F(ClientStateEndToEnd, RemovingControllerXMovesTheActiveRoleToY) {
    ASSERT_TRUE(FetchState());
    ASSERT_EQ(State().ControllerCount(), 2u);
    EXPECT_EQ(State().Controller(0)->active, 1u);
    EXPECT_EQ(State().Controller(1)->active, 0u);

    ASSERT_EQ(sim_.Control({"remove-controller", "0", "X"}), 0);
    ASSERT_TRUE(FetchState());
    ASSERT_EQ(State().ControllerCount(), 2u);
    EXPECT_EQ(State().Controller(0)->active, 0u);
    EXPECT_EQ(State().Controller(1)->active, 1u);
    EXPECT_NE(State().Controller(1)->controllerStatus, ControllerInfo::kStatusDoesNotExist);
    EXPECT_STREQ(State().serialNumber, kFirst);
    EXPECT_NE(CabinetLine().find(" active Y "), std::string::npos) << CabinetLine();

    // Y keeps the role on the requests that follow.
    ASSERT_TRUE(FetchState());
    EXPECT_EQ(State().Controller(0)->active, 0u);
    EXPECT_EQ(State().Controller(1)->active, 1u);
}

}  // namespace
