// Records that the storage commands decode controller replies into. Byte
// layouts are in docs/controller-interface.md; these hold the values only.
#pragma once

#include <cstdint>

// Cabinet status (0xF2 page 3): word 0 the attention flag, words 1..42 the
// 42 BE32 values, words 43..54 one per cabinet slot, words 55..69 the level-3
// values (0 below level 3).
struct CabinetStatusRecord {
    static constexpr std::uint32_t kWords = 70;
    static constexpr std::uint32_t kMaxSlots = 12;
    std::uint32_t word[kWords] = {};
    std::uint32_t slotCount = 0;  // slots decoded (at most 12)
};

// Vendor mode page 0x21, words 0..27 (word 0 is the caller's).
struct ModePage21Record {
    std::uint32_t word[28] = {};
};

// Vendor mode page 0x22, words 0..16 (word 0 is the caller's).
struct ModePage22Record {
    std::uint32_t word[17] = {};
};

// One drive of the drive list (0x22), completed from the drive itself for
// short list entries.
struct DriveTableEntry {
    std::uint32_t address = 0;         // drive slot 0..11
    char volumeSetId[17] = {};         // entry bytes 1..16
    char driveId[17] = {};             // entry bytes 17..32
    std::uint32_t state = 1;           // 1: no drive
    std::uint32_t stateValue = 0;      // further state value
    std::uint32_t lastBlock = 0;       // block count - 1
    std::uint32_t peripheralType = 0;  // entry byte 35
    std::uint32_t scsiVersion = 0;     // entry byte 36
    char productId[17] = {};
    char revision[5] = {};
    char serial[13] = {};
    std::uint32_t value[4] = {};          // four drive values
    std::uint32_t predictiveFailure = 0;  // level 3 only
};

// One entry of the LUN table (0x23 select 0).
struct LunTableEntry {
    std::uint32_t status = 0;  // 0: no such LUN
    std::uint32_t blocks = 0;  // 512-byte blocks
};

// One entry of the missing-drive list (0x23 select 1).
struct MissingDriveEntry {
    std::uint32_t present = 0;
    char productId[17] = {};
    char driveId[17] = {};
    char serial[13] = {};
    char vendor[9] = {};
    char volumeSetId[17] = {};
    std::uint32_t lastBlock = 0;  // block count - 1
};

// Identity page 0xE0 (28-byte form).
struct IdentityPage {
    char productCode[11] = {};
    char firmwareRevision[11] = {};
    std::uint32_t formatLevel = 0;  // digits at 16..17, 0 unless both are digits
    unsigned char raw[28] = {};
};

// Standard INQUIRY (36 bytes).
struct InquiryData {
    std::uint32_t peripheral = 0;
    std::uint32_t version = 0;
    char vendor[9] = {};
    char productId[17] = {};
    char revision[5] = {};
    unsigned char raw[36] = {};
};

// Unit serial number page 0x80 (48 bytes).
struct UnitSerialPage {
    std::uint32_t active = 0;  // byte 2 bit 0
    char serial[17] = {};
    char partnerSerial[17] = {};
    char backplaneId[13] = {};
    unsigned char raw[48] = {};
};

// Subsystem state block (0x20) decoded: value[1..24] (value[0] unused) and
// the flag bytes 3, 4, 5 of the block.
struct SubsystemStateRecord {
    static constexpr std::uint32_t kBlockLength = 32;
    std::uint32_t value[25] = {};
    std::uint8_t flags3 = 0;
    std::uint8_t flags4 = 0;
    std::uint8_t flags5 = 0;
};
