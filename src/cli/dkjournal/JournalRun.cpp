#include <iostream>
#include <vector>

#include "catalog/StringCatalog.h"
#include "cli/common/ArrayConnect.h"
#include "cli/common/CliConfig.h"
#include "cli/common/CommandSubmit.h"
#include "cli/common/ControllerLogLines.h"
#include "cli/common/ExitCodes.h"
#include "cli/common/ProgramMessages.h"
#include "cli/common/ValueText.h"
#include "cli/dkjournal/Dkjournal.h"
#include "cli/dkjournal/JournalLogs.h"
#include "client/DiskArray.h"
#include "client/QEN.h"
#include "coresys/common/DiskArrayState.h"
#include "coresys/common/MESSAGE_CODE.h"

namespace dkjournal {

namespace {

// Set 15 messages.
constexpr int kNotFoundItem = 2;
constexpr int kNoConnectionItem = 3;
constexpr int kBadLogItem = 5;
constexpr int kBadPageListItem = 8;
constexpr int kBadDefectFormatItem = 9;
constexpr int kClearingLogItem = 10;
constexpr int kOnePageItem = 11;         // with the slot
constexpr int kNoDriveItem = 12;         // with the slot
constexpr int kClearingPagesItem = 13;   // with the slot
constexpr int kNothingToClearItem = 14;  // with the slot

// Set 14: the controllers' identity by their state, X then Y.
struct ControllerItems {
    int active;       // state 1, before the identity when the controller is the active one
    int identity[4];  // state 1: vendor, product, serial number, firmware revision
    int passive;      // state 2
    int absent;       // state 3
    int failed;       // state 4
    int offline;      // state 5
};
constexpr ControllerItems kControllerItems[] = {
    {15, {16, 17, 18, 19}, 69, 20, 71, 73},
    {21, {22, 23, 24, 25}, 70, 26, 72, 74},
};
// The drive's identity: its slot, then vendor, product, revision, serial.
constexpr int kDriveItems[] = {27, 28, 29, 30, 31};

constexpr std::uint32_t kFirstLogRequest = 1024;
constexpr std::uint32_t kFirstDefectRequest = 96;
constexpr std::uint32_t kNoDrive = 1;
constexpr std::uint8_t kSupportedPagesPage = 0;
constexpr std::uint8_t kNonMediumPage = 6;

class JournalRun {
  public:
    explicit JournalRun(const JournalOptions& options) : options_(options), qen_(1) {}

    int Run() {
        Open();
        const CommandReply state = Submit(MC_GetState, array_->GetState(), {});
        state_ = state.state.value_or(DiskArrayState{});
        Controllers();
        if (Chosen(JO_ERROR_LOG)) {
            ErrorLog();
        }
        if (Chosen(JO_USAGE_LOG)) {
            UsageLog();
        }
        if (Chosen(JO_CLEAR_LOG)) {
            std::cout << CliText(kMessageSet, kClearingLogItem) << '\n';
            std::cout.flush();
            ReadControllerLog(kFirstLogRequest, kErrorLogType, 1);
        }
        if (Chosen(JO_DRIVE_LOGS)) {
            DriveLogs(static_cast<std::uint32_t>(options_.driveSlot));
        }
        if (Chosen(JO_CLEAR_DRIVE)) {
            ClearDrive(static_cast<std::uint32_t>(options_.clearSlot));
        }
        std::cout.flush();
        qen_.DisConnect(array_);
        return CLI_EXIT_SUCCESS;
    }

  private:
    bool Chosen(JOURNAL_OPTION option) const { return (options_.options & option) != 0; }

    [[noreturn]] void Fail(int item, int exitCode) {
        std::cout.flush();
        std::cerr << CliText(kMessageSet, item) << '\n';
        qen_.DisConnect(array_);
        std::exit(exitCode);
    }

    void Open() {
        OruSubsystem* subsystem = FindListedArray(qen_, options_.arrayId);
        if (subsystem == nullptr) {
            Fail(kNotFoundItem, CLI_EXIT_USAGE);
        }
        array_ = qen_.Connect(subsystem);
        if (array_ == nullptr) {
            Fail(kNoConnectionItem, CLI_EXIT_FAILED);
        }
    }

    CommandReply Submit(std::uint32_t code, const CommandHandle& handle,
                        std::vector<CommandArgument> arguments) {
        return SubmitAndCheck(qen_, array_, handle, code, PROG_DKJOURNAL, arguments, false);
    }

