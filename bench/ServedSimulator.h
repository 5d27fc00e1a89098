// A simulator served on sockets in this process for a whole benchmark run:
// the default scenario, a temporary ORU_ROOT (this process pointed at it)
// holding the device sockets, the simulator's own socket server
// (sim::SimServer) on a thread. The destructor stops the server and removes
// the root.
#pragma once

#include <memory>
#include <string>
#include <thread>

#include "sim/SimServer.h"
#include "sim/Simulator.h"

namespace benchsupport {

class ServedSimulator {
  public:
    // program: named in a message when the server cannot start.
    explicit ServedSimulator(const char* program);
    ~ServedSimulator();
    ServedSimulator(const ServedSimulator&) = delete;
    ServedSimulator& operator=(const ServedSimulator&) = delete;

    bool Ok() const { return ok_; }

    std::shared_ptr<sim::Simulator> simulator;
    std::string root;

  private:
    std::unique_ptr<sim::SimServer> server_;
    std::thread thread_;
    bool ok_ = false;
};

}  // namespace benchsupport
