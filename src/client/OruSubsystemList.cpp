#include "client/OruSubsystemList.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <spawn.h>
#include <strings.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sstream>

#include "catalog/Pause.h"
#include "client/ClientTexts.h"
#include "client/Session.h"
#include "coresys/common/CodedBuff.h"
#include "coresys/common/ORU_ReturnMsg.h"
#include "platform/Clock.h"
#include "platform/Registry.h"
#include "platform/Root.h"
#include "platform/ServicesEntry.h"
#include "platform/Trace.h"
#include "platform/net/SocketIo.h"

extern char** environ;

namespace {

constexpr const char* kStrovaneKey = "Software\\Verdanix\\Strovane";
constexpr const char* kSubnetMaskValue = "Subnet Mask";
constexpr int kListTries = 3;
constexpr int kDiscoveryAnswers = 100;
constexpr std::uint64_t kDiscoveryWaitMs = 3000;
// A remote-shell command needs a moment before the service can see its file.
constexpr unsigned long kRemoteSettleMs = 1500;
constexpr std::size_t kRemoteShellMax = 348;
constexpr std::size_t kReleaseSize = 8;
// The smallest message a subsystem datagram can carry: a bare reply.
constexpr std::size_t kMinDatagram = OruSubsystemList::kDatagramPrefix + ORU_ReturnMsg::kBareLength;

int CompareEntries(const OruSubsystem& a, const OruSubsystem& b) {
    int byServer = std::strncmp(a.serverName, b.serverName, OruSubsystem::kServerNameSize);
    if (byServer != 0) {
        return byServer;
    }
    return std::strncmp(a.serialNumber, b.serialNumber, OruSubsystem::kSerialSize);
}

bool SameServer(const OruSubsystem& entry, const char* server) {
    return std::strncmp(entry.serverName, server, OruSubsystem::kServerNameSize) == 0;
}

// Release text "A.nn.15" with its terminator; nn is returned (0 when the text
// has another form).
int ReleaseNumber(const char (&release)[kReleaseSize]) {
    if (release[0] != 'A' || release[1] != '.' ||
        !std::isdigit(static_cast<unsigned char>(release[2])) ||
        !std::isdigit(static_cast<unsigned char>(release[3])) ||
        std::memcmp(release + 4, ".15", 3) != 0 || release[7] != '\0') {
        return 0;
    }
    return (release[2] - '0') * 10 + (release[3] - '0');
}

// Texts that go onto a remote shell's command line come from the network:
// only plain name and path characters, and never something an option parser
// would take for an option.
bool SafeForRemoteShell(const std::string& text) {
    if (text.empty() || text.front() == '-') {
        return false;
    }
    for (char c : text) {
        const bool plain = std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' ||
                           c == '-' || c == '/' || c == '\\' || c == ':';
        if (!plain) {
            return false;
        }
    }
    return true;
}

std::string CutAtFirstDot(const std::string& name) {
    return name.substr(0, name.find('.'));
}

bool IsOwnRegularFile(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid();
}

}  // namespace

OruSubsystemList::OruSubsystemList(int scan) {
    const ASL_STATUS datagrams = InitializeDG();
    status_ = datagrams;
    if (scan != 0) {
        Update(nullptr, 0, 0);
        // The list may still be usable over TCP, but the caller must learn
        // that datagrams are not.
        if (datagrams != ASL_GOOD) {
            status_ = datagrams;
        }
    }
}

OruSubsystemList::~OruSubsystemList() {
    ResetMap(nullptr);
    if (dgSocket_ >= 0) {
        close(dgSocket_);
    }
    ReapChildren();
}

ASL_STATUS OruSubsystemList::InitializeDG() {
    if (dgSocket_ >= 0) {
        close(dgSocket_);
    }
    dgSocket_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (dgSocket_ < 0) {
        return ASL_DG_INITIALIZE_FAILED;
    }
    dgPeer_ = sockaddr_in{};
    dgPeer_.sin_family = AF_INET;
    dgPeer_.sin_addr.s_addr = htonl(INADDR_ANY);
    dgPeerLength_ = sizeof dgPeer_;
    // The entry's port goes into network order once more, as the service
    // does it too: both ends must meet on the same number.
    platform::ServiceEntry entry = platform::LookupServiceEntry("oruUDP", "udp", kDefaultPort);
    dgPort_ = entry.found ? htons(htons(entry.port)) : htons(kDefaultPort);
    return ASL_GOOD;
}

