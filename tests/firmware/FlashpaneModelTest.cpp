// flashpane apart from its window: reading the arrays from a listing, the
// command it runs, the log it writes, what it tells of each exit code, and
// where it looks for download.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tools/firmware/DownloadArguments.h"
#include "tools/firmware/FlashpaneModel.h"

namespace {

using namespace flashpane;

TEST(FlashpaneModel, ArraysAreTheLinesWithATwelveDigitHexadecimalRun) {
    const std::string listing =
        "   Array with S/N: 00A0B8C0FFEE     Rev: 0301   Model: QRVZX ARRAY      \n"
        "   Array with S/N: 00a0b8c0ffee     Rev: 0301   Model: QRVZX ARRAY      \r\n"
        "\n"
        "   Array with S/N: 00A0B8C0FFEF     Rev: 0301   Model: QRVZX ARRAY      \r"
        "   Array with S/N: 00A0B8C0FFEF     Rev: 0302   Model: QRVZX ARRAY      \n"
        "   Array with S/N: QX0000000003     Rev: 0301   Model: QRVZX ARRAY      \n"
        "   Array with S/N: 00A0B8C0FFEE1    Rev: 0301   Model: QRVZX ARRAY      \n"
        "   run at the end 0123456789AB\n"
        "   13 then 12 0123456789ABC x 0123456789AB tail\n"
        "\n Strovane firmware download program ending.\n";
    EXPECT_EQ(ParseArrayListing(listing),
              (std::vector<std::string>{
                  // Two controllers of one array that agree give one entry
                  // (case ignored); another revision gives its own.
                  "00A0B8C0FFEE     Rev: 0301   Model: QRVZX ARRAY      ",
                  "00A0B8C0FFEF     Rev: 0301   Model: QRVZX ARRAY      ",
                  "00A0B8C0FFEF     Rev: 0302   Model: QRVZX ARRAY      ",
                  // A 13-digit run is passed over for the next 12-digit one.
                  "0123456789AB tail",
              }));
    EXPECT_TRUE(ParseArrayListing("").empty());
    EXPECT_EQ(ArrayIdOf("00A0B8C0FFEE     Rev: 0301"), "00A0B8C0FFEE");
    EXPECT_EQ(ArrayIdOf(""), "");
}

TEST(FlashpaneModel, CommandLineAndLog) {
    EXPECT_EQ(DownloadArguments("/fw/a b.fw", "00A0B8C0FFEE     Rev: 0301"),
              (std::vector<std::string>{"-c", "/fw/a b.fw", "00A0B8C0FFEE"}));
    // Without a selection the id is left out, and download answers 2.
    EXPECT_EQ(DownloadArguments("/fw/x.fw", ""), (std::vector<std::string>{"-c", "/fw/x.fw"}));
    EXPECT_EQ(CommandLineText("./download", {"-c", "/fw/a \"b\".fw", "00A0B8C0FFEE"}),
              "./download -c \"/fw/a \\\"b\\\".fw\" 00A0B8C0FFEE");
    EXPECT_EQ(DownloadLog("./download -c x.fw ID", " Shutting Down\r Shutting Down \r\n\n Ready\n"),
              "***********************\r\n"
              "*** Controller firmware download was done with the following command:\r\n"
              "*** ./download -c x.fw ID\r\n"
              "***********************\r\n"
              " Shutting Down\r\n"
              " Shutting Down \r\n"
              " Ready\r\n");
}

TEST(FlashpaneModel, MessageForEachExitCode) {
    EXPECT_EQ(MessageForExit(0).text, "The download was successful,\n Press OK to continue.");
    EXPECT_EQ(MessageForExit(1).text,
              "Error! Download did not complete (1)\nPlease select a firmware file and try again.");
    EXPECT_EQ(MessageForExit(2).text,
              "Error! Download did not complete (2)\nPlease select an Array and try again.");
    EXPECT_EQ(MessageForExit(3).text,
              "Error! Download did not complete (3)\nThis may be due to a SCSI timeout, "
              "Driver\ntimeout, or an Internal timeout.");
    EXPECT_EQ(MessageForExit(4).text, "Unknown error! Download did not complete (4)");
    for (int code : {0, 1, 2, 3, 4})
        EXPECT_EQ(MessageForExit(code).caption, "Strovane Download");
    for (int code : {5, 127, -1}) {
        EXPECT_EQ(MessageForExit(code).text, "Unknown Error Code");
        EXPECT_EQ(MessageForExit(code).caption, "Strovane Download Failed ");
    }
}

TEST(FlashpaneModel, DownloadIsLookedForHereFirstThenBesideFlashpane) {
    const std::filesystem::path base =
        std::filesystem::temp_directory_path() / ("oru-flashpane-" + std::to_string(::getpid()));
    const auto here = base / "here";
    const auto own = base / "own";
    std::filesystem::create_directories(here);
    std::filesystem::create_directories(own);
    auto program = [](const std::filesystem::path& dir, unsigned mode) {
        std::ofstream(dir / "download") << "#!/bin/sh\nexit 0\n";
        ::chmod((dir / "download").c_str(), mode);
    };
    EXPECT_EQ(FindDownload(here, own), "");
    program(own, 0755);
    EXPECT_EQ(FindDownload(here, own), (own / "download").string());
    program(here, 0644);  // there, but it cannot be run
    EXPECT_EQ(FindDownload(here, own), (own / "download").string());
    program(here, 0755);
    EXPECT_EQ(FindDownload(here, own), (here / "download").string());
    std::filesystem::remove_all(base);

    EXPECT_EQ(BaseName("/fw/controller.fw"), "controller.fw");
    EXPECT_EQ(BaseName("controller.fw"), "controller.fw");

    FlashpaneModel model("");
    EXPECT_TRUE(model.ChooseFirmware("/fw/a.fw"));
    EXPECT_TRUE(model.ChooseFirmware("x"));  // too short: nothing changes
    EXPECT_EQ(model.Firmware(), "/fw/a.fw");
    EXPECT_FALSE(model.ChooseFirmware("/" + std::string(download::kMaxCodeFileName, 'f')));
    EXPECT_EQ(model.Firmware(), "/fw/a.fw");
}

}  // namespace
