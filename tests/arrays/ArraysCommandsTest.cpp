// Every StorSys member against strovsim: what the replies decode to is what
// strovsim reports of its cabinets, and what the actions do shows in the
// following reads and in strovsim's own view.
#include <cstring>

#include "ArraysFixture.h"

namespace arrays_test {
namespace {

// The vendor code a refused management request carries (sense bytes 19..20).
std::uint32_t VendorCode(const ScsiResult& r) {
    return r.senseLength >= 21 ? (std::uint32_t(r.sense[19]) << 8) | r.sense[20] : 0xFFFFFFFFu;
}

bool IsRefusal(const ScsiResult& r, std::uint32_t code) {
    return r.result == ScsiResult::kScsiStatus && r.status == 0x02 && r.SenseKey() == 5 &&
           r.Asc() == 0x26 && r.Ascq() == 0x02 && VendorCode(r) == code;
}

TEST_F(ArraysTest, ReadsDecodeWhatTheCabinetHolds) {
    std::vector<ShownCabinet> shown = Show();
    ASSERT_EQ(shown.size(), 2u);
    const ShownCabinet& cab = shown[0];
    ASSERT_NE(RecordOf(0, 0), nullptr);
    ASSERT_NE(RecordOf(0, 1), nullptr);
    StorSys x(RecordOf(0, 0));
    StorSys y(RecordOf(0, 1));
    ScsiResult r;

    IdentityPage identity;
    ASSERT_EQ(x.ReadIdentityPage(0, identity, r), 1);
    EXPECT_STREQ(identity.productCode, "QRVZX-4003");
    EXPECT_EQ(identity.formatLevel, 3u);
    EXPECT_EQ(x.FormatLevel(), 3u);
    ASSERT_EQ(y.ReadIdentityPage(0, identity, r), 1);

    InquiryData inquiry;
    ASSERT_EQ(x.StandardInquiry(0, inquiry, r), 1);
    EXPECT_EQ(inquiry.peripheral, 0u);
    EXPECT_EQ(inquiry.version, 2u);
    EXPECT_EQ(std::string(inquiry.vendor).substr(0, 8), "STROVANE");

    UnitSerialPage xs, ys;
    ASSERT_EQ(x.ReadUnitSerialPage(0, xs, r), 1);
    ASSERT_EQ(y.ReadUnitSerialPage(0, ys, r), 1);
    EXPECT_EQ(xs.serial, cab.controllerSerial[0]);
    EXPECT_EQ(xs.partnerSerial, cab.controllerSerial[1]);
    EXPECT_EQ(ys.serial, cab.controllerSerial[1]);
    EXPECT_EQ(xs.backplaneId, cab.serial);
    EXPECT_EQ(ys.backplaneId, cab.serial);
    EXPECT_EQ(cab.active, 'X');
    EXPECT_EQ(xs.active, 1u);
    EXPECT_EQ(ys.active, 0u);

    std::uint8_t present[8];
    ASSERT_EQ(x.ReadLunMap(0, present, r), 1);
    for (int l = 0; l < 8; ++l) {
        EXPECT_EQ(present[l] != 0, cab.lunBlocks.count(l) == 1) << l;
    }
    LunTableEntry luns[8];
    ASSERT_EQ(x.ReadLunTable(luns, r), 1);
    std::uint64_t lunTotal = 0;
    for (int l = 0; l < 8; ++l) {
        auto it = cab.lunBlocks.find(l);
        EXPECT_EQ(luns[l].blocks, it == cab.lunBlocks.end() ? 0u : it->second) << l;
        EXPECT_EQ(luns[l].status, it == cab.lunBlocks.end() ? 0u : 1u) << l;
        lunTotal += luns[l].blocks;
    }
    // The raw list: length field L = 1 + 8 entries of 8 bytes, then S = 8.
    std::vector<unsigned char> raw23;
    ASSERT_EQ(x.ReadList23(0, raw23, r), 1);
    ASSERT_EQ(raw23.size(), 67u);
    EXPECT_EQ((raw23[0] << 8) | raw23[1], 65);
    EXPECT_EQ(raw23[2], 8);
    EXPECT_EQ(raw23[3], 0);  // entry 0 is LUN 0
    ASSERT_EQ(x.ReadList23(2, raw23, r), 0);
    EXPECT_EQ(r.SenseKey(), 5);
    EXPECT_EQ(r.Asc(), 0x24);
    std::uint32_t lastBlock = 0, blockLength = 0;
    ASSERT_EQ(x.ReadCapacity(0, lastBlock, blockLength, r), 1);
    EXPECT_EQ(lastBlock, cab.lunBlocks.at(0) - 1);
    EXPECT_EQ(blockLength, 512u);

    DriveTableEntry drives[12];
    std::uint32_t count = 0;
    ASSERT_EQ(x.ReadPhysicalDriveList(drives, &count, r), 1);
    ASSERT_EQ(count, cab.drives.size());
    int members = 0;
    std::uint32_t smallest = 0xFFFFFFFFu;
    for (std::uint32_t i = 0; i < count; ++i) {
        const DriveTableEntry& d = drives[i];
        ASSERT_EQ(cab.drives.count(int(d.address)), 1u) << d.address;
        const ShownDrive& s = cab.drives.at(int(d.address));
        EXPECT_EQ(Trim(d.serial), s.serial);
        EXPECT_EQ(d.state, std::uint32_t(s.state));
        EXPECT_EQ(d.lastBlock, s.blocks - 1);
        EXPECT_EQ(std::string(d.productId).substr(0, 7), "QD-9100");
        EXPECT_EQ(DriveStateOf(x, std::uint8_t(d.address)), std::uint32_t(s.state));
        if (s.state == 0) {
            ++members;
            smallest = std::min(smallest, s.blocks);
        }
    }
    EXPECT_EQ(DriveStateOf(x, 11), 1u);  // no drive in B6

    MissingDriveEntry missing[6];
    ASSERT_EQ(x.ReadMissingDrives(missing, &count, r), 1);
    EXPECT_EQ(count, 0u);

    std::uint32_t free = 0, blockSize = 0;
    ASSERT_EQ(x.ReadVirtualCapacity(free, blockSize, r), 1);
    EXPECT_EQ(blockSize, 512u);
    EXPECT_EQ(free, std::uint64_t(members - 1) * smallest - lunTotal);

    CabinetStatusRecord status;
    ASSERT_EQ(x.ReadCabinetStatus(0, status, r), 1);
    EXPECT_EQ(status.word[1], std::uint32_t(members / 2) * smallest);  // RAID 1 blocks
    EXPECT_EQ(status.slotCount, 12u);
    for (int s = 0; s < 12; ++s) {
        EXPECT_EQ(status.word[43 + s], cab.drives.count(s) ? 1u : 0u) << s;
    }
    // The partner answers for itself through ctl 1, with the same cabinet.
    CabinetStatusRecord partner;
    ASSERT_EQ(x.ReadCabinetStatus(1, partner, r), 1);
    EXPECT_EQ(partner.word[1], status.word[1]);

    EXPECT_EQ(SubsystemStateOf(x), std::uint32_t(cab.state));
    EXPECT_EQ(cab.state, 0);

    std::vector<unsigned char> raw;
    ASSERT_EQ(x.ReadRawPage(raw, r), 1);
    ASSERT_GE(raw.size(), 3u);
    EXPECT_EQ(std::size_t((raw[0] << 8) | raw[1]) + 2, raw.size());
    EXPECT_EQ(raw[2], 0);  // answered by X
    // Tag 2: controller status by slot, X and Y both good (active or not).
    bool found = false;
    for (std::size_t at = 3; at + 1 < raw.size(); at += 2 + raw[at + 1]) {
        if (raw[at] == 2 && raw[at + 1] == 2 && at + 3 < raw.size()) {
            EXPECT_EQ(raw[at + 2], 1);
            EXPECT_EQ(raw[at + 3], 1);
            found = true;
        }
    }
    EXPECT_TRUE(found);
    ASSERT_EQ(y.ReadRawPage(raw, r), 1);
    EXPECT_EQ(raw[2], 1);

    char alias[17];
    std::uint32_t aliasLength = 0;
    ASSERT_EQ(x.ReadAlias(alias, aliasLength, r), 1);
    EXPECT_EQ(alias, cab.alias);
    EXPECT_EQ(aliasLength, cab.alias.size());

    // Usage counters belong to the cabinet: a command through either
    // controller counts, and either controller reports the same numbers.
    std::uint32_t first[4], second[4], third[4];
    ASSERT_EQ(x.ReadControllerStatus(0, first, r), 1);
    ASSERT_EQ(x.ReadControllerStatus(0, second, r), 1);
    EXPECT_EQ(second[0], first[0] + 1);
    ASSERT_EQ(y.ReadControllerStatus(0, third, r), 1);
    EXPECT_EQ(third[0], first[0] + 2);
    ASSERT_EQ(x.ReadControllerStatus(1, third, r), 1);
    EXPECT_EQ(third[0], first[0] + 3);

    ASSERT_EQ(x.TestUnitReady(0, r), 1);
    ASSERT_EQ(x.TestUnitReadyDirect(0, r), 1);
    unsigned char sense[26];
    ASSERT_EQ(x.ReadSense(0, sense, r), 1);
    EXPECT_EQ(sense[0], 0x70);
    EXPECT_EQ(sense[2] & 0x0F, 0);
    EXPECT_EQ(sense[7], 18);
}

TEST_F(ArraysTest, DriveActionsChangeTheDriveStates) {
    // Cabinet 1: members A1..B2, a spare in A3.
    std::vector<ShownCabinet> shown = Show();
    ASSERT_EQ(shown.size(), 2u);
    ASSERT_EQ(shown[1].drives.at(4).state, 8);
    StorSys s(RecordOf(1, 0));
    ScsiResult r;
    IdentityPage identity;
    ASSERT_EQ(s.ReadIdentityPage(0, identity, r), 1);

    // A drive pulled with strovsim: the slot reads empty, the drive is
    // listed as missing, and the spare takes its place.
    const std::string pulled = shown[1].drives.at(1).serial;
    ASSERT_EQ(Cli({"pull", "1", "B1"}), 0);
    EXPECT_EQ(DriveStateOf(s, 1), 1u);
    EXPECT_EQ(DriveStateOf(s, 4), 9u);  // rebuilding onto the spare
    EXPECT_EQ(SubsystemStateOf(s), 1u);
    MissingDriveEntry missing[6];
    std::uint32_t count = 0;
    ASSERT_EQ(s.ReadMissingDrives(missing, &count, r), 1);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(Trim(missing[0].serial), pulled);
    EXPECT_EQ(missing[0].lastBlock, shown[1].drives.at(1).blocks - 1);
    // The same drive put back: no longer missing, and not a member yet.
    ASSERT_EQ(Cli({"insert", "1", "B1", pulled}), 0);
    EXPECT_EQ(DriveStateOf(s, 1), 2u);
    ASSERT_EQ(s.ReadMissingDrives(missing, &count, r), 1);
    EXPECT_EQ(count, 0u);

    // While the rebuild runs, a member may go down only with an allowance.
    EXPECT_EQ(s.DownPhysicalDrive(0, 0, 0, r), 0);
    EXPECT_TRUE(IsRefusal(r, 36)) << r.status << " " << VendorCode(r);
    EXPECT_EQ(DriveStateOf(s, 0), 0u);
    ASSERT_EQ(s.DownPhysicalDrive(0, 1, 0, r), 1);
    EXPECT_EQ(DriveStateOf(s, 0), 3u);
    // Reset brings a down drive back as not a member; include makes it one
    // again, under the cabinet's volume set.
    const char volumeSet[17] = "VOLSET-TEST-0001";
    ASSERT_EQ(s.WriteVolumeSetId(volumeSet, false, r), 1);
    ASSERT_EQ(s.ResetPhysicalDrive(0, r), 1);
    EXPECT_EQ(DriveStateOf(s, 0), 2u);
    ASSERT_EQ(s.AddPhysicalDrive(0, r), 1);
    EXPECT_NE(DriveStateOf(s, 0), 2u);
    DriveTableEntry drives[12];
    ASSERT_EQ(s.ReadPhysicalDriveList(drives, &count, r), 1);
    ASSERT_GE(count, 1u);
    EXPECT_EQ(drives[0].address, 0u);
    EXPECT_STREQ(drives[0].volumeSetId, volumeSet);

    // Including a member is refused (19); a failed drive is refused (47)
    // until a reset brings it back as not a member.
    ASSERT_EQ(s.AddPhysicalDrive(2, r), 0);
    EXPECT_TRUE(IsRefusal(r, 19)) << VendorCode(r);
    ASSERT_EQ(Cli({"fail-drive", "1", "B2"}), 0);
    EXPECT_EQ(DriveStateOf(s, 3), 4u);
    ASSERT_EQ(s.AddPhysicalDrive(3, r), 0);
    EXPECT_TRUE(IsRefusal(r, 47)) << VendorCode(r);
    ASSERT_EQ(s.ResetPhysicalDrive(3, r), 1);
    EXPECT_EQ(DriveStateOf(s, 3), 2u);
    // An empty slot is an invalid field.
    ASSERT_EQ(s.AddPhysicalDrive(11, r), 0);
    EXPECT_EQ(r.SenseKey(), 5);
    EXPECT_EQ(r.Asc(), 0x24);
    // Spinning up a running drive changes nothing.
    ASSERT_EQ(s.SpinUpPhysicalDrive(2, r), 1);
    EXPECT_EQ(DriveStateOf(s, 2), 0u);

    // A hot spare may be downed (cabinet 0's spare in A4).
    StorSys other(RecordOf(0, 0));
    ASSERT_EQ(DriveStateOf(other, 6), 8u);
    ASSERT_EQ(other.DownPhysicalDrive(0, 0, 6, r), 1);
    EXPECT_EQ(DriveStateOf(other, 6), 3u);
    EXPECT_EQ(Show()[0].drives.at(6).state, 3);
}

TEST_F(ArraysTest, LunActionsChangeTheLunTable) {
    StorSys s(RecordOf(0, 0));
    ScsiResult r;
    std::uint32_t freeBefore = 0, freeAfter = 0, blockSize = 0;
    ASSERT_EQ(s.ReadVirtualCapacity(freeBefore, blockSize, r), 1);

    unsigned char descriptor[6];
    StorSys::MakeLunDescriptor(3, 100, descriptor);
    ASSERT_EQ(s.CreateLun(descriptor, r), 1);
    std::uint8_t present[8];
    ASSERT_EQ(s.ReadLunMap(0, present, r), 1);
    EXPECT_EQ(present[3], 1);
    LunTableEntry luns[8];
    ASSERT_EQ(s.ReadLunTable(luns, r), 1);
    EXPECT_EQ(luns[3].blocks, 100u * 1024);
    EXPECT_EQ(Show()[0].lunBlocks.at(3), 100u * 1024);
    ASSERT_EQ(s.ReadVirtualCapacity(freeAfter, blockSize, r), 1);
    EXPECT_EQ(freeAfter, freeBefore - 100u * 1024);
    // Again: the LUN exists (16); more than the free capacity (18).
    ASSERT_EQ(s.CreateLun(descriptor, r), 0);
    EXPECT_TRUE(IsRefusal(r, 16));
    StorSys::MakeLunDescriptor(4, freeAfter / 1024 + 1, descriptor);
    ASSERT_EQ(s.CreateLun(descriptor, r), 0);
    EXPECT_TRUE(IsRefusal(r, 18));

    ASSERT_EQ(s.RenumberLun(3, 5, r), 1);
    ASSERT_EQ(s.ReadLunMap(0, present, r), 1);
    EXPECT_EQ(present[3], 0);
    EXPECT_EQ(present[5], 1);
    ASSERT_EQ(s.RenumberLun(5, 0, r), 0);
    EXPECT_TRUE(IsRefusal(r, 17));

    // Data written to a LUN reads back; FORMAT UNIT clears it.
    std::vector<unsigned char> out(2 * 512), in(2 * 512);
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<unsigned char>(i * 7 + 1);
    }
    ASSERT_EQ(s.WriteBlocks(5, 10, 2, out.data(), 1024, r), 1);
    ASSERT_EQ(s.ReadBlocks(5, 10, 2, in.data(), 1024, r), 1);
    EXPECT_EQ(in, out);
    out[0] ^= 0xFF;
    ASSERT_EQ(s.WriteVerifyBlocks(5, 10, 1, out.data(), 512, r), 1);
    ASSERT_EQ(s.VerifyBlocks(5, 10, 2, r), 1);
    ASSERT_EQ(s.ReadBlocks(5, 10, 1, in.data(), 512, r), 1);
    EXPECT_EQ(in[0], out[0]);
    ASSERT_EQ(s.StartStopUnit(5, true, r), 1);
    ASSERT_EQ(s.FormatUnit(5, r), 1);
    ASSERT_EQ(s.ReadBlocks(5, 10, 1, in.data(), 512, r), 1);
    EXPECT_EQ(in[0], 0);
    // A LUN that does not exist: LUN not supported.
    ASSERT_EQ(s.ReadBlocks(6, 0, 1, in.data(), 512, r), 0);
    EXPECT_EQ(r.Asc(), 0x25);

