#include "cli/common/ErrorPrinter.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <iomanip>
#include <memory>
#include <string>

#include "catalog/StringCatalog.h"
#include "cli/common/CliConfig.h"
#include "cli/common/CliTexts.h"
#include "cli/common/NameTables.h"
#include "cli/common/ValueText.h"
#include "coresys/common/MESSAGE_CODE.h"
#include "coresys/common/ORU_ReturnMsg.h"
#include "coresys/common/OruErrors.h"
#include "coresys/common/PollMsg.h"

namespace {

constexpr std::size_t kSenseKeyByte = 2;
constexpr std::size_t kAdditionalLengthByte = 7;
constexpr std::size_t kAscByte = 12;
constexpr std::size_t kAscqByte = 13;
constexpr std::size_t kFruByte = 14;
constexpr std::size_t kVendorByte = 18;
constexpr std::size_t kVendorCodeHigh = 19;
constexpr std::size_t kVendorCodeLow = 20;
constexpr std::size_t kDriveKeyByte = 22;
constexpr std::size_t kDriveAscByte = 23;
constexpr std::size_t kDriveAscqByte = 24;
constexpr std::size_t kDriveSlotByte = 25;
constexpr std::size_t kSenseHeaderBytes = 8;
constexpr std::size_t kMostSenseShown = 64;
constexpr std::size_t kSenseBytesPerLine = 8;
// The vendor code needs bytes 19 and 20, so at least 21 valid bytes.
constexpr std::size_t kBytesForVendorCode = kVendorCodeLow + 1;
constexpr unsigned kLongSenseLength = 18;
constexpr unsigned kShortSenseLength = 14;

constexpr std::uint32_t kPerformanceDataUnavailable = ERR_PERFORMANCE_LOG_DATA_UNAVAILABLE;
constexpr std::uint32_t kOemClass = 3;
constexpr std::uint32_t kSenseClass = 1;
constexpr std::uint32_t kDetailSource = 1;

bool OneOf(std::uint32_t value, std::initializer_list<std::uint32_t> values) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

bool InRange(std::uint32_t value, std::uint32_t low, std::uint32_t high) {
    return value >= low && value <= high;
}

unsigned char Byte(std::string_view bytes, std::size_t i) {
    return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0;
}

std::string Text(int item) {
    return CliText(kCliTextSet, item);
}

// The first step: a message chosen by the vendor code of the sense data.
bool PrintSenseMessage(const oruerr& error, std::uint32_t code,
                       std::span<const CommandArgument> arguments, std::ostream& out) {
    const std::string_view sense = error.SenseBytes();
    if (error.senseValid == 0 || (Byte(sense, kSenseKeyByte) & 0x0F) == 0 ||
        SenseLength(sense) < kBytesForVendorCode) {
        return false;
    }
    const unsigned vendorCode =
        (static_cast<unsigned>(Byte(sense, kVendorCodeHigh)) << 8) | Byte(sense, kVendorCodeLow);
    int item = 0;
    switch (vendorCode) {
        case 5:
        case 47:
            if (OneOf(code, {1, 7, 20, 43, 44})) {
                item = 140;
            }
            break;
        case 15:
            if (code == MC_FormatLUN) {
                item = 135;
            }
            break;
        case 16:
            item = code == MC_CreateLUN     ? 134
                   : code == MC_DeleteLUN   ? 135
                   : code == MC_FormatLUN   ? 136
                   : code == MC_RenumberLUN ? 137
                                            : 0;
            break;
        case 17:
            if (code == MC_RenumberLUN) {
                item = 135;
            }
            break;
        case 18:
            if (code == MC_CreateLUN) {
                item = 133;
            }
            break;
        case 19:
            if (OneOf(code, {1, 4, 5, 7, 8, 9, 17, 39, 40})) {
                item = 141;
            }
            break;
        case 26:
            item = 132;
            break;
        case 36:
            if (code == MC_DownPhysicalDrive && arguments.size() > 1 &&
                arguments[1].kind == ARG_ALLOWANCE) {
                item = arguments[1].value == 0 ? 138 : arguments[1].value == 1 ? 139 : 0;
            }
            break;
        case 48:
            if (code == MC_StopRebuildOperation) {
                item = 17;
            }
            break;
        case 88:
            if (code == MC_FormatSubsystem) {
                item = 18;
            }
            break;
        default:
            break;
    }
    if (item == 0) {
        return false;
    }
    out << Text(item) << '\n';
    return true;
}

// Requests that change a setting of the subsystem page.
bool IsSettingRequest(std::uint32_t code) {
    return OneOf(code, {3, 24, 25, 49}) || InRange(code, 28, 35);
}

// Every request code the table names; UNKNOWN_COMMAND has its own message
// only for the others.
bool TableNamesCode(std::uint32_t code) {
    return OneOf(code, {1, 4, 5, 7, 8, 9, 17, 19, 20, 21, 27, 36, 37, 38, 39, 40, 43, 44, 54}) ||
           IsSettingRequest(code);
}

// How the table's message ends: handled, or followed by the generic print.
enum class TableResult { NONE, HANDLED, GENERIC_FOLLOWS };

TableResult PrintTableMessage(const oruerr& error, std::uint32_t code,
                              std::span<const CommandArgument> arguments, std::ostream& out) {
    const std::uint32_t q = error.qualifier;
    auto plain = [&out](int item) {
        out << Text(item) << '\n';
        return TableResult::HANDLED;
    };
    auto thenGeneric = [&out](int item) {
        out << Text(item) << "\n\n";
        return TableResult::GENERIC_FOLLOWS;
    };

    if (q == INVALID_PARAMETER && (OneOf(code, {1, 7, 27, 9}) || IsSettingRequest(code))) {
        return plain(149);
    }
    if (q == UNKNOWN_FIELD && IsSettingRequest(code)) {
        return thenGeneric(33);
    }
    if (OneOf(code, {4, 5, 8, 17})) {
        if (q == INVALID_PARAMETER) {
            return plain(137);
        }
        if (q == NO_LUN_EXISTS) {
            const std::int32_t unit = arguments.empty() ? 0 : arguments[0].value;
            out << CliText(kCliTextSet, 30, unit) << '\n';
            return TableResult::HANDLED;
        }
    }
    switch (code) {
        case MC_AddPhysicalDrive:
            if (q == DIAG_RUNNING) {
                return plain(20);
            }
            if (q == DRIVE_ALREADY_INCLUDED) {
                return plain(22);
            }
            break;
        case MC_DownPhysicalDrive:
            if (q == DRIVE_DOWN_DUPLICATION) {
                return plain(23);
            }
            break;
        case MC_FormatSubsystem:
            if (q == DIAG_RUNNING) {
                out << Text(35) << '\n';
                return plain(149);
            }
            break;
        case MC_RestartSubsystem:
            if (q == RESET_LOOP_TIMEOUT) {
                return thenGeneric(27);
            }
            if (q == SUBSYSTEM_NOT_SHUTDOWN) {
                return plain(26);
            }
            break;
        case MC_ResetPhysicalDrive:
            if (q == RESET_LOOP_TIMEOUT) {
                return thenGeneric(24);
            }
            break;
        case MC_ResetSubsystem:
            if (q == RESET_LOOP_TIMEOUT) {
                return thenGeneric(25);
            }
            break;
        case MC_Set_HotSpare:
            if (q == HOT_SPARE_UNAVAILABLE) {
                return plain(21);
            }
            if (q == UNKNOWN_FIELD) {
                return plain(33);
            }
            break;
        case MC_SetPrimaryController:
            if (q == CONTROLLER_ALREADY_ACTIVE) {
                return plain(32);
            }
            if (q == CONTROLLER_NOT_PRESENT) {
                return plain(31);
            }
            break;
        case MC_Set_ControllerAddress:
            if (error.errorCode == ERR_LOCK_NOT_OWNED) {
                return plain(36);
            }
            break;
        case MC_ShutdownSubsystem:
            if (q == ALREADY_SHUTDOWN) {
                return plain(28);
            }
            break;
        case MC_StartRebuildOperation:
            if (q == NO_REBUILD_NEEDED) {
                return plain(14);
            }
            if (q == REBUILD_IN_PROGRESS) {
                return plain(15);
            }
            break;
        case MC_StopRebuildOperation:
            if (q == NO_REBUILD_IN_PROGRESS) {
                return plain(16);
            }
            break;
        case MC_TestPhysicalDrive:
        case MC_VerifyPhysicalDrive:
            if (q == DIAG_RUNNING) {
                return plain(34);
            }
            break;
        case MC_Set_CreateLunLimit:
            if (q == MODE_SELECT) {
                return plain(4);
            }
            break;
        case MC_SetAliasName:
            // The service refuses a malformed alias, and one that another
            // of its arrays answers to already.
            if (q == INVALID_PARAMETER) {
                return thenGeneric(257);
            }
            break;
        default:
            break;
    }
    if (q == UNKNOWN_COMMAND && !TableNamesCode(code)) {
        out << CliText(kCliTextSet, 12, code) << '\n';
        return TableResult::HANDLED;
    }
    return TableResult::NONE;
}

}  // namespace

