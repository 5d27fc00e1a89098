#include "coresys/server/storsys/StorSys.h"

#include <atomic>
#include <cerrno>
#include <cstring>

#include "coresys/server/scsi/ScsiDeviceTable.h"
#include "coresys/server/storsys/StorSysTexts.h"
#include "platform/Clock.h"

namespace {

constexpr std::uint32_t kCdbSize = 12;
constexpr std::uint32_t kDefaultTimeout = 32;
constexpr std::uint32_t kExchangeTimeout = 7200;
constexpr std::uint32_t kMaxTwoStep = 0xFFFF;  // allocation fields are 16 bits

std::atomic<StorSys::NoticeHandler> gNoticeHandler{nullptr};

// A command routine's CDB: bytes in order, the rest 0.
void SetCdb(ScsiCommand& command, std::initializer_list<unsigned char> bytes, std::uint8_t length) {
    std::uint8_t i = 0;
    for (unsigned char b : bytes) {
        command.SetCdbByte(i++, b);
    }
    command.cdbLength = length;
}

unsigned char LunBits(std::uint8_t lun) {
    return static_cast<unsigned char>((lun & 7) << 5);
}

// Copies n characters from data[offset] into text and terminates it; when
// the field lies outside the first limit bytes, text is left empty.
void CopyText(char* text, const unsigned char* data, std::uint32_t limit, std::uint32_t offset,
              std::uint32_t n) {
    text[0] = '\0';
    if (static_cast<std::uint64_t>(offset) + n > limit) {
        return;
    }
    std::memcpy(text, data + offset, n);
    text[n] = '\0';
}

std::uint32_t Be16(const unsigned char* d) {
    return (static_cast<std::uint32_t>(d[0]) << 8) | d[1];
}

std::uint32_t Be32(const unsigned char* d) {
    return (static_cast<std::uint32_t>(d[0]) << 24) | (static_cast<std::uint32_t>(d[1]) << 16) |
           (static_cast<std::uint32_t>(d[2]) << 8) | d[3];
}

std::uint32_t Bit(unsigned char byte, int bit) {
    return (byte >> bit) & 1u;
}

// A reply that contradicts itself (a length that cannot be, an entry size of
// 0): the command went through, but what came back cannot be used.
int BadReply(ScsiResult& result, std::uint32_t error = EPROTO) {
    result.result = ScsiResult::kSystemFailed;
    result.status = error;
    result.senseLength = 0;
    result.reason = ScsiResult::kReasonSystemFailed;
    return 0;
}

// A transfer the command block cannot carry is refused before anything is
// sent: cut to the limit it would move less than the caller asked for.
bool OverLimit(std::uint32_t length) {
    return length > ScsiCommand::kMaxDataLength;
}

// A two-step list holds its length (2 bytes) and its entry size (1 byte)
// before the entries; a reply of length 0 has no entry size to read.
constexpr std::size_t kListHead = 3;

bool IsExchangePhase(unsigned char opcode) {
    return opcode == 0x29 || opcode == 0xF3 || opcode == 0xF4;
}

}  // namespace

StorSys::StorSys(const DeviceRecord* record, Locking locking)
    : record_(record), locking_(locking) {}

std::mutex& StorSys::DeviceLock() {
    static std::mutex lock;
    return lock;
}

void StorSys::SetNoticeHandler(NoticeHandler handler) {
    gNoticeHandler.store(handler);
}

void StorSys::Notice(const char* text) {
    NoticeHandler handler = gNoticeHandler.load();
    if (handler != nullptr) {
        handler(text);
    }
}

// ---------------------------------------------------------------------------
// Executor

int StorSys::RunOnce(ScsiCommand& command, ScsiResult& result) {
    if (record_ == nullptr) {
        result.result = ScsiResult::kSystemFailed;
        result.status = ENODEV;
        result.senseLength = 0;
        result.reason = ScsiResult::kReasonSystemFailed;
        return 0;
    }
    if (locking_ == Locking::Locked) {
        std::lock_guard<std::mutex> lock(DeviceLock());
        ScsiPassThrough(command, result, *record_);
    } else {
        ScsiPassThrough(command, result, *record_);
    }
    return result.result == ScsiResult::kGood ? 1 : 0;
}

int StorSys::Execute(ScsiCommand& command, ScsiResult& result) {
    // The result keeps only the last run; whether any run met the unit
    // attention of a changed LUN set must outlive the retry that succeeded.
    bool lunSetChanged = false;
    const int done = RunWithRetries(command, result, lunSetChanged);
    result.lunSetChanged = lunSetChanged;
    return done;
}

int StorSys::RunWithRetries(ScsiCommand& command, ScsiResult& result, bool& lunSetChanged) {
    result.senseLength = 0;
    const unsigned char opcode = command.Cdb()[0];
    // The halves of the drive exchange are never repeated: a repeat would
    // repeat the drive's command.
    const bool exchange = IsExchangePhase(opcode);
    // Every failed try that is worth repeating is followed by a pause, the
    // last one too; the third such try ends the command.
    std::uint32_t tries = 0;
    for (;;) {
        RunOnce(command, result);
        lunSetChanged = lunSetChanged || result.IsLunSetChange();
        if (result.result == ScsiResult::kGood) {
            if (command.residual == ScsiCommand::kResidualNone || exchange) {
                return 1;
            }
            ++tries;
        } else {
            if (result.result != ScsiResult::kScsiStatus || exchange) {
                return 0;
            }
            if (result.status != 0x02 && result.status != 0x08 && result.status != 0x18) {
                return 0;
            }
            if (++tries < kMaxTries) {
                RequestSense(0, result);
            }
        }
        platform::SleepMs(kRetrySleepMs);
        if (tries >= kMaxTries) {
            return 0;
        }
    }
}

int StorSys::RequestSense(std::uint8_t lun, ScsiResult& result) {
    ScsiCommand command(kCdbSize, 26, ScsiCommand::kDataIn, kDefaultTimeout, lun, 0);
    SetCdb(command, {0x03, LunBits(lun), 0, 0, 26, 0}, 6);
    int good = 0;
    for (std::uint32_t i = 0; i < kSenseTries; ++i) {
        good = RunOnce(command, result);
        // Good status leaves the result's sense bytes as the failure left them.
        if (good != 0 && (result.sense[2] & 0x07) == 0) {
            break;
        }
    }
    return good;
}

// ---------------------------------------------------------------------------
// Controller pages

int StorSys::ReadControllerLog(int flag, unsigned char* buffer, std::uint32_t size,
                               std::uint32_t* length, ScsiResult& result) {
    ScsiCommand head(kCdbSize, 3, ScsiCommand::kDataIn, kDefaultTimeout, 0, 0);
    SetCdb(head, {0xF2, 0, 0, 1, 0, 0, 0, 0, 3, 0}, 10);
    if (Execute(head, result) == 0) {
        return 0;
    }
    std::uint32_t total = head.DataBe16(1) + 3;
    if (total > kMaxTwoStep) {
        return BadReply(result);
    }
    ScsiCommand full(kCdbSize, total, ScsiCommand::kDataIn, kDefaultTimeout, 0, 0);
    SetCdb(full, {0xF2, static_cast<unsigned char>(flag != 0 ? 2 : 0), 0, 1, 0, 0, 0}, 10);
    full.SetCdbValue(7, total, 2);
    if (Execute(full, result) == 0) {
        return 0;
    }
    if (buffer != nullptr) {
        std::memcpy(buffer, full.Data(), size < total ? size : total);
    }
    if (length != nullptr) {
        *length = total;
    }
    return 1;
}

