#include "NetServerFixture.h"

#include <csignal>

#include "platform/Root.h"

namespace netsrvtest {

void NetServerTest::TearDown() {
    if (started_ && server_.Process().Running()) {
        server_.Process().Signal(SIGTERM);
        EXPECT_EQ(server_.Process().WaitExit(kLimitMs), 0) << server_.Process().Stderr();
    }
    if (simulating_) {
        Strovsim({"stop"});
    }
}

bool NetServerTest::StartSimulator() {
    // Stopped at tear-down even when the start only half succeeded.
    simulating_ = true;
    // A virtual clock: simulated time passes only by "strovsim advance".
    return Strovsim({"serve", "--daemon", "--time-scale", "0"}) == 0;
}

int NetServerTest::Strovsim(const std::vector<std::string>& arguments, std::string* output) {
    return testsupport::RunStrovsim(ORU_BIN_DIR, root_, arguments, output, nullptr, kLimitMs);
}

void NetServerTest::StartServer(const std::vector<std::string>& environment, bool realTime) {
    std::vector<std::string> env = {realTime ? "ORU_TIME_SCALE" : "ORU_TIME_SCALE=100"};
    env.insert(env.end(), environment.begin(), environment.end());
    ASSERT_TRUE(server_.Start(env)) << server_.Process().StartError();
    started_ = true;
    ASSERT_TRUE(server_.WaitUntilRunning(kLimitMs)) << server_.Process().Stderr();
}

std::string NetServerTest::ConfigureAdministration(const std::string& shareName,
                                                   const std::string& directory) {
    EXPECT_TRUE(WriteAdministration("C:\\" + directory, shareName));
    std::string dir = root_.File("c/" + directory);
    EXPECT_EQ(platform::MakeDirs(dir), 0);
    return dir;
}

Bytes NetServerTest::SessionPreamble(const std::string& serialField) {
    return SessionPreamble(Bytes(serialField.begin(), serialField.end()));
}

Bytes NetServerTest::SessionPreamble(const Bytes& serialField) {
    Bytes preamble = {0x00, 0x04, 0x00, 0x00};
    Bytes field(13, 0);
    for (std::size_t i = 0; i < serialField.size() && i < field.size(); ++i) {
        field[i] = serialField[i];
    }
    preamble.insert(preamble.end(), field.begin(), field.end());
    return preamble;
}

bool NetServerTest::AskForSession(TcpProbe& probe, const Bytes& preamble, std::uint32_t* answer,
                                  int timeoutMs) {
    Bytes got;
    if (!probe.Send(preamble) || !probe.ReadExactly(4, timeoutMs, &got)) {
        return false;
    }
    *answer = Be32At(got, 0);
    return true;
}

std::uint32_t NetServerTest::OpenSession(TcpProbe& probe, const std::string& serial,
                                         const std::string& admin, const std::string& localAddress,
                                         unsigned char revision, int timeoutMs) {
    if (!probe.Connect(ports_.tcp, localAddress, timeoutMs)) {
        ADD_FAILURE() << "connect";
        return 0;
    }
    const std::string peer = localAddress.empty() ? "local" : localAddress;
    const std::string file =
        admin + "/" + serial + "." + peer + "." + std::to_string(probe.LocalPort());
    EXPECT_TRUE(Touch(file));
    Bytes preamble = SessionPreamble(serial);
    preamble[1] = revision;
    std::uint32_t answer = 0;
    EXPECT_TRUE(AskForSession(probe, preamble, &answer, timeoutMs));
    EXPECT_FALSE(Exists(file)) << "the secure file stayed";
    return answer;
}

bool NetServerTest::ReadListEntries(std::vector<ListedSubsystem>* entries, int timeoutMs) {
    entries->clear();
    TcpProbe probe;
    Bytes got;
    if (!probe.Connect(ports_.tcp, "", timeoutMs) || !probe.Send({0x00, 0x04, 0x00, 0x01}) ||
        !probe.ReadExactly(4, timeoutMs, &got)) {
        return false;
    }
    const std::uint32_t count = Be32At(got, 0);
    for (std::uint32_t n = 0; n < count; ++n) {
        // Release (8) and server name (49), then the serial and the alias
        // (13 each); the rest of the 656-byte record is not looked at here.
        if (!probe.ReadExactly(656, timeoutMs, &got)) {
            return false;
        }
        auto text = [&got](std::size_t at) {
            std::string field;
            for (std::size_t i = at; i < at + 13 && got[i] != 0; ++i) {
                field.push_back(static_cast<char>(got[i]));
            }
            return field;
        };
        entries->push_back({text(57), text(70)});
    }
    return true;
}

Bytes Request(std::uint32_t code, std::uint32_t sequence, std::uint32_t sessionId) {
    Bytes message;
    for (std::uint32_t word : {36u, 4u, code, sequence, sessionId, 0u, 0u, 0u, 0u}) {
        Bytes be = Be32(word);
        message.insert(message.end(), be.begin(), be.end());
    }
    return message;
}

Bytes Frame(const Bytes& message) {
    Bytes frame = Be32(0);
    Bytes length = Be32(static_cast<std::uint32_t>(message.size()));
    frame.insert(frame.end(), length.begin(), length.end());
    frame.insert(frame.end(), message.begin(), message.end());
    return frame;
}

bool ReadReply(TcpProbe& probe, Bytes* message, int timeoutMs) {
    Bytes head;
    if (!probe.ReadExactly(8, timeoutMs, &head) || Be32At(head, 0) != 0) {
        return false;
    }
    return probe.ReadExactly(Be32At(head, 4), timeoutMs, message);
}

int NetServerTest::CountRecords(const std::string& text) {
    int count = 0;
    for (const std::string& record : testsupport::EventLogTexts()) {
        if (record == text) {
            ++count;
        }
    }
    return count;
}

}  // namespace netsrvtest
