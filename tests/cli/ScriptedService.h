// A scripted array-management service on loopback for the console programs:
// the subsystem list, the session, and for each request the reply frames
// the test chooses, so that error replies, sense data, replies of the wrong
// kind, lost connections and silent services can be had at will. Each
// program run must end with its documented message and exit code, never
// hang.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ScriptedReplies.h"
#include "ServicePeer.h"
#include "WireBytes.h"
#include "coresys/common/DiskArrayState.h"
#include "coresys/common/OruServerState.h"
#include "coresys/common/ReturnMsgs.h"
#include "coresys/common/oruerr.h"
#include "support/FreshRoot.h"

namespace clitest {

inline constexpr const char* kFakeSerial = "QX0000000077";
inline constexpr const char* kFakeAlias = "FAKE";

// A request as the service reads it: the header and the value words after
// it (those that came), and the whole message.
struct Request {
    std::uint32_t code = 0;
    std::uint32_t sequence = 0;
    std::uint32_t session = 0;
    std::vector<std::uint32_t> values;
    std::string body;

    std::uint32_t Value(std::size_t i) const { return i < values.size() ? values[i] : 0; }
};

using clienttest::EncodedReply;
using clienttest::OkReply;

// Replies coded for the request they answer (and EncodedReply, OkReply).
std::string Failed(const Request& request, const oruerr& error);
std::string StateReply(const Request& request, DiskArrayState state,
                       OruServerState server = OruServerState{});
std::string BufferReply(const Request& request, const std::string& bytes);

// An error record with the code, qualifier and class given.
oruerr Error(std::uint32_t errorCode, std::uint32_t qualifier, std::uint32_t errorClass = 3);

// A state with controller X active (target 4) and twelve drive slots, the
// first six members, the seventh a spare, the rest empty; format level 3.
DiskArrayState FakeState();

// Sentinel answers of a script step.
inline const std::string kClose = "close";      // close the connection now
inline const std::string kSilence = "silence";  // say nothing until the client leaves

class ScriptedServiceTest : public ::testing::Test {
  protected:
    using Answer = std::function<std::vector<std::string>(const Request&)>;

    void SetUp() override;
    void TearDown() override;

    static clienttest::ListRecord Record(const std::string& serial, const std::string& alias,
                                         const std::string& server = "");

    // Serves the session: each request frame is answered with the frames
    // `answer` gives for it, or ends as the sentinels say. Every request is
    // recorded.
    void Script(Answer answer);
    // Answers the state request with acknowledgements and the given final frame.
    void AnswerState(std::function<std::string(const Request&)> final);
    // Reads one request frame; false when the client left or said goodbye.
    static bool ReadRequest(int fd, Request& request);

    // The requests the session received so far, and those of one code.
    std::vector<Request> Requests();
    std::vector<Request> Requests(std::uint32_t code);

    testsupport::FreshRoot root_;
    std::unique_ptr<clienttest::ServicePeer> peer_;

  private:
    std::mutex mutex_;
    std::vector<Request> requests_;
};

}  // namespace clitest
