// In-process simulated cabinets for the device-manager tests: a simulator
// whose paths are registered as in-process devices, a fresh machine root,
// and the calling thread bound to a task (the device manager's stop waits
// for its tasks' answers). Control() runs one strovsim control line.
//
// The simulator's clock is virtual: simulated time passes only when a test
// advances it, or, after FollowSleeps(), by exactly the time every waiting
// code path in the process asks to sleep. Nothing depends on the machine's
// speed.
#pragma once

#include <memory>
#include <string>

#include "coresys/server/task/OruTask.h"
#include "sim/CabinetModel.h"
#include "sim/Simulator.h"
#include "support/FreshRoot.h"

namespace devmgrtest {

class InProcessCabinets {
  public:
    explicit InProcessCabinets(sim::WorldModel world);
    ~InProcessCabinets();

    sim::Simulator& Sim() { return *sim_; }
    // Runs a control line; the answer or error goes to *answer (may be null).
    bool Control(const std::string& line, std::string* answer = nullptr);
    std::string Trace(const std::string& path) { return sim_->Trace(path); }
    // From now on every platform::SleepMs of the process moves the simulated
    // clock on by the time it asks for (until the object goes).
    void FollowSleeps();

    // The default scenario: two cabinets with X and Y on two paths each and
    // one plain disk.
    static sim::WorldModel DefaultWorld();
    // Only plain disks.
    static sim::WorldModel NoArrays();
    // count cabinets of one controller path each (X only).
    static sim::WorldModel ManyCabinets(int count);

  private:
    testsupport::FreshRoot root_;
    std::shared_ptr<sim::Simulator> sim_;
};

// Binds the test's main thread to a task once.
void BindTestThread();

}  // namespace devmgrtest
