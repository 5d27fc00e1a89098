// The displays of one array state: raw records field by field, the
// readable labels by catalog set and number, and states that are short of
// controllers, units or terminators.
#include <array>
#include <sstream>

#include "../cli/CliTestSupport.h"
#include "cli/dkview/ArrayReport.h"
#include "cli/dkview/DkviewTexts.h"

namespace dkview {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, ':')) {
        fields.push_back(field);
    }
    if (!line.empty() && line.back() == ':') {
        fields.push_back("");
    }
    return fields;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

ControllerInfo Controller(std::uint32_t status, std::uint32_t target, const char* serial) {
    ControllerInfo controller;
    controller.controllerStatus = status;
    controller.targetId = target;
    SetFieldText(controller.vendor, "STROVANE");
    SetFieldText(controller.productId, "QRVZX ARRAY     ");
    SetFieldText(controller.serialNumber, serial);
    SetFieldText(controller.mfgProdCode, "MFG-1");
    SetFieldText(controller.fwRev, "FW-7");
    return controller;
}

Physical_Drive Drive(std::uint32_t state, std::uint32_t blocks, const char* serial) {
    Physical_Drive drive;
    drive.driveState = state;
    drive.capacity = BlockCapacity(blocks, 512);
    SetFieldText(drive.serialNumber, serial);
    return drive;
}

// Two controllers, 8 units of which 0 and 2 exist, 12 slots.
DiskArrayState FullState() {
    DiskArrayState state;
    state.controllers = {Controller(1, 0, "CTLX1"), Controller(2, 1, "CTLY1")};
    state.luns.resize(DiskArrayState::kLuns);
    state.luns[0].status = 1;
    state.luns[0].capacity = BlockCapacity(2097151, 512);  // 1024 MB
    state.luns[2].status = 1;
    state.luns[2].capacity = BlockCapacity(1048575, 512);  // 512 MB
    state.drives.resize(DiskArrayState::kDriveSlots, Drive(1, 0, ""));
    state.drives[0] = Drive(0, 4194303, "M0");  // member, 2048 MB
    state.drives[1] = Drive(9, 4194303, "M1");  // rebuilding member, 2048 MB
    state.drives[2] = Drive(8, 2097151, "SP");  // hot spare, 1024 MB
    state.drives[3] = Drive(2, 1048575, "NM");  // not a member, 512 MB
    state.missing.resize(DiskArrayState::kMissingEntries);
    state.missing[1].present = 1;
    state.virtualRemaining = BlockCapacity(3145727, 512);  // room for 1536 MB of units
    SetFieldText(state.serialNumber, "QX0000000042");
    SetFieldText(state.aliasName, "ALPHA       ");
    state.subsystemState = SubsystemStateInfo{};
    state.modeSubsystem = ModeSubsystemPage{};
    return state;
}

class ArrayReportTest : public CliTest {
  protected:
    std::string Run(const DiskArrayState& state, bool raw, bool verbose,
                    void (ArrayReport::*record)()) {
        std::ostringstream out;
        ArrayReport report(state, nullptr, raw, verbose, out);
        (report.*record)();
        return out.str();
    }
    std::string Units(const DiskArrayState& state, bool raw, std::int32_t unit) {
        std::ostringstream out;
        ArrayReport report(state, nullptr, raw, false, out);
        report.LogicalUnits(unit);
        return out.str();
    }
};

TEST_F(ArrayReportTest, TheSummaryCountsMembersSparesAndOtherDrivesAndTheirCapacities) {
    const std::string line = Run(FullState(), true, false, &ArrayReport::SummaryRecord);
    // D, vendor, product, serial, alias, present, members, others, spares,
    // units, missing, total, in units, other drives, spares, unallocated,
    // condition bits, alias.
    EXPECT_EQ(Fields(line.substr(0, line.size() - 1)),
              (std::vector<std::string>{"D", "STROVANE", "QRVZX ARRAY", "QX0000000042", "ALPHA",
                                        "4", "2", "1", "1", "2", "1", "4096", "1536", "512", "1024",
                                        "1536", "0", "ALPHA"}));
}

