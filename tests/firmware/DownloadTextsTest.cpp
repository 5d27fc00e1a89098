// What download prints of a command's outcome, its command line and its
// error texts, compared with the texts as they are to stand.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "SenseBytes.h"
#include "tools/firmware/DownloadArguments.h"
#include "tools/firmware/DownloadConsole.h"
#include "tools/firmware/DownloadFlows.h"
#include "tools/firmware/DownloadPrinters.h"

namespace {

using namespace download;
using scsitest::SenseBytes;

class DownloadTexts : public ::testing::Test {
  protected:
    void SetUp() override {
        out_ = std::tmpfile();
        err_ = std::tmpfile();
        Console().out = out_;
        Console().err = err_;
    }
    void TearDown() override {
        Console().out = stdout;
        Console().err = stderr;
        std::fclose(out_);
        std::fclose(err_);
    }
    static std::string Read(std::FILE* f) {
        std::fflush(f);
        std::rewind(f);
        std::string text;
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
            text.append(buffer, n);
        std::rewind(f);
        if (ftruncate(fileno(f), 0) != 0)
            text += "(not cleared)";
        return text;
    }
    std::string Out() { return Read(out_); }
    std::string Err() { return Read(err_); }

    static ScsiResult Check(std::vector<unsigned char> sense) {
        ScsiResult r;
        r.result = ScsiResult::kScsiStatus;
        r.status = 0x02;
        r.senseLength = static_cast<std::uint32_t>(sense.size());
        std::copy(sense.begin(), sense.end(), r.sense);
        return r;
    }

    ParseOutcome Parse(std::vector<std::string> words, DownloadArguments* args) {
        std::vector<char*> argv;
        for (auto& w : words)
            argv.push_back(w.data());
        argv.push_back(nullptr);
        return DownloadParseArguments(static_cast<int>(words.size()), argv.data(), *args);
    }