std::size_t SenseLength(std::string_view sense) {
    if (sense.size() <= kAdditionalLengthByte) {
        return sense.size();
    }
    return std::min<std::size_t>(Byte(sense, kAdditionalLengthByte) + kSenseHeaderBytes,
                                 sense.size());
}

ReplyView ReplyView::Of(const PollMsg& reply) {
    ReplyView view;
    view.kind = reply.kind;
    if (const auto* error = dynamic_cast<const ErrorPollMsg*>(&reply)) {
        view.error = &error->error;
    }
    return view;
}

bool PrintQualifiedError(bool verbose, const ReplyView& reply, std::uint32_t code,
                         std::span<const CommandArgument> arguments, std::ostream& out) {
    if (reply.kind != RMT_ORUERRORSTATUS_MSG || reply.error == nullptr) {
        return false;
    }
    const oruerr& error = *reply.error;
    bool handled = false;
    if (PrintSenseMessage(error, code, arguments, out)) {
        handled = true;
    } else if (PrintOemMessage(error, out)) {
        handled = true;
    } else if (error.errorCode == kPerformanceDataUnavailable) {
        out << Text(142) << '\n';
        handled = true;
    } else {
        handled = PrintTableMessage(error, code, arguments, out) == TableResult::HANDLED;
    }
    return handled && !verbose;
}