// The unallocated capacity is the room the array reports for units, cut to
// whole megabytes, whatever the drives and units add up to: the members'
// capacity holds the parity's share, which no hot-spare reserve stands for.
TEST_F(ArrayReportTest, TheUnallocatedCapacityIsTheRoomTheArrayReports) {
    DiskArrayState state = FullState();
    state.luns[0].capacity = BlockCapacity(0xFFFFFFFFu, 4096);  // far more than the members
    ArrayReport::Summary summary = ArrayReport::Summarize(state);
    EXPECT_EQ(summary.freeMb, 1536u);
    EXPECT_EQ(summary.lunMb, 16777216u + 512u);
    // The spare used: no reserve, the same room.
    state.drives[2].driveState = 0;
    EXPECT_EQ(ArrayReport::Summarize(state).freeMb, 1536u);
    // Half a megabyte short of 1537 is still 1536; no room is 0.
    state.virtualRemaining = BlockCapacity(3147775 - 1024, 512);
    EXPECT_EQ(ArrayReport::Summarize(state).freeMb, 1536u);
    state.virtualRemaining = BlockCapacity(0, 512);
    EXPECT_EQ(ArrayReport::Summarize(state).freeMb, 0u);
    state.virtualRemaining = BlockCapacity();
    EXPECT_EQ(ArrayReport::Summarize(state).freeMb, 0u);
    // The block geometry shows the same figure.
    state.virtualRemaining = BlockCapacity(3145727, 512);
    const std::string geometry = Run(state, true, false, &ArrayReport::Geometry);
    EXPECT_EQ(Fields(geometry.substr(0, geometry.size() - 1)).back(), "1536");
}

TEST_F(ArrayReportTest, CapacitiesOfFourGigabyteBlockCountsDoNotOverflow) {
    EXPECT_EQ(ArrayReport::Megabytes(0xFFFFFFFFu, 4096), 16777216u);
    EXPECT_EQ(ArrayReport::Bytes(0xFFFFFFFFu, 0xFFFFFFFFu), 0xFFFFFFFF00000000ull);
    // Rounded: half a megabyte rounds up, less rounds down.
    EXPECT_EQ(ArrayReport::RoundedMegabytes((1u << 20) + (1u << 19)), 2u);
    EXPECT_EQ(ArrayReport::RoundedMegabytes((1u << 20) + (1u << 19) - 1), 1u);
}

TEST_F(ArrayReportTest, TheReadableSummaryShowsItsLabelsAndTheConditions) {
    DiskArrayState state = FullState();
    state.subsystemState->values[1] = 1;  // data unavailable
    std::ostringstream out;
    ArrayReport report(state, nullptr, false, false, out);
    report.Head();
    report.SummaryRecord();
    const std::string text = out.str();
    for (int item : {74, 75, 4, 3, 123, 8, 5, 6, 7, 9, 10, 12, 201, 200, 202, 14, 15}) {
        EXPECT_THAT(text, HasSubstr(Mark(13, item))) << item;
    }
    EXPECT_THAT(text, HasSubstr(Mark(9, 224)));
    EXPECT_THAT(text, HasSubstr(Mark(9, 225)));
    EXPECT_THAT(text, HasSubstr("4,096 " + Mark(13, 11)));
}

TEST_F(ArrayReportTest, AUnitBeyondTheStateIsShownAsNotExisting) {
    const DiskArrayState state = FullState();
    EXPECT_EQ(Units(state, true, 9), "L:STROVANE:QRVZX ARRAY:9:0:0:0\n");
    EXPECT_EQ(Units(state, true, 2), "L:STROVANE:QRVZX ARRAY:2:1:1048575:512\n");
    const std::vector<std::string> all = Lines(Units(state, true, -1));
    ASSERT_EQ(all.size(), 8u);
    EXPECT_EQ(all[1], "L:STROVANE:QRVZX ARRAY:1:0:0:0");
    const std::string readable = Units(state, false, -1);
    EXPECT_THAT(readable,
                HasSubstr(Mark(13, 26) + " Total capacity of the logical units: 1,536 MB"));
    EXPECT_THAT(Units(state, false, 9), Not(HasSubstr(Mark(13, 23))));
}

TEST_F(ArrayReportTest, TheRawSettingsRecordHasItsFortyFiveFields) {
    DiskArrayState state = FullState();
    state.modeSubsystem->cap_deplete_thresh = 1966;
    state.modeSubsystem->language = 3;
    state.modeSubsystem->vs_partition = 0xFFFFFFFFu;  // signed field
    state.controllers[0].targetId = 255;
    state.controllers[1].controllerStatus = 3;
    state.userParam2 = 3;
    state.userParam1 = 0;
    std::string line = Run(state, true, false, &ArrayReport::Settings);
    line.pop_back();
    const std::vector<std::string> fields = Fields(line);
    ASSERT_EQ(fields.size(), 3u + 45u);
    EXPECT_EQ(fields[3 + 0], "-1");
    EXPECT_EQ(fields[3 + 14], "3");  // threshold percent
    EXPECT_EQ(fields[3 + 17], "3");  // language
    EXPECT_EQ(fields[3 + 18], "255");
    EXPECT_EQ(fields[3 + 19], "");  // controller Y does not exist
    EXPECT_EQ(fields[3 + 25], "0");
    EXPECT_EQ(fields[3 + 27], "QX0000000042");
    EXPECT_EQ(fields[3 + 34], "Secure");
}

