// Diagnostic state of one drive slot of a subsystem (index 0..11): the drive
// test that may run on it and what the controller log reported about it.
// The drive tests fill the test fields; the monitor sets the two marks when
// a controller-log entry names the slot.
#pragma once

#include <cstdint>

struct DriveSlotRecord {
    static constexpr std::uint32_t kStateIdle = 1;
    static constexpr std::uint32_t kStateRunning = 5;

    std::uint32_t drive = 0;
    std::uint32_t retry = 1;
    std::uint32_t healthA = 1;
    std::uint32_t healthB = 1;
    std::uint32_t verifyState = kStateIdle;
    std::uint32_t writeReadState = kStateIdle;
    std::uint32_t monitorFlag = 0;
    std::uint32_t errorCode = 256;
    // Diagnostic state the array state reports for the slot: 0 none, 1 a
    // test runs, 2 the last test found errors.
    std::uint32_t diagState = 0;
    // Set by a controller-log entry of kind 0 (code 102) resp. kind 2
    // (codes 144, 146) naming this slot; cleared by whoever acts on it.
    std::uint32_t logMarkA = 0;
    std::uint32_t logMarkB = 0;
};
