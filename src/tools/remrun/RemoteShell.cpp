#include "tools/remrun/RemoteShell.h"

#include "platform/ServicesEntry.h"
#include "tools/remrun/ErrorStreamCopier.h"
#include "tools/remrun/ReservedPort.h"
#include "tools/remrun/StreamPieces.h"
#include "tools/remrun/WinsockErrorText.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace remrun {
namespace {

constexpr int kDefaultTcpProtocol = 6;
constexpr int kLingerSeconds = 60;
constexpr std::size_t kMaxLogonName = 128;

// A socket closed when it goes out of scope.
class Socket {
  public:
    Socket() = default;
    ~Socket() { Close(); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    void Reset(int fd) {
        Close();
        fd_ = fd;
    }
    int Fd() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    void Close() {
        if (fd_ >= 0) {
            close(fd_);
            fd_ = -1;
        }
    }

  private:
    int fd_ = -1;
};

bool ResolveHost(const std::string& host, in_addr* address, int* code) {
    if (inet_pton(AF_INET, host.c_str(), address) == 1) {
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    int result = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (result != 0 || found == nullptr) {
        *code = result != 0 ? ResolverCode(result) : kWsaHostNotFound;
        return false;
    }
    *address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return true;
}

int TcpProtocolNumber(RemrunConsole& console) {
    protoent entry{};
    protoent* found = nullptr;
    std::vector<char> buffer(1024);
    if (getprotobyname_r("tcp", &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr) {
        return found->p_proto;
    }
    console.Trace(RemrunText::TRACE_NO_PROTOCOL);
    return kDefaultTcpProtocol;
}

// The logon name of the user running us, at most kMaxLogonName bytes.
bool LogonName(std::string* name) {
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(4096);
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_name != nullptr && found->pw_name[0] != '\0') {
        *name = found->pw_name;
    } else {
        const char* fromEnvironment = std::getenv("LOGNAME");
        if (fromEnvironment == nullptr || fromEnvironment[0] == '\0') {
            fromEnvironment = std::getenv("USER");
        }
        if (fromEnvironment == nullptr || fromEnvironment[0] == '\0') {
            return false;
        }
        *name = fromEnvironment;
    }
    if (name->size() > kMaxLogonName) {
        name->resize(kMaxLogonName);
    }
    return true;
}

// A TCP socket on the highest free reserved port; 0 (and *code) on failure.
std::uint16_t OpenReservedSocket(int protocol, Socket* socketOut, int* code) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, protocol);
    if (fd < 0) {
        *code = WinsockCode(errno);
        return 0;
    }
    socketOut->Reset(fd);
    int error = 0;
    std::uint16_t port = BindReservedPort(fd, kTopReservedPort, kReservedPortFloor, &error);
    if (port == 0) {
        *code = BindErrorCode(error);
        socketOut->Close();
    }
    return port;
}

bool SetKeepAlive(int fd) {
    int on = 1;
    return setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) == 0;
}

bool SetLinger(int fd, bool on) {
    linger value{};
    value.l_onoff = on ? 1 : 0;
    value.l_linger = kLingerSeconds;
    return setsockopt(fd, SOL_SOCKET, SO_LINGER, &value, sizeof value) == 0;
}

// Sends all of `data`; false (errno set) when the connection fails first.
bool SendAll(int fd, const std::string& data) {
    std::size_t sent = 0;
    while (sent < data.size()) {
        ssize_t done = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (done < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        sent += static_cast<std::size_t>(done);
    }
    return true;
}

}  // namespace

