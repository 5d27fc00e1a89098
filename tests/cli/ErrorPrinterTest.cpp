// Error replies in words: the qualified messages, the generic print with
// the record's detail, OEM texts and sense data.
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>

#include "CliTestSupport.h"
#include "cli/common/CliConfig.h"
#include "cli/common/ErrorPrinter.h"
#include "coresys/common/OruErrors.h"
#include "coresys/common/PollMsg.h"

namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr std::uint32_t kErrorKind = 10;

oruerr Error(std::uint32_t code, std::uint32_t qualifier, std::uint32_t module = DEVICEMGR) {
    oruerr error;
    error.errorCode = code;
    error.qualifier = qualifier;
    error.moduleId = module;
    return error;
}

// Fixed-format sense data as the controller sends it.
void SetSense(oruerr& error, std::initializer_list<unsigned> bytes) {
    error.senseValid = 1;
    error.errorClass = 1;
    std::size_t i = 0;
    for (unsigned b : bytes) {
        error.text[i++] = static_cast<char>(b);
    }
}

// 26 bytes: illegal request, vendor code 36, a drive's hardware error from B4.
const std::initializer_list<unsigned> kDriveSense = {
    0x70, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x12, 0x00, 0x00, 0x00, 0x00, 0x80,
    0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x24, 0x00, 0x04, 0x44, 0x00, 0x07};

class ErrorPrinterTest : public CliTest {
  protected:
    std::string Qualified(const oruerr& error, std::uint32_t code,
                          std::initializer_list<CommandArgument> args = {}, bool verbose = false,
                          bool* handled = nullptr) {
        std::ostringstream out;
        const bool result = PrintQualifiedError(verbose, ReplyView{kErrorKind, &error}, code,
                                                std::span(args.begin(), args.size()), out);
        if (handled != nullptr) {
            *handled = result;
        }
        return out.str();
    }
    std::string CommandError(const ReplyView& reply, std::uint32_t code,
                             std::initializer_list<CommandArgument> args = {},
                             bool verbose = false) {
        std::ostringstream out;
        PrintCommandError(verbose, reply, code, std::span(args.begin(), args.size()), out);
        return out.str();
    }
    std::string Detail(const oruerr& error) {
        std::ostringstream out;
        PrintErrorDetail(&error, out);
        return out.str();
    }
    std::string Line(int set, int item, const std::string& text) {
        return Mark(set, item) + " " + text + "\n";
    }
};

TEST_F(ErrorPrinterTest, TableMessagesByRequestAndQualifier) {
    struct Case {
        std::uint32_t code;
        std::uint32_t qualifier;
        int item;
    };
    const Case plain[] = {
        {1, DIAG_RUNNING, 20},
        {1, DRIVE_ALREADY_INCLUDED, 22},
        {1, INVALID_PARAMETER, 149},
        {7, INVALID_PARAMETER, 149},
        {27, INVALID_PARAMETER, 149},
        {3, INVALID_PARAMETER, 149},
        {28, INVALID_PARAMETER, 149},
        {35, INVALID_PARAMETER, 149},
        {49, INVALID_PARAMETER, 149},
        {9, INVALID_PARAMETER, 149},
        {4, INVALID_PARAMETER, 137},
        {17, INVALID_PARAMETER, 137},
        {7, DRIVE_DOWN_DUPLICATION, 23},
        {19, SUBSYSTEM_NOT_SHUTDOWN, 26},
        {27, HOT_SPARE_UNAVAILABLE, 21},
        {27, UNKNOWN_FIELD, 33},
        {36, CONTROLLER_ALREADY_ACTIVE, 32},
        {36, CONTROLLER_NOT_PRESENT, 31},
        {38, ALREADY_SHUTDOWN, 28},
        {39, NO_REBUILD_NEEDED, 14},
        {39, REBUILD_IN_PROGRESS, 15},
        {40, NO_REBUILD_IN_PROGRESS, 16},
        {43, DIAG_RUNNING, 34},
        {44, DIAG_RUNNING, 34},
        {54, MODE_SELECT, 4},
    };
    for (const Case& c : plain) {
        bool handled = false;
        const std::string out = Qualified(Error(1, c.qualifier), c.code, {}, false, &handled);
        EXPECT_THAT(out, StartsWith(Mark(9, c.item))) << c.code << "/" << c.qualifier;
        EXPECT_EQ(out.back(), '\n');
        EXPECT_EQ(out.find('\n'), out.size() - 1) << "one line: " << out;
        EXPECT_TRUE(handled) << c.code << "/" << c.qualifier;
    }
}

