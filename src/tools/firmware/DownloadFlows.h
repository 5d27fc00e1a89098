// The flows of download: the run as a whole, finding the array's
// controller, waiting for it to be ready, and the controller download, the
// drive download, the copy to the partner controller, the drive format and
// the array listing. Each flow returns the run's result (0 success, 1
// failure, 4 no state; see DownloadArguments.h). Every fixed wait sleeps
// through the clock seam (platform::SleepMs).
#pragma once

#include <cstdint>
#include <vector>

#include "coresys/server/scsi/DeviceRecord.h"
#include "coresys/server/scsi/ScsiResult.h"
#include "tools/firmware/DownloadArguments.h"
#include "tools/firmware/DownloadCommands.h"

namespace download {

// The whole program: banner, parse, run, ending line. The exit code.
int DownloadMain(int argc, char** argv);

// Loads the code file (modes 0 and 1), scans the array devices, finds the
// controller (all modes but 3) and runs the mode's flow.
int DownloadRun(const DownloadArguments& args);

// Whether the controllers that answer to one array id are one cabinet's: at
// most two (a controller seen on two paths counts once), and two only when
// either names the other as its partner.
bool IdOfOneArray(const std::vector<UnitSerialTexts>& controllers);

// The scanned record of the array's controller, or null (the messages said).
// An id that more than one cabinet answers to finds none.
DeviceRecord* FindController(DeviceRecord* list, const DownloadArguments& args);

// Reads the subsystem state until it is one that is not passing (at most
// 501 reads, 1000 ms apart): 0 for a state a download may go on from, 1 for
// one it may not, 4 when no state was had. *lastReadOk (when given) says
// whether the last read succeeded.
int PollForReady(bool* lastReadOk = nullptr);

// The flows, on the current controller.
int controller_flash(const std::vector<std::uint8_t>& image, std::uint32_t size);
int DriveFirmwareDownload(const DownloadArguments& args, std::uint32_t size,
                          const std::vector<std::uint8_t>& image);
// Sets every mode page of the drive to its default values where they may
// change; 0 when the pages could not be read (the result tells).
int SetDriveModePages(std::uint8_t slot, ScsiResult& result);
int CopyFirmware();
int FormatDrive(std::uint8_t slot);
int ListArrays(DeviceRecord* list);

// The smallest and largest microcode file taken.
constexpr std::uint32_t kMinImageSize = 65537;
constexpr std::uint32_t kMaxImageSize = 4500000;

}  // namespace download
