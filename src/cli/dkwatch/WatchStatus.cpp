#include <algorithm>
#include <cstdio>
#include <ios>

#include "cli/common/CliConfig.h"
#include "cli/common/ErrorPrinter.h"
#include "cli/common/ValueText.h"
#include "cli/dkwatch/Dkwatch.h"
#include "coresys/common/DiagCommandResults.h"
#include "coresys/common/DiskArrayState.h"
#include "coresys/common/MESSAGE_CODE.h"
#include "coresys/common/OruServerState.h"

namespace dkwatch {

namespace {

// Set 8 items.
constexpr int kTestItem = 1;          // code 43
constexpr int kVerifyItem = 2;        // code 44
constexpr int kRequestItem = 3;       // another code, then item 4
constexpr int kNumberItem = 4;        // a number after a word
constexpr int kFirstStatusItem = 11;  // statuses 0..6
constexpr int kLastStatus = 6;
constexpr int kOtherStatusItem = 18;   // then item 4
constexpr int kHostCheckItem = 20;     // a check of the host's own, then item 24
constexpr int kNoCommandItem = 24;     // with the host check's number
constexpr int kOtherCommandItem = 28;  // then item 4
constexpr int kProgressItem = 29;      // name, slot, percent
constexpr int kResultItem = 30;        // name, slot, status
constexpr int kFailureItem = 31;       // failed command, block, blocks
constexpr int kFailedChunksItem = 32;  // count, first block

// Failed commands by their operation code.
struct FailedCommand {
    std::uint32_t code;
    int item;
};
constexpr FailedCommand kFailedCommands[] = {
    {0x00, 23}, {0x25, 22}, {0x28, 26}, {0x2E, 27}, {0x2F, 25},
};
// The host's own checks are numbered from 256 (256: none).
constexpr std::uint32_t kHostChecks = 256;

// Statuses whose result needs no failure detail: could not start (2),
// finished (3), running (5), cancelled (6).
bool Detailed(std::uint32_t status) {
    return status != 2 && status != 3 && status != 5 && status != 6;
}

// Tests that failed: could not start (2), finished with errors (4).
bool Failed(std::uint32_t status) {
    return status == DIAG_STATE_COULD_NOT_START || status == DIAG_STATE_FINISHED_WITH_ERRORS;
}

std::string Text(int item) {
    return CliText(kWatchSet, item);
}

std::string Numbered(int item, std::uint32_t value) {
    return Text(item) + CliText(kWatchSet, kNumberItem, value);
}

std::string CommandName(std::uint32_t code) {
    switch (code) {
        case MC_TestPhysicalDrive:
            return Text(kTestItem);
        case MC_VerifyPhysicalDrive:
            return Text(kVerifyItem);
        default:
            return Numbered(kRequestItem, code);
    }
}

std::string StatusText(std::uint32_t status) {
    if (status <= kLastStatus) {
        return Text(kFirstStatusItem + static_cast<int>(status));
    }
    return Numbered(kOtherStatusItem, status);
}

std::string FailedCommandName(std::uint32_t code) {
    for (const FailedCommand& command : kFailedCommands) {
        if (command.code == code) {
            return Text(command.item);
        }
    }
    if (code < kHostChecks) {
        return Numbered(kOtherCommandItem, code);
    }
    const std::string check = CliText(kWatchSet, kNoCommandItem, code - kHostChecks);
    return code == kHostChecks ? check : Text(kHostCheckItem) + check;
}

// The sense data of a failed test: its additional length + 8 bytes, never
// more than the record's text field holds.
std::span<const unsigned char> SenseOf(const oruerr& error) {
    const std::string_view sense = error.SenseBytes();
    return {reinterpret_cast<const unsigned char*>(sense.data()), SenseLength(sense)};
}

bool PrintSlot(const OruServerState& server, std::uint32_t slot, std::ostream& out) {
    bool failed = false;
    ValueText words;
    const std::string slotName = words.DriveSlotName(slot);
    const CommandInProgressArray& running = server.commandsInProgress;
    for (unsigned short i = 0; i < running.Size(); ++i) {
        const CommandInProgress* command = running[i];
        if (command->drive == slot) {
            out << CliText(kWatchSet, kProgressItem, CommandName(command->code).c_str(),
                           slotName.c_str(), command->aux2)
                << '\n';
        }
    }
    const CommandResultsArray& results = server.commandResults;
    for (unsigned short i = 0; i < results.Size(); ++i) {
        const auto* result = dynamic_cast<const DiagCommandResults*>(results[i]);
        if (result == nullptr || result->drive != slot) {
            continue;
        }
        // A test that recorded an error did not pass, whatever state it
        // ended in.
        const std::uint32_t status = result->Outcome();
        failed = failed || Failed(status);
        out << CliText(kWatchSet, kResultItem, CommandName(result->code).c_str(), slotName.c_str(),
                       StatusText(status).c_str())
            << '\n';
        const std::size_t chunks = result->FailedChunks().size();
        if (chunks != 0) {
            out << CliText(kWatchSet, kFailedChunksItem, static_cast<unsigned>(chunks),
                           result->FirstFailedBlock())
                << '\n';
        }
        if (Detailed(status)) {
            out << CliText(kWatchSet, kFailureItem, FailedCommandName(result->diagValue1).c_str(),
                           result->diagValue2, result->diagValue3)
                << '\n';
            DumpBytes(SenseOf(result->error), out);
        }
    }
    return failed;
}

}  // namespace

bool PrintSlotStatus(const OruServerState& server, std::int32_t slot, std::ostream& out) {
    if (slot != kAllSlots) {
        return PrintSlot(server, static_cast<std::uint32_t>(slot), out);
    }
    bool failed = false;
    for (std::uint32_t each = 0; each < DiskArrayState::kDriveSlots; ++each) {
        failed = PrintSlot(server, each, out) || failed;
    }
    return failed;
}

void DumpBytes(std::span<const unsigned char> bytes, std::ostream& out) {
    constexpr std::size_t kPerLine = 16;
    char field[32];
    for (std::size_t offset = 0; offset < bytes.size(); offset += kPerLine) {
        const std::size_t count = std::min(kPerLine, bytes.size() - offset);
        std::snprintf(field, sizeof field, "  %4zx: ", offset);
        out << field;
        std::string text;
        for (std::size_t i = 0; i < count; ++i) {
            const unsigned char byte = bytes[offset + i];
            std::snprintf(field, sizeof field, " %02x", byte);
            out << field;
            text += byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.';
        }
        out << std::string(3 * (kPerLine - count), ' ') << "    " << text << '\n';
    }
}

}  // namespace dkwatch
