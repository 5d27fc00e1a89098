// dkview against the real service over the simulator's default cabinets:
// the raw records are checked against the simulator's own account of its
// configuration ("strovsim show").
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sstream>

#include "DkviewRun.h"
#include "NetServerFixture.h"

namespace dkviewtest {
namespace {

using ::testing::HasSubstr;

// One cabinet as "strovsim show" describes it.
struct SimCabinet {
    std::string serial;
    std::string alias;
    std::vector<std::string> controllerSerials;                           // X, Y
    std::map<std::string, std::pair<std::string, std::uint64_t>> drives;  // slot: serial, blocks
    std::map<unsigned, std::uint64_t> luns;                               // unit: blocks
};

std::vector<SimCabinet> ParseShow(const std::string& text) {
    static const std::regex cabinet(R"re(^cabinet \d+ (\S+) .* alias "([^"]*)")re");
    static const std::regex controller(R"(^  controller [XY] (\S+))");
    static const std::regex drive(R"(^  drive (\S+) (\S+) state \d+ blocks (\d+))");
    static const std::regex lun(R"(^  lun (\d+) .* blocks (\d+))");
    std::vector<SimCabinet> cabinets;
    for (const std::string& line : Lines(text)) {
        std::smatch m;
        if (std::regex_search(line, m, cabinet)) {
            cabinets.push_back({m[1], m[2], {}, {}, {}});
        } else if (cabinets.empty()) {
            continue;
        } else if (std::regex_search(line, m, controller)) {
            cabinets.back().controllerSerials.push_back(m[1]);
        } else if (std::regex_search(line, m, drive)) {
            cabinets.back().drives[m[1]] = {m[2], std::stoull(m[3])};
        } else if (std::regex_search(line, m, lun)) {
            cabinets.back().luns[static_cast<unsigned>(std::stoul(m[1]))] = std::stoull(m[2]);
        }
    }
    return cabinets;
}

class RealServiceTest : public netsrvtest::NetServerTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(StartSimulator());
        admin_ = ConfigureAdministration();
        StartServer();
        std::string shown;
        ASSERT_EQ(Strovsim({"show"}, &shown), 0);
        cabinets_ = ParseShow(shown);
        ASSERT_FALSE(cabinets_.empty()) << shown;
    }

    DkviewResult Dkview(const std::vector<std::string>& arguments) {
        return RunDkview(root_, arguments);
    }

    std::vector<SimCabinet> cabinets_;
    std::string admin_;
};

TEST_F(RealServiceTest, TheListHoldsEverySimulatedCabinet) {
    const DkviewResult run = Dkview({"-S", "-i"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::string expected = "I";
    for (const SimCabinet& cabinet : cabinets_) {
        expected += ":" + cabinet.serial;
    }
    EXPECT_EQ(run.out, expected + "\n");
}

// A rescan asks the service to look for new arrays and then reads the list
// again, by discovery on the subnet the registry names.
TEST_F(RealServiceTest, ARescanEndsWellAndTheListStaysWhole) {
    const DkviewResult rescan = Dkview({"-R"});
    EXPECT_EQ(rescan.exitCode, 0) << rescan.out << rescan.err;
    EXPECT_EQ(rescan.out, Mark(13, 159) + " Asking the service to look for new arrays.\n");
    const DkviewResult quiet = Dkview({"-R", "-S"});
    EXPECT_EQ(quiet.exitCode, 0) << quiet.err;
    EXPECT_EQ(quiet.out, "");
    const DkviewResult list = Dkview({"-S", "-i"});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    EXPECT_EQ(list.out.rfind("I:" + cabinets_[0].serial, 0), 0u) << list.out;
}

// The service serves twenty sessions at a time. The one beyond still gets
// its session id, closed in the same breath: dkview tells the refusal at its
// first try, and the service records a refusal, not an authorization.
TEST_F(RealServiceTest, ASessionBeyondTheLastPlaceIsToldAsARefusal) {
    const std::string serial = cabinets_[0].serial;
    std::vector<std::unique_ptr<netsrvtest::TcpProbe>> held;
    for (int i = 0; i < 20; ++i) {
        held.push_back(std::make_unique<netsrvtest::TcpProbe>());
        const std::uint32_t id = OpenSession(*held.back(), serial, admin_);
        ASSERT_NE(id, 0u);
        ASSERT_NE(id, 0xFFFFFFFFu);
    }
    const DkviewResult run = Dkview({serial});
    EXPECT_EQ(run.exitCode, 1) << run.out;
    EXPECT_THAT(run.err, HasSubstr(Mark(9, 324))) << run.err;
    const std::string refusal = "Warning - Management session to Strovane: " + serial;
    EXPECT_TRUE(testsupport::WaitForEventLogText(refusal, netsrvtest::kLimitMs));
    int refusals = 0;
    int authorized = 0;
    for (const std::string& text : testsupport::EventLogTexts()) {
        refusals += text.rfind(refusal, 0) == 0 ? 1 : 0;
        authorized += text.rfind("Management Authorization to Strovane: " + serial, 0) == 0;
    }
    EXPECT_EQ(refusals, 1) << "a refused session is not tried again";
    EXPECT_EQ(authorized, 20);
}

TEST_F(RealServiceTest, TheDrivesAreTheSimulatorsDrives) {
    const SimCabinet& cabinet = cabinets_[0];
    const DkviewResult run = Dkview({"-d", "-S", cabinet.alias});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::size_t present = 0;
    std::size_t lines = 0;
    for (const std::string& line : Lines(run.out)) {
        const std::vector<std::string> f = Fields(line);
        if (f.empty() || f[0] != "PD") {
            continue;
        }
        ++lines;
        ASSERT_GE(f.size(), 4u) << line;
        const auto known = cabinet.drives.find(f[1]);
        if (known == cabinet.drives.end()) {
            EXPECT_EQ(line, "PD:" + f[1] + ":1:" + cabinet.serial);
            continue;
        }
        ++present;
        ASSERT_EQ(f.size(), 14u) << line;
        EXPECT_EQ(f[3], "QDISK") << line;              // the vendor, from the drive's own INQUIRY
        EXPECT_EQ(f[8], known->second.first) << line;  // the drive's serial number
        // The controller reports the last block's number.
        EXPECT_EQ(std::stoull(f[6]) + 1, known->second.second) << line;
        EXPECT_EQ(f[12], cabinet.serial);
    }
    EXPECT_EQ(lines, 12u);
    EXPECT_EQ(present, cabinet.drives.size());
}

TEST_F(RealServiceTest, TheLogicalUnitsAndControllersAreTheSimulatorsOwn) {
    const SimCabinet& cabinet = cabinets_.back();
    const DkviewResult units = Dkview({"-l", "-S", cabinet.serial});
    ASSERT_EQ(units.exitCode, 0) << units.err;
    std::size_t existing = 0;
    for (const std::string& line : Lines(units.out)) {
        const std::vector<std::string> f = Fields(line);
        ASSERT_EQ(f.size(), 7u) << line;
        const unsigned unit = static_cast<unsigned>(std::stoul(f[3]));
        const bool simulated = cabinet.luns.count(unit) != 0;
        EXPECT_EQ(f[4], simulated ? "1" : "0") << line;
        if (simulated) {
            ++existing;
            EXPECT_EQ(std::stoull(f[5]), cabinet.luns.at(unit)) << line;
        }
    }
    EXPECT_EQ(existing, cabinet.luns.size());

    const DkviewResult controllers = Dkview({"-c", "-S", cabinet.serial});
    ASSERT_EQ(controllers.exitCode, 0) << controllers.err;
    const std::vector<std::string> lines = Lines(controllers.out);
    ASSERT_EQ(lines.size(), 2u) << controllers.out;
    for (std::size_t i = 0; i < 2; ++i) {
        const std::vector<std::string> f = Fields(lines[i]);
        ASSERT_EQ(f.size(), 15u) << lines[i];
        EXPECT_EQ(f[1], i == 0 ? "X" : "Y");
        EXPECT_EQ(f[8], cabinet.controllerSerials[i]);
        EXPECT_EQ(f[9], cabinet.controllerSerials[1 - i]);  // its partner
        EXPECT_EQ(f[14], cabinet.serial);
    }
}

TEST_F(RealServiceTest, TheSummaryCountsWhatTheSimulatorHolds) {
    const SimCabinet& cabinet = cabinets_[0];
    const DkviewResult run = Dkview({"-S", cabinet.alias});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> f = Fields(Lines(run.out).at(0));
    ASSERT_EQ(f.size(), 18u) << run.out;
    EXPECT_EQ(f[0], "D");
    EXPECT_EQ(f[3], cabinet.serial);
    EXPECT_EQ(f[4], cabinet.alias);
    EXPECT_EQ(std::stoul(f[5]), cabinet.drives.size());
    EXPECT_EQ(std::stoul(f[9]), cabinet.luns.size());
    EXPECT_EQ(f[17], cabinet.alias);
}

// Both controllers of a default cabinet are healthy, one active and one
// passive: the hardware record and the controller record say so alike.
TEST_F(RealServiceTest, AHealthyPassiveControllerNeverReadsAsFailed) {
    const SimCabinet& cabinet = cabinets_[0];
    const DkviewResult hardware = Dkview({"-h", "-S", cabinet.alias});
    ASSERT_EQ(hardware.exitCode, 0) << hardware.err;
    std::map<std::string, std::string> states;
    for (const std::string& line : Lines(hardware.out)) {
        const std::vector<std::string> f = Fields(line);
        ASSERT_EQ(f.size(), 5u) << line;
        states[f[3]] = f[4];
    }
    EXPECT_EQ(states["X"], "1") << hardware.out;
    EXPECT_EQ(states["Y"], "1") << hardware.out;

    const DkviewResult readable = Dkview({"-h", cabinet.alias});
    ASSERT_EQ(readable.exitCode, 0) << readable.err;
    EXPECT_EQ(readable.out.find(Mark(9, 191)), std::string::npos) << readable.out;  // "Failed"

    const DkviewResult controllers = Dkview({"-c", "-S", cabinet.alias});
    ASSERT_EQ(controllers.exitCode, 0) << controllers.err;
    const std::vector<std::string> lines = Lines(controllers.out);
    ASSERT_EQ(lines.size(), 2u) << controllers.out;
    const std::vector<std::string> x = Fields(lines[0]);
    const std::vector<std::string> y = Fields(lines[1]);
    ASSERT_EQ(y.size(), 15u) << lines[1];
    EXPECT_EQ(x[2], "1");
    EXPECT_EQ(y[2], "1");
    EXPECT_EQ(x[5], "1");  // active
    EXPECT_EQ(y[5], "0");  // present, not active
}

// The simulator's default cabinets are configured as a user would configure
// a healthy array: redundant, with the hot spare wanted that they hold.
TEST_F(RealServiceTest, TheDefaultCabinetsHaveTheSettingsOfAConfiguredArray) {
    for (const SimCabinet& cabinet : cabinets_) {
        SCOPED_TRACE(cabinet.serial);
        const DkviewResult run = Dkview({"-s", "-S", cabinet.serial});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::vector<std::string> f = Fields(Lines(run.out).at(0));
        ASSERT_EQ(f.size(), 48u) << run.out;
        auto field = [&f](int n) { return f[2 + n]; };
        EXPECT_EQ(field(35), "Normal") << run.out;  // resiliency
        EXPECT_EQ(field(10), "1");                  // hot spare wanted
        EXPECT_EQ(field(3), "1");                   // automatic rebuild
        EXPECT_EQ(field(4), "1");                   // automatic include
        EXPECT_EQ(field(11), "1");                  // log full warning
        EXPECT_EQ(field(12), "1");                  // write cache
        EXPECT_EQ(field(5), "1");                   // parity
        EXPECT_EQ(field(15), "90");                 // capacity warning, percent
        EXPECT_EQ(field(21), "0");                  // no rebuild in progress
        EXPECT_EQ(field(25), "0");                  // subsystem state: ready
        EXPECT_EQ(field(26), "0");                  // no conditions
    }
}

TEST_F(RealServiceTest, EveryReadableDisplayRunsToTheEnd) {
    const SimCabinet& cabinet = cabinets_[0];
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{"-a", "-V"}, {"-s"}, {"-h"}, {"-v"}, {"-A"}, {}}) {
        std::vector<std::string> line = arguments;
        line.push_back(cabinet.alias);
        const DkviewResult run = Dkview(line);
        EXPECT_EQ(run.exitCode, 0) << ::testing::PrintToString(line) << run.err;
        EXPECT_THAT(run.out, HasSubstr(Mark(13, 4) + " Serial number:       " + cabinet.serial));
    }
}

}  // namespace
}  // namespace dkviewtest
