// strovsim as a real process: serve in a fresh ORU_ROOT, talk to its device
// sockets through the platform's socket backend, inject faults and read the
// trace through its command line, stop it, and start it again on the saved
// state.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "SimTestUtil.h"
#include "platform/FileUtil.h"
#include "platform/scsi/ScsiDevice.h"
#include "support/ChildProcess.h"
#include "support/FreshRoot.h"

namespace {

using simtest::Bytes;
using simtest::PassThrough;

struct CliResult {
    int code = -1;
    std::string out;
    std::string err;
};

class StrovsimEndToEnd : public ::testing::Test {
  protected:
    void TearDown() override {
        // Never leave a server behind, whatever the test did.
        Cli({"stop"});
    }

    CliResult Cli(const std::vector<std::string>& args) {
        testsupport::ChildProcess p;
        CliResult r;
        if (!p.Start(testsupport::ProgramPath(ORU_BIN_DIR, "strovsim"), args,
                     {"ORU_ROOT=" + root.Path()})) {
            r.err = p.StartError();
            return r;
        }
        r.code = p.WaitExit(60000);
        r.out = p.Stdout();
        r.err = p.Stderr();
        return r;
    }

    static platform::ScsiOutcome In(platform::ScsiDevice& dev, const Bytes& cdb, std::size_t len,
                                    Bytes& data) {
        data.assign(len, 0xEE);
        return PassThrough(dev, cdb, platform::ScsiDirection::In, data);
    }

    bool Exists(const std::string& relative) {
        struct stat st {};
        return ::lstat(root.File(relative).c_str(), &st) == 0;
    }

