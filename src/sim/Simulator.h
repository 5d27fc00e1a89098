// The simulated cabinets behind every device path, shared by all host
// connections (socket clients of strovsim, in-process devices of a test).
// Each command runs under one lock, so commands from several connections
// see one consistent state; each connection keeps its own SessionContext
// (its pending drive exchange). After a command that changed stored state
// the whole state is written to the state file (temporary file, then
// rename), and so is the end of a timed operation that simulated time
// brought, so a restart of strovsim keeps the arrays; host-sequence
// exchanges and drive commands through the exchange are saved with the next
// other change (also at the first command after kDataSaveDelayMs), or when
// strovsim stops. The blocks written to drives and units are no part of the
// state file: with a state file, every drive and unit keeps them in its own
// sparse block file in the directory "blocks" beside it, written in place
// (BlockStore); the state file names each one. Thread-safe.
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
    // Binds every drive and unit without a block file to one (a fresh name)
    // and moves blocks held in memory into the files. Returns 0 or errno.
    int BindBlocksLocked();
    // Removes the block files of drives and units that are no more.
    void RemoveStaleBlocksLocked();
    bool ControlLocked(const std::vector<std::string>& words, std::string* answer, bool* changed);
    PathModel* FindPath(const std::string& name);
    const PathModel* FindPath(const std::string& name) const;
    SimReply PlainDisk(PlainDiskModel& disk, const SimCommand& cmd, bool* changed);

    mutable std::mutex mutex_;
    WorldModel world_;
    std::string stateFile_;
    std::string blocksDir_;  // empty without a state file
    FaultTable faults_;
    LunSetAttention lunSetAttention_;
    CommandTrace trace_;
    std::uint64_t lastRealMs_;
    double carryMs_ = 0;
    std::uint64_t ticks_ = 0;
    std::uint64_t pathGeneration_ = 0;
    // Drive exchanges not yet saved, since when (monotonic ms).
    static constexpr std::uint64_t kDataSaveDelayMs = 2000;
    bool dataWaiting_ = false;
    std::uint64_t dataSince_ = 0;
};

}  // namespace sim
