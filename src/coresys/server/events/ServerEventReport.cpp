#include "coresys/server/events/ServerEventReport.h"

#include <string>

#include "coresys/common/EventTextNumbers.h"
#include "coresys/server/events/EventSeverity.h"
#include "coresys/server/events/EventText.h"
#include "coresys/server/net/ConnectionMgr.h"
#include "coresys/server/state/Labels.h"
#include "coresys/server/state/ServerDiskArrayState.h"
#include "coresys/server/winnt/Service/ServerManager.h"
#include "platform/Trace.h"

namespace {

// The sets, pairs and numbers the event log and the traps share.
using namespace event_text;

// The event log's other catalog sets.
constexpr int kSetHead = 1;
constexpr int kSetController = 10;
constexpr int kSetCommandResult = 36;
constexpr int kSetNetworkStep = 46;
constexpr int kSetExtension = 50;

constexpr int kFailedChunks = 15;  // set 36: count, first block

constexpr int kHeadSubsystem = 11;
constexpr int kHeadEvent = 12;
constexpr int kNewValue = 14;
constexpr int kProductId = 60;
constexpr int kProductRevision = 61;

// The longest part of a device notice that goes into its text.
constexpr std::size_t kNoticeChars = 80;

// Controller X is slot 0, Y slot 1.
char ControllerLabel(std::uint32_t slot) {
    Label label = Label::Controller();
    return label.ControllerLabel(slot)[0];
}

// Drive slots 0..11 are A1, B1, A2, B2, ... A6, B6.
std::string SlotLabel(std::uint32_t slot) {
    Label label = Label::Slot();
    return label.SlotLabel(slot);
}

bool Unrecognized(std::uint32_t major, std::uint32_t minor) {
    platform::Trace("unrecognized event type 0x%X, 0x%X\n", major, minor);
    return false;
}

}  // namespace

ServerEventReport::ServerEventReport() : message_() {}

ServerEventReport::ServerEventReport(ServerDiskArrayState* state, OruServerState* server)
    : state_(state), message_(state, server) {
    if (state != nullptr && state->Valid()) {
        subsystemName_ = std::string(state->SerialNumber());
    }
}

void ServerEventReport::AddEvent(EVENT_MAJOR_TYPE major, std::uint32_t minor, std::uint32_t data1,
                                 std::uint32_t data2, const Detail& detail) {
    // A device notice is a text for the event log only.
    if (!(major == SSW && minor == SSW_DEVICE_NOTICE)) {
        message_.AppendEvent(major, minor, data1, data2);
    }
    lastText_.clear();
    EventText text;
    text.Add(kSetHead, kHeadSubsystem, subsystemName_.c_str()).Add(kSetHead, kHeadEvent);
    if (!Compose(text, major, minor, data1, data2, detail)) {
        return;
    }
    lastText_ = text.Text();
    reported_ += static_cast<std::uint32_t>(EventSeverity::Report(major, minor, lastText_));
}

int ServerEventReport::SendEvents() {
    if (message_.EventCount() == 0) {
        return 0;
    }
    auto* connections = dynamic_cast<ConnectionMgr*>(GetManager(CONNECTION_MANAGER));
    if (connections == nullptr) {
        platform::Trace("Unable to find Connection Manager\n");
        return 0;
    }
    unsigned char* bytes = message_.EncodeMsg();
    if (bytes == nullptr) {
        return 0;
    }
    std::string serial(message_.SerialNumber());
    return connections->Broadcast(bytes, message_.length, serial.c_str());
}