TEST_F(ErrorPrinterTest, CombinationsOutsideTheTableAreNotHandled) {
    struct Case {
        std::uint32_t code;
        std::uint32_t qualifier;
    };
    const Case none[] = {{1, DRIVE_DOWN_DUPLICATION}, {12, INVALID_PARAMETER},
                         {36, DIAG_RUNNING},          {40, NO_REBUILD_NEEDED},
                         {55, INVALID_PARAMETER},     {1, UNKNOWN_COMMAND},
                         {30, UNKNOWN_COMMAND},       {38, 7}};
    for (const Case& c : none) {
        bool handled = true;
        EXPECT_EQ(Qualified(Error(1, c.qualifier), c.code, {}, false, &handled), "");
        EXPECT_FALSE(handled) << c.code << "/" << c.qualifier;
    }
}

TEST_F(ErrorPrinterTest, MessagesWithValuesOrTwoLines) {
    EXPECT_EQ(Qualified(Error(1, NO_LUN_EXISTS), 5, {{ARG_DECIMAL, 6}}),
              Line(9, 30, "Logical unit 6 does not exist."));
    // A reply to a request given without arguments still reads no argument.
    EXPECT_EQ(Qualified(Error(1, NO_LUN_EXISTS), 8), Line(9, 30, "Logical unit 0 does not exist."));
    EXPECT_EQ(Qualified(Error(1, UNKNOWN_COMMAND), 22),
              Line(9, 12, "The array-management service does not know request 22."));
    EXPECT_EQ(Qualified(Error(1, UNKNOWN_COMMAND), 56),
              Line(9, 12, "The array-management service does not know request 56."));

    const std::string format = Qualified(Error(1, DIAG_RUNNING), 9);
    EXPECT_THAT(format, StartsWith(Mark(9, 35)));
    EXPECT_THAT(format, HasSubstr("\n" + Mark(9, 149)));

    bool handled = false;
    EXPECT_THAT(Qualified(Error(ERR_LOCK_NOT_OWNED, 0), 37, {}, false, &handled),
                StartsWith(Mark(9, 36)));
    EXPECT_TRUE(handled);
    EXPECT_THAT(Qualified(Error(ERR_PERFORMANCE_LOG_DATA_UNAVAILABLE, 0), 10, {}, false, &handled),
                StartsWith(Mark(9, 142)));
    EXPECT_TRUE(handled);
}

TEST_F(ErrorPrinterTest, UnknownFieldOfASettingIsFollowedByTheGenericPrint) {
    oruerr error = Error(ERR_COMMAND_FAILED, UNKNOWN_FIELD, SUBSYSTEM);
    const std::string out = CommandError(ReplyView{kErrorKind, &error}, 24);
    const std::string expected =
        Mark(9, 33) + " The array does not support this setting.\n\n" + Mark(9, 250) +
        " The request ended with a reply of kind \"RMT_ORUERRORSTATUS_MSG\"\n\n" +
        Line(9, 150, "Error code: ERR_COMMAND_FAILED") + Line(9, 151, "Qualifier:  UNKNOWN_FIELD") +
        Line(9, 152, "Module:     SUBSYSTEM") +
        Line(9, 153, "Source:     " + Mark(9, 61) + " source 0") +
        Line(9, 154, "Class:      " + Mark(9, 67) + " general failure");
    EXPECT_EQ(out, expected);

    // The same qualifier to the hot-spare request is handled by its line.
    EXPECT_EQ(CommandError(ReplyView{kErrorKind, &error}, 27),
              Line(9, 33, "The array does not support this setting."));
}

