// OruServr in the console over strovsim in a fresh machine root: two
// cabinets (the first with both controllers on two paths each, the second
// with controller Y only) and a plain disk.
#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "support/FreshRoot.h"
#include "support/ServerProcess.h"
#include "support/SimProcess.h"

namespace {

using testsupport::FreshRoot;
using testsupport::ServerProcess;
using testsupport::SimProcess;

// Both paths of each controller: the scan keeps whichever comes first.
const std::vector<std::string> kFirstX = {"STROVANE0", "PHYSICALDRIVE1"};
const std::vector<std::string> kFirstY = {"STROVANE1", "PHYSICALDRIVE2"};
const std::vector<std::string> kSecondY = {"STROVANE3", "PHYSICALDRIVE4"};

class ServiceEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(sim_.Start());
        ASSERT_EQ(sim_.Control({"remove-controller", "1", "X"}), 0);
    }
    void StartServer() {
        ASSERT_TRUE(server_.Start({"ORU_TRACE=1", "ORU_SMON_INTERVAL=1", "ORU_PLOG_INTERVAL=1"}));
        ASSERT_TRUE(server_.WaitUntilRunning(30000)) << server_.Process().Stderr();
    }
    void TearDown() override {
        if (server_.Process().Running()) {
            server_.Process().Signal(SIGTERM);
            server_.Process().WaitExit(20000);
        }
    }

    std::string Trace(const std::vector<std::string>& paths) {
        std::string text;
        for (const std::string& path : paths) {
            text += sim_.Trace(path);
        }
        return text;
    }
    void ClearTrace(const std::vector<std::string>& paths) {
        for (const std::string& path : paths) {
            sim_.Control({"clear-trace", path});
        }
    }
    // Waits until the trace of paths holds text.
    bool WaitForTrace(const std::vector<std::string>& paths, const std::string& text,
                      int timeoutMs) {
        const std::uint64_t deadline = platform::MonotonicMs() + timeoutMs;
        while (platform::MonotonicMs() < deadline) {
            if (Trace(paths).find(text) != std::string::npos) {
                return true;
            }
            platform::SleepMs(100);
        }
        return false;
    }

    // One TCP exchange with the listener: the connect word (revision 4,
    // type), then a 32-bit answer. -1 when it fails.
    long long Ask(std::uint32_t type, bool bigEndian) {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0) {
            return -1;
        }
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(root_.TcpPort());
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        long long value = -1;
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            const std::uint32_t word = htonl((4u << 16) | type);
            unsigned char answer[4] = {};
            if (::send(fd, &word, sizeof word, MSG_NOSIGNAL) == 4 &&
                ::recv(fd, answer, sizeof answer, MSG_WAITALL) == 4) {
                value = bigEndian
                            ? (answer[0] << 24) | (answer[1] << 16) | (answer[2] << 8) | answer[3]
                            : answer[0] | (answer[1] << 8) | (answer[2] << 16) | (answer[3] << 24);
            }
        }
        ::close(fd);
        return value;
    }
    long long SubsystemCount() { return Ask(1, true); }

    std::set<std::string> ThreadNames() {
        std::set<std::string> names;
        const std::string dir = "/proc/" + std::to_string(server_.Process().Pid()) + "/task";
        DIR* tasks = ::opendir(dir.c_str());
        if (tasks == nullptr) {
            return names;
        }
        while (dirent* entry = ::readdir(tasks)) {
            if (entry->d_name[0] == '.') {
                continue;
            }
            std::ifstream comm(dir + "/" + entry->d_name + "/comm");
            std::string name;
            std::getline(comm, name);
            names.insert(name);
        }
        ::closedir(tasks);
        return names;
    }

    FreshRoot root_;
    SimProcess sim_{root_, ORU_BIN_DIR};
    ServerProcess server_{root_, ORU_BIN_DIR};
};

TEST_F(ServiceEndToEnd, FindsTwoSubsystemsFromThreeControllersOnNamedTasks) {
    StartServer();
    EXPECT_TRUE(server_.Process().WaitForStderr(
        "Device Manager found 2 subsystems from 3 controllers", 10000));
    EXPECT_EQ(SubsystemCount(), 2);
    std::set<std::string> names = ThreadNames();
    EXPECT_TRUE(names.count("DEVMGR00")) << ::testing::PrintToString(names);
    EXPECT_TRUE(names.count("ORULITE_00"));
    EXPECT_TRUE(names.count("ORULITE_01"));
    EXPECT_FALSE(names.count("ORULITE_02"));
}

TEST_F(ServiceEndToEnd, RemovingControllerXMovesThePollsToY) {
    StartServer();
    ClearTrace(kFirstY);
    ASSERT_EQ(sim_.Control({"remove-controller", "0", "X"}), 0);
    // The status poll reads the subsystem state (0x20) through the active
    // controller: now Y.
    EXPECT_TRUE(WaitForTrace(kFirstY, "op=20", 20000)) << Trace(kFirstY);
    EXPECT_TRUE(server_.Process().Running());
}

TEST_F(ServiceEndToEnd, RescanAfterRemovingACabinetDropsItsSubsystem) {
    StartServer();
    ASSERT_EQ(SubsystemCount(), 2);
    ASSERT_EQ(sim_.Control({"remove-controller", "1", "Y"}), 0);
    EXPECT_EQ(Ask(2, false), 1);  // the rescan is queued
    const std::uint64_t deadline = platform::MonotonicMs() + 20000;
    long long count = SubsystemCount();
    while (count != 1 && platform::MonotonicMs() < deadline) {
        platform::SleepMs(100);
        count = SubsystemCount();
    }
    EXPECT_EQ(count, 1);
    EXPECT_TRUE(server_.Process().WaitForStderr("Subsystem QX0000000002 dropped", 10000));
    EXPECT_TRUE(server_.Process().Running());
}

TEST_F(ServiceEndToEnd, SigtermSignsOffEveryMonitorAndExitsZero) {
    StartServer();
    ASSERT_TRUE(server_.Process().Signal(SIGTERM));
    EXPECT_EQ(server_.Process().WaitExit(30000), 0) << server_.Process().Stderr();
    for (const auto& paths : {kFirstX, kSecondY}) {
        const std::string trace = Trace(paths);
        const std::size_t last = trace.rfind("cdb=ee");
        ASSERT_NE(last, std::string::npos) << trace;
        // ee, mode, current (2 bytes), next (2 bytes): next 0 signs off.
        EXPECT_EQ(trace.substr(last + 12, 4), "0000") << trace.substr(last, 30);
    }
    std::string shown;
    ASSERT_EQ(sim_.Control({"show"}, &shown), 0);
    EXPECT_NE(shown.find("QX0000000001 state 0 active X sequence 0"), std::string::npos) << shown;
}

}  // namespace