bool ServerEventReport::Compose(EventText& text, EVENT_MAJOR_TYPE major, std::uint32_t minor,
                                std::uint32_t data1, std::uint32_t data2,
                                const Detail& detail) const {
    bool composed = false;
    switch (major) {
        case CTLR:
            composed = ComposeController(text, minor, data1, data2);
            break;
        case SSS:
            composed = ComposeSubsystemState(text, minor);
            break;
        case MSS:
            composed = ComposeModeSubsystem(text, minor, detail);
            break;
        case PHYS:
            composed = ComposeDrive(text, minor, data1, detail);
            break;
        case HW:
            composed = ComposeHardware(text, minor, data1);
            break;
        case DAS_MISC:
            composed = ComposeSingleValue(text, minor);
            break;
        case ORUSS_MISC:
            // The log task's suspended flag mirrors state value 1 and is
            // told as that value's change; the other minors have no text.
            if (minor != ORUSS_MISC_LOG_SUSPENDED) {
                return false;
            }
            composed = ComposeSingleValue(text, DAS_MISC_STATE_VALUE1);
            break;
        case CRES:
            if (minor > CRES_OTHER) {
                return Unrecognized(major, minor);
            }
            text.Add(kSetCommandResult, 11 + static_cast<int>(minor), data1, data2);
            if (detail.failedChunks != 0) {
                text.Add(kSetCommandResult, kFailedChunks, detail.failedChunks,
                         detail.firstFailedBlock);
            }
            text.Add(kSetCommandResult, 20);
            return true;
        case SSW:
            return ComposeSoftware(text, minor, data1, data2, detail);
        case MEXT:
            composed = ComposeExtension(text, minor);
            break;
        default:  // CAP, CPRG, LUN, MISS, MC: the clients' business only
            return false;
    }
    if (composed) {
        AddProductTail(text);
    }
    return composed;
}

bool ServerEventReport::ComposeController(EventText& text, std::uint32_t minor, std::uint32_t slot,
                                          std::uint32_t item) const {
    const ControllerInfo* c = state_ != nullptr ? state_->Controller(slot) : nullptr;
    const char label = ControllerLabel(slot);
    auto moduleState = [&](const std::vector<std::uint32_t>* list) -> std::uint32_t {
        return list != nullptr && item < list->size() ? (*list)[item] : 0;
    };
    switch (minor) {
        case CTLR_ACTIVE:
            text.Add(kSetController, 1, label);
            return true;
        case CTLR_SERIAL_NUMBER:
            text.Add(kSetController, 2, label);
            return true;
        case CTLR_BATTERY: {
            std::uint32_t s = moduleState(c != nullptr ? &c->batteryStatus : nullptr);
            if (s <= 4) {
                text.Add(kSetController, 10 + static_cast<int>(s));
            } else {
                text.Add(kSetController, 19, s);
            }
            text.Add(kSetController, 52, label, item);
            return true;
        }
        case CTLR_STATUS: {
            std::uint32_t s = c != nullptr ? c->controllerStatus : 0;
            int number = s == 1 ? 21 : s == 2 ? 22 : s == 3 ? 23 : s == 5 ? 24 : 0;
            if (number != 0) {
                text.Add(kSetController, number);
            } else {
                text.Add(kSetController, 29, s);
            }
            text.Add(kSetController, 51, label);
            return true;
        }
        case CTLR_DRAM:
        case CTLR_NVRAM: {
            const bool dram = minor == CTLR_DRAM;
            std::uint32_t s = 0;
            if (c != nullptr) {
                s = moduleState(dram ? &c->dramStatus : &c->nvramStatus);
            }
            if (s >= 1 && s <= 4) {
                text.Add(kSetController, 30 + static_cast<int>(s));
            } else {
                text.Add(kSetController, 39, s);
            }
            text.Add(kSetController, dram ? 53 : 54, label, item);
            return true;
        }
        default:
            return Unrecognized(CTLR, minor);
    }
}

bool ServerEventReport::ComposeSubsystemState(EventText& text, std::uint32_t minor) const {
    if (minor > SSS_VALUE_24) {
        return Unrecognized(SSS, minor);
    }
    std::uint32_t value = 0;
    if (state_ != nullptr && state_->subsystemState.has_value()) {
        value = state_->subsystemState->values[minor];
    }
    if (minor == SSS_SUBSYSTEM_STATE) {
        if (value == 1) {
            return false;  // the usual state says nothing worth a log entry
        }
        text.Add(kSetSubsystemState, 9);
        const int number = event_text::SubsystemStateText(value, Teller::kEventLog);
        if (number != 0) {
            text.Add(kSetSubsystemState, number);
        } else {
            text.Add(kSetSubsystemState, event_text::kSubsystemStateByNumber, value);
        }
        return true;
    }
    const auto number = event_text::SubsystemStatePairText(minor, value);
    if (!number) {
        return false;
    }
    text.Add(kSetSubsystemState, *number);
    if (minor == 16) {
        text.Add(kSetController, 55, ControllerLabel(static_cast<std::uint32_t>(ActiveSlot())));
    }
    return true;
}