int StorSys::ReadControllerStatus(int ctl, std::uint32_t values[4], ScsiResult& result) {
    ScsiCommand command(kCdbSize, 19, ScsiCommand::kDataIn, kDefaultTimeout, 0, 0);
    SetCdb(command, {0xF2, static_cast<unsigned char>((ctl & 1) * 2), 0, 2, 0, 0, 0, 0, 19, 0}, 10);
    if (Execute(command, result) == 0) {
        return 0;
    }
    for (std::uint32_t i = 0; i < 4; ++i) {
        values[i] = command.DataBe32(3 + 4 * i);
    }
    return 1;
}

int StorSys::ReadCabinetStatus(int ctl, CabinetStatusRecord& record, ScsiResult& result) {
    const bool full = formatLevel_ >= 3;
    const std::uint32_t length = full ? 244 : 184;
    ScsiCommand command(kCdbSize, length, ScsiCommand::kDataIn, kDefaultTimeout, 0, 0);
    SetCdb(command,
           {0xF2, static_cast<unsigned char>((ctl & 1) * 2), 0, 3, 0, 0, 0, 0,
            static_cast<unsigned char>(length), 0},
           10);
    if (Execute(command, result) == 0) {
        return 0;
    }
    record.word[0] = Bit(command.DataByte(1), 7);
    for (std::uint32_t k = 0; k < 42; ++k) {
        record.word[1 + k] = command.DataBe32(3 + 4 * k);
    }
    std::uint32_t slots = command.DataByte(171);
    if (slots > CabinetStatusRecord::kMaxSlots) {
        Notice(storsys_text::kCabinetSlotsExceeded);
        slots = CabinetStatusRecord::kMaxSlots;
    }
    record.slotCount = slots;
    for (std::uint32_t s = 0; s < CabinetStatusRecord::kMaxSlots; ++s) {
        record.word[43 + s] = s < slots ? command.DataByte(172 + s) : 0;
    }
    for (std::uint32_t k = 0; k < 15; ++k) {
        record.word[55 + k] = full ? command.DataBe32(184 + 4 * k) : 0;
    }
    return 1;
}

int StorSys::ReadSubsystemState(int ctl, std::uint8_t len, unsigned char* buffer,
                                ScsiResult& result) {
    ScsiCommand command(kCdbSize, len, ScsiCommand::kDataIn, kDefaultTimeout, 0, 0);
    SetCdb(command, {0x20, static_cast<unsigned char>((ctl & 1) * 2), 0, 0, 0, 0, 0, 0, len, 0},
           10);
    if (Execute(command, result) == 0) {
        return 0;
    }
    if (buffer != nullptr && len != 0) {
        std::memcpy(buffer, command.Data(), len);
    }
    return 1;
}

void StorSys::DecodeSubsystemState(const unsigned char* block, std::uint32_t length,
                                   SubsystemStateRecord& record) const {
    auto at = [&](std::uint32_t i) -> std::uint8_t {
        return block != nullptr && i < length ? block[i] : 0;
    };
    record = SubsystemStateRecord{};
    record.value[1] = at(1);
    for (std::uint32_t k = 2; k <= 24; ++k) {
        record.value[k] = at(6 + k);
    }
    record.flags3 = at(3);
    // The parity-scan and two further flags exist from format level 3 on.
    if (formatLevel_ < 3) {
        record.flags3 &= 0x0F;
    }
    record.flags4 = at(4);
    record.flags5 = at(5);
}

int StorSys::ReadPhysicalDriveState(std::uint8_t drive, std::uint32_t word[6], ScsiResult& result) {
    ScsiCommand command(kCdbSize, 12, ScsiCommand::kDataIn, kDefaultTimeout, 0, 0);
    SetCdb(command, {0x21, 0, 0, 0, drive, 0, 0, 0, 0, 0}, 10);
    if (Execute(command, result) == 0) {
        return 0;
    }
    word[0] = command.DataByte(1);
    word[1] = command.DataByte(2);
    for (std::uint32_t i = 0; i < 4; ++i) {
        word[2 + i] = command.DataBe16(4 + 2 * i);
    }
    return 1;
}

int StorSys::ReadTwoStep(std::uint8_t opcode, std::uint8_t select,
                         std::vector<unsigned char>& bytes, ScsiResult& result) {
    ScsiCommand head(kCdbSize, 2, ScsiCommand::kDataIn, kDefaultTimeout, 0, 0);
    SetCdb(head, {opcode, 0, select, 0, 0, 0, 0, 0, 2, 0}, 10);
    if (Execute(head, result) == 0) {
        return 0;
    }
    if (opcode == 0x22 && (head.DataByte(0) == 0xFF || head.DataByte(1) == 0xFF)) {
        Notice(storsys_text::kDriveListNoData);
        return BadReply(result);
    }
    // L + 2 must fit the 16-bit allocation field, or the second read would
    // ask for a wrapped length.
    std::uint32_t total = head.DataBe16(0) + 2;
    if (total > kMaxTwoStep) {
        return BadReply(result);
    }
    ScsiCommand full(kCdbSize, total, ScsiCommand::kDataIn, kDefaultTimeout, 0, 0);
    SetCdb(full, {opcode, 0, select}, 10);
    full.SetCdbValue(7, total, 2);
    if (Execute(full, result) == 0) {
        return 0;
    }
    bytes.assign(full.Data(), full.Data() + total);
    return 1;
}

int StorSys::ReadPhysicalDriveList(DriveTableEntry table[kDriveTableSize], std::uint32_t* count,
                                   ScsiResult& result) {
    std::vector<unsigned char> list;
    if (ReadTwoStep(0x22, 0, list, result) == 0) {
        return 0;
    }
    if (list.size() < kListHead || list[2] == 0) {
        return BadReply(result);
    }
    const std::uint32_t size = list[2];
    std::uint32_t entries = Be16(list.data()) / size;
    // Only entries that lie wholly inside the bytes read are decoded.
    const std::uint32_t fit = static_cast<std::uint32_t>(list.size() - kListHead) / size;
    if (entries > fit) {
        entries = fit;
    }
    if (entries > kDriveTableSize) {
        entries = kDriveTableSize;
    }
    for (std::uint32_t i = 0; i < kDriveTableSize; ++i) {
        table[i] = DriveTableEntry{};
    }
    for (std::uint32_t i = 0; i < entries; ++i) {
        const unsigned char* e = list.data() + kListHead + i * size;
        auto byte = [&](std::uint32_t at) -> std::uint32_t { return at < size ? e[at] : 0; };
        auto be16 = [&](std::uint32_t at) -> std::uint32_t {
            return at + 2 <= size ? Be16(e + at) : 0;
        };
        auto be32 = [&](std::uint32_t at) -> std::uint32_t {
            return at + 4 <= size ? Be32(e + at) : 0;
        };
        DriveTableEntry& d = table[i];
        d.address = e[0];
        CopyText(d.volumeSetId, e, size, 1, 16);
        CopyText(d.driveId, e, size, 17, 16);
        d.state = byte(33);
        d.stateValue = byte(34);
        if (size >= 37) {
            d.lastBlock = be32(63) - 1;
            d.peripheralType = byte(35);
            d.scsiVersion = byte(36);
            CopyText(d.productId, e, size, 43, 16);
            CopyText(d.revision, e, size, 59, 4);
            CopyText(d.serial, e, size, 67, 12);
            for (std::uint32_t v = 0; v < 4; ++v) {
                d.value[v] = be16(79 + 2 * v);
            }
            d.predictiveFailure = formatLevel_ >= 3 ? (byte(87) & 1) : 0;
        } else {
            CompleteShortEntry(d, result);
        }
    }
    if (count != nullptr) {
        *count = entries;
    }
    return 1;
}

