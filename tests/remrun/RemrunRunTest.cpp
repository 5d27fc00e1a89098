// remrun end to end: the request as it reaches the remote shell service,
// the streams copied to the right places, and the failures of the exchange.
#include "RemrunTestSupport.h"

#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

namespace remruntest {
namespace {

class RemrunRunTest : public RemrunFixture {
  protected:
    void SetUp() override {
        if (!CanBindReservedPort()) {
            GTEST_SKIP() << "the remote shell exchange needs a reserved port (run as root)";
        }
        RemrunFixture::SetUp();
    }
};

bool IsReservedPort(unsigned long port) {
    return port > 512 && port < 1024;
}

std::string LogonName() {
    passwd* entry = getpwuid(getuid());
    return entry != nullptr ? entry->pw_name : "";
}

// Bytes of every value, zeros and line ends among them, longer than many
// pieces of the exchange.
std::string BinaryPattern(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 31 + seed) % 256);
    }
    return bytes;
}

TEST_F(RemrunRunTest, RequestCarriesErrorPortUserTwiceAndCommandEachEndedByZero) {
    server_.Serve(RshBehaviour::ANSWER, "", "");
    RemrunResult result = Run({"127.0.0.1", "-l", "operator1", "touch", "/tmp/x", "1>/dev/null"});
    RshRequest request = server_.Finish();

    EXPECT_EQ(result.exitCode, 0) << result.err;
    ASSERT_TRUE(request.complete);
    EXPECT_EQ(request.localUser, "operator1");
    EXPECT_EQ(request.remoteUser, "operator1");
    EXPECT_EQ(request.command, "touch /tmp/x 1>/dev/null");
    // The service trusts only clients on reserved ports, for both connections.
    EXPECT_TRUE(IsReservedPort(request.clientPort)) << request.clientPort;
    ASSERT_FALSE(request.errorPort.empty());
    EXPECT_EQ(request.errorPort.find_first_not_of("0123456789"), std::string::npos)
        << request.errorPort;
    unsigned long errorPort = std::strtoul(request.errorPort.c_str(), nullptr, 10);
    EXPECT_TRUE(IsReservedPort(errorPort)) << errorPort;
    EXPECT_NE(errorPort, request.clientPort);
    EXPECT_TRUE(request.errorConnected);
}

TEST_F(RemrunRunTest, WithoutUserNameTheLogonNameGoesInBothFields) {
    server_.Serve(RshBehaviour::ANSWER, "", "");
    RemrunResult result = Run({"127.0.0.1", "id"});
    RshRequest request = server_.Finish();

    EXPECT_EQ(result.exitCode, 0) << result.err;
    ASSERT_TRUE(request.complete);
    EXPECT_EQ(request.localUser, LogonName());
    EXPECT_EQ(request.remoteUser, LogonName());
    EXPECT_EQ(request.command, "id");
}

TEST_F(RemrunRunTest, OutputAndErrorOutputReachTheirOwnStreams) {
    server_.Serve(RshBehaviour::ANSWER, "total 0\nfile.txt\n", "ls: cannot access 'x'\n");
    RemrunResult result = Run({"127.0.0.1", "ls", "file.txt", "x"});
    server_.Finish();

    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "total 0\nfile.txt\n");
    EXPECT_EQ(result.err, "ls: cannot access 'x'\n");
}

TEST_F(RemrunRunTest, LongBinaryStreamsAreCopiedByteForByte) {
    std::string output = BinaryPattern(70000, 7);
    std::string errorOutput = BinaryPattern(9000, 100);
    server_.Serve(RshBehaviour::ANSWER, output, errorOutput);
    RemrunResult result = Run({"127.0.0.1", "-b", "cat", "/dev/sda1"});
    server_.Finish();

    EXPECT_EQ(result.exitCode, 0);
    ASSERT_EQ(result.out.size(), output.size());
    EXPECT_TRUE(result.out == output);
    ASSERT_EQ(result.err.size(), errorOutput.size());
    EXPECT_TRUE(result.err == errorOutput);
}

