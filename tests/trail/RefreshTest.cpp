// The server-log refresh against a scripted service on loopback: which
// requests go to which subsystem in which order, what is said when a
// subsystem cannot be connected or answers with the wrong kind, how long a
// request is waited for, and where the flush pass ends. The waits are paced
// by the client's own pauses (the sleep seam), so no test depends on the
// speed of the machine.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "ScriptedReplies.h"
#include "ServicePeer.h"
#include "TrailTestSupport.h"
#include "WireBytes.h"
#include "catalog/StringCatalog.h"
#include "coresys/common/CodedBuff.h"
#include "coresys/common/OruErrors.h"
#include "coresys/common/ReturnMsgs.h"
#include "platform/Clock.h"
#include "platform/Root.h"
#include "tools/trail/ServerLogRefresh.h"
#include "tools/trail/TrailOutput.h"

namespace trailtest {
namespace {

using clienttest::EncodedReply;
using clienttest::OkReply;

constexpr std::uint32_t kReadControllerLog = 14;
constexpr std::uint32_t kFlushServerLog = 48;
constexpr int kLimitMs = 30000;

struct Request {
    std::string serial;
    std::uint32_t code = 0;
    std::uint32_t sequence = 0;
    std::uint32_t session = 0;
    std::uint32_t values[3] = {};
};

std::string Buffer(const Request& request) {
    Buffer_RtnMsg reply;
    return EncodedReply(reply, request);
}

// The service's refusal of a request that failed.
std::string Failed(const Request& request) {
    OruErrStatus_RtnMsg reply(RMT_ORUERRORSTATUS_MSG, 1);
    reply.error.errorCode = ERR_COMMAND_FAILED;
    reply.error.qualifier = request.code == kFlushServerLog ? LOG_FLUSH : EVENT_DRIVELOG;
    return EncodedReply(reply, request);
}

// One step of an answer: a frame, sent once `afterTenths` tenths of a
// second of the client's (nominal) time have passed since the test began.
struct Step {
    std::string frame;
    int afterTenths = 0;
};

class RefreshTest : public TrailTest {
  protected:
    using Answer = std::function<std::vector<Step>(const Request&)>;

    void SetUp() override {
        TrailTest::SetUp();
        ::setenv("ORUHOST", "127.0.0.1", 1);
        // A second of the client's time lasts 200 ms: the 2 s a request is
        // waited for take 400 ms of real time at least, and a step of the
        // peer may come 200 ms late before it makes a silence.
        platform::SetTimeScale(5);
        start_ = platform::MonotonicMs();
        ASSERT_EQ(platform::MakeDirs(root.File("c/oru_admin")), 0);
        peer_ = std::make_unique<clienttest::ServicePeer>(root.TcpPort(), root.UdpPort());
        ASSERT_TRUE(peer_->Listening()) << peer_->Error();
        peer_->SetAdminDir(root.File("c/oru_admin"));
    }
    void TearDown() override {
        peer_.reset();
        platform::SetTimeScale(0);
        ::unsetenv("ORUHOST");
        TrailTest::TearDown();
    }

    // The subsystems the service lists; known: those it opens a session for.
    void List(const std::vector<std::string>& serials, const std::set<std::string>& known) {
        std::vector<clienttest::ListRecord> records;
        for (const std::string& serial : serials) {
            clienttest::ListRecord record;
            record.serverName = clienttest::ServicePeer::OwnHostName();
            record.serial = serial;
            record.secureMethod = 0;
            record.securePath = "C:\\oru_admin\\" + serial + ".";
            records.push_back(record);
        }
        peer_->SetListAnswer(clienttest::ListAnswer(records));
        peer_->SetKnownSerials(known);
    }

