#include "cli/dkview/ArrayReport.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "cli/common/CliConfig.h"
#include "cli/common/CommandDescriptorTable.h"
#include "cli/common/ConditionList.h"
#include "cli/common/NameTables.h"
#include "cli/common/ReportController.h"
#include "cli/common/ValueText.h"
#include "cli/dkview/DkviewTexts.h"

namespace dkview {

namespace {

constexpr std::uint32_t kControllerPositions = 2;  // X and Y
constexpr std::uint32_t kNotPresent = ControllerInfo::kStatusDoesNotExist;
constexpr std::uint32_t kStatusFailed = 4;
constexpr std::uint32_t kStatusNoAddress = 5;
constexpr std::uint32_t kNoAddress = 255;
constexpr std::uint32_t kStatusExtraCap = 256;
constexpr std::uint32_t kDriveMember = 0;
constexpr std::uint32_t kDriveSpare = 8;
constexpr std::uint32_t kDriveRebuilding = 9;
constexpr std::uint32_t kControllerType = 2;
constexpr std::uint32_t kExtendedType = 2;  // stateValue7 of controllers with the extension page
constexpr std::uint32_t kResiliencyLevel = 2;

// Component types of the hardware display.
constexpr std::uint32_t kFanType = 0;
constexpr std::uint32_t kSupplyType = 1;
constexpr std::uint32_t kDramType[] = {4, 6};
constexpr std::uint32_t kNvramType[] = {5, 7};
constexpr std::uint32_t kBatteryType[] = {8, 9};

std::uint64_t AddCapped(std::uint64_t a, std::uint64_t b) {
    return a > std::numeric_limits<std::uint64_t>::max() - b
               ? std::numeric_limits<std::uint64_t>::max()
               : a + b;
}

std::string Trimmed(std::string_view field) {
    ValueText words;
    return words.Trim(field);
}

std::string Grouped(std::uint64_t value) {
    ValueText words;
    return words.GroupedNumber(value);
}

std::string Signed(std::uint32_t value) {
    return std::to_string(static_cast<std::int32_t>(value));
}

std::string ConditionBits(std::uint32_t bits) {
    if (bits == 0) {
        return "0";
    }
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", bits);
    return text;
}

const char* ResiliencyWord(const DiskArrayState& state) {
    switch (state.userParam2) {
        case 1:
            return DkviewTexts::kHighPerformance;
        case 2:
            return DkviewTexts::kNormal;
        case 3:
            return state.userParam1 != 0 ? DkviewTexts::kSingleController : DkviewTexts::kSecure;
        default:
            return DkviewTexts::kError;
    }
}

int ResiliencyItem(const DiskArrayState& state) {
    switch (state.userParam2) {
        case 1:
            return 532;
        case 2:
            return 533;
        case 3:
            return state.userParam1 != 0 ? 535 : 534;
        default:
            return 531;
    }
}

// ((cap_deplete_thresh + 1) x 100) / 65535, in unsigned arithmetic.
std::uint32_t ThresholdPercent(std::uint32_t threshold) {
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(threshold) + 1) * 100 / 65535);
}

std::int32_t PowerOfTwo(std::uint32_t exponent) {
    return static_cast<std::int32_t>(1u << (exponent & 31u));
}

}  // namespace

std::uint64_t ArrayReport::Bytes(std::uint32_t blocks, std::uint32_t blockSize) {
    return (static_cast<std::uint64_t>(blocks) + 1) * blockSize;
}

std::uint64_t ArrayReport::Megabytes(std::uint32_t blocks, std::uint32_t blockSize) {
    return Bytes(blocks, blockSize) >> 20;
}

std::uint64_t ArrayReport::RoundedMegabytes(std::uint64_t bytes) {
    return AddCapped(bytes, 1ull << 19) >> 20;
}

