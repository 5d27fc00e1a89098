#include "netmgmt/map/standin/QxSnmp.h"

// clang-format off
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/library/large_fd_set.h>
// clang-format on

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <regex>
#include <set>

#include "netmgmt/map/standin/AppLoop.h"
#include "netmgmt/map/standin/StandInTexts.h"

namespace {

constexpr int kDefaultRetries = 3;
constexpr int kDefaultTimeoutMs = 5000;
constexpr int kSnmpPort = 161;
constexpr int kTrapPort = 162;
constexpr const char* kCommunity = "public";
// Bindings taken from one received PDU; the rest are dropped.
constexpr std::size_t kMaxBindings = 1024;
// A deliverable PDU or time-out is waiting: hand over the first one.
constexpr unsigned kDeliver = qxapp::WM_USER + 3;
constexpr std::uintptr_t kRequestTimer = 1;

struct Request {
    long reqid = 0;
    QXsnmpPdu* pdu = nullptr;  // the library's while the request runs
    std::uint64_t deadline = 0;
    int attemptsLeft = 0;
    QXsnmpPdu* reply = nullptr;  // blocking sends
};

}  // namespace

struct QXsnmpSession {
    void* sessp = nullptr;
    int fd = -1;
    qxapp::AppLoop::SourceId source = 0;
    QXsnmpCallback callback = nullptr;
    void* data = nullptr;
    bool trap = false;
    std::regex filter;
    int retries = kDefaultRetries;
    int timeoutMs = kDefaultTimeoutMs;
    std::deque<Request> requests;  // asynchronous ones
    Request* blocking = nullptr;
    bool closed = false;
    int deliveriesPending = 0;
    int dispatching = 0;
};

namespace {

struct Delivery {
    QXsnmpSession* session;
    int type;
    QXsnmpPdu* pdu;
};

class SnmpWindow : public qxapp::Window {
  public:
    void WindowProc(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
};

void MaybeFree(QXsnmpSession* session);

struct Library {
    std::unique_ptr<SnmpWindow> window;
    qxapp::AppLoop* loop = nullptr;
    std::deque<Delivery> deliveries;
    std::set<QXsnmpSession*> sessions;
    int error = QXSNMP_ERR_NONE;

    // Deliveries whose messages went with a loop that is gone.
    void DropDeliveries() {
        while (!deliveries.empty()) {
            const Delivery d = deliveries.front();
            deliveries.pop_front();
            delete d.pdu;
            --d.session->deliveriesPending;
            MaybeFree(d.session);
        }
    }
    ~Library() { DropDeliveries(); }
};

Library& L() {
    static Library library;
    return library;
}

// The library's window on the current loop (made again for a new loop).
SnmpWindow* Window() {
    Library& l = L();
    qxapp::AppLoop* loop = qxapp::AppLoop::Current();
    if (loop == nullptr) {
        return nullptr;
    }
    if (l.window == nullptr || l.loop != loop || l.window->Handle() == 0) {
        l.DropDeliveries();
        l.window = std::make_unique<SnmpWindow>();
        l.loop = loop;
    }
    return l.window.get();
}

int Port(const char* variable, int otherwise) {
    const char* text = std::getenv(variable);
    if (text == nullptr || *text == '\0' || std::strlen(text) > 5 ||
        std::strspn(text, "0123456789") != std::strlen(text)) {
        return otherwise;
    }
    const int port = std::atoi(text);
    return port >= 1 && port <= 65535 ? port : otherwise;
}

// A host name as a resolver takes it: nothing that could pick another
// transport or address family.
bool PlainHostName(const std::string& host) {
    if (host.empty() || host.size() > 255) {
        return false;
    }
    for (char c : host) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_') {
            return false;
        }
    }
    return true;
}

std::vector<std::uint32_t> Arcs(const oid* name, std::size_t length) {
    std::vector<std::uint32_t> arcs;
    arcs.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        arcs.push_back(name[i] > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(name[i]));
    }
    return arcs;
}