void StorSys::CompleteShortEntry(DriveTableEntry& entry, ScsiResult& result) {
    // The list only names the drive; the drive itself tells the rest. Its
    // answers never fail the list.
    ScsiResult scratch;
    (void)result;
    entry.lastBlock = 0;
    entry.peripheralType = 0;
    entry.scsiVersion = 0;
    for (std::uint32_t& v : entry.value) {
        v = 0;
    }
    const std::uint8_t drive = static_cast<std::uint8_t>(entry.address);
    unsigned char inquiry[36];
    std::uint32_t moved = 0;
    std::uint32_t inquired = 0;
    if (DriveInquiry(drive, inquiry, &moved, scratch) != 0) {
        CopyText(entry.productId, inquiry, moved, 16, 16);
        CopyText(entry.revision, inquiry, moved, 32, 4);
        entry.peripheralType = moved > 0 ? inquiry[0] : 0;
        entry.scsiVersion = moved > 2 ? inquiry[2] : 0;
        inquired = moved;
    }
    std::strcpy(entry.serial, storsys_text::kUnknownSerial);
    unsigned char page[255 + 4];
    if (DriveInquiryPage(drive, 0x80, page, 4, &moved, scratch) != 0 && moved >= 4) {
        std::uint8_t whole = static_cast<std::uint8_t>(page[3] + 4 > 255 ? 255 : page[3] + 4);
        if (DriveInquiryPage(drive, 0x80, page, whole, &moved, scratch) != 0 && moved > 4) {
            std::uint32_t n = moved - 4;
            if (n > page[3]) {
                n = page[3];
            }
            if (n > 12) {
                n = 12;
            }
            std::memcpy(entry.serial, page + 4, n);
            entry.serial[n] = '\0';
        }
    }
    if (entry.state != 4 && entry.state != 7) {
        std::uint32_t last = 0;
        std::uint32_t length = 0;
        if (DriveReadCapacity(drive, last, length, scratch) != 0) {
            entry.lastBlock = last;
        }
    }
    // The INQUIRY also named the vendor: no need to ask the drive again.
    if (inquired != 0) {
        KeepVendor(entry, inquiry, inquired);
    }
}

std::string StorSys::KeepVendor(const DriveTableEntry& entry, const unsigned char* inquiry,
                                std::uint32_t moved) {
    char vendor[9];
    CopyText(vendor, inquiry, moved, 8, 8);
    if (vendor[0] == '\0' || entry.address >= kDriveTableSize) {
        return vendor;
    }
    std::lock_guard<std::mutex> guard(vendorLock_);
    KnownVendor& known = vendors_[entry.address];
    known.known = true;
    known.serial = entry.serial;
    known.product = entry.productId;
    known.vendor = vendor;
    return known.vendor;
}

std::string StorSys::DriveVendor(const DriveTableEntry& entry) {
    if (entry.address >= kDriveTableSize) {
        return {};
    }
    {
        std::lock_guard<std::mutex> guard(vendorLock_);
        const KnownVendor& known = vendors_[entry.address];
        if (known.known && known.serial == entry.serial && known.product == entry.productId) {
            return known.vendor;
        }
    }
    // A drive that failed or never came up would not answer.
    if (entry.state == 4 || entry.state == 7) {
        return {};
    }
    ScsiResult scratch;
    unsigned char inquiry[36];
    std::uint32_t moved = 0;
    if (DriveInquiry(static_cast<std::uint8_t>(entry.address), inquiry, &moved, scratch) == 0) {
        return {};
    }
    return KeepVendor(entry, inquiry, moved);
}

int StorSys::ReadList23(std::uint8_t select, std::vector<unsigned char>& list, ScsiResult& result) {
    return ReadTwoStep(0x23, select, list, result);
}

int StorSys::ReadLunTable(LunTableEntry table[kLunTableSize], ScsiResult& result) {
    std::vector<unsigned char> list;
    if (ReadTwoStep(0x23, 0, list, result) == 0) {
        return 0;
    }
    if (list.size() < kListHead || list[2] < 6) {
        return BadReply(result);
    }
    const std::uint32_t size = list[2];
    std::uint32_t entries = Be16(list.data()) / size;
    const std::uint32_t fit = static_cast<std::uint32_t>(list.size() - kListHead) / size;
    if (entries > fit) {
        entries = fit;
    }
    for (std::uint32_t i = 0; i < kLunTableSize; ++i) {
        table[i] = LunTableEntry{};
    }
    for (std::uint32_t i = 0; i < entries; ++i) {
        const unsigned char* e = list.data() + kListHead + i * size;
        if (e[0] < kLunTableSize) {
            table[e[0]].status = e[1];
            table[e[0]].blocks = Be32(e + 2);
        }
    }
    return 1;
}

int StorSys::ReadMissingDrives(MissingDriveEntry table[kMissingTableSize], std::uint32_t* count,
                               ScsiResult& result) {
    std::vector<unsigned char> list;
    if (ReadTwoStep(0x23, 1, list, result) == 0) {
        return 0;
    }
    if (list.size() < kListHead) {
        return BadReply(result);
    }
    const std::uint32_t size = list[2];
    if (size < 73) {
        // An empty list may say so with any entry size.
        if (Be16(list.data()) <= 1) {
            for (std::uint32_t i = 0; i < kMissingTableSize; ++i) {
                table[i] = MissingDriveEntry{};
            }
            if (count != nullptr) {
                *count = 0;
            }
            return 1;
        }
        return BadReply(result);
    }
    std::uint32_t entries = Be16(list.data()) / size;
    const std::uint32_t fit = static_cast<std::uint32_t>(list.size() - kListHead) / size;
    if (entries > fit) {
        entries = fit;
    }
    if (entries > kMissingTableSize) {
        entries = kMissingTableSize;
    }
    for (std::uint32_t i = 0; i < kMissingTableSize; ++i) {
        table[i] = MissingDriveEntry{};
    }
    for (std::uint32_t i = 0; i < entries; ++i) {
        const unsigned char* e = list.data() + kListHead + i * size;
        MissingDriveEntry& m = table[i];
        m.present = 1;
        CopyText(m.productId, e, size, 1, 16);
        CopyText(m.driveId, e, size, 17, 16);
        CopyText(m.serial, e, size, 33, 12);
        CopyText(m.vendor, e, size, 45, 8);
        CopyText(m.volumeSetId, e, size, 53, 16);
        m.lastBlock = Be32(e + 69) - 1;
    }
    if (count != nullptr) {
        *count = entries;
    }
    return 1;
}

