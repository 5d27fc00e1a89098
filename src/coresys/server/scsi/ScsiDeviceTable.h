// The array paths of the last scan and the pass-through that runs one
// command block on one of them.
//
// The table is process-wide and rebuilt by every scan. Nothing here takes a
// lock: callers serialise every scan and pass-through (the storage command
// layer's device lock in the service; one thread in the offline tools).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "coresys/server/scsi/DeviceRecord.h"
#include "coresys/server/scsi/ScsiCommand.h"
#include "coresys/server/scsi/ScsiResult.h"
#include "platform/scsi/ScsiDevice.h"

class ScsiDeviceTable {
  public:
    // Room for this many accepted paths; further arrays are not taken.
    static constexpr std::uint32_t kCapacity = 76;
    // The highest path number tried per kind: names never repeat.
    static constexpr std::uint32_t kNamesPerKind = 256;
    static constexpr std::uint32_t kSerialSize = 16;
    static constexpr std::uint32_t kScanBufferSize = 48;

    struct Entry {
        std::unique_ptr<platform::ScsiDevice> device;  // open handle; null when empty
        platform::ScsiCapabilities capabilities;
        platform::ScsiAddress address;
        std::array<unsigned char, kSerialSize> serial{};
    };

    static ScsiDeviceTable& Instance();

    // Entry i, or nullptr beyond the accepted entries.
    const Entry* At(std::uint32_t index) const;
    std::uint32_t Count() const { return count_; }

    // The scan, the close and the pass-through (see the free functions).
    void Scan(DeviceRecord*& list, ScsiResult& result);
    void Close(DeviceRecord*& list);
    void PassThrough(ScsiCommand& command, ScsiResult& result, const DeviceRecord& record);

    // Runs one command on an open device that need not be in the table.
    static void RunOn(platform::ScsiDevice& device, ScsiCommand& command, ScsiResult& result);

  private:
    bool CheckArrayIdentity(platform::ScsiDevice& device);
    bool ReadUnitSerial(platform::ScsiDevice& device);
    bool IsNewSerial(std::uint32_t index);

    std::array<Entry, kCapacity> entries_{};
    std::uint32_t count_ = 0;
    std::uint32_t generation_ = 0;  // counts scans and closes
    std::array<unsigned char, kScanBufferSize> scanBuffer_{};
};

// Closes every handle of the previous scan, frees the old list, then scans
// "\\.\PHYSICALDRIVE<n>" and "\\.\STROVANE<n>" for array controllers. list
// receives the first accepted record (nullptr when none). result is good, or
// result 3 with reason 5 when a record could not be allocated (the scan stops
// there; earlier entries stay valid).
void OpenArrayDevices(DeviceRecord*& list, ScsiResult& result);

// Closes every open handle of the table, clears it and frees every record.
void CloseArrayDevices(DeviceRecord*& list);

// Runs one command on the table entry named by the record.
void ScsiPassThrough(ScsiCommand& command, ScsiResult& result, const DeviceRecord& record);

// Bracket a subsystem's work for the device manager; they do nothing.
void HoldArrayDevice(const DeviceRecord* record);
void ReleaseArrayDevice(const DeviceRecord* record);
