// One controller of a cabinet answering the command blocks of its host
// paths: identification pages, the vendor commands, the standard commands
// on its logical units and the drive exchange. Every data-in reply moves
// exactly the CDB's allocation length (zero-padded), except the data phase
// of a drive exchange, which moves what the drive gave. Unsupported opcodes
// and pages, and malformed CDBs, get CHECK CONDITION with ILLEGAL REQUEST.
#pragma once

#include <cstdint>

#include "sim/CabinetModel.h"
#include "sim/SessionContext.h"
#include "sim/SimScsi.h"

namespace sim {

class ControllerEngine {
  public:
    // slot: 0 = X, 1 = Y. nowTicks stamps controller log entries.
    ControllerEngine(CabinetModel& cab, int slot, SessionContext& session, std::uint32_t nowTicks)
        : cab_(cab), slot_(slot), session_(session), ticks_(nowTicks) {}

    // Runs one command. Sets *changed when the cabinet's stored state changed.
    SimReply Execute(const SimCommand& cmd, bool* changed);

    // Allocation length of a data-in command (what the reply must move), or
    // -1 when the opcode has none of its own.
    static long AllocationLength(const std::vector<std::uint8_t>& cdb);

  private:
    ControllerModel& Self() { return cab_.controllers[slot_]; }
    ControllerModel& Partner() { return cab_.controllers[1 - slot_]; }
    bool PartnerAvailable();
    bool Silent(int key);

    SimReply Inquiry(const SimCommand& cmd);
    SimReply ModeSense(const SimCommand& cmd);
    SimReply ModeSelect(const SimCommand& cmd, bool* changed);
    SimReply StateBlock(const SimCommand& cmd);
    SimReply DriveState(const SimCommand& cmd);
    SimReply DriveList(const SimCommand& cmd);
    SimReply LunTable(const SimCommand& cmd);
    SimReply Capacity(const SimCommand& cmd);
    SimReply Rebuild(const SimCommand& cmd, bool* changed);
    SimReply SendRequest(const SimCommand& cmd);
    SimReply ExchangeReply(const SimCommand& cmd, bool* changed);
    SimReply DriveManagement(const SimCommand& cmd, bool* changed);
    SimReply LunManagement(const SimCommand& cmd, bool* changed);
    SimReply SubsystemControl(const SimCommand& cmd, bool* changed);
    SimReply HostSequence(const SimCommand& cmd, bool* changed);
    SimReply ControllerPages(const SimCommand& cmd, bool* changed);
    SimReply RawPage(const SimCommand& cmd);
    SimReply Identifiers(const SimCommand& cmd, bool* changed);
    SimReply LunCommand(const SimCommand& cmd, bool* changed);
    SimReply WriteBuffer(const SimCommand& cmd, bool* changed);

    CabinetModel& cab_;
    int slot_;
    SessionContext& session_;
    std::uint32_t ticks_;
};

}  // namespace sim