ArrayReport::Summary ArrayReport::Summarize(const DiskArrayState& state) {
    Summary s;
    std::uint64_t memberBytes = 0;
    std::uint64_t otherBytes = 0;
    std::uint64_t spareBytes = 0;
    std::uint64_t lunBytes = 0;
    for (const Physical_Drive& drive : state.drives) {
        if (!drive.Present()) {
            continue;
        }
        ++s.present;
        const std::uint64_t bytes = Bytes(drive.capacity.blocks, drive.capacity.blockSize);
        if (drive.driveState == kDriveMember || drive.driveState == kDriveRebuilding) {
            ++s.members;
            memberBytes = AddCapped(memberBytes, bytes);
        } else if (drive.driveState == kDriveSpare) {
            ++s.spares;
            spareBytes = AddCapped(spareBytes, bytes);
        } else {
            ++s.others;
            otherBytes = AddCapped(otherBytes, bytes);
        }
    }
    for (const LUN& lun : state.luns) {
        if (lun.Exists()) {
            ++s.luns;
            lunBytes = AddCapped(lunBytes, Bytes(lun.capacity.blocks, lun.capacity.blockSize));
        }
    }
    for (const Missing_Drive& missing : state.missing) {
        if (missing.Present()) {
            ++s.missing;
        }
    }
    s.totalMb = RoundedMegabytes(memberBytes);
    s.lunMb = RoundedMegabytes(lunBytes);
    s.otherMb = RoundedMegabytes(otherBytes);
    s.spareMb = RoundedMegabytes(spareBytes);
    // The room the array reports, not the members less what is used: the
    // members hold the parity's share as well, and only while exactly one
    // drive is a spare does the reserve happen to equal it.
    s.freeMb = state.UnallocatedBytes() >> 20;
    return s;
}

ArrayReport::ArrayReport(const DiskArrayState& arrayState, const OruServerState* serverState,
                         bool rawForm, bool verboseForm, std::ostream& stream)
    : state(arrayState), server(serverState), raw(rawForm), verbose(verboseForm), out(stream) {
    reportController = state.Controller(PickReportController(state.controllers));
}

std::string ArrayReport::Text(int item) const {
    return CliText(kDisplaySet, item);
}
std::string ArrayReport::Text(int item, const char* value) const {
    return CliText(kDisplaySet, item, value);
}
std::string ArrayReport::Text(int item, std::uint32_t value) const {
    return CliText(kDisplaySet, item, value);
}
std::string ArrayReport::Text(int item, std::int32_t value) const {
    return CliText(kDisplaySet, item, value);
}

void ArrayReport::Heading(const std::string& text) {
    out << DkviewTexts::kHeading << text << '\n';
}

void ArrayReport::Value(const std::string& text) {
    out << DkviewTexts::kValue << text << '\n';
}

std::uint32_t ArrayReport::ControllerStatus(std::uint32_t index) const {
    const ControllerInfo* controller = state.Controller(index);
    return controller != nullptr ? controller->controllerStatus : kNotPresent;
}

std::string ArrayReport::SubsystemSerial() const {
    return std::string(state.SerialNumber());
}

std::string ArrayReport::Alias() const {
    return Trimmed(state.AliasName());
}

std::string ArrayReport::RawHead(const char* letters) const {
    std::string head = letters;
    head += ':';
    if (reportController != nullptr) {
        head += Trimmed(reportController->Vendor()) + ":" + Trimmed(reportController->ProductId());
    } else {
        head += ":";
    }
    return head;
}

void ArrayReport::Head() {
    if (raw) {
        return;
    }
    const std::string vendor = reportController ? Trimmed(reportController->Vendor()) : "";
    const std::string product = reportController ? Trimmed(reportController->ProductId()) : "";
    out << '\n';
    Heading(Text(74, vendor.c_str()));
    Heading(Text(75, product.c_str()));
    Heading(Text(4, SubsystemSerial().c_str()));
    if (!Alias().empty()) {
        Heading(Text(3, Alias().c_str()));
    }
    Heading(Text(123));
}

