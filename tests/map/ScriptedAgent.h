// Scripted SNMP agents and a virtual clock for the map application's tests.
//
// A ScriptedAgent is a UDP socket on a loopback address that answers
// SNMPv1 GET and GETNEXT requests from a table of variables the test writes
// (the SNMP agent's view by default: version, count and five columns per
// row), at once or at a virtual time, or never. The VirtualClock is the
// application loop's clock: when the loop waits, it first lets every agent
// answer what is due, then looks at the descriptors, and only when nothing
// is readable moves virtual time on (to the next agent's reply or the
// deadline). Everything runs on the test's one thread, so a test's outcome
// never depends on real time.
//
// The BER coding here is the test's own, written from the SNMPv1 message
// layout, so a test can also send what no well-behaved agent would.
#pragma once

#include <sys/socket.h>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "netmgmt/map/standin/LoopClock.h"

namespace maptest {

using Arcs = std::vector<std::uint32_t>;

// A start database of the stand-in map: a root submap and, per host, a
// computer object of that host name with a symbol on it.
std::string ComputersDatabase(const std::vector<std::string>& hosts);

// The agent's view and names below it.
Arcs View(std::initializer_list<std::uint32_t> below = {});

// A value as sent: tag and content octets.
struct Value {
    std::uint8_t tag = 0x05;
    std::string content;
};
Value Integer(std::int64_t value);
Value OctetString(const std::string& bytes);
Value Null();
Value ObjectId(const Arcs& arcs);

struct Binding {
    Arcs name;
    Value value;
};

// SNMPv1 messages (community "public").
std::string EncodeResponse(std::int64_t requestId, std::int64_t errorStatus,
                           const std::vector<Binding>& bindings);
struct Trap {
    Arcs enterprise = View();
    std::array<std::uint8_t, 4> agentAddress{127, 0, 0, 1};
    std::int64_t generic = 6;
    std::int64_t specific = 2;
    std::uint32_t timeStamp = 100;
    std::vector<Binding> bindings;
};
std::string EncodeTrap(const Trap& trap);
// Sends the trap to 127.0.0.1:port; false when it could not be sent whole.
bool SendTrapTo(std::uint16_t port, const Trap& trap);
// The agent's four trap bindings: 2, the serial with its NUL, the catalog
// id and a text with its NUL.
std::vector<Binding> TrapBindings(const std::string& serial, std::int64_t catalogId);

struct Request {
    std::uint8_t type = 0;  // 0xA0 GET, 0xA1 GETNEXT
    std::int64_t requestId = 0;
    Arcs name;
};
bool DecodeRequest(const std::string& bytes, Request* request);

// One row of the agent's table.
struct Row {
    std::string serial;  // as sent (the agent sends no terminator)
    std::int64_t status = 2;
    std::string product = "QRVZX ARRAY";
    std::string revision = "0301";
    std::string code = "QX-100";
};

class ScriptedAgent {
  public:
    // Binds address:port (UDP); Bound() tells whether it could.
    ScriptedAgent(const std::string& address, std::uint16_t port);
    ~ScriptedAgent();
    ScriptedAgent(const ScriptedAgent&) = delete;
    ScriptedAgent& operator=(const ScriptedAgent&) = delete;
    bool Bound() const { return fd_ >= 0; }
    int Fd() const { return fd_; }

    // The agent's view with these rows (and the standard version text).
    void SetRows(const std::vector<Row>& rows);
    // Every variable the agent serves, by name (GETNEXT: the next name).
    std::map<Arcs, Value>& Variables() { return variables_; }
    // Answers nothing at all.
    void SetSilent(bool silent) { silent_ = silent; }
    // Answers nothing before this virtual time.
    void ReplyAt(std::uint64_t ms) { replyAt_ = ms; }
    // Answers this many requests, then nothing more.
    void SilentAfter(std::size_t answers) { silentAfter_ = answers; }
    // Runs once, when the first request arrives.
    void WhenAsked(std::function<void()> action) { whenAsked_ = std::move(action); }
    // Changes the variables after this many answers (the table moving
    // under a reader): called once, then forgotten.
    void AfterAnswers(std::size_t count, std::map<Arcs, Value> variables);

    // Takes every request waiting and answers those due at `now`; the
    // number of answers sent.
    int Serve(std::uint64_t now);
    // When the next held answer is due.
    std::optional<std::uint64_t> NextDue() const;
    std::size_t RequestsSeen() const { return seen_; }
    bool Holding() const { return !held_.empty(); }

  private:
    struct Held {
        sockaddr_storage from;
        unsigned fromLength;
        Request request;
    };
    std::string Answer(const Request& request);

    int fd_ = -1;
    std::map<Arcs, Value> variables_;
    bool silent_ = false;
    std::uint64_t replyAt_ = 0;
    std::vector<Held> held_;
    std::size_t seen_ = 0;
    std::size_t answered_ = 0;
    std::size_t silentAfter_ = SIZE_MAX;
    std::function<void()> whenAsked_;
    std::optional<std::pair<std::size_t, std::map<Arcs, Value>>> change_;
};

class VirtualClock : public qxapp::LoopClock {
  public:
    std::uint64_t NowMs() override { return now_; }
    std::uint32_t Ticks() override { return tickBase_ + static_cast<std::uint32_t>(now_); }
    void Wait(const std::vector<int>& fds, std::uint64_t deadlineMs,
              std::vector<int>* ready) override;

    void Advance(std::uint64_t ms) { now_ += ms; }
    // The tick count at virtual time 0.
    void SetTickBase(std::uint32_t ticks) { tickBase_ = ticks; }
    void Add(ScriptedAgent* agent) { agents_.push_back(agent); }
    // A wait without a deadline found nothing to do: the test would hang.
    bool Stalled() const { return stalled_; }

  private:
    std::uint64_t now_ = 0;
    std::uint32_t tickBase_ = 0;
    std::vector<ScriptedAgent*> agents_;
    bool stalled_ = false;
};

}  // namespace maptest
