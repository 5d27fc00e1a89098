// Clients that hold on, against the real service: each test keeps a hostile
// or broken client at work and asserts that a well-behaved client is served
// within a couple of seconds meanwhile. The tests that show a stall run the
// service with its waits at their real length (the budgets they must not
// cost are minutes long); the others shorten them a hundredfold.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <regex>
#include <set>
#include <thread>

#include "LogTestSupport.h"
#include "NetServerFixture.h"
#include "platform/Clock.h"
#include "platform/FileUtil.h"
#include "support/ChildProcess.h"

namespace netsrvtest {
namespace {

// What a well-behaved client may wait while others hold on.
constexpr int kServedMs = 2000;
constexpr std::uint32_t kNotAuthorized = 0xFFFFFFFFu;

class HostileClientTest : public NetServerTest {
  protected:
    // The simulated cabinets, the administration directory, the service.
    void StartServing(bool realTime, const std::vector<std::string>& environment = {}) {
        ASSERT_TRUE(StartSimulator());
        admin_ = ConfigureAdministration();
        StartServer(environment, realTime);
        std::vector<ListedSubsystem> entries;
        ASSERT_TRUE(ReadListEntries(&entries));
        ASSERT_FALSE(entries.empty());
        serial_ = entries.front().serial;
    }

    // A subsystem list within kServedMs of asking, connect included.
    bool ListServed() {
        std::vector<ListedSubsystem> entries;
        return ReadListEntries(&entries, kServedMs);
    }

    // An authorized session opened within kServedMs; its id (0: none).
    std::uint32_t SessionServed(TcpProbe& probe) {
        const std::uint32_t id = OpenSession(probe, serial_, admin_, "", 4, kServedMs);
        return id == kNotAuthorized ? 0 : id;
    }

    // A request on an open session answered within kServedMs (its first
    // reply, "received").
    static bool RequestServed(TcpProbe& probe, std::uint32_t id, std::uint32_t sequence) {
        if (!probe.Send(Frame(Request(45, sequence, id)))) {
            return false;
        }
        Bytes reply;
        do {
            if (!ReadReply(probe, &reply, kServedMs) || reply.size() < 24) {
                return false;
            }
        } while (Be32At(reply, 8) == 3);  // events of others' broken sessions
        return Be32At(reply, 12) == sequence;
    }

    std::string admin_;
    std::string serial_;
};

// A connection from `local` that is left hanging: connected (or being
// connected) without sending anything. -1 when no socket could be had.
int HangingConnection(std::uint16_t port, const char* local) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    ::inet_pton(AF_INET, local, &from.sin_addr);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && (::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
                    (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 &&
                     errno != EINPROGRESS))) {
        ::close(fd);
        fd = -1;
    }
    return fd;
}

// A hanging connection whose handshake is complete, so that the listener
// takes it in the order of its connect. -1 when it could not be had.
int HeldConnection(std::uint16_t port, const char* local) {
    int fd = HangingConnection(port, local);
    pollfd wait{fd, POLLOUT, 0};
    int error = 0;
    socklen_t length = sizeof error;
    if (fd >= 0 && (::poll(&wait, 1, kServedMs) != 1 ||
                    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)) {
        ::close(fd);
        fd = -1;
    }
    return fd;
}

// The indexes of the connections the other side has closed, once any has
// (within timeoutMs; none when none did).
std::vector<std::size_t> ClosedAmong(const std::vector<int>& fds, int timeoutMs) {
    std::vector<pollfd> waits;
    for (int fd : fds) {
        waits.push_back(pollfd{fd, POLLIN | POLLRDHUP, 0});
    }
    std::vector<std::size_t> closed;
    if (::poll(waits.data(), waits.size(), timeoutMs) > 0) {
        for (std::size_t i = 0; i < waits.size(); ++i) {
            if (waits[i].revents != 0) {
                closed.push_back(i);
            }
        }
    }
    return closed;
}

