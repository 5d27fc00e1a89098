#include "tools/firmware/DownloadFlows.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "coresys/server/scsi/CabinetControllers.h"
#include "coresys/server/scsi/ScsiDeviceTable.h"
#include "platform/Clock.h"
#include "platform/FileUtil.h"
#include "tools/firmware/DownloadCommands.h"
#include "tools/firmware/DownloadConsole.h"
#include "tools/firmware/DownloadController.h"
#include "tools/firmware/DownloadPrinters.h"
#include "tools/firmware/DownloadSignals.h"

namespace download {

namespace {

using T = DownloadText;

// Pauses that pace the controller through its states, in milliseconds.
constexpr std::uint64_t kCommandPauseMs = 50;
constexpr std::uint64_t kStatePassMs = 10000;
constexpr std::uint64_t kPollPauseMs = 1000;
constexpr std::uint64_t kAfterFlashMs = 17000;
constexpr std::uint64_t kAfterCopyMs = 5000;

constexpr int kPollLimit = 500;
constexpr int kPassLimit = 30;
constexpr std::uint32_t kControllerChunk = 65532;
constexpr std::uint32_t kDrivePiece = 65536;
constexpr std::uint32_t kDrivePiece32K = 32768;
constexpr std::uint8_t kModePageBuffer = 255;
constexpr std::uint8_t kAllPages = 0x3F;
constexpr std::uint8_t kPageControlChangeable = 1;
constexpr std::uint8_t kPageControlDefault = 2;

// Subsystem states the flows act on.
constexpr std::uint32_t kReady = 0;
constexpr std::uint32_t kWarning = 1;
constexpr std::uint32_t kNotEnoughDrives = 2;
constexpr std::uint32_t kNoQuorum = 3;
constexpr std::uint32_t kNoMap = 4;
constexpr std::uint32_t kShuttingDown = 5;
constexpr std::uint32_t kShutDown = 6;
constexpr std::uint32_t kStartingUp = 7;
constexpr std::uint32_t kNoCode = 8;
constexpr std::uint32_t kShutdownWarning = 10;
constexpr std::uint32_t kFirmwareNeeded = 12;

// What a signal that ends the program does at the point a flow has reached
// (DownloadSignals.h). Set by the flows, reset for each run.
enum class SignalStage {
    kNothingShutDown,  // the program ends at the next point where it may
    kShutDown,         // the array is restarted and waited for first
    kWriting,          // firmware is written: held until the flow is done
};
SignalStage g_stage = SignalStage::kNothingShutDown;
bool g_heldSaid = false;

void SayHeld() {
    if (!g_heldSaid) {
        g_heldSaid = true;
        Say(T::SIGNAL_HELD);
    }
}

// From here on the array is shut down, or written to.
void Enter(SignalStage stage) {
    g_stage = stage;
    if (stage == SignalStage::kWriting && CaughtSignal() != 0)
        SayHeld();
}

// A signal ends a wait early, so the flow acts on it at once; while firmware
// is written the wait goes on once the user was told.
void Pause(std::uint64_t ms) {
    if (g_stage == SignalStage::kWriting && CaughtSignal() != 0)
        SayHeld();
    const std::uint64_t left = SleepUnlessSignalled(ms);
    if (left != 0 && g_stage == SignalStage::kWriting) {
        SayHeld();
        platform::SleepMs(left);
    }
}

// A text field of a device as the flows print it: up to its first NUL.
const char* Shown(const std::string& field) {
    return field.c_str();
}

struct StateName {
    std::uint32_t state;
    DownloadText name;
    int ready;  // the ready result, or -1: the state is passing, keep polling
};

constexpr StateName kStateNames[] = {
    {kReady, T::STATE_READY, 0},
    {kWarning, T::STATE_WARNING, 0},
    {kNotEnoughDrives, T::STATE_NOT_ENOUGH_DRIVES, 1},
    {kNoQuorum, T::STATE_NO_QUORUM, 1},
    {kNoMap, T::STATE_NO_MAP, 1},
    {kShuttingDown, T::STATE_SHUTTING_DOWN, -1},
    {kShutDown, T::STATE_SHUTDOWN_COMPLETE, 0},
    {kStartingUp, T::STATE_STARTING_UP, -1},
    {kNoCode, T::STATE_NO_CODE, 1},
    {kShutdownWarning, T::STATE_SHUTDOWN_WARNING, 0},
    {kFirmwareNeeded, T::STATE_FIRMWARE_NEEDED, 1},
};

// Prints the state's name; its ready result, or -1 for a passing state.
int ShowState(std::uint32_t state) {
    for (const auto& s : kStateNames) {
        if (s.state != state)
            continue;
        Say(s.ready < 0 ? T::STATE_LINE_PASSING : T::STATE_LINE, Text(s.name));
        return s.ready;
    }
    Say(T::STATE_OTHER, static_cast<int>(state));
    return 1;
}

// The restart signal and a ready poll that end every failed download, so
// the tool never leaves an array shut down.
void RestartAndPoll() {
    ScsiResult result;
    CdbControllerRestart(false, result);
    Pause(kCommandPauseMs);
    Say(T::INITIALIZING);
    PollForReady();
}

// Where a flow may stop: true when a signal was caught. An array this run
// has shut down is restarted and waited for first.
bool StopForSignal() {
    if (CaughtSignal() == 0)
        return false;
    if (g_stage == SignalStage::kShutDown) {
        Say(T::SIGNAL_RESTARTING);
        RestartAndPoll();
    }
    return true;
}

std::string UpperCase(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

enum class Method { A, B, C, D, E, F };

// The drive's INQUIRY texts choose how its microcode is written; the first
// match wins, each key compared over its own length.
Method ChooseMethod(const InquiryTexts& drive) {
    enum Field { kProduct, kVendor };
    struct Rule {
        Field field;
        const char* key;
        Method method;
    };
    static constexpr Rule kRules[] = {
        {kProduct, "2.13 GB", Method::A}, {kProduct, "1.050 GB", Method::A},
        {kProduct, "ST31230", Method::A}, {kProduct, "ST31200", Method::A},
        {kProduct, "ST32430", Method::A}, {kProduct, "XP32181", Method::B},
        {kProduct, "XP34361", Method::B}, {kProduct, "XP39100", Method::B},
        {kVendor, "Quantum", Method::B},  {kProduct, "ST34371", Method::C},
        {kProduct, "ST34572", Method::C}, {kProduct, "ST32272", Method::C},
        {kProduct, "ST32171", Method::C}, {kProduct, "2.13 GB", Method::D},
        {kProduct, "ST15150", Method::D}, {kProduct, "ST19171", Method::D},
        {kProduct, "ST32550", Method::D}, {kVendor, "SEAGATE", Method::D},
    };
    auto starts = [](const std::string& text, const char* key) {
        return text.compare(0, std::strlen(key), key) == 0;
    };
    for (const auto& rule : kRules) {
        if (starts(rule.field == kProduct ? drive.product : drive.vendor, rule.key))
            return rule.method;
    }
    if (starts(drive.vendor, "IBM") && starts(drive.revision, "VX"))
        return Method::F;
    return Method::E;
}

// The largest single transfer a method makes with an image of this size.
std::uint32_t LargestPiece(Method method, std::uint32_t size) {
    switch (method) {
        case Method::A:
        case Method::B:
            return size;
        case Method::F:
            return kDrivePiece32K;
        default:
            return std::min(size, kDrivePiece);
    }
}

// Writes the image to the drive in the method's pieces, 50 ms apart; stops
// at the first failure, and before a piece when a signal was caught
// (*stopped is then set: the drive drops the pieces it has).
int WriteDriveImage(Method method, std::uint8_t slot, const std::vector<std::uint8_t>& image,
                    std::uint32_t size, ScsiResult& result, bool* stopped) {
    const unsigned char* data = image.data();
    auto piece = [&](auto write) {
        if (CaughtSignal() != 0) {
            *stopped = true;
            return 0;
        }
        const int ok = write();
        Pause(kCommandPauseMs);
        return ok;
    };
    switch (method) {
        case Method::A:
            return piece([&] { return PtWriteBuffer(slot, 5, size, data, result); });
        case Method::B:
            return piece([&] { return PtWriteBuffer(slot, 4, size, data, result); });
        case Method::F: {
            const std::uint32_t pieces = size / kDrivePiece32K;
            for (std::uint32_t i = 0; i < pieces; ++i) {
                const int ok = piece([&] {
                    return PtWriteBuffer32K(slot, static_cast<std::uint8_t>(i),
                                            data + std::size_t(i) * kDrivePiece32K, result);
                });
                if (!ok)
                    return 0;
            }
            return 1;
        }
        default:
            break;
    }
    // C, D and E: whole 64 KiB pieces, then the rest.
    const std::uint32_t pieces = size / kDrivePiece;
    const std::uint32_t rest = size % kDrivePiece;
    std::uint32_t at = 0;
    for (std::uint32_t i = 0; i < pieces; ++i, at += kDrivePiece) {
        const int ok = piece([&] {
            return method == Method::D ? PtWriteBuffer(slot, 7, kDrivePiece, at, data + at, result)
                                       : PtWriteBuffer(slot, 4, kDrivePiece, data + at, result);
        });
        if (!ok)
            return 0;
    }
    switch (method) {
        case Method::C:
            return piece([&] { return PtWriteBuffer(slot, 4, rest, data + at, result); });
        case Method::D:
            return piece([&] { return PtWriteBuffer(slot, 7, rest, at, data + at, result); });
        default:
            return piece([&] { return PtWriteBuffer(slot, 5, rest, data + at, result); });
    }
}

// Reads the whole code file; 0, or the run's result with the message said.
// Only a regular file of an image's size is read.
int LoadImage(const std::string& name, std::vector<std::uint8_t>* image, std::uint32_t* size) {
    switch (platform::ReadSizedFile(name, kMinImageSize, kMaxImageSize, image)) {
        case platform::SizedRead::kRead:
            *size = static_cast<std::uint32_t>(image->size());
            return kExitSuccess;
        case platform::SizedRead::kNotOpened:
        case platform::SizedRead::kNotRegular:
            Complain(T::FILE_NOT_OPENED, name.c_str());
            return kExitFailure;
        case platform::SizedRead::kOutOfRange:
            Say(T::FILE_SIZE_1);
            Say(T::FILE_SIZE_2);
            return kExitFailure;
        case platform::SizedRead::kNotRead:
            break;
    }
    Say(T::FILE_NOT_READ);
    return kExitFailure;
}

}  // namespace

int PollForReady(bool* lastReadOk) {
    int ready = kExitNoState;
    bool ok = false;
    for (int count = 0;; ++count) {
        SubsystemStateValues state;
        ScsiResult result;
        ok = GetSubsystemState(state, result) != 0;
        if (ok) {
            const int shown = ShowState(state.state);
            if (shown >= 0) {
                ready = shown;
                break;
            }
            Pause(kPollPauseMs);
        } else if (result.result == 2 || result.result == 3 || result.result == 4 ||
                   result.result == 7) {
            // Busy or restarting: the controller is not there yet.
            Say(T::POLLING, count, kPollLimit);
            Pause(kPollPauseMs);
        } else {
            Complain(T::UNEXPECTED_KIND, static_cast<int>(result.result));
            break;
        }
        if (count == kPollLimit)
            break;
    }
    if (lastReadOk != nullptr)
        *lastReadOk = ok;
    return ready;
}

int controller_flash(const std::vector<std::uint8_t>& image, std::uint32_t size) {
    ScsiResult result;
    SubsystemStateValues state;
    GetSubsystemState(state, result);
    if (state.state == kNoQuorum || state.state == kNoMap) {
        Say(T::REFUSED_STATE_1);
        Say(T::REFUSED_STATE_2);
        return kExitFailure;
    }
    UnitSerialTexts serial;
    InquiryUnitSerial(0, serial, result);
    Pause(kCommandPauseMs);

    int passes = 0;
    bool shutdownSent = false;
    while (state.state != kShutDown && state.state != kNoCode && state.state != kShutdownWarning) {
        if (StopForSignal())
            return kExitFailure;
        if (passes >= kPassLimit)
            break;
        ++passes;
        switch (state.state) {
            case kReady:
            case kWarning:
            case kNotEnoughDrives:
            case kFirmwareNeeded:
                if (serial.primary) {
                    Say(T::SHUTTING_DOWN);
                    Enter(SignalStage::kShutDown);
                    CdbShutdownSubsystem(result);
                    shutdownSent = true;
                    for (int i = 0; i < passes; ++i)
                        Say(T::PASS_DOT);
                    Pause(kCommandPauseMs);
                } else {
                    // Only the primary controller takes the download: this
                    // one becomes primary first.
                    Say(T::SWITCHING);
                    CdbSwitchController(result);
                    Pause(kCommandPauseMs);
                    Say(T::INITIALIZING);
                    PollForReady();
                    InquiryUnitSerial(0, serial, result);
                    Pause(kCommandPauseMs);
                }
                break;
            case kShuttingDown:
                Say(T::STATE_LINE_RETURNED, Text(T::STATE_SHUTTING_DOWN));
                ++passes;
                Pause(kStatePassMs);
                break;
            case kStartingUp:
                Say(T::STATE_LINE_RETURNED, Text(T::STATE_STARTING_UP));
                ++passes;
                Pause(kStatePassMs);
                break;
            default:
                Say(T::STATE_LINE, Text(T::UNEXPECTED_STATE));
                // A subsystem this run shut down is started again.
                if (shutdownSent)
                    RestartAndPoll();
                return kExitFailure;
        }
        GetSubsystemState(state, result);
        Pause(kCommandPauseMs);
    }
    if (passes >= kPassLimit) {
        Say(T::TOO_MANY_1);
        Say(T::TOO_MANY_2);
        RestartAndPoll();
        return kExitFailure;
    }
    // The subsystem is down (or has no code): whatever ends the run now
    // restarts it.
    Enter(SignalStage::kShutDown);
    bool readOk = false;
    PollForReady(&readOk);
    if (!readOk)
        Say(T::DEBUG_BAD_RETURN);

    const std::uint32_t chunks = size / kControllerChunk;
    std::uint32_t at = 0;
    int ok = 1;
    for (std::uint32_t i = 0; i < chunks && ok; ++i, at += kControllerChunk) {
        // A controller restarted before the last piece drops the image.
        if (StopForSignal())
            return kExitFailure;
        ok = CdbWriteBuffer(4, kControllerChunk, image.data() + at, result);
        Pause(kCommandPauseMs);
    }
    if (ok && StopForSignal())
        return kExitFailure;
    if (ok) {
        Say(T::FIRMWARE_LOADING);
        ok = CdbWriteBuffer(5, size % kControllerChunk, image.data() + at, result);
    }
    if (ok) {
        // The controllers burn the image and restart by themselves.
        Enter(SignalStage::kWriting);
        Pause(kAfterFlashMs);
        Say(T::INITIALIZING);
        return PollForReady();
    }
    PrintCommandState(result, Text(T::WRITE_BUFFER_FAILED));
    RestartAndPoll();
    return kExitFailure;
}

int SetDriveModePages(std::uint8_t slot, ScsiResult& result) {
    if (!PtTestUnitReady(slot, result)) {
        PrintCommandState(result, Text(T::PT_TUR_FAILED));
        return 0;
    }
    unsigned char defaults[kModePageBuffer];
    unsigned char changeable[kModePageBuffer];
    std::uint32_t defaultsCame = 0;
    std::uint32_t changeableCame = 0;
    if (!PtModeSense(slot, kPageControlDefault, kAllPages, kModePageBuffer, defaults, result,
                     &defaultsCame)) {
        PrintCommandState(result, Text(T::MODE_SENSE_DEFAULT_FAILED));
        return 0;
    }
    if (!PtModeSense(slot, kPageControlChangeable, kAllPages, kModePageBuffer, changeable, result,
                     &changeableCame)) {
        PrintCommandState(result, Text(T::MODE_SENSE_CHANGEABLE_FAILED));
        return 0;
    }
    // The pages end where the mode data does, but never past the bytes that
    // came in both replies (a drive may declare more than it sends) nor past
    // the buffer; a page that would cross that end is not sent.
    const std::size_t end =
        std::min({std::size_t(defaults[0]) + 1, std::size_t(std::min(defaultsCame, changeableCame)),
                  std::size_t(kModePageBuffer)});
    for (std::size_t i = 4; i < end; ++i)
        defaults[i] &= changeable[i];
    Say(T::SETTING_MODE_PAGES);
    for (std::size_t at = 4; at + 2 <= end;) {
        const std::size_t pageSize = std::size_t(defaults[at + 1]) + 2;
        if (at + pageSize > end)
            break;
        unsigned char list[4 + kModePageBuffer] = {};
        std::memcpy(list + 4, defaults + at, pageSize);
        list[4] &= 0x7F;
        ScsiResult selectResult;
        if (PtModeSelect(slot, static_cast<std::uint8_t>(pageSize + 4), list, selectResult))
            Say(T::PAGE_CODE, list[4]);
        at += pageSize;
    }
    Say(T::PAGES_END);
    return 1;
}

int DriveFirmwareDownload(const DownloadArguments& args, std::uint32_t size,
                          const std::vector<std::uint8_t>& image) {
    const auto slot = static_cast<std::uint8_t>(args.slot);
    const char* slotText = args.slotText.c_str();
    ScsiResult result;
    DriveStateValues drive;
    if (!CheckPhysicalDriveState(slot, drive, result)) {
        PrintCommandState(result, Text(T::CHECK_DRIVE_FAILED));
        return kExitFailure;
    }
    if (drive.value[0] == kDriveNone) {
        Say(T::NO_DRIVE, slotText);
        return kExitFailure;
    }
    InquiryTexts inquiry;
    if (!PtInquiry(slot, inquiry, result)) {
        PrintCommandState(result, Text(T::PT_INQUIRY_FAILED));
        return kExitFailure;
    }
    Say(T::DRIVE_REVISION, Shown(inquiry.revision), Shown(inquiry.product));

    // Whatever could not be written whole is refused before anything is
    // shut down.
    const Method method = ChooseMethod(inquiry);
    const std::uint32_t largest = DownloadController::Current()->MaximumTransfer();
    if (LargestPiece(method, size) > largest) {
        Say(T::TOO_LARGE_FOR_DRIVE, static_cast<unsigned long>(size),
            static_cast<unsigned long>(largest));
        return kExitFailure;
    }
    if (method == Method::F && size % kDrivePiece32K != 0) {
        Say(T::NOT_IN_32K_PIECES, static_cast<unsigned long>(size));
        return kExitFailure;
    }
    if (StopForSignal())
        return kExitFailure;
    Say(T::SHUTTING_DOWN_LINE);

    Enter(SignalStage::kShutDown);
    CdbShutdownSubsystem(result);
    if (!CdbShutdownSubsystem(result) && result.status != 0) {
        PrintCommandState(result, Text(T::SHUTDOWN_SUBSYSTEM_FAILED));
        RestartAndPoll();
        return kExitFailure;
    }
    PollForReady();
    if (StopForSignal())
        return kExitFailure;
    Say(T::LOADING_MECHANISM);
    Pause(kCommandPauseMs);

    bool stopped = false;
    int ok = WriteDriveImage(method, slot, image, size, result, &stopped);
    if (stopped) {
        StopForSignal();
        return kExitFailure;
    }
    if (ok) {
        // The drive has its new microcode: the rest of the flow, which ends
        // in the restart, is not cut short.
        Enter(SignalStage::kWriting);
        // The first commands after new microcode hear of it (unit attention).
        ScsiResult ignored;
        PtTestUnitReady(slot, ignored);
        PtTestUnitReady(slot, ignored);
        if (!PtStartUnit(slot, 0, result)) {
            Say(T::START_UNIT_FAILED);
            PrintScsiError(result);
        }
        Pause(kCommandPauseMs);
        ok = PtTestUnitReady(slot, result);
        if (ok)
            ok = SetDriveModePages(slot, result);
    }
    if (!ok) {
        PrintCommandState(result, Text(T::PT_WRITE_BUFFER_FAILED));
        RestartAndPoll();
        return kExitFailure;
    }

    CdbControllerRestart(false, result);
    Pause(kCommandPauseMs);
    Say(T::STATE_LINE, Text(T::INITIALIZING_NAME));
    const int ready = PollForReady();
    if (!CheckPhysicalDriveState(slot, drive, result)) {
        PrintCommandState(result, Text(T::CHECK_DRIVE_FAILED));
        return kExitFailure;
    }
    if (drive.value[0] == kDriveInitFailed) {
        Complain(T::DRIVE_INIT_FAILED_1, slotText);
        Complain(T::DRIVE_INIT_FAILED_2);
        return kExitFailure;
    }
    if (!PtInquiry(slot, inquiry, result)) {
        PrintCommandState(result, Text(T::PT_INQUIRY_FAILED));
        return kExitFailure;
    }
    Say(T::DRIVE_REVISION_NOW, Shown(inquiry.revision));
    return ready;
}

int CopyFirmware() {
    ScsiResult result;
    if (StopForSignal())
        return kExitFailure;
    Say(T::SHUTTING_DOWN_LINE);
    Enter(SignalStage::kShutDown);
    int ok = CdbShutdownSubsystem(result);
    Pause(kCommandPauseMs);
    if (!ok) {
        PrintCommandState(result, Text(T::SHUTDOWN_FAILED));
        RestartAndPoll();
        return kExitFailure;
    }
    Say(T::SHUTDOWN_COMPLETE);
    Pause(kCommandPauseMs);
    if (StopForSignal())
        return kExitFailure;
    ok = CdbCopyFirmware(result);
    // The partner takes the copy and the controllers restart by themselves.
    if (ok)
        Enter(SignalStage::kWriting);
    Say(T::FIRMWARE_LOADING);
    Pause(kAfterCopyMs);
    if (!ok) {
        PrintCommandState(result, Text(T::COPY_FAILED));
        RestartAndPoll();
        return kExitFailure;
    }
    Say(T::INITIALIZING);
    return PollForReady();
}

int FormatDrive(std::uint8_t slot) {
    ScsiResult result;
    Say(T::FORMAT_RUNNING);
    Say(T::FORMAT_WAIT);
    if (!PtFormatUnit(slot, result)) {
        PrintCommandState(result, Text(T::FORMAT_FAILED));
        return kExitFailure;
    }
    Say(T::FORMAT_DONE);
    Say(T::RESETTING);
    CdbControllerRestart(false, result);
    Pause(kCommandPauseMs);
    return kExitSuccess;
}

int ListArrays(DeviceRecord* list) {
    constexpr std::size_t kLineSize = 60;
    std::vector<std::string> lines;
    for (DeviceRecord* record = list; record != nullptr; record = record->next) {
        DownloadController controller(record);
        DownloadController::SetCurrent(&controller);
        ScsiResult result;
        UnitSerialTexts serial;
        InquiryTexts inquiry;
        int failed = 0;
        if (!InquiryUnitSerial(0, serial, result)) {
            PrintCommandState(result, Text(T::INQUIRY_UNIT_FAILED));
            failed = 1;
        } else if (!InquiryStandard(0, inquiry, result)) {
            PrintCommandState(result, Text(T::INQUIRY_STANDARD_FAILED));
            failed = 1;
        }
        DownloadController::SetCurrent(nullptr);
        if (failed)
            return kExitFailure;
        char line[kLineSize];
        std::snprintf(line, sizeof line, Text(T::LIST_ENTRY), Shown(serial.arrayId),
                      Shown(inquiry.revision), Shown(inquiry.product));
        lines.emplace_back(line);
    }
    for (const auto& line : lines)
        Say(T::LIST_LINE, line.c_str());
    return kExitSuccess;
}

bool IdOfOneArray(const std::vector<UnitSerialTexts>& controllers) {
    std::vector<std::pair<std::string, std::string>> named;  // serial, partner
    for (const UnitSerialTexts& c : controllers)
        named.emplace_back(c.serial, c.partner);
    return ControllersOfOneCabinet(named);
}

DeviceRecord* FindController(DeviceRecord* list, const DownloadArguments& args) {
    // Array ids are upper case; one typed in lower case means the same array.
    const std::string id = UpperCase(args.arrayId);
    // Every controller is asked once which array it belongs to. The id must
    // name one cabinet: its controllers are at most two, and partners.
    // Anything else is two arrays of one id, and either may be the wrong one.
    std::vector<DeviceRecord*> records;
    std::vector<UnitSerialTexts> answering;
    for (DeviceRecord* record = list; record != nullptr; record = record->next) {
        DownloadController controller(record);
        DownloadController::SetCurrent(&controller);
        ScsiResult result;
        UnitSerialTexts serial;
        if (InquiryUnitSerial(0, serial, result) && std::string(Shown(serial.arrayId)) == id) {
            records.push_back(record);
            answering.push_back(serial);
        }
    }
    DownloadController::SetCurrent(nullptr);
    if (!IdOfOneArray(answering)) {
        DownloadError(4, Text(T::ID_OF_TWO_ARRAYS));
        return nullptr;
    }
    DeviceRecord* found = nullptr;
    bool passedOver = false;
    for (std::size_t i = 0; i < records.size() && found == nullptr; ++i) {
        if (args.mode == kModeCopy) {
            if (answering[i].primary)
                found = records[i];
            continue;
        }
        if (!answering[i].primary) {
            DownloadController controller(records[i]);
            DownloadController::SetCurrent(&controller);
            ScsiResult result;
            SubsystemStateValues state;
            GetSubsystemState(state, result);
            DownloadController::SetCurrent(nullptr);
            if (state.state == kNoCode) {
                passedOver = true;
                continue;
            }
        }
        found = records[i];
    }
    if (found == nullptr) {
        if (passedOver) {
            Say(T::PRIMARY_MISSING_1);
            Say(T::PRIMARY_MISSING_2);
            Say(T::PRIMARY_MISSING_3);
            Say(T::PRIMARY_MISSING_4);
        }
        DownloadError(4, Text(T::SEARCH_FAILED));
    }
    return found;
}

int DownloadRun(const DownloadArguments& args) {
    int result = kExitNoState;
    std::vector<std::uint8_t> image;
    std::uint32_t size = 0;
    if (args.mode == kModeController || args.mode == kModeDrive) {
        const int loaded = LoadImage(args.codeFile, &image, &size);
        if (loaded != kExitSuccess)
            return loaded;
    }
    DeviceRecord* list = nullptr;
    ScsiResult scan;
    OpenArrayDevices(list, scan);
    if (scan.result != ScsiResult::kGood && list == nullptr) {
        DownloadError(3);
        return kExitScanFailed;
    }
    if (args.mode == kModeList) {
        result = ListArrays(list);
    } else {
        DeviceRecord* record = FindController(list, args);
        if (record == nullptr) {
            DownloadError(3);
            CloseArrayDevices(list);
            return kExitFailure;
        }
        DownloadController controller(record);
        DownloadController::SetCurrent(&controller);
        const auto slot = static_cast<std::uint8_t>(args.slot);
        // The flows that shut the array down end only where they may.
        std::optional<SignalCatcher> catcher;
        if (args.mode == kModeController || args.mode == kModeDrive || args.mode == kModeCopy)
            catcher.emplace();
        g_stage = SignalStage::kNothingShutDown;
        g_heldSaid = false;
        switch (args.mode) {
            case kModeController:
                result = controller_flash(image, size);
                break;
            case kModeDrive:
                result = DriveFirmwareDownload(args, size, image);
                break;
            case kModeCopy:
                result = CopyFirmware();
                break;
            default:
                result = FormatDrive(slot);
                break;
        }
        g_stage = SignalStage::kNothingShutDown;
        DownloadController::SetCurrent(nullptr);
    }
    CloseArrayDevices(list);
    return result;
}

int DownloadMain(int argc, char** argv) {
    // The banner goes to standard error: standard output carries what the
    // front end reads (the listing of -I).
    Complain(T::BANNER);
    DownloadArguments args;
    int result = kExitCommandLine;
    switch (DownloadParseArguments(argc, argv, args)) {
        case ParseOutcome::kHelpShown:
            return kExitSuccess;
        case ParseOutcome::kStop:
            break;
        case ParseOutcome::kRun:
            result = DownloadRun(args);
            break;
    }
    Say(T::ENDING);
    // Ended by a signal: the code a shell gives a program it ended.
    if (CaughtSignal() != 0)
        return 128 + CaughtSignal();
    return result;
}

}  // namespace download
