// OruServr in the console of a fresh machine root with its network ports in
// etc/services, fixed waits shortened a hundredfold, and the helpers the
// network tests share: the session preamble, the list, authorized sessions,
// request frames and their replies.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "NetProbe.h"
#include "support/FreshRoot.h"
#include "support/ServerProcess.h"
#include "support/SimProcess.h"

namespace netsrvtest {

inline constexpr int kLimitMs = 30000;

// A header-and-value request: length 36, version 4, code, handle (sequence,
// session id), four zero values.
Bytes Request(std::uint32_t code, std::uint32_t sequence, std::uint32_t sessionId);
// A message frame: type 0, the length, the message.
Bytes Frame(const Bytes& message);
// One reply frame within timeoutMs: false when none arrived or it is no
// message frame.
bool ReadReply(TcpProbe& probe, Bytes* message, int timeoutMs = kLimitMs);

// One entry of the subsystem list as a revision-4 client reads it.
struct ListedSubsystem {
    std::string serial;
    std::string alias;
};

class NetServerTest : public ::testing::Test {
  protected:
    NetServerTest() : ports_(WriteServices(root_)), server_(root_, ORU_BIN_DIR) {}
    void TearDown() override;

    // Serves the simulated cabinets in this root (strovsim in the
    // background, stopped at tear-down); false when it cannot start.
    bool StartSimulator();
    // Runs one strovsim subcommand in this root; its exit code (0 done) and
    // its standard output in *output.
    int Strovsim(const std::vector<std::string>& arguments, std::string* output = nullptr);

    // Starts the service (extra environment added) and waits until it runs.
    // Fixed waits are a hundred times shorter unless realTime is set.
    void StartServer(const std::vector<std::string>& environment = {}, bool realTime = false);

    // Configures the administration directory C:\<directory> (created) and
    // returns its path on this machine.
    std::string ConfigureAdministration(const std::string& shareName = "",
                                        const std::string& directory = "oru_admin");

    // The 17-byte session preamble: connect word 00 04 00 00 and the
    // 13-byte serial field (serial, zero-padded; at most 13 bytes kept).
    static Bytes SessionPreamble(const std::string& serialField);
    static Bytes SessionPreamble(const Bytes& serialField);

    // Connects, sends the preamble, reads the 4-byte answer.
    bool AskForSession(TcpProbe& probe, const Bytes& preamble, std::uint32_t* answer,
                       int timeoutMs = kLimitMs);

    // Opens a session to serial from localAddress ("": 127.0.0.1) with the
    // secure file made in admin (as a client makes it), and checks that the
    // service took the file. The answer word (0 when nothing came).
    std::uint32_t OpenSession(TcpProbe& probe, const std::string& serial, const std::string& admin,
                              const std::string& localAddress = "", unsigned char revision = 4,
                              int timeoutMs = kLimitMs);

    // The subsystem list as a revision-4 client gets it within timeoutMs;
    // false when it did not come whole.
    bool ReadListEntries(std::vector<ListedSubsystem>* entries, int timeoutMs = kLimitMs);

    // Exact event-log record texts of the current root.
    static int CountRecords(const std::string& text);

    testsupport::FreshRoot root_;
    Ports ports_;
    testsupport::ServerProcess server_;
    bool started_ = false;
    bool simulating_ = false;
};

}  // namespace netsrvtest
