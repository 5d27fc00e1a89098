// The command wait against a peer that plays the service's side of a
// session: replies for other requests, stages of the request, a lost
// connection, silence.
#include "gui/CommandWait.h"

#include <gtest/gtest.h>

#include <QTimer>

#include <future>
#include <thread>

#include "ClientFixture.h"
#include "GuiTestSupport.h"
#include "WireBytes.h"
#include "client/DiskArray.h"
#include "client/QEN.h"
#include "coresys/common/PollMsg.h"
#include "platform/Clock.h"

namespace {

using clienttest::Be;
using clienttest::ReadBytes;
using clienttest::SendAll;
using oru::WaitForCommand;

constexpr const char* kSerial = "WAITSERIAL01";

// A reply of `kind` to the request (sequence, session) with `status`.
std::string Reply(std::uint32_t kind, std::uint32_t sequence, std::uint32_t session,
                  std::uint32_t status) {
    const std::string body = Be(24) + Be(4) + Be(kind) + Be(sequence) + Be(session) + Be(status);
    return Be(0) + Be(static_cast<std::uint32_t>(body.size())) + body;
}

std::uint32_t WordAt(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3]));
}

class CommandWaitTest : public clienttest::ClientFixture {
  protected:
    // Connects to the peer's one array; `script` then plays the session.
    // It gets the request's sequence and session words.
    void Connect(
        std::function<void(int fd, std::uint32_t sequence, std::uint32_t session)> script) {
        peer_->SetListAnswer(clienttest::ListAnswer({LocalRecord(kSerial)}));
        peer_->SetKnownSerials({kSerial});
        peer_->SetSessionScript([script](int fd) {
            // The frame of the request: type, length, then the message,
            // whose fourth and fifth words are the handle.
            const std::string head = ReadBytes(fd, 8, 10000);
            if (head.size() != 8) {
                return;
            }
            const std::string message = ReadBytes(fd, WordAt(head, 4), 10000);
            if (message.size() < 20) {
                return;
            }
            script(fd, WordAt(message, 12), WordAt(message, 16));
        });
        qen_ = std::make_unique<QEN>(0);
        ASSERT_EQ(qen_->ScanforSubsystems("127.0.0.1", 0, 0), ASL_GOOD);
        array_ = qen_->Connect((*qen_)[0]);
        ASSERT_NE(array_, nullptr) << qen_->LastStatus();
    }

    // Connects to a peer that answers nothing until the returned promise is
    // set (the test sets it before it ends).
    std::promise<void>& ConnectSilent() {
        silence_ = std::make_shared<std::promise<void>>();
        std::shared_future<void> released = silence_->get_future().share();
        Connect([released](int fd, std::uint32_t, std::uint32_t) {
            released.wait_for(std::chrono::seconds(20));
            clienttest::SeesClose(fd, 10000);
        });
        return *silence_;
    }

    void TearDown() override {
        qen_.reset();
        ClientFixture::TearDown();
    }

    guitest::TestHost host_;
    std::unique_ptr<QEN> qen_;
    DiskArray* array_ = nullptr;
    std::shared_ptr<std::promise<void>> silence_;
};

TEST_F(CommandWaitTest, RepliesToOtherRequestsAndEarlierStagesAreDropped) {
    Connect([](int fd, std::uint32_t sequence, std::uint32_t session) {
        SendAll(fd, Reply(1, sequence + 1, session, 1) +  // another request's
                        Reply(1, sequence, session, 3) +  // ours, queued
                        Reply(1, sequence, session, 2) +  // ours, started
                        Reply(1, sequence, session, 1));  // ours, finished
        clienttest::SeesClose(fd, 10000);
    });
    const CommandHandle handle = array_->ResetSubsystem();
    const oru::CommandReply reply = WaitForCommand(handle, *array_, host_);
    EXPECT_EQ(reply.kind, 1u);
    ASSERT_NE(reply.result, nullptr);
    EXPECT_EQ(reply.result->handle, handle);
    EXPECT_EQ(reply.result->status, 1u);
    EXPECT_EQ(host_.questions, 0);
    EXPECT_EQ(host_.busy.Depth(), 0);
}

TEST_F(CommandWaitTest, ALostConnectionEndsTheWaitAtOnce) {
    Connect([](int fd, std::uint32_t, std::uint32_t) {
        ::shutdown(fd, SHUT_RDWR);  // the service goes away without a reply
    });
    const oru::CommandReply reply = WaitForCommand(array_->GetState(), *array_, host_);
    EXPECT_EQ(reply.kind, oru::kGaveUp);
    EXPECT_EQ(reply.result, nullptr);
    // It did not run into the reply budget (which would have asked).
    EXPECT_EQ(host_.questions, 0);
}

TEST_F(CommandWaitTest, ARequestThatWasNeverSentIsNotAwaited) {
    Connect([](int fd, std::uint32_t, std::uint32_t) { clienttest::SeesClose(fd, 10000); });
    EXPECT_EQ(WaitForCommand(CommandHandle(0, 0), *array_, host_).kind, oru::kGaveUp);
    EXPECT_EQ(host_.questions, 0);
}

TEST_F(CommandWaitTest, AfterEachBudgetWithoutReplyTheUserIsAskedWhetherToWaitOn) {
    platform::SetTimeScale(1000);  // a budget of 300 ms
    std::promise<void>& release = ConnectSilent();
    // Yes, then No.
    struct AskTwice : guitest::TestHost {
        bool AskKeepWaiting() override { return ++questions < 2; }
    } host;
    const oru::CommandReply reply = WaitForCommand(array_->GetState(), *array_, host);
    release.set_value();
    EXPECT_EQ(reply.kind, oru::kGaveUp);
    EXPECT_EQ(host.questions, 2);
}

