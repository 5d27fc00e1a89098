// The access proof: the secure file made by each method, never over a file
// or link that is there already; the remote-shell command run with an
// argument vector; the remote-client path through the share name.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "ClientFixture.h"
#include "WireBytes.h"
#include "client/OruSubsystemList.h"
#include "client/Session.h"
#include "platform/Root.h"

namespace clienttest {
namespace {

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

class SecureFileTest : public ClientFixture {
  protected:
    OruSubsystem* Add(const std::string& server, std::uint32_t method) {
        auto* subsystem = new OruSubsystem();
        std::memcpy(subsystem->serverName, server.c_str(),
                    std::min(server.size(), sizeof subsystem->serverName - 1));
        std::memcpy(subsystem->serialNumber, "SECURE000001", 12);
        subsystem->secureMethod = method;
        EXPECT_EQ(list_.AddSubsystem(subsystem), 0);
        return subsystem;
    }

    // A remote-shell stand-in that writes its arguments, one per line, to
    // the file named by REMSH_RECORD.
    std::string WriteRecordingShell() {
        const std::string script = root_.File("remsh");
        std::ofstream out(script);
        out << "#!/bin/sh\n"
               "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$REMSH_RECORD.tmp\"\n"
               "mv \"$REMSH_RECORD.tmp\" \"$REMSH_RECORD\"\n";
        out.close();
        chmod(script.c_str(), 0755);
        return script;
    }

    std::string WaitForFile(const std::string& path) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!Exists(path) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return Slurp(path);
    }

    void TearDown() override {
        unsetenv("ORU_REMSH");
        unsetenv("REMSH_RECORD");
        ClientFixture::TearDown();
    }

