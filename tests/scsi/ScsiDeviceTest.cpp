// Opening devices by name and the socket backend's behaviour towards a peer
// that answers literal frames (well-formed, lying or silent).
#include "platform/scsi/ScsiDevice.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

#include "TempRoot.h"
#include "platform/Root.h"
#include "platform/scsi/ScsiWire.h"

namespace {

using platform::ScsiDirection;
using platform::ScsiOutcome;
using platform::ScsiRequest;
using Bytes = std::vector<std::uint8_t>;

// A one-connection peer at ORU_ROOT/dev/<name> that checks each request
// frame against the expected bytes and answers the given reply frame.
class ScriptedPeer {
  public:
    struct Step {
        Bytes expect;
        Bytes answer;  // empty: close the connection instead of answering
    };

    ScriptedPeer(const std::string& name, std::vector<Step> steps) : steps_(std::move(steps)) {
        std::string path = platform::RootPath("dev/" + name);
        listen_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
        EXPECT_EQ(::bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        EXPECT_EQ(::listen(listen_, 4), 0);
        thread_ = std::thread([this] { Serve(); });
    }

    ~ScriptedPeer() {
        Join();
        ::close(listen_);
    }

    // Waits until the peer has served its script (or the host closed).
    void Join() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }

    std::vector<Bytes> received;

  private:
    void Serve() {
        int fd = ::accept(listen_, nullptr, nullptr);
        if (fd < 0) {
            return;
        }
        for (const Step& step : steps_) {
            Bytes frame;
            if (platform::ScsiWire::ReadFrame(fd, platform::ScsiWire::kMaxRequestBody, 5000,
                                              frame) != 0) {
                break;
            }
            received.push_back(frame);
            if (step.answer.empty()) {
                break;
            }
            platform::ScsiWire::WriteFrame(fd, step.answer);
        }
        ::close(fd);
    }

