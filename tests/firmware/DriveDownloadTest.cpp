// download -d end to end against strovsim: each write method picked by the
// drive's INQUIRY texts, the pieces and mode pages it sends (from the
// trace), the unit attention after new microcode, the refusals before
// anything is shut down, a drive that refuses its image or fails a step,
// one that fails its initialization, and the hidden format mode.
#include <unistd.h>

#include <filesystem>

#include "../sim/SimTestUtil.h"
#include "DownloadMachine.h"
#include "sim/CommandTrace.h"

namespace fwtest {
namespace {

using Bytes = std::vector<std::uint8_t>;
using simtest::WriteBufferCdb;

const std::string kArray = "00A0B8C0FFEE";
const std::string kState = "op=20 cdb=20000000000000000600 status=00";
const std::string kOffBus = "op=20 cdb=20000000000000000600 error=16";
const std::string kShutdown = "op=e8 cdb=e8000000000000000000 status=00";
const std::string kRestart = "op=f0 cdb=f0000000000000000000 status=00";

Bytes Piece(const Bytes& b, std::size_t at, std::size_t n) {
    return Bytes(b.begin() + long(at), b.begin() + long(at + n));
}

// The WRITE BUFFER pieces of a trace: each request block that carries one,
// with the data phase after it.
std::vector<std::string> Pieces(const std::vector<std::string>& trace) {
    std::vector<std::string> pieces;
    for (std::size_t i = 0; i + 1 < trace.size(); ++i) {
        if (trace[i].rfind("op=27", 0) == 0 && trace[i].find(" out=3b") != std::string::npos) {
            pieces.push_back(trace[i]);
            pieces.push_back(trace[i + 1]);
        }
    }
    return pieces;
}

std::vector<std::string> DriveLine(std::uint8_t slot, std::uint8_t code, std::uint32_t length,
                                   const std::string& inner, const std::string& phase) {
    char cdb[24];
    std::snprintf(cdb, sizeof cdb, "27%02x%02x0006%08x00", code, slot, length);
    return {std::string("op=27 cdb=") + cdb + " status=00 out=" + inner, phase};
}

struct Method {
    const char* slot;
    std::uint8_t index;
    const char* product;
    std::size_t size;
    // The pieces: mode, buffer id, offset, length.
    std::vector<std::array<std::uint32_t, 4>> pieces;
};

class DriveDownload : public DownloadMachine {
  protected:
    std::vector<std::string> Expected(const Method& m, const Bytes& image) {
        std::vector<std::string> lines;
        std::uint32_t at = 0;
        for (const auto& p : m.pieces) {
            const auto mode = static_cast<std::uint8_t>(p[0]);
            const auto id = static_cast<std::uint8_t>(p[1]);
            // Pieces in modes 4 and 5 follow each other; 6 and 7 say where.
            const std::uint32_t from = (mode == 6 || mode == 7) ? p[2] : at;
            auto two = DrivePieceLines(m.index, WriteBufferCdb(mode, id, p[2], p[3]),
                                       Piece(image, from, p[3]));
            if (p[3] == 0)
                two[1] = "op=f3 cdb=f3000000000000000000 status=00";
            lines.insert(lines.end(), two.begin(), two.end());
            at = from + p[3];
        }
        return lines;
    }
};

TEST_F(DriveDownload, MethodEWholeSequence) {
    const std::string file = Sample("drive-qd9100-0103.fw");
    const Bytes image = FileBytes(file);
    ClearTrace("STROVANE0");
    const Ran ran = Download({"-d", "B3", file, kArray});
    ASSERT_EQ(ran.code, 0) << ran.out << ran.err;
    const std::string tur = "000000000000";
    const std::string ok = "op=29 cdb=29000000000000000000 status=00";
    const std::string in = "op=f4 cdb=f4000000000000000000 status=00";
    std::vector<std::string> want = {"op=12 cdb=1201e0004400 status=00",
                                     "op=12 cdb=120180003000 status=00",
                                     "op=21 cdb=21000000050000000000 status=00"};
    auto add = [&want](std::vector<std::string> lines) {
        want.insert(want.end(), lines.begin(), lines.end());
    };
    add(DriveLine(5, 3, 36, "120000002400", in));
    add({kShutdown, kState});
    add(Expected(
        {"B3", 5, "QD-9100", 150000, {{4, 0, 0, 65536}, {4, 0, 0, 65536}, {5, 0, 0, 18928}}},
        image));
    // The first command after new microcode hears of it.
    add(DriveLine(5, 1, 0, tur, "op=29 cdb=29000000000000000000 status=02"));
    add(DriveLine(5, 1, 0, tur, ok));
    add(DriveLine(5, 1, 0, "1b0000000100", ok));
    add(DriveLine(5, 1, 0, tur, ok));
    // The mode pages: default values where they may change.
    add(DriveLine(5, 1, 0, tur, ok));
    add(DriveLine(5, 3, 255, "1a08bf00ff00", in));
    add(DriveLine(5, 3, 255, "1a087f00ff00", in));
    const std::string out = "op=f3 cdb=f3000000000000000000 status=00 out=";
    add(DriveLine(5, 2, 16, "150100001000", out + "00000000010ac008000000000800ffff"));
    add(DriveLine(5, 2, 28, "150100001c00", out + "000000000316" + std::string(44, '0')));
    add(DriveLine(5, 2, 28, "150100001c00", out + "000000000416" + std::string(44, '0')));
    add(DriveLine(5, 2, 16, "150100001000", out + "00000000080a04000000000000000000"));
    add({kRestart, kOffBus, kState, "op=21 cdb=21000000050000000000 status=00"});
    add(DriveLine(5, 3, 36, "120000002400", in));
    EXPECT_EQ(WithOffBusAfterRestarts(Trace("STROVANE0")), want);
    EXPECT_NE(ran.out.find(" Revision 0102 of drive model QD-9100         \n Shutting Down\n"),
              std::string::npos)
        << ran.out;
    EXPECT_NE(ran.out.find(" (Loading Mechanism Firmware)\n (Setting Mode Pages 1 3 4 8)\n"),
              std::string::npos);
    EXPECT_NE(ran.out.find(" Drive microcode revision is now 0103.\n"), std::string::npos);
    EXPECT_EQ(DriveRevision(0, "B3"), "0103");
    EXPECT_EQ(ReportedState(0, 'X'), 0);
}

TEST_F(DriveDownload, EachMethodSendsItsPieces) {
    const std::vector<Method> methods = {
        {"A1", 0, "ST31230N", 150000, {{5, 0, 0, 150000}}},
        {"B1", 1, "XP32181", 150000, {{4, 0, 0, 150000}}},
        {"A2", 2, "ST34371W", 150000, {{4, 0, 0, 65536}, {4, 0, 0, 65536}, {4, 0, 0, 18928}}},
        {"B2",
         3,
         "ST15150N",
         150000,
         {{7, 0, 0, 65536}, {7, 0, 65536, 65536}, {7, 0, 131072, 18928}}},
        {"A3", 4, "DCAS-34330", 98304, {{5, 0, 0, 32768}, {5, 1, 0, 32768}, {5, 2, 0, 32768}}},
    };
    for (const Method& m : methods) {
        const std::string file =
            Build(std::string(m.slot) + ".fw",
                  {"--target", m.product, "--revision", "0300", "--size", std::to_string(m.size)});
        ClearTrace("STROVANE0");
        const Ran ran = Download({"-d", m.slot, file, kArray});
        ASSERT_EQ(ran.code, 0) << m.slot << "\n" << ran.out << ran.err;
        EXPECT_EQ(Pieces(Trace("STROVANE0")), Expected(m, FileBytes(file))) << m.slot;
        EXPECT_EQ(DriveRevision(0, m.slot), "0300") << m.slot;
    }
}

TEST_F(DriveDownload, WhatCannotBeWrittenWholeIsRefusedBeforeTheShutdown) {
    // Method F takes 32 KiB pieces only.
    ClearTrace("STROVANE0");
    const Ran odd = Download(
        {"-d", "a3", Build("odd.fw", {"--target", "DCAS-34330", "--size", "150000"}), kArray});
    EXPECT_EQ(odd.code, 1);
    EXPECT_NE(odd.out.find(" This drive takes its microcode in pieces of 32768 bytes"),
              std::string::npos);
    // Method A sends the whole image at once: more than one transfer carries.
    const Ran big = Download(
        {"-d", "A1", Build("big.fw", {"--target", "ST31230N", "--size", "1500000"}), kArray});
    EXPECT_EQ(big.code, 1);
    EXPECT_NE(big.out.find(" The microcode file (1500000 bytes) is larger than one transfer to "
                           "this drive\n can carry (1048576 bytes)."),
              std::string::npos)
        << big.out;
    for (const auto& line : Trace("STROVANE0")) {
        EXPECT_EQ(line.find("op=e8"), std::string::npos);
        EXPECT_EQ(line.find(" out=3b"), std::string::npos);
    }
    // An empty slot.
    const Ran empty = Download({"-d", "B4", Sample("drive-qd9100-0103.fw"), kArray});
    EXPECT_EQ(empty.code, 1);
    EXPECT_NE(empty.out.find(" No drive found at slot B4.\n"), std::string::npos);
}

TEST_F(DriveDownload, RefusedImagesAndFailedStepsRestartTheArrayOnItsOldFirmware) {
    // A controller's image in a drive.
    const Ran wrong = Download({"-d", "B3", Sample("controller-0302.fw"), kArray});
    EXPECT_EQ(wrong.code, 1);
    EXPECT_NE(wrong.err.find("Pass-thru `Write Buffer' command failed:  SCSI error.\n"),
              std::string::npos)
        << wrong.err;
    EXPECT_NE(wrong.err.find(" ASC/ASCQ:  26/63  FIRMWARE IS WRONG TYPE FOR THIS PRODUCT\n"),
              std::string::npos);
    // A damaged one, refused at its last piece.
    const Ran damaged = Download(
        {"-d", "B3", Build("bad.fw", {"--target", "QD-9100", "--size", "150000", "--corrupt"}),
         kArray});
    EXPECT_EQ(damaged.code, 1);
    EXPECT_NE(damaged.err.find("  FIRMWARE CHECKSUM ERROR\n"), std::string::npos);
    // A drive that fails a step of a good download.
    Sim({"fault", "STROVANE0", "f3", "1", "check", "4", "44", "00"});
    ClearTrace("STROVANE0");
    const Ran failed = Download({"-d", "B3", Sample("drive-qd9100-0103.fw"), kArray});
    EXPECT_EQ(failed.code, 1);
    EXPECT_NE(failed.err.find("  `HARDWARE ERROR'\n"), std::string::npos);
    const auto trace = WithOffBusAfterRestarts(Trace("STROVANE0"));
    const std::vector<std::string> tail = {kRestart, kOffBus, kState};
    ASSERT_GE(trace.size(), tail.size());
    EXPECT_EQ(std::vector<std::string>(trace.end() - 3, trace.end()), tail);
    EXPECT_EQ(
        std::count_if(trace.begin(), trace.end(),
                      [](const std::string& l) { return l.find(" out=3b") != std::string::npos; }),
        1);

    EXPECT_EQ(DriveRevision(0, "B3"), "0102");
    EXPECT_EQ(ReportedState(0, 'X'), 0);
    // The drive takes the same file once it works.
    const Ran good = Download({"-d", "B3", Sample("drive-qd9100-0103.fw"), kArray});
    EXPECT_EQ(good.code, 0) << good.out << good.err;
    EXPECT_EQ(DriveRevision(0, "B3"), "0103");
}

TEST_F(DriveDownload, DriveThatFailsItsInitialization) {
    Sim({"firmware", "0", "init-fail", "B3"});
    const Ran ran = Download({"-d", "b3", Sample("drive-qd9100-0103.fw"), kArray});
    EXPECT_EQ(ran.code, 1);
    EXPECT_NE(ran.err.find(" Warning: The drive at slot b3 FAILED INITIALIZATION!\n"
                           " Continued downloads WILL cause data to be lost.\n"),
              std::string::npos)
        << ran.err;
    EXPECT_EQ(ran.out.find("revision is now"), std::string::npos);
}

TEST_F(DriveDownload, FormatDriveUnderItsOwnName) {
    // The hidden mode: the program called ./Format... with -d slot array-id.
    const std::string dir = root_.File("bin");
    std::filesystem::create_directories(dir);
    std::filesystem::create_symlink(std::string(ORU_BIN_DIR) + "/download", dir + "/FormatDrive");
    char previous[4096];
    ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(::chdir(dir.c_str()), 0);
    testsupport::ChildProcess child;
    const bool started = child.Start("./FormatDrive", {"-d", "A2", kArray},
                                     {"ORU_ROOT=" + root_.Path(), "ORU_TIME_SCALE=500"});
    ASSERT_EQ(::chdir(previous), 0);
    ASSERT_TRUE(started) << child.StartError();
    EXPECT_EQ(child.WaitExit(30000), 0) << child.Stderr();
    EXPECT_EQ(child.Stdout(),
              " Low level initialization of media is running.\n"
              " This takes a long time. Please wait.\n"
              " Format done.\n"
              " Resetting the array.\n"
              "\n Strovane firmware download program ending.\n");
    const auto trace = Trace("STROVANE0");
    const auto format =
        DriveLine(2, 1, 0, "040000000000", "op=29 cdb=29000000000000000000 status=00");
    EXPECT_NE(std::search(trace.begin(), trace.end(), format.begin(), format.end()), trace.end());
    EXPECT_EQ(trace.back(), kRestart);
}

}  // namespace
}  // namespace fwtest