    // Deleting takes its time; then the LUN is gone.
    ASSERT_EQ(s.DeleteLun(5, r), 1);
    ASSERT_EQ(Cli({"advance", "10000"}), 0);
    ASSERT_EQ(s.ReadLunMap(0, present, r), 1);
    EXPECT_EQ(present[5], 0);
    EXPECT_EQ(Show()[0].lunBlocks.count(5), 0u);
    ASSERT_EQ(s.DeleteLun(5, r), 0);
    EXPECT_TRUE(IsRefusal(r, 16));
}

TEST_F(ArraysTest, AliasAndModePagesRoundTrip) {
    StorSys x(RecordOf(0, 0));
    StorSys y(RecordOf(0, 1));
    ScsiResult r;
    IdentityPage identity;
    ASSERT_EQ(x.ReadIdentityPage(0, identity, r), 1);
    ASSERT_EQ(y.ReadIdentityPage(0, identity, r), 1);

    const char alias[12] = {'N', 'E', 'W', ' ', 'N', 'A', 'M', 'E', 0, 0, 0, 0};
    ASSERT_EQ(x.WriteAlias(alias, r), 1);
    char text[17];
    std::uint32_t length = 0;
    ASSERT_EQ(y.ReadAlias(text, length, r), 1);  // one alias per cabinet
    EXPECT_STREQ(text, "NEW NAME");
    EXPECT_EQ(length, 8u);
    EXPECT_EQ(Show()[0].alias, "NEW NAME");
    // Below format level 3 the alias is not asked for.
    y.SetFormatLevel(2);
    ClearTrace(PathOf(0, 1));
    ASSERT_EQ(y.ReadAlias(text, length, r), 1);
    EXPECT_EQ(length, 0u);
    EXPECT_TRUE(TraceOf(PathOf(0, 1)).empty());

    bool wce = false, rcd = true;
    ASSERT_EQ(x.WriteCachingPage(0, true, false, r), 1);
    ASSERT_EQ(y.ReadCachingPage(0, wce, rcd, r), 1);
    EXPECT_TRUE(wce);
    EXPECT_FALSE(rcd);
    ASSERT_EQ(x.WriteCachingPage(0, false, true, r), 1);
    ASSERT_EQ(x.ReadCachingPage(0, wce, rcd, r), 1);
    EXPECT_FALSE(wce);
    EXPECT_TRUE(rcd);

    ModePage21Record p21;
    ASSERT_EQ(x.ReadModePage21(0, p21, r), 1);
    EXPECT_EQ(p21.word[1], 0u);   // the subsystem state
    EXPECT_EQ(p21.word[18], 0u);  // X's target id
    EXPECT_EQ(p21.word[17], 1u);  // Y's target id
    ModePage21Record want = p21;
    want.word[2] = 1;
    want.word[10] = 1;  // read the controller log on refresh
    want.word[23] = 9;
    want.word[24] = 0x1234;
    want.word[26] = 0xBEEF;
    want.word[27] = 13;  // the type id is the controller's: it keeps its own
    ASSERT_EQ(x.WriteModePage21(0, want, 0, r), 1);
    ModePage21Record got;
    ASSERT_EQ(y.ReadModePage21(0, got, r), 1);
    for (int w = 1; w < 27; ++w) {
        EXPECT_EQ(got.word[w], want.word[w]) << "word " << w;
    }
    EXPECT_EQ(got.word[27], 12u);
    EXPECT_EQ(y.PageKind(), 2u);

    ModePage22Record p22;
    p22.word[1] = 0x01020304;
    p22.word[2] = 0xA0B0C0D0;
    p22.word[3] = 1;
    p22.word[5] = 7;
    p22.word[6] = 9;
    p22.word[8] = 1;
    p22.word[12] = 2;
    p22.word[16] = 0x55;
    ASSERT_EQ(x.WriteModePage22(0, p22, r), 1);
    ModePage22Record back;
    ASSERT_EQ(x.ReadModePage22(0, back, r), 1);
    for (int w = 1; w < 17; ++w) {
        EXPECT_EQ(back.word[w], p22.word[w]) << "word " << w;
    }
}

TEST_F(ArraysTest, ControllerLogIsReadAndConsumed) {
    StorSys s(RecordOf(0, 0));
    ScsiResult r;
    ASSERT_EQ(Cli({"log", "0", "77", "A2"}), 0);
    ASSERT_EQ(Cli({"log", "0", "78", "B3"}), 0);
    unsigned char log[4096];
    std::uint32_t length = 0;
    ASSERT_EQ(s.ReadControllerLog(0, log, sizeof log, &length, r), 1);
    ASSERT_EQ(length, 3u + 2 * 18);
    EXPECT_EQ(log[0], 1);
    EXPECT_EQ((log[1] << 8) | log[2], 36);
    const unsigned char* e = log + 3;
    EXPECT_EQ(e[0], 0);  // kind 0: a drive event
    EXPECT_EQ((e[7] << 8) | e[8], 77);
    EXPECT_EQ(e[10], 2);  // A2
    EXPECT_EQ((e[18 + 7] << 8) | e[18 + 8], 78);
    EXPECT_EQ(e[18 + 10], 5);  // B3

    // An unflagged read leaves the entries; a flagged one takes them.
    ASSERT_EQ(s.ReadControllerLog(1, log, sizeof log, &length, r), 1);
    EXPECT_EQ(length, 39u);
    ASSERT_EQ(s.ReadControllerLog(1, log, sizeof log, &length, r), 1);
    EXPECT_EQ(length, 3u);
    ASSERT_EQ(Cli({"log", "0", "79", "A1"}), 0);
    ASSERT_EQ(s.ReadControllerLog(0, log, sizeof log, &length, r), 1);
    EXPECT_EQ(length, 21u);
    EXPECT_EQ((log[3 + 7] << 8) | log[3 + 8], 79);
}

TEST_F(ArraysTest, DriveExchangeReachesTheDriveInTheSlot) {
    std::vector<ShownCabinet> shown = Show();
    StorSys s(RecordOf(0, 0));
    ScsiResult r;
    const ShownDrive& a2 = shown[0].drives.at(2);

    unsigned char inquiry[36];
    std::uint32_t moved = 0;
    ASSERT_EQ(s.DriveInquiry(2, inquiry, &moved, r), 1);
    EXPECT_EQ(moved, 36u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(inquiry) + 8, 5), "QDISK");
    unsigned char page[64];
    ASSERT_EQ(s.DriveInquiryPage(2, 0x80, page, 4, &moved, r), 1);
    EXPECT_EQ(moved, 4u);
    EXPECT_EQ(page[3], 12);
    ASSERT_EQ(s.DriveInquiryPage(2, 0x80, page, 16, &moved, r), 1);
    page[16] = 0;
    EXPECT_EQ(Trim(reinterpret_cast<char*>(page) + 4), a2.serial);
    std::uint32_t last = 0, blockLength = 0;
    ASSERT_EQ(s.DriveReadCapacity(2, last, blockLength, r), 1);
    EXPECT_EQ(last, a2.blocks - 1);
    EXPECT_EQ(blockLength, 512u);
    ASSERT_EQ(s.DriveTestUnitReady(2, r), 1);