// A state in which every field the raw records PD, C and S print holds a
// value of its own, so that a field printed in another's place shows.
// Texts and numbers of one controller, each of its own.
void SetController(ControllerInfo& c, const std::array<const char*, 7>& texts, std::uint32_t active,
                   std::uint32_t slot, std::uint32_t target, std::uint32_t extra) {
    SetFieldText(c.vendor, texts[0]);
    SetFieldText(c.productId, texts[1]);
    SetFieldText(c.serialNumber, texts[2]);
    SetFieldText(c.pairedSerialNumber, texts[3]);
    SetFieldText(c.productRev, texts[4]);
    SetFieldText(c.mfgProdCode, texts[5]);
    SetFieldText(c.fwRev, texts[6]);
    c.active = active;
    c.bkplSlot = slot;
    c.targetId = target;
    c.statusExtra = extra;
}

DiskArrayState DistinctState() {
    DiskArrayState state = FullState();
    SetController(state.controllers[0],
                  {"VENDX ", "PRODX  ", "SERX ", "PAIRX ", "RVX", "MFGX ", "FWX "}, 1, 5, 41, 77);
    SetController(state.controllers[1], {"VENDY", "PRODY", "SERY", "PAIRY", "RVY ", "MFGY", "FWY"},
                  0, 6, 42, 88);
    Physical_Drive& d = state.drives[0];
    SetFieldText(d.vendor, "DVEND ");
    SetFieldText(d.identityText2, "DPROD ");
    SetFieldText(d.serialNumber, "DSER ");
    SetFieldText(d.driveText, "DTXT ");
    SetFieldText(d.identityText1, "DID1 ");
    SetFieldText(d.volSetSerialNumber, "DVOL ");
    SetFieldText(d.productRev, "DREV");
    d.capacity = BlockCapacity(1048575, 1024);  // 1024 MB
    d.driveValue1 = 90;
    d.driveValue2 = 91;
    d.driveValue3 = 92;
    d.driveValue4 = 7;
    ModeSubsystemPage& p = *state.modeSubsystem;
    p.vs_partition = 11;
    p.format_pattern_fill = 12;
    p.auto_rebuild = 13;
    p.auto_include = 14;
    p.parity = 15;
    p.sdtr = 16;
    p.wdtr = 17;
    p.term_power = 18;
    p.unit_attn = 19;
    p.hot_spare_desired = 20;
    p.log_full_warn = 21;
    p.rebuild_priority = 24;
    p.cap_deplete_thresh = 32767;  // 50 percent
    p.write_work_set_int = 26;
    p.subsys_type_id = 27;
    p.language = 28;
    p.rebuild_in_progress = 31;
    p.rebuild_progress = 32;
    p.balancing = 33;
    p.optimizing = 34;
    p.disable_remote_reset = 37;
    p.subsystem_state = 98;
    p.value9 = 99;
    p.ctrl_a_addr = 96;
    p.ctrl_b_addr = 97;
    state.modeCache = ModeCachePage{};
    state.modeCache->write_cache_enable = 22;
    state.modeCache->read_cache_enable = 23;
    state.subsystemState->values[0] = 35;
    state.subsystemState->values[1] = 1;  // condition flag 0
    state.subsystemState->values[5] = 1;  // condition flag 4
    state.modeExtension = ModeExtensionPage{};
    for (std::uint32_t n = 1; n <= 16; ++n) {
        state.modeExtension->values[n - 1] = 50 + n;
    }
    state.userParam1 = 0;
    state.userParam2 = 2;  // "Normal"
    return state;
}

