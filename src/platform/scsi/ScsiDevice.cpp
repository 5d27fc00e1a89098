#include "platform/scsi/ScsiDevice.h"

#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/Clock.h"
#include "platform/Root.h"
#include "platform/scsi/ScsiWire.h"

namespace platform {

namespace {

std::mutex& RegistryMutex() {
    static std::mutex mutex;
    return mutex;
}

std::map<std::string, ScsiDeviceFactory>& Registry() {
    static std::map<std::string, ScsiDeviceFactory> registry;
    return registry;
}

bool RequestIsSound(const ScsiRequest& request) {
    if (request.cdbLength == 0 || request.cdbLength > kScsiMaxCdb) {
        return false;
    }
    if (static_cast<std::uint8_t>(request.direction) > 2) {
        return false;
    }
    if (request.direction == ScsiDirection::None) {
        return true;
    }
    return request.transferLength <= kScsiMaxTransfer &&
           (request.transferLength == 0 || request.data != nullptr);
}

void Fail(ScsiOutcome& outcome, int error) {
    outcome = ScsiOutcome{};
    outcome.systemError = error;
}

// ---------------------------------------------------------------------------
// Socket backend: one stream connection per open, one frame each way per
// command. A broken connection fails the command in progress and is opened
// again by the next one (strovsim may have been restarted).
class SocketScsiDevice : public ScsiDevice {
  public:
    explicit SocketScsiDevice(std::string path) : path_(std::move(path)) {}
    ~SocketScsiDevice() override { Disconnect(); }

    int Connect() {
        Disconnect();
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (path_.size() >= sizeof(address.sun_path)) {
            return ENAMETOOLONG;
        }
        std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            return errno;
        }
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
            int error = errno;
            ::close(fd);
            return error;
        }
        fd_ = fd;
        return 0;
    }

    int GetAddress(ScsiAddress& address) override {
        ScsiWireRequest request;
        request.op = ScsiWireOp::GetAddress;
        ScsiWireReply reply;
        int error = RoundTrip(request, reply, 10);
        if (error == 0 && reply.systemError != 0) {
            error = reply.systemError;
        }
        if (error == 0 && reply.dataIn.size() != kScsiAddressSize) {
            error = EPROTO;
        }
        if (error != 0) {
            return error;
        }
        const std::uint8_t* d = reply.dataIn.data();
        address.length = Be32(d);
        address.portNumber = d[4];
        address.pathId = d[5];
        address.targetId = d[6];
        address.lun = d[7];
        return 0;
    }

    int GetCapabilities(ScsiCapabilities& capabilities) override {
        ScsiWireRequest request;
        request.op = ScsiWireOp::GetCapabilities;
        ScsiWireReply reply;
        int error = RoundTrip(request, reply, 10);
        if (error == 0 && reply.systemError != 0) {
            error = reply.systemError;
        }
        if (error == 0 && reply.dataIn.size() != kScsiCapabilitiesSize) {
            error = EPROTO;
        }
        if (error != 0) {
            return error;
        }
        const std::uint8_t* d = reply.dataIn.data();
        capabilities.length = Be32(d);
        capabilities.maximumTransferLength = Be32(d + 4);
        capabilities.maximumPhysicalPages = Be32(d + 8);
        capabilities.supportedAsynchronousEvents = Be32(d + 12);
        capabilities.alignmentMask = Be32(d + 16);
        capabilities.taggedQueuing = d[20];
        capabilities.adapterScansDown = d[21];
        capabilities.adapterUsesPio = d[22];
        capabilities.reserved = d[23];
        return 0;
    }

