#include "platform/scsi/ScsiWire.h"

#include <poll.h>
#include <sys/socket.h>
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

ScsiWireStatus ScsiWire::EncodeReply(const ScsiWireReply& reply, std::vector<std::uint8_t>& frame) {
    frame.clear();
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
    frame.reserve(kLengthField + body);
    PutBe32(frame, static_cast<std::uint32_t>(body));
    frame.push_back(static_cast<std::uint8_t>(reply.op));
    frame.push_back(reply.scsiStatus);
    frame.push_back(static_cast<std::uint8_t>(reply.sense.size()));
    frame.push_back(0);
    PutBe32(frame, static_cast<std::uint32_t>(reply.systemError));
    PutBe32(frame, reply.bytesMoved);
    PutBe32(frame, static_cast<std::uint32_t>(reply.dataIn.size()));
    frame.insert(frame.end(), reply.sense.begin(), reply.sense.end());
    frame.insert(frame.end(), reply.dataIn.begin(), reply.dataIn.end());
    return ScsiWireStatus::Ok;
}

ScsiWireStatus ScsiWire::DecodeReply(std::span<const std::uint8_t> frame, ScsiWireReply& reply) {
    ScsiWireStatus status = CheckEnvelope(frame, kReplyFixed, kMaxReplyBody);
    if (status != ScsiWireStatus::Ok) {
        return status;
    }
    std::span<const std::uint8_t> body = frame.subspan(kLengthField);
    if (!ValidOp(body[0]) || body[3] != 0) {
        return ScsiWireStatus::BadField;
    }
    std::uint32_t senseLength = body[2];
    std::uint32_t bytesMoved = GetBe32(body, 8);
    std::uint32_t dataLength = GetBe32(body, 12);
    if (dataLength > kScsiMaxTransfer) {
        return ScsiWireStatus::TooLong;
    }
    // Both stated lengths must account for the body exactly.
    if (static_cast<std::uint64_t>(kReplyFixed) + senseLength + dataLength != body.size()) {
        return ScsiWireStatus::LengthMismatch;
    }
    if (dataLength != 0 && dataLength != bytesMoved) {
        return ScsiWireStatus::LengthMismatch;
    }
    reply.op = static_cast<ScsiWireOp>(body[0]);
    reply.scsiStatus = body[1];
    reply.systemError = static_cast<std::int32_t>(GetBe32(body, 4));
    reply.bytesMoved = bytesMoved;
    auto senseBegin = body.begin() + kReplyFixed;
    reply.sense.assign(senseBegin, senseBegin + senseLength);
    reply.dataIn.assign(senseBegin + senseLength, body.end());
    return ScsiWireStatus::Ok;
}

namespace {

// Reads exactly n bytes, waiting at most until deadline (0: no limit).
int ReadExact(int fd, std::uint8_t* to, std::size_t n, std::uint64_t deadline) {
    std::size_t got = 0;
    while (got < n) {
        if (deadline != 0) {
            std::uint64_t now = MonotonicMs();
            if (now >= deadline) {
                return ETIMEDOUT;
            }
            pollfd p{fd, POLLIN, 0};
            std::uint64_t left = deadline - now;
            int ready = ::poll(&p, 1, left > 60000 ? 60000 : static_cast<int>(left));
            if (ready < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return errno;
            }
            if (ready == 0) {
                continue;
            }
        }
        ssize_t r = ::recv(fd, to + got, n - got, 0);
        if (r > 0) {
            got += static_cast<std::size_t>(r);
        } else if (r == 0) {
            return ECONNRESET;
        } else if (errno != EINTR && errno != EAGAIN) {
            return errno;
        }
    }
    return 0;
}

}  // namespace

int ScsiWire::ReadFrame(int fd, std::uint32_t maxBody, int timeoutMs,
                        std::vector<std::uint8_t>& frame) {
    std::uint64_t deadline =
        timeoutMs < 0 ? 0 : MonotonicMs() + static_cast<std::uint64_t>(timeoutMs) + 1;
    frame.assign(kLengthField, 0);
    int error = ReadExact(fd, frame.data(), kLengthField, deadline);
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
    error = ReadExact(fd, frame.data() + kLengthField, body, deadline);
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

}  // namespace platform
