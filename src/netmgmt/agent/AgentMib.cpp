#include "netmgmt/agent/AgentMib.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "coresys/common/DiskArrayState.h"
#include "netmgmt/agent/AgentTexts.h"

namespace oruagent {

namespace {

constexpr std::uint32_t kTable = 3;
constexpr std::uint32_t kEntry = 1;
constexpr std::uint32_t kFirstColumn = 2;

// Field widths without the terminator: what a SET may store.
constexpr std::size_t kProductIdChars = 16;
constexpr std::size_t kSerialChars = 12;
constexpr std::size_t kProductRevChars = 4;
constexpr std::size_t kMfgProdCodeChars = 10;

// The view's arcs followed by at most 8 arcs below it.
struct FullName {
    std::uint32_t arcs[kViewArcs.size() + 8] = {};
    std::uint32_t length = 0;
};

FullName ViewPlus(const std::uint32_t* below, std::size_t count) {
    FullName full;
    for (std::uint32_t arc : kViewArcs) {
        full.arcs[full.length++] = arc;
    }
    for (std::size_t i = 0; i < count && full.length < std::size(full.arcs); ++i) {
        full.arcs[full.length++] = below[i];
    }
    return full;
}

// View plus the entry's arcs compared with a name.
int CompareWithName(const MibEntry& entry, const AsnObjectIdentifier& name) {
    const FullName full = ViewPlus(entry.oid.data(), entry.oid.size());
    return SnmpUtilOidCmp(full.arcs, full.length, name.ids, name.idLength);
}

std::string Pick(const DiskArrayState& state, std::string_view (ControllerInfo::*field)() const) {
    const ControllerInfo* first = state.Controller(0);
    if (first == nullptr) {
        return std::string();
    }
    std::string_view text = (first->*field)();
    const ControllerInfo* second = state.Controller(1);
    if (text.empty() && state.ControllerCount() == DiskArrayState::kControllers &&
        second != nullptr) {
        text = (second->*field)();
    }
    return std::string(text);
}

}  // namespace

std::string ControllerProductId(const DiskArrayState& state) {
    return Pick(state, &ControllerInfo::ProductId);
}
std::string ControllerProductRev(const DiskArrayState& state) {
    return Pick(state, &ControllerInfo::ProductRev);
}
std::string ControllerMfgProdCode(const DiskArrayState& state) {
    return Pick(state, &ControllerInfo::MfgProdCode);
}

MibRow RowFromState(const DiskArrayState& state, std::int32_t status) {
    MibRow row;
    row.productId = ControllerProductId(state);
    row.serialNumber = std::string(state.SerialNumber());
    row.productRev = ControllerProductRev(state);
    row.mfgProdCode = ControllerMfgProdCode(state);
    row.status = status;
    return row;
}

std::unique_ptr<MibChain> MibChain::Build(const std::vector<MibRow>& rows) {
    auto chain = std::make_unique<MibChain>();
    std::vector<MibEntry>& e = chain->entries_;
    e.reserve(2 + 5 * rows.size());

    MibEntry version;
    version.oid = {1, 0};
    version.type = ASN_OCTETSTRING;
    version.text = AgentTexts::kVersion;
    version.capacity = version.text.size();
    e.push_back(version);

    MibEntry count;
    count.oid = {2, 0};
    count.type = ASN_INTEGER;
    count.number = static_cast<std::int32_t>(rows.size());
    e.push_back(count);

    struct Column {
        std::string MibRow::*text;
        std::size_t capacity;
    };
    static const Column kTextColumns[] = {
        {&MibRow::productId, kProductIdChars},
        {&MibRow::serialNumber, kSerialChars},
        {&MibRow::productRev, kProductRevChars},
        {&MibRow::mfgProdCode, kMfgProdCodeChars},
    };
    std::uint32_t column = kFirstColumn;
    for (const Column& c : kTextColumns) {
        for (std::size_t r = 0; r < rows.size(); ++r) {
            MibEntry entry;
            entry.oid = {kTable, kEntry, column, static_cast<std::uint32_t>(r + 1)};
            entry.type = ASN_OCTETSTRING;
            entry.text = (rows[r].*c.text).substr(0, c.capacity);
            entry.capacity = c.capacity;
            e.push_back(std::move(entry));
        }
        ++column;
    }
    for (std::size_t r = 0; r < rows.size(); ++r) {
        MibEntry entry;
        entry.oid = {kTable, kEntry, column, static_cast<std::uint32_t>(r + 1)};
        entry.type = ASN_INTEGER;
        entry.number = rows[r].status;
        e.push_back(std::move(entry));
    }
    for (std::size_t i = 0; i < e.size(); ++i) {
        e[i].access = MibEntry::kReadOnly;
        e[i].handler = MibValueHandler;
        e[i].next = i + 1 < e.size() ? &e[i + 1] : nullptr;
    }
    return chain;
}

bool SetViewName(SnmpVarBind& binding, const std::uint32_t* below, std::size_t count) {
    const FullName full = ViewPlus(below, count);
    AsnObjectIdentifier name;
    if (!SnmpUtilOidSet(&name, full.arcs, full.length)) {
        return false;
    }
    SnmpUtilOidFree(&binding.name);
    binding.name = name;
    return true;
}

std::int32_t MibValueHandler(std::uint8_t requestType, MibEntry& entry, SnmpVarBind& binding) {
    switch (requestType) {
        case SNMP_PDU_GET: {
            if (entry.access == MibEntry::kWriteOnly) {
                return SNMP_ERRORSTATUS_NOSUCHNAME;
            }
            AsnAny value;
            std::memset(&value, 0, sizeof value);
            value.asnType = entry.type;
            switch (entry.type) {
                case ASN_INTEGER:
                    value.asnValue.number = entry.number;
                    break;
                case ASN_COUNTER32:
                case ASN_GAUGE32:
                    value.asnValue.unsigned32 = static_cast<std::uint32_t>(entry.number);
                    break;
                case ASN_OCTETSTRING: {
                    // A copy of the text without its terminator; at least one
                    // byte is allocated so an empty text still has a buffer.
                    const std::size_t n = entry.text.size();
                    auto* bytes = static_cast<std::uint8_t*>(std::malloc(n > 0 ? n : 1));
                    if (bytes == nullptr) {
                        return SNMP_ERRORSTATUS_GENERR;
                    }
                    std::memcpy(bytes, entry.text.data(), n);
                    value.asnValue.string.stream = bytes;
                    value.asnValue.string.length = static_cast<std::uint32_t>(n);
                    value.asnValue.string.dynamic = 1;
                    break;
                }
                default:
                    return SNMP_ERRORSTATUS_GENERR;
            }
            SnmpUtilAsnAnyFree(&binding.value);
            binding.value = value;
            return SNMP_ERRORSTATUS_NOERROR;
        }
        case SNMP_PDU_GETNEXT:
            if (entry.next == nullptr) {
                return SNMP_ERRORSTATUS_NOSUCHNAME;
            }
            if (!SetViewName(binding, entry.next->oid.data(), entry.next->oid.size())) {
                return SNMP_ERRORSTATUS_GENERR;
            }
            return entry.next->handler(SNMP_PDU_GET, *entry.next, binding);
        case SNMP_PDU_SET: {
            if (entry.access != MibEntry::kWriteOnly && entry.access != MibEntry::kReadWrite) {
                return SNMP_ERRORSTATUS_NOSUCHNAME;
            }
            if (binding.value.asnType != entry.type) {
                return SNMP_ERRORSTATUS_BADVALUE;
            }
            switch (entry.type) {
                case ASN_INTEGER:
                    entry.number = binding.value.asnValue.number;
                    return SNMP_ERRORSTATUS_NOERROR;
                case ASN_COUNTER32:
                case ASN_GAUGE32:
                    entry.number = static_cast<std::int32_t>(binding.value.asnValue.unsigned32);
                    return SNMP_ERRORSTATUS_NOERROR;
                case ASN_OCTETSTRING: {
                    // The entry's buffer holds at most its field's width.
                    const AsnOctetString& s = binding.value.asnValue.string;
                    const std::size_t n = s.length < entry.capacity ? s.length : entry.capacity;
                    entry.text.assign(reinterpret_cast<const char*>(s.stream), s.stream ? n : 0);
                    return SNMP_ERRORSTATUS_NOERROR;
                }
                default:
                    return SNMP_ERRORSTATUS_GENERR;
            }
        }
        default:
            return SNMP_ERRORSTATUS_GENERR;
    }
}

std::int32_t MibDispatch(MibChain* chain, SnmpVarBind& binding, std::uint8_t requestType) {
    for (MibEntry* entry = chain != nullptr ? chain->First() : nullptr; entry != nullptr;
         entry = entry->next) {
        const int order = CompareWithName(*entry, binding.name);
        if (order == 0) {
            return entry->handler(requestType, *entry, binding);
        }
        if (order > 0) {
            if (requestType == SNMP_PDU_GET || requestType == SNMP_PDU_SET) {
                return SNMP_ERRORSTATUS_NOSUCHNAME;
            }
            if (requestType != SNMP_PDU_GETNEXT) {
                return entry->handler(requestType, *entry, binding);
            }
            if (!SetViewName(binding, entry->oid.data(), entry->oid.size())) {
                return SNMP_ERRORSTATUS_GENERR;
            }
            return entry->handler(SNMP_PDU_GET, *entry, binding);
        }
    }
    return SNMP_ERRORSTATUS_NOSUCHNAME;
}

void AgentMib::Publish(std::unique_ptr<MibChain> chain) {
    std::unique_ptr<MibChain> old;
    {
        std::lock_guard<std::mutex> hold(lock_);
        old = std::move(chain_);
        chain_ = std::move(chain);
    }
}

void AgentMib::Clear() {
    Publish(nullptr);
}

bool AgentMib::Built() {
    std::lock_guard<std::mutex> hold(lock_);
    return chain_ != nullptr;
}

int AgentMib::Query(std::uint8_t requestType, SnmpVarBindList* bindings, std::int32_t* errorStatus,
                    std::int32_t* errorIndex) {
    *errorStatus = SNMP_ERRORSTATUS_NOERROR;
    *errorIndex = 0;
    if (bindings == nullptr) {
        return 1;
    }
    std::lock_guard<std::mutex> hold(lock_);
    for (std::uint32_t i = 0; i < bindings->len; ++i) {
        SnmpVarBind& binding = bindings->list[i];
        std::int32_t status = MibDispatch(chain_.get(), binding, requestType);
        if (status == SNMP_ERRORSTATUS_NOSUCHNAME && requestType == SNMP_PDU_GETNEXT) {
            // The end of this view: name the first identifier past it, so the
            // caller moves on to the next view.
            std::uint32_t past[kViewArcs.size()];
            std::copy(kViewArcs.begin(), kViewArcs.end(), past);
            past[kViewArcs.size() - 1] += 1;
            AsnObjectIdentifier name;
            if (SnmpUtilOidSet(&name, past, kViewArcs.size())) {
                SnmpUtilOidFree(&binding.name);
                binding.name = name;
                status = SNMP_ERRORSTATUS_NOERROR;
            } else {
                status = SNMP_ERRORSTATUS_GENERR;
            }
        }
        if (status != SNMP_ERRORSTATUS_NOERROR) {
            *errorStatus = status;
            *errorIndex = static_cast<std::int32_t>(i + 1);
            return 1;
        }
    }
    return 1;
}

}  // namespace oruagent
