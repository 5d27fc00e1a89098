// The request queue and the response list: ordering rules and misuse.
#include <gtest/gtest.h>

#include <vector>

#include "coresys/server/task/RequestQueue.h"
#include "coresys/server/task/ResponseList.h"

namespace {

TaskRequest Req(int code, std::uint64_t due = 0) {
    TaskRequest r;
    r.code = code;
    r.dueTime = due;
    return r;
}

std::vector<int> Drain(RequestQueue& q) {
    std::vector<int> codes;
    while (auto r = q.Take()) {
        codes.push_back(r->code);
    }
    return codes;
}

TEST(RequestQueue, AddKeepsArrivalOrderAndFrontGoesFirst) {
    RequestQueue q;
    q.Add(Req(1), false);
    q.Add(Req(2), false);
    q.Add(Req(3), true);
    q.Add(Req(4), false);
    EXPECT_EQ(q.Count(), 4u);
    EXPECT_EQ(Drain(q), (std::vector<int>{3, 1, 2, 4}));
    EXPECT_TRUE(q.Empty());
    EXPECT_EQ(q.Take(), nullptr);
}

TEST(RequestQueue, AddCopiesTheCallersRecordAndClearsTheLink) {
    RequestQueue q;
    TaskRequest outside = Req(7);
    TaskRequest dummy;
    outside.next = &dummy;
    q.Add(outside, false);
    outside.code = 8;
    auto taken = q.Take();
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(taken->code, 7);
    EXPECT_EQ(taken->next, nullptr);
}

TEST(RequestQueue, InsertOrdersByDueTimeAscending) {
    RequestQueue q;
    q.Insert(std::make_unique<TaskRequest>(Req(1, 500)));
    q.Insert(std::make_unique<TaskRequest>(Req(2, 100)));  // before the head
    q.Insert(std::make_unique<TaskRequest>(Req(3, 900)));  // after the tail
    q.Insert(std::make_unique<TaskRequest>(Req(4, 300)));  // in the middle
    EXPECT_EQ(q.HeadDue(), 100u);
    EXPECT_EQ(Drain(q), (std::vector<int>{2, 4, 1, 3}));
    EXPECT_EQ(q.HeadDue(), 0u);
}

TEST(RequestQueue, EqualDueTimesKeepTheirArrivalOrderEverywhere) {
    RequestQueue q;
    q.Insert(std::make_unique<TaskRequest>(Req(1, 100)));
    q.Insert(std::make_unique<TaskRequest>(Req(2, 900)));
    q.Insert(std::make_unique<TaskRequest>(Req(3, 500)));  // in the middle
    q.Insert(std::make_unique<TaskRequest>(Req(4, 500)));  // equal, in the middle
    q.Insert(std::make_unique<TaskRequest>(Req(5, 500)));  // equal again
    q.Insert(std::make_unique<TaskRequest>(Req(6, 100)));  // equal to the head
    q.Insert(std::make_unique<TaskRequest>(Req(7, 900)));  // equal to the tail
    q.Insert(std::make_unique<TaskRequest>(Req(8, 300)));  // between two runs
    EXPECT_EQ(Drain(q), (std::vector<int>{1, 6, 8, 3, 4, 5, 2, 7}));
}

TEST(RequestQueue, TakeOfTheLastRecordLeavesAUsableQueue) {
    RequestQueue q;
    q.Add(Req(1), false);
    EXPECT_EQ(q.Take()->code, 1);
    q.Add(Req(2), false);
    q.Add(Req(3), false);
    EXPECT_EQ(Drain(q), (std::vector<int>{2, 3}));
}

TaskResponse Resp(std::int32_t id, int result = 0) {
    TaskResponse r;
    r.responseId = id;
    r.result = result;
    return r;
}

TEST(ResponseList, KeepsAscendingIdsAndGetTakesByIdentity) {
    ResponseList list;
    list.Add(Resp(5, 50));
    list.Add(Resp(2, 20));
    list.Add(Resp(9, 90));
    list.Add(Resp(7, 70));
    EXPECT_TRUE(list.Find(7));
    EXPECT_FALSE(list.Find(6));
    TaskResponse seven = list.Get(7);
    EXPECT_EQ(seven.result, 70);
    EXPECT_EQ(seven.next, nullptr);
    EXPECT_FALSE(list.Find(7));
    EXPECT_EQ(list.Next().responseId, 2);
    EXPECT_EQ(list.Next().responseId, 5);
    EXPECT_EQ(list.Get(9).result, 90);  // the tail
    EXPECT_TRUE(list.Empty());
    list.Add(Resp(3));  // the list is whole again after taking its tail
    EXPECT_EQ(list.Next().responseId, 3);
}

TEST(ResponseList, ClearFreesEverything) {
    ResponseList list;
    list.Add(Resp(1));
    list.Add(Resp(2));
    list.Clear();
    EXPECT_TRUE(list.Empty());
    EXPECT_EQ(list.Count(), 0u);
}

using QueueDeathTest = ::testing::Test;

TEST_F(QueueDeathTest, MissingResponseIsFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ResponseList list;
            list.Add(Resp(1));
            list.Get(4);
        },
        ::testing::ExitedWithCode(3), "ResponseList::Get Requested response not available");
}

TEST_F(QueueDeathTest, NextOnEmptyListIsFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ResponseList list;
            list.Next();
        },
        ::testing::ExitedWithCode(3), "ResponseList::Next List is empty");
}

TEST_F(QueueDeathTest, DestroyingANonEmptyQueueIsFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            RequestQueue q;
            q.Add(Req(1), false);
        },
        ::testing::ExitedWithCode(3), "RequestQueue::~RequestQueue Queue is not empty");
}

}  // namespace
