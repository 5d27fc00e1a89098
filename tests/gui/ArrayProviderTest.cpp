// The array provider against a peer that plays the service: host scans
// and discovery, the entries' texts, the gross-status rounds answered by
// datagram, capacity reads and the opening of Device Properties that fail.
#include "gui/CArrayProvider.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <map>
#include <mutex>

#include "ClientFixture.h"
#include "GuiTestSupport.h"
#include "WireBytes.h"
#include "client/QEN.h"
#include "gui/ClientWorkers.h"
#include "gui/ProfileKeys.h"
#include "platform/Clock.h"
#include "platform/PrivateProfile.h"

namespace {

using clienttest::Be;
using clienttest::Field;
using clienttest::ListRecord;

constexpr const char* kServer = "localhost.localdomain";
constexpr const char* kHost = "localhost";

// A gross-status reply (kind 100, status 100) with the values given by
// position (0-based, as decoded); wire order repeats g27 after g32.
std::string GrossReply(std::uint32_t state, std::initializer_list<std::uint32_t> set,
                       bool valid = true) {
    std::uint32_t g[36] = {};
    g[0] = state;
    for (std::uint32_t position : set) {
        g[position] = 1;
    }
    g[35] = valid ? 1 : 0;
    std::string values;
    for (int n = 0; n < 32; ++n) {
        values += Be(g[n]);
    }
    values += Be(g[26]);
    for (int n = 32; n < 36; ++n) {
        values += Be(g[n]);
    }
    return Be(24 + 148) + Be(4) + Be(100) + Be(0) + Be(0) + Be(100) + values;
}

// An error reply (kind 10) carrying error code `code`.
std::string ErrorReply(std::uint32_t code) {
    return Be(24 + 256 + 40) + Be(4) + Be(10) + Be(0) + Be(0) + Be(1) + std::string(256, '\0') +
           Be(0) + Be(0) + Be(3) + Be(0) + Be(0) + Be(0) + Be(0) + Be(code) + Be(0) + Be(0);
}

class ArrayProviderTest : public clienttest::ClientFixture {
  protected:
    void SetUp() override {
        ClientFixture::SetUp();
        qen_ = std::make_unique<QEN>(0);
        provider_ = std::make_unique<oru::CArrayProvider>(*qen_, profile_, host_);
        peer_->SetDatagramAnswer([this](const std::string& in) -> std::optional<std::string> {
            const std::string serial(in.c_str() + 1, strnlen(in.c_str() + 1, 12));
            std::lock_guard<std::mutex> hold(answersLock_);
            const auto answer = answers_.find(serial);
            if (answer == answers_.end()) {
                return std::nullopt;
            }
            return std::string(1, '\0') + in.substr(1, 12) + answer->second;
        });
    }

    void TearDown() override {
        provider_.reset();
        qen_.reset();
        // Workers a test gave up on end within the library's (scaled) budget.
        guitest::Eventually([] { return oru::RunningWorkers() == 0; }, 20000);
        ClientFixture::TearDown();
    }

    ListRecord Record(const std::string& serial, const std::string& alias, std::uint32_t type) {
        ListRecord record = LocalRecord(serial);
        record.serverName = kServer;
        record.alias = alias;
        record.type = type;
        return record;
    }

    void Answer(const std::string& serial, std::optional<std::string> reply) {
        std::lock_guard<std::mutex> hold(answersLock_);
        if (reply) {
            answers_[serial] = *reply;
        } else {
            answers_.erase(serial);
        }
    }

    // Scans the host and waits for the scan's end.
    void Scan(const std::string& host) {
        provider_->StartScan(host);
        ASSERT_TRUE(
            host_.WaitUntil([this] { return provider_->ScanDone(); }, oru::kWorkerBudgetMs));
    }

    std::string Text(int device, int column) {
        std::string text;
        provider_->ColumnText(device, oru::keys::kColumnNames[column], &text);
        return text;
    }

    // Polls until the device's status text is `text`.
    bool StatusBecomes(int device, const std::string& text) {
        return guitest::Eventually([&] {
            provider_->Poll();
            return Text(device, 3) == text;
        });
    }

