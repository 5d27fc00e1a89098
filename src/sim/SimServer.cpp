#include "sim/SimServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Clock.h"
#include "platform/FileUtil.h"
#include "platform/Root.h"
#include "platform/scsi/ScsiWire.h"
#include "sim/ByteOrder.h"
#include "sim/InProcessDevice.h"
#include "sim/ModelJson.h"

namespace sim {

namespace {

constexpr std::size_t kMaxControlLine = 4096;

void CloseFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

}  // namespace

std::string SimServer::ControlPath() {
    return platform::RootPath("sim/control");
}

SimServer::SimServer(std::shared_ptr<Simulator> sim) : sim_(std::move(sim)) {}

SimServer::~SimServer() {
    Stop();
    ReapConnections(true);
    for (auto& [name, l] : listeners_) {
        CloseFd(l.fd);
        ::unlink(l.file.c_str());
    }
    if (controlFd_ >= 0) {
        CloseFd(controlFd_);
        ::unlink(ControlPath().c_str());
    }
    CloseFd(wakeRead_);
    CloseFd(wakeWrite_);
}

int SimServer::Listen(const std::string& file, int* out) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (file.size() >= sizeof(addr.sun_path))
        return ENAMETOOLONG;
    std::memcpy(addr.sun_path, file.c_str(), file.size() + 1);
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return errno;
    // A socket file left by a server that died is replaced; any other kind
    // of file is not ours to remove.
    struct stat st {};
    if (::lstat(file.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            ::close(fd);
            return EEXIST;
        }
        ::unlink(file.c_str());
    }
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0) {
        int e = errno;
        ::close(fd);
        return e;
    }
    *out = fd;
    return 0;
}

int SimServer::Start(std::string* error) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        *error = "pipe";
        return errno;
    }
    wakeRead_ = fds[0];
    wakeWrite_ = fds[1];
    for (const char* dir : {"dev", "sim"}) {
        int rc = platform::MakeDirs(platform::RootPath(dir));
        if (rc != 0) {
            *error = platform::RootPath(dir);
            return rc;
        }
    }
    int rc = Listen(ControlPath(), &controlFd_);
    if (rc != 0) {
        *error = ControlPath();
        return rc;
    }
    SyncListeners();
    return 0;
}

void SimServer::SyncListeners() {
    const std::uint64_t gen = sim_->PathGeneration();
    if (gen == generation_)
        return;
    generation_ = gen;
    const auto open = sim_->PathNames(false);
    // Close what vanished (and the connections that used it).
    for (auto it = listeners_.begin(); it != listeners_.end();) {
        if (std::find(open.begin(), open.end(), it->first) == open.end()) {
            CloseFd(it->second.fd);
            ::unlink(it->second.file.c_str());
            std::lock_guard<std::mutex> lock(connMutex_);
            for (auto& c : connections_) {
                if (c->path == it->first && !c->done)
                    ::shutdown(c->fd, SHUT_RDWR);
            }
            it = listeners_.erase(it);
        } else {
            ++it;
        }
    }
    for (const auto& name : open) {
        if (listeners_.count(name))
            continue;
        Listener l;
        l.file = platform::RootPath("dev/" + name);
        if (Listen(l.file, &l.fd) == 0)
            listeners_[name] = l;
    }
}

void SimServer::Stop() {
    stop_ = true;
    if (wakeWrite_ >= 0) {
        char b = 1;
        [[maybe_unused]] ssize_t n = ::write(wakeWrite_, &b, 1);
    }
}

