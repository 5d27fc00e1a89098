// The subsystems a client knows, and the client's datagram socket.
//
// The list is filled from the subsystem lists of services: one host by name
// (the caller's, else ORUHOST, else this host) or every host that answers a
// discovery datagram broadcast on the subnet of the registry value
// "Subnet Mask". It owns its OruSubsystem entries (sorted by server name, then
// serial number) and the UDP socket that carries discovery and subsystem
// datagrams. Before a session is opened it creates the secure file that
// proves the user's rights (MakeSecure).
//
// Nothing here ends the process or prints for a failure the caller can
// handle: every failure is a status (ASL_STATUS, DATAGRAM_STATUS, the secure
// flag). Used by one thread at a time.
#pragma once

#include <netinet/in.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "client/ASL_STATUS.h"
#include "client/DATAGRAM_STATUS.h"
#include "client/Device_Addr.h"
#include "client/OruSubsystem.h"
#include "platform/net/SocketIo.h"

class OruSubsystemList {
  public:
    // Connect words of the TCP listener: (revision << 16) | type.
    static constexpr std::uint32_t kConnectSession = 0x00040000;
    static constexpr std::uint32_t kConnectSsList = 0x00040001;
    static constexpr std::uint32_t kConnectRescan = 0x00040002;
    // Port of both listeners when the services entry is missing.
    static constexpr std::uint16_t kDefaultPort = 34604;
    // Subsystem datagram: type byte 0, then 12 bytes of the serial number.
    static constexpr std::size_t kDatagramPrefix = 13;
    static constexpr std::size_t kDatagramMax = 4096;
    // Discovery answer: the host name in exactly 49 bytes.
    static constexpr std::size_t kHostNameSize = 49;

    // Empty list; sets up the datagram socket (status ASL_DG_INITIALIZE_FAILED
    // when that fails); with scan non-zero reads the default host's list.
    explicit OruSubsystemList(int scan);
    ~OruSubsystemList();
    OruSubsystemList(const OruSubsystemList&) = delete;
    OruSubsystemList& operator=(const OruSubsystemList&) = delete;

    // Non-blocking UDP socket and the datagram port of the services entry
    // "oruUDP". ASL_GOOD or ASL_DG_INITIALIZE_FAILED.
    ASL_STATUS InitializeDG();

    // Reads host's subsystem list (port 0: the services entry "oruTCP") into
    // the list. reset: first drops the host's entries (all of them without a
    // host). Without a host: with reset, discovers every host (Discover);
    // without, asks ORUHOST, else this host. A bad or short answer ends the
    // update with ASL_SCAN_FAILED; entries added before it stay.
    ASL_STATUS Update(const char* host, unsigned short port, int reset);
    // Asks the host to look for new array devices, then Update(host, port, reset).
    ASL_STATUS Rescan(const char* host, unsigned short port, int reset);
    // Broadcasts a discovery datagram and updates the list from every host
    // that answers within 3 seconds of the previous answer (at most 100).
    ASL_STATUS Discover();

    // Drops every entry (host null) or the entries of one server.
    void ResetMap(const char* host);
    // Inserts in sorted position and takes ownership; returns 1 (and takes
    // nothing) when an entry of that server and serial exists, else 0.
    int AddSubsystem(OruSubsystem* subsystem);

    unsigned short Size() const { return count_; }
    OruSubsystem* operator[](int index) const;
    ASL_STATUS GetStatus() const { return status_; }

    OruSubsystem* FindSubsystem(const Device_Addr& address) const;
    OruSubsystem* FindSubsystem(const char* server, const Device_Addr& address) const;
    OruSubsystem* FindSubsystem(const char* serial) const;
    OruSubsystem* FindSubsystem(const char* server, const char* serial) const;

    // Sends body (a coded message) to the subsystem's server as a subsystem
    // datagram; the body is always freed (CodedBuff::FreeData).
    DATAGRAM_STATUS SendMsg(OruSubsystem* subsystem, void* body, unsigned long length);
    // Takes one waiting subsystem datagram. On DATAGRAM_SUCCESS *from is the
    // entry it came from and *body a new block (freed with CodedBuff::FreeData)
    // holding the message after the 13-byte prefix. Datagrams too short to
    // hold a reply, of another type or from no known (address, serial) are
    // dropped.
    DATAGRAM_STATUS GetMsg(OruSubsystem** from, void** body, unsigned short* length);

    // Creates the secure file fileId for the subsystem by its secure method
    // (0 local file, 1 and 3 the remote-shell command of ORU_REMSH, 2 and 4
    // a file through the server's share). The file is always created anew:
    // an existing file or link there is a failure. Returns the new secure flag.
    int MakeSecure(OruSubsystem* subsystem, const char* fileId);
    // Proof by user and password: not offered; returns 0.
    int MakeSecure(OruSubsystem* subsystem, const char* user, const char* password);
    // Removes a secure file this process created for the subsystem and that
    // the service did not take (a session set-up that failed on our side).
    void RemoveSecure(OruSubsystem* subsystem, const char* fileId);

    // The local file that stands for a secure file name as the service wrote
    // it: drive paths under ORU_ROOT, "\\server\share\..." under
    // ORU_ROOT/net/server/share/..., other paths with "/" for "\".
    static std::string LocalSecurePath(const std::string& fileId);
    // This host's name, cut to 48 characters; false when it cannot be read.
    static bool LocalHostName(std::string* name);

    // The budget of every read and write of a list or rescan exchange, in
    // seconds of the suite's clock (default 300); a caller that cannot wait
    // that long for a silent service sets a shorter one.
    void SetBudgetSeconds(int seconds) { budgetSeconds_ = seconds; }
    int BudgetSeconds() const { return budgetSeconds_; }

  private:
    OruSubsystem* FindSubsystem(const in_addr* address, const char* serial) const;
    ASL_STATUS HostAddress(const char* host, unsigned short port, sockaddr_in* address) const;
    // One try: connects, sends the connect word and reads the answer word.
    // Returns the open socket, or -1 (nothing left open).
    int OpenListConnection(const sockaddr_in& address, std::uint32_t connectWord,
                           unsigned char answer[4], bool sayWhySocketFailed) const;
    bool ReadRecord(int socket, const sockaddr_in& address, OruSubsystem* record) const;
    bool CreateSecureFile(const std::string& path) const;
    bool RunRemoteShell(const std::string& server, const char* fileId);
    void ReapChildren();
    void Unlink(OruSubsystem* subsystem);

    ASL_STATUS status_ = ASL_GOOD;
    OruSubsystem* first_ = nullptr;
    OruSubsystem* last_ = nullptr;
    unsigned short count_ = 0;
    sockaddr_in dgPeer_{};
    socklen_t dgPeerLength_ = sizeof(sockaddr_in);
    std::uint16_t dgPort_ = 0;  // network order
    int dgSocket_ = -1;
    int budgetSeconds_ = netio::kBudgetSeconds;
    std::vector<pid_t> children_;  // remote-shell commands not yet reaped
};