TEST_F(ArrayReportTest, EveryRawFieldOfTheDriveControllerAndSettingsRecordsIsItsOwn) {
    const DiskArrayState state = DistinctState();
    const std::vector<std::string> drives = Lines(Run(state, true, false, &ArrayReport::Drives));
    ASSERT_EQ(drives.size(), 12u);
    // Slot, state, vendor, product, MB, blocks, block size, serial, drive
    // text, identity, volume set (texts trimmed), array serial, value 4.
    EXPECT_EQ(drives[0],
              "PD:A1:0:DVEND:DPROD:1024:1048575:1024:DSER:DTXT:DID1:DVOL:QX0000000042:7");

    const std::vector<std::string> controllers =
        Lines(Run(state, true, false, &ArrayReport::Controllers));
    ASSERT_EQ(controllers.size(), 2u);
    // Name, status, vendor, product (trimmed), active, backplane slot,
    // target, serial, partner (trimmed), extra status, revision,
    // manufacturing code, firmware (as stored), array serial.
    EXPECT_EQ(controllers[0], "C:X:1:VENDX:PRODX:1:5:41:SERX:PAIRX:77:RVX:MFGX :FWX :QX0000000042");
    EXPECT_EQ(controllers[1], "C:Y:2:VENDY:PRODY:0:6:42:SERY:PAIRY:88:RVY :MFGY:FWY:QX0000000042");

    std::string settings = Run(state, true, false, &ArrayReport::Settings);
    ASSERT_FALSE(settings.empty());
    settings.pop_back();
    EXPECT_EQ(settings,
              "S:VENDX:PRODX"
              ":11:12:13:14:15:16:17:18:19:20:21:22:23:24"  // 1..14
              ":50:26:27:28"                                // 15..18
              ":41:42"                                      // 19, 20: target ids
              ":31:32:33:34:35"                             // 21..25
              ":0x11"                                       // 26: condition bits
              ":37:QX0000000042"                            // 27, 28
              ":56:55:53:54:52:51"                          // 29..34
              ":Normal"                                     // 35
              ":57:58:59:60:61:62:63:64:65:66");            // 36..45
}

TEST_F(ArrayReportTest, TheThresholdPercentRoundsDown) {
    const std::vector<std::pair<std::uint32_t, std::string>> cases = {
        {1966, "3"}, {1964, "2"}, {65535, "100"}, {0, "0"}};
    for (const auto& [threshold, percent] : cases) {
        DiskArrayState state = FullState();
        state.modeSubsystem->cap_deplete_thresh = threshold;
        std::string line = Run(state, true, false, &ArrayReport::Settings);
        EXPECT_EQ(Fields(line)[3 + 14], percent) << threshold;
    }
}

TEST_F(ArrayReportTest, AnUnsetAddressShowsTheNotSetWordInTheReadableSettings) {
    DiskArrayState state = FullState();
    state.controllers[0].targetId = 255;
    const std::string text = Run(state, false, false, &ArrayReport::Settings);
    EXPECT_THAT(text, HasSubstr(Mark(13, 46) + " Controller X address: " + Mark(13, 48)));
    EXPECT_THAT(text, HasSubstr(Mark(13, 46) + " Controller Y address: 1"));
}

TEST_F(ArrayReportTest, AStateWithoutControllersPrintsAbsentControllersAndNoVendor) {
    DiskArrayState state = FullState();
    state.controllers.clear();
    EXPECT_EQ(Run(state, true, false, &ArrayReport::Controllers), "C:X:3\nC:Y:3\n");
    std::string settings = Run(state, true, false, &ArrayReport::Settings);
    const std::vector<std::string> fields = Fields(settings.substr(0, settings.size() - 1));
    ASSERT_EQ(fields.size(), 48u);
    EXPECT_EQ(fields[1], "");
    EXPECT_EQ(fields[3 + 18], "");
    EXPECT_EQ(fields[3 + 19], "");
    const std::string readable = Run(state, false, false, &ArrayReport::Controllers);
    EXPECT_THAT(readable, HasSubstr(Mark(13, 71)));
}

TEST_F(ArrayReportTest, TheRawControllerRecordCapsTheExtraStatus) {
    DiskArrayState state = FullState();
    state.controllers[0].statusExtra = 70000;
    state.controllers[0].active = 1;
    const std::vector<std::string> lines =
        Lines(Run(state, true, false, &ArrayReport::Controllers));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "C:X:1:STROVANE:QRVZX ARRAY:1:0:0:CTLX1::256::MFG-1:FW-7:QX0000000042");
    EXPECT_EQ(Fields(lines[1])[2], "2");
}

TEST_F(ArrayReportTest, ManufacturingCodeAndFirmwareShowOnlyWhenVerbose) {
    const DiskArrayState state = FullState();
    const std::string plain = Run(state, false, false, &ArrayReport::Controllers);
    const std::string verbose = Run(state, false, true, &ArrayReport::Controllers);
    EXPECT_THAT(plain, Not(HasSubstr(Mark(13, 83))));
    EXPECT_THAT(plain, Not(HasSubstr(Mark(13, 84))));
    EXPECT_THAT(verbose, HasSubstr(Mark(13, 83) + " Manufacturing code:  MFG-1"));
    EXPECT_THAT(verbose, HasSubstr(Mark(13, 84)));
}