std::int32_t Clamp32(long value) {
    return static_cast<std::int32_t>(std::clamp<long>(value, INT32_MIN, INT32_MAX));
}

QXsnmpPdu* FromNetsnmp(const netsnmp_pdu* in) {
    auto* out = new QXsnmpPdu;
    out->type = in->command;
    out->requestId = Clamp32(in->reqid);
    out->errorStatus = Clamp32(in->errstat);
    out->errorIndex = Clamp32(in->errindex);
    if (in->command == SNMP_MSG_TRAP) {
        if (in->enterprise != nullptr) {
            out->enterprise = Arcs(in->enterprise, in->enterprise_length);
        }
        std::memcpy(out->agentAddress.data(), in->agent_addr, 4);
        out->genericTrap = in->trap_type;
        out->specificTrap = in->specific_type;
        out->timeStamp = static_cast<std::uint32_t>(in->time);
    }
    for (const netsnmp_variable_list* v = in->variables;
         v != nullptr && out->bindings.size() < kMaxBindings; v = v->next_variable) {
        QXsnmpVarBind b;
        b.name = Arcs(v->name, v->name_length);
        b.type = v->type;
        switch (v->type) {
            case ASN_INTEGER:
            case ASN_COUNTER:
            case ASN_GAUGE:
            case ASN_TIMETICKS:
                if (v->val.integer != nullptr) {
                    b.integer = *v->val.integer;
                }
                break;
            case ASN_OCTET_STR:
            case ASN_IPADDRESS:
            case ASN_OPAQUE:
                if (v->val.string != nullptr) {
                    b.bytes.assign(reinterpret_cast<const char*>(v->val.string), v->val_len);
                }
                break;
            case ASN_OBJECT_ID:
                if (v->val.objid != nullptr) {
                    b.object = Arcs(v->val.objid, v->val_len / sizeof(oid));
                }
                break;
            default:
                break;
        }
        out->bindings.push_back(std::move(b));
    }
    return out;
}

int OnNetsnmp(int operation, netsnmp_session*, int reqid, netsnmp_pdu* pdu, void* magic);

// Sends one attempt of a request (its reqid kept across attempts).
bool SendAttempt(QXsnmpSession* session, const Request& request) {
    netsnmp_pdu* pdu = snmp_pdu_create(request.pdu->type);
    if (pdu == nullptr) {
        return false;
    }
    pdu->reqid = request.reqid;
    for (const QXsnmpVarBind& b : request.pdu->bindings) {
        std::vector<oid> name(b.name.begin(), b.name.end());
        snmp_add_null_var(pdu, name.data(), name.size());
    }
    if (snmp_sess_async_send(session->sessp, pdu, OnNetsnmp, session) == 0) {
        snmp_free_pdu(pdu);
        return false;
    }
    return true;
}

// A new request: its first attempt sent; false when it could not be.
bool StartRequest(QXsnmpSession* session, QXsnmpPdu* pdu, Request* request) {
    request->pdu = pdu;
    request->reqid = snmp_get_next_reqid();
    pdu->requestId = Clamp32(request->reqid);
    request->attemptsLeft = session->retries;
    request->deadline = L().loop->Clock().NowMs() + static_cast<std::uint64_t>(session->timeoutMs);
    return SendAttempt(session, *request);
}

void Post(QXsnmpSession* session, int type, QXsnmpPdu* pdu) {
    ++session->deliveriesPending;
    L().deliveries.push_back(Delivery{session, type, pdu});
    L().loop->PostMessage(L().window->Handle(), kDeliver);
}

void RearmTimer() {
    Library& l = L();
    std::uint64_t due = qxapp::kNoDeadline;
    for (QXsnmpSession* s : l.sessions) {
        for (const Request& r : s->requests) {
            due = std::min(due, r.deadline);
        }
    }
    if (l.window == nullptr || l.loop == nullptr) {
        return;
    }
    if (due == qxapp::kNoDeadline) {
        l.loop->KillTimer(l.window->Handle(), kRequestTimer);
    } else {
        l.loop->SetTimer(l.window->Handle(), kRequestTimer, due);
    }
}