TEST_F(ErrorPrinterTest, VerboseAddsTheGenericPrintToHandledReplies) {
    oruerr error = Error(ERR_COMMAND_FAILED, ALREADY_SHUTDOWN, SUBSYSTEM);
    const std::string out = CommandError(ReplyView{kErrorKind, &error}, 38, {}, true);
    EXPECT_THAT(out, StartsWith(Mark(9, 28)));
    EXPECT_THAT(out, HasSubstr(Mark(9, 250)));
    EXPECT_THAT(out, HasSubstr("Qualifier:  ALREADY_SHUTDOWN"));
}

TEST_F(ErrorPrinterTest, WrongKindPrintsOnlyTheKindName) {
    EXPECT_EQ(CommandError(ReplyView{1, nullptr}, 12),
              Mark(9, 250) + " The request ended with a reply of kind \"RMT_OKSTATUS_MSG\"\n");
    EXPECT_EQ(CommandError(ReplyView{4, nullptr}, 12),
              Mark(9, 250) + " The request ended with a reply of kind \"" + Mark(9, 58) +
                  " reply kind 4\"\n");
    EXPECT_EQ(CommandError(ReplyView{kErrorKind, nullptr}, 12),
              Mark(9, 250) +
                  " The request ended with a reply of kind \"RMT_ORUERRORSTATUS_MSG\"\n" +
                  Line(9, 148, "The error reply carries no error record."));
}

TEST_F(ErrorPrinterTest, ReplyViewOfPollResults) {
    OruErrStatus_RtnMsg reply;
    reply.error = Error(ERR_DIAG_RUNNING, DIAG_RUNNING);
    const ErrorPollMsg poll(reply);
    const ReplyView view = ReplyView::Of(poll);
    EXPECT_EQ(view.kind, kErrorKind);
    ASSERT_NE(view.error, nullptr);
    EXPECT_EQ(view.error->qualifier, DIAG_RUNNING);

    const PollMsg plain(OkStatus_RtnMsg(1));
    EXPECT_EQ(ReplyView::Of(plain).kind, 1u);
    EXPECT_EQ(ReplyView::Of(plain).error, nullptr);
}

TEST_F(ErrorPrinterTest, DetailShowsFurtherValuesAndQualifiersWithoutName) {
    oruerr error = Error(99, 49, 9);
    error.source = 1;
    error.errorClass = 7;
    error.detail = 12;
    error.oemItem = 3;
    error.extraBytes = {1, 2, 3, 4, 5};
    const std::string expected =
        "\n" + Line(9, 150, "Error code: " + Mark(9, 55) + " error code 99") +
        Line(9, 151, "Qualifier:  " + Mark(9, 57) + " qualifier 49") +
        Line(9, 152, "Module:     " + Mark(9, 60) + " module 9") +
        Line(9, 153, "Source:     " + Mark(9, 81) + " array controller") +
        Line(9, 154,
             "Class:      " + Mark(9, 71) +
                 " the logical units changed; the host must "
                 "rescan its devices") +
        Line(9, 155, "Further error number: 12") + Line(9, 90, "Extra bytes: 5");
    EXPECT_EQ(Detail(error), expected);

    // The extra-byte count belongs to errors of source 1 only.
    error.source = 2;
    EXPECT_THAT(Detail(error), ::testing::Not(HasSubstr(Mark(9, 90))));
}

TEST_F(ErrorPrinterTest, ClassOneDetailCarriesTheSenseData) {
    oruerr error = Error(ERR_COMMAND_FAILED, DOWN_PHYSICAL_DRIVE, SUBSYSTEM);
    error.errorClass = 1;
    EXPECT_THAT(Detail(error),
                HasSubstr("\n\n" + Line(9, 130, "The error came without sense data.")));
    SetSense(error, kDriveSense);
    const std::string out = Detail(error);
    EXPECT_THAT(out, HasSubstr("\n\n" + Line(9, 131, "Sense data:") + "  0:  0x70  0x00  0x05"));
}

