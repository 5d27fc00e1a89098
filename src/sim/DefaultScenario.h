// The cabinets strovsim serves when it starts without a state file: two
// cabinets, each with controllers X and Y on two paths (a STROVANE and a
// PHYSICALDRIVE name), a few logical units and a hot spare, plus one plain
// disk that is not an array.
#pragma once

#include "sim/CabinetModel.h"

namespace sim {

class DefaultScenario {
  public:
    static WorldModel Build();
};

}  // namespace sim
