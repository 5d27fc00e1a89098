// OruServr in the console of a fresh machine: its texts, its stop signals,
// its exit codes and its event-log records.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <filesystem>

#include "support/ServerProcess.h"

namespace {

constexpr int kLimitMs = 60000;

class ConsoleServiceTest : public ::testing::Test {
  protected:
    // Index of the first event-log record that contains text, -1 if none.
    static int RecordIndex(const std::string& text) {
        std::vector<std::string> texts = testsupport::EventLogTexts();
        for (std::size_t i = 0; i < texts.size(); ++i) {
            if (texts[i].find(text) != std::string::npos) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    testsupport::FreshRoot root_;
    testsupport::ServerProcess server_{root_, ORU_BIN_DIR};
};

TEST_F(ConsoleServiceTest, PrintsItsTextsAndStopsOnSigintWithExitZero) {
    ASSERT_TRUE(server_.Start()) << server_.Process().StartError();
    testsupport::ChildProcess& process = server_.Process();
    ASSERT_TRUE(
        process.WaitForStdout("Debug mode enabled.\nDebugging OruServer Service.\n", kLimitMs))
        << process.Stdout() << process.Stderr();
    ASSERT_TRUE(server_.WaitUntilRunning(kLimitMs)) << process.Stderr();

    ASSERT_TRUE(process.Signal(SIGINT));
    EXPECT_TRUE(process.WaitForStdout("Stopping OruServer Service.\n", kLimitMs));
    EXPECT_EQ(process.WaitExit(kLimitMs), 0) << process.Stderr();
    EXPECT_EQ(process.Stdout(),
              "Debug mode enabled.\nDebugging OruServer Service.\nStopping OruServer Service.\n");
    EXPECT_EQ(process.Stderr(), "");

    int started = RecordIndex("OruServr Started\n");
    int exited = RecordIndex("OruServr Exited\n");
    EXPECT_GE(started, 0);
    EXPECT_GT(exited, started);
    // In the console the service logs no errors of its own.
    for (const std::string& text : testsupport::EventLogTexts()) {
        EXPECT_EQ(text.find("OruServer Service error"), std::string::npos) << text;
    }
}

TEST_F(ConsoleServiceTest, StopsOnSigtermWithExitZero) {
    ASSERT_TRUE(server_.Start());
    ASSERT_TRUE(server_.WaitUntilRunning(kLimitMs)) << server_.Process().Stderr();
    ASSERT_TRUE(server_.Process().Signal(SIGTERM));
    EXPECT_EQ(server_.Process().WaitExit(kLimitMs), 0) << server_.Process().Stderr();
    // Only the console's stop keys print the stopping text.
    EXPECT_EQ(server_.Process().Stdout().find("Stopping"), std::string::npos);
    EXPECT_GE(RecordIndex("OruServr Exited\n"), 0);
}

TEST_F(ConsoleServiceTest, DebugModeNeedsExactlyOn) {
    // "on" is not "ON": the program tries to run under the service manager,
    // which did not start it.
    ASSERT_TRUE(server_.Start({"ORU_DEBUG=on"}));
    EXPECT_EQ(server_.Process().WaitExit(kLimitMs), 1);
    EXPECT_EQ(server_.Process().Stdout(), "");
    EXPECT_NE(server_.Process().Stderr().find("StartServiceCtrlDispatcher failed."),
              std::string::npos)
        << server_.Process().Stderr();
}

TEST_F(ConsoleServiceTest, TextsAfterStartComeFromTheCatalogOfTheUsersLanguage) {
    // The generated test language marks every catalog text with its number.
    ASSERT_TRUE(server_.Start({"LANG=xx"}));
    ASSERT_TRUE(server_.WaitUntilRunning(kLimitMs, "[2.16] OruServr [2.17] Started"))
        << server_.Process().Stderr();
    server_.Process().Signal(SIGINT);
    EXPECT_EQ(server_.Process().WaitExit(kLimitMs), 0);
    // The first two texts print before the catalog is open.
    EXPECT_EQ(server_.Process().Stdout(),
              "Debug mode enabled.\nDebugging OruServer Service.\n"
              "[2.3] Stopping OruServer Service.\n");
    EXPECT_GE(RecordIndex("[2.16] OruServr [2.17] Started"), 0);
}

TEST_F(ConsoleServiceTest, AFatalErrorOnTheMainThreadBeforeRunningStopsAndExitsOne) {
    ASSERT_TRUE(server_.Start({"ORU_TEST_FATAL=start"}));
    EXPECT_EQ(server_.Process().WaitExit(kLimitMs), 1);
    EXPECT_NE(server_.Process().Stderr().find("OruServr: StartServer test fatal error"),
              std::string::npos)
        << server_.Process().Stderr();
    int fatal = RecordIndex("OruServr: StartServer test fatal error");
    int exited = RecordIndex("OruServr Exited\n");
    EXPECT_GE(fatal, 0);
    EXPECT_GT(exited, fatal) << "the stop sequence did not run after the report";
    EXPECT_LT(RecordIndex("OruServr Started"), 0);
}

TEST_F(ConsoleServiceTest, AFatalErrorOnATaskThreadBeforeRunningExitsOne) {
    ASSERT_TRUE(server_.Start({"ORU_TEST_FATAL=start-task"}));
    EXPECT_EQ(server_.Process().WaitExit(kLimitMs), 1);
    EXPECT_GE(RecordIndex("OruServr: ServiceTask::Dispatch Invalid ServiceTask request code"), 0);
    EXPECT_LT(RecordIndex("OruServr Started"), 0);
}

TEST_F(ConsoleServiceTest, AFatalErrorAfterRunningExitsThreeWithoutTheStopSequence) {
    ASSERT_TRUE(server_.Start({"ORU_TEST_FATAL=running"}));
    EXPECT_EQ(server_.Process().WaitExit(kLimitMs), 3);
    EXPECT_NE(
        server_.Process().Stderr().find("OruServr: ServiceTask::Dispatch Invalid ServiceTask"),
        std::string::npos)
        << server_.Process().Stderr();
    EXPECT_GE(RecordIndex("OruServr Started"), 0);
    EXPECT_GE(RecordIndex("Invalid ServiceTask request code"), 0);
    EXPECT_LT(RecordIndex("OruServr Exited"), 0);
}

TEST_F(ConsoleServiceTest, ADamagedRegistryStopsTheStartWithExitOneAndIsLeftAlone) {
    const std::string damaged =
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Verdanix\\Strovane\\OruServer\\Administration]\n"
        "\"Path Name\"=\"C:\\\\oru_admin\n";
    ASSERT_TRUE(root_.Write("registry/HKEY_LOCAL_MACHINE.reg", damaged));
    ASSERT_TRUE(server_.Start());
    EXPECT_EQ(server_.Process().WaitExit(kLimitMs), 1);
    std::string err = server_.Process().Stderr();
    EXPECT_NE(err.find("OruServr: ServerConfig The service configuration cannot be read: "),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("HKEY_LOCAL_MACHINE"), std::string::npos) << err;
    EXPECT_GE(RecordIndex("The service configuration cannot be read"), 0);
    EXPECT_EQ(root_.Read("registry/HKEY_LOCAL_MACHINE.reg"), damaged);
}

// A registry file cut to 0 bytes is no fresh machine: run on defaults, the
// service would lose its administration path and put its logs elsewhere.
TEST_F(ConsoleServiceTest, ARegistryFileOfZeroBytesStopsTheStartWithExitOne) {
    ASSERT_TRUE(root_.Write("registry/HKEY_LOCAL_MACHINE.reg", ""));
    ASSERT_TRUE(server_.Start());
    EXPECT_EQ(server_.Process().WaitExit(kLimitMs), 1);
    const std::string err = server_.Process().Stderr();
    EXPECT_NE(err.find("OruServr: ServerConfig The service configuration cannot be read: "),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("HKEY_LOCAL_MACHINE.reg"), std::string::npos) << err;
    EXPECT_EQ(root_.Read("registry/HKEY_LOCAL_MACHINE.reg"), "");
    EXPECT_TRUE(std::filesystem::exists(root_.File("registry/HKEY_LOCAL_MACHINE.reg")));
}

TEST_F(ConsoleServiceTest, AStopRequestDuringStartIsNotLost) {
    // SIGTERM as soon as the program prints: the service may still be
    // starting, and must then stop as soon as it has started.
    ASSERT_TRUE(server_.Start());
    ASSERT_TRUE(server_.Process().WaitForStdout("Debugging OruServer Service.\n", kLimitMs));
    server_.Process().Signal(SIGTERM);
    EXPECT_EQ(server_.Process().WaitExit(kLimitMs), 0) << server_.Process().Stderr();
}

}  // namespace
