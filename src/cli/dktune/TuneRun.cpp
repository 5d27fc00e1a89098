#include <iostream>
#include <vector>

#include "cli/common/ArrayConnect.h"
#include "cli/common/CliConfig.h"
#include "cli/common/CommandSubmit.h"
#include "cli/common/ExitCodes.h"
#include "cli/common/ProgramMessages.h"
#include "cli/common/ValueText.h"
#include "cli/dktune/Dktune.h"
#include "cli/dktune/DktuneTexts.h"
#include "client/QEN.h"
#include "coresys/common/MESSAGE_CODE.h"

namespace dktune {

const TuneSettingRow TuneSettingTable[14] = {
    {'i', TS_AUTO_INCLUDE, [](DiskArray& a, int on) { return a.Set_AutoInclude(on); },
     MC_Set_AutoInclude},
    {'a', TS_AUTO_REBUILD, [](DiskArray& a, int on) { return a.Set_AutoRebuild(on); },
     MC_Set_AutoRebuild},
    {'p', TS_REBUILD_PRIORITY, [](DiskArray& a, int on) { return a.Set_RebuildPriority(on); },
     MC_Set_RebuildPriority},
    {'h', TS_HOT_SPARE, [](DiskArray& a, int on) { return a.Set_HotSpare(on); }, MC_Set_HotSpare},
    {'e', TS_READ_CACHE, [](DiskArray& a, int on) { return a.Set_ReadCacheEnable(on); },
     MC_Set_ReadCacheEnable},
    {'w', TS_WRITE_CACHE, [](DiskArray& a, int on) { return a.Set_WriteCacheEnable(on); },
     MC_Set_WriteCacheEnable},
    {'P', TS_PARITY, [](DiskArray& a, int on) { return a.Set_Parity(on); }, MC_Set_Parity},
    {'T', TS_SDTR, [](DiskArray& a, int on) { return a.Set_SDTR(on); }, MC_Set_SDTR},
    {'W', TS_WDTR, [](DiskArray& a, int on) { return a.Set_WTDR(on); }, MC_Set_WTDR},
    {'f', TS_FORMAT_PATTERN_FILL, [](DiskArray& a, int on) { return a.Set_FormatPatternFill(on); },
     MC_Set_FormatPatternFill},
    {'m', TS_TERMINATOR_POWER, [](DiskArray& a, int on) { return a.Set_TerminatorPower(on); },
     MC_Set_TerminatorPower},
    {'r', TS_DISABLE_REMOTE_RESET,
     [](DiskArray& a, int on) { return a.Set_DisableRemoteReset(on); }, MC_Set_DisableRemoteReset},
    {'o', TS_SINGLE_PATH_FAILOVER,
     [](DiskArray& a, int on) { return a.Set_SinglePathFailover(on); }, MC_Set_SinglePathFailover},
    {'b', TS_VERY_EARLY_BUSY, [](DiskArray& a, int on) { return a.Set_VeryEarlyBusy(on); },
     MC_Set_VeryEarlyBusy},
};

namespace {

// Set 6 items of the result lines.
constexpr int kDefaultScsiItem = 107;
constexpr int kResetNoteItems[] = {80, 81, 82};
constexpr int kThresholdItem = 110;
constexpr int kQueueFullItem = 129;
constexpr int kPrimaryItem = 105;
constexpr int kAddressItem = 109;
constexpr int kLunLimitItem = 130;
constexpr int kAliasItem = 131;
constexpr int kPriorityItem = 114;
constexpr int kTerminatorItem = 121;
constexpr int kOtherItem = 160;
// The words of a value: on, off, low, high.
constexpr int kOnItem = 150;
constexpr int kOffItem = 151;
constexpr int kLowItem = 152;
constexpr int kHighItem = 153;
// The number the address line names beside the controller (its bus).
constexpr int kAddressBus = 3;
constexpr int kLunLimitLimit = 30;

struct ResultItem {
    std::uint32_t code;
    int item;
};
// Requests whose result is one plain line.
constexpr ResultItem kPlainResults[] = {
    {MC_RestartSubsystem, 103},        {MC_ResetSubsystem, 104}, {MC_RetryLogAfterError, 126},
    {MC_ShutdownSubsystem, 102},       {MC_CompareAndSwap, 108}, {MC_FlushServerLog, 124},
    {MC_SetResiliencyParameters, 132},
};
// On/off requests whose line is followed by the word.
constexpr ResultItem kWordResults[] = {
    {MC_Set_AutoInclude, 112},
    {MC_Set_AutoRebuild, 113},
    {MC_Set_FormatPatternFill, 111},
    {MC_Set_HotSpare, 115},
    {MC_Set_Parity, 118},
    {MC_Set_ReadCacheEnable, 116},
    {MC_Set_SDTR, 119},
    {MC_Set_WTDR, 120},
    {MC_Set_WriteCacheEnable, 117},
    {MC_Set_DisableRemoteReset, 125},
    {MC_Set_SinglePathFailover, 128},
    {MC_Set_VeryEarlyBusy, 127},
};

std::string Text(int item) {
    return CliText(kTuneSet, item);
}

// The note that follows a change the controllers take only after a reset.
void ResetNote(std::ostream& out) {
    out << '\n';
    for (int item : kResetNoteItems) {
        out << Text(item) << '\n';
    }
    out << '\n';
}

class TuneRun {
  public:
    explicit TuneRun(const TuneOptions& options) : options_(options), qen_(1) {}

