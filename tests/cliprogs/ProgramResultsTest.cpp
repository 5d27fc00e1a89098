// The pieces of dklayout, dktune and dkmend that need no service: the
// capacity text of a new logical unit, the request each command line
// stands for, and the result lines of requests that succeeded.
#include <sstream>
#include <string>

#include "CliTestSupport.h"
#include "cli/dklayout/Dklayout.h"
#include "cli/dkmend/Dkmend.h"
#include "cli/dktune/Dktune.h"
#include "coresys/common/DiskArrayState.h"
#include "coresys/common/MESSAGE_CODE.h"

namespace {

using ::testing::HasSubstr;

class ProgramResultsTest : public CliTest {};

TEST_F(ProgramResultsTest, ACapacityIsHalfMegabytesCutTowardZero) {
    using dklayout::CapacityError;
    std::int32_t half = -1;
    EXPECT_EQ(dklayout::ParseCapacity("1.5G", half), CapacityError::NONE);
    EXPECT_EQ(half, 3072);
    EXPECT_EQ(dklayout::ParseCapacity("512", half), CapacityError::NONE);
    EXPECT_EQ(half, 1024);
    EXPECT_EQ(dklayout::ParseCapacity("1536K", half), CapacityError::NONE);
    EXPECT_EQ(half, 3);
    EXPECT_EQ(dklayout::ParseCapacity("0.7", half), CapacityError::NONE);
    EXPECT_EQ(half, 1);
    // Less than half a megabyte is nothing.
    EXPECT_EQ(dklayout::ParseCapacity("100K", half), CapacityError::ZERO);
    EXPECT_EQ(dklayout::ParseCapacity("0", half), CapacityError::ZERO);
    // The largest capacity whose half megabytes fit a signed 32-bit number.
    EXPECT_EQ(dklayout::ParseCapacity("1073741823", half), CapacityError::NONE);
    EXPECT_EQ(half, 2147483646);
    EXPECT_EQ(dklayout::ParseCapacity("1073741824", half), CapacityError::TOO_LARGE);
    EXPECT_EQ(dklayout::ParseCapacity("1048576G", half), CapacityError::TOO_LARGE);
    EXPECT_EQ(dklayout::ParseCapacity("2097152G", half), CapacityError::TOO_LARGE);
    // Megabytes take no letter; the letters are upper case.
    EXPECT_EQ(dklayout::ParseCapacity("100M", half), CapacityError::UNIT_LETTER);
    EXPECT_EQ(dklayout::ParseCapacity("1g", half), CapacityError::UNIT_LETTER);
    EXPECT_EQ(dklayout::ParseCapacity("G", half), CapacityError::NOT_A_NUMBER);
    EXPECT_EQ(dklayout::ParseCapacity("1.2.3", half), CapacityError::NOT_A_NUMBER);
    EXPECT_EQ(dklayout::ParseCapacity("-5", half), CapacityError::NOT_A_NUMBER);
}

TEST_F(ProgramResultsTest, EachLayoutLineIsOneRequestWithItsResultLine) {
    using namespace dklayout;
    struct Case {
        LayoutOptions options;
        std::uint32_t code;
        std::string arguments;  // kind:value ...
        std::string line;
    };
    auto unit = [](std::uint32_t actions) {
        LayoutOptions o;
        o.target = LT_UNIT;
        o.unit = 3;
        o.actions = actions;
        o.capacity = 3072;
        o.newUnit = 6;
        return o;
    };
    auto drive = [](std::uint32_t actions) {
        LayoutOptions o;
        o.target = LT_DRIVE;
        o.slot = 5;
        o.actions = actions;
        o.allowance = 2;
        o.validate = 0;
        return o;
    };
    const Case cases[] = {
        {unit(LA_ADD), MC_CreateLUN, "3:3 3:3072",
         Mark(1, 2) + " Logical unit 3, 1536" + Mark(1, 4) + "  MB: created."},
        {unit(LA_DELETE), MC_DeleteLUN, "3:3",
         Mark(1, 2) + " Logical unit 3" + Mark(1, 6) +
             " : deletion started (the array removes the unit in the background)."},
        {unit(LA_RENUMBER), MC_RenumberLUN, "3:3 3:6",
         Mark(1, 2) + " Logical unit 3" + Mark(1, 8) + " : renumbered to 6."},
        {drive(LA_ADD), MC_AddPhysicalDrive, "3:5", Mark(1, 9) + " Drive B3: added to the array."},
        {drive(LA_DELETE), MC_DownPhysicalDrive, "3:5 2:2 1:0",
         Mark(1, 10) + " Drive B3: taken down."},
    };
    for (const Case& c : cases) {
        const LayoutRequest request = RequestOf(c.options);
        EXPECT_EQ(request.code, c.code);
        std::string arguments;
        for (const CommandArgument& argument : request.Arguments()) {
            arguments += (arguments.empty() ? "" : " ") + std::to_string(argument.kind) + ":" +
                         std::to_string(argument.value);
        }
        EXPECT_EQ(arguments, c.arguments) << c.code;
        std::ostringstream out;
        PrintLayoutResult(request, out);
        EXPECT_EQ(out.str(), c.line + "\n");
    }
}

TEST_F(ProgramResultsTest, TuneResultLinesNameTheValueSet) {
    using namespace dktune;
    TuneOptions options;
    options.addressController = 1;
    options.address = 255;
    options.primaryController = 1;
    options.alias = "NEW NAME";
    auto line = [&options](std::uint32_t code, std::int32_t value) {
        std::ostringstream out;
        PrintTuneResult(code, options, value, out);
        return out.str();
    };
    EXPECT_EQ(line(MC_Set_VeryEarlyBusy, 1),
              Mark(6, 127) + " Very early busy: " + Mark(6, 150) + " on.\n");
    EXPECT_EQ(line(MC_Set_HotSpare, 0), Mark(6, 115) + " Hot spare: " + Mark(6, 151) + " off.\n");
    // Rebuild priority "low" is the value 1.
    EXPECT_THAT(line(MC_Set_RebuildPriority, 1), HasSubstr(Mark(6, 152) + " low"));
    EXPECT_THAT(line(MC_Set_RebuildPriority, 0), HasSubstr(Mark(6, 153) + " high"));
    EXPECT_EQ(line(MC_Set_CreateLunLimit, 3),
              Mark(6, 130) + " Logical units may be created up to a limit of 8.\n");
    EXPECT_EQ(line(MC_SetPrimaryController, 0),
              Mark(6, 105) + " Controller Y is now the primary controller.\n");
    EXPECT_EQ(line(MC_SetAliasName, 0), Mark(6, 131) + " The array's alias is now \"NEW NAME\".\n");
    // Changes the controllers take only at their next start say so.
    const std::string address = line(MC_Set_ControllerAddress, 0);
    EXPECT_THAT(address, HasSubstr(Mark(6, 109) + " Controller Y: SCSI bus 3, address 255.\n\n" +
                                   Mark(6, 80)));
    EXPECT_THAT(address, HasSubstr(Mark(6, 82)));
    const std::string defaults = line(MC_ConfigureDefaultScsiSettings, 0);
    EXPECT_THAT(defaults, HasSubstr(Mark(6, 107)));
    EXPECT_THAT(defaults, HasSubstr(Mark(6, 81)));
    EXPECT_THAT(line(MC_Set_TerminatorPower, 1), HasSubstr(Mark(6, 80)));
    EXPECT_EQ(line(MC_ShutdownSubsystem, 0), Mark(6, 102) + " The array is shut down.\n");
    EXPECT_EQ(line(MC_CompareAndSwap, 0),
              Mark(6, 108) + " This host now holds the array's configuration lock.\n");
    EXPECT_EQ(line(MC_Set_Linkage, 0), Mark(6, 160) + " Request 28 is done.\n");
}

TEST_F(ProgramResultsTest, TheRebuildProgressComesFromTheState) {
    DiskArrayState state;
    SetFieldText(state.serialNumber, "QX0000000001");
    ModeSubsystemPage page;
    page.rebuild_in_progress = 1;
    page.rebuild_progress = 40;
    page.auto_rebuild = 1;
    page.rebuild_priority = 0;
    state.modeSubsystem = page;
    SubsystemStateInfo info;
    info.values[0] = 1;
    info.values[13] = 1;  // a rebuild is needed
    state.subsystemState = info;
    std::ostringstream readable;
    dkmend::MendPrintReply(MC_GetState, 0, &state, false, readable);
    const std::string text = readable.str();
    EXPECT_THAT(text, HasSubstr(Mark(7, 11) + " Rebuild of array QX0000000001:\n"));
    EXPECT_THAT(text, HasSubstr(Mark(7, 12) + "    Automatic rebuild:   " + Mark(7, 6) + " on\n"));
    EXPECT_THAT(text,
                HasSubstr(Mark(7, 13) + "    Rebuild priority:    " + Mark(7, 9) + " high\n"));
    EXPECT_THAT(text,
                HasSubstr(Mark(7, 14) + "    Rebuild needed:      " + Mark(7, 10) + " yes\n"));
    EXPECT_THAT(text, HasSubstr(Mark(7, 18) + "    A rebuild is in progress: 40% done.\n"));
    std::ostringstream raw;
    dkmend::MendPrintReply(MC_GetState, 0, &state, true, raw);
    EXPECT_EQ(raw.str(), "12:1:40:1:0:1:0:0:1\n");
    page.rebuild_in_progress = 0;
    state.modeSubsystem = page;
    std::ostringstream idle;
    dkmend::MendPrintReply(MC_GetState, 0, &state, false, idle);
    EXPECT_THAT(idle.str(), HasSubstr(Mark(7, 19)));

    std::ostringstream setting;
    dkmend::MendPrintReply(MC_Set_AutoRebuild, 0, nullptr, false, setting);
    EXPECT_EQ(setting.str(), Mark(7, 2) + " Automatic rebuild: " + Mark(7, 7) + " off.\n");
    std::ostringstream rawSetting;
    dkmend::MendPrintReply(MC_Set_RebuildPriority, 1, nullptr, true, rawSetting);
    EXPECT_EQ(rawSetting.str(), "31:1\n");
    std::ostringstream started;
    dkmend::MendPrintReply(MC_StartRebuildOperation, 0, nullptr, false, started);
    EXPECT_EQ(started.str(), Mark(7, 4) + " The rebuild has started.\n");
}

}  // namespace
