// qxsnmp: the SNMP library of the network-management platform, as the map
// application uses it; our stand-in over net-snmp.
//
// Sessions speak SNMPv1 over UDP with the community "public". Replies to
// asynchronous sends, time-outs and traps reach the session's callback from
// the application loop (qxapp::AppLoop), never from inside net-snmp, so a
// callback may do anything, close its own session included. Every wait
// (blocking send, retransmission, time-out) runs on the loop's clock.
//
// Ports: requests go to ORU_MAP_SNMP_PORT (default 161), traps are taken on
// ORU_MAP_TRAP_PORT (default 162).
//
// Ownership of PDUs, once for all:
//  - QXsnmpCreatePdu makes a PDU the caller owns;
//  - QXsnmpSend takes the request when it answers 0 or more; below 0 the
//    request is still the caller's;
//  - QXsnmpBlockingSend takes the request, except on a time-out (nullptr
//    and QXsnmpErrno() 6), when it is the caller's again; a reply it
//    answers is the caller's;
//  - a callback owns the PDU it is given (a reply or a trap; nullptr on a
//    time-out) and frees it with QXsnmpFreePdu, which accepts nullptr;
//  - QXsnmpClose drops the session's requests without calling back and
//    frees what it held; a closed session is never called back.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// PDU types.
inline constexpr int QXSNMP_GET = 160;
inline constexpr int QXSNMP_GETNEXT = 161;
inline constexpr int QXSNMP_RESPONSE = 162;
inline constexpr int QXSNMP_TRAP = 164;
// Callback type of a request that timed out (its PDU is nullptr).
inline constexpr int QXSNMP_TIMED_OUT = -1;

// Value types of a binding (ASN.1 tags).
inline constexpr std::uint8_t QXSNMP_INTEGER = 0x02;
inline constexpr std::uint8_t QXSNMP_OCTET_STRING = 0x04;
inline constexpr std::uint8_t QXSNMP_NULL = 0x05;
inline constexpr std::uint8_t QXSNMP_OBJECT_ID = 0x06;

// QXsnmpErrno() values.
inline constexpr int QXSNMP_ERR_NONE = 0;
inline constexpr int QXSNMP_ERR_BAD_SESSION = 1;
inline constexpr int QXSNMP_ERR_BAD_PDU = 2;
inline constexpr int QXSNMP_ERR_SEND = 3;
inline constexpr int QXSNMP_ERR_TIMEOUT = 6;

// QXsnmpWOpen arguments that ask for the library's defaults.
inline constexpr int QXSNMP_DEFAULT = -1;
inline constexpr int QXSNMP_ANY_PORT = 0xFFFF;

struct QXsnmpVarBind {
    std::vector<std::uint32_t> name;
    std::uint8_t type = QXSNMP_NULL;
    std::int64_t integer = 0;           // INTEGER and the unsigned number types
    std::string bytes;                  // OCTET STRING, IpAddress, Opaque: exactly as received
    std::vector<std::uint32_t> object;  // OBJECT IDENTIFIER
};

struct QXsnmpPdu {
    int type = 0;
    std::int32_t requestId = 0;
    std::int32_t errorStatus = 0;
    std::int32_t errorIndex = 0;
    // Traps (type 164).
    std::vector<std::uint32_t> enterprise;
    std::array<std::uint8_t, 4> agentAddress{};  // IPv4, network order
    std::int64_t genericTrap = 0;                // as received: a hostile value may exceed 32 bits
    std::int64_t specificTrap = 0;
    std::uint32_t timeStamp = 0;
    std::vector<QXsnmpVarBind> bindings;
};

struct QXsnmpSession;

// type: the type of the request answered (160, 161), 164 for a trap, or
// QXSNMP_TIMED_OUT.
using QXsnmpCallback = void (*)(int type, QXsnmpSession* session, QXsnmpPdu* pdu, void* data);

// A session to an agent on host. window: 0 (the library's own); retries and
// timeoutMs: QXSNMP_DEFAULT for 3 retries of 5000 ms each (a request has
// timed out after 20 s); localPort, remotePort: QXSNMP_ANY_PORT for any and
// the SNMP port. nullptr when the host is unknown or no socket can be had.
QXsnmpSession* QXsnmpWOpen(int window, const std::string& host, int retries, int timeoutMs,
                           int localPort, int remotePort, QXsnmpCallback callback, void* data);
// A session receiving the traps whose enterprise (dotted, "1.3.6...")
// matches the regular expression filter. window 0; port 0: the trap port.
QXsnmpSession* QXsnmpWEventOpen(int window, int port, QXsnmpCallback callback, void* data,
                                const std::string& filter);
int QXsnmpClose(QXsnmpSession* session);

QXsnmpPdu* QXsnmpCreatePdu(int type);  // nullptr for a type other than 160, 161
int QXsnmpAddNullVarBind(QXsnmpPdu* pdu, const std::uint32_t* arcs, int count);  // 0 or -1
void QXsnmpFreePdu(QXsnmpPdu* pdu);

// Sends; the answer comes to the session's callback. The request id, or
// below 0 when it could not be sent.
int QXsnmpSend(QXsnmpSession* session, QXsnmpPdu* pdu);
// Sends and waits for the answer (nothing else of the application runs
// meanwhile): the reply, or nullptr with QXsnmpErrno().
QXsnmpPdu* QXsnmpBlockingSend(QXsnmpSession* session, QXsnmpPdu* pdu);
int QXsnmpErrno();