// The groups of every record of the event log that matches the pattern.
std::vector<std::vector<std::string>> Records(const std::regex& pattern) {
    std::vector<std::vector<std::string>> found;
    for (const std::string& text : testsupport::EventLogTexts()) {
        std::smatch match;
        if (std::regex_match(text, match, pattern)) {
            found.emplace_back(match.begin(), match.end());
        }
    }
    return found;
}

TEST_F(HostileClientTest, ASilentConnectionHoldsUpNobody) {
    StartServer({}, true);
    TcpProbe silent;
    ASSERT_TRUE(silent.Connect(ports_.tcp));
    TcpProbe half;
    ASSERT_TRUE(half.Connect(ports_.tcp));
    ASSERT_TRUE(half.Send({0x00, 0x04}));
    EXPECT_TRUE(ListServed());
    // One that comes back silent again locks nobody out either.
    TcpProbe again;
    ASSERT_TRUE(again.Connect(ports_.tcp));
    EXPECT_TRUE(ListServed());
    // Each is let go after the few seconds its connect word may take.
    EXPECT_TRUE(silent.WaitClosed(kLimitMs));
    EXPECT_TRUE(half.WaitClosed(kLimitMs));
    EXPECT_TRUE(again.WaitClosed(kLimitMs));
}

TEST_F(HostileClientTest, SessionRequestsWithoutProofWaitBesideTheOthers) {
    StartServing(true);
    TcpProbe established;
    const std::uint32_t id = SessionServed(established);
    ASSERT_NE(id, 0u);
    // Six requests without a secure file from another address: four wait
    // their 15 s for it, the ones beyond the limit are refused at once.
    std::vector<std::unique_ptr<TcpProbe>> hostile;
    for (int i = 0; i < 6; ++i) {
        hostile.push_back(std::make_unique<TcpProbe>());
        ASSERT_TRUE(hostile.back()->Connect(ports_.tcp, "127.0.0.2"));
        ASSERT_TRUE(hostile.back()->Send(SessionPreamble(serial_)));
    }
    platform::SleepMs(200);
    EXPECT_TRUE(RequestServed(established, id, 1));
    TcpProbe fresh;
    EXPECT_NE(SessionServed(fresh), 0u);
    int refused = 0;
    int waiting = 0;
    for (auto& probe : hostile) {
        Bytes answer;
        if (probe->ReadExactly(4, 300, &answer)) {
            refused += Be32At(answer, 0) == kNotAuthorized ? 1 : 0;
        } else {
            ++waiting;
        }
    }
    EXPECT_EQ(refused, 2);
    EXPECT_EQ(waiting, 4);
}

TEST_F(HostileClientTest, HalfAFrameHoldsUpOnlyItsOwnSession) {
    StartServing(true);
    TcpProbe stalled;
    const std::uint32_t stalledId = SessionServed(stalled);
    ASSERT_NE(stalledId, 0u);
    const Bytes frame = Frame(Request(45, 1, stalledId));
    ASSERT_TRUE(stalled.Send(Bytes(frame.begin(), frame.begin() + 14)));
    platform::SleepMs(200);
    TcpProbe good;
    const std::uint32_t goodId = SessionServed(good);
    ASSERT_NE(goodId, 0u);
    EXPECT_TRUE(RequestServed(good, goodId, 2));
    // The rest of the frame still makes a request of it.
    ASSERT_TRUE(stalled.Send(Bytes(frame.begin() + 14, frame.end())));
    Bytes reply;
    ASSERT_TRUE(ReadReply(stalled, &reply, kServedMs));
    ASSERT_GE(reply.size(), 24u);
    EXPECT_EQ(Be32At(reply, 12), 1u);
}

