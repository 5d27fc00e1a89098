// The scan against strovsim: every controller once, whichever of its paths a
// scan reaches first, the plain disk refused, and records of an earlier scan
// that no longer reach anything.
#include <cerrno>
#include <set>

#include "ArraysFixture.h"

namespace arrays_test {
namespace {

TEST_F(ArraysTest, ScanKeepsEachControllerOnceAndSkipsThePlainDisk) {
    ASSERT_EQ(scanResult.result, ScsiResult::kGood);
    std::vector<ShownCabinet> shown = Show();
    ASSERT_EQ(shown.size(), 2u);

    // Two cabinets x two controllers, each reached on two paths: four records.
    std::uint32_t records = 0;
    std::set<std::string> serials;
    for (const DeviceRecord* r = list; r != nullptr; r = r->next) {
        ++records;
        const ScsiDeviceTable::Entry* e = ScsiDeviceTable::Instance().At(r->deviceIndex);
        ASSERT_NE(e, nullptr);
        serials.insert(std::string(e->serial.begin(), e->serial.end()));
    }
    EXPECT_EQ(records, 4u);
    EXPECT_EQ(ScsiDeviceTable::Instance().Count(), 4u);
    std::set<std::string> expected;
    for (const auto& c : shown) {
        expected.insert(c.controllerSerial[0]);
        expected.insert(c.controllerSerial[1]);
    }
    EXPECT_EQ(serials, expected);

    // Each controller is kept under the first of its paths the scan reaches:
    // the PHYSICALDRIVE names; its STROVANE name is asked and dropped.
    for (int c = 0; c < 2; ++c) {
        for (int k = 0; k < 2; ++k) {
            ASSERT_NE(RecordOf(c, k), nullptr) << c << k;
            const std::string path = PathOf(c, k);
            EXPECT_EQ(path.rfind("PHYSICALDRIVE", 0), 0u) << path;
            StorSys storsys(RecordOf(c, k));
            UnitSerialPage page;
            ScsiResult result;
            ClearTrace(path);
            ASSERT_EQ(storsys.ReadUnitSerialPage(0, page, result), 1);
            EXPECT_EQ(page.serial, shown[c].controllerSerial[k]);
            EXPECT_EQ(TraceOf(path), std::vector<std::string>{"op=12 cdb=120180003000 status=00"});
        }
    }

    // The plain disk answered the identity page with CHECK CONDITION and was
    // never asked for its serial.
    std::vector<std::string> disk = TraceOf("PHYSICALDRIVE0");
    ASSERT_FALSE(disk.empty());
    EXPECT_EQ(disk[0], "op=12 cdb=1201e0004400 status=02");
    for (const auto& line : disk) {
        EXPECT_EQ(line.find("cdb=120180"), std::string::npos) << line;
    }
    // A second path of a kept controller was asked for its serial, then dropped.
    std::vector<std::string> second = TraceOf("STROVANE0");
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(second[0], "op=12 cdb=1201e0004400 status=00");
    EXPECT_EQ(second[1], "op=12 cdb=120180003000 status=00");
}

TEST_F(ArraysTest, ARescanFollowsPathsThatVanishAndRecordsOfTheOldScanFail) {
    ASSERT_NE(RecordOf(0, 0), nullptr);
    // The controller's first path goes away: the next scan finds it under
    // its second name, and the numbering stops at the gap.
    const std::string first = PathOf(0, 0);
    ASSERT_EQ(first, "PHYSICALDRIVE1");
    DeviceRecord old = *RecordOf(0, 0);
    ASSERT_EQ(Cli({"remove-path", first}), 0);

    // A command through a path that vanished fails as a system error.
    StorSys before(RecordOf(0, 0));
    ScsiResult result;
    InquiryData inquiry;
    EXPECT_EQ(before.StandardInquiry(0, inquiry, result), 0);
    EXPECT_EQ(result.result, ScsiResult::kSystemFailed);

    OpenArrayDevices(list, scanResult);
    ASSERT_EQ(scanResult.result, ScsiResult::kGood);
    // PHYSICALDRIVE1 missing ends the disk names there; the STROVANE names
    // still reach all four controllers.
    std::uint32_t records = 0;
    for (const DeviceRecord* r = list; r != nullptr; r = r->next) {
        ++records;
    }
    EXPECT_EQ(records, 4u);
    ASSERT_NE(RecordOf(0, 0), nullptr);
    StorSys after(RecordOf(0, 0));
    EXPECT_EQ(after.StandardInquiry(0, inquiry, result), 1);
    EXPECT_EQ(result.result, ScsiResult::kGood);

    // A copy of a record of the earlier scan names table entry 0, which the
    // new scan filled again (now through STROVANE0): the old record must
    // reach nothing, whatever the entry holds now.
    ASSERT_EQ(old.deviceIndex, 0u);
    ASSERT_EQ(PathOf(0, 0), "STROVANE0");
    StorSys stale(&old);
    ClearTrace("STROVANE0");
    EXPECT_EQ(stale.StandardInquiry(0, inquiry, result), 0);
    EXPECT_EQ(result.result, ScsiResult::kSystemFailed);
    EXPECT_EQ(result.status, static_cast<std::uint32_t>(ENODEV));
    EXPECT_TRUE(TraceOf("STROVANE0").empty());
}

}  // namespace
}  // namespace arrays_test