bool OruSubsystemList::LocalHostName(std::string* name) {
    char buffer[256] = {};
    if (gethostname(buffer, sizeof buffer - 1) != 0) {
        return false;
    }
    *name = std::string(buffer).substr(0, kHostNameSize - 1);
    return !name->empty();
}

ASL_STATUS OruSubsystemList::HostAddress(const char* host, unsigned short port,
                                         sockaddr_in* address) const {
    std::string name;
    if (host != nullptr) {
        name = host;
    } else if (const char* fromEnv = std::getenv("ORUHOST");
               fromEnv != nullptr && *fromEnv != '\0') {
        name = std::string(fromEnv).substr(0, kHostNameSize - 1);
    } else if (!LocalHostName(&name)) {
        return ASL_SCAN_FAILED;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (name.empty() || getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 ||
        found == nullptr) {
        return ASL_SCAN_FAILED;
    }
    *address = *reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    freeaddrinfo(found);
    if (port != 0) {
        address->sin_port = htons(port);
    } else {
        address->sin_port = htons(platform::LookupServiceEntry("oruTCP", "tcp", kDefaultPort).port);
    }
    return ASL_GOOD;
}

int OruSubsystemList::OpenListConnection(const sockaddr_in& address, std::uint32_t connectWord,
                                         unsigned char answer[4], bool sayWhySocketFailed) const {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        if (sayWhySocketFailed) {
            std::fprintf(stderr, ClientTexts::kRescanSystemError, ClientTexts::kRescanSocketCall,
                         errno);
        }
        return -1;
    }
    unsigned char word[4];
    netio::PutBe32(word, connectWord);
    if (!netio::ConnectWithin(fd, address, Session::kConnectSeconds) ||
        !netio::SendAll(fd, word, sizeof word, budgetSeconds_) ||
        !netio::ReceiveAll(fd, answer, 4, budgetSeconds_)) {
        close(fd);
        return -1;
    }
    return fd;
}

bool OruSubsystemList::ReadRecord(int fd, const sockaddr_in& address, OruSubsystem* record) const {
    char release[kReleaseSize] = {};
    if (!netio::ReceiveAll(fd, release, sizeof release, budgetSeconds_)) {
        return false;
    }
    const int number = ReleaseNumber(release);
    if (number != 3 && number != 4) {
        char shown[kReleaseSize + 1] = {};
        std::memcpy(shown, release, kReleaseSize);
        platform::Trace(ClientTexts::kUnrecognizedRelease, shown);
        return false;
    }
    // The rest of the record comes in one read: server name, serial, alias
    // (release 04 only), type, two device addresses, secure method and path.
    unsigned char rest[OruSubsystem::kServerNameSize + OruSubsystem::kSerialSize +
                       OruSubsystem::kAliasSize + 4 + 2 * Device_Addr::kImageSize + 4 +
                       OruSubsystem::kSecurePathSize];
    const std::size_t restSize = number == 4 ? sizeof rest : sizeof rest - OruSubsystem::kAliasSize;
    if (!netio::ReceiveAll(fd, rest, restSize, budgetSeconds_)) {
        return false;
    }
    const unsigned char* at = rest;
    auto take = [&at](void* into, std::size_t count) {
        std::memcpy(into, at, count);
        at += count;
    };
    take(record->serverName, sizeof record->serverName);
    take(record->serialNumber, sizeof record->serialNumber);
    if (number == 4) {
        take(record->aliasName, sizeof record->aliasName);
    }
    record->subsystemType = static_cast<DISK_ARRAY_TYPE>(netio::GetBe32(at));
    at += 4;
    for (Device_Addr& device : record->deviceAddr) {
        device.FromImage(at);
        at += Device_Addr::kImageSize;
    }
    record->secureMethod = netio::GetBe32(at);
    at += 4;
    take(record->securePath, sizeof record->securePath);
    // The texts are this client's own copies: terminated whatever was sent.
    record->serverName[sizeof record->serverName - 1] = '\0';
    record->serialNumber[sizeof record->serialNumber - 1] = '\0';
    record->aliasName[sizeof record->aliasName - 1] = '\0';
    record->securePath[sizeof record->securePath - 1] = '\0';
    record->serverAddress = address;
    return true;
}

