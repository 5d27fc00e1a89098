#include "BareSocketEcho.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "platform/scsi/ScsiWire.h"

namespace benchsupport {

namespace {

bool ReadAll(int fd, std::uint8_t* data, std::size_t length) {
    while (length > 0) {
        ssize_t n = ::read(fd, data, length);
        if (n <= 0)
            return false;
        data += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t length) {
    while (length > 0) {
        ssize_t n = ::send(fd, data, length, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

std::uint32_t Be32(const std::uint8_t* d) {
    return (std::uint32_t(d[0]) << 24) | (std::uint32_t(d[1]) << 16) | (std::uint32_t(d[2]) << 8) |
           d[3];
}

void PutBe32(std::uint8_t* d, std::uint32_t v) {
    d[0] = static_cast<std::uint8_t>(v >> 24);
    d[1] = static_cast<std::uint8_t>(v >> 16);
    d[2] = static_cast<std::uint8_t>(v >> 8);
    d[3] = static_cast<std::uint8_t>(v);
}

// Answers every request frame on fd: the reply's length field, its head and
// the data in that the request's direction and transfer length call for.
void Echo(int fd) {
    using platform::ScsiWire;
    std::vector<std::uint8_t> body(ScsiWire::kMaxRequestBody);
    std::vector<std::uint8_t> reply(ScsiWire::kLengthField + ScsiWire::kReplyFixed +
                                    platform::kScsiMaxTransfer);
    std::uint8_t length[ScsiWire::kLengthField];
    while (ReadAll(fd, length, sizeof length)) {
        const std::uint32_t size = Be32(length);
        if (size < ScsiWire::kRequestFixed || size > body.size() ||
            !ReadAll(fd, body.data(), size)) {
            break;
        }
        const bool in = body[1] == static_cast<std::uint8_t>(platform::ScsiDirection::In);
        const std::uint32_t data = in ? Be32(body.data() + 4) : 0;
        PutBe32(reply.data(), ScsiWire::kReplyFixed + data);
        if (!WriteAll(fd, reply.data(), ScsiWire::kLengthField + ScsiWire::kReplyFixed + data))
            break;
    }
    ::close(fd);
}

}  // namespace

BareSocketEcho::~BareSocketEcho() {
    if (fd_ >= 0)
        ::close(fd_);
    if (echo_.joinable())
        echo_.join();
    if (listener_ >= 0)
        ::close(listener_);
    ::unlink(file_.c_str());
}

bool BareSocketEcho::Start() {
    ::unlink(file_.c_str());
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (file_.size() >= sizeof addr.sun_path)
        return false;
    std::memcpy(addr.sun_path, file_.c_str(), file_.size() + 1);
    listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener_, 1) != 0) {
        return false;
    }
    echo_ = std::thread([this] {
        const int fd = ::accept(listener_, nullptr, nullptr);
        if (fd >= 0)
            Echo(fd);
    });
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
}

bool BareSocketEcho::Exchange(const std::vector<std::uint8_t>& request) {
    using platform::ScsiWire;
    std::uint8_t length[ScsiWire::kLengthField];
    if (!WriteAll(fd_, request.data(), request.size()) || !ReadAll(fd_, length, sizeof length))
        return false;
    reply_.resize(Be32(length));
    return ReadAll(fd_, reply_.data(), reply_.size());
}

std::vector<std::uint8_t> RequestFrame(const platform::ScsiRequest& request) {
    platform::ScsiWireRequest wire;
    wire.direction = request.direction;
    wire.cdbLength = request.cdbLength;
    wire.transferLength = request.transferLength;
    wire.timeoutSeconds = request.timeoutSeconds;
    wire.cdb = request.cdb;
    if (request.direction == platform::ScsiDirection::Out)
        wire.dataOut.assign(request.data, request.data + request.transferLength);
    std::vector<std::uint8_t> frame;
    platform::ScsiWire::EncodeRequest(wire, frame);
    return frame;
}

}  // namespace benchsupport
