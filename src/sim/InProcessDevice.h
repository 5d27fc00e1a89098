// A simulated device path served inside the calling process: the platform
// pass-through seam's in-process backend. Each open gets its own
// SessionContext, as each socket connection does, so a pending drive
// exchange belongs to the handle that sent it.
#pragma once

#include <memory>
#include <string>

#include "platform/scsi/ScsiDevice.h"
#include "sim/SessionContext.h"
#include "sim/Simulator.h"

namespace sim {

class InProcessDevice : public platform::ScsiDevice {
  public:
    InProcessDevice(std::shared_ptr<Simulator> sim, std::string path)
        : sim_(std::move(sim)), path_(std::move(path)) {}

    int GetAddress(platform::ScsiAddress& address) override;
    int GetCapabilities(platform::ScsiCapabilities& capabilities) override;
    void PassThrough(const platform::ScsiRequest& request, platform::ScsiOutcome& outcome) override;

    // Registers every path of the simulator under its name, so that
    // platform::OpenScsiDevice("\\.\STROVANE0") reaches it. A path that is
    // removed later fails to open, as a vanished device does.
    static void RegisterAll(const std::shared_ptr<Simulator>& sim);

    // A simulator of the given cabinets (nothing written to disk) with all
    // its paths registered; the default scenario when world is empty.
    static std::shared_ptr<Simulator> ServeWorld(WorldModel world = {});

  private:
    std::shared_ptr<Simulator> sim_;
    std::string path_;
    SessionContext session_;
};

// Converts between the platform's command block and the simulator's.
SimCommand ToSimCommand(const platform::ScsiRequest& request);
void FromSimReply(const SimReply& reply, platform::ScsiOutcome& outcome);

}  // namespace sim