    void PassThrough(const ScsiRequest& request, ScsiOutcome& outcome) override {
        if (!RequestIsSound(request)) {
            Fail(outcome, EINVAL);
            return;
        }
        ScsiWireRequest wire;
        wire.op = ScsiWireOp::PassThrough;
        wire.direction = request.direction;
        wire.cdbLength = request.cdbLength;
        wire.transferLength = request.direction == ScsiDirection::None ? 0 : request.transferLength;
        wire.timeoutSeconds = request.timeoutSeconds;
        wire.cdb = request.cdb;
        if (request.direction == ScsiDirection::Out && request.transferLength != 0) {
            wire.dataOut.assign(request.data, request.data + request.transferLength);
        }
        ScsiWireReply reply;
        // Data-in goes straight into the caller's buffer: a reply larger than
        // that buffer is refused before any of its data is read.
        const bool in = request.direction == ScsiDirection::In;
        std::uint32_t got = 0;
        int error = RoundTrip(wire, reply, request.timeoutSeconds, in ? request.data : nullptr,
                              in ? wire.transferLength : 0, &got);
        if (error == 0 && reply.systemError != 0) {
            error = reply.systemError;
        }
        if (error != 0) {
            Fail(outcome, error);
            return;
        }
        outcome = ScsiOutcome{};
        outcome.scsiStatus = reply.scsiStatus;
        outcome.senseLength = static_cast<std::uint8_t>(reply.sense.size());
        if (!reply.sense.empty()) {
            std::memcpy(outcome.sense.data(), reply.sense.data(), reply.sense.size());
        }
        // For data-in the bytes moved are the bytes that arrived; for data-out
        // the device's own count stands, so an overrun claim shows as residual.
        outcome.bytesMoved = in ? got : reply.bytesMoved;
    }

  private:
    static std::uint32_t Be32(const std::uint8_t* d) {
        return (static_cast<std::uint32_t>(d[0]) << 24) | (static_cast<std::uint32_t>(d[1]) << 16) |
               (static_cast<std::uint32_t>(d[2]) << 8) | d[3];
    }

    void Disconnect() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
        receiveTimeoutMs_ = -1;
    }

    // Sends one request and waits for its reply. The wait allows the
    // command's own time-out plus a margin for the simulator's bookkeeping;
    // a command without a time-out gets a minute. With dataTo, the reply's
    // data-in (at most dataCapacity bytes, else EPROTO) is read into it and
    // its length stored in *dataGot; without, it goes to reply.dataIn and
    // must be empty unless the request is GET_ADDRESS or GET_CAPABILITIES.
    int RoundTrip(const ScsiWireRequest& request, ScsiWireReply& reply,
                  std::uint32_t timeoutSeconds, std::uint8_t* dataTo = nullptr,
                  std::uint32_t dataCapacity = 0, std::uint32_t* dataGot = nullptr) {
        std::vector<std::uint8_t> frame;
        if (ScsiWire::EncodeRequest(request, frame) != ScsiWireStatus::Ok) {
            return EINVAL;
        }
        if (fd_ < 0) {
            int error = Connect();
            if (error != 0) {
                return error;
            }
        }
        int error = ScsiWire::WriteFrame(fd_, frame);
        if (error != 0) {
            Disconnect();
            return error;
        }
        std::uint64_t seconds = timeoutSeconds == 0 ? 60 : timeoutSeconds;
        std::uint64_t waitMs = seconds * 1000 + 5000;
        if (waitMs > static_cast<std::uint64_t>(INT_MAX)) {
            waitMs = INT_MAX;
        }
        const std::uint64_t deadline = MonotonicMs() + waitMs;
        // Commands mostly share one time-out: the socket's is set only when
        // it changes.
        if (receiveTimeoutMs_ != static_cast<int>(waitMs)) {
            error = ScsiWire::SetReceiveTimeout(fd_, static_cast<int>(waitMs));
            if (error != 0) {
                Disconnect();
                return error;
            }
            receiveTimeoutMs_ = static_cast<int>(waitMs);
        }
        std::uint8_t head[ScsiWire::kReplyHead];
        std::uint32_t senseLength = 0;
        std::uint32_t dataLength = 0;
        error = ScsiWire::ReadExact(fd_, head, sizeof head, deadline);
        if (error == 0 && (ScsiWire::DecodeReplyHead(head, reply, &senseLength, &dataLength) !=
                               ScsiWireStatus::Ok ||
                           reply.op != request.op)) {
            error = EPROTO;
        }
        // A device may not hand back more data than was asked for, nor data
        // for a command without a data-in phase.
        const bool small = request.op != ScsiWireOp::PassThrough;
        if (error == 0 && dataLength > (dataTo != nullptr ? dataCapacity
                                        : small           ? kScsiCapabilitiesSize
                                                          : 0)) {
            error = EPROTO;
        }
        if (error == 0) {
            reply.sense.resize(senseLength);
            error = ScsiWire::ReadExact(fd_, reply.sense.data(), senseLength, deadline);
        }
        if (error == 0 && dataTo != nullptr) {
            error = ScsiWire::ReadExact(fd_, dataTo, dataLength, deadline);
            *dataGot = dataLength;
        } else if (error == 0) {
            reply.dataIn.resize(dataLength);
            error = ScsiWire::ReadExact(fd_, reply.dataIn.data(), dataLength, deadline);
        }
        if (error != 0) {
            // The stream can no longer be trusted to be in step.
            Disconnect();
            return error;
        }
        return 0;
    }

    std::string path_;
    int fd_ = -1;
    int receiveTimeoutMs_ = -1;  // the SO_RCVTIMEO of fd_; -1 none set
};