TEST_F(HostileClientTest, AClientThatStopsReadingHoldsUpOnlyItself) {
    StartServing(true);
    TcpProbe deaf;
    deaf.ReceiveBuffer(2048);
    const std::uint32_t deafId = SessionServed(deaf);
    ASSERT_NE(deafId, 0u);
    // Far more state replies than the socket buffers hold.
    Bytes burst;
    for (std::uint32_t n = 1; n <= 1500; ++n) {
        const Bytes frame = Frame(Request(12, n, deafId));
        burst.insert(burst.end(), frame.begin(), frame.end());
    }
    ASSERT_TRUE(deaf.Send(burst));
    platform::SleepMs(3000);
    TcpProbe good;
    const std::uint32_t goodId = SessionServed(good);
    ASSERT_NE(goodId, 0u);
    EXPECT_TRUE(RequestServed(good, goodId, 1));
    EXPECT_TRUE(ListServed());
}

TEST_F(HostileClientTest, AFloodOfDatagramsDelaysDiscoveryByAMomentOnly) {
    StartServer({}, true);
    UdpProbe flood;
    for (int i = 0; i < 150; ++i) {
        ASSERT_TRUE(flood.SendTo(ports_.udp, {0x07}));
    }
    UdpProbe discovery;
    ASSERT_TRUE(discovery.SendTo(ports_.udp, {0x01}));
    Bytes reply;
    ASSERT_TRUE(discovery.Receive(kServedMs, &reply));
    EXPECT_EQ(reply.size(), 49u);
}

TEST_F(HostileClientTest, RefusalsAreRecordedAFewTimesPerPeerWithACountOfTheRest) {
    StartServer();
    // Management requests by datagram are refused, each once a warning.
    Bytes refused = {0x00, 'S', 'E', 'R', 'I', 'A', 'L', 0, 0, 0, 0, 0, 0};
    const Bytes request = Request(10, 1, 1);
    refused.insert(refused.end(), request.begin(), request.end());
    UdpProbe flood;
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(flood.SendTo(ports_.udp, refused));
    }
    // Connections that close before their connect word, from elsewhere.
    for (int i = 0; i < 30; ++i) {
        TcpProbe closing;
        ASSERT_TRUE(closing.Connect(ports_.tcp, "127.0.0.3"));
    }
    EXPECT_TRUE(ListServed());

    const std::regex summary(
        "Warning - ([0-9]+) further refused requests and failed connections from ip: "
        "(127\\.0\\.0\\.[13]) were not recorded\\.");
    const std::uint64_t deadline = platform::MonotonicMs() + kLimitMs;
    std::vector<std::vector<std::string>> summaries;
    auto counted = [&](const char* peer) {
        unsigned total = 0;
        for (const std::vector<std::string>& groups : summaries) {
            total += groups[2] == peer ? static_cast<unsigned>(std::stoul(groups[1])) : 0;
        }
        return total;
    };
    std::vector<std::vector<std::string>> warnings;
    const std::regex warning(
        "Management request 10 by datagram from ip: 127\\.0\\.0\\.1 refused.*");
    do {
        platform::SleepMs(100);
        summaries = Records(summary);
        warnings = Records(warning);
    } while ((warnings.size() + counted("127.0.0.1") < 100 || counted("127.0.0.3") == 0) &&
             platform::MonotonicMs() < deadline);
    EXPECT_EQ(warnings.size() + counted("127.0.0.1"), 100u);
    EXPECT_LE(warnings.size(), 20u) << "the refusals were all written";
    EXPECT_GT(counted("127.0.0.3"), 0u);
    EXPECT_LE(counted("127.0.0.3"), 20u);
}