    int Run() {
        array_ = OpenArray(qen_, options_.arrayId, PROG_DKTUNE);
        switch (options_.operation) {
            case TO_SETTINGS:
                Settings();
                break;
            case TO_ALIAS:
            case TO_RESILIENCY:
                AliasOrResiliency();
                break;
            case TO_SHUTDOWN:
                Submit(MC_ShutdownSubsystem, array_->ShutdownSubsystem(), {});
                break;
            case TO_RESTART:
                Submit(MC_RestartSubsystem, array_->RestartSubsystem(), {});
                break;
            case TO_RESET:
                Submit(MC_ResetSubsystem, array_->ResetSubsystem(), {});
                break;
            case TO_DEFAULT_SCSI:
                Submit(MC_ConfigureDefaultScsiSettings, array_->ConfigureDefaultScsiSettings(), {});
                break;
            case TO_FORCE_LOCK:
                Submit(MC_CompareAndSwap, array_->CompareAndSwap(), {});
                break;
            default:
                break;
        }
        std::cout.flush();
        qen_.DisConnect(array_);
        return CLI_EXIT_SUCCESS;
    }

  private:
    bool Chosen(std::uint32_t flag) const { return (options_.settings & flag) != 0; }

    // Waits for the request, ends the process when it failed, and prints
    // its result line.
    void Submit(std::uint32_t code, const CommandHandle& handle,
                std::vector<CommandArgument> arguments, std::int32_t value = 0) {
        SubmitAndCheck(qen_, array_, handle, code, PROG_DKTUNE, arguments, options_.verbose);
        if (!options_.raw) {
            PrintTuneResult(code, options_, value, std::cout);
            std::cout.flush();
        }
    }

    void Settings() {
        if (Chosen(TS_PRIMARY_CONTROLLER)) {
            const auto controller = static_cast<std::uint32_t>(options_.primaryController);
            Submit(MC_SetPrimaryController, array_->SetPrimaryController(controller),
                   {{ARG_DECIMAL, options_.primaryController}});
        }
        if (Chosen(TS_CONTROLLER_ADDRESS)) {
            Submit(MC_Set_ControllerAddress,
                   array_->Set_ControllerAddress(
                       static_cast<std::uint32_t>(options_.addressController),
                       static_cast<std::uint32_t>(options_.address)),
                   {{ARG_DECIMAL, options_.addressController}, {ARG_DECIMAL, options_.address}});
        }
        if (Chosen(TS_CAPACITY_THRESHOLD)) {
            Submit(MC_Set_CapacityThreshold,
                   array_->Set_CapacityThreshold(static_cast<std::uint32_t>(options_.threshold)),
                   {{ARG_DECIMAL, options_.threshold}}, options_.threshold);
        }
        if (Chosen(TS_FLUSH_LOG)) {
            Submit(MC_FlushServerLog, array_->FlushServerLog(), {});
        }
        if (Chosen(TS_RETRY_LOG)) {
            Submit(MC_RetryLogAfterError, array_->RetryLogAfterError(), {});
        }
        if (Chosen(TS_QUEUE_FULL)) {
            Submit(MC_Set_QueueFullThreshold,
                   array_->Set_QueueFullThreshold(static_cast<std::uint32_t>(options_.queueFull)),
                   {{ARG_DECIMAL, options_.queueFull}}, options_.queueFull);
        }
        if (Chosen(TS_LUN_LIMIT)) {
            const auto exponent = static_cast<std::uint32_t>(options_.lunLimitExponent);
            Submit(MC_Set_CreateLunLimit, array_->Set_CreateLunLimit(exponent),
                   {{ARG_DECIMAL, options_.lunLimitExponent}}, options_.lunLimitExponent);
        }
        for (const TuneSettingRow& row : TuneSettingTable) {
            if (Chosen(row.flag)) {
                const int on = (options_.values & row.flag) != 0 ? 1 : 0;
                Submit(row.code, row.send(*array_, on), {{ARG_BOOLEAN, on}}, on);
            }
        }
    }