TEST_F(ArrayReportTest, AnEmptySlotHasAShortRawLineAndNoReadableEntry) {
    const DiskArrayState state = FullState();
    const std::vector<std::string> lines = Lines(Run(state, true, false, &ArrayReport::Drives));
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[4], "PD:A3:1:QX0000000042");
    EXPECT_EQ(lines[0], "PD:A1:0:::2048:4194303:512:M0::::QX0000000042:0");
    const std::string readable = Run(state, false, false, &ArrayReport::Drives);
    EXPECT_THAT(readable, HasSubstr(Mark(13, 88) + " Drive B2:"));
    EXPECT_THAT(readable, Not(HasSubstr("Drive A3:")));
    // 2048 + 2048 + 1024 + 512 MB shown.
    EXPECT_THAT(readable, HasSubstr(Mark(13, 101) + " Total capacity of the drives shown: 5,632"));
}

TEST_F(ArrayReportTest, NoDriveAtAllSaysSo) {
    DiskArrayState state = FullState();
    state.drives.assign(DiskArrayState::kDriveSlots, Drive(1, 0, ""));
    const std::string readable = Run(state, false, false, &ArrayReport::Drives);
    EXPECT_THAT(readable, HasSubstr(Mark(13, 100)));
    EXPECT_THAT(readable, Not(HasSubstr(Mark(13, 101))));
}

TEST_F(ArrayReportTest, TextFieldsWithoutTerminatorStopAtTheirWidth) {
    DiskArrayState state = FullState();
    std::memset(state.controllers[0].vendor, 'V', sizeof state.controllers[0].vendor);
    std::memset(state.controllers[0].productId, 'P', sizeof state.controllers[0].productId);
    std::memset(state.serialNumber, 'S', sizeof state.serialNumber);
    const std::vector<std::string> fields =
        Fields(Lines(Run(state, true, false, &ArrayReport::Controllers))[0]);
    EXPECT_EQ(fields[3], std::string(9, 'V'));
    EXPECT_EQ(fields[4], std::string(17, 'P'));
    EXPECT_EQ(fields.back(), std::string(13, 'S'));
}

TEST_F(ArrayReportTest, HardwareShowsOnlyStatesItsComponentKnows) {
    DiskArrayState state = FullState();
    state.hardware = ::Hardware{};
    state.hardware->values1 = {1, 9};  // fan 2 in an unknown state
    state.hardware->values2 = {2};
    state.controllers[0].batteryStatus = {1, 4};  // battery 2 out of range
    state.controllers[0].dramStatus = {1};
    state.controllers[0].nvramStatus = {2};
    const std::string raw = Run(state, true, false, &ArrayReport::HardwareRecord);
    EXPECT_THAT(raw, HasSubstr("H:STROVANE:QRVZX ARRAY:F1:1\n"));
    EXPECT_THAT(raw, Not(HasSubstr(":F2:")));
    EXPECT_THAT(raw, HasSubstr(":PS1:2\n"));
    EXPECT_THAT(raw, HasSubstr(":XB1:1\n"));
    EXPECT_THAT(raw, Not(HasSubstr(":XB2:")));
    const std::string readable = Run(state, false, false, &ArrayReport::HardwareRecord);
    for (int item : {58, 60, 62, 63, 64}) {
        EXPECT_THAT(readable, HasSubstr(Mark(13, item))) << item;
    }
    // Every line of the record, a controller's state and modules too, is
    // led by three blanks, as the display's labelled lines are.
    for (int item : {58, 60, 62, 63, 64, 66, 68}) {
        EXPECT_THAT("\n" + readable, HasSubstr("\n   " + Mark(13, item))) << item;
        EXPECT_THAT(readable, Not(HasSubstr("    " + Mark(13, item)))) << item;
    }
}

TEST_F(ArrayReportTest, MissingDrivesListOnlyTheEntriesInUse) {
    DiskArrayState state = FullState();
    SetFieldText(state.missing[1].serialNumber, "  GONE1");
    state.missing[1].capacity = BlockCapacity(2097151, 512);
    EXPECT_EQ(Run(state, true, false, &ArrayReport::MissingDrives),
              "MD:::1024:2097151:512:GONE1:::QX0000000042\n");
}

}  // namespace
}  // namespace dkview
