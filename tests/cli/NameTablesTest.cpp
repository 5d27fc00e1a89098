// Names and words of error codes, qualifiers, modules, reply kinds,
// statuses, classes, sources and sense keys.
#include <string>

#include "CliTestSupport.h"
#include "cli/common/NameTables.h"

namespace {

using ::testing::StartsWith;

class NameTablesTest : public CliTest {};

TEST_F(NameTablesTest, ErrorCodes) {
    EXPECT_EQ(ErrorCodeText(0), "ERR_NO_FAIL");
    EXPECT_EQ(ErrorCodeText(7), "ERR_LOCK_NOT_OWNED");
    EXPECT_EQ(ErrorCodeText(10), "ERR_COMMAND_GOOD_UNABLE_TO_CHECK_FOR_HOTSPARE");
    EXPECT_EQ(ErrorCodeText(13), "ERR_PERFORMANCE_LOG_DATA_UNAVAILABLE");
    EXPECT_EQ(ErrorCodeText(14), Mark(9, 55) + " error code 14");
    EXPECT_EQ(ErrorCodeText(0xFFFFFFFFu), Mark(9, 55) + " error code 4294967295");
}

TEST_F(NameTablesTest, QualifiersWithoutNamesShowTheirNumber) {
    EXPECT_EQ(QualifierText(0), "NO_QUALIFIER");
    EXPECT_EQ(QualifierText(6), "CHECK_SUBSYSTEM_STATE");
    EXPECT_EQ(QualifierText(8), "CONTROLLER_ALREADY_ACTIVE");
    EXPECT_EQ(QualifierText(26), "INVALID_PARAMETER");
    EXPECT_EQ(QualifierText(48), "TAKE_CONTROL");
    EXPECT_EQ(QualifierText(50), "UNKNOWN_FIELD");
    EXPECT_EQ(QualifierText(54), "WRITE_READ_TEST");
    for (std::uint32_t q : {7u, 49u, 55u, 56u}) {
        EXPECT_EQ(QualifierText(q), Mark(9, 57) + " qualifier " + std::to_string(q));
    }
}

TEST_F(NameTablesTest, ModulesAndReplyKinds) {
    EXPECT_EQ(ModuleIdText(0), "NO_MODULE_ID");
    EXPECT_EQ(ModuleIdText(5), "SUBSYSTEM");
    EXPECT_EQ(ModuleIdText(6), "DIAGNOSTIC");
    EXPECT_EQ(ModuleIdText(7), Mark(9, 60) + " module 7");

    EXPECT_EQ(MessageKindText(0), "RMT_INVALID");
    EXPECT_EQ(MessageKindText(1), "RMT_OKSTATUS_MSG");
    EXPECT_EQ(MessageKindText(10), "RMT_ORUERRORSTATUS_MSG");
    EXPECT_EQ(MessageKindText(100), "RMT_GROSSSTATUS_MSG");
    EXPECT_EQ(MessageKindText(4), Mark(9, 58) + " reply kind 4");
    EXPECT_EQ(MessageKindText(11), Mark(9, 58) + " reply kind 11");
}

TEST_F(NameTablesTest, ListStatuses) {
    EXPECT_EQ(ListStatusText(0), "ASL_GOOD");
    EXPECT_THAT(ListStatusText(1), StartsWith(Mark(9, 261)));
    EXPECT_EQ(ListStatusText(2), "ASL_DATAGRAM_INITIALIZE_FAILED");
    EXPECT_EQ(ListStatusText(3), "ASL_SECURE_SUCCESS");
    EXPECT_THAT(ListStatusText(4), StartsWith(Mark(9, 264)));
    EXPECT_THAT(ListStatusText(5), StartsWith(Mark(9, 265)));
    EXPECT_EQ(ListStatusText(6), "ASL_NPI_OK");
    EXPECT_EQ(ListStatusText(9), "ASL_WRONG_API");
    EXPECT_EQ(ListStatusText(10), "ASL_WRONG_TLI");
    EXPECT_EQ(ListStatusText(11), Mark(9, 59) + " subsystem list status 11");
    EXPECT_EQ(ListStatusText(-1), Mark(9, 59) + " subsystem list status -1");
}

TEST_F(NameTablesTest, SessionStatuses) {
    for (int status = 0; status <= 11; ++status) {
        EXPECT_THAT(SessionStatusText(status), StartsWith(Mark(9, 321 + status))) << status;
    }
    EXPECT_EQ(SessionStatusText(12), Mark(9, 340) + " unknown status 12");
    EXPECT_EQ(SessionStatusText(-3), Mark(9, 340) + " unknown status -3");
}

TEST_F(NameTablesTest, ErrorClassesAndSources) {
    const int classItems[] = {65, 66, 72, 67, 68, 69, 70, 71};
    for (std::uint32_t c = 0; c < 8; ++c) {
        EXPECT_THAT(ErrorClassText(c), StartsWith(Mark(9, classItems[c]))) << c;
    }
    EXPECT_EQ(ErrorClassText(8), Mark(9, 75) + " class 8");

    for (std::uint32_t s = 1; s <= 6; ++s) {
        EXPECT_THAT(ErrorSourceText(s), StartsWith(Mark(9, 80 + static_cast<int>(s)))) << s;
    }
    EXPECT_EQ(ErrorSourceText(0), Mark(9, 61) + " source 0");
    EXPECT_EQ(ErrorSourceText(7), Mark(9, 61) + " source 7");
}

TEST_F(NameTablesTest, SenseKeys) {
    for (std::uint32_t key = 0; key <= 7; ++key) {
        EXPECT_THAT(SenseKeyText(key), StartsWith(Mark(9, 94 + static_cast<int>(key)))) << key;
    }
    EXPECT_THAT(SenseKeyText(11), StartsWith(Mark(9, 102)));
    EXPECT_THAT(SenseKeyText(14), StartsWith(Mark(9, 103)));
    for (std::uint32_t key : {8u, 9u, 10u, 12u, 13u, 15u}) {
        EXPECT_THAT(SenseKeyText(key), StartsWith(Mark(9, 104))) << key;
    }
}

}  // namespace
