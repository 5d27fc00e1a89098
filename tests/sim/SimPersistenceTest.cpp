// The state file and scenario files: what is written survives a new
// simulator, a damaged or hostile file is refused with a clear error, and a
// refused file never replaces good state.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "SimTestUtil.h"
#include "platform/Clock.h"
#include "platform/FileUtil.h"
#include "sim/DefaultScenario.h"

using namespace simtest;
using sim::SimDirection;

namespace {

class SimPersistence : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("simpersist." + std::to_string(::getpid()) + "." +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
        file = (dir / "state.json").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::filesystem::path dir;
    std::string file;
};

TEST_F(SimPersistence, ArraysAndDataSurviveANewSimulator) {
    {
        auto s = MakeSim(file);
        sim::SessionContext ses;
        ASSERT_EQ(Send(*s, "STROVANE0", ses, {0xE2, 0, 0, 0, 0, 0, 0, 0, 0, 0}, SimDirection::kOut,
                       0, {0x03, 0, 0, 0, 0x01, 0})
                      .status,
                  0);
        Bytes block(512, 0x77);
        ASSERT_EQ(Send(*s, "STROVANE0", ses, {0x2A, 3 << 5, 0, 0, 0, 4, 0, 0, 1, 0},
                       SimDirection::kOut, 0, block)
                      .status,
                  0);
        ASSERT_EQ(Send(*s, "STROVANE0", ses, {0xFD, 0, 0, 0, 0, 0, 0, 0, 0x0C, 0},
                       SimDirection::kOut, 0, Cat({Text("KEPT"), Zeros(8)}))
                      .status,
                  0);
        std::string answer;
        ASSERT_TRUE(s->Control("pull 0 A2", &answer));
        ASSERT_EQ(
            Send(*s, "STROVANE0", ses, {0xEE, 0, 0, 0, 0, 9, 0, 0, 0, 0}, SimDirection::kIn, 2)
                .status,
            0);
        // A heartbeat alone is not written at once; the server saves it when
        // it stops.
        ASSERT_EQ(s->Save(), 0);
    }
    std::string text;
    ASSERT_EQ(platform::ReadWholeFile(file, &text), 0);
    sim::WorldModel w;
    std::string error;
    ASSERT_TRUE(sim::ModelJson::FromText(text, &w, &error)) << error;
    sim::Simulator again(w, file);
    sim::SessionContext ses;
    auto r = Send(again, "STROVANE1", ses, {0x28, 3 << 5, 0, 0, 0, 4, 0, 0, 1, 0},
                  SimDirection::kIn, 512);
    EXPECT_EQ(r.dataIn, Bytes(512, 0x77));
    EXPECT_EQ(
        Send(again, "STROVANE0", ses, {0xFC, 0, 0, 0, 0, 0, 0, 0, 0x10, 0}, SimDirection::kIn, 16)
            .dataIn,
        Cat({Text("KEPT"), Zeros(12)}));
    EXPECT_EQ(
        Send(again, "STROVANE0", ses, {0x21, 0, 0, 0, 2, 0, 0, 0, 0, 0}, SimDirection::kIn, 12)
            .dataIn[1],
        1);
    // The host-sequence number outlives the restart.
    EXPECT_EQ(Send(again, "STROVANE0", ses, {0xEE, 0, 0, 1, 0, 2, 0, 0, 0, 0}, SimDirection::kIn, 2)
                  .dataIn,
              Bytes({0, 9}));
    // Nothing but the state file and the block files are left in the
    // directory (no temporaries), one block file for the unit written to.
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"blocks", "state.json"}));
    names.clear();
    for (const auto& e : std::filesystem::directory_iterator(dir / "blocks"))
        names.push_back(e.path().filename().string());
    EXPECT_EQ(names, (std::vector<std::string>{"CAB000000001-unit3.blk"}));
}