// Retransmits or times out every asynchronous request that is due.
void OnRequestTimer() {
    Library& l = L();
    const std::uint64_t now = l.loop->Clock().NowMs();
    for (QXsnmpSession* s : l.sessions) {
        for (auto it = s->requests.begin(); it != s->requests.end();) {
            if (it->deadline > now) {
                ++it;
            } else if (it->attemptsLeft > 0 && SendAttempt(s, *it)) {
                --it->attemptsLeft;
                it->deadline = now + static_cast<std::uint64_t>(s->timeoutMs);
                ++it;
            } else {
                delete it->pdu;
                it = s->requests.erase(it);
                Post(s, QXSNMP_TIMED_OUT, nullptr);
            }
        }
    }
    RearmTimer();
}

void MaybeFree(QXsnmpSession* session) {
    if (session->closed && session->deliveriesPending == 0 && session->dispatching == 0) {
        delete session;
    }
}

void DeliverOne() {
    Library& l = L();
    if (l.deliveries.empty()) {
        return;
    }
    const Delivery d = l.deliveries.front();
    l.deliveries.pop_front();
    --d.session->deliveriesPending;
    if (d.session->closed) {
        delete d.pdu;
        MaybeFree(d.session);
        return;
    }
    if (d.type == QXSNMP_TIMED_OUT) {
        l.error = QXSNMP_ERR_TIMEOUT;
    }
    ++d.session->dispatching;
    d.session->callback(d.type, d.session, d.pdu, d.session->data);
    --d.session->dispatching;
    MaybeFree(d.session);
}

void SnmpWindow::WindowProc(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (message == kDeliver) {
        DeliverOne();
    } else if (message == qxapp::WM_TIMER && wParam == kRequestTimer) {
        OnRequestTimer();
    } else {
        Window::WindowProc(message, wParam, lParam);
    }
}

// net-snmp's callback: runs inside snmp_sess_read and only takes the PDU
// over; the application's callback runs later from the loop.
int OnNetsnmp(int operation, netsnmp_session*, int reqid, netsnmp_pdu* pdu, void* magic) {
    auto* session = static_cast<QXsnmpSession*>(magic);
    if (operation != NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE || pdu == nullptr || session->closed) {
        return 1;  // time-outs are the library's own
    }
    if (session->trap) {
        std::string enterprise;
        if (pdu->command == SNMP_MSG_TRAP && pdu->enterprise != nullptr) {
            for (std::size_t i = 0; i < pdu->enterprise_length; ++i) {
                enterprise += (i == 0 ? "" : ".") + std::to_string(pdu->enterprise[i]);
            }
        }
        if (std::regex_match(enterprise, session->filter)) {
            Post(session, pdu->command, FromNetsnmp(pdu));
        }
        return 1;
    }
    if (session->blocking != nullptr && session->blocking->reqid == reqid &&
        session->blocking->reply == nullptr) {
        session->blocking->reply = FromNetsnmp(pdu);
        return 1;
    }
    for (auto it = session->requests.begin(); it != session->requests.end(); ++it) {
        if (it->reqid == reqid) {
            const int type = it->pdu->type;
            delete it->pdu;
            session->requests.erase(it);
            Post(session, type, FromNetsnmp(pdu));
            RearmTimer();
            return 1;
        }
    }
    return 1;  // a late answer to a request given up: dropped
}

void ReadSession(QXsnmpSession* session) {
    netsnmp_large_fd_set set;
    netsnmp_large_fd_set_init(&set, session->fd + 1);
    netsnmp_large_fd_setfd(session->fd, &set);
    snmp_sess_read2(session->sessp, &set);
    netsnmp_large_fd_set_cleanup(&set);
}