    // Each request of a session is answered with the steps `answer` gives.
    void Script(Answer answer) {
        peer_->SetSessionScript([this, answer](int fd) {
            // Each frame goes out as it is written, as the waits expect.
            const int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            const std::vector<std::string> sessions = peer_->SessionRequests();
            const std::string serial =
                sessions.empty() ? "" : std::string(sessions.back().substr(4, 12).c_str());
            clienttest::SessionRequest read;
            while (clienttest::ReadSessionRequest(fd, &read, kLimitMs)) {
                Request request{serial, read.code, read.sequence, read.session, {}};
                for (std::size_t v = 0; v < 3 && 20 + 4 * v + 4 <= read.body.size(); ++v) {
                    request.values[v] = clienttest::BeWord(read.body, 20 + 4 * v);
                }
                {
                    std::lock_guard<std::mutex> hold(mutex_);
                    seen_.push_back(request);
                }
                for (const Step& step : answer(request)) {
                    WaitForTenths(step.afterTenths);
                    clienttest::SendSessionFrame(fd, step.frame);
                }
            }
        });
    }

    void WaitForTenths(int count) {
        const std::uint64_t due = start_ + platform::ScaledMs(100 * std::uint64_t(count));
        const std::uint64_t now = platform::MonotonicMs();
        if (due > now) {
            std::this_thread::sleep_for(std::chrono::milliseconds(due - now));
        }
    }
    // Tenths of a second of the client's time since the test began.
    int Tenths() const {
        return static_cast<int>(platform::NominalMs(platform::MonotonicMs() - start_) / 100);
    }
    void ClearSeen() {
        std::lock_guard<std::mutex> hold(mutex_);
        seen_.clear();
    }
    // "serial:code" of each request, in order.
    std::vector<std::string> Seen() {
        std::lock_guard<std::mutex> hold(mutex_);
        std::vector<std::string> seen;
        for (const Request& request : seen_) {
            seen.push_back(request.serial + ":" + std::to_string(request.code));
        }
        return seen;
    }

    struct Said {
        std::string out;
        std::string err;
    };
    Said Refresh() {
        std::ostringstream out;
        std::ostringstream err;
        {
            trail::TrailOutput outStream(out);
            trail::TrailOutput errStream(err, &outStream);
            StringCatalog catalog("vxraidcl.cat");
            trail::RefreshServerLog(catalog, outStream, errStream);
        }
        return {out.str(), err.str()};
    }