TEST_F(SimPersistence, BlocksWrittenToADriveAreSavedWithTheNextChange) {
    auto s = MakeSim(file);
    ASSERT_EQ(s->Save(), 0);
    std::string before;
    ASSERT_EQ(platform::ReadWholeFile(file, &before), 0);
    sim::SessionContext ses;
    ASSERT_EQ(ExchangeRequest(*s, ses, 2, 2, 512, {0x2A, 0, 0, 0, 0, 5, 0, 0, 1, 0}).status, 0);
    ASSERT_EQ(ExchangeData(*s, ses, 0xF3, 0, Bytes(512, 0x6B)).status, 0);
    // A drive test writes chunk after chunk: the file is not rewritten for
    // each ...
    std::string text;
    ASSERT_EQ(platform::ReadWholeFile(file, &text), 0);
    EXPECT_EQ(text, before);
    // ... but with the next other change.
    std::string answer;
    ASSERT_TRUE(s->Control("media-error 0 A2 9", &answer)) << answer;
    ASSERT_EQ(platform::ReadWholeFile(file, &text), 0);
    sim::WorldModel w;
    std::string error;
    ASSERT_TRUE(sim::ModelJson::FromText(text, &w, &error)) << error;
    // The state names the drive's block file, which holds the block.
    EXPECT_FALSE(w.cabinets[0].drives[2].data.FileName().empty());
    sim::Simulator again(w, file);
    EXPECT_EQ(again.Snapshot().cabinets[0].drives[2].data.Block(5), Bytes(512, 0x6B));
}

// A write/read test of a drive writes block after block: the blocks live
// beside the state file, which keeps the size it had, and a new simulator
// started from the file reads every block back.
TEST_F(SimPersistence, WrittenBlocksStayOutOfTheStateFile) {
    constexpr std::uint32_t kChunk = 64;
    constexpr std::uint32_t kBlocks = 2048;  // 1 MiB, hex would be 2 MiB of text
    auto pattern = [](std::uint32_t lba) {
        Bytes b(512);
        for (std::size_t i = 0; i < b.size(); ++i)
            b[i] = static_cast<std::uint8_t>(lba * 7 + i + 1);
        return b;
    };
    std::uintmax_t before = 0;
    {
        auto s = MakeSim(file);
        ASSERT_EQ(s->Save(), 0);
        before = std::filesystem::file_size(file);
        sim::SessionContext ses;
        for (std::uint32_t lba = 0; lba < kBlocks; lba += kChunk) {
            Bytes chunk;
            for (std::uint32_t i = 0; i < kChunk; ++i) {
                const Bytes b = pattern(lba + i);
                chunk.insert(chunk.end(), b.begin(), b.end());
            }
            const Bytes inner = {0x2A,
                                 0,
                                 static_cast<std::uint8_t>(lba >> 24),
                                 static_cast<std::uint8_t>(lba >> 16),
                                 static_cast<std::uint8_t>(lba >> 8),
                                 static_cast<std::uint8_t>(lba),
                                 0,
                                 0,
                                 kChunk,
                                 0};
            ASSERT_EQ(ExchangeRequest(*s, ses, 2, 2, kChunk * 512, inner).status, 0);
            ASSERT_EQ(ExchangeData(*s, ses, 0xF3, 0, chunk).status, 0);
            // The unit's blocks go the same way.
            Bytes unitCdb = inner;
            ASSERT_EQ(Send(*s, "STROVANE0", ses, unitCdb, SimDirection::kOut, 0, chunk).status, 0);
        }
        std::string answer;
        ASSERT_TRUE(s->Control("log 0 1 A2", &answer)) << answer;
        // The state file grew by the log entry at most, not by the blocks.
        EXPECT_LT(std::filesystem::file_size(file), before + 4096);
    }
    std::string text;
    ASSERT_EQ(platform::ReadWholeFile(file, &text), 0);
    EXPECT_LT(text.size(), before + 4096);
    sim::WorldModel w;
    std::string error;
    ASSERT_TRUE(sim::ModelJson::FromText(text, &w, &error)) << error;
    sim::Simulator again(w, file);
    sim::SessionContext ses;
    for (std::uint32_t lba : {0u, 1u, 777u, kBlocks - 1}) {
        SCOPED_TRACE(lba);
        ASSERT_EQ(ExchangeRequest(again, ses, 3, 2, 512,
                                  {0x28, 0, 0, 0, static_cast<std::uint8_t>(lba >> 8),
                                   static_cast<std::uint8_t>(lba), 0, 0, 1, 0})
                      .status,
                  0);
        EXPECT_EQ(ExchangeData(again, ses, 0xF4, 512).dataIn, pattern(lba));
        EXPECT_EQ(Send(again, "STROVANE1", ses,
                       {0x28, 0, 0, 0, static_cast<std::uint8_t>(lba >> 8),
                        static_cast<std::uint8_t>(lba), 0, 0, 1, 0},
                       SimDirection::kIn, 512)
                      .dataIn,
                  pattern(lba));
    }
    // A block never written reads as zeros.
    ASSERT_EQ(ExchangeRequest(again, ses, 3, 2, 512, {0x28, 0, 0, 0, 0x0F, 0, 0, 0, 1, 0}).status,
              0);
    EXPECT_EQ(ExchangeData(again, ses, 0xF4, 512).dataIn, Zeros(512));
}

