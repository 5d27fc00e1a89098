// A stand-in for the service's network side, for the client tests.
//
// It plays the service's part of each exchange byte for byte as the service
// does it: the TCP listener (connect word; subsystem list, rescan or session
// request; the secure-file check with the service's own file name; the
// session id answer) and the UDP listener (the 49-byte discovery answer,
// subsystem datagrams). What it answers is set by the test beforehand;
// what it saw is recorded for the test to check. One thread per listener;
// connections are served one after the other, as the service does.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace clienttest {

struct ReceivedDatagram {
    std::string bytes;
    sockaddr_in from{};
};

class ServicePeer {
  public:
    // Listens on any address: TCP on tcpPort, UDP on udpPort (host order).
    ServicePeer(std::uint16_t tcpPort, std::uint16_t udpPort);
    ~ServicePeer();
    ServicePeer(const ServicePeer&) = delete;
    ServicePeer& operator=(const ServicePeer&) = delete;

    // False when a socket could not be set up (the reason in Error()).
    bool Listening() const { return error_.empty(); }
    const std::string& Error() const { return error_; }

    // --- what the peer answers (set before the client acts) ---
    // Whole answer to a subsystem-list request (count word and records).
    void SetListAnswer(const std::string& bytes);
    // The answer word to a rescan, as raw bytes (the service sends 01 00 00 00).
    void SetRescanAnswer(const std::string& bytes);
    // Directory where the secure files are looked for (a POSIX path).
    void SetAdminDir(const std::string& dir);
    // Serials the peer manages; any other gets BAD_SERIALNO.
    void SetKnownSerials(const std::set<std::string>& serials);
    // First session id handed out (then one more per session).
    void SetFirstSessionId(std::uint32_t id);
    // Answer sent regardless of the secure file, which is then left alone.
    void ForceAnswer(std::optional<std::uint32_t> answer);
    // Runs on the peer's thread after a session id was sent; the socket is
    // closed when it returns.
    void SetSessionScript(std::function<void(int socket)> script);
    // Datagrams sent, in this order, in answer to a discovery datagram.
    void SetDiscoveryAnswers(const std::vector<std::string>& answers);
    // Answers a subsystem datagram (first byte 0); nullptr: no answer.
    void SetDatagramAnswer(std::function<std::optional<std::string>(const std::string&)> answer);

    // --- what the peer saw ---
    std::vector<std::uint32_t> ConnectWords();
    std::vector<std::string> SessionRequests();   // the 17 bytes of each
    std::vector<std::string> SecureFilesFound();  // full paths, deleted after
    std::vector<std::string> SecureFilesMissed();
    std::vector<ReceivedDatagram> Datagrams();
    // Waits up to timeoutMs (real time) for count datagrams / connections.
    bool WaitForDatagrams(std::size_t count, int timeoutMs);
    bool WaitForConnections(std::size_t count, int timeoutMs);
    // The UDP socket, for tests that send datagrams to a client themselves.
    int UdpSocket() const { return udp_; }

    // The name this host answers discovery with (its own host name).
    static std::string OwnHostName();

  private:
    void ServeTcp();
    void ServeUdp();
    void ServeConnection(int fd);
    void ServeSession(int fd, const std::string& connectWord);

    int tcp_ = -1;
    int udp_ = -1;
    std::string error_;
    std::atomic<bool> stop_{false};
    std::thread tcpThread_;
    std::thread udpThread_;

    std::mutex mutex_;
    std::string listAnswer_;
    std::string rescanAnswer_ = std::string("\x01\x00\x00\x00", 4);
    std::string adminDir_;
    std::set<std::string> knownSerials_;
    std::uint32_t nextId_ = 1;
    std::optional<std::uint32_t> forcedAnswer_;
    std::function<void(int)> sessionScript_;
    std::vector<std::string> discoveryAnswers_;
    std::function<std::optional<std::string>(const std::string&)> datagramAnswer_;

    std::vector<std::uint32_t> connectWords_;
    std::vector<std::string> sessionRequests_;
    std::vector<std::string> filesFound_;
    std::vector<std::string> filesMissed_;
    std::vector<ReceivedDatagram> datagrams_;
};

// Socket helpers of the tests (blocking sockets, real-time limits).
bool SendAll(int fd, const std::string& bytes);
// Reads exactly n bytes within timeoutMs; what arrived (shorter on EOF/time-out).
std::string ReadBytes(int fd, std::size_t n, int timeoutMs);
// True when the other end closed (or reset) the connection within timeoutMs.
bool SeesClose(int fd, int timeoutMs);

// The big-endian word at bytes[at] (at + 4 <= size).
std::uint32_t BeWord(const std::string& bytes, std::size_t at);

// One request of a session as a scripted service reads it: the header's
// code, sequence and session id, and the whole coded message.
struct SessionRequest {
    std::uint32_t code = 0;
    std::uint32_t sequence = 0;
    std::uint32_t session = 0;
    std::string body;
};
// Reads the next message frame of a session within timeoutMs each part;
// false when the client said goodbye, went away, or sent no whole header.
bool ReadSessionRequest(int fd, SessionRequest* request, int timeoutMs);
// Sends one message frame (type 0, length, the coded message).
bool SendSessionFrame(int fd, const std::string& message);

}  // namespace clienttest