    std::vector<Step> steps_;
    int listen_ = -1;
    std::thread thread_;
};

const Bytes kEeRequest = {
    0x00, 0x00, 0x00, 0x1C, 0x03, 0x02, 0x0A, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x20,
    0xEE, 0x00, 0x00, 0x05, 0x00, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
};

const Bytes kEeRefusal = {
    0x00, 0x00, 0x00, 0x20, 0x03, 0x02, 0x0E, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x70, 0x00, 0x05, 0x00,
    0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00, 0x00, 0x80, 0x28, 0x00, 0x07,
};

ScsiRequest EeRequest(std::uint8_t* data) {
    ScsiRequest request;
    request.cdb = {0xEE, 0x00, 0x00, 0x05, 0x00, 0x06};
    request.cdbLength = 10;
    request.direction = ScsiDirection::In;
    request.transferLength = 2;
    request.data = data;
    request.timeoutSeconds = 32;
    return request;
}

TEST(ScsiDeviceNameTest, MapsWindowsNamesUnderTheRoot) {
    TempRoot root;
    EXPECT_EQ(platform::ScsiDeviceBaseName("\\\\.\\STROVANE3"), "STROVANE3");
    EXPECT_EQ(platform::ScsiDeviceBaseName("\\\\.\\PHYSICALDRIVE0"), "PHYSICALDRIVE0");
    EXPECT_EQ(platform::ScsiDeviceBaseName("STROVANE3"), "STROVANE3");
    EXPECT_EQ(platform::ScsiDevicePath("\\\\.\\STROVANE3"), root.Path() + "/dev/STROVANE3");
    EXPECT_EQ(platform::ScsiDeviceBaseName("..\\x"), "");
    EXPECT_EQ(platform::ScsiDeviceBaseName("../etc"), "");
    EXPECT_EQ(platform::ScsiDeviceBaseName(""), "");
}

TEST(ScsiDeviceOpenTest, MissingNameFailsWithNoEntry) {
    TempRoot root;
    int error = 0;
    EXPECT_EQ(platform::OpenScsiDevice("\\\\.\\STROVANE0", &error), nullptr);
    EXPECT_EQ(error, ENOENT);
    EXPECT_EQ(platform::OpenScsiDevice("../STROVANE0", &error), nullptr);
    EXPECT_EQ(error, EINVAL);
}

TEST(ScsiDeviceOpenTest, PlainFileIsNoDevice) {
    TempRoot root;
    root.WriteFile("dev/STROVANE0", "x");
    int error = 0;
    EXPECT_EQ(platform::OpenScsiDevice("STROVANE0", &error), nullptr);
    EXPECT_EQ(error, ENODEV);
}

class CountingDevice : public platform::ScsiDevice {
  public:
    int GetAddress(platform::ScsiAddress& address) override {
        address.targetId = 9;
        return 0;
    }
    int GetCapabilities(platform::ScsiCapabilities&) override { return 0; }
    void PassThrough(const ScsiRequest&, ScsiOutcome& outcome) override {
        outcome = ScsiOutcome{};
        outcome.scsiStatus = 0x08;
    }
};

TEST(ScsiDeviceOpenTest, InProcessRegistrationServesTheName) {
    TempRoot root;
    platform::RegisterInProcessDevice("\\\\.\\PHYSICALDRIVE1",
                                      [] { return std::make_unique<CountingDevice>(); });
    auto device = platform::OpenScsiDevice("PHYSICALDRIVE1");
    ASSERT_NE(device, nullptr);
    platform::ScsiAddress address;
    EXPECT_EQ(device->GetAddress(address), 0);
    EXPECT_EQ(address.targetId, 9);
    platform::UnregisterInProcessDevice("PHYSICALDRIVE1");
    int error = 0;
    EXPECT_EQ(platform::OpenScsiDevice("PHYSICALDRIVE1", &error), nullptr);
    EXPECT_EQ(error, ENOENT);
}

TEST(ScsiSocketDeviceTest, RunsOneCommandAndKeepsDataWithCheckCondition) {
    TempRoot root;
    ScriptedPeer peer("STROVANE0", {{kEeRequest, kEeRefusal}});
    auto device = platform::OpenScsiDevice("\\\\.\\STROVANE0");
    ASSERT_NE(device, nullptr);
    std::uint8_t data[2] = {0xFF, 0xFF};
    ScsiOutcome outcome;
    device->PassThrough(EeRequest(data), outcome);
    EXPECT_EQ(outcome.systemError, 0);
    EXPECT_EQ(outcome.scsiStatus, 0x02);
    EXPECT_EQ(outcome.senseLength, 14);
    EXPECT_EQ(outcome.sense[12], 0x80);
    EXPECT_EQ(outcome.sense[13], 0x28);
    EXPECT_EQ(outcome.bytesMoved, 2u);
    EXPECT_EQ(data[0], 0x00);
    EXPECT_EQ(data[1], 0x07);
    device.reset();
    peer.Join();
    ASSERT_EQ(peer.received.size(), 1u);
    EXPECT_EQ(peer.received[0], kEeRequest);
}

TEST(ScsiSocketDeviceTest, AddressComesFromTheReplyData) {
    TempRoot root;
    const Bytes addressRequest = {0x00, 0x00, 0x00, 0x1C, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                  0x00, 0x00, 0x00, 0x00, 0x00, 0,    0,    0,    0,    0,    0,
                                  0,    0,    0,    0,    0,    0,    0,    0,    0,    0};
    const Bytes addressReply = {0x00, 0x00, 0x00, 0x18, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
                                0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x08,
                                0x00, 0x00, 0x00, 0x08, 0x02, 0x01, 0x05, 0x03};
    ScriptedPeer peer("PHYSICALDRIVE0", {{addressRequest, addressReply}});
    auto device = platform::OpenScsiDevice("\\\\.\\PHYSICALDRIVE0");
    ASSERT_NE(device, nullptr);
    platform::ScsiAddress address;
    ASSERT_EQ(device->GetAddress(address), 0);
    EXPECT_EQ(address.length, 8u);
    EXPECT_EQ(address.portNumber, 2);
    EXPECT_EQ(address.pathId, 1);
    EXPECT_EQ(address.targetId, 5);
    EXPECT_EQ(address.lun, 3);
    device.reset();
    peer.Join();
    ASSERT_EQ(peer.received.size(), 1u);
    EXPECT_EQ(peer.received[0], addressRequest);
}

TEST(ScsiSocketDeviceTest, MoreDataThanAskedIsAProtocolError) {
    TempRoot root;
    Bytes fourBytes = {0x00, 0x00, 0x00, 0x14, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                       0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x04, 0x01, 0x02, 0x03, 0x04};
    ScriptedPeer peer("STROVANE0", {{kEeRequest, fourBytes}});
    auto device = platform::OpenScsiDevice("STROVANE0");
    ASSERT_NE(device, nullptr);
    std::uint8_t guard[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    ScsiOutcome outcome;
    device->PassThrough(EeRequest(guard), outcome);
    EXPECT_EQ(outcome.systemError, EPROTO);
    EXPECT_EQ(guard[2], 0xAA);  // nothing written past the two bytes asked for
    EXPECT_EQ(guard[0], 0xAA);
}

TEST(ScsiSocketDeviceTest, MalformedReplyIsAProtocolError) {
    TempRoot root;
    Bytes lying = kEeRefusal;
    lying[6] = 100;  // sense length beyond the frame
    ScriptedPeer peer("STROVANE0", {{kEeRequest, lying}});
    auto device = platform::OpenScsiDevice("STROVANE0");
    ASSERT_NE(device, nullptr);
    std::uint8_t data[2] = {};
    ScsiOutcome outcome;
    device->PassThrough(EeRequest(data), outcome);
    EXPECT_EQ(outcome.systemError, EPROTO);
    EXPECT_EQ(outcome.scsiStatus, 0);
}

TEST(ScsiSocketDeviceTest, VanishedPeerFailsTheCommandWithASystemError) {
    TempRoot root;
    ScriptedPeer peer("STROVANE0", {{kEeRequest, {}}});
    auto device = platform::OpenScsiDevice("STROVANE0");
    ASSERT_NE(device, nullptr);
    std::uint8_t data[2] = {};
    ScsiOutcome outcome;
    device->PassThrough(EeRequest(data), outcome);
    EXPECT_EQ(outcome.systemError, ECONNRESET);
}

TEST(ScsiSocketDeviceTest, UnsoundRequestNeverLeavesTheHost) {
    TempRoot root;
    ScriptedPeer peer("STROVANE0", {});
    auto device = platform::OpenScsiDevice("STROVANE0");
    ASSERT_NE(device, nullptr);
    ScsiRequest request = EeRequest(nullptr);
    ScsiOutcome outcome;
    device->PassThrough(request, outcome);
    EXPECT_EQ(outcome.systemError, EINVAL);
    std::uint8_t data[2] = {};
    request = EeRequest(data);
    request.cdbLength = 17;
    device->PassThrough(request, outcome);
    EXPECT_EQ(outcome.systemError, EINVAL);
}

}  // namespace