    std::vector<unsigned char> ReadControllerLog(std::uint32_t size, std::uint32_t type,
                                                 int clear) {
        return Submit(MC_ReadControllerLog, array_->ReadControllerLog(size, type, clear),
                      {{ARG_DECIMAL, static_cast<std::int32_t>(size)},
                       {ARG_DECIMAL, static_cast<std::int32_t>(type)},
                       {ARG_BOOLEAN, clear}})
            .bytes;
    }

    std::vector<unsigned char> RecordDiagInfo(std::uint32_t slot, std::uint32_t page,
                                              std::uint32_t size) {
        return Submit(MC_RecordDiagInfo, array_->RecordDiagInfo(slot, page, size),
                      {{ARG_DECIMAL, static_cast<std::int32_t>(slot)},
                       {ARG_DECIMAL, static_cast<std::int32_t>(page)},
                       {ARG_DECIMAL, static_cast<std::int32_t>(size)}})
            .bytes;
    }

    // A page read whole: asked again for its declared length when that is
    // more than the first answer held.
    std::vector<unsigned char> ReadPage(std::uint32_t slot, std::uint32_t page) {
        std::vector<unsigned char> bytes = RecordDiagInfo(slot, page, kFirstLogRequest);
        if (const std::uint32_t again = ResizedRequest(LogPageTotal(bytes), kFirstLogRequest)) {
            bytes = RecordDiagInfo(slot, page, again);
        }
        return bytes;
    }

    void Controllers() {
        ValueText words;
        for (std::uint32_t k = 0; k < 2; ++k) {
            const ControllerInfo* controller = state_.Controller(k);
            if (controller == nullptr) {
                continue;
            }
            const ControllerItems& items = kControllerItems[k];
            switch (controller->controllerStatus) {
                case 1: {
                    if (controller->active == 1) {
                        std::cout << CliText(kReportSet, items.active) << '\n';
                    }
                    const std::string texts[] = {words.Trim(controller->vendor),
                                                 words.Trim(controller->productId),
                                                 words.IdentityText(controller->serialNumber),
                                                 words.Trim(controller->fwRev)};
                    for (std::size_t i = 0; i < std::size(texts); ++i) {
                        std::cout << CliText(kReportSet, items.identity[i], texts[i].c_str())
                                  << '\n';
                    }
                    break;
                }
                case 2:
                    std::cout << CliText(kReportSet, items.passive) << '\n';
                    break;
                case 3:
                    std::cout << CliText(kReportSet, items.absent) << '\n';
                    break;
                case 4:
                    std::cout << CliText(kReportSet, items.failed) << '\n';
                    break;
                case 5:
                    std::cout << CliText(kReportSet, items.offline) << '\n';
                    break;
                default:
                    break;
            }
        }
    }

    void ErrorLog() {
        std::vector<unsigned char> log = ReadControllerLog(kFirstLogRequest, kErrorLogType, 0);
        if (const std::uint32_t again = ResizedRequest(ControllerLogTotal(log), kFirstLogRequest)) {
            log = ReadControllerLog(again, kErrorLogType, 0);
        }
        StringCatalog firmware(cli::kFirmwareCatalogPath, cli::kFirmwareCatalogLibrary);
        const cli::ControllerLogTexts texts(GetCliCatalog(), firmware);
        const bool printed = PrintControllerErrorLog(
            log, [&texts](std::uint32_t code) { return texts.FirmwareText(code); }, std::cout);
        if (!printed) {
            Fail(kBadLogItem, CLI_EXIT_USAGE);
        }
    }

    void UsageLog() {
        const std::vector<unsigned char> log =
            ReadControllerLog(kFirstLogRequest, kUsageLogType, 0);
        if (!PrintUsageLog(log, std::cout)) {
            Fail(kBadLogItem, CLI_EXIT_USAGE);
        }
    }

    // Whether the slot holds a drive; prints the message item with the slot
    // name when it does not.
    bool DrivePresent(std::uint32_t slot, int emptyItem) {
        const Physical_Drive* drive = state_.Drive(slot);
        if (drive == nullptr || drive->driveState == kNoDrive) {
            ValueText words;
            std::cout << CliText(kMessageSet, emptyItem, words.DriveSlotName(slot)) << '\n';
            return false;
        }
        return true;
    }

