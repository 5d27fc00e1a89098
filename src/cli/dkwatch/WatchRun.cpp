#include <iostream>
#include <vector>

#include "cli/common/ArrayConnect.h"
#include "cli/common/CliConfig.h"
#include "cli/common/CommandSubmit.h"
#include "cli/common/ExitCodes.h"
#include "cli/common/ProgramMessages.h"
#include "cli/common/ValueText.h"
#include "cli/dkwatch/Dkwatch.h"
#include "client/DiskArray.h"
#include "client/QEN.h"
#include "coresys/common/MESSAGE_CODE.h"
#include "coresys/common/OruServerState.h"

namespace dkwatch {

namespace {

constexpr int kCancellingItem = 44;  // slot letter and row
constexpr int kNothingRunsItem = 45;

class WatchRun {
  public:
    explicit WatchRun(const WatchOptions& options) : options_(options), qen_(1) {}

    int Run() {
        array_ = OpenArray(qen_, options_.arrayId, PROG_DKWATCH, ConnectTries::ONCE);
        OruServerState server = State();
        // The listing ends with exit 1 when it shows a test that failed; a
        // cancel ends with the cancel's outcome.
        bool failed = false;
        if (options_.cancel) {
            Cancel(server);
        } else {
            failed = PrintSlotStatus(server, options_.slot, std::cout);
        }
        std::cout.flush();
        qen_.DisConnect(array_);
        return failed ? CLI_EXIT_FAILED : CLI_EXIT_SUCCESS;
    }

  private:
    // The service's command lists from a fresh state; a state request
    // without reply ends the run with exit 2, a failed one as every failed
    // request does.
    OruServerState State() {
        const std::optional<CommandReply> reply =
            WaitForCommandResult(*array_, array_->GetState(), false, MC_GetState, {}, std::cout);
        if (!reply) {
            ExitWithProgramMessage(PM_NO_REPLY, PROG_DKWATCH, CLI_EXIT_USAGE);
        }
        FinishCommand(reply, qen_, array_, MC_GetState, PROG_DKWATCH, {}, false);
        return reply->serverState.value_or(OruServerState{});
    }

    void Cancel(const OruServerState& server) {
        ValueText words;
        const std::string slotName = words.DriveSlotName(static_cast<std::uint32_t>(options_.slot));
        const std::string letter = slotName.substr(0, 1);
        const auto row = static_cast<std::uint32_t>(options_.slot / 2 + 1);
        // The commands to cancel, taken before anything else is asked: each
        // fresh state replaces the lists.
        std::vector<CommandHandle> running;
        for (unsigned short i = 0; i < server.commandsInProgress.Size(); ++i) {
            const CommandInProgress* command = server.commandsInProgress[i];
            if (command->drive == static_cast<std::uint32_t>(options_.slot)) {
                running.push_back(command->handle);
            }
        }
        if (running.empty()) {
            std::cout << CliText(kWatchSet, kNothingRunsItem, letter.c_str(), row) << '\n';
            return;
        }
        for (const CommandHandle& handle : running) {
            std::cout << CliText(kWatchSet, kCancellingItem, letter.c_str(), row) << '\n';
            std::cout.flush();
            const CommandArgument arguments[] = {
                {ARG_DECIMAL, static_cast<std::int32_t>(handle.sequence)}};
            SubmitAndCheck(qen_, array_, array_->Cancel_Command(handle), MC_Cancel_Command,
                           PROG_DKWATCH, arguments, false);
            PrintSlotStatus(State(), options_.slot, std::cout);
        }
    }

    const WatchOptions& options_;
    QEN qen_;
    DiskArray* array_ = nullptr;
};

}  // namespace

int RunWatch(const WatchOptions& options) {
    return WatchRun(options).Run();
}

}  // namespace dkwatch
