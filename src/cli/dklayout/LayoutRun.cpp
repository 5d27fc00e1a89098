#include <iostream>

#include "cli/common/ArrayConnect.h"
#include "cli/common/CliConfig.h"
#include "cli/common/CommandSubmit.h"
#include "cli/common/ExitCodes.h"
#include "cli/common/ProgramMessages.h"
#include "cli/common/ValueText.h"
#include "cli/dklayout/Dklayout.h"
#include "client/DiskArray.h"
#include "client/QEN.h"
#include "coresys/common/MESSAGE_CODE.h"

namespace dklayout {

namespace {

// Set 1 items of the result lines.
constexpr int kUnitItem = 2;     // "logical unit <n>"
constexpr int kCreatedItem = 4;  // after the capacity
constexpr int kDeletedItem = 6;
constexpr int kRenumberedItem = 8;  // with the new number
constexpr int kAddedItem = 9;       // with the slot
constexpr int kDownItem = 10;       // with the slot
constexpr int kOtherItem = 11;      // with the code
constexpr int kOtherEndItem = 12;

std::string Text(int item) {
    return CliText(kLayoutSet, item);
}

CommandHandle Send(DiskArray& array, const LayoutRequest& request) {
    const auto value = [&request](std::size_t i) {
        return static_cast<std::uint32_t>(request.arguments[i].value);
    };
    switch (request.code) {
        case MC_CreateLUN:
            return array.CreateLUN(value(0), value(1));
        case MC_DeleteLUN:
            return array.DeleteLUN(value(0));
        case MC_RenumberLUN:
            return array.RenumberLUN(value(0), value(1));
        case MC_AddPhysicalDrive:
            return array.AddPhysicalDrive(value(0));
        default:
            return array.DownPhysicalDrive(value(0), static_cast<DOWN_TYPE>(value(1)),
                                           request.arguments[2].value);
    }
}

}  // namespace

LayoutRequest RequestOf(const LayoutOptions& options) {
    LayoutRequest request;
    auto add = [&request](ARGUMENT_KIND kind, std::int32_t value) {
        request.arguments[request.count++] = {kind, value};
    };
    if (options.target == LT_UNIT) {
        add(ARG_DECIMAL, options.unit);
        switch (options.actions) {
            case LA_ADD:
                request.code = MC_CreateLUN;
                add(ARG_DECIMAL, options.capacity);
                break;
            case LA_DELETE:
                request.code = MC_DeleteLUN;
                break;
            default:
                request.code = MC_RenumberLUN;
                add(ARG_DECIMAL, options.newUnit);
                break;
        }
        return request;
    }
    add(ARG_DECIMAL, options.slot);
    if (options.actions == LA_ADD) {
        request.code = MC_AddPhysicalDrive;
    } else {
        request.code = MC_DownPhysicalDrive;
        add(ARG_ALLOWANCE, options.allowance);
        add(ARG_BOOLEAN, options.validate);
    }
    return request;
}

void PrintLayoutResult(const LayoutRequest& request, std::ostream& out) {
    ValueText words;
    const std::int32_t first = request.count > 0 ? request.arguments[0].value : 0;
    const std::int32_t second = request.count > 1 ? request.arguments[1].value : 0;
    switch (request.code) {
        case MC_AddPhysicalDrive:
            out << CliText(kLayoutSet, kAddedItem,
                           words.DriveSlotName(static_cast<std::uint32_t>(first)));
            break;
        case MC_CreateLUN:
            out << CliText(kLayoutSet, kUnitItem, first) << ", " << second / 2
                << Text(kCreatedItem);
            break;
        case MC_DeleteLUN:
            out << CliText(kLayoutSet, kUnitItem, first) << Text(kDeletedItem);
            break;
        case MC_DownPhysicalDrive:
            out << CliText(kLayoutSet, kDownItem,
                           words.DriveSlotName(static_cast<std::uint32_t>(first)));
            break;
        case MC_RenumberLUN:
            out << CliText(kLayoutSet, kUnitItem, first)
                << CliText(kLayoutSet, kRenumberedItem, second);
            break;
        default:
            out << CliText(kLayoutSet, kOtherItem, request.code) << Text(kOtherEndItem);
            break;
    }
    out << '\n';
}

int RunLayout(const LayoutOptions& options) {
    QEN qen(1);
    DiskArray* array = OpenArray(qen, options.arrayId, PROG_DKLAYOUT);
    const LayoutRequest request = RequestOf(options);
    // A request that met a change of the array's units is sent once more.
    const std::optional<CommandReply> reply = WaitResendingOnClass7(
        *array, [&] { return Send(*array, request); }, options.verbose, request.code,
        request.Arguments(), std::cout);
    FinishCommand(reply, qen, array, request.code, PROG_DKLAYOUT, request.Arguments(),
                  options.verbose);
    if (!options.raw) {
        PrintLayoutResult(request, std::cout);
    }
    std::cout.flush();
    qen.DisConnect(array);
    return CLI_EXIT_SUCCESS;
}

}  // namespace dklayout