TEST_F(RemrunRunTest, AnswerOfOnlyTheStatusByteGivesNoOutput) {
    server_.Serve(RshBehaviour::ANSWER, "", "");
    RemrunResult result = Run({"127.0.0.1", "true"});
    server_.Finish();

    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
}

// A refusal's reason goes to the error stream and fails the run, also when
// the server resets the connection after it instead of closing it: the user
// reads the refusal, not a receive error.
TEST_F(RemrunRunTest, ARefusalGoesToTheErrorStreamAndFailsTheRun) {
    for (RshBehaviour refusal : {RshBehaviour::REFUSE, RshBehaviour::REFUSE_THEN_RESET}) {
        SCOPED_TRACE(static_cast<int>(refusal));
        server_.Serve(refusal, "Permission denied.\n", "");
        RemrunResult result = Run({"127.0.0.1", "-l", "nobody", "id"});
        server_.Finish();

        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err.rfind("Permission denied.\n", 0), 0u) << result.err;
        EXPECT_NE(result.err.find("** ERROR: The remote host refused to run the command."),
                  std::string::npos)
            << result.err;
        EXPECT_EQ(result.err.find("Error receiving"), std::string::npos) << result.err;
    }
}

// remrun sends no input: once the request is out it ends its sending side,
// so a command that reads its input (cat, a shell) sees its end at once.
TEST_F(RemrunRunTest, TheSendingSideEndsAfterTheRequestSoACommandReadingInputEnds) {
    server_.Serve(RshBehaviour::READ_INPUT_FIRST, "no input\n", "");
    RemrunResult result = Run({"127.0.0.1", "cat"});
    RshRequest request = server_.Finish();

    EXPECT_TRUE(request.inputEnded);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "no input\n");
}

TEST_F(RemrunRunTest, AServerThatClosesBeforeAnsweringFailsTheRun) {
    server_.Serve(RshBehaviour::CLOSE_BEFORE_ANSWER, "", "");
    RemrunResult result = Run({"127.0.0.1", "date"});
    RshRequest request = server_.Finish();

    EXPECT_TRUE(request.complete);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(
        result.err.find("** ERROR: The remote host closed the connection before it answered.\n"),
        std::string::npos)
        << result.err;
}

TEST_F(RemrunRunTest, AServerThatClosesAtOnceFailsTheRun) {
    server_.Serve(RshBehaviour::CLOSE_AT_ONCE, "", "");
    RemrunResult result = Run({"127.0.0.1", "date"});
    RshRequest request = server_.Finish();

    EXPECT_TRUE(request.accepted);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err.rfind("** ERROR: ", 0), 0u) << result.err;
}

TEST_F(RemrunRunTest, AConnectionResetDuringTheOutputFailsTheRun) {
    server_.Serve(RshBehaviour::RESET_DURING_OUTPUT, BinaryPattern(5000, 3), "");
    RemrunResult result = Run({"127.0.0.1", "cat", "big"});
    server_.Finish();

    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("** ERROR: Error receiving the output of the remote command.\n** "
                              "Winsock error: The virtual circuit was reset by the remote side.\n"),
              std::string::npos)
        << result.err;
}

TEST_F(RemrunRunTest, ARefusedConnectionIsFatal) {
    // Nothing listens on the port the services entry names.
    std::uint16_t closedPort = testsupport::FreePort(SOCK_STREAM);
    ASSERT_NE(closedPort, 0);
    ASSERT_TRUE(root_.Write("etc/services", "shell " + std::to_string(closedPort) + "/tcp\n"));
    RemrunResult result = Run({"127.0.0.1", "date"});

    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err,
              "** ERROR: Unable to connect to RSH port\n\n** Winsock error: The connection "
              "attempt was refused.\n");
}

TEST_F(RemrunFixture, AnUnknownHostIsFatal) {
    // A name under the reserved top-level domain never resolves; the
    // resolver is told not to linger over it.
    RemrunResult result =
        Run({"no-such-host.invalid", "date"}, {"RES_OPTIONS=timeout:1 attempts:1"});

    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err.rfind("** ERROR: Hostname \"no-such-host.invalid\" invalid or unknown\n"
                               "** Winsock error: ",
                               0),
              0u)
        << result.err;
}