void ArrayReport::SummaryRecord() {
    const Summary s = Summarize(state);
    const SubsystemStateInfo info = state.subsystemState.value_or(SubsystemStateInfo{});
    const ConditionList conditions = ConditionList::FromStateInfo(info);
    if (raw) {
        out << RawHead("D") << ':' << SubsystemSerial() << ':' << Alias() << ':' << s.present << ':'
            << s.members << ':' << s.others << ':' << s.spares << ':' << s.luns << ':' << s.missing
            << ':' << s.totalMb << ':' << s.lunMb << ':' << s.otherMb << ':' << s.spareMb << ':'
            << s.freeMb << ':' << ConditionBits(conditions.Bits()) << ':' << Alias() << '\n';
        return;
    }
    ValueText words;
    Heading(Text(8, words.StateWord(info.SubsystemState())));
    Heading(Text(5, s.present));
    Heading(Text(6, s.members));
    Heading(Text(7, s.others));
    Heading(Text(9, s.spares));
    Heading(Text(10, s.luns));
    // The capacities line up under the first of them.
    const std::string total = Grouped(s.totalMb);
    const std::size_t width = total.size();
    const std::string unit = " " + Text(11);
    auto aligned = [&](std::uint64_t mb) {
        ValueText align;
        return std::string(align.RightAlign(Grouped(mb), width));
    };
    Heading(Text(12, total.c_str()) + unit);
    Heading(Text(201, aligned(s.lunMb).c_str()) + unit);
    Heading(Text(200, aligned(s.otherMb).c_str()) + unit);
    Heading(Text(202, aligned(s.spareMb).c_str()) + unit);
    Heading(Text(14, aligned(s.freeMb).c_str()) + unit);
    Heading(Text(15, s.missing));
    conditions.Print(out);
}

void ArrayReport::LogicalUnits(std::int32_t unit) {
    const std::uint32_t first = unit < 0 ? 0 : static_cast<std::uint32_t>(unit);
    const std::uint32_t last = unit < 0 ? state.LunCount() : first + 1;
    std::uint64_t totalBytes = 0;
    for (std::uint32_t n = first; n < last; ++n) {
        const LUN* lun = state.Lun(n);
        const bool exists = lun != nullptr && lun->Exists();
        if (exists) {
            totalBytes =
                AddCapped(totalBytes, Bytes(lun->capacity.blocks, lun->capacity.blockSize));
        }
        if (raw) {
            out << RawHead("L") << ':' << n << ':' << (exists ? 1 : 0) << ':'
                << (exists ? lun->capacity.blocks : 0) << ':'
                << (exists ? lun->capacity.blockSize : 0) << '\n';
            continue;
        }
        ValueText words;
        Heading(Text(21, static_cast<std::int32_t>(n)));
        Value(Text(22, words.SecondYesNo(exists ? 1 : 0)));
        if (exists) {
            Value(Text(23,
                       Grouped(Megabytes(lun->capacity.blocks, lun->capacity.blockSize)).c_str()));
            Value(Text(24, Grouped(lun->capacity.blocks).c_str()));
            Value(Text(25, lun->capacity.blockSize));
        }
    }
    if (!raw && unit < 0) {
        Heading(Text(26, Grouped(RoundedMegabytes(totalBytes)).c_str()));
    }
}