bool ServerEventReport::ComposeModeSubsystem(EventText& text, std::uint32_t minor,
                                             const Detail& detail) const {
    if (minor > MSS_TARGET_IDS) {
        return Unrecognized(MSS, minor);
    }
    ModeSubsystemPage page;
    if (state_ != nullptr && state_->modeSubsystem.has_value()) {
        page = *state_->modeSubsystem;
    }
    if (minor == MSS_TARGET_IDS) {
        text.Add(kSetModeSubsystem, 130, detail.value)
            .Add(kSetModeSubsystem, 131)
            .Add(kSetModeSubsystem, 132);
        return true;
    }
    const auto number = event_text::ModeSubsystemPairText(minor, page);
    if (!number) {
        return false;
    }
    text.Add(kSetModeSubsystem, *number);
    return true;
}

bool ServerEventReport::ComposeDrive(EventText& text, std::uint32_t minor, std::uint32_t slot,
                                     const Detail& detail) const {
    if (minor > PHYS_STATE) {
        return Unrecognized(PHYS, minor);
    }
    Physical_Drive drive;
    if (state_ != nullptr && state_->Drive(slot) != nullptr) {
        drive = *state_->Drive(slot);
    }
    const std::string label = SlotLabel(slot);
    if (minor == PHYS_SERIAL_NUMBER) {
        text.Add(kSetDrive, 2);
    } else {
        // The slot is named here too: a state change that does not say which
        // drive changed would leave the reader guessing.
        text.Add(kSetDrive, 3, label.c_str());
    }
    const std::uint32_t s = drive.driveState;
    const int number = event_text::DriveStateText(s, Teller::kEventLog);
    if (number != 0) {
        text.Add(kSetDrive, number);
    } else {
        text.Add(kSetDrive, event_text::kDriveStateByNumber, s);
    }
    if (minor == PHYS_SERIAL_NUMBER) {
        std::string previous(detail.previousSerial);
        text.Add(kSetDrive, 50, label.c_str(), previous.c_str());
    }
    std::string first(drive.IdentityText1());
    std::string second(drive.IdentityText2());
    text.Add(kSetDrive, 60, first.c_str()).Add(kSetDrive, 61, second.c_str());
    return true;
}

bool ServerEventReport::ComposeHardware(EventText& text, std::uint32_t minor,
                                        std::uint32_t index) const {
    if (minor > HW_LIST2) {
        return Unrecognized(HW, minor);
    }
    std::uint32_t value = 0;
    if (state_ != nullptr && state_->hardware.has_value()) {
        const auto& list =
            minor == HW_LIST1 ? state_->hardware->values1 : state_->hardware->values2;
        value = index < list.size() ? list[index] : 0;
    }
    const int base = minor == HW_LIST1 ? 0 : 20;
    if (value >= 1 && value <= 3) {
        text.Add(kSetHardware, base + static_cast<int>(value));
    } else {
        text.Add(kSetHardware, base + 9, value);
    }
    return true;
}

bool ServerEventReport::ComposeSingleValue(EventText& text, std::uint32_t minor) const {
    if (minor > DAS_MISC_USER_PARAM3) {
        return Unrecognized(DAS_MISC, minor);
    }
    if (minor == DAS_MISC_VALID_STATE || state_ == nullptr) {
        return false;
    }
    const ServerDiskArrayState& s = *state_;
    switch (minor) {
        case DAS_MISC_OWNS_LOCK:
            text.Add(kSetSingleValue, Pick(s.ownsLock, 20, 21));
            break;
        case DAS_MISC_STATE_VALUE1:
            text.Add(kSetSingleValue, Pick(s.stateValue1, 30, 31));
            break;
        case DAS_MISC_ALIAS: {
            std::string alias(s.AliasName());
            text.Add(kSetSingleValue, 10, alias.c_str());
            break;
        }
        case DAS_MISC_USER_PARAMS:
            text.Add(kSetSingleValue, Pick(s.userParam1 | s.userParam2, 40, 41));
            break;
        default:
            text.Add(kSetSingleValue, Pick(s.userParam3, 50, 51));
            break;
    }
    return true;
}

