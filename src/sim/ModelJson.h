// The cabinets as JSON: the state file strovsim keeps under ORU_ROOT and the
// scenario files it loads share one format; a scenario may leave out any
// field (defaults fill it). Reading checks every value's type and range and
// reports the first fault; nothing half-read is ever returned.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "sim/CabinetModel.h"

namespace sim {

class ModelJson {
  public:
    static nlohmann::json ToJson(const WorldModel& world);

    // Fills *world from j. Returns false with a one-line *error (naming the
    // offending field) when j is not a valid scenario; *world is then unchanged.
    static bool FromJson(const nlohmann::json& j, WorldModel* world, std::string* error);

    // Parses text and calls FromJson.
    static bool FromText(const std::string& text, WorldModel* world, std::string* error);

    // Assigns dense path names and plausible SCSI addresses where the
    // scenario gave none, and checks that every path names something real.
    static bool CheckPaths(WorldModel* world, std::string* error);
};

}  // namespace sim