    void AliasOrResiliency() {
        const CommandReply state = SubmitAndCheck(qen_, array_, array_->GetState(), MC_GetState,
                                                  PROG_DKTUNE, {}, options_.verbose);
        // The alias and the resiliency modes need controllers of format
        // level 3 or above.
        constexpr std::uint32_t kLowestLevel = 3;
        if (!state.state || state.state->stateValue6 < kLowestLevel) {
            qen_.DisConnect(array_);
            ExitWithProgramMessage(kPmNoAliasSupport, PROG_DKTUNE, CLI_EXIT_USAGE);
        }
        if (options_.operation == TO_ALIAS) {
            Submit(MC_SetAliasName, array_->SetAliasName(options_.alias.c_str()), {});
        } else {
            Submit(MC_SetResiliencyParameters,
                   array_->SetResiliencyParameters(options_.singleController, options_.resiliency),
                   {{ARG_DECIMAL, static_cast<std::int32_t>(options_.resiliency)},
                    {ARG_DECIMAL, options_.singleController}});
        }
    }

    const TuneOptions& options_;
    QEN qen_;
    DiskArray* array_ = nullptr;
};

}  // namespace

void PrintTuneResult(std::uint32_t code, const TuneOptions& options, std::int32_t value,
                     std::ostream& out) {
    const std::string onOff = Text(value != 0 ? kOnItem : kOffItem);
    for (const ResultItem& result : kPlainResults) {
        if (result.code == code) {
            out << Text(result.item) << '\n';
            return;
        }
    }
    for (const ResultItem& result : kWordResults) {
        if (result.code == code) {
            out << CliText(kTuneSet, result.item, onOff.c_str()) << '\n';
            return;
        }
    }
    ValueText words;
    switch (code) {
        case MC_ConfigureDefaultScsiSettings:
            out << Text(kDefaultScsiItem) << '\n';
            ResetNote(out);
            break;
        case MC_Set_RebuildPriority:
            out << CliText(kTuneSet, kPriorityItem, Text(value != 0 ? kLowItem : kHighItem).c_str())
                << '\n';
            break;
        case MC_Set_TerminatorPower:
            out << CliText(kTuneSet, kTerminatorItem, onOff.c_str()) << '\n';
            ResetNote(out);
            break;
        case MC_Set_CapacityThreshold:
            out << CliText(kTuneSet, kThresholdItem, value) << '\n';
            break;
        case MC_Set_QueueFullThreshold:
            out << CliText(kTuneSet, kQueueFullItem, value) << '\n';
            break;
        case MC_SetPrimaryController:
            out << CliText(
                       kTuneSet, kPrimaryItem,
                       words.ControllerName(static_cast<std::uint32_t>(options.primaryController)))
                << '\n';
            break;
        case MC_Set_ControllerAddress:
            out << CliText(
                       kTuneSet, kAddressItem,
                       words.ControllerName(static_cast<std::uint32_t>(options.addressController)),
                       kAddressBus, options.address)
                << '\n';
            ResetNote(out);
            break;
        case MC_Set_CreateLunLimit:
            out << CliText(kTuneSet, kLunLimitItem,
                           value >= 0 && value <= kLunLimitLimit ? std::int32_t{1} << value : 0)
                << '\n';
            break;
        case MC_SetAliasName:
            out << CliText(kTuneSet, kAliasItem, options.alias.c_str()) << '\n';
            break;
        default:
            out << CliText(kTuneSet, kOtherItem, code) << '\n';
            break;
    }
}

int RunTune(const TuneOptions& options) {
    return TuneRun(options).Run();
}

}  // namespace dktune
