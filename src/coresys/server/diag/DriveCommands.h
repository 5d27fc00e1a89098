// The commands a drive test sends to the drive in one slot. The service's
// form goes through the active controller's drive exchange (StorSysDrive);
// each member returns true when the drive answered GOOD and leaves the
// command's outcome in result either way.
#pragma once

#include <cstdint>

#include "coresys/server/scsi/ScsiResult.h"

class StorSys;

class DriveCommands {
  public:
    virtual ~DriveCommands() = default;

    // The drive's address (its slot) as the commands carry it.
    virtual std::uint32_t Drive() const = 0;
    virtual bool TestUnitReady(ScsiResult& result) = 0;
    // READ CAPACITY(10): last block and block length.
    virtual bool ReadCapacity(std::uint32_t& lastBlock, std::uint32_t& blockLength,
                              ScsiResult& result) = 0;
    virtual bool Verify(std::uint32_t block, std::uint16_t count, ScsiResult& result) = 0;
    // count blocks of 512 bytes from or into buffer.
    virtual bool Write(std::uint32_t block, std::uint16_t count, const unsigned char* buffer,
                       ScsiResult& result) = 0;
    virtual bool Read(std::uint32_t block, std::uint16_t count, unsigned char* buffer,
                      ScsiResult& result) = 0;
    // The controller's record of the drive: word[0] its state, word[1] the
    // further value, word[2..5] the four drive values.
    virtual bool ReadDriveState(std::uint32_t word[6], ScsiResult& result) = 0;
    // The grown defect list (READ DEFECT DATA(10), byte 2 13: grown list,
    // physical-sector format), at most allocation bytes of it; a shorter
    // answer is no failure (the caller's buffer keeps what it held behind
    // it).
    virtual bool ReadGrownDefects(unsigned char* buffer, std::uint16_t allocation,
                                  ScsiResult& result) = 0;
    // Takes the drive out of the array with the controller's down command
    // (value 1, every allowance).
    virtual bool TakeDown(ScsiResult& result) = 0;
};

// The drive in a slot behind a controller.
class StorSysDrive : public DriveCommands {
  public:
    // controller must outlive the object.
    StorSysDrive(StorSys& controller, std::uint8_t drive)
        : controller_(controller), drive_(drive) {}

    std::uint32_t Drive() const override { return drive_; }
    bool TestUnitReady(ScsiResult& result) override;
    bool ReadCapacity(std::uint32_t& lastBlock, std::uint32_t& blockLength,
                      ScsiResult& result) override;
    bool Verify(std::uint32_t block, std::uint16_t count, ScsiResult& result) override;
    bool Write(std::uint32_t block, std::uint16_t count, const unsigned char* buffer,
               ScsiResult& result) override;
    bool Read(std::uint32_t block, std::uint16_t count, unsigned char* buffer,
              ScsiResult& result) override;
    bool ReadDriveState(std::uint32_t word[6], ScsiResult& result) override;
    bool ReadGrownDefects(unsigned char* buffer, std::uint16_t allocation,
                          ScsiResult& result) override;
    bool TakeDown(ScsiResult& result) override;

  private:
    StorSys& controller_;
    std::uint8_t drive_;
};