    std::unique_ptr<clienttest::ServicePeer> peer_;
    std::mutex mutex_;
    std::uint64_t start_ = 0;
    std::vector<Request> seen_;
};

const std::string kNotFlushed =
    Mark(28) +
    "The service did not confirm that its log is on disk: the files are printed as they "
    "are.\n";

// Buffer for the controller log, OK for the flush, each after the two
// acknowledgements the service sends.
std::vector<Step> Willing(const Request& request) {
    const std::string final =
        request.code == kReadControllerLog ? Buffer(request) : OkReply(request, 1);
    return {{OkReply(request, 3)}, {OkReply(request, 2)}, {final}};
}

TEST_F(RefreshTest, EachSubsystemCopiesItsControllerLogThenOneFlushIsEnough) {
    List({"QX0000000001", "QX0000000002"}, {"QX0000000001", "QX0000000002"});
    Script(Willing);
    const Said said = Refresh();
    EXPECT_EQ(said.out, "");
    EXPECT_EQ(said.err, "");
    EXPECT_EQ(Seen(),
              (std::vector<std::string>{"QX0000000001:14", "QX0000000002:14", "QX0000000001:48"}));
    std::lock_guard<std::mutex> hold(mutex_);
    // Code 14: no buffer, the event log, read through the monitor.
    EXPECT_EQ(seen_[0].values[0], 0u);
    EXPECT_EQ(seen_[0].values[1], 1u);
    EXPECT_EQ(seen_[0].values[2], 1u);
}

TEST_F(RefreshTest, AnEmptyListAsksNothingAndSaysSo) {
    List({}, {});
    Script(Willing);
    const Said said = Refresh();
    EXPECT_EQ(said.out, kNotFlushed);
    EXPECT_EQ(said.err, "");
    EXPECT_TRUE(Seen().empty());
    EXPECT_TRUE(peer_->SessionRequests().empty());
}

TEST_F(RefreshTest, ASubsystemThatCannotBeConnectedIsSaidOnceAndPassedOver) {
    List({"QX0000000001", "QX0000000002"}, {"QX0000000002"});
    Script(Willing);
    const Said said = Refresh();
    EXPECT_EQ(said.err, Mark(26) +
                            "Array QX0000000001 cannot be reached to copy its controller "
                            "log into the service log.\n");
    EXPECT_EQ(said.out, "");
    EXPECT_EQ(Seen(), (std::vector<std::string>{"QX0000000002:14", "QX0000000002:48"}));
}

TEST_F(RefreshTest, AControllerLogAnsweredWithAnErrorIsSaid) {
    List({"QX0000000001"}, {"QX0000000001"});
    Script([](const Request& request) -> std::vector<Step> {
        if (request.code == kReadControllerLog) {
            return {{OkReply(request, 3)}, {Failed(request)}};
        }
        return Willing(request);
    });
    const Said said = Refresh();
    EXPECT_EQ(said.err, Mark(27) +
                            "The controller log of array QX0000000001 was not copied into "
                            "the service log.\n");
    EXPECT_EQ(said.out, "");
}

// Progress every second for five seconds keeps the wait going; two seconds
// of silence end it without a word.
TEST_F(RefreshTest, ProgressKeepsTheWaitGoingAndSilenceEndsIt) {
    List({"QX0000000001", "QX0000000002"}, {"QX0000000001", "QX0000000002"});
    Script([this](const Request& request) -> std::vector<Step> {
        if (request.code == kReadControllerLog && request.serial == "QX0000000001") {
            const int now = Tenths();
            std::vector<Step> steps = {{OkReply(request, 3), now}};
            for (int second = 1; second <= 5; ++second) {
                steps.push_back({OkReply(request, 2), now + 10 * second});
            }
            // The final answer is an error: it is said only if it is
            // still awaited after five seconds.
            steps.push_back({Failed(request), now + 60});
            return steps;
        }
        if (request.code == kReadControllerLog) {
            return {{OkReply(request, 3)}};  // then nothing
        }
        return Willing(request);
    });
    const Said said = Refresh();
    EXPECT_EQ(said.err, Mark(27) +
                            "The controller log of array QX0000000001 was not copied into "
                            "the service log.\n");
    EXPECT_EQ(said.out, "");
    EXPECT_EQ(Seen(),
              (std::vector<std::string>{"QX0000000001:14", "QX0000000002:14", "QX0000000001:48"}));
    // Six seconds for the first, at least two of silence for the second.
    EXPECT_GE(Tenths(), 80);
    EXPECT_LT(Tenths(), 200);
}

TEST_F(RefreshTest, TheFlushPassEndsAtTheFirstOkAndSaysSoOnlyWithoutOne) {
    const std::vector<std::string> serials = {"QX0000000001", "QX0000000002", "QX0000000003"};
    List(serials, {serials.begin(), serials.end()});
    std::map<std::string, bool> flushes = {{"QX0000000001", false}, {"QX0000000002", true}};
    Script([&flushes](const Request& request) -> std::vector<Step> {
        if (request.code == kFlushServerLog && !flushes[request.serial]) {
            return {{OkReply(request, 3)}, {Failed(request)}};
        }
        return Willing(request);
    });
    Said said = Refresh();
    EXPECT_EQ(said.out, "");
    std::vector<std::string> seen = Seen();
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[3], "QX0000000001:48");
    EXPECT_EQ(seen[4], "QX0000000002:48");

    // OK only from the last: the pass ended early all the same.
    ClearSeen();
    flushes = {{"QX0000000003", true}};
    said = Refresh();
    EXPECT_EQ(said.out, "");
    EXPECT_EQ(Seen().size(), 6u);

    // No OK at all.
    ClearSeen();
    flushes.clear();
    said = Refresh();
    EXPECT_EQ(said.out, kNotFlushed);
    EXPECT_EQ(Seen().size(), 6u);
}

TEST_F(RefreshTest, NoServiceAtAllIsAnEmptyList) {
    peer_.reset();
    const Said said = Refresh();
    EXPECT_EQ(said.out, kNotFlushed);
    EXPECT_EQ(said.err, "");
}

}  // namespace
}  // namespace trailtest
