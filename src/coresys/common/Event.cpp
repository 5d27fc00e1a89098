#include "coresys/common/Event.h"

#include <cstring>
#include <optional>

#include "coresys/common/DiskArrayState.h"
#include "coresys/common/OruServerState.h"
#include "coresys/common/WireWords.h"

namespace {

template <typename Page>
void EncodePage(CodedBuff& buff, std::optional<Page>* page) {
    if (page != nullptr && page->has_value()) {
        (*page)->Encode(buff);
    } else {
        Page empty;
        empty.Encode(buff);
    }
}

// Reads a page aside and puts it into place (creating it when absent) only
// when it arrived whole.
template <typename Page>
void ApplyPage(CodedBuff& buff, std::optional<Page>& page) {
    Page fresh;
    fresh.Decode(buff);
    if (!buff.Failed()) {
        page = std::move(fresh);
    }
}

void ApplyWord(CodedBuff& buff, std::uint32_t& target) {
    const std::uint32_t value = WireWords::Read(buff);
    if (!buff.Failed()) {
        target = value;
    }
}

}  // namespace

// One body for every minor enumeration: the minor values are the service's
// and travel as plain words.
#define ORU_EVENT_CONSTRUCTOR(MinorType)                                                      \
    Event::Event(EVENT_MAJOR_TYPE major, MinorType minor, std::uint32_t d1, std::uint32_t d2) \
        : majorType(major), minorType(static_cast<std::uint32_t>(minor)), data1(d1), data2(d2) {}

ORU_EVENT_CONSTRUCTOR(EVENT_MINOR_CTLR_TYPE)
ORU_EVENT_CONSTRUCTOR(EVENT_MINOR_SSS_TYPE)
ORU_EVENT_CONSTRUCTOR(EVENT_MINOR_MSS_TYPE)
ORU_EVENT_CONSTRUCTOR(EVENT_MINOR_MC_TYPE)
ORU_EVENT_CONSTRUCTOR(EVENT_MINOR_CAP_TYPE)
ORU_EVENT_CONSTRUCTOR(EVENT_MINOR_LUN_TYPE)
ORU_EVENT_CONSTRUCTOR(EVENT_MINOR_PHYS_TYPE)
ORU_EVENT_CONSTRUCTOR(EVENT_MINOR_MISS_TYPE)
ORU_EVENT_CONSTRUCTOR(EVENT_MINOR_HW_TYPE)
ORU_EVENT_CONSTRUCTOR(EVENT_MINOR_DAS_MISC_TYPE)
ORU_EVENT_CONSTRUCTOR(EVENT_MINOR_CRES_TYPE)
ORU_EVENT_CONSTRUCTOR(EVENT_MINOR_CPRG_TYPE)
ORU_EVENT_CONSTRUCTOR(EVENT_MINOR_ORUSS_MISC_TYPE)
ORU_EVENT_CONSTRUCTOR(EVENT_MINOR_SSW_TYPE)
ORU_EVENT_CONSTRUCTOR(EVENT_MINOR_MEXT_TYPE)

#undef ORU_EVENT_CONSTRUCTOR

void Event::Encode(CodedBuff& buff) {
    EncodeVal(buff, static_cast<std::uint32_t>(majorType));
    EncodeVal(buff, minorType);
    EncodeVal(buff, data1);
    EncodeVal(buff, data2);
}

void Event::Decode(CodedBuff& buff) {
    std::uint32_t major = 0;
    DecodeVal(buff, major);
    majorType = static_cast<EVENT_MAJOR_TYPE>(major);
    DecodeVal(buff, minorType);
    DecodeVal(buff, data1);
    DecodeVal(buff, data2);
}

