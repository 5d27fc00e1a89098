#include "coresys/server/scsi/ScsiDeviceTable.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

// Identification string of a Strovane controller in its identity page.
constexpr char kControllerId[] = "QRVZX";
constexpr std::uint32_t kControllerIdLength = 5;
constexpr std::uint32_t kControllerIdOffset = 8;
constexpr std::uint32_t kSerialOffset = 4;
constexpr std::uint32_t kScanTimeout = 10;

// Path kinds, scanned in this order.
constexpr const char* kPathFormats[] = {"\\\\.\\PHYSICALDRIVE%u", "\\\\.\\STROVANE%u"};

platform::ScsiDirection ToDirection(std::uint32_t direction) {
    switch (direction) {
        case ScsiCommand::kDataOut:
            return platform::ScsiDirection::Out;
        case ScsiCommand::kDataIn:
            return platform::ScsiDirection::In;
        default:
            return platform::ScsiDirection::None;
    }
}

void FreeList(DeviceRecord*& list) {
    while (list != nullptr) {
        DeviceRecord* next = list->next;
        delete list;
        list = next;
    }
}

}  // namespace

ScsiDeviceTable& ScsiDeviceTable::Instance() {
    static ScsiDeviceTable table;
    return table;
}

const ScsiDeviceTable::Entry* ScsiDeviceTable::At(std::uint32_t index) const {
    return index < count_ ? &entries_[index] : nullptr;
}

void ScsiDeviceTable::RunOn(platform::ScsiDevice& device, ScsiCommand& command,
                            ScsiResult& result) {
    platform::ScsiRequest request;
    std::uint32_t cdbLength = command.cdbLength;
    if (cdbLength > command.CdbSize()) {
        cdbLength = command.CdbSize();
    }
    if (cdbLength > platform::kScsiMaxCdb) {
        cdbLength = platform::kScsiMaxCdb;
    }
    std::memcpy(request.cdb.data(), command.Cdb(), cdbLength);
    request.cdbLength = static_cast<std::uint8_t>(cdbLength);
    request.direction = ToDirection(command.direction);
    request.timeoutSeconds = command.timeout;
    std::uint32_t length =
        request.direction == platform::ScsiDirection::None ? 0 : command.dataLength;
    request.transferLength = length;
    request.data = command.Data();

    // Transfers move whole 16-bit words: an odd data-in length is read into a
    // private buffer one byte longer, and only the asked-for bytes go back.
    std::unique_ptr<unsigned char[]> padded;
    bool oddIn = request.direction == platform::ScsiDirection::In && (length & 1) != 0;
    if (oddIn) {
        padded.reset(new (std::nothrow) unsigned char[length + 1]());
        if (padded) {
            request.data = padded.get();
            request.transferLength = length + 1;
        }
    }

    result.result = ScsiResult::kGood;
    result.status = 0;
    result.senseLength = 0;
    result.kindTag = 4;
    result.valid = 1;
    result.reason = ScsiResult::kReasonGood;

    platform::ScsiOutcome outcome;
    device.PassThrough(request, outcome);
    if (outcome.systemError != 0) {
        result.result = ScsiResult::kSystemFailed;
        result.status = static_cast<std::uint32_t>(outcome.systemError);
        result.reason = ScsiResult::kReasonSystemFailed;
        command.residual = ScsiCommand::kResidualNone;
        command.bytesMoved = 0;
        return;
    }

    std::uint32_t moved = outcome.bytesMoved;
    if (padded) {
        // The extra byte is ours: a transfer of the asked length or one more
        // is complete; fewer is still short. Only bytes that arrived go back,
        // so the rest of the caller's buffer keeps its fill.
        std::uint32_t copy = moved < length ? moved : length;
        if (copy != 0 && command.Data() != nullptr) {
            std::memcpy(command.Data(), padded.get(), copy);
        }
        if (moved > length) {
            moved = length;
        }
    }
    command.bytesMoved = moved;
    if (moved == length) {
        command.residual = ScsiCommand::kResidualNone;
    } else if (moved < length) {
        command.residual = ScsiCommand::kResidualShort;
    } else {
        command.residual = ScsiCommand::kResidualMore;
    }

    if (outcome.scsiStatus != 0) {
        result.result = ScsiResult::kScsiStatus;
        result.status = outcome.scsiStatus;
        result.reason = ScsiResult::kReasonScsiStatus;
        result.senseLength = outcome.senseLength;
        std::memcpy(result.sense, outcome.sense.data(), outcome.senseLength);
    }
}

