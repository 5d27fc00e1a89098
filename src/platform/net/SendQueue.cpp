#include "platform/net/SendQueue.h"

#include <utility>

#include "platform/net/SocketIo.h"

namespace netio {

bool SendQueue::Push(std::vector<unsigned char> bytes, std::uint64_t nowMs) {
    if (bytes.empty()) {
        return true;
    }
    if (bytes.size() > limit_ || queued_ > limit_ - bytes.size()) {
        return false;
    }
    if (queued_ == 0) {
        lastProgress_ = nowMs;
    }
    queued_ += bytes.size();
    blocks_.push_back(std::move(bytes));
    return true;
}

SendQueue::Flush SendQueue::Write(int fd, std::uint64_t nowMs) {
    while (!blocks_.empty()) {
        const std::vector<unsigned char>& first = blocks_.front();
        const IoResult sent =
            SendSome(fd, first.data() + sentOfFirst_, first.size() - sentOfFirst_);
        if (sent.kind == IoKind::WOULD_BLOCK) {
            return Flush::PENDING;
        }
        if (sent.kind != IoKind::MOVED) {
            return Flush::FAILED;
        }
        lastProgress_ = nowMs;
        sentOfFirst_ += sent.count;
        queued_ -= sent.count;
        if (sentOfFirst_ == first.size()) {
            blocks_.pop_front();
            sentOfFirst_ = 0;
        }
    }
    return Flush::DONE;
}

bool SendQueue::Stalled(std::uint64_t nowMs, std::uint64_t budgetMs) const {
    return queued_ > 0 && nowMs > lastProgress_ + budgetMs;
}

void SendQueue::Clear() {
    blocks_.clear();
    sentOfFirst_ = 0;
    queued_ = 0;
}

}  // namespace netio