    OruSubsystemList list_{0};
};

TEST_F(SecureFileTest, TheLocalMethodCreatesANewFileAndCountsAsProof) {
    OruSubsystem* subsystem = Add(HostName(), 0);
    EXPECT_EQ(subsystem->MakeSecure("C:\\oru_admin\\SECURE000001.local.4000"), 1);
    EXPECT_EQ(subsystem->IsSecure(), 1);
    EXPECT_TRUE(IsRegularFile(AdminDir() + "/SECURE000001.local.4000"));
}

TEST_F(SecureFileTest, AnExistingFileOrLinkIsNeverReusedOrFollowed) {
    OruSubsystem* subsystem = Add(HostName(), 0);
    ASSERT_TRUE(root_.Write("c/oru_admin/SECURE000001.local.4001", "keep me"));
    EXPECT_EQ(list_.MakeSecure(subsystem, "C:\\oru_admin\\SECURE000001.local.4001"), 0);
    EXPECT_EQ(subsystem->IsSecure(), 0);
    EXPECT_EQ(root_.Read("c/oru_admin/SECURE000001.local.4001"), "keep me");

    // A link to a file elsewhere: the file stays as it is.
    ASSERT_TRUE(root_.Write("victim", "precious"));
    ASSERT_EQ(
        symlink(root_.File("victim").c_str(), (AdminDir() + "/SECURE000001.local.4002").c_str()),
        0);
    EXPECT_EQ(list_.MakeSecure(subsystem, "C:\\oru_admin\\SECURE000001.local.4002"), 0);
    EXPECT_EQ(root_.Read("victim"), "precious");

    // A dangling link: nothing is created at its target.
    ASSERT_EQ(symlink(root_.File("created-through-link").c_str(),
                      (AdminDir() + "/SECURE000001.local.4003").c_str()),
              0);
    EXPECT_EQ(list_.MakeSecure(subsystem, "C:\\oru_admin\\SECURE000001.local.4003"), 0);
    EXPECT_FALSE(Exists(root_.File("created-through-link")));
}

TEST_F(SecureFileTest, TheShareMethodOnTheServersOwnHostUsesThePathAsItStands) {
    OruSubsystem* subsystem = Add(HostName(), 4);
    // A share name that is this host's directory, as a POSIX path ...
    const std::string posixShare = "\\" + AdminDir() + "\\SECURE000001.127.0.0.1.4100";
    EXPECT_EQ(list_.MakeSecure(subsystem, posixShare.c_str()), 1);
    EXPECT_TRUE(IsRegularFile(AdminDir() + "/SECURE000001.127.0.0.1.4100"));
    // ... or as a drive path.
    EXPECT_EQ(list_.MakeSecure(subsystem, "\\C:\\oru_admin\\SECURE000001.127.0.0.1.4101"), 1);
    EXPECT_TRUE(IsRegularFile(AdminDir() + "/SECURE000001.127.0.0.1.4101"));
}

TEST_F(SecureFileTest, TheShareMethodReachesAnotherServerWhereItsSharesAreMounted) {
    ASSERT_EQ(platform::MakeDirs(root_.File("net/far-host/oru_admin")), 0);
    OruSubsystem* subsystem = Add("far-host.example.com", 4);
    // No share under the full name: the short name is tried.
    EXPECT_EQ(list_.MakeSecure(subsystem, "\\oru_admin\\SECURE000001.10.0.0.9.4200"), 1);
    EXPECT_TRUE(IsRegularFile(root_.File("net/far-host/oru_admin/SECURE000001.10.0.0.9.4200")));

    ASSERT_EQ(platform::MakeDirs(root_.File("net/far-host.example.com/oru_admin")), 0);
    EXPECT_EQ(list_.MakeSecure(subsystem, "\\oru_admin\\SECURE000001.10.0.0.9.4201"), 1);
    EXPECT_TRUE(
        IsRegularFile(root_.File("net/far-host.example.com/oru_admin/SECURE000001.10.0.0.9.4201")));

    OruSubsystem* unreachable = Add("nowhere.example.com", 2);
    EXPECT_EQ(list_.MakeSecure(unreachable, "\\oru_admin\\SECURE000001.h.10.0.0.9.4202"), 0);
}

TEST_F(SecureFileTest, TheRemoteShellRunsWithAnArgumentVector) {
    const std::string record = root_.File("argv.txt");
    ASSERT_EQ(setenv("ORU_REMSH", (WriteRecordingShell() + " -l admin").c_str(), 1), 0);
    ASSERT_EQ(setenv("REMSH_RECORD", record.c_str(), 1), 0);

    // Method 1: the server's short name.
    OruSubsystem* method1 = Add("remote.example.com", 1);
    EXPECT_EQ(method1->MakeSecure("/adm/SECURE000001.me.10.0.0.1.4300"), 1);
    EXPECT_EQ(WaitForFile(record),
              "-l\nadmin\nremote\n-n\ntouch\n/adm/SECURE000001.me.10.0.0.1.4300\n");

    // Method 3: the whole name; a path with backslashes is one argument.
    unlink(record.c_str());
    OruSubsystem* method3 = Add("remote3.example.com", 3);
    EXPECT_EQ(method3->MakeSecure("C:\\adm\\SECURE000001.10.0.0.1.4301"), 1);
    EXPECT_EQ(WaitForFile(record),
              "-l\nadmin\nremote3.example.com\n-n\ntouch\nC:\\adm\\SECURE000001.10.0.0.1.4301\n");
}

TEST_F(SecureFileTest, TextsThatAShellOrOptionParserWouldInterpretAreRefused) {
    const std::string record = root_.File("argv.txt");
    ASSERT_EQ(setenv("ORU_REMSH", WriteRecordingShell().c_str(), 1), 0);
    ASSERT_EQ(setenv("REMSH_RECORD", record.c_str(), 1), 0);
    const std::vector<std::pair<std::string, std::string>> hostile = {
        {"remote;touch /tmp/owned", "/adm/S.1.2.3.4.5"},
        {"-oProxyCommand=touch_owned", "/adm/S.1.2.3.4.5"},
        {"remote", "/adm/S.1.2.3.4.5 $(touch owned)"},
        {"remote", "/adm/S`id`"},
        {"remote", "-rf"},
    };
    for (const auto& [server, fileId] : hostile) {
        SCOPED_TRACE(server + " " + fileId);
        list_.ResetMap(nullptr);
        OruSubsystem* subsystem = Add(server, 3);
        EXPECT_EQ(subsystem->MakeSecure(fileId.c_str()), 0);
    }
    EXPECT_FALSE(Exists(record));
}

TEST_F(SecureFileTest, AMissingRemoteShellIsNoProof) {
    ASSERT_EQ(setenv("ORU_REMSH", root_.File("no-such-remsh").c_str(), 1), 0);
    OruSubsystem* subsystem = Add("remote", 3);
    EXPECT_EQ(subsystem->MakeSecure("/adm/SECURE000001.10.0.0.1.4400"), 0);
    EXPECT_EQ(list_.MakeSecure(subsystem, "user", "password"), 0);
}

TEST_F(SecureFileTest, ARemoteClientProvesItsRightsThroughTheShare) {
    // The service on 127.0.0.2 sees the client come from another address:
    // it sends method 4 and the share-based path.
    ListRecord record = LocalRecord("REMOTE000001");
    record.secureMethod = 4;
    record.securePath = "\\" + AdminDir() + "\\REMOTE000001.";
    peer_->SetListAnswer(ListAnswer({record}));
    peer_->SetKnownSerials({"REMOTE000001"});
    peer_->SetFirstSessionId(31);
    ASSERT_EQ(list_.Update("127.0.0.2", 0, 0), ASL_GOOD);

    Session session(4);
    ASSERT_EQ(session.Connect(list_.FindSubsystem("REMOTE000001")), SESS_SUCCESS);
    EXPECT_EQ(session.SessionID(), 31u);
    ASSERT_EQ(peer_->SecureFilesFound().size(), 1u);
    // The name carries the client's address as the service sees it.
    EXPECT_NE(peer_->SecureFilesFound()[0].find(AdminDir() + "/REMOTE000001.127.0.0.1."),
              std::string::npos);
}

TEST(SecurePathTest, SecureFileNamesMapToLocalPaths) {
    testsupport::FreshRoot root;
    EXPECT_EQ(OruSubsystemList::LocalSecurePath("C:\\oru_admin\\S.local.1"),
              root.Path() + "/c/oru_admin/S.local.1");
    EXPECT_EQ(OruSubsystemList::LocalSecurePath("\\C:\\oru_admin\\S.1.2.3.4.1"),
              root.Path() + "/c/oru_admin/S.1.2.3.4.1");
    EXPECT_EQ(OruSubsystemList::LocalSecurePath("\\/srv/admin\\S.1.2.3.4.1"),
              "/srv/admin/S.1.2.3.4.1");
    EXPECT_EQ(OruSubsystemList::LocalSecurePath("\\\\far\\share\\S\\x.1"),
              root.Path() + "/net/far/share/S/x.1");
    EXPECT_EQ(OruSubsystemList::LocalSecurePath("/srv/admin/S.local.2"), "/srv/admin/S.local.2");
}

}  // namespace
}  // namespace clienttest