void SimServer::ReapConnections(bool all) {
    std::vector<std::unique_ptr<Connection>> finished;
    {
        std::lock_guard<std::mutex> lock(connMutex_);
        for (auto it = connections_.begin(); it != connections_.end();) {
            if (all && !(*it)->done)
                ::shutdown((*it)->fd, SHUT_RDWR);
            if (all || (*it)->done) {
                finished.push_back(std::move(*it));
                it = connections_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& c : finished) {
        if (c->thread.joinable())
            c->thread.join();
        CloseFd(c->fd);
    }
}

void SimServer::Run() {
    while (!stop_) {
        std::vector<pollfd> fds;
        std::vector<std::string> names;
        fds.push_back({wakeRead_, POLLIN, 0});
        fds.push_back({controlFd_, POLLIN, 0});
        for (const auto& [name, l] : listeners_) {
            fds.push_back({l.fd, POLLIN, 0});
            names.push_back(name);
        }
        int n = ::poll(fds.data(), fds.size(), 500);
        ReapConnections(false);
        // A machine root that was removed under us (a finished test) leaves
        // nothing to serve: end instead of lingering.
        if (::access(ControlPath().c_str(), F_OK) != 0)
            break;
        if (n <= 0)
            continue;
        if (fds[0].revents) {
            char buf[64];
            while (::read(wakeRead_, buf, sizeof buf) > 0) {
            }
        }
        if (fds[1].revents & POLLIN) {
            int c = ::accept4(controlFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (c >= 0) {
                HandleControl(c);
                ::close(c);
            }
        }
        for (std::size_t i = 2; i < fds.size(); ++i) {
            if (!(fds[i].revents & POLLIN))
                continue;
            int c = ::accept4(fds[i].fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0)
                continue;
            auto conn = std::make_unique<Connection>();
            conn->fd = c;
            conn->path = names[i - 2];
            Connection* raw = conn.get();
            std::lock_guard<std::mutex> lock(connMutex_);
            connections_.push_back(std::move(conn));
            raw->thread = std::thread([this, raw] { Serve(raw); });
        }
    }
    ReapConnections(true);
    for (auto& [name, l] : listeners_) {
        CloseFd(l.fd);
        ::unlink(l.file.c_str());
    }
    listeners_.clear();
    CloseFd(controlFd_);
    ::unlink(ControlPath().c_str());
}

void SimServer::HandleControl(int fd) {
    // One request line in, the answer out: "OK" or "ERROR <why>" on the
    // first line, then the answer's text.
    std::string line;
    char buf[512];
    const std::uint64_t deadline = platform::MonotonicMs() + 5000;
    while (line.find('\n') == std::string::npos && line.size() < kMaxControlLine) {
        pollfd p{fd, POLLIN, 0};
        const std::uint64_t now = platform::MonotonicMs();
        if (now >= deadline || ::poll(&p, 1, static_cast<int>(deadline - now)) <= 0)
            break;
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        line.append(buf, static_cast<std::size_t>(n));
    }
    line = line.substr(0, line.find('\n'));
    std::string answer;
    bool ok = false;
    if (line == "stop") {
        ok = true;
        Stop();
    } else if (line.rfind("load ", 0) == 0) {
        std::string text;
        const std::string file = line.substr(5);
        int rc = platform::ReadWholeFile(file, &text);
        WorldModel world;
        if (rc != 0) {
            answer = file + ": " + std::strerror(rc);
        } else if (!ModelJson::FromText(text, &world, &answer)) {
            answer = file + ": " + answer;
        } else {
            sim_->Replace(std::move(world));
            ok = true;
        }
    } else {
        ok = sim_->Control(line, &answer);
    }
    // The device sockets follow the change (a path removed or added, other
    // cabinets loaded) before the answer goes out: the caller may use them
    // the moment it has its answer.
    SyncListeners();
    std::string reply = ok ? "OK\n" : "ERROR " + answer + "\n";
    if (ok)
        reply += answer;
    std::size_t sent = 0;
    while (sent < reply.size()) {
        ssize_t n = ::send(fd, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        sent += static_cast<std::size_t>(n);
    }
}

void SimServer::Serve(Connection* conn) {
    SessionContext session;
    std::vector<std::uint8_t> frame;
    std::vector<std::uint8_t> replyHead;
    while (!stop_) {
        if (platform::ScsiWire::ReadFrame(conn->fd, platform::ScsiWire::kMaxRequestBody, -1,
                                          frame) != 0) {
            break;
        }
        platform::ScsiWireRequest req;
        if (platform::ScsiWire::DecodeRequest(frame, req) != platform::ScsiWireStatus::Ok) {
            break;  // a frame that does not add up ends the connection
        }
        platform::ScsiWireReply rep;
        rep.op = req.op;
        if (req.op == platform::ScsiWireOp::GetAddress ||
            req.op == platform::ScsiWireOp::GetCapabilities) {
            PathAddress a;
            if (!sim_->Address(conn->path, &a)) {
                rep.systemError = ENODEV;
            } else if (req.op == platform::ScsiWireOp::GetAddress) {
                rep.dataIn = {0, 0, 0, 8, a.port, a.pathId, a.target, a.lun};
            } else {
                platform::ScsiCapabilities caps;
                rep.dataIn.assign(24, 0);
                PutBe32(rep.dataIn, 0, caps.length);
                PutBe32(rep.dataIn, 4, caps.maximumTransferLength);
                PutBe32(rep.dataIn, 8, caps.maximumPhysicalPages);
                PutBe32(rep.dataIn, 12, caps.supportedAsynchronousEvents);
                PutBe32(rep.dataIn, 16, caps.alignmentMask);
            }
            rep.bytesMoved = static_cast<std::uint32_t>(rep.dataIn.size());
        } else {
            platform::ScsiRequest r;
            r.cdb = req.cdb;
            r.cdbLength = req.cdbLength;
            r.direction = req.direction;
            r.transferLength = req.transferLength;
            r.timeoutSeconds = req.timeoutSeconds;
            SimCommand cmd = ToSimCommand(r);
            if (req.direction == platform::ScsiDirection::Out)
                cmd.dataOut = req.dataOut;
            std::uint64_t delay = 0;
            SimReply out = sim_->Execute(conn->path, session, cmd, &delay);
            if (delay > 0)
                platform::SleepMs(delay);
            rep.systemError = out.systemError;
            if (out.systemError == 0) {
                rep.scsiStatus = out.status;
                rep.sense = std::move(out.sense);
                if (rep.sense.size() > platform::kScsiMaxSense) {
                    rep.sense.resize(platform::kScsiMaxSense);
                }
                rep.bytesMoved = out.dataIn.empty() ? out.bytesMoved
                                                    : static_cast<std::uint32_t>(out.dataIn.size());
                rep.dataIn = std::move(out.dataIn);
            }
        }
        // The head goes out first and the data-in straight from the reply:
        // a large read is not copied into a frame of its own.
        if (platform::ScsiWire::EncodeReplyHead(rep, replyHead) != platform::ScsiWireStatus::Ok ||
            platform::ScsiWire::WriteFrameParts(conn->fd, replyHead, rep.dataIn) != 0) {
            break;
        }
    }
    conn->done = true;
}

}  // namespace sim
