#include "tools/firmware/DownloadPrinters.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/firmware/DownloadConsole.h"

namespace download {

namespace {

using T = DownloadText;

constexpr std::uint8_t kCheckCondition = 0x02;
constexpr std::uint8_t kDriveSenseMark = 0x80;
constexpr std::uint32_t kSenseBytesPerLine = 8;

// A sense byte, 0 beyond what the device returned.
std::uint8_t Sense(const ScsiResult& result, std::uint32_t at) {
    return at < result.senseLength && at < ScsiResult::kSenseSize ? result.sense[at] : 0;
}

void Status(std::uint32_t status) {
    switch (status) {
        case 0x00:
            Complain(T::STATUS_GOOD);
            Complain(T::UNEXPECTED_WARNING);
            break;
        case 0x02:
            Complain(T::STATUS_CHECK_CONDITION);
            break;
        case 0x04:
            Complain(T::STATUS_CONDITION_MET);
            Complain(T::UNEXPECTED_WARNING_SPACED);
            break;
        case 0x08:
            Complain(T::STATUS_BUSY);
            break;
        case 0x10:
        case 0x14:
            Complain(T::STATUS_INTERMEDIATE);
            break;
        case 0x18:
            Complain(T::STATUS_RESERVATION_CONFLICT);
            break;
        case 0x22:
            Complain(T::STATUS_TERMINATED);
            break;
        case 0x28:
            Complain(T::STATUS_QUEUE_FULL);
            break;
        default:
            Complain(T::STATUS_UNKNOWN);
            break;
    }
}

void NotReady(std::uint8_t asc, std::uint8_t ascq) {
    if (asc != 0x04)
        return;
    switch (ascq) {
        case 0:
            Complain(T::NOT_READY_CAUSE);
            break;
        case 1:
            Complain(T::NOT_READY_BECOMING);
            break;
        case 2:
            Complain(T::NOT_READY_INIT_REQUIRED);
            break;
        case 3:
            Complain(T::NOT_READY_MANUAL);
            break;
        case 4:
            Complain(T::NOT_READY_FORMAT);
            break;
        default:
            Complain(T::UNKNOWN_QUALIFIER);
            break;
    }
}

void IllegalRequest(std::uint8_t asc, std::uint8_t ascq) {
    if (asc == 0x24) {
        Complain(T::ILLEGAL_FIELD_CDB);
    } else if (asc == 0x26) {
        switch (ascq) {
            case 0:
                Complain(T::ILLEGAL_FIELD_LIST);
                break;
            case 1:
                Complain(T::PARAMETER_NOT_SUPPORTED);
                break;
            case 2:
                Complain(T::PARAMETER_VALUE_INVALID);
                break;
            case 0x62:
                Complain(T::FIRMWARE_CHECKSUM);
                break;
            case 0x63:
                Complain(T::FIRMWARE_WRONG_TYPE);
                break;
            default:
                Complain(T::NEW_LINE);
                break;
        }
    } else if (asc == 0x2C) {
        Complain(T::COMMAND_SEQUENCE);
    }
}

void SenseKey(const ScsiResult& result) {
    const std::uint8_t byte2 = Sense(result, 2);
    Complain(T::SENSE_KEY, byte2);
    // The key is the low four bits; the others are the filemark,
    // end-of-medium and incorrect-length flags.
    const std::uint8_t key = byte2 & 0x0F;
    const bool drive = Sense(result, 12) == kDriveSenseMark;
    const std::uint8_t asc = drive ? Sense(result, 23) : Sense(result, 12);
    const std::uint8_t ascq = drive ? Sense(result, 24) : Sense(result, 13);
    static constexpr T kPlain[] = {
        T::KEY_NO_SENSE,    T::KEY_RECOVERED,       T::KEY_NOT_READY,      T::KEY_MEDIUM,
        T::KEY_HARDWARE,    T::KEY_ILLEGAL_REQUEST, T::KEY_UNIT_ATTENTION, T::KEY_DATA_PROTECT,
        T::KEY_BLANK_CHECK, T::KEY_VENDOR,          T::KEY_COPY_ABORTED,   T::KEY_ABORTED,
        T::KEY_EQUAL,       T::KEY_VOLUME_OVERFLOW, T::KEY_MISCOMPARE};
    if (key >= sizeof kPlain / sizeof kPlain[0]) {
        Complain(T::KEY_UNKNOWN);
        return;
    }
    Complain(kPlain[key]);
    switch (key) {
        case 2:
            Complain(T::ASC_ASCQ, asc, ascq);
            NotReady(asc, ascq);
            break;
        case 5:
            Complain(T::ASC_ASCQ, asc, ascq);
            IllegalRequest(asc, ascq);
            break;
        case 6:
            Complain(T::ASC_ASCQ, asc, ascq);
            if (asc == 0x29)
                Complain(T::POWER_ON_RESET);
            break;
        default:
            break;
    }
}

}  // namespace

void PrintScsiError(const ScsiResult& result) {
    Complain(T::SCSI_ERROR);
    Complain(T::SCSI_STATUS, result.status);
    Status(result.status);
    if (result.status == kCheckCondition)
        SenseKey(result);
    Complain(T::NEW_LINE);
    const std::uint32_t length =
        result.senseLength < ScsiResult::kSenseSize ? result.senseLength : ScsiResult::kSenseSize;
    for (std::uint32_t at = 0; at < length; at += kSenseBytesPerLine) {
        Complain(T::SENSE_DATA);
        for (std::uint32_t i = at; i < length && i < at + kSenseBytesPerLine; ++i)
            Complain(T::SENSE_BYTE, result.sense[i]);
        Complain(T::NEW_LINE);
    }
    Complain(T::NEW_LINE);
}

void PrintCommandState(const ScsiResult& result, const char* text) {
    std::fputs(text, Console().err);
    switch (result.result) {
        case 0:
            Complain(T::COMMAND_GOOD);
            break;
        case 1:
            PrintScsiError(result);
            break;
        case 2: {
            Complain(T::SYSTEM_ERROR, static_cast<int>(result.status));
            std::fprintf(Console().err, "%s: %s\n", text,
                         std::strerror(static_cast<int>(result.status)));
            break;
        }
        case 3:
            Complain(T::DRIVER_ERROR);
            break;
        case 4:
            Complain(T::IN_PROGRESS);
            break;
        case 5:
            Complain(T::TIME_OUT);
            break;
        case 6:
            Complain(T::NON_OPERATIONAL);
            break;
        case 7:
            Complain(T::NON_OP_RESCAN);
            break;
        default:
            break;
    }
    std::fflush(Console().err);
}

}  // namespace download
