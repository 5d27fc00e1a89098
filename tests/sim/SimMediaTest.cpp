// Bad media of a simulated drive: what the operator injects, what a drive
// command meets through the controller's exchange, what the controller logs
// and the drive counts, and how the state file keeps it.
#include <gtest/gtest.h>

#include <string>

#include "SimTestUtil.h"
#include "sim/ByteOrder.h"
#include "sim/StrovsimTexts.h"

using namespace simtest;
using sim::SimDirection;

namespace {

// Drive A2 (slot 2) of the scenario: 4096 blocks, a member.
constexpr std::uint8_t kSlot = 2;

Bytes Block10(std::uint8_t opcode, std::uint32_t lba, std::uint16_t count) {
    return {opcode,
            0,
            static_cast<std::uint8_t>(lba >> 24),
            static_cast<std::uint8_t>(lba >> 16),
            static_cast<std::uint8_t>(lba >> 8),
            static_cast<std::uint8_t>(lba),
            0,
            static_cast<std::uint8_t>(count >> 8),
            static_cast<std::uint8_t>(count),
            0};
}

class SimMedia : public ::testing::Test {
  protected:
    void Control(const std::string& line) {
        std::string answer;
        ASSERT_TRUE(sim->Control(line, &answer)) << line << ": " << answer;
    }
    std::string Refusal(const std::string& line) {
        std::string answer;
        EXPECT_FALSE(sim->Control(line, &answer)) << line;
        return answer;
    }
    sim::SimReply Verify(std::uint32_t lba, std::uint16_t count) {
        EXPECT_EQ(ExchangeRequest(*sim, session, 1, kSlot, 0, Block10(0x2F, lba, count)).status, 0);
        return ExchangeData(*sim, session, 0x29);
    }
    sim::SimReply Write(std::uint32_t lba, const Bytes& data) {
        const auto count = static_cast<std::uint16_t>(data.size() / 512);
        EXPECT_EQ(ExchangeRequest(*sim, session, 2, kSlot, static_cast<std::uint32_t>(data.size()),
                                  Block10(0x2A, lba, count))
                      .status,
                  0);
        return ExchangeData(*sim, session, 0xF3, 0, data);
    }
    sim::SimReply Read(std::uint32_t lba, std::uint16_t count) {
        EXPECT_EQ(ExchangeRequest(*sim, session, 3, kSlot, count * 512u, Block10(0x28, lba, count))
                      .status,
                  0);
        return ExchangeData(*sim, session, 0xF4, count * 512u);
    }
    // LOG SENSE of a page, parameter 6 (the uncorrected errors).
    std::uint32_t Uncorrected(std::uint8_t page) {
        EXPECT_EQ(
            ExchangeRequest(*sim, session, 3, kSlot, 64, {0x4D, 0, page, 0, 0, 0, 0, 0, 64, 0})
                .status,
            0);
        const sim::SimReply r = ExchangeData(*sim, session, 0xF4, 64);
        return sim::GetBe32(r.dataIn, 4 + 6 * 8 + 4);
    }
    const sim::DriveModel& Drive() {
        snapshot = sim->Snapshot();
        return snapshot.cabinets[0].drives[kSlot];
    }