TEST_F(ErrorPrinterTest, SenseDataPrintsBytesAndFields) {
    oruerr error;
    SetSense(error, kDriveSense);
    std::ostringstream out;
    out << std::hex;
    PrintSenseData(error.SenseBytes(), out);
    const std::string expected =
        "  0:  0x70  0x00  0x05  0x00  0x00  0x00  0x00  0x12  \n"
        "  8:  0x00  0x00  0x00  0x00  0x80  0x00  0x03  0x00  \n"
        "  16:  0x00  0x00  0x00  0x00  0x24  0x00  0x04  0x44  \n"
        "  24:  0x00  0x07  \n"
        "   " +
        Mark(9, 108) + " Sense key 5:  " + Mark(9, 99) +
        " ILLEGAL REQUEST\n"
        "               ASC:  0x80\n"
        "              ASCQ:  0x00\n"
        "   " +
        Mark(9, 112) + " Additional sense length: 18 " + Mark(9, 114) +
        " (long form with drive data)\n"
        "   " +
        Mark(9, 116) +
        " FRU code: 0x03\n"
        "   " +
        Mark(9, 117) +
        " Vendor byte: 0x00\n"
        "   " +
        Mark(9, 118) +
        " Vendor code: 36\n"
        "   " +
        Mark(9, 119) +
        " Drive B4:\n"
        "            " +
        Mark(9, 121) + " Drive sense key 4:  " + Mark(9, 98) +
        " HARDWARE ERROR\n"
        "            " +
        Mark(9, 123) +
        " Drive ASC: 0x44\n"
        "            " +
        Mark(9, 124) + " Drive ASCQ: 0x00\n";
    EXPECT_EQ(out.str(), expected);
    out.str("");
    out << 255;
    EXPECT_EQ(out.str(), "ff") << "the stream's format flags are kept";
}

TEST_F(ErrorPrinterTest, ShortSensePrintsOnlyTheFieldsItHolds) {
    oruerr error;
    // Additional length 10: 18 bytes; bytes 18 to 20 hold stale values.
    SetSense(error, {0x70, 0,    0x02, 0,    0, 0, 0, 10,   0,    0,   0,
                     0,    0x04, 0x01, 0x05, 0, 0, 0, 0xEE, 0x00, 0x13});
    std::ostringstream out;
    PrintSenseData(error.SenseBytes(), out);
    const std::string text = out.str();
    EXPECT_THAT(text, StartsWith("  0:  0x70  0x00  0x02  0x00  0x00  0x00  0x00  0x0a  \n"
                                 "  8:  0x00  0x00  0x00  0x00  0x04  0x01  0x05  0x00  \n"
                                 "  16:  0x00  0x00  \n"));
    EXPECT_THAT(text, HasSubstr(Mark(9, 115)));
    EXPECT_THAT(text, HasSubstr(Mark(9, 116) + " FRU code: 0x05"));
    EXPECT_THAT(text, ::testing::Not(HasSubstr(Mark(9, 117))));
    EXPECT_THAT(text, ::testing::Not(HasSubstr(Mark(9, 118))));
    EXPECT_THAT(text, ::testing::Not(HasSubstr(Mark(9, 119))));

    // And no sense-code message from the stale bytes.
    error.errorCode = ERR_COMMAND_FAILED;
    error.moduleId = SUBSYSTEM;
    EXPECT_EQ(Qualified(error, 1), "");
}

TEST_F(ErrorPrinterTest, BinarySenseIsCappedAtSixtyFourBytes) {
    oruerr error;
    error.senseValid = 1;
    std::memset(error.text, 0xFF, sizeof(error.text));
    std::ostringstream out;
    PrintSenseData(error.SenseBytes(), out);
    const std::string text = out.str();
    EXPECT_THAT(text, HasSubstr("  56:  0xff"));
    EXPECT_THAT(text, ::testing::Not(HasSubstr("  64:")));
    EXPECT_THAT(text, HasSubstr(Mark(9, 104)));  // key 15 has no name
    EXPECT_THAT(text, ::testing::Not(HasSubstr(Mark(9, 119))));

    // Fewer received bytes than the sense data claims: only those are read.
    out.str("");
    PrintSenseData(std::string_view(error.text, 4), out);
    EXPECT_EQ(out.str().substr(0, 29), "  0:  0xff  0xff  0xff  0xff ");
    EXPECT_THAT(out.str(), ::testing::Not(HasSubstr("ASC")));
}

