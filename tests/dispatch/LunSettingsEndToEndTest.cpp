// Logical units and settings end to end: libqen in this process, OruServr in
// the console, strovsim serving the cabinets (fixture: RequestFixture.h).
// What the service reports is checked against what the simulator holds: its
// LUNs as `strovsim show` lists them, its mode pages and LUN data byte for
// byte as its state file keeps them.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "../sim/SimTestUtil.h"
#include "RequestFixture.h"
#include "coresys/common/PollMsg.h"
#include "platform/Clock.h"
#include "platform/scsi/ScsiDevice.h"
#include "sim/CabinetModel.h"
#include "sim/ModelJson.h"

namespace netsrvtest {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Error codes, qualifiers, modules and classes as the error table numbers them.
constexpr std::uint32_t kNoFail = 0, kCommandFailed = 1, kGoodNoDas = 3, kLockNotOwned = 7;
constexpr std::uint32_t kCreateLun = 10, kHotSpareUnavailable = 24, kHotSpareUnknown = 25,
                        kInvalidParameter = 26, kLunInquiry = 28, kModeSelect = 29, kModeSense = 30,
                        kNoLunExists = 31, kRenumberLun = 39, kScsiIdSetting = 45;
constexpr std::uint32_t kDeviceMgr = 4, kSubsystem = 5;
constexpr std::uint32_t kClassLunSetChanged = 7;

// The scan inquiry (identity page, 68 bytes) and the LUN map read as the
// trace shows them.
const std::string kScanInquiry = "cdb=1201e0004400";
const std::string kLunMapRead = "cdb=1201c0002400";

std::string Hex(const Bytes& bytes) {
    std::string out;
    char buf[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(buf, sizeof buf, "%02x ", b);
        out += buf;
    }
    return out;
}

std::uint8_t SenseByte(const oruerr& e, std::size_t at) {
    return static_cast<std::uint8_t>(e.SenseBytes()[at]);
}

// The vendor code of a refused request (sense bytes 19..20).
std::uint32_t VendorCode(const oruerr& e) {
    return (static_cast<std::uint32_t>(SenseByte(e, 19)) << 8) | SenseByte(e, 20);
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

// Another host's connection to one array path, as a second server would
// have. Like every host it sends a command again that met the unit
// attention of a changed LUN set.
class OtherHost {
  public:
    explicit OtherHost(const std::string& path) : device_(platform::OpenScsiDevice(path)) {}
    bool Open() const { return device_ != nullptr; }

    // The command's SCSI status, -1 when it was not delivered.
    int Run(const Bytes& cdb, platform::ScsiDirection direction = platform::ScsiDirection::None,
            Bytes data = {}) {
        platform::ScsiOutcome outcome;
        for (int run = 0; run < 3; ++run) {
            outcome = simtest::PassThrough(*device_, cdb, direction, data);
            const bool attention = outcome.systemError == 0 && outcome.scsiStatus == 0x02 &&
                                   outcome.senseLength >= 14 && (outcome.sense[2] & 0x0F) == 6 &&
                                   outcome.sense[12] == 0x3F && outcome.sense[13] == 0x0E;
            if (!attention) {
                break;
            }
        }
        return outcome.systemError != 0 ? -1 : outcome.scsiStatus;
    }
    int CreateLun(std::uint8_t lun, std::uint32_t units) {
        return Run(
            {0xE2, 0, 0, 0, 0, 0, 0, 0, 0, 0}, platform::ScsiDirection::Out,
            {lun, static_cast<std::uint8_t>(units >> 24), static_cast<std::uint8_t>(units >> 16),
             static_cast<std::uint8_t>(units >> 8), static_cast<std::uint8_t>(units), 0});
    }

  private:
    std::unique_ptr<platform::ScsiDevice> device_;
};

class LunSettingsTest : public ArrayRequestTest {
  protected:
    // Requests sent together, each refused alike.
    void ExpectAllRefused(const std::vector<CommandHandle>& handles, std::uint32_t errorCode,
                          std::uint32_t qualifier, std::uint32_t moduleId) {
        std::map<HandleKey, Outcome> outcomes = Await(*array_, handles);
        for (std::size_t i = 0; i < handles.size(); ++i) {
            SCOPED_TRACE("request " + std::to_string(i));
            ExpectRefused(outcomes[Key(handles[i])], errorCode, qualifier, moduleId);
        }
    }
    const DiskArrayState& State() { return *array_->GetStatePtr(); }

    // Cabinet 0 as the simulator's state file holds it.
    sim::CabinetModel Sim() {
        sim::WorldModel world;
        std::string error;
        EXPECT_TRUE(sim::ModelJson::FromText(root_.Read("sim/state.json"), &world, &error))
            << error;
        return world.cabinets.empty() ? sim::CabinetModel{} : world.cabinets[0];
    }
    // The "  lun ..." lines of `strovsim show` for cabinet 0.
    std::vector<std::string> SimLuns() {
        std::vector<std::string> luns;
        for (const std::string& line : Cabinet(0)) {
            if (line.rfind("  lun ", 0) == 0) {
                luns.push_back(line);
            }
        }
        return luns;
    }
    bool SimHasLun(int lun) {
        for (const std::string& line : SimLuns()) {
            if (line.rfind("  lun " + std::to_string(lun) + " ", 0) == 0) {
                return true;
            }
        }
        return false;
    }
    // Moves the simulator's (virtual) clock on a second at a time until the
    // unit is gone; a delete takes the array 10 simulated seconds.
    bool WaitForLunGone(int lun) {
        for (int second = 0; second <= 60; ++second) {
            if (!SimHasLun(lun)) {
                return true;
            }
            Strovsim({"advance", "1000"});
        }
        return false;
    }
    std::string Trace(const std::string& path) {
        std::string trace;
        Strovsim({"trace", path}, &trace);
        return trace;
    }
    // Device scans the service made: every scan asks the plain disk for the
    // identity page.
    std::size_t Scans() { return Count(Trace("PHYSICALDRIVE0"), kScanInquiry); }
    bool WaitForScans(std::size_t scans) {
        const std::uint64_t end = platform::MonotonicMs() + kLimitMs;
        while (Scans() < scans) {
            if (platform::MonotonicMs() > end) {
                return false;
            }
            platform::SleepMs(20);
        }
        return true;
    }
    // What both paths of cabinet 0's controller X received.
    std::string ControllerXTrace() { return Trace("PHYSICALDRIVE1") + Trace("STROVANE0"); }
    // Commands that change LUNs (create, delete, renumber, format) that
    // reached controller X.
    std::size_t LunChangesSent() {
        const std::string x = ControllerXTrace();
        return Count(x, "op=e2") + Count(x, "op=e3") + Count(x, "op=e5") + Count(x, "op=04");
    }
};

// The three mode pages as the simulator stores them (from the page code on:
// a MODE SENSE reply's byte n is byte n - 8 here).
struct Pages {
    Bytes p08, p21, p22;
    bool operator==(const Pages&) const = default;
};

std::string Describe(const Pages& p) {
    return "08: " + Hex(p.p08) + "\n21: " + Hex(p.p21) + "\n22: " + Hex(p.p22);
}

Pages PagesOf(const sim::CabinetModel& cab) {
    return {cab.page08, cab.page21, cab.page22};
}

Bytes& PageOf(Pages& p, int page) {
    return page == 0x08 ? p.p08 : page == 0x21 ? p.p21 : p.p22;
}

void SetBits(Pages& p, int page, std::size_t at, std::uint8_t mask, std::uint8_t value) {
    Bytes& bytes = PageOf(p, page);
    ASSERT_LT(at, bytes.size());
    bytes[at] = static_cast<std::uint8_t>((bytes[at] & ~mask) | (value & mask));
}

// --- logical units ---

TEST_F(LunSettingsTest, CreateRenumberFormatAndDeleteAgreeWithTheArray) {
    // 4 units of half a megabyte are 4096 blocks.
    ExpectDone(Do(array_->CreateLUN(3, 4)));
    EXPECT_TRUE(SimHasLun(3));
    EXPECT_NE(SimLuns().back().find(" blocks 4096"), std::string::npos) << SimLuns().back();
    // The events of the change reached the client before its reply.
    ASSERT_EQ(State().LunCount(), 8u);
    EXPECT_NE(State().luns[3].status, 0u);
    EXPECT_EQ(State().luns[3].capacity.blocks, 4096u);

    ExpectDone(Do(array_->RenumberLUN(3, 6)));
    EXPECT_FALSE(SimHasLun(3));
    EXPECT_TRUE(SimHasLun(6));
    EXPECT_EQ(State().luns[3].status, 0u);
    EXPECT_EQ(State().luns[6].capacity.blocks, 4096u);

    // Data on the unit, written by another host; the format clears it.
    OtherHost other("STROVANE0");
    ASSERT_TRUE(other.Open());
    ASSERT_EQ(other.Run({0x2A, 6 << 5, 0, 0, 0, 0, 0, 0, 1, 0}, platform::ScsiDirection::Out,
                        Bytes(512, 0x5A)),
              0);
    // The unit's blocks as the simulator keeps them, in its block file.
    auto blocks = [this]() {
        sim::LunModel unit = Sim().luns[6];
        EXPECT_EQ(unit.data.Bind(root_.Path() + "/sim/blocks", unit.blocks), 0);
        return unit.data;
    };
    ASSERT_EQ(blocks().Block(0), Bytes(512, 0x5A));
    ExpectDone(Do(array_->FormatLUN(6, 0)));
    EXPECT_TRUE(blocks().Empty());
    EXPECT_TRUE(Sim().luns[6].present);

    // The array takes a while to delete a unit; the service replies at once.
    ExpectDone(Do(array_->DeleteLUN(6)));
    ASSERT_TRUE(WaitForLunGone(6));
    ASSERT_EQ(Do(array_->GetState()).kind, RMT_STATE_MSG);
    EXPECT_EQ(State().luns[6].status, 0u);
    for (int lun = 0; lun < 8; ++lun) {
        EXPECT_EQ(State().luns[lun].status != 0, SimHasLun(lun)) << lun;
    }
}

TEST_F(LunSettingsTest, BadLunRequestsGetTheirRefusalAndChangeNothing) {
    const std::vector<std::string> before = SimLuns();
    const std::size_t changes = LunChangesSent();
    const std::size_t maps = Count(ControllerXTrace(), kLunMapRead);
    // Numbers past the LUN table are refused before anything is sent.
    ExpectAllRefused({array_->CreateLUN(8, 4), array_->DeleteLUN(8), array_->FormatLUN(8, 0),
                      array_->RenumberLUN(8, 1), array_->RenumberLUN(0, 8)},
                     kCommandFailed, kInvalidParameter, kDeviceMgr);
    EXPECT_EQ(Count(ControllerXTrace(), kLunMapRead), maps);
    // Absent units: only the LUN map was read.
    ExpectAllRefused({array_->DeleteLUN(5), array_->FormatLUN(5, 0), array_->RenumberLUN(5, 6)},
                     kCommandFailed, kNoLunExists, kDeviceMgr);
    EXPECT_EQ(Count(ControllerXTrace(), kLunMapRead), maps + 3);
    EXPECT_EQ(LunChangesSent(), changes);
    // What the array refuses comes back with its sense: the unit exists (16),
    // the new number is taken (17), no room (18), no capacity at all.
    Outcome exists = Do(array_->CreateLUN(0, 4));
    ExpectRefused(exists, kCommandFailed, kCreateLun, kSubsystem);
    EXPECT_EQ(VendorCode(exists.error), 16u);
    Outcome taken = Do(array_->RenumberLUN(0, 1));
    ExpectRefused(taken, kCommandFailed, kRenumberLun, kSubsystem);
    EXPECT_EQ(VendorCode(taken.error), 17u);
    Outcome room = Do(array_->CreateLUN(4, 0xFFFFFFFFu));
    ExpectRefused(room, kCommandFailed, kCreateLun, kSubsystem);
    EXPECT_EQ(VendorCode(room.error), 18u);
    Outcome none = Do(array_->CreateLUN(4, 0));
    ExpectRefused(none, kCommandFailed, kCreateLun, kSubsystem);
    EXPECT_EQ(SenseByte(none.error, 12), 0x26);
    EXPECT_EQ(SimLuns(), before);

    // The last unit number is a good one.
    ExpectDone(Do(array_->CreateLUN(7, 1)));
    EXPECT_TRUE(SimHasLun(7));
}

TEST_F(LunSettingsTest, AnUnreadableLunMapIsReportedAndNothingIsDeleted) {
    // Controller X (the active one) fails every read of its LUN map.
    ASSERT_EQ(Strovsim({"silence", "0", "X", "c0"}), 0);
    const std::size_t changes = LunChangesSent();
    Outcome o = Do(array_->DeleteLUN(0));
    ExpectRefused(o, kCommandFailed, kLunInquiry, kSubsystem);
    EXPECT_EQ(SenseByte(o.error, 2) & 0x0F, 4);
    EXPECT_TRUE(SimHasLun(0));
    EXPECT_EQ(LunChangesSent(), changes);
}

TEST_F(LunSettingsTest, AChangeByAnotherHostMakesTheNextLunCommandRescan) {
    OtherHost other("STROVANE0");
    ASSERT_TRUE(other.Open());
    const std::size_t scans = Scans();
    ASSERT_GE(scans, 1u);  // the service's start

    // Another host adds a unit: the service's next LUN command meets the
    // unit attention, runs again, succeeds, and the service rescans.
    ASSERT_EQ(other.CreateLun(4, 4), 0);
    ExpectDone(Do(array_->DeleteLUN(4)));
    EXPECT_TRUE(WaitForScans(scans + 1));
    const std::string x = ControllerXTrace();
    const std::size_t attention = x.find("op=e3");
    ASSERT_NE(attention, std::string::npos);
    EXPECT_EQ(x.substr(x.find("status=", attention), 9), "status=02");
    EXPECT_NE(x.find("op=e3", attention + 1), std::string::npos);
    ASSERT_TRUE(WaitForLunGone(4));

    // When the command then fails, the reply still says that the LUN set
    // changed (class 7), and the service rescans all the same.
    ASSERT_EQ(other.CreateLun(5, 4), 0);
    Outcome o = Do(array_->CreateLUN(5, 4));
    ExpectRefused(o, kCommandFailed, kCreateLun, kSubsystem);
    EXPECT_EQ(o.error.errorClass, kClassLunSetChanged);
    EXPECT_EQ(VendorCode(o.error), 16u);  // the last run: the unit exists
    EXPECT_TRUE(WaitForScans(scans + 2));

    // The service goes on serving the array.
    ExpectDone(Do(array_->RenumberLUN(5, 4)));
    EXPECT_TRUE(SimHasLun(4));
}

// --- settings ---

using OnOffRequest = CommandHandle (*)(DiskArray&, int);

struct OnOffSetting {
    const char* name;
    OnOffRequest send;
    int page;
    std::size_t at;  // in the stored page
    std::uint8_t bit;
    bool inverted;  // the page holds "disabled" (RCD)
};

const OnOffSetting kOnOffSettings[] = {
    {"hot spare", [](DiskArray& a, int on) { return a.Set_HotSpare(on); }, 0x21, 3, 0x40, false},
    {"auto rebuild", [](DiskArray& a, int on) { return a.Set_AutoRebuild(on); }, 0x21, 3, 0x08,
     false},
    {"auto include", [](DiskArray& a, int on) { return a.Set_AutoInclude(on); }, 0x21, 3, 0x04,
     false},
    {"rebuild priority", [](DiskArray& a, int on) { return a.Set_RebuildPriority(on); }, 0x21, 4,
     0x20, false},
    {"parity", [](DiskArray& a, int on) { return a.Set_Parity(on); }, 0x21, 4, 0x10, false},
    {"SDTR", [](DiskArray& a, int on) { return a.Set_SDTR(on); }, 0x21, 4, 0x08, false},
    {"WDTR", [](DiskArray& a, int on) { return a.Set_WTDR(on); }, 0x21, 4, 0x04, false},
    {"terminator power", [](DiskArray& a, int on) { return a.Set_TerminatorPower(on); }, 0x21, 4,
     0x02, false},
    {"format pattern fill", [](DiskArray& a, int on) { return a.Set_FormatPatternFill(on); }, 0x21,
     7, 0x20, false},
    {"disable remote reset", [](DiskArray& a, int on) { return a.Set_DisableRemoteReset(on); },
     0x21, 7, 0x10, false},
    {"read cache", [](DiskArray& a, int on) { return a.Set_ReadCacheEnable(on); }, 0x08, 2, 0x01,
     true},
    {"write cache", [](DiskArray& a, int on) { return a.Set_WriteCacheEnable(on); }, 0x08, 2, 0x04,
     false},
    {"single path failover", [](DiskArray& a, int on) { return a.Set_SinglePathFailover(on); },
     0x22, 10, 0x01, false},
    {"very early busy", [](DiskArray& a, int on) { return a.Set_VeryEarlyBusy(on); }, 0x22, 10,
     0x02, false},
};

TEST_F(LunSettingsTest, EveryOnOffSettingReachesItsBitAndNothingElse) {
    for (const OnOffSetting& s : kOnOffSettings) {
        // Any nonzero value turns a setting on.
        for (int value : {7, 0, 1, 0}) {
            SCOPED_TRACE(std::string(s.name) + " " + std::to_string(value));
            Pages want = PagesOf(Sim());
            const bool on = (value != 0) != s.inverted;
            SetBits(want, s.page, s.at, s.bit, on ? s.bit : 0);
            ExpectDone(Do(s.send(*array_, value)));
            const Pages got = PagesOf(Sim());
            EXPECT_EQ(got, want) << "got\n" << Describe(got) << "\nwant\n" << Describe(want);
        }
    }
    // The client's state speaks of enabling the read cache, whatever the
    // page holds: off now, and its disable bit set.
    ASSERT_EQ(Do(array_->GetState()).kind, RMT_STATE_MSG);
    ASSERT_TRUE(State().modeCache.has_value());
    EXPECT_EQ(State().modeCache->read_cache_enable, 0u);
    ExpectDone(Do(array_->Set_ReadCacheEnable(1)));
    EXPECT_EQ(Sim().page08[2] & 0x01, 0);
    ASSERT_EQ(Do(array_->GetState()).kind, RMT_STATE_MSG);
    EXPECT_EQ(State().modeCache->read_cache_enable, 1u);
}

TEST_F(LunSettingsTest, ValueSettingsAreStoredAsTheLayoutSays) {
    // Each request sets the bytes given at `at` of its page, and no others.
    auto run = [&](const char* name, auto send, int page, std::size_t at, Bytes bytes) {
        SCOPED_TRACE(name);
        Pages want = PagesOf(Sim());
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            SetBits(want, page, at + i, 0xFF, bytes[i]);
        }
        ExpectDone(Do(send()));
        const Pages got = PagesOf(Sim());
        EXPECT_EQ(got, want) << "got\n" << Describe(got) << "\nwant\n" << Describe(want);
    };
    DiskArray& a = *array_;
    // Capacity threshold: percent x 655.35, cut toward zero.
    run("threshold 3", [&] { return a.Set_CapacityThreshold(3); }, 0x21, 8, {0x07, 0xAE});
    run("threshold 100", [&] { return a.Set_CapacityThreshold(100); }, 0x21, 8, {0xFF, 0xFF});
    run("threshold 0", [&] { return a.Set_CapacityThreshold(0); }, 0x21, 8, {0x00, 0x00});
    // Controller X's address is byte 13, Y's byte 14 (the management lock is
    // the service's since its start).
    run("address X", [&] { return a.Set_ControllerAddress(0, 7); }, 0x21, 5, {7});
    run("address Y", [&] { return a.Set_ControllerAddress(1, 9); }, 0x21, 6, {9});
    run("address X any", [&] { return a.Set_ControllerAddress(0, 255); }, 0x21, 5, {255});
    run("queue full", [&] { return a.Set_QueueFullThreshold(0x01020304); }, 0x22, 6,
        {0x01, 0x02, 0x03, 0x04});
    run("LUN limit", [&] { return a.Set_CreateLunLimit(200); }, 0x22, 12, {200});
    // Resiliency: extension byte 18 bits 2, 3; byte 21 bits 6..1; byte 23.
    auto resiliency = [&](const char* name, int flag, PERF_GOAL goal, std::uint8_t b18,
                          std::uint8_t b21, std::uint8_t b23) {
        SCOPED_TRACE(name);
        Pages want = PagesOf(Sim());
        SetBits(want, 0x22, 10, 0x0C, b18);
        SetBits(want, 0x22, 13, 0x7E, b21);
        SetBits(want, 0x22, 15, 0xFF, b23);
        ExpectDone(Do(a.SetResiliencyParameters(flag, goal)));
        const Pages got = PagesOf(Sim());
        EXPECT_EQ(got, want) << "got\n" << Describe(got) << "\nwant\n" << Describe(want);
    };
    resiliency("goal 1", 0, static_cast<PERF_GOAL>(1), 0x0C, 0x20, 0);
    resiliency("goal 2", 0, static_cast<PERF_GOAL>(2), 0x0C, 0x28, 4);
    resiliency("goal 3", 0, static_cast<PERF_GOAL>(3), 0x04, 0x68, 1);
    resiliency("goal 3 single", 1, static_cast<PERF_GOAL>(3), 0x00, 0x68, 1);

    // The defaults: hot spare, auto rebuild and include on, partition off
    // (byte 11); parity, SDTR, WDTR, terminator power, unit attention on,
    // byte 12 bit 7 off (byte 12); addresses X 0, Y 1; byte 15 bits 7, 6 off
    // and language 1; threshold 1964; write working-set interval 6.
    Pages want = PagesOf(Sim());
    SetBits(want, 0x21, 3, 0x6C, 0x4C);
    SetBits(want, 0x21, 4, 0x9F, 0x1F);
    SetBits(want, 0x21, 5, 0xFF, 0);
    SetBits(want, 0x21, 6, 0xFF, 1);
    SetBits(want, 0x21, 7, 0xCF, 0x01);
    SetBits(want, 0x21, 8, 0xFF, 0x07);
    SetBits(want, 0x21, 9, 0xFF, 0xAC);
    SetBits(want, 0x21, 11, 0xFF, 0);
    SetBits(want, 0x21, 12, 0xFF, 6);
    ExpectDone(Do(a.ConfigureDefaultScsiSettings()));
    Pages got = PagesOf(Sim());
    EXPECT_EQ(got, want) << "got\n" << Describe(got) << "\nwant\n" << Describe(want);

    // The linkage changes nothing on the array.
    ExpectDone(Do(a.Set_Linkage(5)));
    EXPECT_EQ(PagesOf(Sim()), got);

    // The state the client reads says the same.
    ASSERT_EQ(Do(a.GetState()).kind, RMT_STATE_MSG);
    ASSERT_TRUE(State().modeSubsystem.has_value());
    EXPECT_EQ(State().modeSubsystem->cap_deplete_thresh, 1964u);
    EXPECT_EQ(State().modeSubsystem->ctrl_a_addr, 0u);
    EXPECT_EQ(State().modeSubsystem->ctrl_b_addr, 1u);
    ASSERT_TRUE(State().modeExtension.has_value());
    EXPECT_EQ(State().modeExtension->Value(2), 0x01020304u);
    EXPECT_EQ(State().modeExtension->Value(6), 200u);
}

TEST_F(LunSettingsTest, SettingsOutOfRangeAreRefusedAndNothingChanges) {
    const Pages before = PagesOf(Sim());
    DiskArray& a = *array_;
    // Values the page's field cannot hold are refused by the service.
    ExpectAllRefused(
        {a.Set_CapacityThreshold(101), a.Set_ControllerAddress(0, 256), a.Set_CreateLunLimit(256),
         a.SetResiliencyParameters(1, static_cast<PERF_GOAL>(1)),
         a.SetResiliencyParameters(1, static_cast<PERF_GOAL>(2)),
         a.SetResiliencyParameters(0, static_cast<PERF_GOAL>(4)),
         a.SetResiliencyParameters(0, static_cast<PERF_GOAL>(0))},
        kCommandFailed, kInvalidParameter, kDeviceMgr);
    // Addresses the bus cannot use (past 15, or the partner's) are refused
    // by the array, with its sense.
    for (std::uint32_t address : {16u, 1u}) {
        Outcome o = Do(a.Set_ControllerAddress(0, address));
        ExpectRefused(o, kCommandFailed, kModeSelect, kSubsystem);
        EXPECT_EQ(SenseByte(o.error, 2) & 0x0F, 5);
        EXPECT_EQ(SenseByte(o.error, 12), 0x26);
        EXPECT_EQ(SenseByte(o.error, 13), 0x02);
    }
    // A page that cannot be read is reported; nothing is written.
    ASSERT_EQ(Strovsim({"silence", "0", "X", "21"}), 0);
    ExpectRefused(Do(a.Set_Parity(1)), kCommandFailed, kModeSense, kSubsystem);
    const Pages after = PagesOf(Sim());
    EXPECT_EQ(after, before) << "got\n" << Describe(after) << "\nwant\n" << Describe(before);
}

TEST_F(LunSettingsTest, HotSpareOnTellsWhetherTheArrayCanProvideOne) {
    ExpectDone(Do(array_->Set_HotSpare(1)));
    // Without its spare the array takes the setting but cannot honour it.
    ASSERT_EQ(Strovsim({"pull", "0", "A4"}), 0);
    ExpectRefused(Do(array_->Set_HotSpare(1)), kNoFail, kHotSpareUnavailable, kDeviceMgr);
    EXPECT_EQ(Sim().page21[3] & 0x40, 0x40);
    ASSERT_TRUE(State().subsystemState.has_value());
    EXPECT_EQ(State().subsystemState->Value(5), 1u);
    // Asking for none needs no spare.
    ExpectDone(Do(array_->Set_HotSpare(0)));
    EXPECT_EQ(Sim().page21[3] & 0x40, 0);

    // A state that cannot be read after the write leaves the answer open.
    ASSERT_EQ(Strovsim({"fault", "*", "23", "3", "check", "4", "44", "0"}), 0);
    ExpectRefused(Do(array_->Set_HotSpare(1)), kGoodNoDas, kHotSpareUnknown, kSubsystem);
    EXPECT_EQ(Sim().page21[3] & 0x40, 0x40);
}

// The service starts while another host holds the host sequence, so it has
// not got the management lock.
class LockedOutTest : public LunSettingsTest {
  protected:
    void BeforeServer() override { ASSERT_EQ(Strovsim({"refuse", "0", "X", "30", "77"}), 0); }
};

TEST_F(LockedOutTest, ControllerAddressWaitsForTheManagementLock) {
    const Bytes before = Sim().page21;
    ExpectRefused(Do(array_->Set_ControllerAddress(0, 7)), kLockNotOwned, kScsiIdSetting,
                  kDeviceMgr);
    EXPECT_EQ(Sim().page21, before);
    ExpectDone(Do(array_->CompareAndSwap()));
    ExpectDone(Do(array_->Set_ControllerAddress(0, 7)));
    EXPECT_EQ(Sim().page21[5], 7);
}

}  // namespace
}  // namespace netsrvtest