int StorSys::ReadVirtualCapacity(std::uint32_t& blocks, std::uint32_t& blockSize,
                                 ScsiResult& result) {
    ScsiCommand command(kCdbSize, 8, ScsiCommand::kDataIn, kDefaultTimeout, 0, 0);
    SetCdb(command, {0x24}, 10);
    if (Execute(command, result) == 0) {
        return 0;
    }
    blocks = command.DataBe32(0);
    blockSize = command.DataBe32(4);
    return 1;
}

bool StorSys::IsSequenceRefusal(const ScsiResult& result) {
    return result.result == ScsiResult::kScsiStatus && result.status == 0x02 &&
           result.SenseKey() == 5 && result.Asc() == 0x80 && result.Ascq() == 0x28;
}

int StorSys::ReadSequenceNumber(int flag, std::uint16_t& value, std::uint16_t next,
                                ScsiResult& result) {
    ScsiCommand command(kCdbSize, 2, ScsiCommand::kDataIn, kDefaultTimeout, 0, 0);
    SetCdb(command,
           {0xEE, static_cast<unsigned char>(flag != 0 ? 1 : 0),
            static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value),
            static_cast<unsigned char>(next >> 8), static_cast<unsigned char>(next)},
           10);
    if (Execute(command, result) != 0) {
        value = static_cast<std::uint16_t>(command.DataBe16(0));
        return 1;
    }
    // A refusal still answers with the controller's number, when it came.
    if (IsSequenceRefusal(result) && command.bytesMoved >= 2) {
        value = static_cast<std::uint16_t>(command.DataBe16(0));
    }
    return 0;
}

int StorSys::ReadRawPage(std::vector<unsigned char>& page, ScsiResult& result) {
    return ReadTwoStep(0xEF, 0, page, result);
}

int StorSys::ReadAlias(char text[17], std::uint32_t& length, ScsiResult& result) {
    if (formatLevel_ < 3) {
        length = 0;
        text[0] = '\0';
        return 1;
    }
    ScsiCommand command(kCdbSize, 16, ScsiCommand::kDataIn, kDefaultTimeout, 0, 0);
    SetCdb(command, {0xFC, 0, 0, 0, 0, 0, 0, 0, 16, 0}, 10);
    if (Execute(command, result) == 0) {
        return 0;
    }
    std::uint32_t n = 0;
    while (n < 16 && command.DataByte(n) != 0) {
        text[n] = static_cast<char>(command.DataByte(n));
        ++n;
    }
    text[n] = '\0';
    length = n;
    return 1;
}

// ---------------------------------------------------------------------------
// Controller actions

namespace {

int Simple(StorSys& storsys, std::initializer_list<unsigned char> cdb, std::uint32_t timeout,
           std::uint32_t option, ScsiResult& result) {
    ScsiCommand command(kCdbSize, 0, ScsiCommand::kNoData, timeout, 0, option);
    SetCdb(command, cdb, 10);
    return storsys.Execute(command, result);
}

}  // namespace

int StorSys::AddPhysicalDrive(std::uint8_t drive, ScsiResult& result) {
    return Simple(*this, {0xE0, 0, 0, 0, drive}, kDefaultTimeout, 0, result);
}

int StorSys::DownPhysicalDrive(std::uint32_t value3, std::uint32_t allowance, std::uint8_t drive,
                               ScsiResult& result) {
    unsigned char byte1 = static_cast<unsigned char>((value3 * 4) | (allowance & 3));
    return Simple(*this, {0xE1, byte1, 0, 0, drive}, kDefaultTimeout, 0, result);
}

void StorSys::MakeLunDescriptor(std::uint8_t lun, std::uint32_t capacity,
                                unsigned char descriptor[6]) {
    descriptor[0] = lun;
    descriptor[1] = static_cast<unsigned char>(capacity >> 24);
    descriptor[2] = static_cast<unsigned char>(capacity >> 16);
    descriptor[3] = static_cast<unsigned char>(capacity >> 8);
    descriptor[4] = static_cast<unsigned char>(capacity);
    descriptor[5] = 0;
}

int StorSys::CreateLun(const unsigned char descriptor[6], ScsiResult& result) {
    ScsiCommand command(kCdbSize, 6, ScsiCommand::kDataOut, kDefaultTimeout, 0, 0);
    SetCdb(command, {0xE2}, 10);
    for (std::uint32_t i = 0; i < 6; ++i) {
        command.SetDataByte(i, descriptor[i]);
    }
    return Execute(command, result);
}

int StorSys::DeleteLun(std::uint8_t lun, ScsiResult& result) {
    return Simple(*this, {0xE3, 0, lun}, 1280, 1, result);
}

int StorSys::FormatSubsystem(std::uint8_t kind, ScsiResult& result) {
    return Simple(*this, {0xE4, 0, 0, 0, 0, 0, 0, 0, kind, 0}, 7200, 2, result);
}

int StorSys::RenumberLun(std::uint8_t oldLun, std::uint8_t newLun, ScsiResult& result) {
    return Simple(*this, {0xE5, 0, oldLun, 0, newLun}, kDefaultTimeout, 1, result);
}

int StorSys::ResetPhysicalDrive(std::uint8_t drive, ScsiResult& result) {
    return Simple(*this, {0xE6, 0, 0, 0, drive}, kDefaultTimeout, 0, result);
}

int StorSys::SpinUpPhysicalDrive(std::uint8_t drive, ScsiResult& result) {
    return Simple(*this, {0xE7, 0, 0, 0, drive}, kDefaultTimeout, 0, result);
}

int StorSys::ShutdownSubsystem(ScsiResult& result) {
    return Simple(*this, {0xE8}, 128, 2, result);
}

int StorSys::SwitchController(ScsiResult& result) {
    return Simple(*this, {0xE9}, kDefaultTimeout, 0, result);
}

int StorSys::RestartController(int mode, ScsiResult& result) {
    return Simple(*this, {0xF0, static_cast<unsigned char>(mode != 0 ? 3 : 1)},
                  mode != 0 ? 256 : kDefaultTimeout, 0, result);
}

int StorSys::StartRebuild(ScsiResult& result) {
    return Simple(*this, {0x26, 1}, kDefaultTimeout, 0, result);
}

int StorSys::StopRebuild(ScsiResult& result) {
    return Simple(*this, {0x26, 0}, kDefaultTimeout, 0, result);
}

int StorSys::WriteVolumeSetId(const char id[16], bool useDefault, ScsiResult& result) {
    ScsiCommand command(kCdbSize, 16, ScsiCommand::kDataOut, 128, 0, 0);
    SetCdb(command, {0xFA, 0, 0, 0, 0, 0, 0, 0, 16, 0}, 10);
    for (std::uint32_t i = 0; i < 16; ++i) {
        command.SetDataByte(i,
                            useDefault || id == nullptr ? 0x46 : static_cast<unsigned char>(id[i]));
    }
    return Execute(command, result);
}

