#include "RecordingClient.h"

#include <chrono>

namespace devmgrtest {

namespace {

std::uint32_t Be32(const std::vector<unsigned char>& b, std::size_t at) {
    if (b.size() < at + 4) {
        return 0xDEADBEEF;
    }
    return (std::uint32_t(b[at]) << 24) | (std::uint32_t(b[at + 1]) << 16) |
           (std::uint32_t(b[at + 2]) << 8) | b[at + 3];
}

}  // namespace

void PutBe32(std::vector<unsigned char>& b, std::uint32_t v) {
    b.push_back(static_cast<unsigned char>(v >> 24));
    b.push_back(static_cast<unsigned char>(v >> 16));
    b.push_back(static_cast<unsigned char>(v >> 8));
    b.push_back(static_cast<unsigned char>(v));
}

int RecordingClient::Reply(std::vector<unsigned char> bytes) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (refuse_) {
        return 0;
    }
    replies_.push_back(std::move(bytes));
    cond_.notify_all();
    return 1;
}

void RecordingClient::Done() {
    std::lock_guard<std::mutex> hold(mutex_);
    ++done_;
    cond_.notify_all();
}

std::vector<std::vector<unsigned char>> RecordingClient::Replies() {
    std::lock_guard<std::mutex> hold(mutex_);
    return replies_;
}

std::vector<ReplyWords> RecordingClient::Words() {
    std::vector<ReplyWords> words;
    for (const std::vector<unsigned char>& b : Replies()) {
        ReplyWords w;
        w.length = Be32(b, 0);
        w.version = Be32(b, 4);
        w.kind = Be32(b, 8);
        w.sequence = Be32(b, 12);
        w.session = Be32(b, 16);
        w.status = Be32(b, 20);
        if (w.kind == 10 && b.size() >= 12) {
            // The error record ends with error code, qualifier, module id.
            w.errorCode = Be32(b, b.size() - 12);
            w.qualifier = Be32(b, b.size() - 8);
            w.moduleId = Be32(b, b.size() - 4);
        }
        words.push_back(w);
    }
    return words;
}

int RecordingClient::DoneCount() {
    std::lock_guard<std::mutex> hold(mutex_);
    return done_;
}

bool RecordingClient::WaitDone(int n, int timeoutMs) {
    std::unique_lock<std::mutex> hold(mutex_);
    return cond_.wait_for(hold, std::chrono::milliseconds(timeoutMs), [&] { return done_ >= n; });
}

std::vector<unsigned char> RequestBytes(std::uint32_t code, std::uint32_t sequence,
                                        std::uint32_t session, std::uint32_t value1,
                                        std::uint32_t value2) {
    std::vector<unsigned char> b;
    PutBe32(b, 36);
    PutBe32(b, 4);
    PutBe32(b, code);
    PutBe32(b, sequence);
    PutBe32(b, session);
    PutBe32(b, value1);
    PutBe32(b, value2);
    PutBe32(b, 0);
    PutBe32(b, 0);
    return b;
}

}  // namespace devmgrtest