TEST_F(HostileClientTest, ConnectionsFromTheClientsOwnAddressDoNotLockItOut) {
    StartServing(true);
    // Connections the peer closed at once hold no place.
    for (int i = 0; i < 40; ++i) {
        TcpProbe gone;
        ASSERT_TRUE(gone.Connect(ports_.tcp));
    }
    EXPECT_TRUE(ListServed());
    // Nor do silent ones held open from the very address of the client: the
    // oldest silent one gives way to a client that says what it wants.
    std::vector<int> held;
    for (int i = 0; i < 200; ++i) {
        const int fd = HangingConnection(ports_.tcp, "127.0.0.1");
        ASSERT_GE(fd, 0);
        held.push_back(fd);
    }
    EXPECT_TRUE(ListServed());
    TcpProbe session;
    const std::uint32_t id = SessionServed(session);
    EXPECT_NE(id, 0u);
    EXPECT_TRUE(RequestServed(session, id, 1));
    for (int fd : held) {
        ::close(fd);
    }
    // While places remain, a young silent connection keeps its place against
    // a flood from its own address: a client that proves its rights 1.5 s
    // after connecting is served. Once past the grace, the flood's oldest
    // gives way to the next one from its address.
    TcpProbe slow;
    ASSERT_TRUE(slow.Connect(ports_.tcp, "127.0.0.2"));
    std::vector<std::unique_ptr<TcpProbe>> flood;
    for (int i = 0; i < 40; ++i) {
        flood.push_back(std::make_unique<TcpProbe>());
        ASSERT_TRUE(flood.back()->Connect(ports_.tcp, "127.0.0.2"));
    }
    const std::uint64_t floodStart = platform::MonotonicMs();
    platform::SleepMs(1500);
    ASSERT_TRUE(Touch(admin_ + "/" + serial_ + ".127.0.0.2." + std::to_string(slow.LocalPort())));
    std::uint32_t answer = 0;
    ASSERT_TRUE(AskForSession(slow, SessionPreamble(serial_), &answer, kServedMs));
    EXPECT_NE(answer, kNotAuthorized);
    EXPECT_NE(answer, 0u);
    platform::SleepMs(floodStart + 2300 - platform::MonotonicMs());
    TcpProbe next;
    ASSERT_TRUE(next.Connect(ports_.tcp, "127.0.0.2"));
    EXPECT_TRUE(flood.front()->WaitClosed(1500)) << "the oldest silent connection stayed";
}

TEST_F(HostileClientTest, ClientsThatLeaveAfterTheirRepliesFreeTheirPlaces) {
    StartServing(false);
    // Waves of clients at once, each: a session, a state request, its first
    // reply (every other client waits for the last one), and goodbye. The
    // ones beyond the twenty places are turned away.
    for (int wave = 0; wave < 3; ++wave) {
        std::vector<std::thread> clients;
        for (int n = 0; n < 40; ++n) {
            clients.emplace_back([this, n] {
                TcpProbe probe;
                const std::uint32_t id = OpenSession(probe, serial_, admin_, "", 4, kLimitMs);
                if (id == 0 || id == kNotAuthorized || !probe.Send(Frame(Request(12, 1, id)))) {
                    return;
                }
                Bytes reply;
                while (ReadReply(probe, &reply, kLimitMs) && reply.size() >= 24 && n % 2 == 0 &&
                       (Be32At(reply, 8) == 3 || Be32At(reply, 20) != 1)) {
                }
            });
        }
        for (std::thread& client : clients) {
            client.join();
        }
    }
    // Then twenty sessions at once, each answered: every place is free again
    // as soon as the work on the leavers' requests is done.
    std::vector<std::unique_ptr<TcpProbe>> held;
    std::uint32_t sequence = 0;
    const std::uint64_t deadline = platform::MonotonicMs() + 2 * kLimitMs;
    while (held.size() < 20 && platform::MonotonicMs() < deadline) {
        auto probe = std::make_unique<TcpProbe>();
        const std::uint32_t id = SessionServed(*probe);
        if (id != 0 && RequestServed(*probe, id, ++sequence)) {
            held.push_back(std::move(probe));
        } else {
            platform::SleepMs(100);
        }
    }
    EXPECT_EQ(held.size(), 20u);
}