ASL_STATUS OruSubsystemList::Update(const char* host, unsigned short port, int reset) {
    if (reset != 0) {
        ResetMap(host);
    }
    status_ = ASL_SCAN_FAILED;
    if (host == nullptr && reset != 0) {
        return Discover();
    }
    sockaddr_in address{};
    if (HostAddress(host, port, &address) != ASL_GOOD) {
        return status_;
    }
    unsigned char answer[4] = {};
    int fd = -1;
    for (int attempt = 0; attempt < kListTries && fd < 0; ++attempt) {
        fd = OpenListConnection(address, kConnectSsList, answer, false);
    }
    if (fd < 0) {
        return status_;
    }
    const std::uint32_t ssCount = netio::GetBe32(answer);
    for (std::uint32_t i = 0; i < ssCount; ++i) {
        // The list counts its entries in 16 bits: a longer answer is not a list.
        if (count_ == 0xFFFF) {
            close(fd);
            return status_;
        }
        auto* record = new OruSubsystem();
        if (!ReadRecord(fd, address, record)) {
            delete record;
            close(fd);
            return status_;
        }
        if (AddSubsystem(record) != 0) {
            platform::Trace(ClientTexts::kDuplicateSerial, record->serialNumber);
            delete record;
            close(fd);
            return status_;
        }
    }
    close(fd);
    status_ = ASL_GOOD;
    return status_;
}

ASL_STATUS OruSubsystemList::Rescan(const char* host, unsigned short port, int reset) {
    sockaddr_in address{};
    if (HostAddress(host, port, &address) == ASL_GOOD) {
        for (int attempt = 0; attempt < kListTries; ++attempt) {
            unsigned char answer[4] = {};
            int fd = OpenListConnection(address, kConnectRescan, answer, true);
            if (fd < 0) {
                continue;
            }
            close(fd);
            // The service answers in its own byte order: only zero means anything.
            if (answer[0] == 0 && answer[1] == 0 && answer[2] == 0 && answer[3] == 0) {
                platform::Trace("%s", ClientTexts::kRescanFailed);
            }
            break;
        }
    }
    status_ = Update(host, port, reset);
    return status_;
}

ASL_STATUS OruSubsystemList::Discover() {
    status_ = ASL_SCAN_FAILED;
    if (dgSocket_ < 0) {
        return status_;
    }
    int on = 1;
    if (setsockopt(dgSocket_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
        return status_;
    }
    std::string ownName;
    if (!LocalHostName(&ownName)) {
        return status_;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(ownName.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return status_;
    }
    const in_addr local = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);

    platform::RegistryKey key;
    std::string maskText;
    in_addr mask{};
    if (!platform::RegistryKey::Open(platform::Hive::LOCAL_MACHINE, kStrovaneKey, &key).ok() ||
        !key.ReadString(kSubnetMaskValue, &maskText).ok() ||
        inet_pton(AF_INET, maskText.c_str(), &mask) != 1) {
        return status_;
    }
    sockaddr_in broadcast{};
    broadcast.sin_family = AF_INET;
    broadcast.sin_addr.s_addr = local.s_addr | ~mask.s_addr;
    broadcast.sin_port = dgPort_;
    const unsigned char identify = 1;
    if (sendto(dgSocket_, &identify, 1, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&broadcast),
               sizeof broadcast) != 1) {
        return status_;
    }
    int off = 0;
    if (setsockopt(dgSocket_, SOL_SOCKET, SO_BROADCAST, &off, sizeof off) != 0) {
        return status_;
    }
    for (int answers = 0; answers < kDiscoveryAnswers; ++answers) {
        pollfd waiting{dgSocket_, POLLIN, 0};
        int ready = poll(&waiting, 1, static_cast<int>(platform::ScaledMs(kDiscoveryWaitMs)));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            break;
        }
        unsigned char reply[kDatagramMax];
        ssize_t got =
            recvfrom(dgSocket_, reply, sizeof reply, MSG_DONTWAIT | MSG_TRUNC, nullptr, nullptr);
        if (got < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                continue;
            }
            status_ = ASL_SCAN_FAILED;
            return status_;
        }
        if (got == static_cast<ssize_t>(kHostNameSize)) {
            reply[kHostNameSize - 1] = '\0';
            Update(reinterpret_cast<const char*>(reply), 0, 0);
        }
    }
    status_ = ASL_GOOD;
    return status_;
}