TEST_F(CommandWaitTest, TheWaitHoldsTheBusyStateAndKeepsTheEventLoopRunning) {
    auto go = std::make_shared<std::promise<void>>();
    std::shared_future<void> gone = go->get_future().share();
    Connect([gone](int fd, std::uint32_t sequence, std::uint32_t session) {
        gone.wait_for(std::chrono::seconds(20));
        SendAll(fd, Reply(1, sequence, session, 1));
        clienttest::SeesClose(fd, 10000);
    });
    int ticks = 0;
    int busyTicks = 0;
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++ticks;
        busyTicks += host_.busy.Busy() ? 1 : 0;
        if (ticks == 5) {
            go->set_value();  // the reply comes only once the loop ran
        }
    });
    timer.start();
    const oru::CommandReply reply = WaitForCommand(array_->ResetSubsystem(), *array_, host_);
    EXPECT_EQ(reply.kind, 1u);
    EXPECT_GE(ticks, 5);
    EXPECT_EQ(busyTicks, ticks);
    EXPECT_FALSE(host_.busy.Busy());
}

// A Cancel and the end of what a wait waited for, in one pass of the event
// loop: the wait ends as cancelled, and so does every later wait of the
// operation it was part of (the state read after a connection).
TEST_F(CommandWaitTest, ACancelInTheSamePassAsTheWaitsEndCancelsTheOperation) {
    Connect([](int fd, std::uint32_t, std::uint32_t) {
        clienttest::SeesClose(fd, 10000);  // never answers
    });
    // A wait on its own.
    bool done = false;
    QTimer::singleShot(0, [&] {
        done = true;
        host_.CancelWaits();
    });
    EXPECT_FALSE(host_.WaitUntil([&] { return done; }, oru::kWorkerBudgetMs));
    EXPECT_TRUE(done);

    // The steps of one operation: the cancelled first wait makes the
    // second end at once, without waiting for its reply budget.
    done = false;
    const std::uint64_t start = platform::MonotonicMs();
    {
        const oru::WaitOperation operation(host_);
        QTimer::singleShot(0, [&] {
            done = true;
            host_.CancelWaits();
        });
        EXPECT_FALSE(host_.WaitUntil([&] { return done; }, oru::kWorkerBudgetMs));
        const oru::CommandReply reply = WaitForCommand(array_->GetState(), *array_, host_);
        EXPECT_EQ(reply.kind, oru::kGaveUp);
        EXPECT_TRUE(operation.Cancelled());
    }
    EXPECT_LT(platform::MonotonicMs() - start, 5000u);
    EXPECT_EQ(host_.questions, 0);
    // The next operation starts afresh.
    EXPECT_FALSE(host_.Cancelled());
    EXPECT_TRUE(host_.WaitUntil([] { return true; }, oru::kWorkerBudgetMs));
    EXPECT_EQ(host_.busy.Depth(), 0);
}

// A Cancel while the question whether to wait on is open ends the wait,
// whatever the answer.
TEST_F(CommandWaitTest, ACancelDuringTheKeepWaitingQuestionEndsTheWait) {
    platform::SetTimeScale(1000);  // a budget of 300 ms
    std::promise<void>& release = ConnectSilent();
    // Cancel clicked, then Yes; asked again, No.
    struct CancelThenYes : guitest::TestHost {
        bool AskKeepWaiting() override {
            if (++questions == 1) {
                CancelWaits();
                return true;
            }
            return false;
        }
    } host;
    const oru::CommandReply reply = WaitForCommand(array_->GetState(), *array_, host);
    release.set_value();
    EXPECT_EQ(reply.kind, oru::kGaveUp);
    EXPECT_EQ(host.questions, 1);
}

// The pause after a poll that found nothing waits on the connection: a
// reply that has come ends it, however long it was allowed to be.
TEST_F(CommandWaitTest, APauseEndsAsSoonAsTheReplyHasCome) {
    auto sent = std::make_shared<std::promise<void>>();
    std::future<void> replied = sent->get_future();
    Connect([sent](int fd, std::uint32_t sequence, std::uint32_t session) {
        SendAll(fd, Reply(1, sequence, session, 1));
        sent->set_value();
        clienttest::SeesClose(fd, 10000);
    });
    const CommandHandle handle = array_->ResetSubsystem();
    ASSERT_EQ(replied.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    // Hours even at the fixture's speed factor: only the reply ends it.
    constexpr std::uint64_t kLongPauseMs = 1000000000;

    // On the interface thread. The watchdog only ends a pause that ran on.
    bool ranOn = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        ranOn = true;
        host_.Wake();
    });
    watchdog.start(20000);
    host_.AwaitReply(*array_, kLongPauseMs);
    EXPECT_FALSE(ranOn);

    // On a worker.
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> ended = done->get_future();
    std::thread([array = array_, done] {
        oru::WorkerWaitHost().AwaitReply(*array, kLongPauseMs);
        done->set_value();
    }).detach();
    if (ended.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        ADD_FAILURE() << "the worker's pause ran on after the reply had come";
        (void)qen_.release();  // the worker still uses its array
        return;
    }

    // The pauses read nothing: the reply is there for the poll.
    const PollMsg* result = array_->PollQEN();
    ASSERT_NE(result, nullptr);
    EXPECT_TRUE(DiskArray::Answers(result, handle));
}

}  // namespace