    std::vector<unsigned char> out(4 * 512), in(4 * 512, 0xEE);
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<unsigned char>(i ^ 0x5A);
    }
    ASSERT_EQ(s.DriveWrite(2, 1000, 4, out.data(), r), 1);
    ASSERT_EQ(s.DriveRead(2, 1000, 4, in.data(), r), 1);
    EXPECT_EQ(in, out);
    ASSERT_EQ(s.DriveWriteVerify(2, 1000, 1, out.data() + 512, r), 1);
    ASSERT_EQ(s.DriveRead(2, 1000, 1, in.data(), r), 1);
    EXPECT_TRUE(std::equal(in.begin(), in.begin() + 512, out.begin() + 512));
    ASSERT_EQ(s.DriveVerify(2, 1000, 4, r), 1);
    // Another drive does not hold that data.
    ASSERT_EQ(s.DriveRead(3, 1000, 1, in.data(), r), 1);
    EXPECT_EQ(in[0], 0);

    unsigned char defects[512];
    ASSERT_EQ(s.DriveReadDefectData(2, false, true, 5, defects, sizeof defects, &moved, r), 1);
    EXPECT_EQ(defects[1], 13);                           // grown list, physical-sector format
    EXPECT_EQ(((defects[2] << 8) | defects[3]) % 8, 0);  // whole 8-byte descriptors
    EXPECT_EQ(moved, sizeof defects);                    // the allocation, zero-padded

    unsigned char mode[64];
    ASSERT_EQ(s.DriveModeSense(2, true, 0x08, mode, 32, r), 1);
    const unsigned char select[] = {0, 0, 0, 0, 0x08, 0x0A, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(s.DriveModeSelect(2, 0x10, select, sizeof select, r), 1);

    unsigned char log[256];
    ASSERT_EQ(s.DriveLogSense(2, 0x00, log, sizeof log, &moved, r), 1);
    EXPECT_EQ(log[0] & 0x3F, 0);
    ASSERT_EQ(s.DriveLogSelect(2, 0x02, 1, nullptr, 0, r), 1);

    // The halves by hand: a second request replaces the first; a data phase
    // of the wrong direction is a sequence error; the phase consumes it.
    const unsigned char readCapacity[10] = {0x25};
    ASSERT_EQ(s.SendRequestBlock(0, ScsiCommand::kDataIn, 4, 8, readCapacity, 10, r), 1);
    unsigned char capacity[8];
    ASSERT_EQ(s.ExchangeReply(0, ScsiCommand::kDataIn, 8, capacity, &moved, r), 1);
    EXPECT_EQ(moved, 8u);
    EXPECT_EQ(capacity[6], 2);
    ASSERT_EQ(s.ExchangeReply(0, ScsiCommand::kDataIn, 8, capacity, &moved, r), 0);
    EXPECT_EQ(r.Asc(), 0x2C);
    // An empty slot answers at the data phase: not ready.
    const unsigned char tur[6] = {};
    ASSERT_EQ(s.SendRequestBlock(0, ScsiCommand::kNoData, 11, 0, tur, 6, r), 1);
    ASSERT_EQ(s.ExchangeReply(0, ScsiCommand::kNoData, 0, nullptr, &moved, r), 0);
    EXPECT_EQ(r.SenseKey(), 2);
    // A drive's own CHECK CONDITION comes in the controller's form.
    const unsigned char bad[6] = {0x12, 1, 0x99, 0, 8, 0};
    ASSERT_EQ(s.DriveCommand(2, bad, 6, ScsiCommand::kDataIn, page, 8, &moved, r), 0);
    EXPECT_EQ(r.SenseKey(), 5);
    EXPECT_EQ(r.Asc(), 0x80);
    ASSERT_GE(r.senseLength, 26u);
    EXPECT_EQ(r.sense[22] & 0x0F, 5);
    EXPECT_EQ(r.sense[23], 0x24);
    EXPECT_EQ(r.sense[25], 2);
}

}  // namespace
}  // namespace arrays_test
