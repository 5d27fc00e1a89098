#include "coresys/server/diag/DriveCommands.h"

#include "coresys/server/storsys/StorSys.h"

namespace {

// The grown list in physical-sector format: the list bit (0x08) and format 5.
constexpr std::uint8_t kGrownPhysicalSector = 5;
// The down command of a drive whose test must end: value 1, every allowance.
constexpr std::uint32_t kDownValue = 1;
constexpr std::uint32_t kDownAllowAll = 2;

}  // namespace

bool StorSysDrive::TestUnitReady(ScsiResult& result) {
    return controller_.DriveTestUnitReady(drive_, result) != 0;
}

bool StorSysDrive::ReadCapacity(std::uint32_t& lastBlock, std::uint32_t& blockLength,
                                ScsiResult& result) {
    return controller_.DriveReadCapacity(drive_, lastBlock, blockLength, result) != 0;
}

bool StorSysDrive::Verify(std::uint32_t block, std::uint16_t count, ScsiResult& result) {
    return controller_.DriveVerify(drive_, block, count, result) != 0;
}

bool StorSysDrive::Write(std::uint32_t block, std::uint16_t count, const unsigned char* buffer,
                         ScsiResult& result) {
    return controller_.DriveWrite(drive_, block, count, buffer, result) != 0;
}

bool StorSysDrive::Read(std::uint32_t block, std::uint16_t count, unsigned char* buffer,
                        ScsiResult& result) {
    return controller_.DriveRead(drive_, block, count, buffer, result) != 0;
}

bool StorSysDrive::ReadDriveState(std::uint32_t word[6], ScsiResult& result) {
    return controller_.ReadPhysicalDriveState(drive_, word, result) != 0;
}

bool StorSysDrive::ReadGrownDefects(unsigned char* buffer, std::uint16_t allocation,
                                    ScsiResult& result) {
    // A drive may answer with its list only, shorter than the allocation:
    // the list's own header says how long it is.
    std::uint32_t moved = 0;
    return controller_.DriveReadDefectData(drive_, false, true, kGrownPhysicalSector, buffer,
                                           allocation, &moved, result) != 0;
}

bool StorSysDrive::TakeDown(ScsiResult& result) {
    return controller_.DownPhysicalDrive(kDownValue, kDownAllowAll, drive_, result) != 0;
}
