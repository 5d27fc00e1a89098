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
