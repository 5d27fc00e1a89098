#include "platform/scsi/ScsiWire.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Clock.h"

namespace platform {

namespace {

void PutBe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 24));
    out.push_back(static_cast<std::uint8_t>(value >> 16));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

std::uint32_t GetBe32(std::span<const std::uint8_t> in, std::size_t at) {
    return (static_cast<std::uint32_t>(in[at]) << 24) |
           (static_cast<std::uint32_t>(in[at + 1]) << 16) |
           (static_cast<std::uint32_t>(in[at + 2]) << 8) | static_cast<std::uint32_t>(in[at + 3]);
}

bool ValidOp(std::uint8_t op) {
    return op >= static_cast<std::uint8_t>(ScsiWireOp::GetAddress) &&
           op <= static_cast<std::uint8_t>(ScsiWireOp::PassThrough);
}

// Checks the length field against the frame: the body must be exactly the
// bytes that follow it and no longer than maxBody.
ScsiWireStatus CheckEnvelope(std::span<const std::uint8_t> frame, std::uint32_t fixed,
                             std::uint32_t maxBody) {
    if (frame.size() < ScsiWire::kLengthField) {
        return ScsiWireStatus::Short;
    }
    std::uint32_t body = GetBe32(frame, 0);
    if (body > maxBody) {
        return ScsiWireStatus::TooLong;
    }
    if (body < fixed) {
        return ScsiWireStatus::Short;
    }
    if (frame.size() - ScsiWire::kLengthField < body) {
        return ScsiWireStatus::Short;
    }
    if (frame.size() - ScsiWire::kLengthField > body) {
        return ScsiWireStatus::LengthMismatch;
    }
    return ScsiWireStatus::Ok;
}

}  // namespace

ScsiWireStatus ScsiWire::EncodeRequest(const ScsiWireRequest& request,
                                       std::vector<std::uint8_t>& frame) {
    frame.clear();
    if (!ValidOp(static_cast<std::uint8_t>(request.op)) || request.cdbLength > kScsiMaxCdb ||
        static_cast<std::uint8_t>(request.direction) > 2) {
        return ScsiWireStatus::BadField;
    }
    if (request.transferLength > kScsiMaxTransfer) {
        return ScsiWireStatus::TooLong;
    }
    bool out = request.direction == ScsiDirection::Out;
    std::size_t dataLength = out ? request.transferLength : 0;
    if (request.dataOut.size() != dataLength) {
        return ScsiWireStatus::LengthMismatch;
    }
    frame.reserve(kLengthField + kRequestFixed + dataLength);
    PutBe32(frame, static_cast<std::uint32_t>(kRequestFixed + dataLength));
    frame.push_back(static_cast<std::uint8_t>(request.op));
    frame.push_back(static_cast<std::uint8_t>(request.direction));
    frame.push_back(request.cdbLength);
    frame.push_back(0);
    PutBe32(frame, request.transferLength);
    PutBe32(frame, request.timeoutSeconds);
    for (std::uint32_t i = 0; i < kScsiMaxCdb; ++i) {
        frame.push_back(i < request.cdbLength ? request.cdb[i] : 0);
    }
    frame.insert(frame.end(), request.dataOut.begin(), request.dataOut.end());
    return ScsiWireStatus::Ok;
}

ScsiWireStatus ScsiWire::DecodeRequest(std::span<const std::uint8_t> frame,
                                       ScsiWireRequest& request) {
    ScsiWireStatus status = CheckEnvelope(frame, kRequestFixed, kMaxRequestBody);
    if (status != ScsiWireStatus::Ok) {
        return status;
    }
    std::span<const std::uint8_t> body = frame.subspan(kLengthField);
    std::uint8_t op = body[0];
    std::uint8_t direction = body[1];
    std::uint8_t cdbLength = body[2];
    if (!ValidOp(op) || direction > 2 || cdbLength > kScsiMaxCdb || body[3] != 0) {
        return ScsiWireStatus::BadField;
    }
    if (op == static_cast<std::uint8_t>(ScsiWireOp::PassThrough) && cdbLength == 0) {
        return ScsiWireStatus::BadField;
    }
    std::uint32_t transfer = GetBe32(body, 4);
    if (transfer > kScsiMaxTransfer) {
        return ScsiWireStatus::TooLong;
    }
    std::size_t dataLength = body.size() - kRequestFixed;
    std::size_t expected =
        direction == static_cast<std::uint8_t>(ScsiDirection::Out) ? transfer : 0;
    if (dataLength != expected) {
        return ScsiWireStatus::LengthMismatch;
    }
    request.op = static_cast<ScsiWireOp>(op);
    request.direction = static_cast<ScsiDirection>(direction);
    request.cdbLength = cdbLength;
    request.transferLength = transfer;
    request.timeoutSeconds = GetBe32(body, 8);
    request.cdb.fill(0);
    std::memcpy(request.cdb.data(), body.data() + 12, cdbLength);
    request.dataOut.assign(body.begin() + kRequestFixed, body.end());
    return ScsiWireStatus::Ok;
}