TEST_F(ErrorPrinterTest, SenseCodesChooseMessages) {
    struct Case {
        unsigned vendorCode;
        std::uint32_t code;
        int item;  // 0: not handled by sense
    };
    const Case cases[] = {
        {5, 1, 140},   {47, 44, 140}, {5, 4, 0},     {15, 8, 135},  {15, 4, 0},
        {16, 4, 134},  {16, 5, 135},  {16, 8, 136},  {16, 17, 137}, {16, 1, 0},
        {17, 17, 135}, {18, 4, 133},  {19, 39, 141}, {19, 12, 0},   {26, 12, 132},
        {48, 40, 17},  {88, 9, 18},   {88, 8, 0},    {36, 1, 0},    {1000, 1, 0},
    };
    for (const Case& c : cases) {
        oruerr error = Error(ERR_COMMAND_FAILED, NO_QUALIFIER, SUBSYSTEM);
        SetSense(error, kDriveSense);
        error.text[19] = static_cast<char>(c.vendorCode >> 8);
        error.text[20] = static_cast<char>(c.vendorCode & 0xFF);
        bool handled = false;
        const std::string out = Qualified(error, c.code, {}, false, &handled);
        if (c.item == 0) {
            EXPECT_EQ(out, "") << c.vendorCode << "/" << c.code;
        } else {
            EXPECT_THAT(out, StartsWith(Mark(9, c.item))) << c.vendorCode << "/" << c.code;
        }
        EXPECT_EQ(handled, c.item != 0);
    }
}

TEST_F(ErrorPrinterTest, DownRefusalDependsOnTheAllowance) {
    oruerr error = Error(ERR_COMMAND_FAILED, DOWN_PHYSICAL_DRIVE, SUBSYSTEM);
    SetSense(error, kDriveSense);  // vendor code 36
    EXPECT_THAT(Qualified(error, 7, {{ARG_DECIMAL, 3}, {ARG_ALLOWANCE, 0}}),
                StartsWith(Mark(9, 138)));
    EXPECT_THAT(Qualified(error, 7, {{ARG_DECIMAL, 3}, {ARG_ALLOWANCE, 1}}),
                StartsWith(Mark(9, 139)));
    EXPECT_EQ(Qualified(error, 7, {{ARG_DECIMAL, 3}, {ARG_ALLOWANCE, 2}}), "");
    EXPECT_EQ(Qualified(error, 7, {{ARG_DECIMAL, 3}, {ARG_DECIMAL, 0}}), "");
    EXPECT_EQ(Qualified(error, 7, {{ARG_DECIMAL, 3}}), "") << "a missing argument is not read";
}

TEST_F(ErrorPrinterTest, SenseNeedsAKeyAndTwentyOneBytes) {
    oruerr error = Error(ERR_COMMAND_FAILED, NO_QUALIFIER, SUBSYSTEM);
    SetSense(error, kDriveSense);
    error.text[20] = 26;  // controller busy, for any request

    error.text[7] = 13;  // 21 bytes: enough
    EXPECT_THAT(Qualified(error, 12), StartsWith(Mark(9, 132)));
    error.text[7] = 12;  // 20 bytes: byte 20 is not part of the sense data
    EXPECT_EQ(Qualified(error, 12), "");
    error.text[7] = 18;
    error.text[2] = 0x00;  // no sense key
    EXPECT_EQ(Qualified(error, 12), "");
    error.text[2] = 0x05;
    error.senseValid = 0;
    EXPECT_EQ(Qualified(error, 12), "");
}

TEST_F(ErrorPrinterTest, OemMessageWithoutItsCatalogNamesSetAndItem) {
    oruerr error = Error(ERR_COMMAND_FAILED, CREATE_LUN, SUBSYSTEM);
    error.errorClass = 3;
    error.source = 42;
    error.oemSet = 2;
    error.oemItem = 7;
    const std::string out = CommandError(ReplyView{kErrorKind, &error}, 4);
    EXPECT_THAT(out, StartsWith(Line(9, 310, "No OEM text for set 2, item 7.") + Mark(9, 250)));
    EXPECT_THAT(out, HasSubstr("Qualifier:  CREATE_LUN"));

    // Not an OEM error: another module, another class or no item.
    std::ostringstream none;
    for (auto change :
         {+[](oruerr& e) { e.moduleId = DEVICEMGR; }, +[](oruerr& e) { e.errorClass = 1; },
          +[](oruerr& e) { e.oemItem = 0; }, +[](oruerr& e) { e.oemSet = 0; }}) {
        oruerr other = error;
        change(other);
        EXPECT_FALSE(PrintOemMessage(other, none));
    }
    EXPECT_EQ(none.str(), "");
}

