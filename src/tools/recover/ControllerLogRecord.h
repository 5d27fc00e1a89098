// The records of a controller's own log (0xF2 page 1) and their printers.
//
// The log and its record header are laid out as ControllerLogWalk reads
// them; the header's bytes 1 and 6 are kept here too. Type 0 (drive event,
// 18 bytes) adds the slot, three single bytes and a BE32 LBA; type 1
// (controller event, 14 bytes) four single bytes, byte 11 a message code;
// type 2 (change event, 28 bytes) a message code at byte 10 and 16 bytes
// kept from byte 12.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>

#include "coresys/common/ControllerLogWalk.h"

namespace salvage {

class LogMessageModules;

class LogRecord {
  public:
    static constexpr std::uint32_t kHeaderSize = ControllerLogWalk::kEntryHeaderLength;

    virtual ~LogRecord() = default;

    // Fills the fields from the record's bytes (at least Size() of them).
    virtual void Parse(const unsigned char* bytes);
    // Bytes the record takes in the log.
    virtual std::uint32_t Size() const { return kHeaderSize; }
    // The record in words, on out.
    virtual void Print(std::ostream& out, const LogMessageModules& modules) const;

    // A parsed record of the class its type byte names, or nullptr for an
    // unknown type or a record that does not fit the available bytes.
    static std::unique_ptr<LogRecord> Create(const unsigned char* bytes, std::uint32_t available);

    std::uint32_t type = 0;
    std::uint32_t kept1 = 0;
    std::uint32_t tix = 0;
    std::uint32_t kept6 = 0;
    std::uint32_t evCode = 0;
    std::uint32_t evCount = 0;
};

// Type 0: an event of the drive in a slot.
class DriveEventRecord : public LogRecord {
  public:
    static constexpr std::uint32_t kSize = ControllerLogWalk::kKind0Length;
    void Parse(const unsigned char* bytes) override;
    std::uint32_t Size() const override { return kSize; }
    void Print(std::ostream& out, const LogMessageModules& modules) const override;

    std::uint32_t slot = 0;
    std::uint32_t value[3] = {};  // bytes 11, 12, 13
    std::uint32_t lba = 0;
};

// Type 1: an event of the controller itself.
class ControllerEventRecord : public LogRecord {
  public:
    static constexpr std::uint32_t kSize = ControllerLogWalk::kKind1Length;
    void Parse(const unsigned char* bytes) override;
    std::uint32_t Size() const override { return kSize; }
    void Print(std::ostream& out, const LogMessageModules& modules) const override;

    std::uint32_t value = 0;        // byte 10
    std::uint32_t messageCode = 0;  // byte 11
    std::uint32_t data[2] = {};     // bytes 12, 13
};

// Type 2: a change of the configuration.
class ChangeEventRecord : public LogRecord {
  public:
    static constexpr std::uint32_t kSize = ControllerLogWalk::kKind2Length;
    void Parse(const unsigned char* bytes) override;
    std::uint32_t Size() const override { return kSize; }
    void Print(std::ostream& out, const LogMessageModules& modules) const override;

    std::uint32_t messageCode = 0;  // byte 10
    unsigned char kept[16] = {};    // bytes 12..27, not printed
};

// Drive slot name of a slot index: "A1", "B1", ... "B6"; "" outside 0..11.
const char* LogSlotName(std::uint32_t slot);

}  // namespace salvage
