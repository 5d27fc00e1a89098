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
    // Nothing but the state file is left in the directory (no temporaries).
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir))
        ++files;
    EXPECT_EQ(files, 1);
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
    ASSERT_EQ(w.cabinets[0].drives[2].data.count(5), 1u);
    EXPECT_EQ(w.cabinets[0].drives[2].data.at(5), Bytes(512, 0x6B));
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