// A state file of the earlier form holds the written blocks as hex in the
// file itself: it still loads, its blocks read back, and the next save
// moves them out of the state file.
TEST_F(SimPersistence, AStateWithBlocksInHexStillLoadsAndMovesThemOut) {
    const std::string driveHex(1024, 'c');  // 512 bytes of 0xCC
    std::string unitHex;
    for (int i = 0; i < 512; ++i)
        unitHex += "5a";
    nlohmann::json j = nlohmann::json::parse(kScenario);
    for (auto& d : j["cabinets"][0]["drives"]) {
        if (d["slot"] == "A2")
            d["data"] = {{"7", driveHex}};
    }
    j["cabinets"][0]["luns"][0]["data"] = {{"3", unitHex}};
    j["timeScale"] = 0;
    ASSERT_EQ(platform::WriteFileAtomic(file, j.dump(1)), 0);
    auto readBack = [](sim::Simulator& s) {
        sim::SessionContext ses;
        EXPECT_EQ(ExchangeRequest(s, ses, 3, 2, 512, {0x28, 0, 0, 0, 0, 7, 0, 0, 1, 0}).status, 0);
        EXPECT_EQ(ExchangeData(s, ses, 0xF4, 512).dataIn, Bytes(512, 0xCC));
        EXPECT_EQ(
            Send(s, "STROVANE0", ses, {0x28, 0, 0, 0, 0, 3, 0, 0, 1, 0}, SimDirection::kIn, 512)
                .dataIn,
            Bytes(512, 0x5A));
    };
    auto load = [this]() {
        std::string text, error;
        EXPECT_EQ(platform::ReadWholeFile(file, &text), 0);
        sim::WorldModel w;
        EXPECT_TRUE(sim::ModelJson::FromText(text, &w, &error)) << error;
        return w;
    };
    {
        sim::Simulator s(load(), file);
        readBack(s);
        ASSERT_EQ(s.Save(), 0);
    }
    std::string text;
    ASSERT_EQ(platform::ReadWholeFile(file, &text), 0);
    EXPECT_EQ(text.find(driveHex), std::string::npos);
    EXPECT_EQ(text.find(unitHex), std::string::npos);
    sim::Simulator again(load(), file);
    readBack(again);
}

TEST_F(SimPersistence, ATimedOperationIsSavedWhenItEnds) {
    auto s = MakeSim(file);
    std::string answer;
    // Simulated time runs with real time: the deletion's 10 s pass in
    // microseconds, and only commands that change nothing see it end.
    ASSERT_TRUE(s->Control("timescale 1000000", &answer)) << answer;
    sim::SessionContext ses;
    ASSERT_EQ(Send(*s, "STROVANE0", ses, {0xE3, 0, 0, 0, 0, 0, 0, 0, 0, 0}).status, 0);
    const std::uint64_t end = platform::MonotonicMs() + 10000;
    while (!s->Snapshot().cabinets[0].operations.empty() && platform::MonotonicMs() < end) {
        platform::SleepMs(1);
        Send(*s, "STROVANE0", ses, {0x00, 0, 0, 0, 0, 0});  // TEST UNIT READY
    }
    ASSERT_TRUE(s->Snapshot().cabinets[0].operations.empty());
    // A strovsim started again from the file serves the unit as gone.
    std::string text;
    ASSERT_EQ(platform::ReadWholeFile(file, &text), 0);
    sim::WorldModel w;
    std::string error;
    ASSERT_TRUE(sim::ModelJson::FromText(text, &w, &error)) << error;
    EXPECT_TRUE(w.cabinets[0].operations.empty());
    EXPECT_FALSE(w.cabinets[0].luns[0].present);
}

TEST_F(SimPersistence, DefaultScenarioRoundTripsThroughJson) {
    sim::WorldModel w = sim::DefaultScenario::Build();
    const std::string first = sim::ModelJson::ToJson(w).dump();
    sim::WorldModel back;
    std::string error;
    ASSERT_TRUE(sim::ModelJson::FromText(first, &back, &error)) << error;
    EXPECT_EQ(sim::ModelJson::ToJson(back).dump(), first);
    ASSERT_EQ(back.cabinets.size(), 2u);
    ASSERT_EQ(back.plainDisks.size(), 1u);
    // Each controller has a STROVANE and a PHYSICALDRIVE path, numbered densely.
    std::vector<std::string> names;
    for (const auto& p : back.paths)
        names.push_back(p.name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"PHYSICALDRIVE0", "PHYSICALDRIVE1", "PHYSICALDRIVE2",
                                               "PHYSICALDRIVE3", "PHYSICALDRIVE4", "STROVANE0",
                                               "STROVANE1", "STROVANE2", "STROVANE3"}));
}

