// The programs against the real service over strovsim's default cabinets
// (ServiceFixture.h). Each change is checked where it lands: in the
// simulated controller's own state (its state file: mode pages byte for
// byte, units, alias) and in `strovsim show`.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ServiceFixture.h"

namespace clitest {
namespace {

using ::testing::HasSubstr;

// Offsets in the stored pages (a MODE SENSE reply's byte n is byte n - 8).
constexpr std::size_t k21Flags = 3;     // hot spare 0x40, auto rebuild 0x08, auto include 0x04
constexpr std::size_t k21Transfer = 4;  // priority 0x20, parity 0x10, SDTR 0x08, WDTR 0x04
constexpr std::size_t k21AddressY = 6;
constexpr std::size_t k21Fill = 7;       // pattern fill 0x20, remote reset disabled 0x10
constexpr std::size_t k21Threshold = 8;  // BE16
constexpr std::size_t k08Cache = 2;      // write cache 0x04, read cache disabled 0x01
constexpr std::size_t k22QueueFull = 9;  // low byte of the BE32 at 6
constexpr std::size_t k22Flags = 10;     // failover 0x01, early busy 0x02, words 7 and 8
constexpr std::size_t k22LunLimit = 12;
constexpr std::size_t k22Resiliency = 13;  // words 9..13
constexpr std::size_t k22Word16 = 15;

TEST_F(ProgramsOnServiceTest, DktuneChangesTheSettingsTheArrayHolds) {
    const sim::CabinetModel before = Cabinet(0);
    ASSERT_TRUE(Bit(before.page21, k21Flags, 0x08));      // automatic rebuild on
    ASSERT_FALSE(Bit(before.page21, k21Transfer, 0x20));  // priority high
    ASSERT_TRUE(Bit(before.page08, k08Cache, 0x04));      // write cache on
    ASSERT_FALSE(Bit(before.page22, k22Flags, 0x02));     // very early busy off
    const ProgramResult run =
        Run("dktune", {"-a", "off", "-p",  "low", "-t",  "5",  "-b", "on", "-q", "40",      "-n",
                       "16", "-w",  "off", "-e",  "off", "-f", "on", "-r", "on", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Lines(run.out).size(), 10u) << run.out;
    const sim::CabinetModel after = Cabinet(0);
    EXPECT_FALSE(Bit(after.page21, k21Flags, 0x08));
    EXPECT_TRUE(Bit(after.page21, k21Flags, 0x04));  // automatic include untouched
    EXPECT_TRUE(Bit(after.page21, k21Transfer, 0x20));
    EXPECT_TRUE(Bit(after.page21, k21Transfer, 0x10));  // parity untouched
    EXPECT_TRUE(Bit(after.page21, k21Fill, 0x20));
    EXPECT_TRUE(Bit(after.page21, k21Fill, 0x10));
    EXPECT_EQ(Be16(after.page21, k21Threshold), 5u * 65535 / 100);
    EXPECT_FALSE(Bit(after.page08, k08Cache, 0x04));
    EXPECT_TRUE(Bit(after.page08, k08Cache, 0x01));
    EXPECT_TRUE(Bit(after.page22, k22Flags, 0x02));
    EXPECT_EQ(after.page22.at(k22QueueFull), 40u);
    EXPECT_EQ(after.page22.at(k22LunLimit), 4u);  // 16 is two to the fourth
    // The other cabinet is untouched.
    EXPECT_EQ(Cabinet(1).page21, before.page21);
}

// The line of `dkview -s` that holds a settings text (set 13).
std::string SettingLine(const std::string& shown, int item) {
    for (const std::string& line : Lines(shown)) {
        if (line.find(Mark(13, item)) != std::string::npos) {
            return line;
        }
    }
    return "";
}

TEST_F(ProgramsOnServiceTest, DktuneGoesOnAfterASettingTheArrayTakesWithANote) {
    // The rebuild onto the spare in A4 ends: the array has no spare now.
    ASSERT_EQ(Strovsim({"pull", "0", "A2"}), 0);
    ASSERT_EQ(Strovsim({"advance", "130000"}), 0);
    ASSERT_TRUE(Bit(Cabinet(0).page08, k08Cache, 0x04));  // write cache on

    // The hot-spare setting is made; the service adds that no spare can be
    // provided, which fails nothing: the run goes on with the write cache.
    const ProgramResult run = Run("dktune", {"-h", "on", "-w", "off", "QX0000000001"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.err, HasSubstr("dktune:  " + Mark(9, 256)));
    EXPECT_THAT(run.err, HasSubstr(Mark(9, 21) + " The array cannot provide a hot spare."));
    EXPECT_THAT(run.err, ::testing::Not(HasSubstr(Mark(9, 164))));
    EXPECT_EQ(Lines(run.out), (std::vector<std::string>{
                                  Mark(6, 115) + " Hot spare: " + Mark(6, 150) + " on.",
                                  Mark(6, 117) + " Write cache: " + Mark(6, 151) + " off.",
                              }));
    const sim::CabinetModel after = Cabinet(0);
    EXPECT_TRUE(Bit(after.page21, k21Flags, 0x40));
    EXPECT_FALSE(Bit(after.page08, k08Cache, 0x04));
    const ProgramResult shown = Run("dkview", {"-s", "QX0000000001"});
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_THAT(SettingLine(shown.out, 38), HasSubstr(Mark(9, 39))) << shown.out;
    EXPECT_THAT(SettingLine(shown.out, 36), HasSubstr(Mark(9, 38))) << shown.out;
}

TEST_F(ProgramsOnServiceTest, DktuneNamesTheArrayAndSetsItsResiliency) {
    ProgramResult run = Run("dktune", {"-D", "NEW_NAME 1", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Cabinet(0).alias.substr(0, 10), "NEW_NAME 1");
    EXPECT_THAT(Shown(0), HasSubstr("alias \"NEW_NAME 1"));
    // The service refuses lower-case letters; the alias stays.
    run = Run("dktune", {"-D", "lower", "NEW_NAME 1"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_THAT(run.err, HasSubstr("INVALID_PARAMETER"));
    EXPECT_EQ(Cabinet(0).alias.substr(0, 10), "NEW_NAME 1");

    run = Run("dktune", {"-J", "single", "QX0000000001"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const sim::CabinetModel single = Cabinet(0);
    // Words 7 and 8 clear, 9 and 10 set, 11 clear, 12 = 2, 13 clear, 16 = 1.
    EXPECT_EQ(single.page22.at(k22Flags) & 0x0C, 0x00);
    EXPECT_EQ(single.page22.at(k22Resiliency) & 0x7E, 0x40 | 0x20 | 0x08);
    EXPECT_EQ(single.page22.at(k22Word16), 1u);
    const ProgramResult shown = Run("dkview", {"-s", "-S", "QX0000000001"});
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_THAT(shown.out, HasSubstr(":SingleController:"));
}

// An alias that is another array's serial number or alias would make that
// identifier name two arrays: the service refuses it, and the serial number
// goes on naming its own array only.
TEST_F(ProgramsOnServiceTest, AnAliasNeverMakesAnotherArraysIdentifierNameThisOne) {
    const std::string before = Cabinet(1).alias;
    ProgramResult run = Run("dktune", {"-D", "CABINET1", "QX0000000002"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_THAT(run.err, HasSubstr(Mark(9, 257)));  // what may be wrong
    EXPECT_THAT(run.err, HasSubstr("INVALID_PARAMETER"));
    run = Run("dktune", {"-D", "QX0000000001", "QX0000000002"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_THAT(run.err, HasSubstr("INVALID_PARAMETER"));
    EXPECT_EQ(Cabinet(1).alias, before);

    const sim::CabinetModel second = Cabinet(1);
    run = Run("dklayout", {"-L", "1", "-d", "QX0000000001"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(Strovsim({"advance", "20000"}), 0);
    EXPECT_FALSE(Cabinet(0).luns[1].present);
    const sim::CabinetModel after = Cabinet(1);
    ASSERT_EQ(after.luns.size(), second.luns.size());
    for (std::size_t n = 0; n < after.luns.size(); ++n) {
        EXPECT_EQ(after.luns[n].present, second.luns[n].present) << "unit " << n;
        EXPECT_EQ(after.luns[n].blocks, second.luns[n].blocks) << "unit " << n;
    }

    // An array may take its own serial number as its alias.
    run = Run("dktune", {"-D", "QX0000000002", "QX0000000002"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Cabinet(1).alias.substr(0, 12), "QX0000000002");
}

TEST_F(ProgramsOnServiceTest, DktuneShutsTheArrayDownAndStartsItAgain) {
    ProgramResult run = Run("dktune", {"-s", "shut", "CABINET2"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, Mark(6, 102) + " The array is shut down.\n");
    ASSERT_EQ(Strovsim({"advance", "10000"}), 0);
    EXPECT_EQ(Cabinet(1).state, sim::kSubsysShutDown);
    // A second shutdown is refused by the service.
    run = Run("dktune", {"-s", "shut", "CABINET2"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.err, HasSubstr(Mark(9, 28)));

    run = RunAdvancing("dktune", {"-V", "-s", "start", "CABINET2"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("RestartSubsystem() " + Mark(10, 13)));
    EXPECT_THAT(run.out, HasSubstr(Mark(6, 103)));
    EXPECT_EQ(Cabinet(1).state, sim::kSubsysReady);
    EXPECT_EQ(Cabinet(0).state, sim::kSubsysReady);
}

TEST_F(ProgramsOnServiceTest, DktuneRunsTheArrayWideOperations) {
    ProgramResult run = Run("dktune", {"-Z", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // The default settings: a threshold of 1964, hot spare, rebuild and
    // include on, and the note that the controllers take them when started.
    const sim::CabinetModel defaults = Cabinet(0);
    EXPECT_EQ(Be16(defaults.page21, k21Threshold), 1964u);
    EXPECT_EQ(defaults.page21.at(k21Flags) & 0x4C, 0x4C);
    EXPECT_THAT(run.out, HasSubstr(Mark(6, 107)));
    EXPECT_THAT(run.out, HasSubstr(Mark(6, 82)));

    run = Run("dktune", {"-F", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, Mark(6, 108) + " This host now holds the array's configuration lock.\n");
    run = Run("dktune", {"-C", "Y", "7", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Cabinet(0).page21.at(k21AddressY), 7u);
    EXPECT_THAT(run.out, HasSubstr(Mark(6, 109) + " Controller Y: SCSI bus 3, address 7."));
    // The array refuses the address its partner has.
    run = Run("dktune", {"-C", "Y", "0", "CABINET1"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(Cabinet(0).page21.at(k21AddressY), 7u);

    run = RunAdvancing("dktune", {"-c", "y", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Cabinet(0).activeSlot, 1);
    EXPECT_THAT(Shown(0), HasSubstr(" active Y "));
    run = Run("dktune", {"-c", "y", "CABINET1"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.err, HasSubstr(Mark(9, 32)));

    run = RunAdvancing("dktune", {"-R", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, Mark(6, 104) + " The array was reset.\n");
}

TEST_F(ProgramsOnServiceTest, DklayoutChangesTheUnitsTheArrayHolds) {
    ProgramResult run = Run("dklayout", {"-L", "3", "-a", "1.5G", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, Mark(1, 2) + " Logical unit 3, 1536" + Mark(1, 4) + "  MB: created.\n");
    sim::CabinetModel cabinet = Cabinet(0);
    ASSERT_TRUE(cabinet.luns[3].present);
    EXPECT_EQ(cabinet.luns[3].blocks, 1536u * 2048);

    run = Run("dklayout", {"-L3", "-r6", "-S", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
    cabinet = Cabinet(0);
    EXPECT_FALSE(cabinet.luns[3].present);
    EXPECT_EQ(cabinet.luns[6].blocks, 1536u * 2048);

    run = Run("dklayout", {"-L", "6", "-d", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // The array has only started the deletion, and the line says so.
    EXPECT_TRUE(Cabinet(0).luns[6].deleting);
    EXPECT_EQ(run.out, Mark(1, 2) + " Logical unit 6" + Mark(1, 6) +
                           " : deletion started (the array removes the unit in the background).\n");
    ASSERT_EQ(Strovsim({"advance", "20000"}), 0);
    EXPECT_FALSE(Cabinet(0).luns[6].present);
    EXPECT_THAT(Shown(0), ::testing::Not(HasSubstr("  lun 6 ")));

    // The service and the array say why they refuse.
    run = Run("dklayout", {"-L", "6", "-d", "CABINET1"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.err, HasSubstr(Mark(9, 30) + " Logical unit 6 does not exist."));
    run = Run("dklayout", {"-L", "5", "-a", "100G", "CABINET1"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.err, HasSubstr(Mark(9, 133)));
    run = Run("dklayout", {"-L", "8", "-d", "CABINET1"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.err, HasSubstr(Mark(9, 137)));
    EXPECT_FALSE(Cabinet(0).luns[5].present);
}

// What dkview tells of an array's free room: the summary's unallocated
// capacity, raw and readable, and the block geometry's free capacity (MB).
struct FreeRoom {
    std::uint64_t raw = 0;
    std::uint64_t readable = 0;
    std::uint64_t geometry = 0;
    std::uint64_t spares = 0;  // the summary's hot-spare reserve
};

TEST_F(ProgramsOnServiceTest, TheUnallocatedCapacityIsTheRoomAUnitCanTake) {
    auto room = [this](const std::string& array) {
        FreeRoom r;
        ProgramResult run = Run("dkview", {"-S", array});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        const std::vector<std::string> d = Fields(Lines(run.out).at(0));
        EXPECT_EQ(d.size(), 18u) << run.out;
        if (d.size() == 18u) {
            r.spares = std::stoull(d[14]);
            r.raw = std::stoull(d[15]);
        }
        run = Run("dkview", {array});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        for (const std::string& line : Lines(run.out)) {
            const std::string head = "   " + Mark(13, 14) + " Unallocated:";
            if (line.rfind(head, 0) == 0) {
                std::string digits;
                for (const char c : line.substr(head.size())) {
                    if (c >= '0' && c <= '9') {
                        digits += c;
                    } else if (c != ',' && c != ' ') {
                        break;
                    }
                }
                r.readable = digits.empty() ? ~0ull : std::stoull(digits);
            }
        }
        run = Run("dkview", {"-v", "-S", array});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        const std::vector<std::string> v = Fields(Lines(run.out).at(0));
        EXPECT_EQ(v.size(), 9u) << run.out;
        if (v.size() == 9u) {
            r.geometry = std::stoull(v[8]);
        }
        return r;
    };
    auto agrees = [&](const std::string& array, const char* when) {
        SCOPED_TRACE(array + ", " + when);
        const FreeRoom r = room(array);
        EXPECT_EQ(r.raw, r.geometry);
        EXPECT_EQ(r.readable, r.geometry);
        return r;
    };
    agrees("CABINET1", "spare present");
    agrees("CABINET2", "spare present");

    // A2 goes; the spare in A4 is rebuilt onto, A2 is a missing member.
    ASSERT_EQ(Strovsim({"pull", "0", "A2"}), 0);
    agrees("CABINET1", "member missing, rebuilding");
    // The rebuild onto the spare ends: no spare any more.
    ASSERT_EQ(Strovsim({"advance", "130000"}), 0);
    const FreeRoom used = agrees("CABINET1", "spare used");
    EXPECT_EQ(used.spares, 0u);
    ASSERT_GT(used.geometry, 0u);

    // A unit of exactly the figure shown fits, and then nothing is left.
    const std::string size = std::to_string(used.raw);
    ProgramResult run = Run("dklayout", {"-L", "6", "-a", size, "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Cabinet(0).luns[6].blocks, used.raw * 2048);
    EXPECT_EQ(agrees("CABINET1", "room used up").raw, 0u);

    // A unit deleted gives its room back.
    run = Run("dklayout", {"-L", "0", "-d", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(Strovsim({"advance", "20000"}), 0);
    ASSERT_FALSE(Cabinet(0).luns[0].present);
    const FreeRoom freed = agrees("CABINET1", "unit deleted");
    EXPECT_GT(freed.raw, 0u);
    run = Run("dklayout", {"-L", "0", "-a", std::to_string(freed.raw), "CABINET1"});
    EXPECT_EQ(run.exitCode, 0) << run.err;

    // Another member lost, with no spare left: the array runs on one drive
    // short.
    ASSERT_EQ(Strovsim({"pull", "1", "A1"}), 0);
    ASSERT_EQ(Strovsim({"advance", "130000"}), 0);
    ASSERT_EQ(Strovsim({"pull", "1", "A2"}), 0);
    agrees("CABINET2", "member missing, no spare");
}

// A member fails and the spare takes its place: once the rebuild ended,
// dkview shows the failed drive in its slot and counts it apart from the
// members.
TEST_F(ProgramsOnServiceTest, DkviewShowsAFailedMemberOnceTheRebuildEnded) {
    ASSERT_EQ(Strovsim({"fail-drive", "0", "A2"}), 0);
    ASSERT_EQ(Strovsim({"advance", "130000"}), 0);
    ProgramResult run = Run("dkview", {"-d", "-S", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("PD:A2:4:"));
    run = Run("dkview", {"-d", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::size_t a2 = run.out.find(Mark(13, 88) + " Drive A2");
    ASSERT_NE(a2, std::string::npos) << run.out;
    const std::size_t mode = run.out.find(Mark(13, 96), a2);
    ASSERT_NE(mode, std::string::npos) << run.out;
    EXPECT_THAT(run.out.substr(mode, run.out.find('\n', mode) - mode),
                HasSubstr(Mark(9, 209) + " Failed"));
    run = Run("dkview", {"-S", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> d = Fields(Lines(run.out).at(0));
    ASSERT_EQ(d.size(), 18u) << run.out;
    EXPECT_EQ(d[6], "6");  // members: the spare is one now
    EXPECT_EQ(d[7], "1");  // other drives: the failed one
    EXPECT_EQ(d[8], "0");  // no spare left
}

TEST_F(ProgramsOnServiceTest, DkmendStopsAndStartsTheRebuildTheArrayRuns) {
    ProgramResult run = Run("dkmend", {"-a", "off", "-P", "high", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_FALSE(Bit(Cabinet(0).page21, k21Flags, 0x08));
    EXPECT_FALSE(Bit(Cabinet(0).page21, k21Transfer, 0x20));
    run = Run("dkmend", {"-r", "CABINET1"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.err, HasSubstr(Mark(9, 14)));

    // A failed member: the spare in A4 is rebuilt onto at once.
    ASSERT_EQ(Strovsim({"fail-drive", "0", "A1"}), 0);
    ASSERT_EQ(Strovsim({"advance", "1000"}), 0);
    run = Run("dkmend", {"-p", "-S", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.substr(0, 5), "12:1:") << run.out;

    run = Run("dkmend", {"-c", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, Mark(7, 5) + " The rebuild has stopped.\n");
    EXPECT_TRUE(Cabinet(0).rebuildStopped);
    run = Run("dkmend", {"-p", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr(Mark(7, 14) + "    Rebuild needed:      " + Mark(7, 10)));
    EXPECT_THAT(run.out, HasSubstr(Mark(7, 19)));

    run = Run("dkmend", {"-r", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, Mark(7, 4) + " The rebuild has started.\n");
    EXPECT_FALSE(Cabinet(0).rebuildStopped);
    EXPECT_THAT(Shown(0), HasSubstr("  operation "));
    // While it runs no further rebuild is needed.
    run = Run("dkmend", {"-r", "CABINET1"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.err, HasSubstr(Mark(9, 14)));
    EXPECT_FALSE(Cabinet(0).rebuildStopped);
}

TEST_F(ProgramsOnServiceTest, DkwipeFormatsTheArray) {
    ASSERT_TRUE(Cabinet(1).luns[0].present);
    const ProgramResult run = Run("dkwipe", {"-F", "-h", "CABINET2"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // dkwipe ends once the array has started the format, and says so.
    EXPECT_EQ(run.out,
              Mark(4, 4) + " Starting the format of the array, with the format pattern ... \n");
    EXPECT_THAT(Run("dkwipe", {"-?"}).out,
                HasSubstr(Mark(4, 12) + " the array is lost. dkwipe only starts the format"));
    sim::CabinetModel cabinet = Cabinet(1);
    EXPECT_EQ(cabinet.state, sim::kSubsysFormatting);
    ASSERT_EQ(cabinet.operations.size(), 1u);
    EXPECT_EQ(cabinet.operations[0].target, 1);  // with the pattern
    for (const sim::LunModel& lun : cabinet.luns) {
        EXPECT_FALSE(lun.present);
    }
    ASSERT_EQ(Strovsim({"advance", "60000"}), 0);
    EXPECT_NE(Cabinet(1).state, sim::kSubsysFormatting);
    // The first cabinet is untouched.
    EXPECT_TRUE(Cabinet(0).luns[0].present);
}

TEST_F(ProgramsOnServiceTest, DkwatchAndDkprobeReadTheArraysState) {
    ProgramResult run = Run("dkwatch", {"CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
    run = Run("dkwatch", {"-D", "A1", "-c", "CABINET1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, Mark(8, 45) + " No test runs on drive A1.\n");
    // A member holds the array's data; B6 holds no drive.
    run = Run("dkprobe", {"-D", "A1", "-w", "10", "CABINET1"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_THAT(run.err, HasSubstr("dkprobe:  " + Mark(9, 139)));
    run = Run("dkprobe", {"-D", "B6", "-w", "10", "CABINET1"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_THAT(run.err, HasSubstr("dkprobe:  " + Mark(9, 140)));
}

// Both cabinets answer to one alias, as two hosts' arrays may when the
// service that named them did not serve the other.
class SharedAliasTest : public ProgramsOnServiceTest {
  protected:
    void Prepare(sim::WorldModel& world) override {
        world.cabinets.at(1).alias = world.cabinets.at(0).alias;
    }
};

TEST_F(SharedAliasTest, AnAliasOfTwoArraysChangesNeither) {
    ProgramResult run = Run("dktune", {"-w", "off", "CABINET1"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_THAT(run.err, HasSubstr(Mark(10, 41)));
    EXPECT_TRUE(Bit(Cabinet(0).page08, k08Cache, 0x04));
    EXPECT_TRUE(Bit(Cabinet(1).page08, k08Cache, 0x04));
    run = Run("dklayout", {"-L", "1", "-d", "CABINET1"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(Cabinet(0).luns[1].present);
    EXPECT_TRUE(Cabinet(1).luns[1].present);

    // The serial numbers still name one array each.
    run = Run("dktune", {"-w", "off", "QX0000000002"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Bit(Cabinet(0).page08, k08Cache, 0x04));
    EXPECT_FALSE(Bit(Cabinet(1).page08, k08Cache, 0x04));
}

}  // namespace
}  // namespace clitest
