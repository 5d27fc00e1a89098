#include "ArrayFixture.h"

#include <unistd.h>

#include <chrono>
#include <thread>

#include "WireBytes.h"

namespace arraytest {

using clienttest::ListAnswer;

void ArrayFixture::SetUp() {
    ClientFixture::SetUp();
    peer_->SetListAnswer(ListAnswer({LocalRecord(kSerial)}));
    peer_->SetKnownSerials({kSerial});
    peer_->SetFirstSessionId(kSessionId);
    // The peer closes its socket when the script returns; a duplicate keeps
    // the connection open for the test, and the peer is free for the next.
    peer_->SetSessionScript([this](int fd) {
        const int kept = dup(fd);
        std::lock_guard<std::mutex> hold(mutex_);
        peerEnds_.push_back(kept);
    });
    // Made after the fixture wrote the services file: the list reads its
    // datagram port from there.
    qen_ = std::make_unique<QEN>(0);
    ASSERT_EQ(qen_->ScanforSubsystems("127.0.0.1", 0, 0), ASL_GOOD);
    ASSERT_NE(Entry(), nullptr);
}

void ArrayFixture::TearDown() {
    qen_.reset();
    {
        std::lock_guard<std::mutex> hold(mutex_);
        for (int fd : peerEnds_) {
            if (fd >= 0) {
                close(fd);
            }
        }
        peerEnds_.clear();
    }
    ClientFixture::TearDown();
}

DiskArray* ArrayFixture::Connect(int* peerEnd, QEN* through) {
    QEN& qen = through != nullptr ? *through : *qen_;
    std::size_t before = 0;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        before = peerEnds_.size();
    }
    DiskArray* array = qen.Connect(qen.SubsystemList().FindSubsystem(kSerial));
    if (array == nullptr) {
        return nullptr;
    }
    // The script runs right after the session id went out.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            if (peerEnds_.size() > before) {
                *peerEnd = peerEnds_[before];
                return array;
            }
        }
        if (std::chrono::steady_clock::now() > deadline) {
            *peerEnd = -1;
            return array;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::string ArrayFixture::ReadFrame(int fd) {
    std::string head = clienttest::ReadBytes(fd, 8, 10000);
    if (head.size() != 8) {
        return "";
    }
    const auto* b = reinterpret_cast<const unsigned char*>(head.data()) + 4;
    const std::uint32_t length = std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 |
                                 std::uint32_t{b[2]} << 8 | std::uint32_t{b[3]};
    if (length > (1u << 20)) {
        return head;
    }
    return head + clienttest::ReadBytes(fd, length, 10000);
}

PollMsg* ArrayFixture::PollForResult(DiskArray& array) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (PollMsg* result = array.PollQEN()) {
            return result;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return nullptr;
}

PollMsg* ArrayFixture::PollForMessage(DiskArray& array) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        PollMsg* result = array.PollQEN();
        if (array.GetMessageStatus() != SESS_NO_MESSAGE_WAITING) {
            return result;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return nullptr;
}

}  // namespace arraytest
