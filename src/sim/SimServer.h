// Serves a Simulator on Unix-domain stream sockets: one listening socket per
// device path at ORU_ROOT/dev/<NAME> speaking the pass-through frames of
// platform::ScsiWire, and a control socket at ORU_ROOT/sim/control taking
// one text request per connection (Simulator::Control, plus "load FILE" and
// "stop"). Every client connection runs on its own thread with its own
// SessionContext, so several hosts may use one cabinet at once. A path that
// is removed loses its socket file and its open connections; one that is
// added back gets a fresh socket.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/Simulator.h"

namespace sim {

class SimServer {
  public:
    explicit SimServer(std::shared_ptr<Simulator> sim);
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // Creates the directories and sockets. Returns 0 or errno; *error names
    // what failed.
    int Start(std::string* error);

    // Serves until Stop, a "stop" request, or the control socket file
    // vanishing (its ORU_ROOT was removed); then closes every socket and
    // removes the socket files.
    void Run();

    // Asks Run to end. Safe from a signal handler.
    void Stop();

    static std::string ControlPath();

  private:
    struct Listener {
        int fd = -1;
        std::string file;
    };
    struct Connection {
        int fd = -1;
        std::string path;
        std::thread thread;
        std::atomic<bool> done{false};
    };

    void SyncListeners();
    int Listen(const std::string& file, int* fd);
    void Serve(Connection* conn);
    void HandleControl(int fd);
    void ReapConnections(bool all);

    std::shared_ptr<Simulator> sim_;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    int controlFd_ = -1;
    std::atomic<bool> stop_{false};
    std::uint64_t generation_ = ~0ull;
    std::map<std::string, Listener> listeners_;  // by path name
    std::mutex connMutex_;
    std::vector<std::unique_ptr<Connection>> connections_;
};

}  // namespace sim