void OruSubsystemList::Unlink(OruSubsystem* entry) {
    if (entry->previous != nullptr) {
        entry->previous->next = entry->next;
    } else {
        first_ = entry->next;
    }
    if (entry->next != nullptr) {
        entry->next->previous = entry->previous;
    } else {
        last_ = entry->previous;
    }
    entry->next = nullptr;
    entry->previous = nullptr;
    entry->list = nullptr;
    --count_;
}

void OruSubsystemList::ResetMap(const char* host) {
    OruSubsystem* entry = first_;
    while (entry != nullptr) {
        OruSubsystem* following = entry->next;
        if (host == nullptr || SameServer(*entry, host)) {
            Unlink(entry);
            delete entry;
        }
        entry = following;
    }
}

int OruSubsystemList::AddSubsystem(OruSubsystem* subsystem) {
    OruSubsystem* after = nullptr;
    OruSubsystem* before = first_;
    while (before != nullptr) {
        int order = CompareEntries(*before, *subsystem);
        if (order == 0) {
            return 1;
        }
        if (order > 0) {
            break;
        }
        after = before;
        before = before->next;
    }
    subsystem->list = this;
    subsystem->previous = after;
    subsystem->next = before;
    if (after != nullptr) {
        after->next = subsystem;
    } else {
        first_ = subsystem;
    }
    if (before != nullptr) {
        before->previous = subsystem;
    } else {
        last_ = subsystem;
    }
    ++count_;
    return 0;
}

OruSubsystem* OruSubsystemList::operator[](int index) const {
    if (index < 0) {
        return nullptr;
    }
    OruSubsystem* entry = first_;
    for (int i = 0; entry != nullptr && i < index; ++i) {
        entry = entry->next;
    }
    return entry;
}

OruSubsystem* OruSubsystemList::FindSubsystem(const Device_Addr& address) const {
    for (OruSubsystem* entry = first_; entry != nullptr; entry = entry->next) {
        if (entry->deviceAddr[0].FindAddress(address) ||
            entry->deviceAddr[1].FindAddress(address)) {
            return entry;
        }
    }
    return nullptr;
}

OruSubsystem* OruSubsystemList::FindSubsystem(const char* server,
                                              const Device_Addr& address) const {
    for (OruSubsystem* entry = first_; entry != nullptr; entry = entry->next) {
        if (server != nullptr && SameServer(*entry, server) &&
            (entry->deviceAddr[0].FindAddress(address) ||
             entry->deviceAddr[1].FindAddress(address))) {
            return entry;
        }
    }
    return nullptr;
}

OruSubsystem* OruSubsystemList::FindSubsystem(const char* serial) const {
    for (OruSubsystem* entry = first_; entry != nullptr && serial != nullptr; entry = entry->next) {
        if (std::strncmp(entry->serialNumber, serial, OruSubsystem::kSerialSize) == 0) {
            return entry;
        }
    }
    return nullptr;
}

OruSubsystem* OruSubsystemList::FindSubsystem(const char* server, const char* serial) const {
    for (OruSubsystem* entry = first_; entry != nullptr; entry = entry->next) {
        if (server != nullptr && serial != nullptr && SameServer(*entry, server) &&
            std::strncmp(entry->serialNumber, serial, OruSubsystem::kSerialSize) == 0) {
            return entry;
        }
    }
    return nullptr;
}

OruSubsystem* OruSubsystemList::FindSubsystem(const in_addr* address, const char* serial) const {
    for (OruSubsystem* entry = first_; entry != nullptr; entry = entry->next) {
        if (address != nullptr && entry->serverAddress.sin_addr.s_addr != address->s_addr) {
            continue;
        }
        if (std::strncmp(entry->serialNumber, serial, OruSubsystem::kSerialSize) == 0) {
            return entry;
        }
    }
    return nullptr;
}

