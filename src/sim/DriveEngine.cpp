#include "sim/DriveEngine.h"

#include <algorithm>
#include <optional>

#include "sim/ByteOrder.h"
#include "sim/DriveFirmware.h"
#include "sim/DriveMedia.h"
#include "sim/DriveModePages.h"

namespace sim {

SimReply DataReply(std::vector<std::uint8_t> page, std::uint32_t length) {
    SimReply r;
    page.resize(length, 0);
    r.dataIn = std::move(page);
    r.bytesMoved = length;
    return r;
}

SimReply DriveEngine::Execute(const std::vector<std::uint8_t>& cdb,
                              const std::vector<std::uint8_t>& data, std::uint32_t maxIn,
                              bool* changed) {
    if (cdb.empty())
        return CheckCondition(kKeyIllegalRequest, 0x20, 0);
    const std::uint8_t op = cdb[0];
    const std::size_t need = (op >= 0x20 && op < 0x60) ? 10 : 6;
    if (cdb.size() < need)
        return CheckCondition(kKeyIllegalRequest, 0x24, 0);
    if (!drive_.present)
        return CheckCondition(kKeyNotReady, 0x3A, 0);
    SimReply attention;
    if (DriveFirmware::TakeUnitAttention(drive_, op, &attention, changed))
        return attention;
    const bool broken = drive_.state == kDriveFailed || drive_.state == kDriveInitFailed;
    if (broken && op != 0x12 && op != 0x03)
        return CheckCondition(kKeyHardwareError, 0x44, 0);
    SimReply r;
    switch (op) {
        case 0x00:  // TEST UNIT READY
        case 0x1B:  // START STOP UNIT
            break;
        case 0x03:
            r = DataReply(MakeSense(kKeyNoSense, 0, 0), cdb[4]);
            break;
        case 0x04:  // FORMAT UNIT
            drive_.data.Clear();
            *changed = true;
            break;
        case 0x12:
            r = Inquiry(cdb);
            break;
        case 0x15:
            r = DriveModePages::Select(drive_, cdb, data, changed);
            break;
        case 0x1A:
            r = DriveModePages::Sense(drive_, cdb);
            break;
        case 0x25: {
            std::vector<std::uint8_t> p(8, 0);
            PutBe32(p, 0, drive_.blocks ? drive_.blocks - 1 : 0);
            PutBe32(p, 4, kBlockSize);
            r = DataReply(p, 8);
            break;
        }
        case 0x28:
        case 0x2A:
        case 0x2E:
        case 0x2F:
            r = ReadWrite(cdb, data, changed);
            break;
        case 0x37:
            r = ReadDefects(cdb);
            break;
        case 0x3B:
            r = DriveFirmware::WriteBuffer(drive_, cdb, data, changed);
            break;
        case 0x4C:  // LOG SELECT: PCR resets the counters
            if (cdb[1] & 0x02) {
                drive_.errorCounters.fill(0);
                drive_.uncorrectedErrors.fill(0);
                drive_.nonMediumErrors = 0;
                *changed = true;
            }
            break;
        case 0x4D:
            r = LogSense(cdb);
            break;
        default:
            return CheckCondition(kKeyIllegalRequest, 0x20, 0);
    }
    if (r.dataIn.size() > maxIn) {
        r.dataIn.resize(maxIn);
        r.bytesMoved = maxIn;
    }
    return r;
}

SimReply DriveEngine::Inquiry(const std::vector<std::uint8_t>& cdb) {
    const std::uint32_t alloc = GetBe16(cdb, 3);
    if (cdb[1] & 0x01) {
        std::vector<std::uint8_t> p;
        switch (cdb[2]) {
            case 0x00:
                p = {0, 0x00, 0, 2, 0x00, 0x80};
                break;
            case 0x80:
                p.assign(4 + 12, 0);
                p[1] = 0x80;
                p[3] = 12;
                PutText(p, 4, 12, drive_.serial);
                break;
            default:
                return CheckCondition(kKeyIllegalRequest, 0x24, 0);
        }
        return DataReply(p, alloc);
    }
    if (cdb[2] != 0)
        return CheckCondition(kKeyIllegalRequest, 0x24, 0);
    std::vector<std::uint8_t> p(36, 0);
    p[2] = 2;
    p[3] = 2;
    p[4] = 31;
    PutText(p, 8, 8, drive_.vendor);
    PutText(p, 16, 16, drive_.product);
    PutText(p, 32, 4, drive_.revision);
    return DataReply(p, alloc);
}

SimReply DriveEngine::ReadDefects(const std::vector<std::uint8_t>& cdb) {
    const bool plist = cdb[2] & 0x10;
    const bool glist = cdb[2] & 0x08;
    const std::uint8_t format = cdb[2] & 0x07;
    if (format != 5 && format != 4 && format != 0) {
        return CheckCondition(kKeyIllegalRequest, 0x24, 0);
    }
    std::vector<std::uint8_t> p(4, 0);
    p[1] = static_cast<std::uint8_t>((plist ? 0x10 : 0) | (glist ? 0x08 : 0) | format);
    if (glist) {
        for (const auto& d : drive_.defects) {
            std::vector<std::uint8_t> e(8, 0);
            e[0] = static_cast<std::uint8_t>(d.cylinder >> 16);
            e[1] = static_cast<std::uint8_t>(d.cylinder >> 8);
            e[2] = static_cast<std::uint8_t>(d.cylinder);
            e[3] = d.head;
            PutBe32(e, 4, d.sector);
            p.insert(p.end(), e.begin(), e.end());
        }
    }
    PutBe16(p, 2, static_cast<std::uint32_t>(p.size() - 4));
    return DataReply(p, GetBe16(cdb, 7));
}

SimReply DriveEngine::LogSense(const std::vector<std::uint8_t>& cdb) {
    const std::uint8_t page = cdb[2] & 0x3F;
    std::vector<std::uint8_t> p(4, 0);
    p[0] = page;
    auto param = [&p](std::uint16_t code, std::uint32_t value) {
        std::vector<std::uint8_t> e(8, 0);
        PutBe16(e, 0, code);
        e[2] = 0x60;
        e[3] = 4;
        PutBe32(e, 4, value);
        p.insert(p.end(), e.begin(), e.end());
    };
    switch (page) {
        case 0x00:
            for (std::uint8_t c : {0x00, 0x02, 0x03, 0x05, 0x06})
                p.push_back(c);
            break;
        case 0x02:
        case 0x03:
        case 0x05:
            for (std::uint16_t i = 0; i < 7; ++i) {
                // Read (3) and verify (5) counters follow the write ones (2).
                std::uint32_t v = drive_.errorCounters[i];
                if (page == 0x03)
                    v = v / 2;
                if (page == 0x05)
                    v = v / 4;
                // Parameter 6: the errors the drive could not correct.
                if (i == 6)
                    v += drive_.uncorrectedErrors[page == 0x02 ? 0 : (page == 0x03 ? 1 : 2)];
                param(i, v);
            }
            break;
        case 0x06:
            param(0, drive_.nonMediumErrors);
            break;
        default:
            return CheckCondition(kKeyIllegalRequest, 0x24, 0);
    }
    PutBe16(p, 2, static_cast<std::uint32_t>(p.size() - 4));
    return DataReply(p, GetBe16(cdb, 7));
}

SimReply DriveEngine::ReadWrite(const std::vector<std::uint8_t>& cdb,
                                const std::vector<std::uint8_t>& data, bool* changed) {
    const std::uint32_t lba = GetBe32(cdb, 2);
    const std::uint32_t count = GetBe16(cdb, 7);
    if (std::uint64_t(lba) + count > drive_.blocks) {
        return CheckCondition(kKeyIllegalRequest, 0x21, 0);
    }
    if (std::optional<SimReply> failed = DriveMedia::Check(drive_, cdb[0], lba, count)) {
        *changed = true;  // the drive counted the error
        return *failed;
    }
    SimReply r;
    if (cdb[0] == 0x28) {
        std::vector<std::uint8_t> out(std::size_t(count) * kBlockSize, 0);
        if (!drive_.data.Read(lba, count, out.data())) {
            // The medium could not be read: an unrecovered read error.
            *changed = true;
            ++drive_.uncorrectedErrors[1];
            return CheckCondition(kKeyMediumError, 0x11, 0x00);
        }
        DriveMedia::Alter(drive_, lba, out);
        r.bytesMoved = static_cast<std::uint32_t>(out.size());
        r.dataIn = std::move(out);
    } else if (cdb[0] != 0x2F) {
        std::vector<std::uint8_t> blocks(std::size_t(count) * kBlockSize, 0);
        std::copy_n(data.begin(), std::min(blocks.size(), data.size()), blocks.begin());
        *changed = true;
        if (!drive_.data.Write(lba, count, blocks.data())) {
            // The medium could not be written: a write error.
            ++drive_.uncorrectedErrors[0];
            return CheckCondition(kKeyMediumError, 0x0C, 0x00);
        }
        r.bytesMoved =
            std::min<std::uint32_t>(count * kBlockSize, static_cast<std::uint32_t>(data.size()));
    }
    return r;
}

}  // namespace sim