void ArrayReport::Settings() {
    const ModeSubsystemPage page = state.modeSubsystem.value_or(ModeSubsystemPage{});
    const ModeCachePage cache = state.modeCache.value_or(ModeCachePage{});
    const ModeExtensionPage ext = state.modeExtension.value_or(ModeExtensionPage{});
    const SubsystemStateInfo info = state.subsystemState.value_or(SubsystemStateInfo{});
    const ConditionList conditions = ConditionList::FromStateInfo(info);
    const std::uint32_t percent = ThresholdPercent(page.cap_deplete_thresh);

    if (raw) {
        out << RawHead("S");
        auto field = [&](const std::string& text) { out << ':' << text; };
        for (std::uint32_t v :
             {page.vs_partition, page.format_pattern_fill, page.auto_rebuild, page.auto_include,
              page.parity, page.sdtr, page.wdtr, page.term_power, page.unit_attn,
              page.hot_spare_desired, page.log_full_warn, cache.write_cache_enable,
              cache.read_cache_enable, page.rebuild_priority}) {
            field(Signed(v));
        }
        field(std::to_string(percent));
        field(Signed(page.write_work_set_int));
        field(Signed(page.subsys_type_id));
        field(std::to_string(page.language));
        for (std::uint32_t c = 0; c < kControllerPositions; ++c) {
            const std::uint32_t status = ControllerStatus(c);
            const bool addressed = status == 1 || status == 2 || status == kStatusNoAddress;
            field(addressed ? std::to_string(state.Controller(c)->targetId) : "");
        }
        field(Signed(page.rebuild_in_progress));
        field(std::to_string(page.rebuild_progress));
        field(Signed(page.balancing));
        field(Signed(page.optimizing));
        field(std::to_string(info.SubsystemState()));
        field(ConditionBits(conditions.Bits()));
        field(Signed(page.disable_remote_reset));
        field(SubsystemSerial());
        field(std::to_string(ext.Value(6)));
        field(std::to_string(ext.Value(5)));
        field(Signed(ext.Value(3)));
        field(Signed(ext.Value(4)));
        field(std::to_string(ext.Value(2)));
        field(std::to_string(ext.Value(1)));
        field(ResiliencyWord(state));
        for (std::uint32_t n = 7; n <= 16; ++n) {
            const bool isUnsigned = n == 12 || n == 15 || n == 16;
            field(isUnsigned ? std::to_string(ext.Value(n)) : Signed(ext.Value(n)));
        }
        out << '\n';
        return;
    }

    ValueText words;
    auto yes = [](std::uint32_t flag) {
        ValueText w;
        return std::string(w.FirstYesNo(static_cast<std::int32_t>(flag)));
    };
    auto yes2 = [](std::uint32_t flag) {
        ValueText w;
        return std::string(w.SecondYesNo(static_cast<std::int32_t>(flag)));
    };
    Heading(Text(49, words.StateWord(info.SubsystemState())));
    Heading(Text(27));
    Value(Text(36, yes(page.hot_spare_desired).c_str()));
    Value(Text(30, yes(page.auto_include).c_str()));
    Value(Text(29, yes(page.auto_rebuild).c_str()));
    Value(Text(16, words.ThirdYesNo(static_cast<std::int32_t>(page.rebuild_priority))));
    Value(Text(40, percent));
    Value(Text(42, static_cast<std::int32_t>(page.write_work_set_int)));
    Value(Text(45, words.FiveWayWord(page.language)));
    Value(Text(37, yes(page.log_full_warn).c_str()));
    Value(Text(28, yes(page.vs_partition).c_str()));
    Value(Text(41, yes(page.format_pattern_fill).c_str()));
    Value(Text(44, static_cast<std::int32_t>(page.subsys_type_id)));
    if (state.stateValue7 == kExtendedType) {
        Value(Text(500, PowerOfTwo(ext.Value(6))));
        Value(Text(501, PowerOfTwo(ext.Value(5))));
    }
    Heading(Text(47));
    for (std::uint32_t c = 0; c < kControllerPositions; ++c) {
        const std::uint32_t status = ControllerStatus(c);
        ValueText names;
        std::string line = Text(46, names.ControllerName(c)) + " ";
        if (status == 1 || status == 2 || status == kStatusNoAddress) {
            const std::uint32_t target = state.Controller(c)->targetId;
            line += target == kNoAddress ? Text(48) : std::to_string(target);
        } else {
            line += words.ComponentState(kControllerType, status);
        }
        Value(line);
    }
    Value(Text(38, yes(cache.write_cache_enable).c_str()));
    Value(Text(39, yes(cache.read_cache_enable).c_str()));
    Value(Text(31, yes(page.parity).c_str()));
    Value(Text(32, yes(page.sdtr).c_str()));
    Value(Text(33, yes(page.wdtr).c_str()));
    Value(Text(34, yes(page.term_power).c_str()));
    Value(Text(35, yes(page.unit_attn).c_str()));
    Value(Text(43, yes(page.disable_remote_reset).c_str()));
    if (state.stateValue7 == kExtendedType) {
        Value(Text(510, yes(ext.Value(3)).c_str()));
        Value(Text(511, yes(ext.Value(4)).c_str()));
        Value(Text(520, ext.Value(2)));
        Value(Text(521, ext.Value(1)));
        if (state.stateValue6 > kResiliencyLevel) {
            Value(Text(530) + " " + Text(ResiliencyItem(state)));
            Value(Text(522, yes(ext.Value(7)).c_str()));
            for (std::uint32_t n = 8; n <= 11; ++n) {
                Value(Text(static_cast<int>(523 + n - 8), yes2(ext.Value(n)).c_str()));
            }
            Value(Text(527, ext.Value(12)));
            Value(Text(528, yes2(ext.Value(13)).c_str()));
            Value(Text(529, ext.Value(16)));
        }
    }
    if (page.rebuild_in_progress != 0 || page.balancing != 0 || page.optimizing != 0) {
        out << '\n';
        Heading(Text(17));
        if (page.rebuild_in_progress != 0) {
            Value(Text(18, page.rebuild_progress));
        }
        if (page.balancing != 0) {
            Value(Text(19));
        }
        if (page.optimizing != 0) {
            Value(Text(20));
        }
    }
    conditions.Print(out);
}