TEST_F(ErrorPrinterTest, OemMessageFromItsCatalog) {
    // An OEM catalog numbered 42 in a catalog tree of its own.
    char pattern[] = "/tmp/cli_oem_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string root = pattern;
    ASSERT_EQ(::mkdir((root + "/en").c_str(), 0755), 0);
    {
        std::ofstream msg(root + "/oemmsg42.msg");
        msg << "$set 2\n7 The vendor's own words.\n";
    }
    const std::string gencat =
        std::string(ORU_GENCAT) + " " + root + "/en/oemmsg42.cat " + root + "/oemmsg42.msg";
    ASSERT_EQ(std::system(gencat.c_str()), 0);
    ::setenv("ORU_NLSPATH", root.c_str(), 1);

    oruerr error = Error(ERR_COMMAND_FAILED, CREATE_LUN, SUBSYSTEM);
    error.errorClass = 3;
    error.source = 42;
    error.oemSet = 2;
    error.oemItem = 7;
    bool handled = false;
    EXPECT_EQ(Qualified(error, 4, {}, false, &handled), "The vendor's own words.\n");
    EXPECT_TRUE(handled);

    error.oemItem = 8;
    EXPECT_EQ(Qualified(error, 4, {}, false, &handled),
              Line(9, 310, "No OEM text for set 2, item 8."));
    EXPECT_FALSE(handled);

    ::setenv("ORU_NLSPATH", ORU_NLS_DIR, 1);
    std::system(("rm -rf " + root).c_str());
}

// The service reports a failed storage command with the words of its
// outcome: source 4 (the result record's kind), the result as the class, the
// reason as the OEM set and the valid word as the item. The catalog those
// records name ships with the programs.
TEST_F(ErrorPrinterTest, StorageCommandFailuresFindTheirOemTexts) {
    struct Case {
        std::uint32_t reason;
        std::uint32_t detail;
    } cases[] = {{7, 5}, {5, 12}, {6, 0}};  // system call failed (EIO), no memory, SCSI status
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        oruerr error = Error(ERR_COMMAND_FAILED, CREATE_LUN, SUBSYSTEM);
        error.source = 4;
        error.errorClass = 3;
        error.detail = c.detail;
        error.oemSet = c.reason;
        error.oemItem = 1;
        testing::internal::CaptureStderr();
        bool handled = false;
        const std::string out = Qualified(error, 4, {}, false, &handled);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_THAT(out, StartsWith(Mark(static_cast<int>(c.reason), 1) + " "));
        EXPECT_EQ(out.find("No OEM text"), std::string::npos) << out;
        EXPECT_TRUE(handled);
    }
}

// A record that names an OEM catalog nobody ships gets the "no OEM
// text" line and the generic print, but no complaint about the catalog.
TEST_F(ErrorPrinterTest, AnOemCatalogThatIsNotThereIsAQuietMiss) {
    oruerr error = Error(ERR_COMMAND_FAILED, CREATE_LUN, SUBSYSTEM);
    error.errorClass = 3;
    error.source = 42;
    error.oemSet = 2;
    error.oemItem = 7;
    testing::internal::CaptureStderr();
    const std::string out = CommandError(ReplyView{kErrorKind, &error}, 4);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_THAT(out, StartsWith(Line(9, 310, "No OEM text for set 2, item 7.") + Mark(9, 250)));
}

TEST_F(ErrorPrinterTest, ListAndSessionStatusLines) {
    std::ostringstream out;
    PrintListStatus(2, out);
    PrintSessionStatus(11, out);
    EXPECT_EQ(out.str(), "ASL_DATAGRAM_INITIALIZE_FAILED\n" + Mark(9, 320) +
                             " Connection status: " + Mark(9, 332) + " authentication failed\n");
}

}  // namespace