void PrintCommandError(bool verbose, const ReplyView& reply, std::uint32_t code,
                       std::span<const CommandArgument> arguments, std::ostream& out) {
    if (PrintQualifiedError(verbose, reply, code, arguments, out)) {
        return;
    }
    out << Text(250) << " \"" << MessageKindText(reply.kind) << "\"\n";
    if (reply.kind == RMT_ORUERRORSTATUS_MSG) {
        PrintErrorDetail(reply.error, out);
    }
}

void PrintErrorDetail(const oruerr* error, std::ostream& out) {
    if (error == nullptr) {
        out << Text(148) << '\n';
        return;
    }
    out << '\n';
    out << CliText(kCliTextSet, 150, ErrorCodeText(error->errorCode).c_str()) << '\n';
    out << CliText(kCliTextSet, 151, QualifierText(error->qualifier).c_str()) << '\n';
    out << CliText(kCliTextSet, 152, ModuleIdText(error->moduleId).c_str()) << '\n';
    out << CliText(kCliTextSet, 153, ErrorSourceText(error->source).c_str()) << '\n';
    out << CliText(kCliTextSet, 154, ErrorClassText(error->errorClass).c_str()) << '\n';
    if (error->detail != 0) {
        out << CliText(kCliTextSet, 155, error->detail) << '\n';
    }
    if (error->oemItem != 0 && error->source == kDetailSource) {
        out << CliText(kCliTextSet, 90, error->ExtraLength()) << '\n';
    }
    if (error->errorClass == kSenseClass) {
        out << '\n';
        if (error->senseValid != 0) {
            out << Text(131) << '\n';
            PrintSenseData(error->SenseBytes(), out);
        } else {
            out << Text(130) << '\n';
        }
    }
}

bool PrintOemMessage(const oruerr& error, std::ostream& out) {
    if (error.moduleId != SUBSYSTEM || error.errorClass != kOemClass || error.oemSet == 0 ||
        error.oemItem == 0) {
        return false;
    }
    const CliConfig* config = GetCliConfig();
    char name[32];
    std::snprintf(name, sizeof(name), "oemmsg%02u.cat", error.source);
    const std::string path = (config != nullptr ? config->catalogDirectory : std::string()) + name;
    // The OEM catalog is opened for this one text and closed again. A
    // catalog that is not there is a plain miss, said by the line below.
    auto oem =
        std::make_unique<StringCatalog>(path.c_str(), path.c_str(), StringCatalog::Missing::QUIET);
    if (oem->OpenResult() == 0 && error.oemSet <= 0x7FFFFFFF && error.oemItem <= 0x7FFFFFFF) {
        const std::string text = oem->GetStringCommonBuf(static_cast<int>(error.oemSet),
                                                         static_cast<int>(error.oemItem));
        if (oem->CatGetStringErrno() == 0) {
            out << text << '\n';
            return true;
        }
    }
    out << CliText(kCliTextSet, 310, error.oemSet, error.oemItem) << '\n';
    return false;
}

