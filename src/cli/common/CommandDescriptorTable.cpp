#include "cli/common/CommandDescriptorTable.h"

#include <algorithm>
#include <ios>

#include "cli/common/CliConfig.h"
#include "cli/common/CliTexts.h"
#include "coresys/common/MESSAGE_CODE.h"
#include "coresys/common/ORU_ReturnMsg.h"

const CommandDescriptor CommandDescriptorTable[] = {
    {1, "AddPhysicalDrive", 1},
    {2, "CancelCommand", 1},
    {47, "ClearDiagInfo", 2},
    {3, "ConfigureDefaultScsiSettings", 0},
    {4, "CreateLUN", 2},
    {5, "DeleteLUN", 1},
    {7, "DownPhysicalDrive", 3},
    {6, "DoPreventionCheck", 0},
    {8, "FormatLUN", 2},
    {9, "FormatSubsystem", 1},
    {10, "GetPerfMetric", 4},
    {11, "GetPerfRecs", 2},
    {12, "GetState", 0},
    {13, "InitiateClientEvent", 0},
    {0, "Invalid", 0},
    {14, "ReadControllerLog", 3},
    {15, "ReadDefectData", 2},
    {16, "RecordDiagInfo", 3},
    {17, "RenumberLUN", 2},
    {20, "ResetPhysicalDrive", 1},
    {21, "ResetSubsystem", 0},
    {19, "RestartSubsystem", 0},
    {22, "RetryLogAfterError", 0},
    {51, "Set_QueueFullThreshold", 1},
    {53, "Set_VeryEarlyBusy", 1},
    {55, "Set_ResiliencyParameters", 2},
    {36, "Set_PrimaryController", 1},
    {23, "Set_AutoInclude", 1},
    {24, "Set_AutoRebuild", 1},
    {25, "Set_CapacityThreshold", 1},
    {37, "Set_ControllerAddress", 2},
    {26, "Set_FormatPatternFill", 1},
    {27, "Set_HotSpare", 1},
    {28, "Set_Linkage", 0},
    {29, "Set_Parity", 1},
    {30, "Set_ReadCacheEnable", 1},
    {31, "Set_RebuildPriority", 1},
    {32, "SetSDTR", 1},
    {33, "Set_TerminatorPower", 1},
    {34, "SetWDTR", 1},
    {35, "Set_WriteCacheEnable", 1},
    {38, "ShutdownSubsystem", 0},
    {39, "StartRebuildOperation", 0},
    {40, "StopRebuildOperation", 0},
    {41, "TestAlarmMessage", 0},
    {43, "TestPhysicalDrive", 2},
    {44, "VerifyPhysicalDrive", 2},
    {48, "FlushServerLog", 0},
    {49, "DisableRemoteReset", 1},
    {52, "Set_SinglePathFailover", 1},
    {54, "Set_CreateLunLimit", 1},
    {0, "", 0},
};

namespace {

constexpr unsigned kDefaultTimeoutSeconds = 300;

// Progress texts of set 10.
constexpr int kTrueItem = 10;
constexpr int kFalseItem = 11;
constexpr int kUnknownKindItem = 12;
constexpr int kFirstStatusItem = 13;  // statuses 1..4
constexpr int kOtherStatusItem = 17;
constexpr int kUnknownCommandItem = 30;

bool IsEndRow(const CommandDescriptor& row) {
    return row.code == 0 && row.name[0] == '\0' && row.argumentCount == 0;
}

void PrintArgument(const CommandArgument& argument, std::ostream& out) {
    switch (argument.kind) {
        case ARG_BOOLEAN:
            out << CliText(kCliCommonSet, argument.value != 0 ? kTrueItem : kFalseItem);
            break;
        case ARG_ALLOWANCE:
            if (argument.value >= 0 && argument.value <= 2) {
                out << cli::CliTexts::kAllowanceNames[argument.value];
            }
            break;
        case ARG_DECIMAL:
            out << std::dec << argument.value;
            break;
        case ARG_HEX:
            out << "0x" << std::hex << static_cast<std::uint32_t>(argument.value) << std::dec;
            break;
        default:
            out << CliText(kCliCommonSet, kUnknownKindItem);
            break;
    }
}

}  // namespace

const CommandDescriptor* FindCommandDescriptor(std::uint32_t code) {
    for (const CommandDescriptor* row = CommandDescriptorTable; !IsEndRow(*row); ++row) {
        if (static_cast<std::uint32_t>(row->code) == code) {
            return row;
        }
    }
    return nullptr;
}

unsigned CommandTimeoutSeconds(std::uint32_t code) {
    switch (code) {
        case MC_FormatSubsystem:
            return 7500;
        case MC_DeleteLUN:
            return 1400;
        case MC_RestartSubsystem:
        case MC_SetPrimaryController:
            return 600;
        case MC_Rescan:
            return 360;
        default:
            return kDefaultTimeoutSeconds;
    }
}

bool IsExpectedReplyKind(std::uint32_t code, std::uint32_t kind) {
    switch (code) {
        case MC_NONE:
            return false;
        case MC_GetPerfMetrics:
            return kind == RMT_PERFMETRICS_MSG;
        case MC_GetPerfRecs:
            return kind == RMT_PERFRECS_MSG;
        case MC_GetState:
            return kind == RMT_STATE_MSG;
        case MC_ReadControllerLog:
        case MC_ReadDefectData:
        case MC_RecordDiagInfo:
            return kind == RMT_BUFFER_MSG;
        case MC_InitiateClientEvent:
        case MC_TestAlarmMessage:
        case MC_ProactivePerformance:
        case MC_GrossStatus:
            return true;
        default:
            // The service answers the alias and resiliency requests with an
            // error reply when it refuses them, so they too must end ok.
            return code > kLastMessageCode || kind == RMT_OKSTATUS_MSG;
    }
}

void PrintCommandProgress(std::uint32_t code, std::uint32_t status,
                          std::span<const CommandArgument> arguments, std::ostream& out) {
    const CommandDescriptor* row = FindCommandDescriptor(code);
    if (row == nullptr) {
        out << CliText(kCliCommonSet, kUnknownCommandItem, code);
    } else {
        out << row->name << '(';
        const std::size_t count = std::min<std::size_t>(
            arguments.size(), static_cast<std::size_t>(std::max(row->argumentCount, 0)));
        for (std::size_t i = 0; i < count; ++i) {
            if (i != 0) {
                out << ", ";
            }
            PrintArgument(arguments[i], out);
        }
        out << ')';
    }
    out << ' ';
    if (status >= 1 && status <= 4) {
        out << CliText(kCliCommonSet, kFirstStatusItem + static_cast<int>(status) - 1);
    } else {
        out << CliText(kCliCommonSet, kOtherStatusItem, status);
    }
    out << '\n';
}
