#include "cli/common/ArrayConnect.h"

#include <cstdlib>
#include <iostream>
#include <vector>

#include "catalog/Pause.h"
#include "cli/common/ArrayIdMatch.h"
#include "cli/common/ErrorPrinter.h"
#include "cli/common/ExitCodes.h"
#include "cli/common/ProgramMessages.h"
#include "client/QEN.h"
#include "coresys/common/FieldText.h"

namespace {

constexpr int kConnectTries = 6;
constexpr unsigned long kConnectPauseMs = 1500;

}  // namespace

OruSubsystem* FindSubsystemById(QEN& qen, std::string_view id) {
    std::vector<ArrayIdEntry> entries;
    std::vector<OruSubsystem*> subsystems;
    for (int i = 0; i < qen.NameArraySize(); ++i) {
        OruSubsystem* subsystem = qen[i];
        if (subsystem == nullptr) {
            break;
        }
        entries.push_back({FieldText(subsystem->aliasName), FieldText(subsystem->serialNumber)});
        subsystems.push_back(subsystem);
    }
    const std::optional<std::size_t> found = FindArrayById(id, entries, std::cerr);
    return found ? subsystems[*found] : nullptr;
}

DiskArray* ConnectWithRetry(QEN& qen, OruSubsystem* subsystem) {
    for (int attempt = 1; attempt <= kConnectTries; ++attempt) {
        DiskArray* array = qen.Connect(subsystem);
        if (array != nullptr) {
            return array;
        }
        const SESSION_STATUS status = qen.LastStatus();
        // Missing rights do not come with waiting; nor does a place at a
        // service that serves all the sessions it can: it is told at once.
        if (status == SESS_USER_LACKS_SECURITY || status == SESS_AUTHENTIFICATION_FAILED ||
            status == SESS_CONNECTION_NOT_AVAILABLE) {
            return nullptr;
        }
        if (attempt < kConnectTries) {
            Pause(kConnectPauseMs);
        }
    }
    return nullptr;
}

OruSubsystem* FindListedArray(QEN& qen, std::string_view id) {
    const ASL_STATUS listStatus = qen.OruListStatus();
    if (listStatus != ASL_GOOD) {
        PrintListStatus(static_cast<std::int32_t>(listStatus), std::cerr);
        std::exit(CLI_EXIT_NO_REPLY);
    }
    return FindSubsystemById(qen, id);
}

DiskArray* OpenArray(QEN& qen, std::string_view id, int programIndex, ConnectTries tries) {
    OruSubsystem* subsystem = FindListedArray(qen, id);
    if (subsystem == nullptr) {
        ExitWithProgramMessage(PM_NOT_FOUND, programIndex, CLI_EXIT_USAGE);
    }
    if (tries == ConnectTries::ONCE) {
        DiskArray* array = qen.Connect(subsystem);
        if (array == nullptr) {
            ExitWithProgramMessage(PM_NO_CONNECTION, programIndex, CLI_EXIT_FAILED);
        }
        return array;
    }
    DiskArray* array = ConnectWithRetry(qen, subsystem);
    if (array == nullptr) {
        PrintSessionStatus(static_cast<std::int32_t>(qen.LastStatus()), std::cerr);
        ExitWithProgramMessage(PM_NO_CONNECTION, programIndex, CLI_EXIT_FAILED);
    }
    return array;
}
