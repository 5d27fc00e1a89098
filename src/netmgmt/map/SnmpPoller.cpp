#include "netmgmt/map/SnmpPoller.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "netmgmt/agent/AgentMib.h"
#include "netmgmt/agent/AgentTexts.h"
#include "netmgmt/map/standin/AppLoop.h"
#include "platform/Trace.h"

namespace vxqxoru {

namespace {

using Arcs = std::vector<std::uint32_t>;

// Hosts probed together.
constexpr std::size_t kBatch = 100;
// The wait for replies: pauses of 1, 2, 4 and 8 s without progress.
constexpr std::uint64_t kFirstPauseMs = 1000;
constexpr std::uint64_t kLongestPauseMs = 8000;
// Catalog id of the agent's "configuration changed" trap (set 42, number
// 100 of the service's catalog): the host's table may have new rows.
constexpr std::int64_t kConfigurationChanged = 42100;
constexpr std::int64_t kEnterpriseSpecific = 6;
constexpr std::int64_t kHighestStatus = 10;
// Table columns as the read walks them: productId, serial number,
// productRev, mfgProdCode, status (column c is .3.1.(c + 2)).
constexpr std::uint32_t kColumns = 5;
constexpr std::uint32_t kSerialColumn = 1;
constexpr std::uint32_t kStatusColumn = 4;

Arcs View(std::initializer_list<std::uint32_t> below) {
    Arcs arcs(oruagent::kViewArcs.begin(), oruagent::kViewArcs.end());
    arcs.insert(arcs.end(), below);
    return arcs;
}

const Arcs kView = View({});
const Arcs kVersionName = View({1, 0});
const Arcs kCountName = View({2, 0});
const Arcs kTableStart = View({3, 1, 0});

qxapp::AppLoop& Loop() {
    return *qxapp::AppLoop::Current();
}

// A request of one null binding; nullptr when it cannot be made.
QXsnmpPdu* Request(int type, const Arcs& name) {
    QXsnmpPdu* pdu = QXsnmpCreatePdu(type);
    if (pdu != nullptr &&
        QXsnmpAddNullVarBind(pdu, name.data(), static_cast<int>(name.size())) != 0) {
        QXsnmpFreePdu(pdu);
        return nullptr;
    }
    return pdu;
}

// Sends a request (which is gone afterwards in every case) and answers the
// reply, or nullptr when none came or it reports an error.
QXsnmpPdu* Ask(QXsnmpSession* session, QXsnmpPdu* request) {
    QXsnmpPdu* reply = QXsnmpBlockingSend(session, request);
    if (reply == nullptr) {
        if (QXsnmpErrno() == QXSNMP_ERR_TIMEOUT) {
            QXsnmpFreePdu(request);
        }
        return nullptr;
    }
    if (reply->errorStatus != 0) {
        QXsnmpFreePdu(reply);
        return nullptr;
    }
    return reply;
}

// The reply's first binding when it has the name and type expected.
const QXsnmpVarBind* Binding(const QXsnmpPdu& reply, const Arcs& name, std::uint8_t type) {
    if (reply.bindings.empty() || reply.bindings[0].name != name ||
        reply.bindings[0].type != type) {
        return nullptr;
    }
    return &reply.bindings[0];
}

// The official name of an agent's IPv4 address; "" without one.
std::string AgentHostName(const std::array<std::uint8_t, 4>& address) {
    if (address == std::array<std::uint8_t, 4>{}) {
        return "";
    }
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    std::memcpy(&sin.sin_addr, address.data(), 4);
    char name[NI_MAXHOST];
    if (::getnameinfo(reinterpret_cast<const sockaddr*>(&sin), sizeof sin, name, sizeof name,
                      nullptr, 0, NI_NAMEREQD) != 0) {
        return "";
    }
    return name;
}

}  // namespace

std::string AgentText(const std::string& bytes) {
    return bytes.substr(0, bytes.find('\0'));
}

SnmpPoller::SnmpPoller(ArrayMap& map)
    : map_(map), trapSession_(QXsnmpWEventOpen(0, 0, &SnmpPoller::TrapCallback, this, ".*")) {}

SnmpPoller::~SnmpPoller() {
    ClearProbes();
    if (trapSession_ != nullptr) {
        QXsnmpClose(trapSession_);
    }
}

void SnmpPoller::ClearProbes() {
    for (AgentProbe& probe : probes_) {
        if (probe.session != nullptr) {
            QXsnmpClose(probe.session);
        }
    }
    probes_.clear();
}

void SnmpPoller::WalkComputers() {
    QXwFieldBinding filter;
    filter.fieldId = QXwDbFieldNameToFieldId("isComputer");
    filter.value = QXwFieldValue{0, QXW_FIELD_BOOLEAN, 1, 0};
    QXwObjectList* list = QXwListObjectsOnMap(map_.MapInfo(), filter);
    if (list == nullptr) {
        return;
    }
    const std::vector<QXwObjectRecord> computers = list->objects;
    QXwFreeObjectList(list);
    for (std::size_t first = 0; first < computers.size(); first += kBatch) {
        const std::size_t end = std::min(computers.size(), first + kBatch);
        for (std::size_t i = first; i < end; ++i) {
            const std::string host = QXwDbObjectIdToHostname(computers[i].objectId);
            if (!host.empty() && host.size() <= kMaxHostName) {
                ProbeHost(host);
            }
        }
        if (WaitForReplies()) {
            return;
        }
        ReadFoundHosts();
    }
}

void SnmpPoller::ProbeHost(const std::string& hostName) {
    QXsnmpSession* session =
        QXsnmpWOpen(0, hostName, QXSNMP_DEFAULT, QXSNMP_DEFAULT, QXSNMP_ANY_PORT, QXSNMP_ANY_PORT,
                    &SnmpPoller::AgentProbeCallback, this);
    if (session == nullptr) {
        platform::Trace("vxqxoru: no SNMP session to %s\n", hostName.c_str());
        return;
    }
    probes_.push_back(AgentProbe{hostName, session, false});
    // A probe whose request cannot go out stays in flight: the wait for
    // replies gives up on it.
    QXsnmpPdu* pdu = Request(QXSNMP_GET, kVersionName);
    if (pdu != nullptr && QXsnmpSend(session, pdu) < 0) {
        QXsnmpFreePdu(pdu);
    }
}

void SnmpPoller::AgentProbeCallback(int type, QXsnmpSession* session, QXsnmpPdu* pdu, void* data) {
    auto* self = static_cast<SnmpPoller*>(data);
    for (AgentProbe& probe : self->probes_) {
        if (probe.session != session) {
            continue;
        }
        probe.session = nullptr;
        if (type == QXSNMP_GET && pdu != nullptr && pdu->errorStatus == 0 &&
            !pdu->bindings.empty() && pdu->bindings[0].type == QXSNMP_OCTET_STRING &&
            AgentText(pdu->bindings[0].bytes) == oruagent::AgentTexts::kVersion) {
            probe.found = true;
        }
        break;
    }
    QXsnmpFreePdu(pdu);
    QXsnmpClose(session);
}

std::size_t SnmpPoller::InFlight() const {
    std::size_t count = 0;
    for (const AgentProbe& probe : probes_) {
        count += probe.session != nullptr ? 1 : 0;
    }
    return count;
}

bool SnmpPoller::PumpMessages() {
    qxapp::AppLoop& loop = Loop();
    qxapp::Msg msg;
    while (loop.PeekMessage(&msg, false)) {
        if (msg.message == qxapp::WM_QUIT) {
            return true;
        }
        if (!loop.PumpMessage()) {
            loop.PostQuitMessage(0);
            return true;
        }
    }
    return false;
}

bool SnmpPoller::WaitForReplies() {
    struct Nesting {
        int& waits;
        explicit Nesting(int& w) : waits(w) { ++waits; }
        ~Nesting() { --waits; }
    } nesting(waits_);
    qxapp::AppLoop& loop = Loop();
    std::uint64_t pause = kFirstPauseMs;
    std::size_t previous = 0;
    for (;;) {
        if (PumpMessages()) {
            return true;
        }
        const std::size_t count = InFlight();
        if (count == 0) {
            return false;
        }
        // The pause waits for the replies themselves: an answer ends it at
        // once and starts the pauses again from 1 s.
        const std::uint64_t deadline = loop.Clock().NowMs() + pause;
        bool answered = false;
        while (!answered && loop.Clock().NowMs() < deadline) {
            loop.WaitForWork(deadline);
            if (PumpMessages()) {
                return true;
            }
            answered = InFlight() < count;
        }
        pause = answered || count < previous ? kFirstPauseMs : 2 * pause;
        if (pause > kLongestPauseMs) {
            return false;
        }
        previous = count;
    }
}

void SnmpPoller::ReadFoundHosts() {
    for (std::size_t i = 0; i < probes_.size(); ++i) {
        if (probes_[i].found) {
            ArrayEntry fresh;
            fresh.hostName = probes_[i].hostName;
            ReadArrayTable(fresh);
            map_.MergeEntry(fresh);
        }
        if (probes_[i].session != nullptr) {
            QXsnmpClose(probes_[i].session);
            probes_[i].session = nullptr;
        }
    }
    probes_.clear();
}

void SnmpPoller::ReadArrayTable(ArrayEntry& fresh) {
    QXsnmpSession* session =
        QXsnmpWOpen(0, fresh.hostName, QXSNMP_DEFAULT, QXSNMP_DEFAULT, QXSNMP_ANY_PORT,
                    QXSNMP_ANY_PORT, &SnmpPoller::AgentProbeCallback, this);
    if (session == nullptr) {
        return;
    }
    const std::optional<std::vector<SubsystemRow>> rows = ReadRows(session);
    QXsnmpClose(session);
    if (!rows) {
        platform::Trace("vxqxoru: the subsystem table of %s could not be read\n",
                        fresh.hostName.c_str());
        return;
    }
    for (const SubsystemRow& row : *rows) {
        ArrayMap::MergeRow(fresh.rows, row);
    }
}

std::optional<std::vector<SubsystemRow>> SnmpPoller::ReadRows(QXsnmpSession* session) {
    QXsnmpPdu* request = Request(QXSNMP_GET, kCountName);
    QXsnmpPdu* reply = request != nullptr ? Ask(session, request) : nullptr;
    if (reply == nullptr) {
        return std::nullopt;
    }
    const QXsnmpVarBind* count = Binding(*reply, kCountName, QXSNMP_INTEGER);
    const std::int64_t n = count != nullptr ? count->integer : -1;
    QXsnmpFreePdu(reply);
    // A negative or absurd count (a damaged or hostile agent) fails the read
    // before anything is made for it.
    if (n < 0 || n > kMaxRows) {
        return std::nullopt;
    }
    const auto rowCount = static_cast<std::uint32_t>(n);
    std::vector<SubsystemRow> rows(rowCount);
    Arcs name = kTableStart;
    for (std::uint32_t i = 0; i < kColumns * rowCount; ++i) {
        request = Request(QXSNMP_GETNEXT, name);
        reply = request != nullptr ? Ask(session, request) : nullptr;
        if (reply == nullptr) {
            return std::nullopt;
        }
        // Each answer must be the next cell of the table the count
        // announced: a table that shrank or grew meanwhile fails the read.
        const std::uint32_t column = (i / rowCount) % kColumns;
        const std::uint32_t row = i % rowCount;
        name = View({3, 1, column + 2, row + 1});
        const QXsnmpVarBind* cell =
            Binding(*reply, name, column == kStatusColumn ? QXSNMP_INTEGER : QXSNMP_OCTET_STRING);
        bool good = cell != nullptr;
        if (good && column == kSerialColumn) {
            rows[row].serialNumber = AgentText(cell->bytes);
            good = rows[row].serialNumber.size() <= kMaxSerial;
        } else if (good && column == kStatusColumn) {
            good = cell->integer >= INT32_MIN && cell->integer <= INT32_MAX;
            rows[row].status = static_cast<std::int32_t>(cell->integer);
        }
        QXsnmpFreePdu(reply);
        if (!good) {
            return std::nullopt;
        }
    }
    return rows;
}

void SnmpPoller::TrapCallback(int type, QXsnmpSession*, QXsnmpPdu* pdu, void* data) {
    if (type == QXSNMP_TRAP && pdu != nullptr) {
        static_cast<SnmpPoller*>(data)->OnTrap(*pdu);
    }
    QXsnmpFreePdu(pdu);
}

void SnmpPoller::OnTrap(const QXsnmpPdu& pdu) {
    if (pdu.errorStatus != 0 || pdu.enterprise != kView || pdu.genericTrap != kEnterpriseSpecific) {
        platform::Trace("vxqxoru: a trap of another kind is ignored\n");
        return;
    }
    // The specific code is the subsystem status: 0..10 (compared unsigned).
    if (pdu.specificTrap < 0 || pdu.specificTrap > kHighestStatus) {
        platform::Trace("vxqxoru: a trap with specific code %lld is ignored\n",
                        static_cast<long long>(pdu.specificTrap));
        return;
    }
    const std::string host = AgentHostName(pdu.agentAddress);
    if (host.empty()) {
        platform::Trace("vxqxoru: a trap from an address without a name is ignored\n");
        SayNamelessAddress(pdu.agentAddress);
        return;
    }
    const std::vector<QXsnmpVarBind>& b = pdu.bindings;
    if (b.size() < 4 || b[0].type != QXSNMP_INTEGER || b[0].integer < 2 ||
        b[1].type != QXSNMP_OCTET_STRING || b[2].type != QXSNMP_INTEGER) {
        platform::Trace("vxqxoru: a trap from %s without the agent's bindings is ignored\n",
                        host.c_str());
        return;
    }
    const std::int64_t catalogId = b[2].integer;
    const std::string serial = AgentText(b[1].bytes);
    const auto status = static_cast<std::int32_t>(pdu.specificTrap);
    platform::Trace("vxqxoru: trap %lld from %s for %s: status %d\n",
                    static_cast<long long>(catalogId), host.c_str(), serial.c_str(), status);
    if (catalogId == kConfigurationChanged) {
        const std::uint64_t now = Loop().Clock().NowMs();
        if (rereads_.size() < kMaxRereads || rereads_.count(host) != 0) {
            rereads_[host] = now + kRereadDelayMs;
        }
        if (waits_ < kMaxNestedWaits) {
            ProbeHost(host);
            if (!WaitForReplies()) {
                ReadFoundHosts();
            }
            map_.SyncSymbols();
        } else {
            readSoon_.insert(host);
        }
    }
    map_.ApplyTrapStatus(host, serial, status);
}

void SnmpPoller::SayNamelessAddress(const std::array<std::uint8_t, 4>& address) {
    // The map knows its computers by name only, so every trap of such an
    // agent is lost to it: the first one of each address is said, with what
    // to set, so that a silent map is not taken for a quiet agent.
    if (namelessSaid_.size() >= kMaxNamelessSaid || !namelessSaid_.insert(address).second) {
        return;
    }
    std::fprintf(stderr,
                 "vxqxoru: traps from %u.%u.%u.%u are ignored: the address has no host name and "
                 "the map knows its hosts by name (set the agent's trap address, snmpd's "
                 "v1trapaddress, to an address whose name the map knows, such as 127.0.0.1 for "
                 "this host)\n",
                 address[0], address[1], address[2], address[3]);
}

std::optional<std::uint64_t> SnmpPoller::NextReadDue() const {
    std::optional<std::uint64_t> due;
    if (!readSoon_.empty()) {
        due = 0;
    }
    for (const auto& [host, at] : rereads_) {
        due = due ? std::min(*due, at) : at;
    }
    return due;
}

bool SnmpPoller::ReadDueHosts() {
    const std::uint64_t now = Loop().Clock().NowMs();
    std::vector<std::string> hosts(readSoon_.begin(), readSoon_.end());
    readSoon_.clear();
    for (auto it = rereads_.begin(); it != rereads_.end();) {
        if (it->second <= now) {
            if (std::find(hosts.begin(), hosts.end(), it->first) == hosts.end()) {
                hosts.push_back(it->first);
            }
            it = rereads_.erase(it);
        } else {
            ++it;
        }
    }
    if (hosts.empty()) {
        return false;
    }
    for (std::size_t first = 0; first < hosts.size(); first += kBatch) {
        for (std::size_t i = first; i < std::min(hosts.size(), first + kBatch); ++i) {
            ProbeHost(hosts[i]);
        }
        if (WaitForReplies()) {
            return true;
        }
        ReadFoundHosts();
    }
    map_.SyncSymbols();
    return true;
}

}  // namespace vxqxoru
