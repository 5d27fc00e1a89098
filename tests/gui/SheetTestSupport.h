// Helpers of the Device Properties sheet's tests: a sample array state like
// the simulator's first cabinet, the service's replies coded with the
// protocol's own message classes, and a scripted service that plays one
// array's session (it answers each request by a handler the test gives,
// records what it received, and can push event replies of its own).
#pragma once

#include <QImage>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ClientFixture.h"
#include "GuiTestSupport.h"
#include "coresys/common/CommandHandle.h"
#include "coresys/common/DiskArrayState.h"
#include "coresys/common/Event.h"
#include "coresys/common/OruServerState.h"
#include "coresys/common/PerfMetric.h"
#include "coresys/common/PerfRecs.h"

class DiskArray;
class ORU_Message;
class QEN;

namespace oru {
class CDevPropSheet;
}

namespace guitest {

// A healthy cabinet: controllers X (primary) and Y, six member drives in A1
// to B3, a hot spare (state 8) in A4 and five empty slots, logical drives 0
// and 1 of 0.50 GB each, 2.00 GB unallocated, four fans and two power
// supplies, layout type 2, capability level 3, resiliency Normal.
DiskArrayState SampleState();

// A request as the service received it.
struct SeenRequest {
    std::uint32_t code = 0;
    std::uint32_t sequence = 0;
    std::uint32_t session = 0;
    std::uint32_t values[4] = {};
    std::string text;                // SetAliasName's alias
    std::vector<std::uint32_t> ids;  // GetPerfMetrics's metrics

    CommandHandle Handle() const { return CommandHandle(sequence, session); }
};

// Coded messages, each sent as a session frame of its own.
using Messages = std::vector<std::string>;

// Coded replies to `request`.
std::string OkReply(const SeenRequest& request, std::uint32_t status = 1);
std::string ErrorReply(const SeenRequest& request, std::uint32_t errorCode,
                       std::uint32_t qualifier = 0);
std::string StateReply(const SeenRequest& request, const DiskArrayState& state,
                       const OruServerState& server);
std::string MetricsReply(const SeenRequest& request, const std::vector<PerfMetric>& metrics);
std::string RecsReply(const SeenRequest& request, const PerfRecs& recs);
std::string BufferReply(const SeenRequest& request, const std::vector<unsigned char>& bytes);
// An event reply (status 5) whose pieces come from `state` and `server`.
std::string EventReply(const std::vector<Event>& events, const DiskArrayState& state,
                       const OruServerState& server, std::uint32_t status = 5);

class ScriptedService {
  public:
    // Answers one request: the messages to send (none: no answer). Runs on
    // the service's thread; the service's records are locked meanwhile.
    using Handler = std::function<Messages(const SeenRequest&, ScriptedService&)>;

    // By default GetState is answered with the state and every other
    // request with a plain success.
    void On(std::uint32_t code, Handler handler);

    // The records the default GetState answers with (lock held by callers
    // on the service's thread; tests use Set/Get).
    DiskArrayState state = SampleState();
    OruServerState server;
    void SetState(const DiskArrayState& newState);
    void SetServer(const OruServerState& newServer);

    std::vector<SeenRequest> Requests();
    std::size_t CountOf(std::uint32_t code);
    // Waits (running the event loop) until `count` requests came.
    bool WaitForRequests(std::size_t count, int timeoutMs = 10000);
    // Sends messages to the client now (from any thread).
    void Push(const Messages& messages);

    // The session, run by the peer's thread until the client disconnects.
    void Serve(int fd);

  private:
    Messages Answer(const SeenRequest& request);

    std::mutex mutex_;
    std::map<std::uint32_t, Handler> handlers_;
    std::vector<SeenRequest> seen_;
    std::mutex sendMutex_;
    std::atomic<int> fd_{-1};
};

// A connected array served by a ScriptedService, and a sheet over it.
class SheetFixture : public clienttest::ClientFixture {
  protected:
    static constexpr const char* kSerial = "QX0000000001";

    void TearDown() override;
    // Connects and reads the state, as Device Properties does.
    void Connect();
    // The sheet of the connected array, shown (not modal).
    oru::CDevPropSheet& OpenSheet();
    // Paints a widget into an image.
    static QImage Grab(QWidget* widget);

    ScriptedService service_;
    TestHost host_;
    std::vector<QString> messages_;
    std::unique_ptr<QEN> qen_;
    DiskArray* array_ = nullptr;
    std::unique_ptr<oru::CDevPropSheet> sheet_;
};

}  // namespace guitest