    testsupport::FreshRoot root;
};

TEST_F(StrovsimEndToEnd, ServeTalkInjectTraceStopAndRestart) {
    CliResult serve = Cli({"serve", "--daemon"});
    ASSERT_EQ(serve.code, 0) << serve.err;
    ASSERT_TRUE(Exists("dev/STROVANE0"));
    ASSERT_TRUE(Exists("dev/PHYSICALDRIVE4"));
    EXPECT_FALSE(Exists("dev/STROVANE4"));

    auto x = platform::OpenScsiDevice("\\\\.\\STROVANE0");
    auto y = platform::OpenScsiDevice("\\\\.\\STROVANE1");
    ASSERT_TRUE(x && y);
    platform::ScsiAddress address;
    ASSERT_EQ(x->GetAddress(address), 0);
    EXPECT_EQ(address.portNumber, 1);

    Bytes data;
    auto serial = In(*x, {0x12, 0x01, 0x80, 0x00, 0x30, 0x00}, 48, data);
    ASSERT_EQ(serial.systemError, 0);
    EXPECT_EQ(serial.bytesMoved, 48u);
    EXPECT_EQ(data[2], 1);
    EXPECT_EQ(std::string(data.begin() + 36, data.begin() + 48), "QX0000000001");

    // The plain disk is no array.
    auto disk = platform::OpenScsiDevice("PHYSICALDRIVE0");
    ASSERT_TRUE(disk);
    EXPECT_EQ(In(*disk, {0x12, 0x01, 0xE0, 0x00, 0x44, 0x00}, 68, data).scsiStatus, 0x02);

    // A fault injected through the command line is seen by the host.
    ASSERT_EQ(Cli({"fault", "STROVANE0", "12", "1", "busy"}).code, 0);
    EXPECT_EQ(In(*x, {0x12, 0x01, 0x80, 0x00, 0x30, 0x00}, 48, data).scsiStatus, 0x08);
    EXPECT_EQ(In(*x, {0x12, 0x01, 0x80, 0x00, 0x30, 0x00}, 48, data).scsiStatus, 0x00);
    CliResult trace = Cli({"trace", "STROVANE0"});
    ASSERT_EQ(trace.code, 0);
    EXPECT_NE(trace.out.find("op=12 cdb=120180003000 status=08\n"
                             "op=12 cdb=120180003000 status=00\n"),
              std::string::npos)
        << trace.out;

    // Two connections share the cabinet: an alias written on X reads back on Y.
    Bytes alias = {'S', 'H', 'A', 'R', 'E', 'D', 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(
        PassThrough(*x, {0xFD, 0, 0, 0, 0, 0, 0, 0, 0x0C, 0}, platform::ScsiDirection::Out, alias)
            .scsiStatus,
        0);
    In(*y, {0xFC, 0, 0, 0, 0, 0, 0, 0, 0x10, 0}, 16, data);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data.data())), "SHARED");

    // Each connection keeps its own pending drive exchange.
    auto x2 = platform::OpenScsiDevice("STROVANE0");
    ASSERT_TRUE(x2);
    Bytes readCapacity = {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Bytes inquiry = {0x12, 0, 0, 0, 0x24, 0};
    ASSERT_EQ(PassThrough(*x, {0x27, 3, 0, 0, 10, 0, 0, 0, 8, 0}, platform::ScsiDirection::Out,
                          readCapacity)
                  .scsiStatus,
              0);
    ASSERT_EQ(
        PassThrough(*x2, {0x27, 3, 1, 0, 6, 0, 0, 0, 36, 0}, platform::ScsiDirection::Out, inquiry)
            .scsiStatus,
        0);
    Bytes cap;
    ASSERT_EQ(In(*x, {0xF4, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8, cap).scsiStatus, 0);
    EXPECT_EQ(cap, Bytes({0x00, 0x1F, 0xFF, 0xFF, 0x00, 0x00, 0x02, 0x00}));
    Bytes inq;
    ASSERT_EQ(In(*x2, {0xF4, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 36, inq).scsiStatus, 0);
    EXPECT_EQ(std::string(inq.begin() + 8, inq.begin() + 13), "QDISK");

    // A pulled drive shows as an empty slot; a removed path vanishes.
    ASSERT_EQ(Cli({"pull", "0", "A1"}).code, 0);
    In(*x, {0x21, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 12, data);
    EXPECT_EQ(data[1], 1);
    ASSERT_EQ(Cli({"remove-path", "STROVANE3"}).code, 0);
    EXPECT_FALSE(Exists("dev/STROVANE3"));
    EXPECT_FALSE(platform::OpenScsiDevice("STROVANE3"));
    ASSERT_EQ(Cli({"add-path", "STROVANE3"}).code, 0);
    EXPECT_TRUE(platform::OpenScsiDevice("STROVANE3"));

    // Bad arguments to a running server: exit 2, the server goes on.
    EXPECT_EQ(Cli({"pull", "0", "Q7"}).code, 2);
    EXPECT_EQ(Cli({"fault", "STROVANE0", "12", "1", "melt"}).code, 2);
    EXPECT_EQ(In(*y, {0x12, 0x01, 0x80, 0x00, 0x30, 0x00}, 48, data).scsiStatus, 0);

    // A hostile client (a frame claiming 2 GiB) loses its connection; the
    // server and the other connections go on.
    {
        int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const std::string file = root.File("dev/STROVANE0");
        std::memcpy(addr.sun_path, file.c_str(), file.size() + 1);
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        const std::uint8_t junk[] = {0x7F, 0xFF, 0xFF, 0xFF, 3, 2, 6, 0};
        ASSERT_EQ(::send(fd, junk, sizeof junk, MSG_NOSIGNAL), static_cast<ssize_t>(sizeof junk));
        char c;
        EXPECT_LE(::recv(fd, &c, 1, 0), 0);  // closed (or reset) without a reply
        ::close(fd);
    }
    EXPECT_EQ(In(*x, {0x12, 0x01, 0x80, 0x00, 0x30, 0x00}, 48, data).scsiStatus, 0);

    x.reset();
    y.reset();
    x2.reset();
    disk.reset();
    CliResult stop = Cli({"stop"});
    ASSERT_EQ(stop.code, 0) << stop.err;
    EXPECT_FALSE(Exists("dev/STROVANE0"));
    EXPECT_FALSE(Exists("sim/strovsim.pid"));
    EXPECT_FALSE(platform::OpenScsiDevice("STROVANE0"));

    // Without a server, show reads the saved state.
    CliResult show = Cli({"show"});
    EXPECT_EQ(show.code, 0);
    EXPECT_NE(show.out.find("alias \"SHARED\""), std::string::npos) << show.out;

    // A new server keeps the arrays.
    ASSERT_EQ(Cli({"serve", "--daemon"}).code, 0);
    auto again = platform::OpenScsiDevice("STROVANE1");
    ASSERT_TRUE(again);
    In(*again, {0xFC, 0, 0, 0, 0, 0, 0, 0, 0x10, 0}, 16, data);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data.data())), "SHARED");
    In(*again, {0x21, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 12, data);
    EXPECT_EQ(data[1], 1);
    EXPECT_EQ(Cli({"serve", "--daemon"}).code, 1);  // already running
}

TEST_F(StrovsimEndToEnd, CommandLineErrorsAndScenarioFiles) {
    CliResult help = Cli({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("usage: strovsim"), std::string::npos);
    EXPECT_EQ(Cli({}).code, 2);
    EXPECT_EQ(Cli({"explode"}).code, 2);
    EXPECT_EQ(Cli({"serve", "--bogus"}).code, 2);
    EXPECT_EQ(Cli({"serve", "--time-scale", "-3"}).code, 2);
    EXPECT_EQ(Cli({"serve", "--scenario"}).code, 2);
    EXPECT_EQ(Cli({"load"}).code, 2);
    EXPECT_EQ(Cli({"pull", "0"}).code, 2);
    EXPECT_EQ(Cli({"pull", "0", "A1"}).code, 1);  // no server

    ASSERT_TRUE(
        root.Write("good.json", R"({"cabinets":[{"serial":"CAB000000077","alias":"LOADED"}]})"));
    ASSERT_TRUE(root.Write("bad.json", R"({"cabinets":[{"serial":"SHORT"}]})"));
    ASSERT_EQ(Cli({"load", root.File("good.json")}).code, 0);
    const std::string saved = root.Read("sim/state.json");
    CliResult bad = Cli({"load", root.File("bad.json")});
    EXPECT_EQ(bad.code, 2);
    EXPECT_NE(bad.err.find("serial"), std::string::npos) << bad.err;
    EXPECT_EQ(root.Read("sim/state.json"), saved);
    EXPECT_EQ(Cli({"serve", "--daemon", "--scenario", root.File("bad.json")}).code, 2);
    EXPECT_EQ(Cli({"serve", "--daemon", "--scenario", root.File("missing.json")}).code, 2);

    // A damaged state file is reported and left alone, never overwritten.
    ASSERT_TRUE(root.Write("sim/state.json", "{\"cabinets\": [ {\"ser"));
    CliResult damaged = Cli({"serve", "--daemon"});
    EXPECT_EQ(damaged.code, 2);
    EXPECT_EQ(root.Read("sim/state.json"), "{\"cabinets\": [ {\"ser");

    // The loaded scenario serves its one cabinet; load replaces it while running.
    ASSERT_TRUE(root.Write("sim/state.json", saved));
    ASSERT_EQ(Cli({"serve", "--daemon"}).code, 0);
    auto dev = platform::OpenScsiDevice("STROVANE0");
    ASSERT_TRUE(dev);
    Bytes data;
    In(*dev, {0xFC, 0, 0, 0, 0, 0, 0, 0, 0x10, 0}, 16, data);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data.data())), "LOADED");
    EXPECT_EQ(Cli({"load", root.File("bad.json")}).code, 2);
    ASSERT_TRUE(
        root.Write("two.json", R"({"cabinets":[{"serial":"CAB000000088","alias":"SECOND"}]})"));
    ASSERT_EQ(Cli({"load", root.File("two.json")}).code, 0);
    auto fresh = platform::OpenScsiDevice("STROVANE0");
    ASSERT_TRUE(fresh);
    In(*fresh, {0xFC, 0, 0, 0, 0, 0, 0, 0, 0x10, 0}, 16, data);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data.data())), "SECOND");
}

}  // namespace
