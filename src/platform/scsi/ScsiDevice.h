// SCSI pass-through seam: one open path to an array controller or a disk.
//
// A device is reached by its Windows-style name ("\\.\STROVANE3",
// "\\.\PHYSICALDRIVE0" or the bare "STROVANE3"), which maps to
// ORU_ROOT/dev/<NAME>. What stands behind the name decides the backend:
//   - a name registered in this process with RegisterInProcessDevice
//     (unit tests, an in-process simulator) is served by its factory;
//   - a symbolic link to a /dev/sg* node is driven through SG_IO;
//   - a Unix-domain stream socket is served by strovsim, one frame per
//     command (ScsiWire.h).
// A device object is used by one thread at a time (callers hold the device
// lock); distinct objects may be used from different threads.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform {

// Direction of the data phase; the numbers travel on the socket wire.
enum class ScsiDirection : std::uint8_t { None = 0, Out = 1, In = 2 };

constexpr std::uint32_t kScsiMaxCdb = 16;
constexpr std::uint32_t kScsiMaxSense = 255;
constexpr std::uint32_t kScsiMaxTransfer = 1u << 20;  // 1 MiB per command
constexpr std::uint32_t kScsiAddressSize = 8;
constexpr std::uint32_t kScsiCapabilitiesSize = 24;

// The SCSI address of an open path: {length 8, port, path, target, lun}.
struct ScsiAddress {
    std::uint32_t length = kScsiAddressSize;
    std::uint8_t portNumber = 0;
    std::uint8_t pathId = 0;
    std::uint8_t targetId = 0;
    std::uint8_t lun = 0;
};

// The adapter capabilities of an open path (24 bytes, length first).
struct ScsiCapabilities {
    std::uint32_t length = kScsiCapabilitiesSize;
    std::uint32_t maximumTransferLength = kScsiMaxTransfer;
    std::uint32_t maximumPhysicalPages = 256;
    std::uint32_t supportedAsynchronousEvents = 0;
    std::uint32_t alignmentMask = 0;
    std::uint8_t taggedQueuing = 0;
    std::uint8_t adapterScansDown = 0;
    std::uint8_t adapterUsesPio = 0;
    std::uint8_t reserved = 0;
};

// One command block. data points at transferLength bytes owned by the caller:
// read for Out, written for In, ignored for None.
struct ScsiRequest {
    std::array<std::uint8_t, kScsiMaxCdb> cdb{};
    std::uint8_t cdbLength = 0;  // 1..16
    ScsiDirection direction = ScsiDirection::None;
    std::uint32_t transferLength = 0;  // at most kScsiMaxTransfer
    std::uint8_t* data = nullptr;
    std::uint32_t timeoutSeconds = 0;
};

// What became of one command. systemError != 0 means the command could not
// be delivered (or its answer not received) and every other field is 0.
// Otherwise scsiStatus is the target's status byte, sense holds senseLength
// bytes of sense data, and bytesMoved counts the data bytes transferred (for
// In, that many bytes of the caller's buffer were written; never more than
// transferLength).
struct ScsiOutcome {
    int systemError = 0;
    std::uint8_t scsiStatus = 0;
    std::uint8_t senseLength = 0;
    std::array<std::uint8_t, kScsiMaxSense> sense{};
    std::uint32_t bytesMoved = 0;
};

class ScsiDevice {
  public:
    ScsiDevice() = default;
    ScsiDevice(const ScsiDevice&) = delete;
    ScsiDevice& operator=(const ScsiDevice&) = delete;
    virtual ~ScsiDevice() = default;

    // Fills the path's SCSI address. Returns 0, or a system error code.
    virtual int GetAddress(ScsiAddress& address) = 0;

    // Fills the adapter capabilities. Returns 0, or a system error code.
    virtual int GetCapabilities(ScsiCapabilities& capabilities) = 0;

    // Runs one command block. Never throws; the outcome says everything. A
    // request with a bad CDB length, transfer length or missing buffer is
    // refused with systemError EINVAL without reaching the device.
    virtual void PassThrough(const ScsiRequest& request, ScsiOutcome& outcome) = 0;
};

// Builds a device for one open of a registered in-process name.
using ScsiDeviceFactory = std::function<std::unique_ptr<ScsiDevice>()>;

// Maps "\\.\NAME", "//./NAME" or "NAME" to the bare device name NAME (upper
// case kept as given). Returns an empty string for an empty or unsafe name
// (path separators, "..").
std::string ScsiDeviceBaseName(const std::string& name);

// The file that stands for a device name: ORU_ROOT/dev/<NAME>.
std::string ScsiDevicePath(const std::string& name);

// Opens a device by name. On failure returns nullptr and, when error is not
// null, stores the system error code (ENOENT when nothing stands behind the
// name, so a scan can stop at the first missing number).
std::unique_ptr<ScsiDevice> OpenScsiDevice(const std::string& name, int* error = nullptr);

// Serves NAME (bare or Windows-style) in this process: every later open of
// that name calls the factory instead of looking at ORU_ROOT/dev. A second
// registration replaces the first. Thread-safe.
void RegisterInProcessDevice(const std::string& name, ScsiDeviceFactory factory);

// Removes one registration, or all of them.
void UnregisterInProcessDevice(const std::string& name);
void ClearInProcessDevices();

}  // namespace platform
