#include "coresys/server/state/PreventiveRecord.h"

#include <cstring>
#include <string_view>

#include "coresys/server/state/StateTexts.h"
#include "coresys/server/storsys/StorSys.h"

namespace {

constexpr std::uint32_t kSlots = DiskArrayState::kDriveSlots;
constexpr std::uint32_t kModuleAbsent = 3;
constexpr std::uint32_t kModuleFailed = 2;

// Counter indexes (C1 is 0).
enum : std::uint32_t { C1, C2, C3, C4, C5, C6, C7, C8, C9, C10 };

// The bus a drive slot hangs on.
std::uint32_t BusOfSlot(std::uint32_t slot) {
    switch (slot) {
        case 1:
        case 7:
        case 9:
            return 1;
        case 2:
        case 4:
        case 10:
            return 2;
        case 3:
        case 5:
        case 11:
            return 3;
        default:
            return 0;
    }
}

// The controller record marked active first, or nullptr.
const ControllerInfo* ActiveRecord(const DiskArrayState& state) {
    for (const ControllerInfo& c : state.controllers) {
        if (c.active == 1) {
            return &c;
        }
    }
    return nullptr;
}

std::string_view ActiveSerial(const DiskArrayState& state) {
    const ControllerInfo* c = ActiveRecord(state);
    return c != nullptr ? c->SerialNumber() : std::string_view();
}

// The identity of the first member drive (state 0), or nothing.
const Physical_Drive* FirstMember(const DiskArrayState& state) {
    for (const Physical_Drive& d : state.drives) {
        if (d.driveState == 0) {
            return &d;
        }
    }
    return nullptr;
}

void PutLe32(unsigned char* at, std::uint32_t value) {
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
    at[2] = static_cast<unsigned char>(value >> 16);
    at[3] = static_cast<unsigned char>(value >> 24);
}

void PutLe16(unsigned char* at, std::uint32_t value) {
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
}

void PutText(unsigned char* at, const char* text, std::uint32_t width) {
    const std::size_t n = strnlen(text, width);
    std::memcpy(at, text, n);
}

}  // namespace

PreventiveRecord::PreventiveRecord(const DiskArrayState* state) {
    std::string_view serial = state != nullptr ? ActiveSerial(*state) : std::string_view();
    if (state == nullptr || ActiveRecord(*state) == nullptr) {
        serial = state_text::kNoActiveSerial;
    }
    SetFieldText(storedSerial_, serial);
}

void PreventiveRecord::CountLogEntry(const unsigned char* entry, std::uint32_t length) {
    if (entry == nullptr || length < 9) {
        return;
    }
    const std::uint32_t code = (static_cast<std::uint32_t>(entry[7]) << 8) | entry[8];
    const std::uint32_t item = length > 11 ? entry[11] : 0;
    switch (code) {
        case 129:
        case 145:
        case 146:
        case 177:
        case 219:
            ++counters_[C1];
            break;
        case 151:
        case 163:
            ++counters_[C2];
            break;
        case 140:
            ++counters_[C4];
            ++counters_[C3];
            break;
        case 137:
        case 138:
        case 141:
        case 180:
            ++counters_[C3];
            break;
        case 153:
            if (item == 129 || item == 134) {
                ++counters_[C5];
            } else if (item >= 130 && item <= 133) {
                ++counters_[C6];
            }
            break;
        case 178:
            ++counters_[C7];
            break;
        default:
            break;
    }
}