DATAGRAM_STATUS OruSubsystemList::SendMsg(OruSubsystem* subsystem, void* body,
                                          unsigned long length) {
    auto* bytes = static_cast<unsigned char*>(body);
    DATAGRAM_STATUS result = DATAGRAM_NONE;
    if (subsystem != nullptr && dgSocket_ >= 0 && (bytes != nullptr || length == 0) &&
        length <= 0xFFFFul) {
        auto* datagram = new (std::nothrow) unsigned char[kDatagramPrefix + length];
        if (datagram != nullptr) {
            datagram[0] = 0;
            std::memcpy(datagram + 1, subsystem->serialNumber, kDatagramPrefix - 1);
            if (length != 0) {
                std::memcpy(datagram + kDatagramPrefix, bytes, length);
            }
            sockaddr_in to = subsystem->serverAddress;
            to.sin_port = dgPort_;
            if (sendto(dgSocket_, datagram, kDatagramPrefix + length, MSG_NOSIGNAL,
                       reinterpret_cast<sockaddr*>(&to),
                       sizeof to) == static_cast<ssize_t>(kDatagramPrefix + length)) {
                result = DATAGRAM_SUCCESS;
            }
            delete[] datagram;
        }
    }
    CodedBuff::FreeData(bytes);
    return result;
}

DATAGRAM_STATUS OruSubsystemList::GetMsg(OruSubsystem** from, void** body, unsigned short* length) {
    *from = nullptr;
    *body = nullptr;
    *length = 0;
    if (dgSocket_ < 0) {
        return DATAGRAM_NONE;
    }
    unsigned char datagram[kDatagramMax];
    sockaddr_in sender{};
    socklen_t senderLength = sizeof sender;
    ssize_t got = recvfrom(dgSocket_, datagram, sizeof datagram, MSG_DONTWAIT | MSG_TRUNC,
                           reinterpret_cast<sockaddr*>(&sender), &senderLength);
    // Too short for a reply, cut off by the receive buffer, or not a
    // subsystem datagram: dropped.
    if (got < static_cast<ssize_t>(kMinDatagram) || got > static_cast<ssize_t>(kDatagramMax) ||
        senderLength < sizeof sender || sender.sin_family != AF_INET || datagram[0] != 0) {
        return DATAGRAM_NONE;
    }
    char serial[OruSubsystem::kSerialSize] = {};
    std::memcpy(serial, datagram + 1, kDatagramPrefix - 1);
    OruSubsystem* entry = FindSubsystem(&sender.sin_addr, serial);
    if (entry == nullptr) {
        return DATAGRAM_NONE;
    }
    const std::size_t messageLength = static_cast<std::size_t>(got) - kDatagramPrefix;
    auto* block = new (std::nothrow) unsigned char[messageLength];
    if (block == nullptr) {
        return DATAGRAM_NONE;
    }
    std::memcpy(block, datagram + kDatagramPrefix, messageLength);
    *from = entry;
    *body = block;
    *length = static_cast<unsigned short>(messageLength);
    return DATAGRAM_SUCCESS;
}

std::string OruSubsystemList::LocalSecurePath(const std::string& fileId) {
    std::string path;
    if (fileId.size() > 2 && fileId[0] == '\\' && fileId[1] == '\\') {
        // A server's share: reached here where its shares are mounted.
        path = platform::RootPath("net/" + fileId.substr(2));
        for (char& c : path) {
            if (c == '\\') {
                c = '/';
            }
        }
    } else {
        std::string windowsPath = fileId;
        // "\C:\dir" and "\/dir": a share prefix put before a drive or POSIX path.
        if (windowsPath.size() >= 2 && windowsPath[0] == '\\' &&
            (windowsPath[1] == '/' ||
             (windowsPath.size() >= 3 && std::isalpha(static_cast<unsigned char>(windowsPath[1])) &&
              windowsPath[2] == ':'))) {
            windowsPath.erase(0, 1);
        }
        path = platform::MapDrivePath(windowsPath);
    }
    std::string tidy;
    for (char c : path) {
        if (c == '/' && !tidy.empty() && tidy.back() == '/') {
            continue;
        }
        tidy += c;
    }
    return tidy;
}

bool OruSubsystemList::CreateSecureFile(const std::string& path) const {
    // Always a new file: never truncate one that is there, never follow a link.
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    close(fd);
    return true;
}