// ---------------------------------------------------------------------------
// SG_IO backend for a name linked to a real /dev/sg* node.
class SgScsiDevice : public ScsiDevice {
  public:
    explicit SgScsiDevice(int fd) : fd_(fd) {}
    ~SgScsiDevice() override { ::close(fd_); }

    int GetAddress(ScsiAddress& address) override {
        sg_scsi_id id{};
        if (::ioctl(fd_, SG_GET_SCSI_ID, &id) != 0) {
            return errno;
        }
        address = ScsiAddress{};
        address.portNumber = static_cast<std::uint8_t>(id.host_no);
        address.pathId = static_cast<std::uint8_t>(id.channel);
        address.targetId = static_cast<std::uint8_t>(id.scsi_id);
        address.lun = static_cast<std::uint8_t>(id.lun);
        return 0;
    }

    int GetCapabilities(ScsiCapabilities& capabilities) override {
        capabilities = ScsiCapabilities{};
        int reserved = 0;
        if (::ioctl(fd_, SG_GET_RESERVED_SIZE, &reserved) == 0 && reserved > 0) {
            capabilities.maximumTransferLength = static_cast<std::uint32_t>(reserved);
        }
        return 0;
    }

    void PassThrough(const ScsiRequest& request, ScsiOutcome& outcome) override {
        if (!RequestIsSound(request)) {
            Fail(outcome, EINVAL);
            return;
        }
        std::uint8_t cdb[kScsiMaxCdb];
        std::memcpy(cdb, request.cdb.data(), kScsiMaxCdb);
        std::uint8_t sense[kScsiMaxSense] = {};
        sg_io_hdr_t header{};
        header.interface_id = 'S';
        header.cmd_len = request.cdbLength;
        header.cmdp = cdb;
        header.mx_sb_len = kScsiMaxSense;
        header.sbp = sense;
        switch (request.direction) {
            case ScsiDirection::None:
                header.dxfer_direction = SG_DXFER_NONE;
                break;
            case ScsiDirection::Out:
                header.dxfer_direction = SG_DXFER_TO_DEV;
                break;
            case ScsiDirection::In:
                header.dxfer_direction = SG_DXFER_FROM_DEV;
                break;
        }
        if (request.direction != ScsiDirection::None) {
            header.dxfer_len = request.transferLength;
            header.dxferp = request.data;
        }
        std::uint64_t ms = static_cast<std::uint64_t>(request.timeoutSeconds) * 1000;
        header.timeout = ms > UINT_MAX ? UINT_MAX : static_cast<unsigned>(ms);
        if (::ioctl(fd_, SG_IO, &header) != 0) {
            Fail(outcome, errno);
            return;
        }
        if (header.host_status != 0 && header.status == 0) {
            // The adapter lost the command: it never reached a target.
            Fail(outcome, EIO);
            return;
        }
        outcome = ScsiOutcome{};
        outcome.scsiStatus = header.status;
        outcome.senseLength = header.sb_len_wr;
        std::memcpy(outcome.sense.data(), sense, header.sb_len_wr);
        int resid = header.resid;
        std::uint32_t length = header.dxfer_len;
        outcome.bytesMoved = resid <= 0 ? length
                                        : (static_cast<std::uint32_t>(resid) > length
                                               ? 0
                                               : length - static_cast<std::uint32_t>(resid));
    }