ScsiWireStatus ScsiWire::EncodeReplyHead(const ScsiWireReply& reply,
                                         std::vector<std::uint8_t>& head) {
    head.clear();
    if (!ValidOp(static_cast<std::uint8_t>(reply.op))) {
        return ScsiWireStatus::BadField;
    }
    if (reply.sense.size() > kScsiMaxSense || reply.dataIn.size() > kScsiMaxTransfer) {
        return ScsiWireStatus::TooLong;
    }
    if (!reply.dataIn.empty() && reply.dataIn.size() != reply.bytesMoved) {
        return ScsiWireStatus::LengthMismatch;
    }
    std::size_t body = kReplyFixed + reply.sense.size() + reply.dataIn.size();
    head.reserve(kReplyHead + reply.sense.size());
    PutBe32(head, static_cast<std::uint32_t>(body));
    head.push_back(static_cast<std::uint8_t>(reply.op));
    head.push_back(reply.scsiStatus);
    head.push_back(static_cast<std::uint8_t>(reply.sense.size()));
    head.push_back(0);
    PutBe32(head, static_cast<std::uint32_t>(reply.systemError));
    PutBe32(head, reply.bytesMoved);
    PutBe32(head, static_cast<std::uint32_t>(reply.dataIn.size()));
    head.insert(head.end(), reply.sense.begin(), reply.sense.end());
    return ScsiWireStatus::Ok;
}

ScsiWireStatus ScsiWire::EncodeReply(const ScsiWireReply& reply, std::vector<std::uint8_t>& frame) {
    ScsiWireStatus status = EncodeReplyHead(reply, frame);
    if (status == ScsiWireStatus::Ok) {
        frame.insert(frame.end(), reply.dataIn.begin(), reply.dataIn.end());
    }
    return status;
}

ScsiWireStatus ScsiWire::DecodeReplyHead(std::span<const std::uint8_t> head, ScsiWireReply& reply,
                                         std::uint32_t* senseLength, std::uint32_t* dataLength) {
    if (head.size() < kReplyHead) {
        return ScsiWireStatus::Short;
    }
    const std::uint32_t bodyLength = GetBe32(head, 0);
    if (bodyLength > kMaxReplyBody) {
        return ScsiWireStatus::TooLong;
    }
    std::span<const std::uint8_t> body = head.subspan(kLengthField, kReplyFixed);
    if (!ValidOp(body[0]) || body[3] != 0) {
        return ScsiWireStatus::BadField;
    }
    const std::uint32_t sense = body[2];
    const std::uint32_t bytesMoved = GetBe32(body, 8);
    const std::uint32_t data = GetBe32(body, 12);
    if (data > kScsiMaxTransfer) {
        return ScsiWireStatus::TooLong;
    }
    // Both stated lengths must account for the body exactly.
    if (static_cast<std::uint64_t>(kReplyFixed) + sense + data != bodyLength) {
        return ScsiWireStatus::LengthMismatch;
    }
    if (data != 0 && data != bytesMoved) {
        return ScsiWireStatus::LengthMismatch;
    }
    reply.op = static_cast<ScsiWireOp>(body[0]);
    reply.scsiStatus = body[1];
    reply.systemError = static_cast<std::int32_t>(GetBe32(body, 4));
    reply.bytesMoved = bytesMoved;
    *senseLength = sense;
    *dataLength = data;
    return ScsiWireStatus::Ok;
}

ScsiWireStatus ScsiWire::DecodeReply(std::span<const std::uint8_t> frame, ScsiWireReply& reply) {
    ScsiWireStatus status = CheckEnvelope(frame, kReplyFixed, kMaxReplyBody);
    if (status != ScsiWireStatus::Ok) {
        return status;
    }
    std::uint32_t senseLength = 0;
    std::uint32_t dataLength = 0;
    status = DecodeReplyHead(frame, reply, &senseLength, &dataLength);
    if (status != ScsiWireStatus::Ok) {
        return status;
    }
    auto senseBegin = frame.begin() + kReplyHead;
    reply.sense.assign(senseBegin, senseBegin + senseLength);
    reply.dataIn.assign(senseBegin + senseLength, frame.end());
    return ScsiWireStatus::Ok;
}

