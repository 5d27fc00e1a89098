// A simulated disk drive answering the command blocks a controller forwards
// to it (and a plain disk on its own path): identity, capacity, mode and log
// pages, defect list and sparse data blocks.
#pragma once

#include <cstdint>

#include "sim/CabinetModel.h"
#include "sim/SimScsi.h"

namespace sim {

class DriveEngine {
  public:
    explicit DriveEngine(DriveModel& drive) : drive_(drive) {}

    // Runs one drive command. data is the data-out of the command (may be
    // shorter than asked; missing bytes count as zero). maxIn caps the data
    // returned. The reply carries the drive's own status and sense. Sets
    // *changed when something stored changed.
    SimReply Execute(const std::vector<std::uint8_t>& cdb, const std::vector<std::uint8_t>& data,
                     std::uint32_t maxIn, bool* changed);

  private:
    SimReply Inquiry(const std::vector<std::uint8_t>& cdb);
    SimReply ReadDefects(const std::vector<std::uint8_t>& cdb);
    SimReply LogSense(const std::vector<std::uint8_t>& cdb);
    SimReply ReadWrite(const std::vector<std::uint8_t>& cdb, const std::vector<std::uint8_t>& data,
                       bool* changed);

    DriveModel& drive_;
};

// Builds a reply that moves exactly `length` bytes of `page` (zero-padded
// or cut).
SimReply DataReply(std::vector<std::uint8_t> page, std::uint32_t length);

}  // namespace sim