void PrintSenseData(std::string_view sense, std::ostream& out) {
    const std::ios::fmtflags flags = out.flags();
    const char fill = out.fill();

    const std::size_t held = SenseLength(sense);
    const std::size_t shown = std::min(held, kMostSenseShown);
    for (std::size_t line = 0; line < shown; line += kSenseBytesPerLine) {
        out << "  " << std::dec << line << ":  ";
        for (std::size_t i = line; i < shown && i < line + kSenseBytesPerLine; ++i) {
            out << "0x" << std::hex << std::setfill('0') << std::setw(2)
                << static_cast<unsigned>(Byte(sense, i)) << "  ";
        }
        out << std::dec << std::setfill(' ') << '\n';
    }

    ValueText words;
    if (held > kSenseKeyByte) {
        const unsigned key = Byte(sense, kSenseKeyByte) & 0x0F;
        out << "   " << CliText(kCliTextSet, 108, key) << ":  " << SenseKeyText(key) << '\n';
    }
    auto hexByte = [&out, &sense](std::size_t i) {
        out << "0x" << std::hex << std::setfill('0') << std::setw(2)
            << static_cast<unsigned>(Byte(sense, i)) << std::dec << std::setfill(' ') << '\n';
    };
    if (held > kAscByte) {
        out << cli::CliTexts::kSenseAsc;
        hexByte(kAscByte);
    }
    if (held > kAscqByte) {
        out << cli::CliTexts::kSenseAscq;
        hexByte(kAscqByte);
    }
    if (held > kAdditionalLengthByte) {
        const unsigned length = Byte(sense, kAdditionalLengthByte);
        const int kindItem = length == kShortSenseLength  ? 113
                             : length == kLongSenseLength ? 114
                                                          : 115;
        out << "   " << CliText(kCliTextSet, 112, length) << ' ' << Text(kindItem) << '\n';
    }
    if (held > kFruByte) {
        out << "   " << CliText(kCliTextSet, 116, static_cast<unsigned>(Byte(sense, kFruByte)))
            << '\n';
    }
    if (held > kVendorByte) {
        out << "   " << CliText(kCliTextSet, 117, static_cast<unsigned>(Byte(sense, kVendorByte)))
            << '\n';
    }
    if (held > kVendorCodeLow) {
        const unsigned vendorCode = (static_cast<unsigned>(Byte(sense, kVendorCodeHigh)) << 8) |
                                    Byte(sense, kVendorCodeLow);
        out << "   " << CliText(kCliTextSet, 118, vendorCode) << '\n';
    }
    if (held > kDriveSlotByte && Byte(sense, kAdditionalLengthByte) == kLongSenseLength) {
        out << "   " << CliText(kCliTextSet, 119, words.DriveSlotName(Byte(sense, kDriveSlotByte)))
            << ":\n";
        const unsigned driveKey = Byte(sense, kDriveKeyByte) & 0x0F;
        out << "            "
            << CliText(kCliTextSet, 121, static_cast<unsigned>(Byte(sense, kDriveKeyByte))) << ":  "
            << SenseKeyText(driveKey) << '\n';
        out << "            "
            << CliText(kCliTextSet, 123, static_cast<unsigned>(Byte(sense, kDriveAscByte))) << '\n';
        out << "            "
            << CliText(kCliTextSet, 124, static_cast<unsigned>(Byte(sense, kDriveAscqByte)))
            << '\n';
    }

    out.flags(flags);
    out.fill(fill);
}

void PrintListStatus(std::int32_t status, std::ostream& out) {
    out << ListStatusText(status) << '\n';
}

void PrintSessionStatus(std::int32_t status, std::ostream& out) {
    out << CliText(kCliTextSet, 320, SessionStatusText(status).c_str()) << '\n';
}