void PreventiveRecord::CountPoll(const DiskArrayState& old, const DiskArrayState& fresh,
                                 const ServerDiskArrayState::Source& monitor) {
    ++polls_;

    const Physical_Drive* before = FirstMember(old);
    const Physical_Drive* after = FirstMember(fresh);
    if ((before == nullptr) != (after == nullptr) ||
        (before != nullptr && before->IdentityText1() != after->IdentityText1())) {
        ++counters_[C2];
    }

    if (fresh.subsystemState.has_value()) {
        if (fresh.subsystemState->Value(8) != 0) {
            ++counters_[C4];
        }
        if (fresh.subsystemState->Value(2) != 0) {
            ++counters_[C7];
        }
    }

    for (const ControllerInfo& c : fresh.controllers) {
        // Only the modules the controller reports.
        for (std::uint32_t i = 0; i < 2 && i < c.NvramCount(); ++i) {
            if (c.nvramStatus[i] == kModuleFailed) {
                ++counters_[C5];
            }
        }
        if (c.DramCount() > 0 && c.dramStatus[0] == kModuleFailed) {
            ++counters_[C6];
        }
    }

    if (ActiveSerial(old) != ActiveSerial(fresh)) {
        ++counters_[C8];
    }

    bool running = false;
    bool stopped = false;
    for (std::uint32_t slot = 0; slot < kSlots; ++slot) {
        const std::uint32_t diag = monitor.DriveDiagnosticState(slot);
        running = running || diag == 1;
        stopped = stopped || diag == 2;
    }
    counters_[C9] += running ? 1 : 0;
    counters_[C10] += stopped ? 1 : 0;
}

bool PreventiveRecord::Fill(const DiskArrayState& state, const CabinetStatusRecord& cabinet,
                            const ServerDiskArrayState::Source& monitor) {
    const ControllerInfo* active = ActiveRecord(state);
    if (active == nullptr) {
        return false;
    }

    std::uint32_t bus[4] = {};
    std::memset(stateCounts_, 0, sizeof stateCounts_);
    for (std::uint32_t slot = 0; slot < state.DriveCount() && slot < kSlots; ++slot) {
        const std::uint32_t s = state.drives[slot].driveState;
        if (s == 0 || s == 3 || s == 4) {
            ++bus[BusOfSlot(slot)];
        }
        if (s < 8) {
            ++stateCounts_[s];
        }
    }
    busHigh_ = bus[0];
    busLow_ = bus[3];
    for (std::uint32_t b = 0; b < 4; ++b) {
        busHigh_ = bus[b] > busHigh_ ? bus[b] : busHigh_;
        busLow_ = bus[b] < busLow_ ? bus[b] : busLow_;
    }
    slots_ = kSlots;
    const Physical_Drive* first = FirstMember(state);
    SetFieldText(firstMemberId_, first != nullptr ? first->IdentityText1() : std::string_view());

    missingPresent_ = 0;
    for (const Missing_Drive& m : state.missing) {
        missingPresent_ += m.Present() ? 1 : 0;
    }
    lunsPresent_ = 0;
    for (const LUN& l : state.luns) {
        lunsPresent_ += l.Exists() ? 1 : 0;
    }

    priorityClear_ = 0;
    redundancy_ = 0;
    pageState_ = 0;
    if (state.modeSubsystem.has_value()) {
        const ModeSubsystemPage& page = *state.modeSubsystem;
        priorityClear_ = page.rebuild_priority == 0 ? 1 : 0;  // byte 12 bit 5
        pageState_ = page.subsystem_state;                    // byte 10
        if (page.rebuild_in_progress != 0) {                  // byte 11 bit 4
            redundancy_ = 2;
        }
    }
    if (redundancy_ == 0 && state.subsystemState.has_value() &&
        state.subsystemState->Value(3) == 0) {
        redundancy_ = 1;
    }

    capacity_[0] = state.virtualRemaining.blocks;
    capacity_[1] = state.virtualRemaining.blockSize;
    capacity_[2] = state.raid1Capacity.blocks;
    capacity_[3] = state.raid1Capacity.blockSize;

    SetFieldText(activeSerial_, active->SerialNumber());
    moduleFaults_ = 0;
    if (active->DramCount() > 0 && active->dramStatus[0] != kModuleAbsent) {
        ++moduleFaults_;
    }
    for (std::uint32_t i = 0; i < 2 && i < active->NvramCount(); ++i) {
        if (active->nvramStatus[i] != kModuleAbsent) {
            ++moduleFaults_;
        }
    }

    if (active->SerialNumber() != FieldText(storedSerial_)) {
        ++counters_[C8];
    }
    for (std::uint32_t slot = 0; slot < kSlots; ++slot) {
        const std::uint32_t diag = monitor.DriveDiagnosticState(slot);
        counters_[C9] += diag == 1 ? 1 : 0;
        counters_[C10] += diag == 2 ? 1 : 0;
    }

    std::memset(cabinet_, 0, sizeof cabinet_);
    for (std::uint32_t i = 0; i < CabinetStatusRecord::kWords; ++i) {
        cabinet_[i] = cabinet.word[i];
    }
    completion_ = kFilled;
    return true;
}

