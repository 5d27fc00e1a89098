// One live subsystem as the service reports it: what the listener sends in
// the subsystem list and what sessions look up by serial. The device
// manager rebuilds the whole table after every grouping.
//
// Read an entry only while holding the device manager's subsystem-list lock
// (the listener and the sessions) or its subsystem-in-use lock (the
// subsystem tasks): the table, the device records and the monitors it points
// to change only while both are held.
#pragma once

#include <cstdint>
#include <string>

#include "coresys/server/scsi/DeviceRecord.h"

class OruLite;

struct SubsystemEntry {
    // 1 when the subsystem's host-sequence exchange succeeded.
    std::uint32_t sequenceFlag = 0;
    // The 12-character backplane id, NUL-terminated.
    char serialNumber[13] = {};
    // Device records of the controllers in slot X and slot Y (nullptr: empty).
    const DeviceRecord* controllerDevice[2] = {nullptr, nullptr};
    std::uint32_t subsystemTypeId = 0;
    // 0 or 1: the controller commands go to.
    std::uint32_t activeController = 0;
    std::uint32_t pageFirstValue = 0;
    OruLite* monitor = nullptr;
    // Filled by Alias.
    char alias[13] = {};
    // The active controller's format level at the time of the build (the
    // alias command is not sent below level 3).
    std::uint32_t formatLevel = 0xFFFFFFFFu;

    // Reads the subsystem's alias through the controller the monitor uses
    // now (after a failover, the partner of the table's one): alias
    // becomes the text when the read succeeds and is shorter than 13
    // characters, else stays empty. Runs storage commands (takes the device
    // lock); call it under the subsystem-list lock.
    void Alias();
    // The same read, leaving the entry as it is: the text the array holds
    // (up to 16 characters), empty when the read fails. Call it under the
    // subsystem-list lock or the subsystem-in-use lock.
    std::string ReadAlias() const;
};