TEST_F(HostileClientTest, AFloodOfSilentConnectionsFromOneAddressLocksOutNoOtherAddress) {
    StartServing(true);
    // 600 connections from one address that say nothing, closed and opened
    // again every 2 s: more than the listener has places for.
    std::atomic<bool> stop{false};
    std::thread flood([this, &stop] {
        std::vector<int> held;
        while (!stop.load()) {
            for (int fd : held) {
                ::close(fd);
            }
            held.clear();
            for (int i = 0; i < 600; ++i) {
                const int fd = HangingConnection(ports_.tcp, "127.0.0.2");
                if (fd >= 0) {
                    held.push_back(fd);
                }
            }
            for (int slept = 0; slept < 2000 && !stop.load(); slept += 50) {
                platform::SleepMs(50);
            }
        }
        for (int fd : held) {
            ::close(fd);
        }
    });
    platform::SleepMs(500);
    // A list and a session from another address are served at once, round
    // after round.
    for (std::uint32_t round = 1; round <= 5; ++round) {
        EXPECT_TRUE(ListServed()) << "round " << round;
        TcpProbe session;
        const std::uint32_t id = SessionServed(session);
        EXPECT_NE(id, 0u) << "round " << round;
        if (id != 0) {
            EXPECT_TRUE(RequestServed(session, id, round)) << "round " << round;
        }
        platform::SleepMs(400);
    }
    stop.store(true);
    flood.join();
}

// Every one of the 256 places held by connections that said nothing yet,
// from addresses that keep fewer than 16 each (so no address gives way to
// its own newcomers): a newcomer from elsewhere closes the oldest
// connection of the address holding the most, even when another address
// holds an older one; then, between the addresses holding as many, the one
// whose oldest connection is older gives way.
TEST_F(HostileClientTest, WithEveryPlaceTakenTheBusiestAddressGivesWayThenTheOldest) {
    StartServer();
    // The one listed last of the addresses (a listener that takes the first
    // of equals gives the wrong one).
    const char* const kOlder = "127.0.0.9";
    const char* const kBusier = "127.0.0.10";
    std::vector<int> fds;
    auto hold = [&](const char* from) {
        const int fd = HeldConnection(ports_.tcp, from);
        if (fd >= 0) {
            fds.push_back(fd);
        }
        return fd >= 0;
    };
    // A list answered after a connect was made shows that connection was
    // taken before: the ones after it are younger. The pause keeps their
    // accept times, counted in milliseconds, apart.
    auto taken = [&] {
        const bool served = ListServed();
        platform::SleepMs(5);
        return served;
    };
    ASSERT_TRUE(hold(kOlder));
    const std::size_t oldest = 0;
    ASSERT_TRUE(taken());
    ASSERT_TRUE(hold(kBusier));
    const std::size_t busiersFirst = 1;
    ASSERT_TRUE(taken());
    const std::size_t busiersSecond = 2;
    for (int i = 1; i < 15; ++i) {
        ASSERT_TRUE(hold(kBusier));
    }
    for (int i = 1; i < 14; ++i) {
        ASSERT_TRUE(hold(kOlder));
    }
    // 227 more from 17 other addresses: 16 of them as many as the older
    // address (14), the last 3.
    for (int address = 20; fds.size() < 256; ++address) {
        const std::string from = "127.0.0." + std::to_string(address);
        for (int i = 0; i < 14 && fds.size() < 256; ++i) {
            ASSERT_TRUE(hold(from.c_str()));
        }
    }
    ASSERT_EQ(fds.size(), 256u);
    // 15 against 14: the busier address gives up its oldest.
    const int first = HeldConnection(ports_.tcp, "127.0.0.50");
    ASSERT_GE(first, 0);
    EXPECT_EQ(ClosedAmong(fds, kServedMs), std::vector<std::size_t>{busiersFirst});
    ::close(fds[busiersFirst]);
    fds[busiersFirst] = -1;  // no longer polled
    // Now eighteen addresses hold 14 each: the one whose oldest is older.
    const int second = HeldConnection(ports_.tcp, "127.0.0.51");
    ASSERT_GE(second, 0);
    EXPECT_EQ(ClosedAmong(fds, kServedMs), std::vector<std::size_t>{oldest});
    EXPECT_EQ(ClosedAmong({first, second, fds[busiersSecond]}, 0), std::vector<std::size_t>{});
    for (int fd : fds) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    ::close(first);
    ::close(second);
}