void PreventiveRecord::RunCheck(ServerDiskArrayState::Source& monitor,
                                std::unique_ptr<ServerDiskArrayState>& current,
                                std::unique_ptr<PreventiveRecord>& record) {
    if (!record) {
        record = std::make_unique<PreventiveRecord>(current.get());
    }
    auto fresh = std::make_unique<ServerDiskArrayState>(monitor);
    if (!fresh->Valid()) {
        monitor.SetStateInvalid(true);
    } else {
        monitor.SetStateInvalid(false);
        if (current) {
            monitor.CompareStates(*current, *fresh);
        }
        current = std::move(fresh);
        if (current->ownsLock == 0) {
            record->completion_ = kNoSequence;
        } else {
            StorSys* active = monitor.Controller(current->ActiveSlot());
            CabinetStatusRecord cabinet;
            ScsiResult result;
            if (active != nullptr && active->ReadCabinetStatus(0, cabinet, result) != 0 &&
                !record->Fill(*current, cabinet, monitor)) {
                return;  // no controller marked active: keep counting into this record
            }
        }
    }
    // Written at every check: the record of a check made while controller Y
    // is active is as much part of the subsystem's history as X's.
    const std::vector<unsigned char> image = record->Image(monitor.BackplaneId());
    monitor.WriteLogRecord(image.data(), static_cast<std::uint32_t>(image.size()));
    record = std::make_unique<PreventiveRecord>(current.get());
}

std::vector<unsigned char> PreventiveRecord::Image(const char* serial) const {
    std::vector<unsigned char> bytes(kLength, 0);
    unsigned char* b = bytes.data();
    PutLe32(b + 4, kLength);
    PutLe16(b + 12, kClass);
    PutLe16(b + 14, kCode);
    if (serial != nullptr) {
        PutText(b + 36, serial, 12);
    }
    PutLe32(b + 60, completion_);
    PutLe32(b + 64, busHigh_);
    PutLe32(b + 68, busLow_);
    PutLe32(b + 72, slots_);
    PutText(b + 76, firstMemberId_, 16);
    for (std::uint32_t s = 0; s < 8; ++s) {
        PutLe32(b + 96 + 4 * s, stateCounts_[s]);
    }
    PutLe32(b + 128, missingPresent_);
    PutLe32(b + 132, lunsPresent_);
    PutLe32(b + 136, priorityClear_);
    PutLe32(b + 140, redundancy_);
    for (std::uint32_t i = 0; i < 4; ++i) {
        PutLe32(b + 144 + 4 * i, capacity_[i]);
    }
    PutLe32(b + 160, pageState_);
    PutText(b + 164, activeSerial_, 16);
    PutLe32(b + 184, 3);
    PutLe32(b + 188, moduleFaults_);
    PutLe32(b + 192, polls_);
    for (std::uint32_t i = 0; i < kCounters; ++i) {
        PutLe32(b + 196 + 4 * i, counters_[i]);
    }
    PutText(b + 236, storedSerial_, 16);
    for (std::uint32_t i = 0; i < kCabinetBytes / 4; ++i) {
        PutLe32(b + 256 + 4 * i, cabinet_[i]);
    }
    return bytes;
}
