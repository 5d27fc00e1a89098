#include "coresys/common/GrossStatus.h"

#include "coresys/common/DiskArrayState.h"

namespace {

// Index of g<n> in the value array.
constexpr std::uint32_t Index(std::uint32_t n) {
    return n - 1;
}

}  // namespace

GrossStatus::GrossStatus(const DiskArrayState& state) {
    values[Index(36)] = state.ValidStateData();
    if (values[Index(36)] == 0) {
        return;
    }
    if (state.subsystemState) {
        for (std::uint32_t n = 1; n <= 13; ++n) {
            values[Index(n)] = state.subsystemState->Value(n);
        }
        for (std::uint32_t n = 15; n <= 19; ++n) {
            values[Index(n + 1)] = state.subsystemState->Value(n);
        }
    }
    if (state.modeSubsystem) {
        values[Index(14)] = state.modeSubsystem->rebuild_in_progress;
        values[Index(15)] = state.modeSubsystem->log_full_warn;
        values[Index(21)] = state.modeSubsystem->rebuild_progress;
        values[Index(25)] = state.modeSubsystem->balancing;
        values[Index(26)] = state.modeSubsystem->optimizing;
    }
    values[Index(22)] = state.stateValue1;
    values[Index(23)] = state.stateValue2;
    values[Index(24)] = state.stateValue3;
    for (const Physical_Drive& drive : state.drives) {
        if (drive.driveState <= 7) {
            ++values[Index(27) + drive.driveState];
        }
    }
    for (const Missing_Drive& entry : state.missing) {
        if (entry.Present()) {
            ++values[Index(35)];
        }
    }
}

void GrossStatus::Encode(CodedBuff& buff) {
    for (std::uint32_t n = 1; n <= 32; ++n) {
        EncodeVal(buff, values[Index(n)]);
    }
    EncodeVal(buff, values[Index(27)]);
    for (std::uint32_t n = 33; n <= kValues; ++n) {
        EncodeVal(buff, values[Index(n)]);
    }
}

void GrossStatus::Decode(CodedBuff& buff) {
    for (std::uint32_t n = 1; n <= 32; ++n) {
        DecodeVal(buff, values[Index(n)]);
    }
    DecodeVal(buff, values[Index(27)]);
    for (std::uint32_t n = 33; n <= kValues; ++n) {
        DecodeVal(buff, values[Index(n)]);
    }
}