bool ServerEventReport::ComposeSoftware(EventText& text, std::uint32_t minor, std::uint32_t data1,
                                        std::uint32_t data2, const Detail& detail) const {
    switch (minor) {
        case SSW_DRIVE_DIAGNOSTICS: {
            const std::string label = SlotLabel(data1);
            text.Add(kSetSoftware, data2 == 0 ? 20 : 21, label.c_str());
            return true;
        }
        case SSW_SERVER_SOFTWARE:
            text.Add(kSetSoftware, 30);
            text.Add(kSetNetworkStep, data2 >= 1 && data2 <= 11 ? static_cast<int>(data2) : 255);
            return true;
        case SSW_ALARM_TEST:
            if (data1 == 0 && data2 == 0) {
                text.Add(kSetSoftware, 50);
            } else if (data1 == 1 || data1 == 2) {
                text.Add(kSetSoftware, 50 + static_cast<int>(data1));
            } else {
                text.Add(kSetSoftware, 252, data1, data2);
            }
            return true;
        case SSW_DEVICE_NOTICE: {
            std::string notice(detail.notice.substr(0, kNoticeChars));
            text.Add(kSetSoftware, 250, notice.c_str());
            return true;
        }
        case 12:
            if (data2 <= 5) {
                text.Add(kSetSoftware, 80 + static_cast<int>(data2));
            } else {
                text.Add(kSetSoftware, 99, data1, data2);
            }
            return true;
        default: {
            const int number = event_text::SoftwareText(minor);
            if (number == 0) {
                return Unrecognized(SSW, minor);
            }
            text.Add(kSetSoftware, number);
            return true;
        }
    }
}

bool ServerEventReport::ComposeExtension(EventText& text, std::uint32_t minor) const {
    if (minor > MEXT_VALUE_LAST) {
        return Unrecognized(MEXT, minor);
    }
    ModeExtensionPage page;
    if (state_ != nullptr && state_->modeExtension.has_value()) {
        page = *state_->modeExtension;
    }
    // Bytes 14-17, 18 bit 1, 18 bit 0, 20 and 21 bit 0 of the page are its
    // words 2, 4, 3, 6 and 14.
    switch (minor) {
        case 0:
            text.Add(kSetExtension, 5).Add(kSetHead, kNewValue, page.Value(2));
            break;
        case 1:
            text.Add(kSetExtension, Pick(page.Value(4), 10, 11));
            break;
        case 2:
            text.Add(kSetExtension, Pick(page.Value(3), 12, 13));
            break;
        case 3:
            text.Add(kSetExtension, 20).Add(kSetHead, kNewValue, page.Value(6));
            break;
        default:
            text.Add(kSetExtension, Pick(page.Value(14), 30, 31));
            break;
    }
    return true;
}

int ServerEventReport::ActiveSlot() const {
    if (state_ == nullptr) {
        return -1;
    }
    if (state_->ActiveSlot() >= 0) {
        return state_->ActiveSlot();
    }
    // A state that was not read through a controller (a copy, a state made
    // elsewhere) names the active one by its flag.
    for (std::uint32_t slot = 0; slot < state_->ControllerCount(); ++slot) {
        if (state_->Controller(slot)->active == 1) {
            return static_cast<int>(slot);
        }
    }
    return -1;
}

void ServerEventReport::AddProductTail(EventText& text) const {
    if (state_ == nullptr) {
        return;
    }
    const int active = ActiveSlot();
    const ControllerInfo* c =
        active >= 0 ? state_->Controller(static_cast<std::uint32_t>(active)) : nullptr;
    std::string productId = c != nullptr ? std::string(c->ProductId()) : std::string();
    std::string productRev = c != nullptr ? std::string(c->ProductRev()) : std::string();
    text.Add(kSetController, kProductId, productId.c_str())
        .Add(kSetController, kProductRevision, productRev.c_str());
}
