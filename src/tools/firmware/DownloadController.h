// The controller download talks to, and the executor that runs each of its
// commands with retries.
//
// One DownloadController at a time is the current one (process-wide): every
// command routine runs on it. It keeps its own copy of the chosen device
// record (the links cleared) and a pointer to the scanned record, which is
// what each pass-through runs on.
#pragma once

#include <cstdint>

#include "coresys/server/scsi/DeviceRecord.h"
#include "coresys/server/scsi/ScsiCommand.h"
#include "coresys/server/scsi/ScsiResult.h"

namespace download {

class DownloadController {
  public:
    explicit DownloadController(DeviceRecord* scanned);
    DownloadController(const DownloadController&) = delete;
    DownloadController& operator=(const DownloadController&) = delete;

    const DeviceRecord& Scanned() const { return *scanned_; }

    // The largest data transfer one command to this path may carry: the
    // adapter's limit, and never more than a command block holds.
    std::uint32_t MaximumTransfer() const;

    // The current controller (null when none) and the way to change it.
    static DownloadController* Current();
    static void SetCurrent(DownloadController* controller);

  private:
    DeviceRecord record_;
    DeviceRecord* scanned_;
};

// Runs a command on the current controller: good status with a short (or
// long) transfer, CHECK CONDITION, BUSY and RESERVATION CONFLICT are tried
// again after 1000 ms, up to three runs in all, with two REQUEST SENSE
// commands after each of the first two failures; the data phases of the
// drive exchange (0x29, 0xF3, 0xF4) are never repeated. Returns 1 on
// success, 0 on failure; the result holds the last outcome (after a REQUEST
// SENSE, that command's).
int ExecuteWithRetry(ScsiCommand& command, ScsiResult& result);

// Builds a command block (CDB in a 12-byte buffer, cdbLength bytes sent)
// and runs it: through ExecuteWithRetry, or once when retry is false. For
// data out, `data` supplies dataLength bytes; for data in, dataLength bytes
// are copied back to it (bytes the device did not send read 0xFF). When
// given, moved receives the data bytes the device moved on success (never
// more than dataLength), 0 on failure: a caller that decodes data in must
// not read past it. A transfer larger than a command block can carry, or a
// command block that cannot be allocated, fails with result 3 (EMSGSIZE,
// ENOMEM) without reaching the device. Returns 1 on success, 0 on failure.
int RunCommand(const std::uint8_t* cdb, std::uint8_t cdbLength, std::uint32_t direction,
               std::uint32_t timeoutSeconds, unsigned char* data, std::uint32_t dataLength,
               ScsiResult& result, bool retry = true, std::uint32_t* moved = nullptr);

}  // namespace download