    platform::PrivateProfile profile_{root_.File("etc/oru.ini")};
    guitest::TestHost host_;
    std::unique_ptr<QEN> qen_;
    std::unique_ptr<oru::CArrayProvider> provider_;
    std::mutex answersLock_;
    std::map<std::string, std::string> answers_;
};

TEST_F(ArrayProviderTest, AScanAddsTheArraysOfTheHostWithTheirTexts) {
    peer_->SetListAnswer(clienttest::ListAnswer(
        {Record("SERIALAAAA01", "CAB-A", 12), Record("SERIALBBBB02", "", 99)}));
    Scan(kHost);
    ASSERT_EQ(provider_->DeviceCount(), 2);
    EXPECT_EQ(Text(0, 0), "SERIALAAAA01");
    EXPECT_EQ(Text(0, 1), "CAB-A");
    EXPECT_EQ(Text(0, 2), "Strovane Model 12");
    EXPECT_EQ(Text(0, 3), "Unknown");
    EXPECT_EQ(Text(0, 6), "localhost");
    EXPECT_EQ(Text(0, 7), "localdomain");
    EXPECT_EQ(Text(0, 8), "");
    EXPECT_EQ(provider_->StatusValue(0), 10);
    // No alias: the serial number stands for it.
    EXPECT_EQ(Text(1, 1), "SERIALBBBB02");
    EXPECT_EQ(Text(1, 2), "Unknown");
    std::string text;
    EXPECT_EQ(provider_->ColumnText(0, "No Such Column", &text),
              oru::CDeviceProvider::kNoSuchColumn);

    // The list now holds the host: a second scan asks nobody.
    const std::size_t connections = peer_->ConnectWords().size();
    provider_->ForgetAllDevices();
    provider_->StartScan("LOCALHOST.localdomain");
    EXPECT_TRUE(provider_->ScanDone());
    EXPECT_EQ(provider_->DeviceCount(), 2);
    EXPECT_EQ(peer_->ConnectWords().size(), connections);
}

TEST_F(ArrayProviderTest, HostNamesMatchWithOrWithoutTheirDomain) {
    EXPECT_TRUE(oru::BelongsToHost("alpha.example.com", "alpha"));
    EXPECT_TRUE(oru::BelongsToHost("alpha", "ALPHA.example.com"));
    EXPECT_TRUE(oru::BelongsToHost("Alpha", "alpha"));
    EXPECT_FALSE(oru::BelongsToHost("alphabet", "alpha"));
    EXPECT_FALSE(oru::BelongsToHost("alpha.example.com", "alpha.example.org"));
}

TEST_F(ArrayProviderTest, EachRoundAsksEveryArrayAndEvaluatesItsAnswer) {
    peer_->SetListAnswer(clienttest::ListAnswer({Record("SERIALAAAA01", "CAB-A", 12),
                                                 Record("SERIALBBBB02", "CAB-B", 13),
                                                 Record("SERIALCCCC03", "CAB-C", 13)}));
    Scan(kHost);
    QSignalSpy changed(provider_.get(), &oru::CArrayProvider::statusChanged);
    Answer("SERIALAAAA01", GrossReply(0, {13, 24}));
    Answer("SERIALBBBB02", ErrorReply(17));
    Answer("SERIALCCCC03", ErrorReply(3));
    ASSERT_TRUE(StatusBecomes(0, "Warning: Rebuilding, Balancing"));
    EXPECT_EQ(provider_->StatusValue(0), 4);
    ASSERT_TRUE(StatusBecomes(1, "Unknown Error (17)"));
    EXPECT_EQ(provider_->StatusValue(1), 7);
    // Error 3 (no state yet) is no news: still Unknown, nothing changed.
    EXPECT_EQ(Text(2, 3), "Unknown");
    EXPECT_TRUE(provider_->StatusChanged(0));
    EXPECT_FALSE(provider_->StatusChanged(0));  // reading the flag cleared it
    EXPECT_TRUE(provider_->StatusChanged(1));
    EXPECT_FALSE(provider_->StatusChanged(2));
    EXPECT_GE(changed.count(), 1);
    EXPECT_EQ(provider_->RoundCount(), 1);

    // The next round comes after the round interval, with the new answer.
    Answer("SERIALAAAA01", GrossReply(0, {}));
    ASSERT_TRUE(StatusBecomes(0, "Normal"));
    EXPECT_EQ(provider_->RoundCount(), 2);
    // An invalid record reads Unknown.
    Answer("SERIALAAAA01", GrossReply(0, {}, false));
    ASSERT_TRUE(StatusBecomes(0, "Unknown"));
}

TEST_F(ArrayProviderTest, AHostKnownByAnotherLoopbackAddressIsAnsweredToo) {
    // The name of this host may stand for 127.0.1.1; the answers to
    // datagrams sent there come from 127.0.0.1.
    ListRecord record = Record("SERIALAAAA01", "CAB-A", 12);
    record.serverName = "127.0.1.1";
    peer_->SetListAnswer(clienttest::ListAnswer({record}));
    Scan("127.0.1.1");
    ASSERT_EQ(provider_->DeviceCount(), 1);
    Answer("SERIALAAAA01", GrossReply(0, {}));
    EXPECT_TRUE(StatusBecomes(0, "Normal"));
}

TEST_F(ArrayProviderTest, AnArrayThatStopsAnsweringIsNotShownWithItsLastStatus) {
    peer_->SetListAnswer(clienttest::ListAnswer({Record("SERIALAAAA01", "CAB-A", 12)}));
    Scan(kHost);
    Answer("SERIALAAAA01", GrossReply(0, {}));
    ASSERT_TRUE(StatusBecomes(0, "Normal"));
    const int answered = provider_->RoundCount();
    Answer("SERIALAAAA01", std::nullopt);
    ASSERT_TRUE(StatusBecomes(0, "Unknown"));
    EXPECT_EQ(provider_->StatusValue(0), 10);
    // Two rounds went unanswered; the start of the third gives up on it.
    EXPECT_EQ(provider_->RoundCount(), answered + 3);
}

TEST_F(ArrayProviderTest, StrayAndDamagedDatagramsChangeNothing) {
    peer_->SetListAnswer(clienttest::ListAnswer({Record("SERIALAAAA01", "CAB-A", 12)}));
    Scan(kHost);
    // A cut reply, a reply of a kind the rounds do not ask for, and, once
    // the entry is forgotten, a good reply for an array no longer listed.
    Answer("SERIALAAAA01", GrossReply(0, {1}).substr(0, 100));
    provider_->Poll();
    ASSERT_TRUE(peer_->WaitForDatagrams(1, 10000));
    Answer("SERIALAAAA01", Be(24) + Be(4) + Be(1) + Be(0) + Be(0) + Be(1));
    guitest::Eventually([&] {
        provider_->Poll();
        return provider_->RoundCount() >= 3;
    });
    EXPECT_EQ(Text(0, 3), "Unknown");
    EXPECT_FALSE(provider_->StatusChanged(0));
    Answer("SERIALAAAA01", GrossReply(2, {}));
    provider_->ForgetAllDevices();
    provider_->Poll();
    EXPECT_EQ(provider_->DeviceCount(), 0);
}

TEST_F(ArrayProviderTest, DiscoveryAddsItsHostsToTheKnownHostsAndMayRunAgain) {
    peer_->SetListAnswer(clienttest::ListAnswer({Record("SERIALAAAA01", "CAB-A", 12)}));
    for (int time = 0; time < 2; ++time) {
        provider_->StartDiscovery(kHost, false);
        ASSERT_TRUE(
            host_.WaitUntil([this] { return provider_->DiscoveryDone(); }, oru::kWorkerBudgetMs));
        EXPECT_TRUE(host_.messages.empty()) << host_.messages.front();
        ASSERT_EQ(provider_->HostCount(), 1);
        EXPECT_EQ(provider_->HostName(0), kServer);
    }
    EXPECT_EQ(profile_.ReadString(oru::keys::kHostList, kServer, ""), kServer);
    // A new provider knows the hosts from the profile.
    oru::CArrayProvider again(*qen_, profile_, host_);
    ASSERT_EQ(again.HostCount(), 1);
    EXPECT_EQ(again.HostName(0), kServer);

    // Clearing forgets them (the profile too) before the discovery.
    provider_->StartDiscovery("no-such-host.invalid", true);
    ASSERT_TRUE(
        host_.WaitUntil([this] { return provider_->DiscoveryDone(); }, oru::kWorkerBudgetMs));
    EXPECT_EQ(provider_->HostCount(), 0);
    EXPECT_FALSE(profile_.SectionKeys(oru::keys::kHostList).has_value());
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(host_.messages[0], "Discovery failed");
}

TEST_F(ArrayProviderTest, AHostThatCannotBeFoundContributesNothing) {
    Scan("no-such-host.invalid");
    EXPECT_EQ(provider_->DeviceCount(), 0);
    EXPECT_TRUE(host_.messages.empty());
}

TEST_F(ArrayProviderTest, AScanTheWaitGaveUpOnDropsItsLateResult) {
    // A listener that takes the connection and never answers.
    const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    ASSERT_EQ(::listen(silent, 4), 0);
    socklen_t length = sizeof at;
    ::getsockname(silent, reinterpret_cast<sockaddr*>(&at), &length);
    root_.Write("etc/services",
                "oruTCP " + std::to_string(ntohs(at.sin_port)) + "/tcp\noruUDP 1/udp\n");
    platform::SetTimeScale(1000);  // the library gives up on the silent host sooner
    provider_->StartScan(kHost);
    EXPECT_FALSE(host_.WaitUntil([this] { return provider_->ScanDone(); }, 10));
    provider_->AbandonWaits();
    EXPECT_TRUE(provider_->ScanDone());
    EXPECT_EQ(provider_->DeviceCount(), 0);
    // The worker ends on the library's own budget; its result is dropped.
    EXPECT_TRUE(guitest::Eventually([] { return oru::RunningWorkers() == 0; }, 20000));
    QApplication::processEvents();
    EXPECT_EQ(provider_->DeviceCount(), 0);
    ::close(silent);
}

TEST_F(ArrayProviderTest, CapacitiesThatCannotBeReadSayWhy) {
    peer_->SetListAnswer(clienttest::ListAnswer(
        {Record("SERIALAAAA01", "CAB-A", 12), Record("SERIALBBBB02", "CAB-B", 12)}));
    peer_->SetKnownSerials({"SERIALAAAA01", "SERIALBBBB02"});
    Scan(kHost);
    auto capacity = [this](int device) {
        std::string text;
        while (provider_->ColumnText(device, oru::keys::kColumnNames[4], &text) ==
               oru::CDeviceProvider::kTextPending) {
            EXPECT_TRUE(host_.WaitUntil([this] { return provider_->CapacityWorkerIdle(); },
                                        oru::kWorkerBudgetMs));
        }
        return text;
    };
    // The service refuses the user: no rights.
    peer_->ForceAnswer(0xFFFFFFFFu);
    EXPECT_EQ(capacity(0), "<no rights>");
    EXPECT_EQ(Text(0, 5), "<no rights>");
    // The service takes the session and drops it: a connection error.
    peer_->ForceAnswer(std::nullopt);
    peer_->SetSessionScript([](int fd) {
        char byte = 0;
        (void)::recv(fd, &byte, 1, 0);
        ::shutdown(fd, SHUT_RDWR);
    });
    EXPECT_EQ(capacity(1), "<connection error>");
    // Read once per entry.
    const std::size_t sessions = peer_->SessionRequests().size();
    EXPECT_EQ(capacity(1), "<connection error>");
    EXPECT_EQ(peer_->SessionRequests().size(), sessions);
}

TEST_F(ArrayProviderTest, DevicePropertiesOfSeveralArraysOrOfAnUnreachableOneAreRefused) {
    peer_->SetListAnswer(clienttest::ListAnswer(
        {Record("SERIALAAAA01", "CAB-A", 12), Record("SERIALBBBB02", "CAB-B", 12)}));
    peer_->SetKnownSerials({"SERIALAAAA01", "SERIALBBBB02"});
    Scan(kHost);
    EXPECT_EQ(provider_->OpenProperties({0, 1}), 0);
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(host_.messages[0], "Multiple device configuration not currently supported");

    peer_->ForceAnswer(0xFFFFFFFFu);
    EXPECT_EQ(provider_->OpenProperties({0}), -1);
    ASSERT_EQ(host_.messages.size(), 2u);
    EXPECT_EQ(host_.messages[1],
              "The array-management service could not confirm your rights to manage this array.");
    EXPECT_EQ(host_.waitCursor, 0);
    EXPECT_TRUE(host_.sheets.empty());

    // Connected, but the session ends before the state comes: no state.
    peer_->ForceAnswer(std::nullopt);
    peer_->SetSessionScript([](int fd) {
        char byte = 0;
        (void)::recv(fd, &byte, 1, 0);
        ::shutdown(fd, SHUT_RDWR);
    });
    EXPECT_EQ(provider_->OpenProperties({1}), -1);
    ASSERT_EQ(host_.messages.size(), 3u);
    EXPECT_EQ(host_.messages[2], "The state of the array could not be read.");
    EXPECT_TRUE(host_.sheets.empty());
}

}  // namespace
