// Management request codes, shared by the client library, the service's
// dispatcher and the command-line programs.
//
// The enumerators carry an MC_ prefix so that the request names stay free for
// the request methods of the client and the handlers of the service.
#pragma once

#include <cstdint>

enum MESSAGE_CODE : std::uint32_t {
    MC_NONE = 0,
    MC_AddPhysicalDrive = 1,
    MC_Cancel_Command = 2,
    MC_ConfigureDefaultScsiSettings = 3,
    MC_CreateLUN = 4,
    MC_DeleteLUN = 5,
    MC_Do_Prevention_Check = 6,
    MC_DownPhysicalDrive = 7,
    MC_FormatLUN = 8,
    MC_FormatSubsystem = 9,
    MC_GetPerfMetrics = 10,
    MC_GetPerfRecs = 11,
    MC_GetState = 12,
    MC_InitiateClientEvent = 13,
    MC_ReadControllerLog = 14,
    MC_ReadDefectData = 15,
    MC_RecordDiagInfo = 16,
    MC_RenumberLUN = 17,
    MC_Rescan = 18,  // no client request sends it; the service rescans its devices
    MC_RestartSubsystem = 19,
    MC_ResetPhysicalDrive = 20,
    MC_ResetSubsystem = 21,
    MC_RetryLogAfterError = 22,
    MC_Set_AutoInclude = 23,
    MC_Set_AutoRebuild = 24,
    MC_Set_CapacityThreshold = 25,
    MC_Set_FormatPatternFill = 26,
    MC_Set_HotSpare = 27,
    MC_Set_Linkage = 28,
    MC_Set_Parity = 29,
    MC_Set_ReadCacheEnable = 30,
    MC_Set_RebuildPriority = 31,
    MC_Set_SDTR = 32,
    MC_Set_TerminatorPower = 33,
    MC_Set_WTDR = 34,
    MC_Set_WriteCacheEnable = 35,
    MC_SetPrimaryController = 36,
    MC_Set_ControllerAddress = 37,
    MC_ShutdownSubsystem = 38,
    MC_StartRebuildOperation = 39,
    MC_StopRebuildOperation = 40,
    MC_TestAlarmMessage = 41,
    MC_CompareAndSwap = 42,
    MC_TestPhysicalDrive = 43,
    MC_VerifyPhysicalDrive = 44,
    MC_ProactivePerformance = 45,  // recorded with performance results; never sent
    MC_GrossStatus = 46,           // datagram only
    MC_ClearDiagInfo = 47,
    MC_FlushServerLog = 48,
    MC_Set_DisableRemoteReset = 49,
    MC_ClearDiagResults = 50,
    MC_Set_QueueFullThreshold = 51,
    MC_Set_SinglePathFailover = 52,
    MC_Set_VeryEarlyBusy = 53,
    MC_Set_CreateLunLimit = 54,
    MC_SetResiliencyParameters = 55,
    MC_SetAliasName = 56,
};

// Lowest and highest request code.
inline constexpr std::uint32_t kFirstMessageCode = MC_AddPhysicalDrive;
inline constexpr std::uint32_t kLastMessageCode = MC_SetAliasName;

// The request name of a code (the first name where two exist, "Rescan" for
// 18, "ProactivePerformance" for 45, "GrossStatus" for 46), or nullptr for a
// value outside 1..56.
const char* MessageCodeName(std::uint32_t code);