void ArrayReport::HardwareRecord() {
    const ::Hardware hardware = state.hardware.value_or(::Hardware{});
    // Unlike the settings, controller and drive records, the hardware record
    // has no value lines: each of its lines is led by three blanks.
    auto show = [&](const std::string& rawName, const std::string& line, std::uint32_t type,
                    std::uint32_t value) {
        if (!ValueText::ComponentStateInRange(type, value)) {
            return false;
        }
        if (raw) {
            out << RawHead("H") << ':' << rawName << ':' << value << '\n';
        } else {
            Heading(line);
        }
        return true;
    };
    for (std::uint32_t i = 0; i < hardware.Count1(); ++i) {
        ValueText names;
        ValueText words;
        const std::string name = names.FanName(i);
        const std::string state = words.ComponentState(kFanType, hardware.values1[i]);
        show(name, CliText(kDisplaySet, 58, name.c_str(), state.c_str()), kFanType,
             hardware.values1[i]);
    }
    for (std::uint32_t i = 0; i < hardware.Count2(); ++i) {
        ValueText names;
        ValueText words;
        const std::string name = names.PowerSupplyName(i);
        const std::string state = words.ComponentState(kSupplyType, hardware.values2[i]);
        show(name, CliText(kDisplaySet, 60, name.c_str(), state.c_str()), kSupplyType,
             hardware.values2[i]);
    }
    for (std::uint32_t c = 0; c < kControllerPositions; ++c) {
        const ControllerInfo* controller = state.Controller(c);
        if (controller == nullptr) {
            continue;
        }
        ValueText names;
        const std::string name = names.ControllerName(c);
        const std::uint32_t status = controller->controllerStatus;
        if (!ValueText::ComponentStateInRange(kControllerType, status)) {
            continue;
        }
        if (raw) {
            out << RawHead("H") << ':' << name << ':' << status << '\n';
        } else {
            ValueText words;
            Heading(Text(62, name.c_str()));
            Heading(Text(63, words.ComponentState(kControllerType, status)));
        }
        auto modules = [&](const std::vector<std::uint32_t>& states, std::uint32_t type,
                           const char* letter, int item, bool level) {
            for (std::uint32_t i = 0; i < states.size(); ++i) {
                ValueText words;
                const char* word =
                    level ? words.LevelWord(states[i]) : words.ComponentState(type, states[i]);
                show(name + letter + std::to_string(i + 1), CliText(kDisplaySet, item, i + 1, word),
                     type, states[i]);
            }
        };
        modules(controller->batteryStatus, kBatteryType[c], "B", 64, true);
        modules(controller->dramStatus, kDramType[c], "D", 66, false);
        modules(controller->nvramStatus, kNvramType[c], "N", 68, false);
    }
}

void ArrayReport::Geometry() {
    const BlockCapacity& mirror = state.raid1Capacity;
    const BlockCapacity& free = state.virtualRemaining;
    if (raw) {
        out << RawHead("V") << ':' << mirror.blocks << ':' << mirror.blockSize << ':'
            << Megabytes(mirror.blocks, mirror.blockSize) << ':' << free.blocks << ':'
            << free.blockSize << ':' << (state.UnallocatedBytes() >> 20) << '\n';
        return;
    }
    const std::string unit = " " + Text(11);
    Heading(Text(130));
    Value(Text(131, Grouped(mirror.blocks).c_str()));
    Value(Text(132, mirror.blockSize));
    Value(Text(133, Grouped(Megabytes(mirror.blocks, mirror.blockSize)).c_str()) + unit);
    Value(Text(134, Grouped(free.blocks).c_str()));
    Value(Text(135, free.blockSize));
    Value(Text(136, Grouped(state.UnallocatedBytes() >> 20).c_str()) + unit);
}

