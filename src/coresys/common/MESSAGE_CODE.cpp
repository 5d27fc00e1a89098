#include "coresys/common/MESSAGE_CODE.h"

namespace {

// Indexed by code; entry 0 is unused.
constexpr const char* kNames[] = {
    nullptr,
    "AddPhysicalDrive",
    "Cancel_Command",
    "ConfigureDefaultScsiSettings",
    "CreateLUN",
    "DeleteLUN",
    "Do_Prevention_Check",
    "DownPhysicalDrive",
    "FormatLUN",
    "FormatSubsystem",
    "GetPerfMetrics",
    "GetPerfRecs",
    "GetState",
    "InitiateClientEvent",
    "ReadControllerLog",
    "ReadDefectData",
    "RecordDiagInfo",
    "RenumberLUN",
    "Rescan",
    "RestartSubsystem",
    "ResetPhysicalDrive",
    "ResetSubsystem",
    "RetryLogAfterError",
    "Set_AutoInclude",
    "Set_AutoRebuild",
    "Set_CapacityThreshold",
    "Set_FormatPatternFill",
    "Set_HotSpare",
    "Set_Linkage",
    "Set_Parity",
    "Set_ReadCacheEnable",
    "Set_RebuildPriority",
    "Set_SDTR",
    "Set_TerminatorPower",
    "Set_WTDR",
    "Set_WriteCacheEnable",
    "SetPrimaryController",
    "Set_ControllerAddress",
    "ShutdownSubsystem",
    "StartRebuildOperation",
    "StopRebuildOperation",
    "TestAlarmMessage",
    "CompareAndSwap",
    "TestPhysicalDrive",
    "VerifyPhysicalDrive",
    "ProactivePerformance",
    "GrossStatus",
    "ClearDiagInfo",
    "FlushServerLog",
    "Set_DisableRemoteReset",
    "ClearDiagResults",
    "Set_QueueFullThreshold",
    "Set_SinglePathFailover",
    "Set_VeryEarlyBusy",
    "Set_CreateLunLimit",
    "SetResiliencyParameters",
    "SetAliasName",
};

static_assert(sizeof(kNames) / sizeof(kNames[0]) == kLastMessageCode + 1);

}  // namespace

const char* MessageCodeName(std::uint32_t code) {
    if (code < kFirstMessageCode || code > kLastMessageCode) {
        return nullptr;
    }
    return kNames[code];
}