    std::FILE* out_ = nullptr;
    std::FILE* err_ = nullptr;
};

TEST_F(DownloadTexts, DriveSenseReportedByTheControllerIsReadFromItsOwnBytes) {
    // Key 5 with ASC 0x80: the drive's ASC/ASCQ are bytes 23 and 24.
    auto sense = SenseBytes(0x05, 0x80, 0x00);
    sense[22] = 0x05;
    sense[23] = 0x26;
    sense[24] = 0x62;
    sense[25] = 0x03;
    PrintCommandState(Check(sense), "Pass-thru `Write Buffer' command failed: ");
    EXPECT_EQ(Err(),
              "Pass-thru `Write Buffer' command failed:  SCSI error.\n"
              " SCSI status:  2  `CHECK CONDITION'\n"
              " SCSI sense:   5  `ILLEGAL REQUEST'\n"
              " ASC/ASCQ:  26/62  FIRMWARE CHECKSUM ERROR\n"
              "\n"
              " sense data: 70  0  5  0  0  0  0 12\n"
              " sense data:  0  0  0  0 80  0  0  0\n"
              " sense data:  0  0  0  0  0  0  5 26\n"
              " sense data: 62  3\n"
              "\n");
}

TEST_F(DownloadTexts, SenseKeyIsTheLowFourBitsOfByteTwo) {
    // Incorrect length and filemark bits set around an ILLEGAL REQUEST.
    PrintScsiError(Check(SenseBytes(0xA5, 0x26, 0x63)));
    EXPECT_NE(Err().find(" SCSI sense:  a5  `ILLEGAL REQUEST'\n ASC/ASCQ:  26/63  FIRMWARE IS "
                         "WRONG TYPE FOR THIS PRODUCT\n"),
              std::string::npos);
    PrintScsiError(Check(SenseBytes(0x02, 0x04, 0x01)));
    EXPECT_NE(Err().find("  `NOT READY'\n ASC/ASCQ:   4/1  `LOGICAL UNIT IS IN PROCESS OF "
                         "BECOMING READY'\n"),
              std::string::npos);
    PrintScsiError(Check(SenseBytes(0x06, 0x29, 0x00)));
    EXPECT_NE(Err().find("  `UNIT ATTENTION'\n ASC/ASCQ:  29/0  Power on, reset, or BUS DEVICE "
                         "RESET occurred.\n"),
              std::string::npos);
    PrintScsiError(Check(SenseBytes(0x0F, 0, 0)));
    EXPECT_NE(Err().find(" SCSI sense:   f  (Unknown SCSI sense key.)\n\n"), std::string::npos);
    PrintScsiError(Check(SenseBytes(0x05, 0x26, 0x07)));
    EXPECT_NE(Err().find(" ASC/ASCQ:  26/7\n\n"), std::string::npos);
    // Sense bytes the device did not return read as 0.
    PrintScsiError(Check({0x70, 0x00, 0x05}));
    EXPECT_NE(Err().find(" ASC/ASCQ:   0/0\n sense data: 70  0  5\n\n"), std::string::npos);
}

TEST_F(DownloadTexts, StatusesAndResultKinds) {
    ScsiResult busy;
    busy.result = ScsiResult::kScsiStatus;
    busy.status = 0x08;
    PrintScsiError(busy);
    EXPECT_EQ(Err(), " SCSI error.\n SCSI status:  8  `DEVICE BUSY'.\n\n\n");
    busy.status = 0x00;
    PrintScsiError(busy);
    EXPECT_EQ(Err(),
              " SCSI error.\n SCSI status:  0  `GOOD'.\nWarning: This is an unexpected "
              "state!\n\n\n");
    busy.status = 0x04;
    PrintScsiError(busy);
    EXPECT_EQ(Err(),
              " SCSI error.\n SCSI status:  4  `CONDITION MET/GOOD'.\n Warning: This is "
              "an unexpected state!\n\n\n");
    busy.status = 0x30;
    PrintScsiError(busy);
    EXPECT_EQ(Err(), " SCSI error.\n SCSI status: 30 (Unknown SCSI status!)\n\n\n");

    ScsiResult good;
    PrintCommandState(good, "Text: ");
    EXPECT_EQ(Err(), "Text: Command state good\n");
    ScsiResult system;
    system.result = ScsiResult::kSystemFailed;
    system.status = 5;
    PrintCommandState(system, "Text: ");
    EXPECT_EQ(Err(), "Text:  Driver interface error\n");
    system.result = 2;
    PrintCommandState(system, "Text");
    EXPECT_EQ(Err(), std::string("Text\nStrovane microcode download - System error - errno 5 \n"
                                 "Text: ") +
                         std::strerror(5) + "\n");
    system.result = 5;
    PrintCommandState(system, "");
    EXPECT_EQ(Err(), " Command time out error\n");
    system.result = 9;
    PrintCommandState(system, "x");
    EXPECT_EQ(Err(), "x");
}

TEST_F(DownloadTexts, CommandLines) {
    struct Case {
        std::vector<std::string> words;
        ParseOutcome outcome;
        std::int32_t mode;
        std::int32_t slot;
    };
    const std::string longId(81, 'A');
    const std::string longFile(4096, 'f');
    const std::vector<Case> cases = {
        {{"download", "-c", "f.fw", "abc"}, ParseOutcome::kRun, kModeController, 0},
        {{"download", "-C", "f.fw", "abc"}, ParseOutcome::kRun, kModeController, 0},
        {{"download", "-d", "b6", "f.fw", "abc"}, ParseOutcome::kRun, kModeDrive, 11},
        {{"download", "-D", "A1", "f.fw", "abc"}, ParseOutcome::kRun, kModeDrive, 0},
        {{"download", "-d", "a4", "f.fw", "abc"}, ParseOutcome::kRun, kModeDrive, 6},
        {{"download", "-m", "abc"}, ParseOutcome::kRun, kModeCopy, 0},
        {{"download", "-i"}, ParseOutcome::kRun, kModeList, 0},
        {{"./FormatDrive", "-d", "B2", "abc"}, ParseOutcome::kRun, kModeFormat, 3},
        {{"download", "-d", "a7", "f.fw", "abc"}, ParseOutcome::kStop, 0, 0},
        {{"download", "-d", "C1", "f.fw", "abc"}, ParseOutcome::kStop, 0, 0},
        {{"download", "-d", "A12", "f.fw", "abc"}, ParseOutcome::kStop, 0, 0},
        {{"download", "-c", "f.fw"}, ParseOutcome::kStop, 0, 0},
        {{"download", "-x", "f.fw", "abc"}, ParseOutcome::kStop, 0, 0},
        {{"download", "-c", "f.fw", "abc", "x", "y"}, ParseOutcome::kStop, 0, 0},
        {{"download"}, ParseOutcome::kStop, 0, 0},
        {{"download", "c", "f.fw", "abc"}, ParseOutcome::kStop, 0, 0},
        {{"download", "-c", "f.fw", longId}, ParseOutcome::kStop, 0, 0},
        {{"download", "-c", longFile, "abc"}, ParseOutcome::kStop, 0, 0},
        {{"download", "-m", "abc", "-r"}, ParseOutcome::kStop, 0, 0},
        {{"download", "-c", "-?"}, ParseOutcome::kHelpShown, 0, 0},
        {{"./download", "-d", "a1", "abc"}, ParseOutcome::kStop, 0, 0},
    };
    for (const auto& c : cases) {
        DownloadArguments args;
        const ParseOutcome got = Parse(c.words, &args);
        EXPECT_EQ(got, c.outcome) << ::testing::PrintToString(c.words);
        if (got == ParseOutcome::kRun) {
            EXPECT_EQ(args.mode, c.mode) << ::testing::PrintToString(c.words);
            EXPECT_EQ(args.slot, c.slot) << ::testing::PrintToString(c.words);
        }
    }
    Out();
    Err();
    DownloadArguments args;
    Parse({"download", "-d", "b3", "f.fw", "abc"}, &args);
    EXPECT_EQ(args.slotText, "b3");
    EXPECT_EQ(args.codeFile, "f.fw");
    EXPECT_EQ(args.arrayId, "abc");

    const std::string usage = " usage: download {-D slot|-C|-M} codefilename array-id\n";
    Parse({"download", "-d", "a7", "f.fw", "abc"}, &args);
    EXPECT_EQ(Err(),
              " download: arg out of range\n"
              " One of the arguments has exceeded its maximum or minimum size, or\n"
              " is incorrect in form. Check the size and form of each argument.\n\n" +
                  usage);
    Parse({"download", "-c", "f.fw"}, &args);
    EXPECT_EQ(Err(), usage);
    Parse({"download", "-m", "abc", "-r"}, &args);
    EXPECT_EQ(Out(), "\n Microcode checking is automatically performed.\n");
    EXPECT_EQ(Err(), "");
    DownloadError(2);
    EXPECT_EQ(Err(),
              " download: unknown argument\n"
              " An invalid argument was specified. Check command usage.\n\n" +
                  usage);
    DownloadError(3);
    EXPECT_EQ(Err(),
              " download: device not found\n"
              " The specified array-id does not exist or does not identify a disk\n"
              " array that is communicating with the system. Verify the correct\n"
              " array-id with the `dkview -i' command line utility.\n\n");
    DownloadError(4, "Search for Strovane controller failed.");
    EXPECT_EQ(Err(),
              " download: Error in command execution, Search for Strovane controller "
              "failed.\n");
    DownloadError(5);
    EXPECT_EQ(Err(),
              " download: Array was just powered-on or reset.\n"
              "  The command failed because the disk array has been powered-on or\n"
              "  reset. Reissue the command and it should succeed.\n\n");
}

TEST_F(DownloadTexts, ProgramEndsWithItsLineAndItsResult) {
    std::string d = "download", r = "-r", q = "-?";
    char* stop[] = {d.data(), r.data(), nullptr};
    EXPECT_EQ(DownloadMain(2, stop), 2);
    EXPECT_EQ(Out(),
              "\n Microcode checking is automatically performed.\n"
              "\n Strovane firmware download program ending.\n");
    EXPECT_EQ(Err(), "\n Strovane firmware download program, version 3.20.\n");
    char* help[] = {d.data(), q.data(), nullptr};
    EXPECT_EQ(DownloadMain(2, help), 0);
    const std::string text = Out();
    EXPECT_EQ(text.rfind("\n\n     Extended help for the VX Strovane download offline "
                         "diagnostic.\n\n",
                         0),
              0u);
    EXPECT_NE(text.find("  In dual controller configurations the safest recovery method is "
                        "using the -m\n"),
              std::string::npos);
    const std::string last =
        "  indicates the letter 'A' or 'B' and n is a number, and restart the array.\n\n";
    ASSERT_GE(text.size(), last.size());
    EXPECT_EQ(text.substr(text.size() - last.size()), last);
    EXPECT_EQ(text.find("ending"), std::string::npos);

    // A file that cannot be opened is said on standard error.
    std::string c = "-c", missing = "/nonexistent/file.fw", id = "ID";
    char* load[] = {d.data(), c.data(), missing.data(), id.data(), nullptr};
    Err();
    EXPECT_EQ(DownloadMain(4, load), 1);
    EXPECT_EQ(Err(),
              "\n Strovane firmware download program, version 3.20.\n"
              " The file /nonexistent/file.fw could not be opened.");
}

}  // namespace
