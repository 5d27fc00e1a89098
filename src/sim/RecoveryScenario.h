// Worlds that start one cabinet in each of the states the recovery tool
// meets: a configuration to recover (one set, several sets, drives in
// state 0 beside foreign ones), a parity scan wanted, severe or other
// conditions, recovery stopped, work already running, controllers of an
// old revision, and a healthy cabinet. Each carries a controller log with
// entries of all three kinds. "strovsim serve --recovery NAME" starts one.
//
// The cabinet is kSerial, controller X (active) on STROVANE0 and Y on
// STROVANE1.
#pragma once

#include <string>
#include <vector>

#include "sim/CabinetModel.h"

namespace sim {

class RecoveryScenario {
  public:
    static constexpr const char* kSerial = "QXSALVAGE001";
    // Volume set ids the scenarios give their drives.
    static constexpr const char* kSetA = "SALVAGE-VOLSET-A";
    static constexpr const char* kSetB = "SALVAGE-VOLSET-B";
    static constexpr const char* kSetHome = "SALVAGE-VOLSET-0";

    // The names, in the order the usage lists them.
    static const std::vector<std::string>& Names();

    // The world of a name; false for a name not in Names().
    static bool Build(const std::string& name, WorldModel* world);
};

}  // namespace sim