TEST_F(SimPersistence, BadScenariosAreRefusedWithTheirField) {
    struct Case {
        const char* json;
        const char* field;
    } cases[] = {
        {"not json", "JSON"},
        {"[]", "top level"},
        {R"({"cabinets":[{"serial":"SHORT"}]})", "serial"},
        {R"({"cabinets":[{"serial":"CAB000000001"},{"serial":"CAB000000001"}]})", "used twice"},
        {R"({"cabinets":[{"serial":"CAB000000001","controllers":[{"formatLevel":4}]}]})",
         "formatLevel"},
        {R"({"cabinets":[{"serial":"CAB000000001","drives":[{"slot":"C1"}]}]})", "slot"},
        {R"({"cabinets":[{"serial":"CAB000000001","drives":[{"slot":12}]}]})", "slot"},
        {R"({"cabinets":[{"serial":"CAB000000001","drives":[{"slot":"A1"},{"slot":0}]}]})",
         "used twice"},
        {R"({"cabinets":[{"serial":"CAB000000001","drives":[{"slot":"A1","blocks":-5}]}]})",
         "blocks"},
        {R"({"cabinets":[{"serial":"CAB000000001","luns":[{"lun":8,"blocks":10}]}]})", "lun"},
        {R"({"cabinets":[{"serial":"CAB000000001","page21":"2100"}]})", "page21"},
        {R"({"cabinets":[{"serial":"CAB000000001","controllerLog":["0500"]}]})", "controllerLog"},
        {R"({"cabinets":[{"serial":"CAB000000001","alias":"AN ALIAS FAR TOO LONG"}]})", "alias"},
        {R"({"cabinets":[{"serial":"CAB000000001","drives":[{"slot":"A1","data":{"0":"zz"}}]}]})",
         "data"},
        {R"({"cabinets":[{"serial":"CAB000000001","drives":[{"slot":"A1","blocks":4,"data":{"9":""}}]}]})",
         "data"},
        {R"({"cabinets":[{"serial":"CAB000000001"}],"paths":[{"name":"STROVANE0","cabinet":3}]})",
         "cabinet"},
        {R"({"cabinets":[{"serial":"CAB000000001"}],"paths":[{"name":"../../etc","cabinet":0}]})",
         "name"},
        {R"({"cabinets":[{"serial":"CAB000000001"}],"paths":[{"name":"STROVANE0","cabinet":0},{"name":"STROVANE0","cabinet":0,"controller":"Y"}]})",
         "used twice"},
        {R"({"timeScale":-1})", "timeScale"},
        {R"({"cabinets":[{"serial":"CAB000000001","controllers":[{"present":false},{"present":false}]}]})",
         "none present"},
    };
    for (const auto& c : cases) {
        sim::WorldModel w;
        w.timeScale = 42;
        std::string error;
        EXPECT_FALSE(sim::ModelJson::FromText(c.json, &w, &error)) << c.json;
        EXPECT_NE(error.find(c.field), std::string::npos) << c.json << " -> " << error;
        EXPECT_EQ(w.timeScale, 42);  // untouched
    }
}

// A scenario may hold as many cabinets as the path list can reach with one
// path per controller (32 x 2 paths); one more is refused.
TEST_F(SimPersistence, ScenarioHoldsUpToThirtyTwoCabinets) {
    auto scenario = [](int count) {
        std::string json = R"({"cabinets":[)";
        for (int i = 0; i < count; ++i) {
            char serial[16];
            std::snprintf(serial, sizeof serial, "QX%010d", i + 1);
            json += std::string(i == 0 ? "" : ",") + R"({"serial":")" + serial + R"("})";
        }
        return json + "]}";
    };
    sim::WorldModel w;
    std::string error;
    ASSERT_TRUE(sim::ModelJson::FromText(scenario(32), &w, &error)) << error;
    ASSERT_EQ(w.cabinets.size(), 32u);
    ASSERT_EQ(w.paths.size(), 64u);
    EXPECT_EQ(w.paths.back().name, "STROVANE63");
    EXPECT_EQ(w.paths.back().cabinet, 31);
    EXPECT_EQ(w.paths.back().controller, 1);

    sim::WorldModel refused;
    EXPECT_FALSE(sim::ModelJson::FromText(scenario(33), &refused, &error));
    EXPECT_NE(error.find("cabinets"), std::string::npos) << error;
    EXPECT_TRUE(refused.cabinets.empty());
}

}  // namespace
