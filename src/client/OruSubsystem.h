// One disk subsystem as a server announced it in its subsystem list.
//
// An entry belongs to the OruSubsystemList that read it; the list keeps its
// entries sorted by server name, then serial number, and frees them. Every
// text field is terminated within its width, whatever the server sent.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>

#include "client/DATAGRAM_STATUS.h"
#include "client/DISK_ARRAY_TYPE.h"
#include "client/Device_Addr.h"

class OruSubsystemList;

class OruSubsystem {
  public:
    static constexpr std::size_t kServerNameSize = 49;
    static constexpr std::size_t kSerialSize = 13;
    static constexpr std::size_t kAliasSize = 13;
    static constexpr std::size_t kSecurePathSize = 261;

    OruSubsystem();
    OruSubsystem(const OruSubsystem&) = delete;
    OruSubsystem& operator=(const OruSubsystem&) = delete;

    DISK_ARRAY_TYPE subsystemType{};
    char serverName[kServerNameSize] = {};
    char serialNumber[kSerialSize] = {};
    char aliasName[kAliasSize] = {};  // empty for a release-03 list
    int secure = 0;                   // 1 after a successful MakeSecure
    std::uint32_t secureMethod = 0;
    char securePath[kSecurePathSize] = {};
    Device_Addr deviceAddr[2];
    sockaddr_in serverAddress{};  // TCP address the list was fetched from

    OruSubsystemList* list = nullptr;
    OruSubsystem* next = nullptr;
    OruSubsystem* previous = nullptr;

    const char* ServerName() const { return serverName; }
    const char* SerialNumber() const { return serialNumber; }
    const char* Alias() const { return aliasName; }
    int IsSecure() const { return secure; }
    DISK_ARRAY_TYPE SubsystemType() const { return subsystemType; }

    // Sends a coded message to this subsystem by datagram (the owning list's
    // SendMsg): the body is always freed (CodedBuff::FreeData).
    DATAGRAM_STATUS SendMsg(void* body, unsigned long length);
    // Creates the secure file fileId by this subsystem's secure method (the
    // owning list's MakeSecure); returns the new secure flag.
    int MakeSecure(const char* fileId);
};
