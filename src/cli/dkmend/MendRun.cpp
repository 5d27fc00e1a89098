#include <iostream>
#include <vector>

#include "cli/common/ArrayConnect.h"
#include "cli/common/CliConfig.h"
#include "cli/common/CommandSubmit.h"
#include "cli/common/ExitCodes.h"
#include "cli/common/ProgramMessages.h"
#include "cli/common/ValueText.h"
#include "cli/dkmend/Dkmend.h"
#include "client/DiskArray.h"
#include "client/QEN.h"
#include "coresys/common/DiskArrayState.h"
#include "coresys/common/MESSAGE_CODE.h"

namespace dkmend {

namespace {

// Set 7 items of the results.
constexpr int kAutoRebuildItem = 2;  // with the on/off word
constexpr int kPriorityItem = 3;     // with the low/high word
constexpr int kStartedItem = 4;
constexpr int kStoppedItem = 5;
constexpr int kOnItem = 6;
constexpr int kOffItem = 7;
constexpr int kLowItem = 8;
constexpr int kHighItem = 9;
constexpr int kYesItem = 10;
constexpr int kNoItem = 20;
constexpr int kHeadingItem = 11;  // with the serial number
constexpr int kAutoLineItem = 12;
constexpr int kPriorityLineItem = 13;
constexpr int kNeededLineItem = 14;
constexpr int kBalancingLineItem = 15;
constexpr int kOptimizingLineItem = 16;
constexpr int kStateLineItem = 17;
constexpr int kProgressLineItem = 18;  // with the percent done
constexpr int kNoRebuildLineItem = 19;
constexpr int kOtherItem = 21;  // with the code

// The subsystem state record's rebuild-needed value.
constexpr std::uint32_t kRebuildNeededValue = 14;

std::string Text(int item) {
    return CliText(kMendSet, item);
}

std::string Word(std::uint32_t flag, int onItem, int offItem) {
    return Text(flag != 0 ? onItem : offItem);
}

void Line(int item, const std::string& word, std::ostream& out) {
    out << CliText(kMendSet, item, word.c_str()) << '\n';
}

void Progress(const DiskArrayState& state, bool raw, std::ostream& out) {
    const ModeSubsystemPage page = state.modeSubsystem.value_or(ModeSubsystemPage{});
    const SubsystemStateInfo info = state.subsystemState.value_or(SubsystemStateInfo{});
    const std::uint32_t needed = info.Value(kRebuildNeededValue);
    if (raw) {
        out << MC_GetState << ':' << page.rebuild_in_progress << ':' << page.rebuild_progress << ':'
            << page.auto_rebuild << ':' << page.rebuild_priority << ':' << needed << ':'
            << page.balancing << ':' << page.optimizing << ':' << info.SubsystemState() << '\n';
        return;
    }
    out << CliText(kMendSet, kHeadingItem, std::string(state.SerialNumber()).c_str()) << '\n';
    ValueText words;
    Line(kStateLineItem, words.StateWord(info.SubsystemState()), out);
    Line(kAutoLineItem, Word(page.auto_rebuild, kOnItem, kOffItem), out);
    Line(kPriorityLineItem, Word(page.rebuild_priority, kLowItem, kHighItem), out);
    Line(kNeededLineItem, Word(needed, kYesItem, kNoItem), out);
    Line(kBalancingLineItem, Word(page.balancing, kYesItem, kNoItem), out);
    Line(kOptimizingLineItem, Word(page.optimizing, kYesItem, kNoItem), out);
    if (page.rebuild_in_progress != 0) {
        out << CliText(kMendSet, kProgressLineItem, page.rebuild_progress) << '\n';
    } else {
        out << Text(kNoRebuildLineItem) << '\n';
    }
}

}  // namespace

void MendPrintReply(std::uint32_t code, std::int32_t value, const DiskArrayState* state, bool raw,
                    std::ostream& out) {
    if (code == MC_GetState) {
        Progress(state != nullptr ? *state : DiskArrayState{}, raw, out);
        return;
    }
    if (raw) {
        out << code;
        if (code == MC_Set_AutoRebuild || code == MC_Set_RebuildPriority) {
            out << ':' << value;
        }
        out << '\n';
        return;
    }
    switch (code) {
        case MC_Set_AutoRebuild:
            Line(kAutoRebuildItem, Word(static_cast<std::uint32_t>(value), kOnItem, kOffItem), out);
            break;
        case MC_Set_RebuildPriority:
            Line(kPriorityItem, Word(static_cast<std::uint32_t>(value), kLowItem, kHighItem), out);
            break;
        case MC_StartRebuildOperation:
            out << Text(kStartedItem) << '\n';
            break;
        case MC_StopRebuildOperation:
            out << Text(kStoppedItem) << '\n';
            break;
        default:
            out << CliText(kMendSet, kOtherItem, code) << '\n';
            break;
    }
}

int RunMend(const MendOptions& options) {
    QEN qen(1);
    DiskArray* array = OpenArray(qen, options.arrayId, PROG_DKMEND);
    SubmitAndCheck(qen, array, array->GetState(), MC_GetState, PROG_DKMEND, {}, options.verbose);
    auto submit = [&](std::uint32_t code, const CommandHandle& handle,
                      std::vector<CommandArgument> arguments, std::int32_t value) {
        const CommandReply reply =
            SubmitAndCheck(qen, array, handle, code, PROG_DKMEND, arguments, options.verbose);
        MendPrintReply(code, value, reply.state ? &*reply.state : nullptr, options.raw, std::cout);
        std::cout.flush();
    };
    switch (options.operation) {
        case MO_SETTINGS:
            if ((options.settings & MS_AUTO_REBUILD) != 0) {
                submit(MC_Set_AutoRebuild, array->Set_AutoRebuild(options.autoRebuild),
                       {{ARG_BOOLEAN, options.autoRebuild}}, options.autoRebuild);
            }
            if ((options.settings & MS_PRIORITY) != 0) {
                submit(MC_Set_RebuildPriority, array->Set_RebuildPriority(options.priority),
                       {{ARG_BOOLEAN, options.priority}}, options.priority);
            }
            break;
        case MO_START:
            submit(MC_StartRebuildOperation, array->StartRebuildOperation(), {}, 0);
            break;
        case MO_STOP:
            submit(MC_StopRebuildOperation, array->StopRebuildOperation(), {}, 0);
            break;
        default:
            submit(MC_GetState, array->GetState(), {}, 0);
            break;
    }
    qen.DisConnect(array);
    return CLI_EXIT_SUCCESS;
}

}  // namespace dkmend
