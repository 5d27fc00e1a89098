#include "sim/FirmwareRules.h"

#include <cerrno>
#include <sstream>

#include "sim/ByteOrder.h"
#include "sim/CabinetRules.h"
#include "sim/ControlWords.h"
#include "sim/FirmwareImage.h"

namespace sim {

const int FirmwareRules::kOffBusError = EBUSY;

namespace {

constexpr std::uint8_t kStateNoCode = 8;
constexpr std::uint8_t kStateCodeMismatch = 12;
constexpr std::size_t kIdentityRevisionWidth = 10;

bool Usable(const ControllerModel& c) {
    return c.present && !c.failed;
}

SimReply Sequence() {
    return CheckCondition(kKeyIllegalRequest, 0x2C, 0);
}

SimReply WrongType() {
    return CheckCondition(kKeyIllegalRequest, 0x26, 0x63);
}

SimReply BadChecksum() {
    return CheckCondition(kKeyIllegalRequest, 0x26, 0x62);
}

void DropImage(FirmwareRuntime& rt) {
    rt.assembly.clear();
    rt.assembly.shrink_to_fit();
    rt.staged = false;
    rt.stagedRevision.clear();
}

void Install(ControllerModel& c, const std::string& revision) {
    c.noCode = false;
    c.revision = revision;
    c.firmwareRevision = revision;
    c.firmwareRevision.resize(kIdentityRevisionWidth, ' ');
}

void LoseCode(CabinetModel& cab, int slot) {
    ControllerModel& c = cab.controllers[slot];
    c.noCode = true;
    c.revision = std::string(FirmwareImage::kRevisionSize, ' ');
    c.firmwareRevision = std::string(kIdentityRevisionWidth, ' ');
    // A controller without code cannot be the active one.
    const ControllerModel& other = cab.controllers[1 - slot];
    if (cab.activeSlot == slot && Usable(other) && !other.noCode)
        cab.activeSlot = 1 - slot;
}

void OpenWindow(FirmwareRuntime& rt, FirmwareWindow kind, int slot, std::uint64_t ms) {
    rt.window = kind;
    rt.windowSlot = slot;
    rt.windowTotalMs = ms;
    rt.windowRemainingMs = ms;
    rt.stalled = false;
}

// The window's effect once it has run its course.
void CloseWindow(CabinetModel& cab) {
    FirmwareRuntime& rt = cab.firmware;
    const FirmwareWindow kind = rt.window;
    rt.window = FirmwareWindow::kNone;
    rt.stalled = false;
    ControllerModel& self = cab.controllers[rt.windowSlot];
    ControllerModel& partner = cab.controllers[1 - rt.windowSlot];
    switch (kind) {
        case FirmwareWindow::kFlash:
            Install(self, rt.windowRevision);
            if (Usable(partner))
                Install(partner, rt.windowRevision);
            CabinetRules::StartRestart(cab);
            break;
        case FirmwareWindow::kCopy:
            if (Usable(partner))
                Install(partner, self.revision);
            CabinetRules::StartRestart(cab);
            break;
        default:
            break;
    }
}

// The power goes while a window runs: what was being burnt is lost.
bool Interrupt(CabinetModel& cab, std::string* answer) {
    FirmwareRuntime& rt = cab.firmware;
    const int slot = rt.windowSlot;
    const bool partner = Usable(cab.controllers[1 - slot]);
    switch (rt.window) {
        case FirmwareWindow::kFlash: {
            // The addressed controller burns first, its partner second.
            const std::uint64_t elapsed = rt.windowTotalMs - rt.windowRemainingMs;
            if (!partner || elapsed < rt.windowTotalMs / 2) {
                LoseCode(cab, slot);
            } else {
                Install(cab.controllers[slot], rt.windowRevision);
                LoseCode(cab, 1 - slot);
            }
            break;
        }
        case FirmwareWindow::kCopy:
            if (partner)
                LoseCode(cab, 1 - slot);
            break;
        case FirmwareWindow::kReboot:
            break;
        case FirmwareWindow::kNone:
            *answer = "no firmware window under way";
            return false;
    }
    rt.window = FirmwareWindow::kNone;
    rt.stalled = false;
    DropImage(rt);
    CabinetRules::StartRestart(cab);
    return true;
}

// A restart command: unsaved images go, drives that are to fail do, and a
// host that does not wait sees the controllers leave the bus for a while.
void NoteRestart(CabinetModel& cab, const SimCommand& cmd, bool* changed) {
    DropImage(cab.firmware);
    for (auto& d : cab.drives) {
        d.firmwareAssembly.clear();
        if (d.present && d.initFailNext) {
            d.initFailNext = false;
            d.state = kDriveInitFailed;
            *changed = true;
        }
    }
    const bool wait = cmd.cdb.size() > 1 && (cmd.cdb[1] & 0x01);
    if (!wait && cab.firmware.window == FirmwareWindow::kNone)
        OpenWindow(cab.firmware, FirmwareWindow::kReboot, 0, FirmwareRules::kRebootMs);
}

bool Mismatch(const CabinetModel& cab, int slot) {
    const ControllerModel& self = cab.controllers[slot];
    const ControllerModel& partner = cab.controllers[1 - slot];
    return Usable(partner) &&
           (partner.noCode || TrimText(partner.revision) != TrimText(self.revision));
}

SimReply CopyToPartner(CabinetModel& cab, int slot, bool* changed) {
    if (cab.state != kSubsysShuttingDown && cab.state != kSubsysShutDown)
        return Sequence();
    if (cab.controllers[slot].noCode)
        return Sequence();
    if (!Usable(cab.controllers[1 - slot]))
        return CheckCondition(kKeyIllegalRequest, 0x24, 0);
    DropImage(cab.firmware);
    OpenWindow(cab.firmware, FirmwareWindow::kCopy, slot, FirmwareRules::kCopyMs);
    *changed = true;
    return {};
}

}  // namespace

std::optional<SimReply> FirmwareRules::Gate(CabinetModel& cab, int slot, const SimCommand& cmd,
                                            bool* changed) {
    if (cab.firmware.window != FirmwareWindow::kNone) {
        SimReply off;
        off.systemError = kOffBusError;
        return off;
    }
    const std::uint8_t op = cmd.cdb[0];
    if (cab.controllers[slot].noCode) {
        // The boot loader knows its identity, its state and how to take code.
        switch (op) {
            case 0x03:
            case 0x12:
            case 0x20:
            case 0x3B:
                return std::nullopt;
            case 0xE8:
                return SimReply{};  // nothing runs that could be shut down
            case 0xF0:
                break;
            default:
                return CheckCondition(kKeyNotReady, 0x04, 0x03);
        }
    }
    if (op == 0xF0)
        NoteRestart(cab, cmd, changed);
    return std::nullopt;
}

SimReply FirmwareRules::WriteBuffer(CabinetModel& cab, int slot, const SimCommand& cmd,
                                    bool* changed) {
    const auto& cdb = cmd.cdb;
    const std::uint8_t mode = cdb[1] & 0x1F;
    const bool offsetMode = mode == 6 || mode == 7;
    // Modes 6 and 7 carry an offset at 3..5; the other modes are sent with a
    // 32-bit length at 5..8 by some hosts, which is the same bytes as the
    // standard 24-bit length for every length a controller accepts.
    const std::uint32_t length = offsetMode ? GetBe24(cdb, 6) : (GetBe32(cdb, 5) & 0xFFFFFF);
    const std::uint32_t offset = offsetMode ? GetBe24(cdb, 3) : 0;
    if (mode == 1 && length == 0)
        return CopyToPartner(cab, slot, changed);
    if (mode < 4 || mode > 7)
        return CheckCondition(kKeyIllegalRequest, 0x24, 0);
    if (!cab.controllers[slot].noCode && cab.state != kSubsysShuttingDown &&
        cab.state != kSubsysShutDown) {
        return Sequence();
    }
    if (cmd.dataOut.size() < length)
        return CheckCondition(kKeyIllegalRequest, 0x26, 0);

    // Every check comes before anything changes: a refused write leaves the
    // image as it was, so the host's retry of it meets the same answer.
    FirmwareRuntime& rt = cab.firmware;
    const bool save = mode == 5 || mode == 7;
    if (length == 0) {
        if (!save)
            return {};
        if (!rt.staged)
            return rt.assembly.empty() || rt.assemblySlot != slot ? Sequence() : BadChecksum();
    } else {
        // A staged image, or one arriving at the partner, gives way to a new
        // one only when the new one's first piece is taken.
        const bool fresh = rt.staged || rt.assemblySlot != slot;
        std::vector<std::uint8_t> started;
        std::vector<std::uint8_t>& image = fresh ? started : rt.assembly;
        FirmwareHeader header;
        const PieceOutcome outcome =
            PlaceFirmwarePiece(image, offsetMode ? offset : image.size(), cmd.dataOut.data(),
                               length, FirmwareImage::kControllerTarget, save, &header);
        switch (outcome) {
            case PieceOutcome::kGap:
                return CheckCondition(kKeyIllegalRequest, 0x24, 0);
            case PieceOutcome::kWrongType:
                return WrongType();
            case PieceOutcome::kBadChecksum:
            case PieceOutcome::kIncomplete:
                return BadChecksum();
            default:
                break;
        }
        if (fresh) {
            DropImage(rt);
            rt.assembly = std::move(started);
            rt.assemblySlot = slot;
        }
        if (outcome == PieceOutcome::kComplete) {
            DropImage(rt);
            rt.staged = true;
            rt.stagedRevision = header.revision;
        }
    }
    if (save) {
        OpenWindow(rt, FirmwareWindow::kFlash, slot, kFlashMs);
        rt.windowRevision = rt.stagedRevision;
        rt.stalled = rt.stallNext;
        rt.stallNext = false;
        DropImage(rt);
        *changed = true;
    }
    return {};
}

std::uint8_t FirmwareRules::ReportedState(const CabinetModel& cab, int slot) {
    if (cab.controllers[slot].noCode)
        return kStateNoCode;
    if ((cab.state == kSubsysReady || cab.state == kSubsysConditions) && Mismatch(cab, slot))
        return kStateCodeMismatch;
    return cab.state;
}

bool FirmwareRules::Advance(CabinetModel& cab, std::uint64_t elapsedMs) {
    FirmwareRuntime& rt = cab.firmware;
    if (rt.window == FirmwareWindow::kNone || rt.stalled || elapsedMs == 0)
        return false;
    const std::uint64_t left = rt.windowRemainingMs;
    rt.windowRemainingMs -= std::min(left, elapsedMs);
    if (rt.windowRemainingMs == 0) {
        const bool restarts = rt.window != FirmwareWindow::kReboot;
        CloseWindow(cab);
        // A flash or copy restarts the controllers when it ends, part way
        // into this step: the caller moves every operation on by the whole
        // step.
        for (auto& op : cab.operations) {
            if (restarts && op.kind == OperationKind::kRestart)
                op.remainingMs += left;
        }
    }
    return true;
}

bool FirmwareRules::Control(CabinetModel& cab, const std::vector<std::string>& w,
                            std::string* answer, bool* changed) {
    const std::string what = w.size() > 2 ? w[2] : "show";
    FirmwareRuntime& rt = cab.firmware;
    if (what == "show" && w.size() <= 3) {
        static const char* kWindows[] = {"none", "reboot", "flash", "copy"};
        std::ostringstream o;
        for (int k = 0; k < 2; ++k) {
            const ControllerModel& c = cab.controllers[k];
            o << "controller " << (k == 0 ? "X" : "Y") << " revision \"" << c.revision << "\""
              << (c.noCode ? " no code" : "") << (cab.activeSlot == k ? " active" : "")
              << " reports " << int(ReportedState(cab, k)) << "\n";
        }
        o << "window " << kWindows[static_cast<int>(rt.window)];
        if (rt.window != FirmwareWindow::kNone) {
            o << " " << (rt.windowSlot == 0 ? "X" : "Y") << " remaining " << rt.windowRemainingMs
              << " ms" << (rt.stalled ? " stalled" : "");
        }
        o << "\nimage " << rt.assembly.size() << " bytes"
          << (rt.staged ? " staged " + rt.stagedRevision : "") << "\n";
        for (int s = 0; s < kDriveSlots; ++s) {
            const DriveModel& d = cab.drives[s];
            if (!d.present)
                continue;
            o << "drive " << SlotName(s) << " product \"" << TrimText(d.product) << "\" revision \""
              << d.revision << "\"" << (d.unitAttention ? " attention" : "")
              << (d.initFailNext ? " init-fail" : "");
            if (!d.firmwareAssembly.empty())
                o << " image " << d.firmwareAssembly.size() << " bytes";
            o << "\n";
        }
        *answer = o.str();
        return true;
    }
    if (w.size() == 3 && (what == "interrupt" || what == "stall" || what == "release")) {
        if (what == "interrupt") {
            if (!Interrupt(cab, answer))
                return false;
            *changed = true;
        } else if (what == "stall") {
            rt.stallNext = true;
        } else {
            rt.stallNext = false;
            rt.stalled = false;
        }
        return true;
    }
    if (what == "revision" && w.size() == 5) {
        int k = 0;
        if (!ControllerIndexOf(w[3], &k)) {
            *answer = "no controller " + w[3] + " (X or Y)";
            return false;
        }
        if (w[4].size() != FirmwareImage::kRevisionSize) {
            *answer = "REV is 4 characters";
            return false;
        }
        Install(cab.controllers[k], w[4]);
        *changed = true;
        return true;
    }
    if (what == "init-fail" && w.size() == 4) {
        int s = 0;
        if (!SlotIndexOf(w[3], &s)) {
            *answer = "no drive slot " + w[3] + " (A1..B6 or 0..11)";
            return false;
        }
        if (!cab.drives[s].present) {
            *answer = "slot " + w[3] + " is empty";
            return false;
        }
        cab.drives[s].initFailNext = true;
        *changed = true;
        return true;
    }
    *answer =
        "usage: firmware CAB [show | interrupt | stall | release | revision X|Y REV | "
        "init-fail SLOT]";
    return false;
}

}  // namespace sim
