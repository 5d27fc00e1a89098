// The strovsim command line: serve the simulated cabinets, load a scenario,
// show the state, stop the server, and pass fault injections and trace
// reads to the running server through its control socket.
// Exit codes: 0 done, 1 failed, 2 bad argument or scenario.
#pragma once

#include <string>

namespace sim {

class StrovsimCli {
  public:
    static int Run(int argc, char** argv);

    // Sends one control request to the running server. Returns 0 and the
    // whole answer ("OK\n..." or "ERROR ...\n"), or errno when no server
    // answers (ENOENT / ECONNREFUSED: none running).
    static int SendControl(const std::string& line, std::string* answer);

    // ORU_ROOT/sim/state.json and ORU_ROOT/sim/strovsim.pid.
    static std::string StateFile();
    static std::string PidFile();
};

}  // namespace sim