int StorSys::WriteAlias(const char alias[12], ScsiResult& result) {
    ScsiCommand command(kCdbSize, 12, ScsiCommand::kDataOut, kDefaultTimeout, 0, 0);
    SetCdb(command, {0xFD, 0, 0, 0, 0, 0, 0, 0, 12, 0}, 10);
    for (std::uint32_t i = 0; i < 12; ++i) {
        command.SetDataByte(i, static_cast<unsigned char>(alias[i]));
    }
    return Execute(command, result);
}

// ---------------------------------------------------------------------------
// Standard commands

int StorSys::TestUnitReady(std::uint8_t lun, ScsiResult& result) {
    ScsiCommand command(kCdbSize, 0, ScsiCommand::kNoData, kDefaultTimeout, lun, 0);
    SetCdb(command, {0x00, LunBits(lun)}, 6);
    return Execute(command, result);
}

int StorSys::TestUnitReadyDirect(std::uint8_t lun, ScsiResult& result) {
    ScsiCommand command(kCdbSize, 0, ScsiCommand::kNoData, kDefaultTimeout, lun, 0);
    SetCdb(command, {0x00, LunBits(lun)}, 6);
    return RunOnce(command, result);
}

int StorSys::ReadSense(std::uint8_t lun, unsigned char sense[26], ScsiResult& result) {
    ScsiCommand command(kCdbSize, 26, ScsiCommand::kDataIn, kDefaultTimeout, lun, 0);
    SetCdb(command, {0x03, LunBits(lun), 0, 0, 26, 0}, 6);
    if (Execute(command, result) == 0) {
        return 0;
    }
    if (sense != nullptr) {
        std::memcpy(sense, command.Data(), 26);
    }
    return 1;
}

int StorSys::FormatUnit(std::uint8_t lun, ScsiResult& result) {
    ScsiCommand command(kCdbSize, 0, ScsiCommand::kNoData, 128, lun, 1);
    SetCdb(command, {0x04, LunBits(lun)}, 6);
    return Execute(command, result);
}

int StorSys::ReadIdentityPage(std::uint8_t lun, IdentityPage& page, ScsiResult& result) {
    ScsiCommand command(kCdbSize, 28, ScsiCommand::kDataIn, kDefaultTimeout, lun, 0);
    SetCdb(command, {0x12, static_cast<unsigned char>(LunBits(lun) + 1), 0xE0, 0, 28, 0}, 6);
    if (Execute(command, result) == 0) {
        return 0;
    }
    std::memcpy(page.raw, command.Data(), 28);
    CopyText(page.productCode, page.raw, 28, 8, 10);
    CopyText(page.firmwareRevision, page.raw, 28, 18, 10);
    unsigned char tens = page.raw[16];
    unsigned char ones = page.raw[17];
    bool digits = tens >= '0' && tens <= '9' && ones >= '0' && ones <= '9';
    page.formatLevel = digits ? static_cast<std::uint32_t>((tens - '0') * 10 + (ones - '0')) : 0;
    formatLevel_ = page.formatLevel;
    return 1;
}

int StorSys::StandardInquiry(std::uint8_t lun, InquiryData& data, ScsiResult& result) {
    ScsiCommand command(kCdbSize, 36, ScsiCommand::kDataIn, kDefaultTimeout, lun, 0);
    SetCdb(command, {0x12, LunBits(lun), 0, 0, 36, 0}, 6);
    if (Execute(command, result) == 0) {
        return 0;
    }
    std::memcpy(data.raw, command.Data(), 36);
    data.peripheral = data.raw[0];
    data.version = data.raw[2];
    CopyText(data.vendor, data.raw, 36, 8, 8);
    CopyText(data.productId, data.raw, 36, 16, 16);
    CopyText(data.revision, data.raw, 36, 32, 4);
    return 1;
}

int StorSys::ReadUnitSerialPage(std::uint8_t lun, UnitSerialPage& page, ScsiResult& result) {
    ScsiCommand command(kCdbSize, 48, ScsiCommand::kDataIn, kDefaultTimeout, lun, 0);
    SetCdb(command, {0x12, static_cast<unsigned char>(LunBits(lun) + 1), 0x80, 0, 48, 0}, 6);
    if (Execute(command, result) == 0) {
        return 0;
    }
    std::memcpy(page.raw, command.Data(), 48);
    page.active = page.raw[2] & 1;
    CopyText(page.serial, page.raw, 48, 4, 16);
    CopyText(page.partnerSerial, page.raw, 48, 20, 16);
    CopyText(page.backplaneId, page.raw, 48, 36, 12);
    return 1;
}

int StorSys::ReadLunMap(std::uint8_t lun, std::uint8_t present[8], ScsiResult& result) {
    ScsiCommand command(kCdbSize, 36, ScsiCommand::kDataIn, kDefaultTimeout, lun, 0);
    SetCdb(command, {0x12, static_cast<unsigned char>(LunBits(lun) + 1), 0xC0, 0, 36, 0}, 6);
    if (Execute(command, result) == 0) {
        return 0;
    }
    for (std::uint32_t i = 0; i < 8; ++i) {
        present[i] = command.DataByte(4 + i);
    }
    return 1;
}

int StorSys::StartStopUnit(std::uint8_t lun, bool start, ScsiResult& result) {
    ScsiCommand command(kCdbSize, 0, ScsiCommand::kNoData, kDefaultTimeout, lun, 0);
    SetCdb(command, {0x1B, LunBits(lun), 0, 0, static_cast<unsigned char>(start ? 1 : 0), 0}, 6);
    return Execute(command, result);
}

int StorSys::ReadCapacity(std::uint8_t lun, std::uint32_t& lastBlock, std::uint32_t& blockLength,
                          ScsiResult& result) {
    ScsiCommand command(kCdbSize, 8, ScsiCommand::kDataIn, kDefaultTimeout, lun, 0);
    SetCdb(command, {0x25, LunBits(lun)}, 10);
    if (Execute(command, result) == 0) {
        return 0;
    }
    lastBlock = command.DataBe32(0);
    blockLength = command.DataBe32(4);
    return 1;
}

namespace {

void SetBlockCdb(ScsiCommand& command, unsigned char opcode, std::uint8_t lun, std::uint32_t block,
                 std::uint16_t count) {
    SetCdb(command, {opcode, LunBits(lun)}, 10);
    command.SetCdbValue(2, block, 4);
    command.SetCdbValue(7, count, 2);
}

}  // namespace

int StorSys::ReadBlocks(std::uint8_t lun, std::uint32_t block, std::uint16_t count,
                        unsigned char* buffer, std::uint32_t length, ScsiResult& result) {
    if (OverLimit(length)) {
        return BadReply(result, EINVAL);
    }
    ScsiCommand command(kCdbSize, length, ScsiCommand::kDataIn, kDefaultTimeout, lun, 0);
    SetBlockCdb(command, 0x28, lun, block, count);
    if (Execute(command, result) == 0) {
        return 0;
    }
    if (buffer != nullptr && command.dataLength != 0) {
        std::memcpy(buffer, command.Data(), command.dataLength);
    }
    return 1;
}