// A header-and-value request with its values.
Bytes ValueRequest(std::uint32_t code, std::uint32_t sequence, std::uint32_t sessionId,
                   std::uint32_t value1, std::uint32_t value2, std::uint32_t value3) {
    Bytes message;
    for (std::uint32_t word : {36u, 4u, code, sequence, sessionId, value1, value2, value3, 0u}) {
        Bytes be = Be32(word);
        message.insert(message.end(), be.begin(), be.end());
    }
    return message;
}

// The alias request (a header, two values, the counted text).
Bytes AliasRequest(std::uint32_t sequence, std::uint32_t sessionId, const std::string& alias) {
    Bytes message;
    for (std::uint32_t word : {32u + static_cast<std::uint32_t>(alias.size()), 4u, 56u, sequence,
                               sessionId, 0u, 0u, static_cast<std::uint32_t>(alias.size())}) {
        Bytes be = Be32(word);
        message.insert(message.end(), be.begin(), be.end());
    }
    message.insert(message.end(), alias.begin(), alias.end());
    return message;
}

// Reads replies until each of the sequences has had a reply with status
// (3 received, 2 started, 1 finished); false when one did not come in time.
bool AwaitStatus(TcpProbe& probe, std::set<std::uint32_t> sequences, std::uint32_t status,
                 int timeoutMs = kLimitMs) {
    const std::uint64_t deadline = platform::MonotonicMs() + static_cast<std::uint64_t>(timeoutMs);
    Bytes reply;
    while (!sequences.empty()) {
        const std::uint64_t now = platform::MonotonicMs();
        if (now >= deadline || !ReadReply(probe, &reply, static_cast<int>(deadline - now)) ||
            reply.size() < 24) {
            return false;
        }
        if (Be32At(reply, 8) != 3 && Be32At(reply, 20) == status) {
            sequences.erase(Be32At(reply, 12));
        }
    }
    return true;
}

// The simulator's process stopped (SIGSTOP) for as long as this lives: a
// command sent to an array waits for it, so what the array's task has
// started stays under way and everything behind it stays queued.
class HeldSimulator {
  public:
    explicit HeldSimulator(const std::string& pidFile) {
        std::string text;
        platform::ReadWholeFile(pidFile, &text);
        pid_ = static_cast<pid_t>(std::atoi(text.c_str()));
        held_ = pid_ > 0 && ::kill(pid_, SIGSTOP) == 0;
    }
    ~HeldSimulator() { Release(); }
    HeldSimulator(const HeldSimulator&) = delete;
    HeldSimulator& operator=(const HeldSimulator&) = delete;

    // Held and seen stopped by the kernel.
    bool Stopped() const { return held_ && testsupport::AwaitEveryThreadStopped(pid_, kLimitMs); }
    void Release() {
        if (held_) {
            ::kill(pid_, SIGCONT);
            held_ = false;
        }
    }

  private:
    pid_t pid_ = 0;
    bool held_ = false;
};

// Lines of the service's trace that contain text.
int TraceLines(testsupport::ServerProcess& server, const std::string& text) {
    const std::string err = server.Process().Stderr();
    int count = 0;
    for (std::size_t at = err.find(text); at != std::string::npos; at = err.find(text, at + 1)) {
        ++count;
    }
    return count;
}