// Registers a session that net-snmp opened.
QXsnmpSession* Adopt(QXsnmpSession* session) {
    netsnmp_transport* transport = snmp_sess_transport(session->sessp);
    session->fd = transport != nullptr ? transport->sock : -1;
    session->source = L().loop->AddSource(session->fd, [session] { ReadSession(session); });
    L().sessions.insert(session);
    L().error = QXSNMP_ERR_NONE;
    return session;
}

void Prepare(netsnmp_session* s, QXsnmpSession* session) {
    snmp_sess_init(s);
    if (!session->trap) {
        // Traps of every version and community come in; the callback sorts.
        s->version = SNMP_VERSION_1;
        s->community = reinterpret_cast<u_char*>(const_cast<char*>(kCommunity));
        s->community_len = std::strlen(kCommunity);
    }
    // Retransmission and time-out are the library's own, on the loop's
    // clock; net-snmp is never asked to time anything out.
    s->retries = 0;
    s->timeout = 3600L * 1000000L;
    s->callback = OnNetsnmp;
    s->callback_magic = session;
}

}  // namespace

QXsnmpSession* QXsnmpWOpen(int window, const std::string& host, int retries, int timeoutMs,
                           int localPort, int remotePort, QXsnmpCallback callback, void* data) {
    Library& l = L();
    l.error = QXSNMP_ERR_BAD_SESSION;
    if (window != 0 || callback == nullptr || localPort != QXSNMP_ANY_PORT ||
        !PlainHostName(host) || retries < QXSNMP_DEFAULT || timeoutMs < QXSNMP_DEFAULT ||
        timeoutMs == 0 ||
        (remotePort != QXSNMP_ANY_PORT && (remotePort < 1 || remotePort > 65535)) ||
        Window() == nullptr) {
        return nullptr;
    }
    const int port =
        remotePort == QXSNMP_ANY_PORT ? Port("ORU_MAP_SNMP_PORT", kSnmpPort) : remotePort;
    auto* session = new QXsnmpSession;
    session->callback = callback;
    session->data = data;
    session->retries = retries == QXSNMP_DEFAULT ? kDefaultRetries : retries;
    session->timeoutMs = timeoutMs == QXSNMP_DEFAULT ? kDefaultTimeoutMs : timeoutMs;
    netsnmp_session s;
    Prepare(&s, session);
    const std::string peer = "udp:" + host + ":" + std::to_string(port);
    s.peername = const_cast<char*>(peer.c_str());
    session->sessp = snmp_sess_open(&s);
    if (session->sessp == nullptr) {
        delete session;
        return nullptr;
    }
    return Adopt(session);
}

QXsnmpSession* QXsnmpWEventOpen(int window, int port, QXsnmpCallback callback, void* data,
                                const std::string& filter) {
    Library& l = L();
    l.error = QXSNMP_ERR_BAD_SESSION;
    if (window != 0 || callback == nullptr || port < 0 || port > 65535 || Window() == nullptr) {
        return nullptr;
    }
    auto* session = new QXsnmpSession;
    try {
        session->filter = std::regex(filter, std::regex::extended);
    } catch (const std::regex_error&) {
        delete session;
        return nullptr;
    }
    session->trap = true;
    session->callback = callback;
    session->data = data;
    // Prepare first: it readies net-snmp's transports as well.
    netsnmp_session s;
    Prepare(&s, session);
    const std::string portText =
        std::to_string(port == 0 ? Port("ORU_MAP_TRAP_PORT", kTrapPort) : port);
    errno = 0;
    netsnmp_transport* transport =
        netsnmp_transport_open_server("vxqxoru", ("udp:" + portText).c_str());
    if (transport == nullptr) {
        const int why = errno != 0 ? errno : EADDRINUSE;
        std::fprintf(stderr, qxw::Text(qxw::StandInText::kTrapPortUnusable), portText.c_str(),
                     std::strerror(why));
        delete session;
        return nullptr;
    }
    session->sessp = snmp_sess_add(&s, transport, nullptr, nullptr);
    if (session->sessp == nullptr) {
        delete session;
        return nullptr;
    }
    return Adopt(session);
}

