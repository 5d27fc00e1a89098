// A one-connection remote shell service for the remrun tests.
//
// It listens on a free loopback port and, once told how to behave, serves a
// single client in a thread the way a shell service does: it reads the
// request (the client's error port in decimal, the local user, the remote
// user and the command, each ended by a zero byte), connects back to the
// error port from the loopback address when that port is not 0, answers
// with the status byte and sends the output on the main connection and the
// error output on the error connection, then closes both. Finish waits for
// the client to be served and tells what arrived.
#pragma once

#include <cstdint>
#include <string>
#include <thread>

namespace remruntest {

enum class RshBehaviour {
    ANSWER,               // status byte 0, output, error output
    REFUSE,               // status byte 1 and the output as the reason
    CLOSE_AT_ONCE,        // closes right after accepting, reads nothing
    CLOSE_BEFORE_ANSWER,  // reads the request, closes without a byte
    RESET_DURING_OUTPUT,  // status byte 0, the output, then a reset
    REFUSE_THEN_RESET,    // status byte 1, the output as the reason, then a reset
    READ_INPUT_FIRST      // like a command that reads its input (cat): answers only
                          // once the client has ended its sending side
};

struct RshRequest {
    bool accepted = false;  // a client connected
    bool complete = false;  // all four fields arrived, each ended by a zero
    std::uint16_t clientPort = 0;
    std::string errorPort;
    std::string localUser;
    std::string remoteUser;
    std::string command;
    bool errorConnected = false;  // the connection back to the error port was made
    bool inputEnded = false;      // the client ended its sending side (READ_INPUT_FIRST)
};

class RshTestServer {
  public:
    RshTestServer();
    ~RshTestServer();
    RshTestServer(const RshTestServer&) = delete;
    RshTestServer& operator=(const RshTestServer&) = delete;

    // 0 when no port could be opened.
    std::uint16_t Port() const { return port_; }

    void Serve(RshBehaviour behaviour, const std::string& output, const std::string& errorOutput);
    RshRequest Finish();

  private:
    void Run(RshBehaviour behaviour, std::string output, std::string errorOutput);

    int listenFd_ = -1;
    std::uint16_t port_ = 0;
    std::thread thread_;
    RshRequest request_;
};

// True when this process may bind a port below 1024 (root, or the capability).
bool CanBindReservedPort();

}  // namespace remruntest
