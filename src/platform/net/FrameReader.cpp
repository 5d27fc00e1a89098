#include "platform/net/FrameReader.h"

#include <cerrno>
#include <new>

namespace netio {
namespace {

// Receive errors after which the socket can never deliver a frame again.
// Any other error (a transient one, or one the socket reports once before
// it reads as closed) leaves the frame to the next call.
bool ConnectionGone(int error) {
    switch (error) {
        case EBADF:
        case ENOTSOCK:
        case ECONNABORTED:
        case ECONNRESET:
        case EPIPE:
        case ESHUTDOWN:
        case ENOTCONN:
            return true;
        default:
            return false;
    }
}

}  // namespace

void FrameReader::Start(Piece piece, std::uint64_t nowMs) {
    piece_ = piece;
    pieceSince_ = nowMs;
    wordHave_ = 0;
}

FrameReader::Result FrameReader::BrokenHere() const {
    return piece_ == Piece::BODY ? Result::NO_BODY : Result::NO_LENGTH;
}

FrameReader::Result FrameReader::Read(int fd, std::uint64_t nowMs) {
    for (;;) {
        if (piece_ == Piece::DONE) {
            return Result::MESSAGE;
        }
        unsigned char* into = nullptr;
        std::size_t wanted = 0;
        if (piece_ == Piece::BODY) {
            into = body_.data() + bodyHave_;
            wanted = body_.size() - bodyHave_;
        } else {
            into = word_ + wordHave_;
            wanted = sizeof word_ - wordHave_;
        }
        const IoResult got = ReceiveSome(fd, into, wanted);
        switch (got.kind) {
            case IoKind::WOULD_BLOCK:
                return Result::NOTHING;
            case IoKind::CLOSED:
                return BrokenHere();
            case IoKind::FAILED:
                return ConnectionGone(got.error) ? Result::GONE : Result::NOTHING;
            case IoKind::MOVED:
                break;
        }
        if (piece_ == Piece::IDLE) {
            Start(Piece::TYPE, nowMs);
        }
        if (piece_ == Piece::BODY) {
            bodyHave_ += got.count;
            if (bodyHave_ == body_.size()) {
                piece_ = Piece::DONE;
            }
            continue;
        }
        wordHave_ += got.count;
        if (wordHave_ < sizeof word_) {
            continue;
        }
        const std::uint32_t word = GetBe32(word_);
        if (piece_ == Piece::TYPE) {
            if (word == kFrameDisconnect) {
                piece_ = Piece::IDLE;
                return Result::DISCONNECT;
            }
            if (word != kFrameMessage) {
                piece_ = Piece::IDLE;
                return Result::BAD_TYPE;
            }
            Start(Piece::LENGTH, nowMs);
            continue;
        }
        // A length no message can have means the stream is not what it
        // claims: refused before anything is allocated for it.
        if (word < kMinFrameLength || word > kMaxFrameLength) {
            piece_ = Piece::IDLE;
            return Result::NO_BODY;
        }
        try {
            body_.assign(word, 0);
        } catch (const std::bad_alloc&) {
            piece_ = Piece::IDLE;
            return Result::NO_BODY;
        }
        bodyHave_ = 0;
        Start(Piece::BODY, nowMs);
    }
}

std::vector<unsigned char> FrameReader::TakeMessage() {
    std::vector<unsigned char> message;
    if (piece_ == Piece::DONE) {
        message.swap(body_);
        bodyHave_ = 0;
        piece_ = Piece::IDLE;
    }
    return message;
}

FrameReader::Result FrameReader::Expired(std::uint64_t nowMs, std::uint64_t budgetMs) const {
    if (piece_ == Piece::IDLE || piece_ == Piece::DONE || nowMs <= pieceSince_ + budgetMs) {
        return Result::NOTHING;
    }
    return BrokenHere();
}

}  // namespace netio