TEST_F(HostileClientTest, ClientsKilledWithRequestsQueuedFreeTheirPlacesAtOnce) {
    StartServing(true, {"ORU_TRACE=1"});
    // An entry in the controller's log for a copy to carry.
    ASSERT_EQ(Strovsim({"log", serial_, "101", "2"}), 0);
    // The array certainly busy: the simulator does not answer, and a state
    // request of a client that stays (which needs the controller) is queued
    // for the array's task before everything below. Nothing queued behind
    // it can start before the simulator answers again.
    TcpProbe holder;
    const std::uint32_t holderId = SessionServed(holder);
    ASSERT_NE(holderId, 0u);
    HeldSimulator sim(root_.File("sim/strovsim.pid"));
    ASSERT_TRUE(sim.Stopped());
    ASSERT_TRUE(holder.Send(Frame(Request(12, 1, holderId))));
    ASSERT_TRUE(AwaitStatus(holder, {1}, 3));

    // Nineteen clients queue 20 state requests each, see each received and
    // are killed. The first also queues a copy of the controller log into
    // the service's log, a change of the alias and a read of the log
    // without copying.
    constexpr std::uint32_t kReads = 20;
    std::vector<std::unique_ptr<TcpProbe>> gone;
    for (int n = 0; n < 19; ++n) {
        auto probe = std::make_unique<TcpProbe>();
        const std::uint32_t id = SessionServed(*probe);
        ASSERT_NE(id, 0u) << n;
        Bytes burst;
        std::set<std::uint32_t> sent;
        auto add = [&](const Bytes& message) {
            const Bytes frame = Frame(message);
            burst.insert(burst.end(), frame.begin(), frame.end());
            sent.insert(static_cast<std::uint32_t>(sent.size() + 1));
        };
        for (std::uint32_t sequence = 1; sequence <= kReads; ++sequence) {
            add(Request(12, sequence, id));
        }
        if (n == 0) {
            add(ValueRequest(14, kReads + 1, id, 8192, 1, 1));
            add(AliasRequest(kReads + 2, id, "KEPT"));
            add(ValueRequest(14, kReads + 3, id, 8192, 1, 0));
        }
        ASSERT_TRUE(probe->Send(burst));
        ASSERT_TRUE(AwaitStatus(*probe, sent, 3)) << n;
        gone.push_back(std::move(probe));
    }
    gone.clear();
    // Their places are free at once, while all their requests still wait:
    // nineteen sessions are had at once.
    std::vector<std::unique_ptr<TcpProbe>> fresh;
    std::vector<std::uint32_t> ids;
    for (int n = 0; n < 19; ++n) {
        fresh.push_back(std::make_unique<TcpProbe>());
        const std::uint64_t deadline = platform::MonotonicMs() + kServedMs;
        std::uint32_t id = 0;
        while ((id = SessionServed(*fresh.back())) == 0 && platform::MonotonicMs() < deadline) {
            fresh.back() = std::make_unique<TcpProbe>();
            platform::SleepMs(20);
        }
        ASSERT_NE(id, 0u) << n;
        ids.push_back(id);
        ASSERT_TRUE(fresh.back()->Send(Frame(Request(12, 1, id))));
    }
    EXPECT_EQ(TraceLines(server_, "of a client that has gone dropped"), 0);
    sim.Release();

    // Each is answered behind the dead ones' work.
    ASSERT_TRUE(AwaitStatus(holder, {1}, 1));
    for (std::size_t n = 0; n < fresh.size(); ++n) {
        EXPECT_TRUE(AwaitStatus(*fresh[n], {1}, 1)) << n;
    }
    // Every queued read of the dead was dropped, each recorded, the plain
    // read of the controller log among them; the change and the copy ran.
    EXPECT_EQ(TraceLines(server_, "request 12 of a client that has gone dropped"), 19 * kReads);
    EXPECT_EQ(TraceLines(server_, "request 14 of a client that has gone dropped"), 1);
    std::string shown;
    ASSERT_EQ(Strovsim({"show"}, &shown), 0);
    EXPECT_NE(shown.find("alias \"KEPT"), std::string::npos) << shown;
    ASSERT_TRUE(holder.Send(Frame(Request(48, 2, holderId))));
    ASSERT_TRUE(AwaitStatus(holder, {2}, 1));
    const std::string directory = root_.File("c/oru_log");
    int copied = 0;
    for (const logtest::Record& record : logtest::ChainRecords(directory)) {
        if (record.recordClass != 2 || record.code != 1 || record.serial != serial_) {
            continue;
        }
        for (const std::string& name : logtest::ChainFileNames(directory)) {
            const logtest::Bytes file = logtest::ReadBytes(directory + "/" + name);
            if (record.fileOffset + 60 + 11 <= file.size()) {
                const unsigned char* entry = file.data() + record.fileOffset + 60;
                copied += ((entry[7] << 8) | entry[8]) == 101 && entry[10] == 2 ? 1 : 0;
            }
        }
    }
    EXPECT_EQ(copied, 1);
}

