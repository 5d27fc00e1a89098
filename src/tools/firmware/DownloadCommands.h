// The commands download sends, each run on the current controller
// (DownloadController). Every routine takes the caller's result and returns
// 1 on success, 0 on failure, leaving the outcome in the result.
//
// Commands to the controller use their own CDBs (10 bytes unless noted);
// commands to a drive go through the controller's exchange in two steps,
// PtSendCdb with the drive's CDB, then PtDataPhase in the same direction.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "coresys/server/scsi/ScsiResult.h"

namespace download {

// Drive slots: A1 = 0, B1 = 1, A2 = 2, ... B6 = 11.
constexpr std::uint8_t kDriveSlots = 12;

// Drive states of CheckPhysicalDriveState.
constexpr std::uint32_t kDriveNone = 1;
constexpr std::uint32_t kDriveInitFailed = 7;

// Exchange directions (PtSendCdb byte 1, PtDataPhase).
enum class PtDirection : std::uint8_t { kNone = 1, kOut = 2, kIn = 3 };

struct DriveStateValues {
    // drive state (byte 1), byte 2, and the BE16 values at 4, 6, 8 and 10
    std::array<std::uint32_t, 6> value{};
};

struct SubsystemStateValues {
    std::uint32_t state = 255;            // byte 1; 255 when the read failed
    std::array<std::uint8_t, 18> flag{};  // bits of byte 5, byte 4, byte 3 (0, 1)
};

struct InquiryTexts {
    std::uint8_t peripheral = 0;
    std::string vendor;    // bytes 8..15
    std::string product;   // bytes 16..31
    std::string revision;  // bytes 32..35
};

struct UnitSerialTexts {
    bool primary = false;  // byte 2 bit 0
    std::string serial;    // bytes 4..19
    std::string partner;   // bytes 20..35
    std::string arrayId;   // bytes 36..47, the 12-character array id
};

// Commands to the controller.
int CheckPhysicalDriveState(std::uint8_t slot, DriveStateValues& values, ScsiResult& result);
int GetSubsystemState(SubsystemStateValues& values, ScsiResult& result);
int InquiryStandard(std::uint8_t lun, InquiryTexts& texts, ScsiResult& result);
int InquiryUnitSerial(std::uint8_t lun, UnitSerialTexts& texts, ScsiResult& result);
int CdbShutdownSubsystem(ScsiResult& result);
int CdbSwitchController(ScsiResult& result);
int CdbControllerRestart(bool flag, ScsiResult& result);
int CdbWriteBuffer(std::uint8_t mode, std::uint32_t length, const unsigned char* bytes,
                   ScsiResult& result);
int CdbCopyFirmware(ScsiResult& result);
// Once, without retries, into the caller's result.
int DownloadRequestSense(std::uint8_t lun, ScsiResult& result);

// The two steps of a drive command. A data phase with good status succeeds
// however many bytes the drive sent; when given, received counts the bytes
// that came in (0 when the phase failed), and only those are the drive's.
int PtSendCdb(std::uint8_t lun, PtDirection direction, std::uint8_t slot, std::uint32_t dataLength,
              const std::uint8_t* innerCdb, std::uint8_t innerLength, ScsiResult& result);
int PtDataPhase(std::uint8_t lun, PtDirection direction, std::uint32_t length,
                unsigned char* buffer, ScsiResult& result, std::uint32_t* received = nullptr);

// Drive commands.
int PtTestUnitReady(std::uint8_t slot, ScsiResult& result);
int PtStartUnit(std::uint8_t slot, std::uint8_t byte1, ScsiResult& result);
int PtFormatUnit(std::uint8_t slot, ScsiResult& result);
// Fails, its result as the data phase left it, when fewer than the 36
// bytes it asks for came.
int PtInquiry(std::uint8_t slot, InquiryTexts& texts, ScsiResult& result);
// received (when given): the bytes of the reply that came, which may be
// fewer than length and fewer than the mode data length the reply declares.
int PtModeSense(std::uint8_t slot, std::uint8_t pageControl, std::uint8_t pageCode,
                std::uint8_t length, unsigned char* buffer, ScsiResult& result,
                std::uint32_t* received = nullptr);
int PtModeSelect(std::uint8_t slot, std::uint8_t length, const unsigned char* list,
                 ScsiResult& result);
// Modes 4 and 5 only: the whole length at offset 0.
int PtWriteBuffer(std::uint8_t slot, std::uint8_t mode, std::uint32_t length,
                  const unsigned char* bytes, ScsiResult& result);
// Modes 6 and 7 only: length bytes at offset.
int PtWriteBuffer(std::uint8_t slot, std::uint8_t mode, std::uint32_t length, std::uint32_t offset,
                  const unsigned char* bytes, ScsiResult& result);
// Mode 5, 32768 bytes at offset 0 of buffer bufferId.
int PtWriteBuffer32K(std::uint8_t slot, std::uint8_t bufferId, const unsigned char* bytes,
                     ScsiResult& result);

}  // namespace download