int RemoteShell::Run() {
    // Sockets need no start-up here; the step stays in the trace so a debug
    // run reads the same on every platform.
    console_.Trace(RemrunText::TRACE_VERSION);

    std::string userName = options_.userName;
    if (userName.empty()) {
        if (!LogonName(&userName)) {
            console_.Error(RemrunText::NO_LOGON_NAME);
            return kExitFatal;
        }
        console_.Trace(FormatText(Text(RemrunText::TRACE_LOGON_NAME), userName.c_str()));
    }

    console_.Trace(RemrunText::TRACE_HOST);
    in_addr hostAddress{};
    int code = 0;
    if (!ResolveHost(options_.host, &hostAddress, &code)) {
        console_.Error(FormatText(Text(RemrunText::HOST_UNKNOWN), options_.host.c_str()), code);
        return kExitFatal;
    }

    console_.Trace(RemrunText::TRACE_MAIN_SOCKET);
    platform::ServiceEntry shell = platform::LookupServiceEntry("shell", "tcp", 0);
    if (!shell.found || shell.port == 0) {
        console_.Error(RemrunText::NO_SHELL_PORT, kWsaNoData);
        return kExitFatal;
    }
    int protocol = TcpProtocolNumber(console_);
    console_.Trace(RemrunText::TRACE_BINDING);
    Socket mainSocket;
    std::uint16_t mainPort = OpenReservedSocket(protocol, &mainSocket, &code);
    if (mainPort == 0) {
        console_.Error(RemrunText::NO_MAIN_SOCKET, code);
        return kExitFatal;
    }
    console_.TraceNumber(RemrunText::TRACE_BOUND, mainPort);
    console_.Trace(RemrunText::TRACE_MAIN_OPTIONS);
    if (!SetKeepAlive(mainSocket.Fd())) {
        console_.Error(RemrunText::MAIN_KEEPALIVE, WinsockCode(errno));
    }
    if (!SetLinger(mainSocket.Fd(), true)) {
        console_.Error(RemrunText::MAIN_LINGER, WinsockCode(errno));
    }

    // Without an error socket the run goes on: the remote side is then told
    // port 0 and sends its error output, if any, on the main connection.
    console_.Trace(RemrunText::TRACE_ERROR_SOCKET);
    Socket errorSocket;
    std::uint16_t errorPort = OpenReservedSocket(protocol, &errorSocket, &code);
    if (errorPort == 0) {
        console_.Error(RemrunText::NO_ERROR_SOCKET, code);
    } else {
        console_.TraceNumber(RemrunText::TRACE_ERROR_BOUND, errorPort);
        console_.Trace(RemrunText::TRACE_ERROR_OPTIONS);
        if (!SetKeepAlive(errorSocket.Fd())) {
            console_.Error(RemrunText::ERROR_KEEPALIVE, WinsockCode(errno));
        }
        if (!SetLinger(errorSocket.Fd(), false)) {
            console_.Error(RemrunText::ERROR_LINGER, WinsockCode(errno));
        }
        if (listen(errorSocket.Fd(), 5) != 0) {
            console_.Error(RemrunText::ERROR_LISTEN, WinsockCode(errno));
            return kExitFatal;
        }
    }

    console_.Trace(RemrunText::TRACE_CONNECTING);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_addr = hostAddress;
    server.sin_port = htons(shell.port);
    int connected;
    do {
        connected =
            connect(mainSocket.Fd(), reinterpret_cast<const sockaddr*>(&server), sizeof server);
    } while (connected != 0 && errno == EINTR);
    if (connected != 0) {
        console_.Error(RemrunText::CONNECT_FAILED, WinsockCode(errno));
        return kExitFatal;
    }

    std::unique_ptr<ErrorStreamCopier> errorCopier;
    if (errorSocket.Valid()) {
        console_.Trace(RemrunText::TRACE_THREAD);
        errorCopier = std::make_unique<ErrorStreamCopier>(errorSocket.Fd(), console_);
        if (!errorCopier->Start()) {
            console_.Error(RemrunText::THREAD_FAILED, WinsockCode(errno));
            return kExitFatal;
        }
    }

    console_.Trace(
        FormatText(Text(RemrunText::TRACE_SENDING), options_.command.c_str(), userName.c_str()));
    std::string request = std::to_string(errorSocket.Valid() ? errorPort : 0);
    request += '\0';
    request += userName;
    request += '\0';
    request += userName;
    request += '\0';
    request += options_.command;
    request += '\0';
    if (!SendAll(mainSocket.Fd(), request)) {
        console_.Error(RemrunText::SEND_FAILED, WinsockCode(errno));
    }
    // The request is all we send: the main connection also carries the
    // command's input, and a command that reads it (cat, a shell) would
    // otherwise wait for more for ever.
    shutdown(mainSocket.Fd(), SHUT_WR);

    // The first byte is the remote side's answer: zero when it runs the
    // command, else a refusal whose reason follows as text.
    console_.Trace(RemrunText::TRACE_RECEIVING_OUTPUT);
    bool answered = false;
    bool refused = false;
    int receiveError = 0;
    char buffer[kPieceSize];
    for (;;) {
        console_.Trace(RemrunText::TRACE_RECEIVING);
        Piece piece = ReceivePiece(mainSocket.Fd(), buffer, sizeof buffer);
        console_.Trace(FormatText(Text(RemrunText::TRACE_RECEIVED), static_cast<int>(piece.size)));
        const char* data = buffer;
        std::size_t size = piece.size;
        if (!answered && size > 0) {
            answered = true;
            refused = data[0] != '\0';
            ++data;
            --size;
        }
        if (refused) {
            console_.WriteErrorOutput(data, size);
        } else {
            console_.WriteOutput(data, size);
        }
        if (piece.error != 0) {
            // After a refusal the remote side has said all it had to say;
            // some servers then reset the connection instead of closing it.
            if (!refused) {
                receiveError = piece.error;
            }
            break;
        }
        if (piece.ended) {
            break;
        }
    }

    console_.Trace(RemrunText::TRACE_CLOSING_MAIN);
    shutdown(mainSocket.Fd(), SHUT_RDWR);
    mainSocket.Close();
    if (errorCopier) {
        errorCopier->Finish();
    }
    errorSocket.Close();

    if (receiveError != 0) {
        console_.Error(RemrunText::RECEIVE_FAILED, WinsockCode(receiveError));
        return kExitFatal;
    }
    if (!answered) {
        console_.Error(RemrunText::CLOSED_EARLY);
        return kExitFatal;
    }
    if (refused) {
        console_.Error(RemrunText::REMOTE_REFUSED);
        return kExitFatal;
    }
    return kExitRun;
}

}  // namespace remrun