TEST_F(HostileClientTest, ASecureFileLeftFromAnEarlierConnectionProvesNothing) {
    StartServing(false);
    TcpProbe probe;
    ASSERT_TRUE(probe.Connect(ports_.tcp));
    // The file a killed client left for this port two minutes ago.
    const std::string file = admin_ + "/" + serial_ + ".local." + std::to_string(probe.LocalPort());
    ASSERT_TRUE(Touch(file));
    const timespec old[2] = {{::time(nullptr) - 120, 0}, {::time(nullptr) - 120, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), old, 0), 0);
    std::uint32_t answer = 0;
    ASSERT_TRUE(AskForSession(probe, SessionPreamble(serial_), &answer));
    EXPECT_EQ(answer, kNotAuthorized);
    EXPECT_FALSE(Exists(file)) << "the stale file stayed";
    // A client that makes its file now is served.
    TcpProbe good;
    EXPECT_NE(SessionServed(good), 0u);
}

TEST_F(HostileClientTest, SecureFilesLeftBehindAreRemovedAtStart) {
    ASSERT_TRUE(StartSimulator());
    admin_ = ConfigureAdministration();
    ASSERT_EQ(::mkdir((admin_ + "/SERDIR").c_str(), 0755), 0);
    const std::vector<std::string> leftovers = {"ARRAY1.local.4000", "ARRAY1.10.1.2.3.4001",
                                                "A.B.local.4002", "SERDIR/local.4003",
                                                "SERDIR/10.0.0.1.4004"};
    const std::vector<std::string> others = {"notes.txt", "ARRAY1.local.x", "SERDIR/readme",
                                             "ARRAY1.1.2.3.4005", "local.4006"};
    for (const std::string& name : leftovers) {
        ASSERT_TRUE(Touch(admin_ + "/" + name)) << name;
    }
    for (const std::string& name : others) {
        ASSERT_TRUE(Touch(admin_ + "/" + name)) << name;
    }
    const std::string target = root_.File("precious");
    ASSERT_TRUE(Touch(target));
    ASSERT_EQ(::symlink(target.c_str(), (admin_ + "/LINK.local.4007").c_str()), 0);
    StartServer();
    for (const std::string& name : leftovers) {
        EXPECT_FALSE(Exists(admin_ + "/" + name)) << name;
    }
    for (const std::string& name : others) {
        EXPECT_TRUE(Exists(admin_ + "/" + name)) << name;
    }
    EXPECT_TRUE(Exists(admin_ + "/LINK.local.4007"));
    EXPECT_TRUE(Exists(target));
}

TEST_F(HostileClientTest, AfterAFailoverTheListStillCarriesTheAlias) {
    StartServing(false);
    std::vector<ListedSubsystem> before;
    ASSERT_TRUE(ReadListEntries(&before));
    ASSERT_FALSE(before.front().alias.empty());
    ASSERT_EQ(Strovsim({"fail-controller", "0", "X"}), 0);
    // A state request makes the monitor choose its controller again: Y.
    TcpProbe probe;
    const std::uint32_t id = SessionServed(probe);
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(probe.Send(Frame(Request(12, 1, id))));
    Bytes reply;
    do {
        ASSERT_TRUE(ReadReply(probe, &reply));
        ASSERT_GE(reply.size(), 24u);
    } while (Be32At(reply, 8) == 3 || Be32At(reply, 20) != 1);
    std::vector<ListedSubsystem> after;
    ASSERT_TRUE(ReadListEntries(&after));
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].serial, before[i].serial);
        EXPECT_EQ(after[i].alias, before[i].alias) << after[i].serial;
    }
}

}  // namespace
}  // namespace netsrvtest