int StorSys::WriteBlocks(std::uint8_t lun, std::uint32_t block, std::uint16_t count,
                         const unsigned char* buffer, std::uint32_t length, ScsiResult& result) {
    if (OverLimit(length)) {
        return BadReply(result, EINVAL);
    }
    ScsiCommand command(kCdbSize, length, ScsiCommand::kDataOut, kDefaultTimeout, lun, 0);
    SetBlockCdb(command, 0x2A, lun, block, count);
    if (buffer != nullptr && command.dataLength != 0) {
        std::memcpy(command.Data(), buffer, command.dataLength);
    }
    return Execute(command, result);
}

int StorSys::WriteVerifyBlocks(std::uint8_t lun, std::uint32_t block, std::uint16_t count,
                               const unsigned char* buffer, std::uint32_t length,
                               ScsiResult& result) {
    if (OverLimit(length)) {
        return BadReply(result, EINVAL);
    }
    ScsiCommand command(kCdbSize, length, ScsiCommand::kDataOut, kDefaultTimeout, lun, 0);
    SetBlockCdb(command, 0x2E, lun, block, count);
    if (buffer != nullptr && command.dataLength != 0) {
        std::memcpy(command.Data(), buffer, command.dataLength);
    }
    return Execute(command, result);
}

int StorSys::VerifyBlocks(std::uint8_t lun, std::uint32_t block, std::uint16_t count,
                          ScsiResult& result) {
    ScsiCommand command(kCdbSize, 0, ScsiCommand::kNoData, kDefaultTimeout, lun, 0);
    SetBlockCdb(command, 0x2F, lun, block, count);
    return Execute(command, result);
}

int StorSys::WriteBuffer(std::uint8_t mode, std::uint32_t offset, const unsigned char* data,
                         std::uint32_t length, ScsiResult& result) {
    if (OverLimit(length)) {
        return BadReply(result, EINVAL);
    }
    ScsiCommand command(kCdbSize, length,
                        length == 0 ? ScsiCommand::kNoData : ScsiCommand::kDataOut, kDefaultTimeout,
                        0, 2);
    SetCdb(command, {0x3B, mode}, 10);
    command.SetCdbValue(3, offset & 0xFFFFFF, 3);
    command.SetCdbValue(6, length & 0xFFFFFF, 3);
    if (data != nullptr && command.dataLength != 0) {
        std::memcpy(command.Data(), data, command.dataLength);
    }
    return Execute(command, result);
}

// ---------------------------------------------------------------------------
// Mode pages

namespace {

void ModeSelectCdb(ScsiCommand& command, std::uint8_t lun, std::uint8_t length) {
    SetCdb(command, {0x55, static_cast<unsigned char>(LunBits(lun) + 1)}, 10);
    command.SetCdbValue(7, length, 2);
}

void ModeSenseCdb(ScsiCommand& command, std::uint8_t lun, std::uint8_t page, std::uint8_t length) {
    SetCdb(command, {0x5A, static_cast<unsigned char>(LunBits(lun) + 8), page}, 10);
    command.SetCdbValue(7, length, 2);
}

// The 8-byte mode parameter header of a MODE SELECT, then page code and length.
void PageHeader(ScsiCommand& command, unsigned char page, unsigned char pageLength) {
    for (std::uint32_t i = 0; i < 8; ++i) {
        command.SetDataByte(i, 0);
    }
    command.SetDataByte(8, page);
    command.SetDataByte(9, pageLength);
    for (std::uint32_t i = 10; i < command.dataLength; ++i) {
        command.SetDataByte(i, 0);
    }
}

unsigned char B(std::uint32_t word, int bit) {
    return static_cast<unsigned char>((word & 1u) << bit);
}

}  // namespace

int StorSys::WriteCachingPage(std::uint8_t lun, bool wce, bool rcd, ScsiResult& result) {
    ScsiCommand command(kCdbSize, 20, ScsiCommand::kDataOut, kDefaultTimeout, lun, 0);
    ModeSelectCdb(command, lun, 20);
    PageHeader(command, 0x08, 10);
    command.SetDataByte(10, static_cast<unsigned char>((wce ? 4 : 0) | (rcd ? 1 : 0)));
    return Execute(command, result);
}

int StorSys::WriteModePage22(std::uint8_t lun, const ModePage22Record& r, ScsiResult& result) {
    ScsiCommand command(kCdbSize, 42, ScsiCommand::kDataOut, kDefaultTimeout, lun, 0);
    ModeSelectCdb(command, lun, 42);
    PageHeader(command, 0x22, 32);
    const std::uint32_t* w = r.word;
    for (std::uint32_t i = 0; i < 4; ++i) {
        command.SetDataByte(10 + i, static_cast<unsigned char>(w[1] >> (24 - 8 * i)));
        command.SetDataByte(14 + i, static_cast<unsigned char>(w[2] >> (24 - 8 * i)));
    }
    command.SetDataByte(18, B(w[3], 0) | B(w[4], 1) | B(w[7], 2) | B(w[8], 3));
    command.SetDataByte(19, static_cast<unsigned char>(w[5]));
    command.SetDataByte(20, static_cast<unsigned char>(w[6]));
    command.SetDataByte(21, B(w[9], 6) | B(w[10], 5) | B(w[11], 4) |
                                static_cast<unsigned char>((w[12] & 3) << 2) | B(w[13], 1) |
                                B(w[14], 0));
    command.SetDataByte(22, static_cast<unsigned char>(w[15]));
    command.SetDataByte(23, static_cast<unsigned char>(w[16]));
    return Execute(command, result);
}

int StorSys::WriteModePage21(std::uint8_t lun, const ModePage21Record& r, int flag,
                             ScsiResult& result) {
    ScsiCommand command(kCdbSize, 22, ScsiCommand::kDataOut, kDefaultTimeout, lun,
                        flag != 0 ? 2 : 0);
    ModeSelectCdb(command, lun, 22);
    PageHeader(command, 0x21, 12);
    const std::uint32_t* w = r.word;
    command.SetDataByte(10, static_cast<unsigned char>(w[1]));
    command.SetDataByte(11, B(w[2], 6) | B(w[3], 5) | B(w[4], 4) | B(w[5], 3) | B(w[6], 2) |
                                B(w[7], 1) | B(w[9], 0));
    command.SetDataByte(12, B(w[8], 7) | B(w[10], 6) | B(w[11], 5) | B(w[12], 4) | B(w[13], 3) |
                                B(w[14], 2) | B(w[15], 1) | B(w[16], 0));
    command.SetDataByte(13, static_cast<unsigned char>(w[18]));
    command.SetDataByte(14, static_cast<unsigned char>(w[17]));
    command.SetDataByte(15, B(w[19], 7) | B(w[20], 6) | B(w[21], 5) | B(w[22], 4) |
                                static_cast<unsigned char>(w[23] & 0x0F));
    command.SetDataByte(16, static_cast<unsigned char>(w[24] >> 8));
    command.SetDataByte(17, static_cast<unsigned char>(w[24]));
    command.SetDataByte(18, static_cast<unsigned char>(w[25]));
    command.SetDataByte(19, static_cast<unsigned char>(w[26] >> 8));
    command.SetDataByte(20, static_cast<unsigned char>(w[26]));
    command.SetDataByte(21, static_cast<unsigned char>(w[27]));
    return Execute(command, result);
}