  private:
    int fd_;
};

}  // namespace

std::string ScsiDeviceBaseName(const std::string& name) {
    std::string base = name;
    if (base.rfind("\\\\.\\", 0) == 0 || base.rfind("//./", 0) == 0) {
        base = base.substr(4);
    }
    if (base.empty() || base == "." || base == ".." || base.find('/') != std::string::npos ||
        base.find('\\') != std::string::npos || base.find('\0') != std::string::npos) {
        return std::string();
    }
    return base;
}

std::string ScsiDevicePath(const std::string& name) {
    std::string base = ScsiDeviceBaseName(name);
    if (base.empty()) {
        return std::string();
    }
    return RootPath("dev/" + base);
}

std::unique_ptr<ScsiDevice> OpenScsiDevice(const std::string& name, int* error) {
    int unused = 0;
    int& result = error != nullptr ? *error : unused;
    result = 0;
    std::string base = ScsiDeviceBaseName(name);
    if (base.empty()) {
        result = EINVAL;
        return nullptr;
    }
    ScsiDeviceFactory factory;
    {
        std::lock_guard<std::mutex> lock(RegistryMutex());
        auto found = Registry().find(base);
        if (found != Registry().end()) {
            factory = found->second;
        }
    }
    if (factory) {
        std::unique_ptr<ScsiDevice> device = factory();
        if (!device) {
            result = ENODEV;
        }
        return device;
    }

    std::string path = RootPath("dev/" + base);
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0) {
        result = errno;
        return nullptr;
    }
    if (S_ISLNK(link.st_mode)) {
        char target[PATH_MAX];
        ssize_t n = ::readlink(path.c_str(), target, sizeof(target) - 1);
        if (n < 0) {
            result = errno;
            return nullptr;
        }
        target[n] = '\0';
        if (std::strncmp(target, "/dev/sg", 7) == 0) {
            int fd = ::open(target, O_RDWR | O_CLOEXEC);
            if (fd < 0) {
                result = errno;
                return nullptr;
            }
            int version = 0;
            if (::ioctl(fd, SG_GET_VERSION_NUM, &version) != 0) {
                result = ENOTTY;
                ::close(fd);
                return nullptr;
            }
            return std::make_unique<SgScsiDevice>(fd);
        }
    }
    struct stat node {};
    if (::stat(path.c_str(), &node) != 0) {
        result = errno;
        return nullptr;
    }
    if (!S_ISSOCK(node.st_mode)) {
        result = ENODEV;
        return nullptr;
    }
    auto device = std::make_unique<SocketScsiDevice>(path);
    int connected = device->Connect();
    if (connected != 0) {
        result = connected;
        return nullptr;
    }
    return device;
}

void RegisterInProcessDevice(const std::string& name, ScsiDeviceFactory factory) {
    std::string base = ScsiDeviceBaseName(name);
    if (base.empty()) {
        return;
    }
    std::lock_guard<std::mutex> lock(RegistryMutex());
    Registry()[base] = std::move(factory);
}

void UnregisterInProcessDevice(const std::string& name) {
    std::string base = ScsiDeviceBaseName(name);
    std::lock_guard<std::mutex> lock(RegistryMutex());
    Registry().erase(base);
}

void ClearInProcessDevices() {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    Registry().clear();
}

}  // namespace platform