void Event::EncodePiece(CodedBuff& buff, DiskArrayState* state, OruServerState* server) const {
    // Events sent without a state still carry well-formed (empty) pieces.
    DiskArrayState empty;
    DiskArrayState& s = state != nullptr ? *state : empty;
    const bool v4 = buff.version >= 4;
    switch (majorType) {
        case CTLR:
            DiskArrayState::EncodeControllers(buff, s.controllers);
            break;
        case SSS:
            EncodePage(buff, &s.subsystemState);
            break;
        case MSS:
            EncodePage(buff, &s.modeSubsystem);
            break;
        case MC:
            EncodePage(buff, &s.modeCache);
            break;
        case CAP:
            (minorType == CAP_RAID1 ? s.raid1Capacity : s.virtualRemaining).Encode(buff);
            break;
        case LUN_EVENT:
            DiskArrayState::EncodeLuns(buff, s.luns);
            break;
        case PHYS:
            DiskArrayState::EncodeDrives(buff, s.drives);
            break;
        case MISS:
            DiskArrayState::EncodeMissing(buff, s.missing);
            break;
        case HW:
            EncodePage(buff, &s.hardware);
            break;
        case DAS_MISC:
            switch (minorType) {
                case DAS_MISC_VALID_STATE:
                    WireWords::EncodeVal(buff, s.stateValue4);
                    break;
                case DAS_MISC_OWNS_LOCK:
                    WireWords::EncodeVal(buff, s.ownsLock);
                    break;
                case DAS_MISC_STATE_VALUE1:
                    WireWords::EncodeVal(buff, s.stateValue1);
                    break;
                case DAS_MISC_ALIAS:
                    if (v4) {
                        WireWords::EncodeVal(buff, s.aliasName, sizeof s.aliasName);
                    } else {
                        WireWords::EncodeVal(buff, s.ownsLock);
                    }
                    break;
                case DAS_MISC_USER_PARAMS:
                case DAS_MISC_USER_PARAM3:
                    if (v4) {
                        EncodePage(buff, &s.modeCache);
                        EncodePage(buff, &s.modeExtension);
                    } else {
                        WireWords::EncodeVal(buff, s.ownsLock);
                    }
                    break;
                default:
                    break;
            }
            break;
        case CRES:
        case CPRG:
            if (server != nullptr) {
                server->Encode(buff);
            } else {
                OruServerState none;
                none.Encode(buff);
            }
            break;
        case SSW:
            if (v4 && minorType == SSW_CONTROLLERS) {
                WireWords::EncodeVal(buff, s.stateValue3);
                DiskArrayState::EncodeControllers(buff, s.controllers);
            } else if (v4 && minorType == SSW_DRIVE_DIAGNOSTICS) {
                WireWords::EncodeVal(buff, s.stateValue2);
                DiskArrayState::EncodeDrives(buff, s.drives);
            }
            break;
        case MEXT:
            EncodePage(buff, &s.modeExtension);
            break;
        default:  // ORUSS_MISC and unknown classes carry nothing
            break;
    }
}

bool Event::ApplyPiece(CodedBuff& buff, DiskArrayState& state, OruServerState& server) const {
    const bool v4 = buff.version >= 4;
    switch (majorType) {
        case CTLR:
            DiskArrayState::DecodeControllers(buff, state.controllers);
            break;
        case SSS:
            ApplyPage(buff, state.subsystemState);
            break;
        case MSS:
            ApplyPage(buff, state.modeSubsystem);
            break;
        case MC:
            ApplyPage(buff, state.modeCache);
            break;
        case CAP: {
            BlockCapacity fresh;
            fresh.Decode(buff);
            if (!buff.Failed()) {
                (minorType == CAP_RAID1 ? state.raid1Capacity : state.virtualRemaining) = fresh;
            }
            break;
        }
        case LUN_EVENT:
            DiskArrayState::DecodeLuns(buff, state.luns);
            break;
        case PHYS:
            DiskArrayState::DecodeDrives(buff, state.drives);
            break;
        case MISS:
            DiskArrayState::DecodeMissing(buff, state.missing);
            break;
        case HW:
            ApplyPage(buff, state.hardware);
            break;
        case DAS_MISC:
            switch (minorType) {
                case DAS_MISC_VALID_STATE:
                    ApplyWord(buff, state.stateValue4);
                    break;
                case DAS_MISC_OWNS_LOCK:
                    ApplyWord(buff, state.ownsLock);
                    break;
                case DAS_MISC_STATE_VALUE1:
                    ApplyWord(buff, state.stateValue1);
                    break;
                case DAS_MISC_ALIAS:
                    if (v4) {
                        char alias[sizeof state.aliasName];
                        WireWords::DecodeVal(buff, alias, sizeof alias);
                        if (!buff.Failed()) {
                            std::memcpy(state.aliasName, alias, sizeof alias);
                        }
                    } else {
                        WireWords::Read(buff);  // the sender's filler word
                    }
                    break;
                case DAS_MISC_USER_PARAMS:
                case DAS_MISC_USER_PARAM3:
                    if (v4) {
                        ModeCachePage cache;
                        ModeExtensionPage extension;
                        cache.Decode(buff);
                        extension.Decode(buff);
                        if (!buff.Failed()) {
                            state.modeCache = cache;
                            state.modeExtension = extension;
                            state.SetUserParams();
                        }
                    } else {
                        WireWords::Read(buff);  // the sender's filler word
                    }
                    break;
                default:
                    break;
            }
            break;
        case CRES:
        case CPRG:
            server.Decode(buff);
            break;
        case SSW:
            if (v4 && minorType == SSW_CONTROLLERS) {
                const std::uint32_t value = WireWords::Read(buff);
                DiskArrayState::DecodeControllers(buff, state.controllers);
                if (!buff.Failed()) {
                    state.stateValue3 = value;
                }
            } else if (v4 && minorType == SSW_DRIVE_DIAGNOSTICS) {
                const std::uint32_t value = WireWords::Read(buff);
                DiskArrayState::DecodeDrives(buff, state.drives);
                if (!buff.Failed()) {
                    state.stateValue2 = value;
                }
            }
            break;
        case MEXT:
            ApplyPage(buff, state.modeExtension);
            break;
        default:
            break;
    }
    return !buff.Failed();
}