void ArrayReport::Controllers() {
    const std::uint32_t positions = std::max(kControllerPositions, state.ControllerCount());
    for (std::uint32_t c = 0; c < positions; ++c) {
        const ControllerInfo* controller = state.Controller(c);
        const std::uint32_t status = ControllerStatus(c);
        const bool known = controller != nullptr && (status == 1 || status == 2);
        ValueText names;
        const std::string name = names.ControllerName(c);
        if (raw) {
            out << "C:" << name << ':' << status;
            if (known) {
                out << ':' << Trimmed(controller->Vendor()) << ':'
                    << Trimmed(controller->ProductId()) << ':'
                    << static_cast<std::int32_t>(controller->active) << ':' << controller->bkplSlot
                    << ':' << controller->targetId << ':' << Trimmed(controller->SerialNumber())
                    << ':' << Trimmed(controller->PairedSerialNumber()) << ':'
                    << std::min(controller->statusExtra, kStatusExtraCap) << ':'
                    << controller->ProductRev() << ':' << controller->MfgProdCode() << ':'
                    << controller->FwRev() << ':' << SubsystemSerial();
            }
            out << '\n';
            continue;
        }
        out << (c == 0 ? "\n" : "\n\n");
        Heading(Text(73, name.c_str()));
        ValueText words;
        if (known) {
            Value(Text(85, std::string(controller->Vendor()).c_str()));
            Value(Text(86, std::string(controller->ProductId()).c_str()));
            Value(Text(87, SubsystemSerial().c_str()));
            if (!Alias().empty()) {
                Value(Text(81, Alias().c_str()));
            }
            Value(Text(76, words.SecondYesNo(static_cast<std::int32_t>(controller->active))));
            Value(Text(78, std::to_string(controller->targetId).c_str()));
            Value(Text(79, words.IdentityText(controller->serialNumber)));
            Value(Text(80, words.IdentityText(controller->pairedSerialNumber)));
            Value(Text(82, std::string(controller->ProductRev()).c_str()));
            if (verbose) {
                Value(Text(83, std::string(controller->MfgProdCode()).c_str()));
                Value(Text(84, std::string(controller->FwRev()).c_str()));
            }
        } else if (status == kStatusFailed) {
            Value(Text(70, name.c_str()) + " " + Text(72));
        } else if (status == kStatusNoAddress) {
            Value(Text(78, Text(48).c_str()));
        } else {
            Value(Text(70, name.c_str()) + " " + Text(71));
        }
    }
    if (!raw) {
        out << '\n';
    }
}

void ArrayReport::Drives() {
    std::uint64_t shownBytes = 0;
    bool shown = false;
    const std::string unit = " " + Text(11);
    for (std::uint32_t slot = 0; slot < state.DriveCount(); ++slot) {
        const Physical_Drive& drive = state.drives[slot];
        ValueText names;
        const std::string name = names.DriveSlotName(slot);
        const std::uint64_t bytes = Bytes(drive.capacity.blocks, drive.capacity.blockSize);
        if (raw) {
            out << "PD:" << name << ':' << drive.driveState;
            if (!drive.Present()) {
                out << ':' << SubsystemSerial() << '\n';
                continue;
            }
            out << ':' << Trimmed(drive.Vendor()) << ':' << Trimmed(drive.IdentityText2()) << ':'
                << RoundedMegabytes(bytes) << ':' << drive.capacity.blocks << ':'
                << drive.capacity.blockSize << ':' << Trimmed(drive.SerialNumber()) << ':'
                << Trimmed(drive.DriveText()) << ':' << Trimmed(drive.IdentityText1()) << ':'
                << Trimmed(drive.VolSetSerialNumber()) << ':' << SubsystemSerial() << ':'
                << static_cast<std::int32_t>(drive.driveValue4) << '\n';
            continue;
        }
        if (!drive.Present()) {
            continue;
        }
        shown = true;
        shownBytes = AddCapped(shownBytes, bytes);
        ValueText words;
        out << '\n';
        Heading(Text(88, name.c_str()));
        Value(Text(96, words.ModeWord(drive.driveState)));
        Value(Text(89, Trimmed(drive.Vendor()).c_str()));
        Value(Text(90, Trimmed(drive.IdentityText2()).c_str()));
        Value(Text(91, Grouped(RoundedMegabytes(bytes)).c_str()) + unit);
        Value(Text(93, Grouped(drive.capacity.blocks).c_str()));
        Value(Text(94, drive.capacity.blockSize));
        Value(Text(95, Trimmed(drive.SerialNumber()).c_str()));
        Value(Text(97, Trimmed(drive.DriveText()).c_str()));
        Value(Text(98, Trimmed(drive.IdentityText1()).c_str()));
        Value(Text(99, Trimmed(drive.VolSetSerialNumber()).c_str()));
        if (drive.driveValue4 != 0) {
            Value(Text(102));
        }
    }
    if (raw) {
        return;
    }
    out << '\n';
    if (shown) {
        Heading(Text(101, Grouped(RoundedMegabytes(shownBytes)).c_str()) + unit);
    } else {
        out << Text(100) << '\n';
    }
}