int QXsnmpClose(QXsnmpSession* session) {
    Library& l = L();
    if (session == nullptr || session->closed) {
        l.error = QXSNMP_ERR_BAD_SESSION;
        return -1;
    }
    session->closed = true;
    l.sessions.erase(session);
    if (l.loop != nullptr && qxapp::AppLoop::Current() == l.loop) {
        l.loop->RemoveSource(session->source);
    }
    for (Request& r : session->requests) {
        delete r.pdu;
    }
    session->requests.clear();
    snmp_sess_close(session->sessp);
    session->sessp = nullptr;
    RearmTimer();
    MaybeFree(session);
    l.error = QXSNMP_ERR_NONE;
    return 0;
}

QXsnmpPdu* QXsnmpCreatePdu(int type) {
    if (type != QXSNMP_GET && type != QXSNMP_GETNEXT) {
        L().error = QXSNMP_ERR_BAD_PDU;
        return nullptr;
    }
    auto* pdu = new QXsnmpPdu;
    pdu->type = type;
    return pdu;
}

int QXsnmpAddNullVarBind(QXsnmpPdu* pdu, const std::uint32_t* arcs, int count) {
    if (pdu == nullptr || arcs == nullptr || count < 2 || count > MAX_OID_LEN) {
        L().error = QXSNMP_ERR_BAD_PDU;
        return -1;
    }
    QXsnmpVarBind b;
    b.name.assign(arcs, arcs + count);
    pdu->bindings.push_back(std::move(b));
    return 0;
}

void QXsnmpFreePdu(QXsnmpPdu* pdu) {
    delete pdu;
}

int QXsnmpSend(QXsnmpSession* session, QXsnmpPdu* pdu) {
    Library& l = L();
    if (session == nullptr || session->closed || session->trap) {
        l.error = QXSNMP_ERR_BAD_SESSION;
        return -1;
    }
    if (pdu == nullptr || pdu->bindings.empty()) {
        l.error = QXSNMP_ERR_BAD_PDU;
        return -1;
    }
    Request request;
    if (!StartRequest(session, pdu, &request)) {
        l.error = QXSNMP_ERR_SEND;
        return -1;  // the caller's again
    }
    session->requests.push_back(request);
    RearmTimer();
    l.error = QXSNMP_ERR_NONE;
    return pdu->requestId & 0x7FFFFFFF;
}

QXsnmpPdu* QXsnmpBlockingSend(QXsnmpSession* session, QXsnmpPdu* pdu) {
    Library& l = L();
    if (session == nullptr || session->closed || session->trap || session->blocking != nullptr ||
        pdu == nullptr || pdu->bindings.empty()) {
        l.error =
            session == nullptr || session->closed || session->trap || session->blocking != nullptr
                ? QXSNMP_ERR_BAD_SESSION
                : QXSNMP_ERR_BAD_PDU;
        delete pdu;
        return nullptr;
    }
    Request request;
    if (!StartRequest(session, pdu, &request)) {
        l.error = QXSNMP_ERR_SEND;
        delete pdu;
        return nullptr;
    }
    qxapp::LoopClock& clock = l.loop->Clock();
    session->blocking = &request;
    std::vector<int> ready;
    while (request.reply == nullptr) {
        clock.Wait({session->fd}, request.deadline, &ready);
        if (!ready.empty()) {
            ReadSession(session);
            continue;
        }
        const std::uint64_t now = clock.NowMs();
        if (now < request.deadline) {
            continue;
        }
        if (request.attemptsLeft == 0 || !SendAttempt(session, request)) {
            break;
        }
        --request.attemptsLeft;
        request.deadline = now + static_cast<std::uint64_t>(session->timeoutMs);
    }
    session->blocking = nullptr;
    if (request.reply == nullptr) {
        l.error = QXSNMP_ERR_TIMEOUT;
        return nullptr;  // the request is the caller's again
    }
    delete pdu;
    l.error = QXSNMP_ERR_NONE;
    return request.reply;
}

int QXsnmpErrno() {
    return L().error;
}
