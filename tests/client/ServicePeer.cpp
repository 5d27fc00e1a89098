#include "ServicePeer.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/Clock.h"

namespace clienttest {
namespace {

std::uint32_t BigWord(const std::string& bytes) {
    auto b = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i]));
    };
    return b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
}

std::string Word(std::uint32_t value) {
    std::string bytes(4, '\0');
    bytes[0] = static_cast<char>(value >> 24);
    bytes[1] = static_cast<char>(value >> 16);
    bytes[2] = static_cast<char>(value >> 8);
    bytes[3] = static_cast<char>(value);
    return bytes;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

}  // namespace

bool SendAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t sent = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (sent <= 0) {
            if (sent < 0 && errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

std::uint32_t BeWord(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3]));
}

bool ReadSessionRequest(int fd, SessionRequest* request, int timeoutMs) {
    const std::string type = ReadBytes(fd, 4, timeoutMs);
    if (type.size() != 4 || BeWord(type, 0) != 0) {
        return false;  // goodbye, or the client is gone
    }
    const std::string length = ReadBytes(fd, 4, timeoutMs);
    if (length.size() != 4) {
        return false;
    }
    request->body = ReadBytes(fd, BeWord(length, 0), timeoutMs);
    if (request->body.size() < 20) {
        return false;
    }
    request->code = BeWord(request->body, 8);
    request->sequence = BeWord(request->body, 12);
    request->session = BeWord(request->body, 16);
    return true;
}

bool SendSessionFrame(int fd, const std::string& message) {
    std::string frame(8, '\0');
    const auto size = static_cast<std::uint32_t>(message.size());
    for (int i = 0; i < 4; ++i) {
        frame[4 + i] = static_cast<char>(size >> (8 * (3 - i)));
    }
    return SendAll(fd, frame + message);
}

std::string ReadBytes(int fd, std::size_t n, int timeoutMs) {
    std::string bytes;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (bytes.size() < n) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            break;
        }
        pollfd waiting{fd, POLLIN, 0};
        if (poll(&waiting, 1, static_cast<int>(left)) <= 0) {
            continue;
        }
        char chunk[4096];
        ssize_t got = recv(fd, chunk, std::min(sizeof chunk, n - bytes.size()), 0);
        if (got <= 0) {
            if (got < 0 && errno == EINTR) {
                continue;
            }
            break;
        }
        bytes.append(chunk, static_cast<std::size_t>(got));
    }
    return bytes;
}

bool SeesClose(int fd, int timeoutMs) {
    pollfd waiting{fd, POLLIN, 0};
    if (poll(&waiting, 1, timeoutMs) <= 0) {
        return false;
    }
    char byte;
    ssize_t got = recv(fd, &byte, 1, MSG_DONTWAIT);
    // A socket closed with unread data in it resets the connection instead.
    return got == 0 || (got < 0 && errno == ECONNRESET);
}

std::string ServicePeer::OwnHostName() {
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    return std::string(name).substr(0, 48);
}