TEST_F(RemrunRunTest, AnUnknownOptionIsReportedAndTheCommandStillRuns) {
    server_.Serve(RshBehaviour::ANSWER, "ok\n", "");
    RemrunResult result = Run({"127.0.0.1", "-x", "-n", "uptime"});
    RshRequest request = server_.Finish();

    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "Passed option \"-x\" ignored...\nPassed option \"-n\" ignored...\n");
    EXPECT_EQ(result.out, "ok\n");
    EXPECT_EQ(request.command, "uptime");
}

TEST_F(RemrunRunTest, VersionIsPrintedBeforeTheCommandsOutput) {
    server_.Serve(RshBehaviour::ANSWER, "up 3 days\n", "");
    RemrunResult result = Run({"127.0.0.1", "-v", "uptime"});
    server_.Finish();

    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::string head = "\nremrun - VX Strovane Manager authorization utility, version 1.0\n";
    ASSERT_EQ(result.out.rfind(head, 0), 0u) << result.out;
    std::string rest = result.out.substr(head.size());
    // One more line of text, then the command's output.
    std::string::size_type lineEnd = rest.find('\n');
    ASSERT_NE(lineEnd, std::string::npos);
    EXPECT_GT(lineEnd, 0u);
    EXPECT_EQ(rest.substr(lineEnd + 1), "up 3 days\n");
}

TEST_F(RemrunRunTest, DebugTracesEveryArgumentAndTheSteps) {
    server_.Serve(RshBehaviour::ANSWER, "x\n", "");
    RemrunResult result = Run({"127.0.0.1", "-l", "op", "-d", "ls", "-d"});
    RshRequest request = server_.Finish();

    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "x\n");
    EXPECT_EQ(request.command, "ls -d");
    for (const char* line :
         {"DEBUG: argv[1] = 127.0.0.1\n", "DEBUG: argv[2] = -l\n", "DEBUG: argv[3] = op\n",
          "DEBUG: argv[4] = -d\n", "DEBUG: argv[5] = ls\n", "DEBUG: argv[6] = -d\n",
          "DEBUG: Connecting...\n", "DEBUG: Sending command: \"ls -d\", from user: \"op\"\n"}) {
        EXPECT_NE(result.err.find(line), std::string::npos) << line << "\n" << result.err;
    }
    // However the bytes were cut into pieces, the counts add up to the status
    // byte and the two bytes of output (the error stream sent nothing).
    int received = 0;
    const std::string countLine = "DEBUG: ...received ";
    for (std::string::size_type at = result.err.find(countLine); at != std::string::npos;
         at = result.err.find(countLine, at + 1)) {
        received += std::atoi(result.err.c_str() + at + countLine.size());
    }
    EXPECT_EQ(received, 3) << result.err;
    // The argument lines come first: debugging is on from the start.
    EXPECT_EQ(result.err.rfind("DEBUG: argv[0] = ", 0), 0u) << result.err;
}

TEST_F(RemrunRunTest, ADashDAmongTheCommandWordsBelongsToTheCommand) {
    server_.Serve(RshBehaviour::ANSWER, "", "");
    RemrunResult result = Run({"127.0.0.1", "ls", "-d", "/tmp"});
    RshRequest request = server_.Finish();

    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(request.command, "ls -d /tmp");
    EXPECT_EQ(result.err, "");
}

// Without the privilege to bind a reserved port the run cannot start; the
// user is told why instead of being sent after a broadcast address.
TEST_F(RemrunFixture, WithoutPrivilegeTheReservedPortFailureIsExplained) {
    if (CanBindReservedPort()) {
        GTEST_SKIP() << "this process may bind reserved ports";
    }
    RemrunResult result = Run({"127.0.0.1", "date"});

    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err,
              "** ERROR: Failed to allocate socket for the remrun client.\n** Winsock error: "
              "Permission denied: only a privileged user may bind a reserved port (below "
              "1024).\n");
}

}  // namespace
}  // namespace remruntest