bool ScsiDeviceTable::CheckArrayIdentity(platform::ScsiDevice& device) {
    ScsiCommand command(12, 68, ScsiCommand::kDataIn, kScanTimeout, 0, 0);
    const unsigned char cdb[6] = {0x12, 0x01, 0xE0, 0x00, 0x44, 0x00};
    std::memcpy(command.Cdb(), cdb, sizeof(cdb));
    command.cdbLength = 6;
    ScsiResult result;
    RunOn(device, command, result);
    if (result.result != ScsiResult::kGood ||
        command.bytesMoved < kControllerIdOffset + kControllerIdLength) {
        return false;
    }
    return std::memcmp(command.DataAt(kControllerIdOffset), kControllerId, kControllerIdLength) ==
           0;
}

bool ScsiDeviceTable::ReadUnitSerial(platform::ScsiDevice& device) {
    ScsiCommand command(12, kScanBufferSize, ScsiCommand::kDataIn, kScanTimeout, 0, 0);
    const unsigned char cdb[6] = {0x12, 0x01, 0x80, 0x00, 0x30, 0x00};
    std::memcpy(command.Cdb(), cdb, sizeof(cdb));
    command.cdbLength = 6;
    ScsiResult result;
    RunOn(device, command, result);
    // The serial must have arrived; comparing bytes the device never sent
    // would merge distinct controllers.
    if (result.result != ScsiResult::kGood || command.bytesMoved < kSerialOffset + kSerialSize) {
        return false;
    }
    std::memcpy(scanBuffer_.data(), command.Data(), kScanBufferSize);
    return true;
}

bool ScsiDeviceTable::IsNewSerial(std::uint32_t index) {
    const unsigned char* serial = scanBuffer_.data() + kSerialOffset;
    for (std::uint32_t i = 0; i < index; ++i) {
        if (std::memcmp(entries_[i].serial.data(), serial, kSerialSize) == 0) {
            return false;
        }
    }
    std::memcpy(entries_[index].serial.data(), serial, kSerialSize);
    return true;
}

void ScsiDeviceTable::Scan(DeviceRecord*& list, ScsiResult& result) {
    Close(list);
    result = ScsiResult{};
    DeviceRecord* last = nullptr;
    for (const char* format : kPathFormats) {
        for (std::uint32_t n = 0; n < kNamesPerKind && count_ < kCapacity; ++n) {
            char name[40];
            std::snprintf(name, sizeof(name), format, n % 256);
            std::unique_ptr<platform::ScsiDevice> device = platform::OpenScsiDevice(name);
            if (!device) {
                break;  // the first path of a kind that does not open ends the kind
            }
            Entry& entry = entries_[count_];
            if (device->GetAddress(entry.address) != 0 || !CheckArrayIdentity(*device) ||
                device->GetCapabilities(entry.capabilities) != 0 || !ReadUnitSerial(*device) ||
                !IsNewSerial(count_)) {
                entry = Entry{};
                continue;
            }
            DeviceRecord* record = new (std::nothrow) DeviceRecord;
            if (record == nullptr) {
                entry = Entry{};
                result.result = ScsiResult::kSystemFailed;
                result.reason = ScsiResult::kReasonNoMemory;
                result.status = ENOMEM;
                return;
            }
            record->deviceIndex = count_;
            record->scanGeneration = generation_;
            if (last == nullptr) {
                list = record;
            } else {
                last->next = record;
            }
            last = record;
            entry.device = std::move(device);
            ++count_;
        }
    }
}

void ScsiDeviceTable::Close(DeviceRecord*& list) {
    for (std::uint32_t i = 0; i < kCapacity; ++i) {
        if (!entries_[i].device) {
            break;
        }
        entries_[i] = Entry{};
    }
    count_ = 0;
    // Records handed out so far belong to a table that is gone; the index
    // they carry may name another device after the next scan.
    ++generation_;
    FreeList(list);
}

void ScsiDeviceTable::PassThrough(ScsiCommand& command, ScsiResult& result,
                                  const DeviceRecord& record) {
    if (record.scanGeneration != generation_ || record.deviceIndex >= count_ ||
        !entries_[record.deviceIndex].device) {
        // A record of an earlier scan: its handle is gone, and its index may
        // now belong to another controller.
        result.result = ScsiResult::kSystemFailed;
        result.status = ENODEV;
        result.senseLength = 0;
        result.reason = ScsiResult::kReasonSystemFailed;
        command.residual = ScsiCommand::kResidualNone;
        command.bytesMoved = 0;
        return;
    }
    RunOn(*entries_[record.deviceIndex].device, command, result);
}

void OpenArrayDevices(DeviceRecord*& list, ScsiResult& result) {
    ScsiDeviceTable::Instance().Scan(list, result);
}

void CloseArrayDevices(DeviceRecord*& list) {
    ScsiDeviceTable::Instance().Close(list);
}

void ScsiPassThrough(ScsiCommand& command, ScsiResult& result, const DeviceRecord& record) {
    ScsiDeviceTable::Instance().PassThrough(command, result, record);
}

void HoldArrayDevice(const DeviceRecord*) {}

void ReleaseArrayDevice(const DeviceRecord*) {}