    // The supported pages of the drive, from its page 0.
    std::vector<std::uint8_t> SupportedPageCodes(std::uint32_t slot) {
        const std::vector<unsigned char> page = ReadPage(slot, kSupportedPagesPage);
        if (page.empty() || page[0] != kSupportedPagesPage) {
            Fail(kBadPageListItem, CLI_EXIT_USAGE);
        }
        return SupportedPages(page);
    }

    void DriveLogs(std::uint32_t slot) {
        if (!DrivePresent(slot, kNoDriveItem)) {
            return;
        }
        ValueText words;
        const std::string slotName = words.DriveSlotName(slot);
        if (Chosen(JO_ONE_PAGE)) {
            const auto page = static_cast<std::uint32_t>(options_.page);
            const std::vector<unsigned char> bytes = ReadPage(slot, page);
            std::cout << CliText(kMessageSet, kOnePageItem, slotName.c_str()) << '\n';
            PrintHexDump(Declared(bytes), std::cout);
            return;
        }
        const Physical_Drive& drive = *state_.Drive(slot);
        const std::string identity[] = {
            slotName, words.Trim(drive.vendor), words.Trim(drive.identityText2),
            words.Trim(drive.productRev), words.Trim(drive.serialNumber)};
        for (std::size_t i = 0; i < std::size(identity); ++i) {
            std::cout << CliText(kReportSet, kDriveItems[i], identity[i].c_str()) << '\n';
        }
        const std::vector<std::uint8_t> codes = SupportedPageCodes(slot);
        PrintSupportedPages(codes, std::cout);
        for (std::uint8_t code : codes) {
            if (code == kSupportedPagesPage) {
                continue;
            }
            const std::vector<unsigned char> page = ReadPage(slot, code);
            // The page code is compared exactly: a drive that sets the
            // page's flag bits answers with a code we did not ask for.
            if (page.empty() || page[0] != code) {
                Fail(kBadLogItem, CLI_EXIT_USAGE);
            }
            switch (code) {
                case 2:
                case 3:
                case 5:
                    PrintErrorCounters(page, std::cout);
                    break;
                case kNonMediumPage:
                    PrintNonMediumErrors(page, std::cout);
                    break;
                default:
                    PrintHexDump(Declared(page), std::cout);
                    break;
            }
        }
        DefectList(slot);
    }

    // The page as far as it declares itself, within the bytes that came.
    static std::span<const unsigned char> Declared(const std::vector<unsigned char>& page) {
        const std::span<const unsigned char> bytes(page);
        const std::uint32_t total = LogPageTotal(bytes);
        return bytes.first(std::min<std::size_t>(bytes.size(), total == 0 ? bytes.size() : total));
    }

    std::vector<unsigned char> ReadDefects(std::uint32_t slot, std::uint32_t size) {
        return Submit(MC_ReadDefectData, array_->ReadDefectData(slot, size),
                      {{ARG_DECIMAL, static_cast<std::int32_t>(slot)},
                       {ARG_DECIMAL, static_cast<std::int32_t>(size)}})
            .bytes;
    }

    void DefectList(std::uint32_t slot) {
        std::vector<unsigned char> data = ReadDefects(slot, kFirstDefectRequest);
        if (const std::uint32_t again =
                ResizedRequest(DefectDataTotal(data), kFirstDefectRequest)) {
            data = ReadDefects(slot, again);
        }
        if (data.size() < 2 || data[1] != kGrownPhysicalFormat) {
            Fail(kBadDefectFormatItem, CLI_EXIT_USAGE);
        }
        PrintDefectList(data, std::cout);
    }

    void ClearDrive(std::uint32_t slot) {
        if (!DrivePresent(slot, kNothingToClearItem)) {
            return;
        }
        ValueText words;
        std::cout << CliText(kMessageSet, kClearingPagesItem, words.DriveSlotName(slot)) << '\n';
        std::cout.flush();
        const std::vector<std::uint8_t> codes = SupportedPageCodes(slot);
        for (std::size_t i = 1; i < codes.size(); ++i) {
            Submit(MC_ClearDiagInfo, array_->ClearDiagInfo(slot, codes[i]),
                   {{ARG_DECIMAL, static_cast<std::int32_t>(slot)}, {ARG_DECIMAL, codes[i]}});
        }
    }

    const JournalOptions& options_;
    QEN qen_;
    DiskArray* array_ = nullptr;
    DiskArrayState state_;
};

}  // namespace

int RunJournal(const JournalOptions& options) {
    return JournalRun(options).Run();
}

}  // namespace dkjournal
