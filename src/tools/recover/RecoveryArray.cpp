#include "tools/recover/RecoveryArray.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "cli/common/CliConfig.h"
#include "cli/common/ErrorPrinter.h"
#include "coresys/common/OruErrors.h"
#include "coresys/server/scsi/CabinetControllers.h"
#include "coresys/server/scsi/ScsiDeviceTable.h"
#include "coresys/server/state/OruErrRecords.h"
#include "platform/Clock.h"
#include "tools/recover/ControllerLogRecord.h"
#include "tools/recover/LogMessageModules.h"
#include "tools/recover/SalvageTexts.h"

namespace salvage {

namespace {

constexpr std::size_t kBackplaneIdLength = 12;
constexpr std::size_t kBackplaneIdOffset = 36;
constexpr std::uint32_t kStateBlockLength = SubsystemStateRecord::kBlockLength;

// Drive states as the drive list gives them to the recovery tool.
constexpr std::uint32_t kDriveUnassigned = 0;
constexpr std::uint32_t kDriveNone = 1;
constexpr std::uint32_t kDriveOfVolumeSet = 5;

constexpr const char* kEmptySlot = "<empty>";
constexpr const char* kOtherSlot = "*******";

// Where each flag sits in the state block: byte and bit.
struct FlagBit {
    int flag;
    int byte;
    int bit;
};
constexpr FlagBit kFlagBits[] = {
    {101, 5, 0}, {102, 5, 1}, {103, 5, 2}, {104, 5, 3}, {107, 5, 6}, {108, 5, 7}, {109, 4, 0},
    {110, 4, 1}, {111, 4, 2}, {112, 4, 3}, {113, 4, 4}, {114, 4, 5}, {116, 4, 7}, {117, 3, 0},
    {118, 3, 1}, {119, 3, 2}, {120, 3, 3}, {121, 3, 4}, {122, 3, 5}, {123, 3, 6},
};
constexpr int kSevereFlags[] = {101, 102, 107, 114};
constexpr int kOtherFlags[] = {103, 104, 108, 109, 110, 111, 112,
                               113, 116, 117, 119, 120, 122, 123};
// The order in which the state display lists the flags that are set.
constexpr int kShownFlags[] = {101, 102, 107, 114, 103, 104, 108, 109, 110,
                               111, 112, 113, 116, 117, 119, 120, 122, 123};
// State values that have a text of their own (203/200 + value).
constexpr std::uint32_t kNamedStates[] = {1, 2, 3, 4, 5, 6, 7, 8, 10, 12, 13, 14};

// A half of a volume set id that the controller leaves unset: blanks and a
// single "0" at its end.
bool UnsetHalf(const std::string& id, std::size_t from) {
    for (std::size_t i = from; i < from + 7; ++i) {
        if (id[i] != ' ') {
            return false;
        }
    }
    return id[from + 7] == '0';
}

template <typename... Args>
std::string Text(int set, int item, Args... args) {
    return CliText(set, item, args...);
}

// A menu answer: digits only (blanks around them allowed), at most three.
bool ParseChoice(const std::string& line, std::uint32_t* choice) {
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return false;
    }
    const auto last = line.find_last_not_of(" \t\r");
    const std::string digits = line.substr(first, last - first + 1);
    if (digits.size() > 3 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    *choice = static_cast<std::uint32_t>(std::stoul(digits));
    return true;
}

// Whether the controllers that answer to one id are one cabinet's.
bool IdOfOneArray(const std::vector<UnitSerialPage>& controllers) {
    std::vector<std::pair<std::string, std::string>> named;  // serial, partner
    for (const UnitSerialPage& page : controllers) {
        named.emplace_back(page.serial, page.partnerSerial);
    }
    return ControllersOfOneCabinet(named);
}

}  // namespace

RecoveryArray::RecoveryArray(const std::string& arrayId, SalvageRun& run,
                             const LogMessageModules& modules)
    : run_(run),
      out_(run.console.out),
      err_(run.console.err),
      modules_(modules),
      arrayId_(arrayId) {
    Open(arrayId);
}

RecoveryArray::~RecoveryArray() {
    storage_.reset();
    CloseArrayDevices(devices_);
}

void RecoveryArray::Open(const std::string& arrayId) {
    ScsiResult scan;
    OpenArrayDevices(devices_, scan);
    // The controller whose unit serial page names the array; of two, the
    // active one, else the first found. The id must name one cabinet: at
    // most two controllers, and two only when either is the other's
    // partner; otherwise either array may be the wrong one, and none is
    // taken.
    std::vector<UnitSerialPage> answering;
    bool takenActive = false;
    for (DeviceRecord* record = devices_; record != nullptr; record = record->next) {
        auto candidate = std::make_unique<StorSys>(record, StorSys::Locking::Unlocked);
        UnitSerialPage page;
        ScsiResult result;
        if (candidate->ReadUnitSerialPage(0, page, result) == 0) {
            continue;
        }
        const bool match =
            arrayId.size() == kBackplaneIdLength &&
            std::memcmp(page.raw + kBackplaneIdOffset, arrayId.data(), kBackplaneIdLength) == 0;
        if (!match) {
            continue;
        }
        answering.push_back(page);
        if ((page.raw[2] & 1) != 0 && !takenActive) {
            storage_ = std::move(candidate);
            takenActive = true;
        } else if (storage_ == nullptr) {
            storage_ = std::move(candidate);
        }
    }
    if (!IdOfOneArray(answering)) {
        err_ << CliText(kMessageSet, M_ID_OF_TWO_ARRAYS, arrayId.c_str()) << '\n';
        storage_.reset();
        return;
    }
    if (storage_ == nullptr) {
        return;
    }
    ScsiResult result;
    if (storage_->ReadIdentityPage(0, identity_, result) == 0 ||
        storage_->ReadPhysicalDriveList(drives_, nullptr, result) == 0) {
        return;
    }
    BuildTables();
    Refresh();
    revision_ = identity_.formatLevel;
}

void RecoveryArray::BuildTables() {
    for (SlotView& slot : slots_) {
        slot = SlotView{};
    }
    volumeSets_.clear();
    unassignedCount_ = 0;
    unassignedId_ = kOtherSlot;
    bool placed[kSlots] = {};
    for (const DriveTableEntry& drive : drives_) {
        if (drive.state == kDriveNone) {
            continue;
        }
        // An entry for a slot the cabinet does not have, or for a slot
        // already listed, cannot be shown.
        if (drive.address >= kSlots || placed[drive.address]) {
            continue;
        }
        placed[drive.address] = true;
        SlotView& slot = slots_[drive.address];
        const std::string id(drive.volumeSetId, kIdLength);
        if (drive.state == kDriveUnassigned) {
            ++unassignedCount_;
            slot.shown = Shown::kUnassigned;
            unassignedId_ = id;
        } else if (drive.state == kDriveOfVolumeSet) {
            if (UnsetHalf(id, 0) || UnsetHalf(id, 8)) {
                slot.shown = Shown::kOtherKind;
                continue;
            }
            slot.shown = Shown::kDrive;
            slot.id = id;
            if (std::find(volumeSets_.begin(), volumeSets_.end(), id) == volumeSets_.end()) {
                volumeSets_.push_back(id);
            }
        } else {
            slot.shown = Shown::kOtherKind;
        }
    }
}

bool RecoveryArray::ReadState() {
    unsigned char block[kStateBlockLength] = {};
    ScsiResult result;
    if (storage_->ReadSubsystemState(0, kStateBlockLength, block, result) == 0) {
        return false;
    }
    storage_->DecodeSubsystemState(block, kStateBlockLength, state_);
    return true;
}

int RecoveryArray::Refresh() {
    unreadable_ = true;
    if (storage_ == nullptr || !ReadState()) {
        return 0;
    }
    for (std::uint32_t reads = 1; Flag(F118); ++reads) {
        if (reads >= kMaxBusyReads) {
            return 0;
        }
        Wait(kBusyWaitMs);
        if (!ReadState()) {
            return 0;
        }
    }
    // Read aside, so that a failed read leaves the last page shown.
    ModePage22Record page;
    ScsiResult result;
    if (storage_->ReadModePage22(0, page, result) == 0) {
        return 0;
    }
    page22_ = page;
    unreadable_ = false;
    return 1;
}

void RecoveryArray::Wait(std::uint64_t ms) {
    platform::SleepMs(ms);
}

bool RecoveryArray::Flag(int flag) const {
    for (const FlagBit& f : kFlagBits) {
        if (f.flag != flag) {
            continue;
        }
        const std::uint8_t byte = f.byte == 3   ? state_.flags3
                                  : f.byte == 4 ? state_.flags4
                                                : state_.flags5;
        return ((byte >> f.bit) & 1) != 0;
    }
    return false;
}

bool RecoveryArray::Severe() const {
    return std::any_of(std::begin(kSevereFlags), std::end(kSevereFlags),
                       [this](int f) { return Flag(f); });
}

bool RecoveryArray::Other() const {
    return std::any_of(std::begin(kOtherFlags), std::end(kOtherFlags),
                       [this](int f) { return Flag(f); });
}

bool RecoveryArray::SeveralSets() const {
    return StateValue() != 0 && StateValue() != 1 && volumeSets_.size() >= 2;
}

void RecoveryArray::StateDisplay() {
    const std::uint32_t value = StateValue();
    if (value != 0) {
        const bool named = std::find(std::begin(kNamedStates), std::end(kNamedStates), value) !=
                           std::end(kNamedStates);
        out_ << Text(kStateSet, S_STATE_HEADING) << '\n';
        out_ << Text(kStateSet, named ? S_STATE_BASE + static_cast<int>(value) : S_STATE_UNKNOWN)
             << '\n';
    }
    if (Severe() || Other()) {
        out_ << Text(kStateSet, S_FLAGS_HEADING) << '\n';
        for (int flag : kShownFlags) {
            if (Flag(flag)) {
                out_ << Text(kStateSet, flag) << '\n';
            }
        }
    }
}

void RecoveryArray::StatusReport() {
    const char* id = arrayId_.c_str();
    if (InProgress()) {
        out_ << Text(kListSet, L_IN_PROGRESS, id) << '\n';
        out_ << Text(kListSet, L_PROGRESS, ProgressValue()) << '\n';
    } else if (ScanWanted()) {
        out_ << Text(kMessageSet, M_SCAN_WANTED, id) << '\n';
        VolumeSetList(false);
    } else if (WorkWanted()) {
        out_ << Text(kMessageSet, M_WORK_WANTED, id) << '\n';
        VolumeSetList(false);
    } else {
        out_ << Text(kListSet, L_NOTHING_TO_DO, id) << '\n';
    }
}

std::string RecoveryArray::ShownId(std::uint32_t slot) const {
    switch (slots_[slot].shown) {
        case Shown::kEmpty:
            return kEmptySlot;
        case Shown::kOtherKind:
            return kOtherSlot;
        case Shown::kUnassigned:
            return unassignedId_;
        case Shown::kDrive:
            break;
    }
    return slots_[slot].id;
}

std::string RecoveryArray::SlotText(std::uint32_t slot) const {
    if (slot >= kSlots) {
        return Text(kListSet, L_SLOT_UNKNOWN);
    }
    const int row = static_cast<int>(slot / 2);
    return Text(kListSet, slot % 2 == 0 ? L_SLOT_A1 + row : L_SLOT_B1 + row);
}

void RecoveryArray::ListSlots(const std::string& id) {
    bool first = true;
    for (std::uint32_t slot = 0; slot < kSlots; ++slot) {
        if (ShownId(slot) != id) {
            continue;
        }
        out_ << (first ? Text(kListSet, L_DRIVES) : std::string(", ")) << SlotText(slot);
        first = false;
    }
    out_ << '\n';
}

std::string RecoveryArray::Printable(const std::string& id) {
    std::string text;
    for (char c : id) {
        if (c == '\0') {
            break;
        }
        const auto byte = static_cast<unsigned char>(c);
        text += byte < 0x20 || byte >= 0x7F ? '.' : c;
    }
    return text;
}

void RecoveryArray::VolumeSetList(bool interactive) {
    menuCount_ = 0;
    menuLowest_ = 1;
    if (interactive && unassignedCount_ == 0 && (!SeveralSets() || run_.options.override)) {
        menuLowest_ = 0;
        out_ << "  0) " << Text(kListSet, L_DEFAULT_SET) << '\n';
    }
    if (unassignedCount_ > 0) {
        menuLowest_ = 0;
        if (interactive) {
            out_ << "  0) ";
        }
        out_ << Text(kListSet, L_UNASSIGNED, Printable(unassignedId_).c_str());
        ListSlots(unassignedId_);
    }
    if (volumeSets_.empty()) {
        if (!interactive && unassignedCount_ == 0) {
            err_ << Text(kMessageSet, M_NO_VOLUME_SETS, arrayId_.c_str()) << '\n';
        }
        return;
    }
    if (interactive && unassignedCount_ > 0 && (StateValue() == 0 || StateValue() == 1)) {
        return;
    }
    if (volumeSets_.size() == 1 && !interactive && unassignedCount_ == 0) {
        out_ << Text(kListSet, L_ONE_SET, arrayId_.c_str()) << '\n';
    }
    for (const std::string& id : volumeSets_) {
        ++menuCount_;
        if (interactive) {
            out_ << "  " << menuCount_ << ") ";
        }
        out_ << Text(kListSet, L_VOLUME_SET, Printable(id).c_str());
        ListSlots(id);
    }
}

RecoveryArray::MenuResult RecoveryArray::RunMenu() {
    for (;;) {
        out_ << '\n';
        VolumeSetList(true);
        const std::uint32_t quit = menuCount_ + 1;
        out_ << "  " << quit << ") " << Text(kListSet, L_QUIT) << '\n';
        out_ << Text(kListSet, L_PROMPT) << " [" << menuLowest_ << "-" << quit << "] "
             << std::flush;
        std::string line;
        if (!std::getline(run_.console.in, line)) {
            out_ << '\n';
            return MenuResult::kEndOfInput;
        }
        std::uint32_t choice = 0;
        if (!ParseChoice(line, &choice) || choice < menuLowest_ || choice > quit) {
            out_ << Text(kListSet, L_BAD_CHOICE) << '\n';
            continue;
        }
        if (choice == quit) {
            out_ << Text(kListSet, L_QUITTING) << '\n';
            return MenuResult::kQuit;
        }
        if (choice == 0) {
            UseDefaultVolumeSet();
        } else {
            SelectVolumeSetId(volumeSets_[choice - 1].c_str());
        }
        return MenuResult::kChosen;
    }
}

bool RecoveryArray::SelectVolumeSetId(const char* id) {
    useDefault_ = false;
    if (id != nullptr && std::strlen(id) == kIdLength) {
        std::memcpy(selected_, id, kIdLength);
        selected_[kIdLength] = '\0';
        if ((StateValue() == 0 || StateValue() == 1) && unassignedCount_ > 0 &&
            unassignedId_ == selected_) {
            useDefault_ = true;
        }
        return true;
    }
    std::memset(selected_, '*', kIdLength);
    selected_[kIdLength] = '\0';
    return false;
}

bool RecoveryArray::ValidChoice() const {
    if (StateValue() == 0 || StateValue() == 1) {
        return useDefault_;
    }
    if (!useDefault_) {
        return std::find(volumeSets_.begin(), volumeSets_.end(), std::string(selected_)) !=
               volumeSets_.end();
    }
    return volumeSets_.size() < 2;
}

bool RecoveryArray::KnownId() const {
    const std::string selection(selected_);
    return std::find(volumeSets_.begin(), volumeSets_.end(), selection) != volumeSets_.end() ||
           (unassignedCount_ > 0 && selection == unassignedId_);
}

bool RecoveryArray::SendVolumeSetId() {
    if (useDefault_) {
        out_ << Text(kListSet, L_SENDING_DEFAULT) << '\n';
    } else {
        out_ << Text(kListSet, L_SENDING_ID, Printable(selected_).c_str()) << '\n';
    }
    if (run_.options.debug) {
        return true;
    }
    ScsiResult result;
    if (storage_ != nullptr && storage_->WriteVolumeSetId(selected_, useDefault_, result) != 0) {
        return true;
    }
    const oruerr error =
        MakeOruErr(OruErrFromResult(result), ERR_COMMAND_FAILED, NO_QUALIFIER, NO_MODULE_ID);
    PrintErrorDetail(&error, err_);
    return false;
}

RecoveryArray::PollResult RecoveryArray::ProgressPoll() {
    std::uint32_t lastShown = 0;
    std::uint32_t failedReads = 0;
    std::uint32_t stillPolls = 0;
    for (;;) {
        ModePage22Record page;
        ScsiResult result;
        if (storage_ == nullptr || storage_->ReadModePage22(0, page, result) == 0) {
            if (lastShown == 0 || ++failedReads >= kMaxFailedProgressReads) {
                return PollResult::kFailed;
            }
            out_ << '\n'
                 << Text(kMessageSet, M_PROGRESS_UNREADABLE, arrayId_.c_str()) << '\n'
                 << std::flush;
            Wait(kUnreadableWaitMs);
            continue;
        }
        failedReads = 0;
        page22_ = page;
        if (!InProgress()) {
            return PollResult::kEnded;
        }
        if (ProgressValue() > lastShown) {
            lastShown = ProgressValue();
            stillPolls = 0;
            out_ << (continuous_ ? '\n' : '\r') << Text(kListSet, L_PROGRESS, lastShown) << ' '
                 << std::flush;
        } else {
            out_ << '.' << std::flush;
            if (++stillPolls >= kStallPolls) {
                return PollResult::kStalled;
            }
        }
        Wait(kPollWaitMs);
    }
}

bool RecoveryArray::ReadLog(int select) {
    std::uint32_t needed = kLogFirstAllocation;
    for (std::uint32_t reads = 0; reads < kMaxLogReads; ++reads) {
        const std::uint32_t allocation = needed + kLogSlack;
        log_.assign(allocation, 0);
        std::uint32_t total = 0;
        ScsiResult result;
        if (storage_ == nullptr ||
            storage_->ReadControllerLog(select, log_.data(), allocation, &total, result) == 0) {
            break;
        }
        const std::uint32_t received = std::min(total, allocation);
        if (select != 0) {
            logLength_ = received;
            return true;
        }
        needed = (received >= 3 ? (std::uint32_t{log_[1]} << 8 | log_[2]) : 0) + 3;
        if (allocation >= needed) {
            // The walk keeps to what the header announces and what arrived.
            logLength_ = std::min(needed, received);
            return true;
        }
    }
    log_.clear();
    logLength_ = 0;
    return false;
}

bool RecoveryArray::WalkLog(bool quiet) {
    std::uint32_t at = 3;
    logRecords_ = 0;
    while (at < logLength_) {
        std::unique_ptr<LogRecord> record = LogRecord::Create(log_.data() + at, logLength_ - at);
        if (record == nullptr) {
            err_ << Text(kMessageSet, M_LOG_DAMAGED, arrayId_.c_str()) << '\n';
            return false;
        }
        if (!quiet) {
            record->Print(out_, modules_);
        }
        ++logRecords_;
        at += record->Size();
    }
    out_ << Text(kMessageSet, M_LOG_COUNT, logRecords_) << '\n';
    return true;
}

bool RecoveryArray::LogCount(bool quiet) {
    if (!ReadLog(0)) {
        err_ << Text(kMessageSet, M_LOG_READ_FAILED, arrayId_.c_str()) << '\n';
        return false;
    }
    return WalkLog(quiet);
}

}  // namespace salvage