bool OruSubsystemList::RunRemoteShell(const std::string& server, const char* fileId) {
    const char* fromEnv = std::getenv("ORU_REMSH");
    std::string command =
        fromEnv != nullptr && *fromEnv != '\0' ? fromEnv : ClientTexts::kDefaultRemoteShell;
    if (command.size() > kRemoteShellMax) {
        command.resize(kRemoteShellMax);
    }
    // The command is a program and its own options, split at blanks; it runs
    // without a shell, so nothing from the network is ever interpreted here.
    std::vector<std::string> words;
    std::istringstream split(command);
    for (std::string word; split >> word;) {
        words.push_back(word);
    }
    if (words.empty()) {
        return false;
    }
    words.push_back(server);
    words.push_back("-n");
    words.push_back("touch");
    words.push_back(fileId);
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        return false;
    }
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t child = -1;
    int failed = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        return false;
    }
    children_.push_back(child);
    return true;
}

void OruSubsystemList::ReapChildren() {
    std::vector<pid_t> running;
    for (pid_t child : children_) {
        if (waitpid(child, nullptr, WNOHANG) == 0) {
            running.push_back(child);
        }
    }
    children_.swap(running);
}

int OruSubsystemList::MakeSecure(OruSubsystem* subsystem, const char* fileId) {
    if (subsystem == nullptr) {
        return 0;
    }
    subsystem->secure = 0;
    std::string ownName;
    if (fileId == nullptr || *fileId == '\0' || !LocalHostName(&ownName)) {
        return 0;
    }
    ReapChildren();
    const std::string server(subsystem->serverName,
                             strnlen(subsystem->serverName, sizeof subsystem->serverName));
    const std::uint32_t method = subsystem->secureMethod;
    if (method == 1 || method == 3) {
        const std::string target = method == 1 ? CutAtFirstDot(server) : server;
        if (SafeForRemoteShell(target) && SafeForRemoteShell(fileId) &&
            RunRemoteShell(target, fileId)) {
            subsystem->secure = 1;
        }
    } else if (method == 2 || method == 4) {
        if (strcasecmp(ownName.c_str(), server.c_str()) == 0) {
            subsystem->secure = CreateSecureFile(LocalSecurePath(fileId)) ? 1 : 0;
        } else if (!server.empty()) {
            if (CreateSecureFile(LocalSecurePath("\\\\" + server + fileId))) {
                subsystem->secure = 1;
            } else {
                // No share of that name reachable: try the host's short name.
                struct stat st {};
                const std::string shortName = CutAtFirstDot(server);
                if (shortName != server &&
                    stat(platform::RootPath("net/" + server).c_str(), &st) != 0 &&
                    CreateSecureFile(LocalSecurePath("\\\\" + shortName + fileId))) {
                    subsystem->secure = 1;
                }
            }
        }
    } else {
        subsystem->secure = CreateSecureFile(LocalSecurePath(fileId)) ? 1 : 0;
    }
    if (subsystem->secure == 1 && (method == 1 || method == 2)) {
        Pause(kRemoteSettleMs);
    }
    if (method == 1 || method == 3) {
        ReapChildren();
    }
    return subsystem->secure;
}

int OruSubsystemList::MakeSecure(OruSubsystem* subsystem, const char* user, const char* password) {
    (void)password;
    platform::Trace(ClientTexts::kNotImplemented,
                    static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(subsystem)),
                    user != nullptr ? user : "", ClientTexts::kPasswordWithheld);
    return 0;
}

void OruSubsystemList::RemoveSecure(OruSubsystem* subsystem, const char* fileId) {
    if (subsystem == nullptr || fileId == nullptr || *fileId == '\0') {
        return;
    }
    const std::uint32_t method = subsystem->secureMethod;
    if (method == 1 || method == 3) {
        return;  // made on the server by its remote shell: not ours to reach
    }
    const std::string server(subsystem->serverName,
                             strnlen(subsystem->serverName, sizeof subsystem->serverName));
    std::string ownName;
    LocalHostName(&ownName);
    std::vector<std::string> candidates;
    if ((method == 2 || method == 4) && strcasecmp(ownName.c_str(), server.c_str()) != 0) {
        candidates.push_back(LocalSecurePath("\\\\" + server + fileId));
        candidates.push_back(LocalSecurePath("\\\\" + CutAtFirstDot(server) + fileId));
    } else {
        candidates.push_back(LocalSecurePath(fileId));
    }
    for (const std::string& path : candidates) {
        // Only a plain file of ours: a link, or a file someone else put
        // there, is left alone.
        if (IsOwnRegularFile(path)) {
            unlink(path.c_str());
        }
    }
}
