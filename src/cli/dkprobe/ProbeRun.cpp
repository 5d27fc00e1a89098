#include <iostream>

#include "cli/common/ArrayConnect.h"
#include "cli/common/CliConfig.h"
#include "cli/common/CommandSubmit.h"
#include "cli/common/ExitCodes.h"
#include "cli/common/ProgramMessages.h"
#include "cli/dkprobe/Dkprobe.h"
#include "client/DiskArray.h"
#include "client/QEN.h"
#include "coresys/common/DiskArrayState.h"
#include "coresys/common/MESSAGE_CODE.h"

namespace dkprobe {

namespace {

// Set 3 items of the results.
constexpr int kStartedItem = 3;  // a verify or test was started
constexpr int kResetItem = 19;

// Drive states that refuse a write/read test: a member of this array (0)
// or of another (5) holds data, and an empty slot (1) holds no drive.
constexpr std::uint32_t kMember = 0;
constexpr std::uint32_t kEmpty = 1;
constexpr std::uint32_t kForeignMember = 5;

}  // namespace

int RunProbe(const ProbeOptions& options) {
    QEN qen(1);
    DiskArray* array = OpenArray(qen, options.arrayId, PROG_DKPROBE, ConnectTries::ONCE);
    const auto slot = static_cast<std::uint32_t>(options.slot);
    const auto percent = static_cast<std::uint32_t>(options.percent);
    std::uint32_t code = MC_ResetPhysicalDrive;
    CommandHandle handle;
    switch (options.action) {
        case PA_VERIFY:
            code = MC_VerifyPhysicalDrive;
            handle = array->VerifyPhysicalDrive(slot, percent);
            break;
        case PA_TEST: {
            const CommandReply reply =
                SubmitAndCheck(qen, array, array->GetState(), MC_GetState, PROG_DKPROBE, {}, false);
            const Physical_Drive* drive = reply.state ? reply.state->Drive(slot) : nullptr;
            const std::uint32_t state = drive != nullptr ? drive->driveState : kEmpty;
            if (state == kMember || state == kForeignMember || state == kEmpty) {
                qen.DisConnect(array);
                ExitWithProgramMessage(state == kEmpty ? kPmNoDrive : kPmDriveInUse, PROG_DKPROBE,
                                       CLI_EXIT_USAGE);
            }
            code = MC_TestPhysicalDrive;
            handle = array->TestPhysicalDrive(slot, percent);
            break;
        }
        case PA_RESET:
            handle = array->ResetPhysicalDrive(slot);
            break;
    }
    const CommandArgument arguments[] = {{ARG_DECIMAL, options.slot},
                                         {ARG_DECIMAL, options.percent}};
    SubmitAndCheck(qen, array, handle, code, PROG_DKPROBE, arguments, false);
    std::cout << CliText(kProbeSet, code == MC_ResetPhysicalDrive ? kResetItem : kStartedItem)
              << '\n';
    std::cout.flush();
    qen.DisConnect(array);
    return CLI_EXIT_SUCCESS;
}

}  // namespace dkprobe
