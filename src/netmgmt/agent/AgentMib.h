// The agent's MIB: a read-only chain of variables under its view, rebuilt
// after every successful poll round, and the query walk over it.
//
// View V = 1.3.6.1.4.1.32473.2.27.1.1 (enterprise arc, then .2.27.1.1):
//   V.1.0        OCTET STRING  "ORUAgent.dll - Version:2"
//   V.2.0        INTEGER       n, the subsystems that answered
//   V.3.1.c.r    one column c = 2..6 per field of row r = 1..n:
//                productId, serialNumber, productRev, mfgProdCode (OCTET
//                STRING) and the subsystem status (INTEGER)
// The chain runs in OID order, column by column, 5n + 2 entries.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "netmgmt/agent/SnmpTypes.h"

class DiskArrayState;

namespace oruagent {

// The view's arcs: the enterprise arc 1.3.6.1.4.1.32473 and .2.27.1.1.
inline constexpr std::array<std::uint32_t, 11> kViewArcs = {1, 3, 6, 1, 4, 1, 32473, 2, 27, 1, 1};

// One subsystem's row. Texts are the controller's fields as stored, up to
// their field widths.
struct MibRow {
    std::string productId;
    std::string serialNumber;
    std::string productRev;
    std::string mfgProdCode;
    std::int32_t status = 1;
};

// The controller fields a row and a trap show: the first controller's,
// except that a state with two controller positions whose first field is
// empty (what an absent controller holds) shows the second's, field by field.
std::string ControllerProductId(const DiskArrayState& state);
std::string ControllerProductRev(const DiskArrayState& state);
std::string ControllerMfgProdCode(const DiskArrayState& state);
MibRow RowFromState(const DiskArrayState& state, std::int32_t status);

struct MibEntry;
using MibHandler = std::int32_t (*)(std::uint8_t requestType, MibEntry& entry,
                                    SnmpVarBind& binding);

struct MibEntry {
    enum Access : int { kReadOnly = 0, kWriteOnly = 1, kReadWrite = 2 };

    std::vector<std::uint32_t> oid;   // below the view
    std::uint8_t type = ASN_INTEGER;  // ASN_INTEGER, ASN_OCTETSTRING, ASN_COUNTER32, ASN_GAUGE32
    int access = kReadOnly;
    std::int32_t number = 0;   // INTEGER, Counter, Gauge
    std::string text;          // OCTET STRING
    std::size_t capacity = 0;  // the most bytes a SET may store in text
    MibHandler handler = nullptr;
    MibEntry* next = nullptr;  // none for the last
};

// One built chain. Entries never move once built.
class MibChain {
  public:
    // BuildMibTable: the chain for these rows, in list order.
    static std::unique_ptr<MibChain> Build(const std::vector<MibRow>& rows);

    MibEntry* First() { return entries_.empty() ? nullptr : &entries_.front(); }
    std::size_t Size() const { return entries_.size(); }

  private:
    std::vector<MibEntry> entries_;
};

// Answers one binding from the chain: the entry equal to the binding's
// name, or for GETNEXT the first entry above it (the name then becomes that
// entry's). Returns the error status; noSuchName without a chain.
std::int32_t MibDispatch(MibChain* chain, SnmpVarBind& binding, std::uint8_t requestType);

// The handler of every entry: GET, GETNEXT and SET of one entry.
std::int32_t MibValueHandler(std::uint8_t requestType, MibEntry& entry, SnmpVarBind& binding);

// The chain the queries read, replaced whole by the poll thread. Queries
// hold the lock for their whole walk, so a chain is never freed under one.
class AgentMib {
  public:
    void Publish(std::unique_ptr<MibChain> chain);
    void Clear();
    bool Built();

    // SnmpExtensionQuery: each binding in turn; the first that fails ends
    // the walk with its position (from 1). A GETNEXT that finds nothing more
    // names the view with its last arc plus one and is no error.
    int Query(std::uint8_t requestType, SnmpVarBindList* bindings, std::int32_t* errorStatus,
              std::int32_t* errorIndex);

  private:
    std::mutex lock_;
    std::unique_ptr<MibChain> chain_;
};

// Replaces a binding's name with the view followed by `below`; false when
// out of memory (the name is then left as it was).
bool SetViewName(SnmpVarBind& binding, const std::uint32_t* below, std::size_t count);

}  // namespace oruagent