int StorSys::ReadModePage22(std::uint8_t lun, ModePage22Record& r, ScsiResult& result) {
    std::uint32_t* w = r.word;
    for (std::uint32_t i = 1; i <= 16; ++i) {
        w[i] = 0;
    }
    w[5] = 3;
    w[6] = 3;
    if (formatLevel_ == 0) {
        return 1;
    }
    ScsiCommand command(kCdbSize, 42, ScsiCommand::kDataIn, kDefaultTimeout, lun, 0);
    ModeSenseCdb(command, lun, 0x22, 42);
    if (Execute(command, result) == 0) {
        return 0;
    }
    const unsigned char b18 = command.DataByte(18);
    const unsigned char b21 = command.DataByte(21);
    w[1] = command.DataBe32(10);
    w[2] = command.DataBe32(14);
    w[3] = Bit(b18, 0);
    if (formatLevel_ >= 2) {
        w[4] = Bit(b18, 1);
        w[5] = command.DataByte(19);
        w[6] = command.DataByte(20);
    }
    if (formatLevel_ >= 3) {
        w[7] = Bit(b18, 2);
        w[8] = Bit(b18, 3);
        w[9] = Bit(b21, 6);
        w[10] = Bit(b21, 5);
        w[11] = Bit(b21, 4);
        w[12] = (b21 >> 2) & 3u;
        w[13] = Bit(b21, 1);
        w[14] = Bit(b21, 0);
        w[15] = command.DataByte(22);
        w[16] = command.DataByte(23);
    }
    return 1;
}

int StorSys::ReadCachingPage(std::uint8_t lun, bool& wce, bool& rcd, ScsiResult& result) {
    ScsiCommand command(kCdbSize, 20, ScsiCommand::kDataIn, kDefaultTimeout, lun, 0);
    ModeSenseCdb(command, lun, 0x08, 20);
    if (Execute(command, result) == 0) {
        return 0;
    }
    wce = Bit(command.DataByte(10), 2) != 0;
    rcd = Bit(command.DataByte(10), 0) != 0;
    return 1;
}

int StorSys::ReadModePage21(std::uint8_t lun, ModePage21Record& r, ScsiResult& result) {
    ScsiCommand command(kCdbSize, 22, ScsiCommand::kDataIn, kDefaultTimeout, lun, 0);
    ModeSenseCdb(command, lun, 0x21, 22);
    if (Execute(command, result) == 0) {
        return 0;
    }
    std::uint32_t* w = r.word;
    const unsigned char b11 = command.DataByte(11);
    const unsigned char b12 = command.DataByte(12);
    const unsigned char b15 = command.DataByte(15);
    w[1] = command.DataByte(10);
    for (int i = 0; i < 6; ++i) {
        w[2 + i] = Bit(b11, 6 - i);
    }
    w[8] = Bit(b12, 7);
    w[9] = Bit(b11, 0);
    for (int i = 0; i < 7; ++i) {
        w[10 + i] = Bit(b12, 6 - i);
    }
    w[17] = command.DataByte(14);
    w[18] = command.DataByte(13);
    for (int i = 0; i < 4; ++i) {
        w[19 + i] = Bit(b15, 7 - i);
    }
    w[23] = b15 & 0x0Fu;
    w[24] = command.DataBe16(16);
    w[25] = command.DataByte(18);
    w[26] = command.DataBe16(19);
    w[27] = command.DataByte(21);
    pageKind_ = w[27] == 12 ? 2 : (w[27] == 13 ? 1 : 0);
    return 1;
}

// ---------------------------------------------------------------------------
// Drive exchange

int StorSys::SendRequestBlock(std::uint8_t lun, std::uint32_t direction, std::uint8_t drive,
                              std::uint32_t dataLength, const unsigned char* driveCdb,
                              std::uint8_t driveCdbLength, ScsiResult& result) {
    if (driveCdb == nullptr || driveCdbLength == 0 || driveCdbLength > 16) {
        return BadReply(result);
    }
    unsigned char code = direction == ScsiCommand::kDataOut  ? 2
                         : direction == ScsiCommand::kDataIn ? 3
                                                             : 1;
    ScsiCommand command(kCdbSize, driveCdbLength, ScsiCommand::kDataOut, kDefaultTimeout, lun, 0);
    SetCdb(command,
           {0x27, static_cast<unsigned char>(LunBits(lun) + code), drive, 0, driveCdbLength}, 10);
    command.SetCdbValue(5, dataLength, 4);
    for (std::uint32_t i = 0; i < driveCdbLength; ++i) {
        command.SetDataByte(i, driveCdb[i]);
    }
    return Execute(command, result);
}

int StorSys::ExchangeReply(std::uint8_t lun, std::uint32_t direction, std::uint32_t length,
                           unsigned char* buffer, std::uint32_t* moved, ScsiResult& result) {
    if (moved != nullptr) {
        *moved = 0;
    }
    if (OverLimit(length)) {
        return BadReply(result, EINVAL);
    }
    unsigned char opcode = direction == ScsiCommand::kDataOut  ? 0xF3
                           : direction == ScsiCommand::kDataIn ? 0xF4
                                                               : 0x29;
    std::uint32_t dataLength = opcode == 0x29 ? 0 : length;
    ScsiCommand command(kCdbSize, dataLength, opcode == 0x29 ? ScsiCommand::kNoData : direction,
                        kExchangeTimeout, lun, 0);
    SetCdb(command, {opcode, LunBits(lun)}, 10);
    if (opcode == 0xF3 && buffer != nullptr && command.dataLength != 0) {
        std::memcpy(command.Data(), buffer, command.dataLength);
    }
    int ok = Execute(command, result);
    if (ok != 0 && opcode == 0xF4) {
        std::uint32_t got =
            command.bytesMoved < command.dataLength ? command.bytesMoved : command.dataLength;
        if (buffer != nullptr && got != 0) {
            std::memcpy(buffer, command.Data(), got);
        }
        if (moved != nullptr) {
            *moved = got;
        }
    } else if (moved != nullptr) {
        *moved = ok != 0 ? command.bytesMoved : 0;
    }
    return ok;
}

int StorSys::DriveCommand(std::uint8_t drive, const unsigned char* driveCdb, std::uint8_t cdbLength,
                          std::uint32_t direction, unsigned char* buffer, std::uint32_t length,
                          std::uint32_t* moved, ScsiResult& result) {
    if (moved != nullptr) {
        *moved = 0;
    }
    if (OverLimit(length)) {
        return BadReply(result, EINVAL);
    }
    if (SendRequestBlock(0, direction, drive, length, driveCdb, cdbLength, result) == 0) {
        return 0;
    }
    // A caller that takes no count of the bytes moved asked for all of them:
    // a data phase that moved fewer is a failed command, not stale data.
    std::uint32_t got = 0;
    if (ExchangeReply(0, direction, length, buffer, &got, result) == 0) {
        return 0;
    }
    if (moved != nullptr) {
        *moved = got;
    } else if (direction != ScsiCommand::kNoData && got < length) {
        return BadReply(result, EIO);
    }
    return 1;
}

