// dkjournal: reads and clears the logs an array keeps: the controller error
// and usage logs and the diagnostic log pages of a drive, printed decoded.
#pragma once

#include <cstdint>
#include <string>

namespace dkjournal {

inline constexpr int kFirstHelpItem = 57;  // set 14, after a blank line
inline constexpr int kLastHelpItem = 68;
inline constexpr int kUsageItems[] = {1};  // set 15

enum JOURNAL_OPTION : std::uint32_t {
    JO_ERROR_LOG = 0x1,     // -e
    JO_USAGE_LOG = 0x2,     // -u
    JO_DRIVE_LOGS = 0x4,    // -d slot
    JO_CLEAR_LOG = 0x8,     // -C -c
    JO_CLEAR_DRIVE = 0x10,  // -C -d slot
    JO_ONE_PAGE = 0x20,     // -p page
};

struct JournalOptions {
    std::uint32_t options = 0;
    std::int32_t driveSlot = 0;  // of -d
    std::int32_t clearSlot = 0;  // of -C -d
    std::int32_t page = 0;
    std::int32_t exitLevel = -1;
    std::string arrayId;
};

JournalOptions ParseJournalArguments(int argc, char** argv);

int RunJournal(const JournalOptions& options);

void PrintJournalHelp();

}  // namespace dkjournal
