// The datagram side of QEN: the gross-status request goes out as a
// subsystem datagram, and the datagram poll turns the answers into poll
// results that name the subsystem they came from.
#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "ArrayFixture.h"
#include "ReplyBytes.h"

namespace arraytest {
namespace {

// A gross-status request: length 36, version 4, code 46, handle (0, 0),
// four values 0.
std::string GrossStatusRequest() {
    return Be(36) + Be(4) + Be(46) + Zeros(6);
}

// The gross-status reply: kind 100, status 100, handle (0, 0), then 37
// values: g1..g32, g27 once more, g33..g36 (here g<n> = 10 n).
std::string GrossStatusReply() {
    std::string body;
    for (std::uint32_t n = 1; n <= 32; ++n) {
        body += Be(10 * n);
    }
    body += Be(270);
    for (std::uint32_t n = 33; n <= 36; ++n) {
        body += Be(10 * n);
    }
    return Reply(100, 0, 0, 100, body);
}

class QenGrossStatusTest : public ArrayFixture {
  protected:
    // Answers every subsystem datagram with the next of `replies` (then none).
    void AnswerWith(std::vector<std::string> replies) {
        auto pending = std::make_shared<std::vector<std::string>>(std::move(replies));
        auto mutex = std::make_shared<std::mutex>();
        peer_->SetDatagramAnswer(
            [pending, mutex](const std::string& in) -> std::optional<std::string> {
                std::lock_guard<std::mutex> hold(*mutex);
                if (pending->empty()) {
                    return std::nullopt;
                }
                std::string reply = std::string(1, '\0') + in.substr(1, 12) + pending->front();
                pending->erase(pending->begin());
                return reply;
            });
    }

    PollMsg* PollForDatagram() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (PollMsg* result = qen_->PollQEN()) {
                return result;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return nullptr;
    }
};

TEST_F(QenGrossStatusTest, TheRequestGoesOutByDatagramAndTheAnswerNamesItsSubsystem) {
    AnswerWith({GrossStatusReply()});
    qen_->RequestGrossStatus(*Entry());
    ASSERT_TRUE(peer_->WaitForDatagrams(1, 10000));
    EXPECT_EQ(peer_->Datagrams()[0].bytes,
              std::string(1, '\0') + "DASERIAL0001" + GrossStatusRequest());

    auto* gross = dynamic_cast<GrossStatusPollMsg*>(PollForDatagram());
    ASSERT_NE(gross, nullptr);
    EXPECT_EQ(gross->kind, 100u);
    EXPECT_EQ(gross->status, 100u);
    EXPECT_EQ(gross->subsystem, Entry());
    ASSERT_NE(gross->grossStatus, nullptr);
    EXPECT_EQ(gross->grossStatus->G(1), 10u);
    EXPECT_EQ(gross->grossStatus->G(27), 270u);
    EXPECT_EQ(gross->grossStatus->G(33), 330u);
    EXPECT_EQ(gross->grossStatus->ValidStateData(), 360u);
}

TEST_F(QenGrossStatusTest, AnErrorAnswerByDatagramNamesItsSubsystem) {
    AnswerWith({Reply(10, 0, 0, 1, ErrorRecord("no controller", 6, 0, 4))});
    qen_->RequestGrossStatus(*Entry());
    auto* error = dynamic_cast<ErrorPollMsg*>(PollForDatagram());
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->kind, 10u);
    EXPECT_EQ(error->subsystem, Entry());
    EXPECT_EQ(error->error.errorCode, 6u);
    EXPECT_STREQ(error->error.text, "no controller");
}

TEST_F(QenGrossStatusTest, OtherKindsByDatagramGiveNoResultAndEachPollFreesTheLast) {
    // Answers in order: a plain reply (no datagram kind), a state reply
    // header, a gross status, then another gross status.
    AnswerWith({Reply(1, 0, 0, 1), Reply(5, 0, 0, 5), GrossStatusReply(), GrossStatusReply()});
    for (int i = 0; i < 3; ++i) {
        qen_->RequestGrossStatus(*Entry());
        ASSERT_TRUE(peer_->WaitForDatagrams(static_cast<std::size_t>(i + 1), 10000));
    }
    // The first result to come is the gross status: the two before it were
    // dropped.
    PollMsg* first = PollForDatagram();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->kind, 100u);

    qen_->RequestGrossStatus(*Entry());
    PollMsg* second = PollForDatagram();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->kind, 100u);
    EXPECT_TRUE(Freed(first));
    EXPECT_EQ(qen_->PollQEN(), nullptr);
    EXPECT_TRUE(Freed(second));
}

}  // namespace
}  // namespace arraytest