int StorSys::DriveReadCapacity(std::uint8_t drive, std::uint32_t& lastBlock,
                               std::uint32_t& blockLength, ScsiResult& result) {
    const unsigned char cdb[10] = {0x25};
    unsigned char data[8];
    std::uint32_t moved = 0;
    if (DriveCommand(drive, cdb, 10, ScsiCommand::kDataIn, data, 8, &moved, result) == 0) {
        return 0;
    }
    if (moved < 8) {
        return BadReply(result);
    }
    lastBlock = Be32(data);
    blockLength = Be32(data + 4);
    return 1;
}

int StorSys::DriveModeSense(std::uint8_t drive, bool dbd, std::uint8_t pageControlAndCode,
                            unsigned char* buffer, std::uint8_t allocation, ScsiResult& result) {
    const unsigned char cdb[6] = {
        0x1A, static_cast<unsigned char>(dbd ? 0x08 : 0), pageControlAndCode, 0, allocation, 0};
    return DriveCommand(drive, cdb, 6, ScsiCommand::kDataIn, buffer, allocation, nullptr, result);
}

namespace {

void DriveBlockCdb(unsigned char cdb[10], unsigned char opcode, std::uint32_t block,
                   std::uint16_t count) {
    std::memset(cdb, 0, 10);
    cdb[0] = opcode;
    cdb[2] = static_cast<unsigned char>(block >> 24);
    cdb[3] = static_cast<unsigned char>(block >> 16);
    cdb[4] = static_cast<unsigned char>(block >> 8);
    cdb[5] = static_cast<unsigned char>(block);
    cdb[7] = static_cast<unsigned char>(count >> 8);
    cdb[8] = static_cast<unsigned char>(count);
}

}  // namespace

int StorSys::DriveRead(std::uint8_t drive, std::uint32_t block, std::uint16_t count,
                       unsigned char* buffer, ScsiResult& result) {
    unsigned char cdb[10];
    DriveBlockCdb(cdb, 0x28, block, count);
    return DriveCommand(drive, cdb, 10, ScsiCommand::kDataIn, buffer, count * kBlockSize, nullptr,
                        result);
}

int StorSys::DriveWrite(std::uint8_t drive, std::uint32_t block, std::uint16_t count,
                        const unsigned char* buffer, ScsiResult& result) {
    unsigned char cdb[10];
    DriveBlockCdb(cdb, 0x2A, block, count);
    return DriveCommand(drive, cdb, 10, ScsiCommand::kDataOut, const_cast<unsigned char*>(buffer),
                        count * kBlockSize, nullptr, result);
}

int StorSys::DriveWriteVerify(std::uint8_t drive, std::uint32_t block, std::uint16_t count,
                              const unsigned char* buffer, ScsiResult& result) {
    unsigned char cdb[10];
    DriveBlockCdb(cdb, 0x2E, block, count);
    return DriveCommand(drive, cdb, 10, ScsiCommand::kDataOut, const_cast<unsigned char*>(buffer),
                        count * kBlockSize, nullptr, result);
}

int StorSys::DriveVerify(std::uint8_t drive, std::uint32_t block, std::uint16_t count,
                         ScsiResult& result) {
    unsigned char cdb[10];
    DriveBlockCdb(cdb, 0x2F, block, count);
    return DriveCommand(drive, cdb, 10, ScsiCommand::kNoData, nullptr, 0, nullptr, result);
}

int StorSys::DriveTestUnitReady(std::uint8_t drive, ScsiResult& result) {
    const unsigned char cdb[6] = {0, 0, 0, 0, 0, 0};
    return DriveCommand(drive, cdb, 6, ScsiCommand::kNoData, nullptr, 0, nullptr, result);
}

int StorSys::DriveReadDefectData(std::uint8_t drive, bool plist, bool glist, std::uint8_t format,
                                 unsigned char* buffer, std::uint16_t allocation,
                                 std::uint32_t* moved, ScsiResult& result) {
    const unsigned char cdb[10] = {
        0x37,
        0,
        static_cast<unsigned char>((plist ? 0x10 : 0) | (glist ? 0x08 : 0) | (format & 7)),
        0,
        0,
        0,
        0,
        static_cast<unsigned char>(allocation >> 8),
        static_cast<unsigned char>(allocation),
        0};
    return DriveCommand(drive, cdb, 10, ScsiCommand::kDataIn, buffer, allocation, moved, result);
}

int StorSys::DriveInquiry(std::uint8_t drive, unsigned char buffer[36], std::uint32_t* moved,
                          ScsiResult& result) {
    const unsigned char cdb[6] = {0x12, 0, 0, 0, 36, 0};
    return DriveCommand(drive, cdb, 6, ScsiCommand::kDataIn, buffer, 36, moved, result);
}

int StorSys::DriveInquiryPage(std::uint8_t drive, std::uint8_t page, unsigned char* buffer,
                              std::uint8_t allocation, std::uint32_t* moved, ScsiResult& result) {
    const unsigned char cdb[6] = {0x12, 1, page, 0, allocation, 0};
    return DriveCommand(drive, cdb, 6, ScsiCommand::kDataIn, buffer, allocation, moved, result);
}

int StorSys::DriveModeSelect(std::uint8_t drive, std::uint8_t pfOrSp, const unsigned char* data,
                             std::uint8_t length, ScsiResult& result) {
    const unsigned char cdb[6] = {0x15, pfOrSp, 0, 0, length, 0};
    return DriveCommand(drive, cdb, 6, ScsiCommand::kDataOut, const_cast<unsigned char*>(data),
                        length, nullptr, result);
}

int StorSys::DriveLogSelect(std::uint8_t drive, std::uint8_t pcrOrSp, std::uint8_t pageControl,
                            const unsigned char* data, std::uint16_t length, ScsiResult& result) {
    const unsigned char cdb[10] = {0x4C,
                                   pcrOrSp,
                                   static_cast<unsigned char>((pageControl & 3) << 6),
                                   0,
                                   0,
                                   0,
                                   0,
                                   static_cast<unsigned char>(length >> 8),
                                   static_cast<unsigned char>(length),
                                   0};
    return DriveCommand(drive, cdb, 10, length == 0 ? ScsiCommand::kNoData : ScsiCommand::kDataOut,
                        const_cast<unsigned char*>(data), length, nullptr, result);
}

int StorSys::DriveLogSense(std::uint8_t drive, std::uint8_t page, unsigned char* buffer,
                           std::uint16_t allocation, std::uint32_t* moved, ScsiResult& result) {
    const unsigned char cdb[10] = {0x4D,
                                   0,
                                   page,
                                   0,
                                   0,
                                   0,
                                   0,
                                   static_cast<unsigned char>(allocation >> 8),
                                   static_cast<unsigned char>(allocation),
                                   0};
    return DriveCommand(drive, cdb, 10, ScsiCommand::kDataIn, buffer, allocation, moved, result);
}