    std::shared_ptr<sim::Simulator> sim = MakeSim();
    sim::SessionContext session;
    sim::WorldModel snapshot;
};

TEST_F(SimMedia, AReadErrorFailsVerifiesAndReadsOverItsBlocksAndIsLoggedWithItsBlock) {
    Control("media-error 0 A2 1000 8");
    EXPECT_EQ(Verify(900, 100).status, 0);  // ends before the bad blocks
    const sim::SimReply failed = Verify(990, 20);
    ASSERT_EQ(failed.status, 0x02);
    Bytes want = Zeros(26);
    want[0] = 0xF0;  // the information field names the first bad block
    sim::PutBe32(want, 3, 1000);
    want[2] = 3;
    want[7] = 18;
    want[12] = 0x80;
    want[14] = kSlot + 1;
    want[22] = 3;
    want[23] = 0x11;
    want[25] = kSlot;
    EXPECT_EQ(failed.sense, want);
    ASSERT_EQ(Read(1007, 1).status, 0x02);
    EXPECT_EQ(Write(1000, Bytes(512, 0x33)).status, 0);  // writes are sound
    // The controller logged both with their blocks, the drive counted them.
    const sim::WorldModel world = sim->Snapshot();
    const auto& log = world.cabinets[0].controllerLog;
    ASSERT_GE(log.size(), 2u);
    const Bytes& last = log.back();
    EXPECT_EQ(Bytes(last.begin() + 7, last.begin() + 11), (Bytes{0, 101, 1, kSlot}));
    EXPECT_EQ(sim::GetBe32(last, 14), 1007u);
    EXPECT_EQ(sim::GetBe32(log[log.size() - 2], 14), 1000u);
    EXPECT_EQ(Uncorrected(0x05), 1u);  // verifies
    EXPECT_EQ(Uncorrected(0x03), 1u);  // reads
    EXPECT_EQ(Uncorrected(0x02), 0u);  // writes
    // LOG SELECT with the parameter-code reset clears the counts.
    ASSERT_EQ(
        ExchangeRequest(*sim, session, 1, kSlot, 0, {0x4C, 0x02, 0x40, 0, 0, 0, 0, 0, 0, 0}).status,
        0);
    ASSERT_EQ(ExchangeData(*sim, session, 0x29).status, 0);
    EXPECT_EQ(Uncorrected(0x05), 0u);
    Control("clear-media-errors 0 A2");
    EXPECT_EQ(Verify(990, 20).status, 0);
}

TEST_F(SimMedia, AWriteErrorFailsWritesAndStoresNothing) {
    Control("media-error 0 A2 64 2 write");
    const sim::SimReply failed = Write(63, Bytes(2 * 512, 0x5A));
    ASSERT_EQ(failed.status, 0x02);
    EXPECT_EQ(failed.sense[23], 0x0C);
    EXPECT_EQ(failed.sense[24], 0x02);
    EXPECT_EQ(sim::GetBe32(failed.sense, 3), 64u);
    EXPECT_TRUE(Drive().data.Empty());
    EXPECT_EQ(Verify(64, 2).status, 0);  // reads and verifies are sound
    EXPECT_EQ(Uncorrected(0x02), 1u);
}

TEST_F(SimMedia, ACorruptBlockReadsBackAlteredWithoutAnError) {
    Control("media-error 0 A2 11 1 corrupt");
    ASSERT_EQ(Write(10, Bytes(2 * 512, 0x0F)).status, 0);
    const sim::SimReply back = Read(10, 2);
    ASSERT_EQ(back.status, 0);
    EXPECT_EQ(Bytes(back.dataIn.begin(), back.dataIn.begin() + 512), Bytes(512, 0x0F));
    EXPECT_EQ(Bytes(back.dataIn.begin() + 512, back.dataIn.end()), Bytes(512, 0xF0));
    EXPECT_EQ(Verify(10, 2).status, 0);
    // The stored data is what was written.
    EXPECT_EQ(Drive().data.Block(11), Bytes(512, 0x0F));
}

TEST_F(SimMedia, BadRequestsAreRefusedWithTheirReason) {
    EXPECT_NE(Refusal("media-error 0 A2").find("usage"), std::string::npos);
    EXPECT_NE(Refusal("media-error 0 A2 4096").find("LBA"), std::string::npos);
    EXPECT_NE(Refusal("media-error 0 A2 4000 97").find("COUNT"), std::string::npos);
    EXPECT_NE(Refusal("media-error 0 A2 0 0").find("COUNT"), std::string::npos);
    EXPECT_NE(Refusal("media-error 0 A2 0 1 sideways").find("kind"), std::string::npos);
    EXPECT_NE(Refusal("media-error 0 A2 0 1 read extra").find("usage"), std::string::npos);
    EXPECT_NE(Refusal("media-error 0 B3 0").find("empty"), std::string::npos);
    EXPECT_NE(Refusal("media-error 0 Z9 0").find("slot"), std::string::npos);
    EXPECT_NE(Refusal("clear-media-errors 0 A2 1").find("usage"), std::string::npos);
    // strovsim --help tells how to ask.
    const std::string usage = sim::Text(sim::StrovsimText::kUsage);
    EXPECT_NE(usage.find("media-error CAB SLOT LBA [COUNT] [read|write|corrupt]"),
              std::string::npos);
    EXPECT_NE(usage.find("clear-media-errors CAB SLOT"), std::string::npos);
    Control("media-error 0 A2 4095");  // the last block, count 1, read
    ASSERT_EQ(Drive().mediaErrors.size(), 1u);
    EXPECT_EQ(Drive().mediaErrors[0].first, 4095u);
    EXPECT_EQ(Drive().mediaErrors[0].count, 1u);
    EXPECT_EQ(Drive().mediaErrors[0].kind, sim::MediaErrorKind::kRead);
}

TEST_F(SimMedia, TheStateFileKeepsTheMediaErrorsAndRefusesBadOnes) {
    Control("media-error 0 A2 7 3 write");
    Control("media-error 0 A2 100 1 corrupt");
    ASSERT_EQ(Verify(0, 1).status, 0);
    const std::string text = sim::ModelJson::ToJson(sim->Snapshot()).dump();
    sim::WorldModel again;
    std::string error;
    ASSERT_TRUE(sim::ModelJson::FromText(text, &again, &error)) << error;
    const sim::DriveModel& d = again.cabinets[0].drives[kSlot];
    ASSERT_EQ(d.mediaErrors.size(), 2u);
    EXPECT_EQ(d.mediaErrors[0].first, 7u);
    EXPECT_EQ(d.mediaErrors[0].count, 3u);
    EXPECT_EQ(d.mediaErrors[0].kind, sim::MediaErrorKind::kWrite);
    EXPECT_EQ(d.mediaErrors[1].kind, sim::MediaErrorKind::kCorrupt);

    for (const char* bad : {R"([[0, 0, "read"]])", R"([[4090, 7, "read"]])", R"([[0, 1, "worse"]])",
                            R"([[0, 1]])", R"("all")"}) {
        SCOPED_TRACE(bad);
        const std::string scenario =
            std::string(R"({"cabinets":[{"serial":"CAB000000001","drives":[{"slot":"A1",)") +
            R"("blocks":4096,"mediaErrors":)" + bad + "}]}]}";
        sim::WorldModel w;
        EXPECT_FALSE(sim::ModelJson::FromText(scenario, &w, &error));
        EXPECT_NE(error.find("mediaErrors"), std::string::npos) << error;
    }
}

}  // namespace