ServicePeer::ServicePeer(std::uint16_t tcpPort, std::uint16_t udpPort) {
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    int on = 1;

    tcp_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    any.sin_port = htons(tcpPort);
    if (tcp_ < 0 || setsockopt(tcp_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        bind(tcp_, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0 || listen(tcp_, 5) != 0) {
        error_ = "tcp listener on port " + std::to_string(tcpPort) + ": " + std::strerror(errno);
        return;
    }
    udp_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    any.sin_port = htons(udpPort);
    if (udp_ < 0 || bind(udp_, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) {
        error_ = "udp listener on port " + std::to_string(udpPort) + ": " + std::strerror(errno);
        return;
    }
    tcpThread_ = std::thread([this] { ServeTcp(); });
    udpThread_ = std::thread([this] { ServeUdp(); });
}

ServicePeer::~ServicePeer() {
    stop_ = true;
    if (tcpThread_.joinable()) {
        tcpThread_.join();
    }
    if (udpThread_.joinable()) {
        udpThread_.join();
    }
    if (tcp_ >= 0) {
        close(tcp_);
    }
    if (udp_ >= 0) {
        close(udp_);
    }
}

void ServicePeer::SetListAnswer(const std::string& bytes) {
    std::lock_guard<std::mutex> hold(mutex_);
    listAnswer_ = bytes;
}
void ServicePeer::SetRescanAnswer(const std::string& bytes) {
    std::lock_guard<std::mutex> hold(mutex_);
    rescanAnswer_ = bytes;
}
void ServicePeer::SetAdminDir(const std::string& dir) {
    std::lock_guard<std::mutex> hold(mutex_);
    adminDir_ = dir;
}
void ServicePeer::SetKnownSerials(const std::set<std::string>& serials) {
    std::lock_guard<std::mutex> hold(mutex_);
    knownSerials_ = serials;
}
void ServicePeer::SetFirstSessionId(std::uint32_t id) {
    std::lock_guard<std::mutex> hold(mutex_);
    nextId_ = id;
}
void ServicePeer::ForceAnswer(std::optional<std::uint32_t> answer) {
    std::lock_guard<std::mutex> hold(mutex_);
    forcedAnswer_ = answer;
}
void ServicePeer::SetSessionScript(std::function<void(int)> script) {
    std::lock_guard<std::mutex> hold(mutex_);
    sessionScript_ = std::move(script);
}
void ServicePeer::SetDiscoveryAnswers(const std::vector<std::string>& answers) {
    std::lock_guard<std::mutex> hold(mutex_);
    discoveryAnswers_ = answers;
}
void ServicePeer::SetDatagramAnswer(
    std::function<std::optional<std::string>(const std::string&)> answer) {
    std::lock_guard<std::mutex> hold(mutex_);
    datagramAnswer_ = std::move(answer);
}

std::vector<std::uint32_t> ServicePeer::ConnectWords() {
    std::lock_guard<std::mutex> hold(mutex_);
    return connectWords_;
}
std::vector<std::string> ServicePeer::SessionRequests() {
    std::lock_guard<std::mutex> hold(mutex_);
    return sessionRequests_;
}
std::vector<std::string> ServicePeer::SecureFilesFound() {
    std::lock_guard<std::mutex> hold(mutex_);
    return filesFound_;
}
std::vector<std::string> ServicePeer::SecureFilesMissed() {
    std::lock_guard<std::mutex> hold(mutex_);
    return filesMissed_;
}
std::vector<ReceivedDatagram> ServicePeer::Datagrams() {
    std::lock_guard<std::mutex> hold(mutex_);
    return datagrams_;
}

bool ServicePeer::WaitForDatagrams(std::size_t count, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (Datagrams().size() >= count) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return Datagrams().size() >= count;
}

bool ServicePeer::WaitForConnections(std::size_t count, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (ConnectWords().size() >= count) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return ConnectWords().size() >= count;
}

void ServicePeer::ServeTcp() {
    while (!stop_) {
        pollfd waiting{tcp_, POLLIN, 0};
        if (poll(&waiting, 1, 50) <= 0) {
            continue;
        }
        int fd = accept4(tcp_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        ServeConnection(fd);
        close(fd);
    }
}

void ServicePeer::ServeConnection(int fd) {
    std::string word = ReadBytes(fd, 4, 5000);
    if (word.size() != 4) {
        return;
    }
    const std::uint32_t connect = BigWord(word);
    {
        std::lock_guard<std::mutex> hold(mutex_);
        connectWords_.push_back(connect);
    }
    const std::uint32_t revision = connect >> 16;
    const std::uint32_t type = revision > 4 ? 9999 : (connect & 0xFFFF);
    if (type == 1) {
        std::string answer;
        {
            std::lock_guard<std::mutex> hold(mutex_);
            answer = listAnswer_;
        }
        SendAll(fd, answer);
    } else if (type == 2) {
        std::string answer;
        {
            std::lock_guard<std::mutex> hold(mutex_);
            answer = rescanAnswer_;
        }
        SendAll(fd, answer);
    } else if (type == 0) {
        ServeSession(fd, word);
    }
}

void ServicePeer::ServeSession(int fd, const std::string& connectWord) {
    std::string serialBytes = ReadBytes(fd, 13, 5000);
    if (serialBytes.size() != 13) {
        return;
    }
    std::string adminDir;
    std::optional<std::uint32_t> forced;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        sessionRequests_.push_back(connectWord + serialBytes);
        adminDir = adminDir_;
        forced = forcedAnswer_;
    }
    // The service's own name for the file: admin path, serial, "/" when a
    // directory of that serial exists else ".", "local" or the peer's dotted
    // address, ".", the peer's port.
    sockaddr_in peer{};
    sockaddr_in own{};
    socklen_t peerLength = sizeof peer;
    socklen_t ownLength = sizeof own;
    getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength);
    getsockname(fd, reinterpret_cast<sockaddr*>(&own), &ownLength);
    const std::string serial(serialBytes.c_str(), strnlen(serialBytes.data(), 13));
    std::string name = adminDir + "/" + serial;
    name += IsDirectory(name) ? "/" : ".";
    if (peer.sin_addr.s_addr == own.sin_addr.s_addr) {
        name += "local";
    } else {
        char dotted[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &peer.sin_addr, dotted, sizeof dotted);
        name += dotted;
    }
    name += "." + std::to_string(ntohs(peer.sin_port));

    std::uint32_t answer = 0;
    if (forced) {
        answer = *forced;
    } else {
        bool present = false;
        for (int wait = 0; wait < 30 && !stop_; ++wait) {
            if (Exists(name)) {
                present = true;
                break;
            }
            platform::SleepMs(500);
        }
        std::lock_guard<std::mutex> hold(mutex_);
        if (!present) {
            filesMissed_.push_back(name);
            answer = 0xFFFFFFFFu;
        } else {
            filesFound_.push_back(name);
            unlink(name.c_str());
            answer = knownSerials_.count(serial) != 0 ? nextId_++ : 0;
        }
    }
    if (!SendAll(fd, Word(answer)) || answer == 0 || answer == 0xFFFFFFFFu) {
        return;
    }
    std::function<void(int)> script;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        script = sessionScript_;
    }
    if (script) {
        script(fd);
        return;
    }
    // Without a script the session stays open until the client ends it (at
    // most 2 s): a service that closes right after the id has no free session.
    pollfd end{fd, POLLIN, 0};
    char drain[256];
    const std::uint64_t until = platform::MonotonicMs() + 2000;
    while (!stop_ && platform::MonotonicMs() < until && poll(&end, 1, 50) >= 0) {
        if ((end.revents & (POLLIN | POLLHUP | POLLERR)) != 0 &&
            recv(fd, drain, sizeof drain, 0) <= 0) {
            return;
        }
    }
}

void ServicePeer::ServeUdp() {
    while (!stop_) {
        pollfd waiting{udp_, POLLIN, 0};
        if (poll(&waiting, 1, 50) <= 0) {
            continue;
        }
        char buffer[4096] = {};
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        ssize_t got = recvfrom(udp_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from),
                               &fromLength);
        if (got < 0) {
            continue;
        }
        ReceivedDatagram received{std::string(buffer, static_cast<std::size_t>(got)), from};
        std::vector<std::string> answers;
        std::function<std::optional<std::string>(const std::string&)> answerHook;
        {
            std::lock_guard<std::mutex> hold(mutex_);
            datagrams_.push_back(received);
            answers = discoveryAnswers_;
            answerHook = datagramAnswer_;
        }
        if (got >= 1 && buffer[0] == 1) {
            if (answers.empty()) {
                // The service's answer: its host name in exactly 49 bytes.
                std::string name = OwnHostName();
                name.resize(49, '\0');
                answers.push_back(name);
            }
            for (const std::string& answer : answers) {
                sendto(udp_, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from),
                       fromLength);
            }
        } else if (got >= 1 && buffer[0] == 0 && answerHook) {
            std::optional<std::string> reply = answerHook(received.bytes);
            if (reply) {
                sendto(udp_, reply->data(), reply->size(), 0, reinterpret_cast<sockaddr*>(&from),
                       fromLength);
            }
        }
    }
}

}  // namespace clienttest