void ArrayReport::MissingDrives() {
    bool any = false;
    const std::string unit = " " + Text(11);
    for (const Missing_Drive& missing : state.missing) {
        if (!missing.Present()) {
            continue;
        }
        const std::uint64_t mb =
            RoundedMegabytes(Bytes(missing.capacity.blocks, missing.capacity.blockSize));
        if (raw) {
            out << "MD:" << missing.Vendor() << ':' << Trimmed(missing.ProductId()) << ':' << mb
                << ':' << missing.capacity.blocks << ':' << missing.capacity.blockSize << ':'
                << Trimmed(missing.SerialNumber()) << ':' << missing.DriveIdNumber() << ':'
                << Trimmed(missing.VolSetSerialNumber()) << ':' << SubsystemSerial() << '\n';
            continue;
        }
        any = true;
        out << '\n';
        Heading(Text(103));
        Value(Text(104, std::string(missing.Vendor()).c_str()));
        Value(Text(105, std::string(missing.ProductId()).c_str()));
        Value(Text(106, Grouped(mb).c_str()) + unit);
        Value(Text(108, Grouped(missing.capacity.blocks).c_str()));
        Value(Text(109, missing.capacity.blockSize));
        Value(Text(110, Trimmed(missing.SerialNumber()).c_str()));
        Value(Text(111, Trimmed(missing.DriveIdNumber()).c_str()));
        Value(Text(112, Trimmed(missing.VolSetSerialNumber()).c_str()));
    }
    if (any) {
        out << '\n';
    }
}

void ArrayReport::ServerStatus() {
    const OruServerState empty;
    const OruServerState& bookkeeping = server != nullptr ? *server : empty;
    const unsigned running = bookkeeping.commandsInProgress.Size();
    const unsigned finished = bookkeeping.commandResults.Size();
    const std::string host(state.ServerName());
    if (raw) {
        out << RawHead("A") << ':' << host << ':' << running << ':' << finished << '\n';
        return;
    }
    auto requestName = [](std::uint32_t code) {
        const CommandDescriptor* row = FindCommandDescriptor(code);
        return row != nullptr ? std::string(row->name) : CliText(kCliCommonSet, 30, code);
    };
    Heading(Text(175, host.c_str()));
    Heading(Text(176, static_cast<std::uint32_t>(running)));
    for (unsigned short i = 0; i < running; ++i) {
        const CommandInProgress* entry = bookkeeping.commandsInProgress[i];
        ValueText names;
        const std::string object = entry->drive < DiskArrayState::kDriveSlots
                                       ? Text(181, names.DriveSlotName(entry->drive))
                                       : Text(180);
        Value(CliText(kDisplaySet, 177, requestName(entry->code).c_str(), entry->handle.sequence,
                      object.c_str()));
    }
    Heading(Text(178, static_cast<std::uint32_t>(finished)));
    for (unsigned short i = 0; i < finished; ++i) {
        const CommandResults* entry = bookkeeping.commandResults[i];
        Value(CliText(kDisplaySet, 179, requestName(entry->code).c_str(), entry->result,
                      ErrorCodeText(entry->error.errorCode).c_str()));
    }
}

}  // namespace dkview
