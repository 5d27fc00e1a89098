// Who frees what: a poll frees the previous poll's result, DisConnect frees
// the array (and its session says goodbye), a QEN frees the arrays it
// connected and no others. Run under AddressSanitizer these tests see the
// frees themselves; a leak or a second free fails the run.
#include <string>

#include "ArrayFixture.h"
#include "ReplyBytes.h"

namespace arraytest {
namespace {

using clienttest::ReadBytes;
using clienttest::SeesClose;
using clienttest::SendAll;

class DiskArrayOwnershipTest : public ArrayFixture {};

TEST_F(DiskArrayOwnershipTest, EachPollFreesTheResultOfThePreviousOne) {
    int fd = -1;
    DiskArray* array = Connect(&fd);
    ASSERT_NE(array, nullptr);
    const CommandHandle get = array->GetState();
    ASSERT_TRUE(SendAll(fd, Frame(Reply(1, get.sequence, kSessionId, 3)) +
                                Frame(Reply(10, get.sequence, kSessionId, 1,
                                            ErrorRecord("busy", 1, 2, 3, "extra")))));
    PollMsg* first = PollForResult(*array);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->status, 3u);  // still ours until the next poll
    PollMsg* second = PollForResult(*array);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(Freed(first));
    EXPECT_EQ(second->kind, 10u);
    // A poll that finds nothing frees the last result as well.
    EXPECT_EQ(array->PollQEN(), nullptr);
    EXPECT_TRUE(Freed(second));
    qen_->DisConnect(array);
}

TEST_F(DiskArrayOwnershipTest, DisConnectFreesTheArrayItsStateAndItsLastResult) {
    int fd = -1;
    DiskArray* array = Connect(&fd);
    ASSERT_NE(array, nullptr);
    ASSERT_TRUE(SendAll(fd, Frame(Reply(1, 1, kSessionId, 1))));
    PollMsg* result = PollForResult(*array);
    ASSERT_NE(result, nullptr);
    DiskArrayState* state = array->GetStatePtr();
    OruServerState* server = array->GetOruServerStatePtr();
    EXPECT_TRUE(DiskArray::IsLive(array));

    qen_->DisConnect(array);
    EXPECT_FALSE(DiskArray::IsLive(array));
    EXPECT_TRUE(Freed(array));
    EXPECT_TRUE(Freed(state));
    EXPECT_TRUE(Freed(server));
    EXPECT_TRUE(Freed(result));
    // The session said goodbye with a disconnect frame and closed.
    EXPECT_EQ(ReadBytes(fd, 4, 10000), Be(1));
    EXPECT_TRUE(SeesClose(fd, 10000));

    // Disconnecting it again, or nothing, does no harm.
    qen_->DisConnect(array);
    qen_->DisConnect(nullptr);
}

TEST_F(DiskArrayOwnershipTest, AQenFreesTheArraysItConnectedAndNoOthers) {
    QEN other(0);
    ASSERT_EQ(other.ScanforSubsystems("127.0.0.1", 0, 0), ASL_GOOD);
    int mineFd = -1;
    int theirsFd = -1;
    DiskArray* mine = Connect(&mineFd);
    DiskArray* theirs = Connect(&theirsFd, &other);
    ASSERT_NE(mine, nullptr);
    ASSERT_NE(theirs, nullptr);
    ASSERT_GE(theirsFd, 0);

    qen_.reset();
    EXPECT_FALSE(DiskArray::IsLive(mine));
    EXPECT_TRUE(Freed(mine));
    EXPECT_TRUE(DiskArray::IsLive(theirs));
    // The other QEN's array still works.
    EXPECT_EQ(theirs->GetState(), CommandHandle(1, kSessionId + 1));
    EXPECT_EQ(ArrayFixture::ReadFrame(theirsFd).size(), 8u + 36u);
    // ... until its own QEN goes (at the end of this scope).
}

TEST_F(DiskArrayOwnershipTest, CleanUpFreesEveryLiveArray) {
    auto other = std::make_unique<QEN>(0);
    ASSERT_EQ(other->ScanforSubsystems("127.0.0.1", 0, 0), ASL_GOOD);
    int fd1 = -1;
    int fd2 = -1;
    DiskArray* one = Connect(&fd1);
    DiskArray* two = Connect(&fd2, other.get());
    ASSERT_NE(one, nullptr);
    ASSERT_NE(two, nullptr);
    DiskArray::CleanUp();
    EXPECT_FALSE(DiskArray::IsLive(one));
    EXPECT_FALSE(DiskArray::IsLive(two));
    EXPECT_TRUE(Freed(one));
    EXPECT_TRUE(Freed(two));
    // The QENs find nothing left to free.
    other.reset();
    qen_.reset();
}

TEST_F(DiskArrayOwnershipTest, AFailedConnectGivesNoArrayAndKeepsTheReason) {
    EXPECT_EQ(qen_->LastStatus(), SESS_CONNECTION_UNINITIALIZED);
    EXPECT_TRUE(qen_->NoScan());
    EXPECT_EQ(qen_->Connect(nullptr), nullptr);
    EXPECT_EQ(qen_->LastStatus(), SESS_CONNECTION_FAILED);
    peer_->ForceAnswer(0xFFFFFFFFu);
    EXPECT_EQ(qen_->Connect(Entry()), nullptr);
    EXPECT_EQ(qen_->LastStatus(), SESS_AUTHENTIFICATION_FAILED);
    peer_->ForceAnswer(std::nullopt);
    int fd = -1;
    DiskArray* array = Connect(&fd);
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(qen_->LastStatus(), SESS_SUCCESS);
}

}  // namespace
}  // namespace arraytest
