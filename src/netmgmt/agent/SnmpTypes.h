// The SNMP values and bindings that pass between an extension agent and the
// program that loads it (oru-snmp-host), and the shape of the agent's entry
// points.
//
// These are our own small types, not a library's: an object identifier is a
// counted array of 32-bit arcs, a value is an ASN.1 type tag with a number,
// a byte string or an identifier, a binding is a name and a value.
//
// Memory: every array behind these types (arcs, string bytes, binding lists)
// comes from malloc and is released with free, through the helpers below, by
// whichever side owns it at the time. The loader owns the bindings it passes
// to a query, including what the agent put into them (a replaced name, a new
// string value); it owns the binding list a trap hands back. The view and the
// trap's enterprise identifier stay the agent's.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>

// ASN.1 type tags of the values.
inline constexpr std::uint8_t ASN_INTEGER = 0x02;
inline constexpr std::uint8_t ASN_OCTETSTRING = 0x04;
inline constexpr std::uint8_t ASN_NULL = 0x05;
inline constexpr std::uint8_t ASN_OBJECTIDENTIFIER = 0x06;
inline constexpr std::uint8_t ASN_COUNTER32 = 0x41;  // 65
inline constexpr std::uint8_t ASN_GAUGE32 = 0x42;    // 66
inline constexpr std::uint8_t ASN_TIMETICKS = 0x43;  // 67

// Request types of a query.
inline constexpr std::uint8_t SNMP_PDU_GET = 0xA0;      // 160
inline constexpr std::uint8_t SNMP_PDU_GETNEXT = 0xA1;  // 161
inline constexpr std::uint8_t SNMP_PDU_SET = 0xA3;      // 163

// Error statuses of a query (SNMPv1).
inline constexpr std::int32_t SNMP_ERRORSTATUS_NOERROR = 0;
inline constexpr std::int32_t SNMP_ERRORSTATUS_TOOBIG = 1;
inline constexpr std::int32_t SNMP_ERRORSTATUS_NOSUCHNAME = 2;
inline constexpr std::int32_t SNMP_ERRORSTATUS_BADVALUE = 3;
inline constexpr std::int32_t SNMP_ERRORSTATUS_READONLY = 4;
inline constexpr std::int32_t SNMP_ERRORSTATUS_GENERR = 5;

// Generic trap number of an enterprise-specific trap.
inline constexpr std::int32_t SNMP_GENERICTRAP_ENTERSPECIFIC = 6;

// The loader's reasons for calling the agent's library entry.
inline constexpr int AGENT_PROCESS_DETACH = 0;
inline constexpr int AGENT_PROCESS_ATTACH = 1;

extern "C" {

struct AsnObjectIdentifier {
    std::uint32_t idLength;
    std::uint32_t* ids;
};

struct AsnOctetString {
    std::uint8_t* stream;
    std::uint32_t length;
    int dynamic;  // 1: stream came from malloc and goes with the value
};

struct AsnAny {
    std::uint8_t asnType;
    union {
        std::int32_t number;       // INTEGER
        std::uint32_t unsigned32;  // Counter, Gauge, TimeTicks
        AsnOctetString string;
        AsnObjectIdentifier object;
    } asnValue;
};

struct SnmpVarBind {
    AsnObjectIdentifier name;
    AsnAny value;
};

struct SnmpVarBindList {
    SnmpVarBind* list;
    std::uint32_t len;
};

// The library entry: reason AGENT_PROCESS_ATTACH right after loading (false
// refuses the load), AGENT_PROCESS_DETACH before unloading (false: a thread
// of the agent could not be stopped, so the library must stay loaded).
using OruAgentDllMainFn = int (*)(int reason);
// Start-up: keeps startTicks (milliseconds), hands back the descriptor that
// becomes readable when a trap is waiting and the view the agent serves.
using SnmpExtensionInitFn = int (*)(std::uint32_t startTicks, int* trapEvent,
                                    AsnObjectIdentifier* view);
// One request over a list of bindings; true unless the call itself failed.
using SnmpExtensionQueryFn = int (*)(std::uint8_t requestType, SnmpVarBindList* bindings,
                                     std::int32_t* errorStatus, std::int32_t* errorIndex);
// Called after the trap descriptor became readable, and again until it
// answers false; each true answer is one trap.
using SnmpExtensionTrapFn = int (*)(AsnObjectIdentifier* enterprise, std::int32_t* genericTrap,
                                    std::int32_t* specificTrap, std::uint32_t* timeStamp,
                                    SnmpVarBindList* bindings);
// Receives each report of the agent (type 1 error, 2 warning, 4
// information) as it goes to the event log; called from any of the agent's
// threads.
using OruAgentReportEchoFn = void (*)(std::uint16_t type, const char* text);
// Sets the receiver of the agent's reports (nullptr: none).
using OruAgentSetReportEchoFn = void (*)(OruAgentReportEchoFn echo);

}  // extern "C"

// --- helpers over the types; both sides compile the same code ---

inline void SnmpUtilOidFree(AsnObjectIdentifier* oid) {
    std::free(oid->ids);
    oid->ids = nullptr;
    oid->idLength = 0;
}

// Copies `count` arcs into a fresh identifier; false (dst empty) when out of memory.
inline bool SnmpUtilOidSet(AsnObjectIdentifier* dst, const std::uint32_t* arcs,
                           std::uint32_t count) {
    dst->idLength = 0;
    dst->ids = nullptr;
    if (count == 0) {
        return true;
    }
    dst->ids = static_cast<std::uint32_t*>(std::malloc(count * sizeof(std::uint32_t)));
    if (dst->ids == nullptr) {
        return false;
    }
    std::memcpy(dst->ids, arcs, count * sizeof(std::uint32_t));
    dst->idLength = count;
    return true;
}

inline bool SnmpUtilOidCpy(AsnObjectIdentifier* dst, const AsnObjectIdentifier* src) {
    return SnmpUtilOidSet(dst, src->ids, src->idLength);
}

// Negative, zero or positive as a sorts before, with or after b (arc by arc,
// a prefix before what extends it).
inline int SnmpUtilOidCmp(const std::uint32_t* a, std::uint32_t aLength, const std::uint32_t* b,
                          std::uint32_t bLength) {
    const std::uint32_t n = aLength < bLength ? aLength : bLength;
    for (std::uint32_t i = 0; i < n; ++i) {
        if (a[i] != b[i]) {
            return a[i] < b[i] ? -1 : 1;
        }
    }
    return aLength == bLength ? 0 : (aLength < bLength ? -1 : 1);
}

inline void SnmpUtilAsnAnyFree(AsnAny* any) {
    if (any->asnType == ASN_OCTETSTRING && any->asnValue.string.dynamic != 0) {
        std::free(any->asnValue.string.stream);
    } else if (any->asnType == ASN_OBJECTIDENTIFIER) {
        SnmpUtilOidFree(&any->asnValue.object);
    }
    std::memset(any, 0, sizeof *any);
    any->asnType = ASN_NULL;
}

inline void SnmpUtilVarBindFree(SnmpVarBind* binding) {
    SnmpUtilOidFree(&binding->name);
    SnmpUtilAsnAnyFree(&binding->value);
}

// Frees every binding and the list's array.
inline void SnmpUtilVarBindListFree(SnmpVarBindList* bindings) {
    for (std::uint32_t i = 0; i < bindings->len; ++i) {
        SnmpUtilVarBindFree(&bindings->list[i]);
    }
    std::free(bindings->list);
    bindings->list = nullptr;
    bindings->len = 0;
}