int ScsiWire::SetReceiveTimeout(int fd, int timeoutMs) {
    timeval limit{};
    limit.tv_sec = timeoutMs / 1000;
    limit.tv_usec = (timeoutMs % 1000) * 1000;
    if (timeoutMs == 0) {
        limit.tv_usec = 1000;  // 0 would mean no limit at all
    }
    return ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) == 0 ? 0 : errno;
}

int ScsiWire::ReadExact(int fd, std::uint8_t* to, std::size_t n, std::uint64_t deadline) {
    std::size_t got = 0;
    while (got < n) {
        // A blocking read sleeps in the kernel until data comes or the
        // socket's receive time-out runs out: one call per piece, as a bare
        // socket needs, instead of a poll before every read.
        ssize_t r = ::recv(fd, to + got, n - got, 0);
        if (r > 0) {
            got += static_cast<std::size_t>(r);
            continue;
        }
        if (r == 0) {
            return ECONNRESET;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            return errno;
        }
        int waitMs = -1;  // no deadline: a non-blocking socket waits here
        if (deadline != 0) {
            std::uint64_t now = MonotonicMs();
            if (now >= deadline) {
                return ETIMEDOUT;
            }
            std::uint64_t left = deadline - now;
            waitMs = left > 60000 ? 60000 : static_cast<int>(left);
        }
        pollfd p{fd, POLLIN, 0};
        int ready = ::poll(&p, 1, waitMs);
        if (ready < 0 && errno != EINTR) {
            return errno;
        }
    }
    return 0;
}

int ScsiWire::ReadFrame(int fd, std::uint32_t maxBody, int timeoutMs,
                        std::vector<std::uint8_t>& frame) {
    std::uint64_t deadline =
        timeoutMs < 0 ? 0 : MonotonicMs() + static_cast<std::uint64_t>(timeoutMs) + 1;
    if (timeoutMs >= 0) {
        int error = SetReceiveTimeout(fd, timeoutMs);
        if (error != 0) {
            return error;
        }
    }
    frame.assign(kLengthField, 0);
    int error = ScsiWire::ReadExact(fd, frame.data(), kLengthField, deadline);
    if (error != 0) {
        frame.clear();
        return error;
    }
    std::uint32_t body = GetBe32(frame, 0);
    if (body > maxBody) {
        frame.clear();
        return EMSGSIZE;
    }
    frame.resize(kLengthField + static_cast<std::size_t>(body));
    error = ScsiWire::ReadExact(fd, frame.data() + kLengthField, body, deadline);
    if (error != 0) {
        frame.clear();
    }
    return error;
}

int ScsiWire::WriteFrame(int fd, std::span<const std::uint8_t> frame) {
    std::size_t sent = 0;
    while (sent < frame.size()) {
        ssize_t w = ::send(fd, frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL);
        if (w > 0) {
            sent += static_cast<std::size_t>(w);
        } else if (w < 0 && errno != EINTR && errno != EAGAIN) {
            return errno;
        }
    }
    return 0;
}

int ScsiWire::WriteFrameParts(int fd, std::span<const std::uint8_t> first,
                              std::span<const std::uint8_t> second) {
    std::size_t done = 0;
    const std::size_t total = first.size() + second.size();
    while (done < total) {
        iovec parts[2];
        int count = 0;
        if (done < first.size()) {
            parts[count++] = {const_cast<std::uint8_t*>(first.data()) + done, first.size() - done};
        }
        const std::size_t inSecond = done > first.size() ? done - first.size() : 0;
        if (inSecond < second.size()) {
            parts[count++] = {const_cast<std::uint8_t*>(second.data()) + inSecond,
                              second.size() - inSecond};
        }
        msghdr message{};
        message.msg_iov = parts;
        message.msg_iovlen = static_cast<std::size_t>(count);
        ssize_t w = ::sendmsg(fd, &message, MSG_NOSIGNAL);
        if (w > 0) {
            done += static_cast<std::size_t>(w);
        } else if (w < 0 && errno != EINTR && errno != EAGAIN) {
            return errno;
        }
    }
    return 0;
}

}  // namespace platform
