// The simulated cabinets behind every device path, shared by all host
// connections (socket clients of strovsim, in-process devices of a test).
// Each command runs under one lock, so commands from several connections
// see one consistent state; each connection keeps its own SessionContext
// (its pending drive exchange). After a command that changed stored state
// the whole state is written to the state file (temporary file, then
// rename), and so is the end of a timed operation that simulated time
// brought, so a restart of strovsim keeps the arrays; host-sequence
// exchanges and data written to a drive through the exchange are saved with
// the next other change (the data also at the first command after
// kDataSaveDelayMs), or when strovsim stops. Thread-safe.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "sim/CabinetModel.h"
#include "sim/CommandTrace.h"
#include "sim/FaultTable.h"
#include "sim/LunSetAttention.h"
#include "sim/SessionContext.h"
#include "sim/SimScsi.h"

namespace sim {

struct PathAddress {
    std::uint8_t port = 0, pathId = 0, target = 0, lun = 0;
};

class Simulator {
  public:
    // stateFile empty: nothing is written (unit tests).
    Simulator(WorldModel world, std::string stateFile);

    // Runs one command on a path. A removed path, or a controller that is
    // absent or failed, answers with a system error (ENODEV / EIO). The
    // delay of a scripted fault is returned in *delayMs for the caller to
    // wait outside the lock (0 when none).
    SimReply Execute(const std::string& path, SessionContext& session, const SimCommand& cmd,
                     std::uint64_t* delayMs = nullptr);

    // The path exists and is not removed.
    bool PathOpen(const std::string& path) const;
    bool Address(const std::string& path, PathAddress* address) const;
    std::vector<std::string> PathNames(bool includeRemoved) const;

    // Control requests (the lines of the control socket and of strovsim's
    // fault subcommands). Returns true and the answer text, or false and a
    // one-line error. "help" lists them.
    bool Control(const std::string& line, std::string* answer);

    // Replaces the whole world (a loaded scenario) and saves it.
    void Replace(WorldModel world);

    // Moves every long operation on by ms of simulated time. With the time
    // scale 0 this is the only way simulated time passes.
    void Advance(std::uint64_t ms);

    WorldModel Snapshot() const;
    std::string Trace(const std::string& path) const;

    // Writes the state file now. Returns 0 or errno.
    int Save();

    // Increments on every path added or removed (the server watches it).
    std::uint64_t PathGeneration() const;

  private:
    void AdvanceClockLocked();
    // Moves simulated time on by ms; true when that changed stored state.
    bool AdvanceLocked(std::uint64_t ms);
    int SaveLocked();
    bool ControlLocked(const std::vector<std::string>& words, std::string* answer, bool* changed);
    PathModel* FindPath(const std::string& name);
    const PathModel* FindPath(const std::string& name) const;
    SimReply PlainDisk(PlainDiskModel& disk, const SimCommand& cmd, bool* changed);

    mutable std::mutex mutex_;
    WorldModel world_;
    std::string stateFile_;
    FaultTable faults_;
    LunSetAttention lunSetAttention_;
    CommandTrace trace_;
    std::uint64_t lastRealMs_;
    double carryMs_ = 0;
    std::uint64_t ticks_ = 0;
    std::uint64_t pathGeneration_ = 0;
    // Blocks written and not yet saved, since when (monotonic ms).
    static constexpr std::uint64_t kDataSaveDelayMs = 2000;
    bool dataWaiting_ = false;
    std::uint64_t dataSince_ = 0;
};

}  // namespace sim
