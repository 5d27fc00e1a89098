#include "netmgmt/agent/host/SnmpHost.h"

// clang-format off
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/agent/net-snmp-agent-includes.h>
// clang-format on

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <iterator>
#include <vector>

#include "catalog/LanguageLibrary.h"
#include "catalog/StringCatalog.h"
#include "platform/Clock.h"

namespace orusnmphost {

namespace {

constexpr const char* kAppName = "oru-snmp-host";
constexpr const char* kRegistrationName = "oruagent";
// Seconds between the subagent's pings of the master: a master that went
// away and came back is found again within this time.
constexpr int kPingSeconds = 15;

// Texts of the host (set 2 of the agent's catalog).
constexpr int kSetHost = 2;
constexpr int kUsage = 1;
constexpr int kCannotOpen = 2;
constexpr int kMissingEntry = 3;
constexpr int kAgentRefused = 4;
constexpr int kNoSubagent = 5;
constexpr int kNoRegistration = 6;
constexpr int kPollThreadLeft = 7;
constexpr int kStopping = 8;

int gSignalPipe[2] = {-1, -1};
volatile std::sig_atomic_t gStop = 0;

void OnSignal(int) {
    gStop = 1;
    if (gSignalPipe[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] ssize_t n = ::write(gSignalPipe[1], &byte, 1);
    }
}

StringCatalog& Texts() {
    static StringCatalog catalog("oruagent",
                                 catalog::LanguageLibrary::LibraryName(
                                     "orua", catalog::LanguageLibrary::PrimaryLanguageId(
                                                 catalog::LanguageLibrary::LocaleLanguage()))
                                     .c_str());
    return catalog;
}

// Net-snmp's type tag of an agent value; both follow ASN.1, so the tags are
// the same numbers.
u_char NetsnmpType(std::uint8_t type) {
    switch (type) {
        case ASN_INTEGER:
        case ASN_OCTETSTRING:
        case ASN_OBJECTIDENTIFIER:
        case ASN_COUNTER32:
        case ASN_GAUGE32:
        case ASN_TIMETICKS:
            return type;
        default:
            return ASN_NULL;
    }
}

// The agent's value into a net-snmp variable (name untouched).
void SetValue(netsnmp_variable_list* var, const AsnAny& value) {
    switch (value.asnType) {
        case ASN_INTEGER:
            snmp_set_var_typed_integer(var, ASN_INTEGER, value.asnValue.number);
            break;
        case ASN_COUNTER32:
        case ASN_GAUGE32:
        case ASN_TIMETICKS:
            snmp_set_var_typed_integer(var, value.asnType, value.asnValue.unsigned32);
            break;
        case ASN_OCTETSTRING:
            snmp_set_var_typed_value(var, ASN_OCTET_STR, value.asnValue.string.stream,
                                     value.asnValue.string.length);
            break;
        case ASN_OBJECTIDENTIFIER: {
            std::vector<oid> arcs(value.asnValue.object.ids,
                                  value.asnValue.object.ids + value.asnValue.object.idLength);
            snmp_set_var_typed_value(var, ASN_OBJECT_ID, arcs.data(), arcs.size() * sizeof(oid));
            break;
        }
        default:
            snmp_set_var_typed_value(var, ASN_NULL, nullptr, 0);
            break;
    }
}

// A net-snmp name as agent arcs; false when an arc does not fit 32 bits (no
// name of the view has one).
bool ToArcs(const oid* name, std::size_t length, std::vector<std::uint32_t>* arcs) {
    arcs->clear();
    for (std::size_t i = 0; i < length; ++i) {
        if (name[i] > 0xFFFFFFFFu) {
            return false;
        }
        arcs->push_back(static_cast<std::uint32_t>(name[i]));
    }
    return true;
}

// In the foreground the agent's reports (service out of reach, the list's
// status, ...) show on standard error too; the agent's threads call this,
// and one call writes one whole line.
void EchoReport(std::uint16_t, const char* text) {
    std::fprintf(stderr, "%s: %s\n", kAppName, text);
}

}  // namespace

ParseOutcome ParseHostCommandLine(int argc, char** argv, HostOptions* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-f") {
            options->foreground = true;
        } else if (a == "-x" && i + 1 < argc && argv[i + 1][0] != '\0') {
            options->socket = argv[++i];
        } else if (a.rfind("-x", 0) == 0 && a.size() > 2) {
            options->socket = a.substr(2);
        } else if (a == "-?" || a == "-h" || a == "--help") {
            return ParseOutcome::kHelp;
        } else {
            return ParseOutcome::kUsage;
        }
    }
    return ParseOutcome::kRun;
}

void PrintUsage(std::FILE* to) {
    std::fputs(Texts().GetStringCommonBuf(kSetHost, kUsage, kAppName), to);
}

bool SnmpHost::InView(const AsnObjectIdentifier& name) const {
    return name.idLength >= view_.idLength &&
           SnmpUtilOidCmp(name.ids, view_.idLength, view_.ids, view_.idLength) == 0;
}

std::int32_t SnmpHost::Query(std::uint8_t type, const std::uint32_t* name, std::size_t length,
                             SnmpVarBind* binding) {
    std::memset(binding, 0, sizeof *binding);
    binding->value.asnType = ASN_NULL;
    if (!SnmpUtilOidSet(&binding->name, name, static_cast<std::uint32_t>(length))) {
        return SNMP_ERRORSTATUS_GENERR;
    }
    SnmpVarBindList list{binding, 1};
    std::int32_t status = SNMP_ERRORSTATUS_GENERR;
    std::int32_t index = 0;
    if (library_.query(type, &list, &status, &index) == 0) {
        return SNMP_ERRORSTATUS_GENERR;
    }
    return status;
}

void SnmpHost::AnswerGet(netsnmp_agent_request_info* info, netsnmp_request_info* request) {
    netsnmp_variable_list* var = request->requestvb;
    std::vector<std::uint32_t> arcs;
    if (!ToArcs(var->name, var->name_length, &arcs)) {
        netsnmp_set_request_error(info, request, SNMP_NOSUCHOBJECT);
        return;
    }
    SnmpVarBind binding;
    const std::int32_t status = Query(SNMP_PDU_GET, arcs.data(), arcs.size(), &binding);
    if (status == SNMP_ERRORSTATUS_NOERROR) {
        SetValue(var, binding.value);
    } else if (status == SNMP_ERRORSTATUS_NOSUCHNAME) {
        netsnmp_set_request_error(info, request, SNMP_NOSUCHOBJECT);
    } else {
        netsnmp_set_request_error(info, request, SNMP_ERR_GENERR);
    }
    SnmpUtilVarBindFree(&binding);
}

void SnmpHost::AnswerGetNext(netsnmp_agent_request_info* info, netsnmp_request_info* request) {
    netsnmp_variable_list* var = request->requestvb;
    std::vector<std::uint32_t> arcs;
    if (!ToArcs(var->name, var->name_length, &arcs)) {
        return;  // beyond anything of the view: the master moves on
    }
    SnmpVarBind binding;
    if (request->inclusive) {
        // The master asks for this name itself when it exists.
        if (Query(SNMP_PDU_GET, arcs.data(), arcs.size(), &binding) == SNMP_ERRORSTATUS_NOERROR) {
            SetValue(var, binding.value);
            SnmpUtilVarBindFree(&binding);
            return;
        }
        SnmpUtilVarBindFree(&binding);
    }
    const std::int32_t status = Query(SNMP_PDU_GETNEXT, arcs.data(), arcs.size(), &binding);
    // The end of the view comes back as a name past it: leaving the request
    // unanswered tells the master to go on with the next subtree.
    if (status == SNMP_ERRORSTATUS_NOERROR && InView(binding.name) &&
        SnmpUtilOidCmp(binding.name.ids, binding.name.idLength, arcs.data(),
                       static_cast<std::uint32_t>(arcs.size())) > 0) {
        std::vector<oid> next(binding.name.ids, binding.name.ids + binding.name.idLength);
        snmp_set_var_objid(var, next.data(), next.size());
        SetValue(var, binding.value);
    } else if (status != SNMP_ERRORSTATUS_NOERROR && status != SNMP_ERRORSTATUS_NOSUCHNAME) {
        netsnmp_set_request_error(info, request, SNMP_ERR_GENERR);
    }
    SnmpUtilVarBindFree(&binding);
}

int SnmpHost::HandleRequests(netsnmp_mib_handler* handler, netsnmp_handler_registration*,
                             netsnmp_agent_request_info* info, netsnmp_request_info* requests) {
    auto* self = static_cast<SnmpHost*>(handler->myvoid);
    for (netsnmp_request_info* request = requests; request != nullptr; request = request->next) {
        if (request->processed) {
            continue;
        }
        switch (info->mode) {
            case MODE_GET:
                self->AnswerGet(info, request);
                break;
            case MODE_GETNEXT:
                self->AnswerGetNext(info, request);
                break;
            default:
                netsnmp_set_request_error(info, request, SNMP_ERR_NOTWRITABLE);
                break;
        }
    }
    return SNMP_ERR_NOERROR;
}

void SnmpHost::SendTrap(const AsnObjectIdentifier& enterprise, std::int32_t generic,
                        std::int32_t specific, const SnmpVarBindList& bindings) {
    // The trap travels to the master in its SNMPv2 form, snmpTrapOID.0 naming
    // it as <enterprise>.0.<specific> (generic traps: their standard
    // identifier); the master's v1 sinks get it back as enterprise, generic
    // and specific code with exactly the agent's bindings.
    static const oid kSnmpTrapOid[] = {1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0};
    static const oid kStandardTraps[] = {1, 3, 6, 1, 6, 3, 1, 1, 5};
    std::vector<oid> trapOid;
    if (generic == SNMP_GENERICTRAP_ENTERSPECIFIC) {
        trapOid.assign(enterprise.ids, enterprise.ids + enterprise.idLength);
        trapOid.push_back(0);
        trapOid.push_back(static_cast<oid>(specific));
    } else {
        trapOid.assign(std::begin(kStandardTraps), std::end(kStandardTraps));
        trapOid.push_back(static_cast<oid>(generic + 1));
    }
    netsnmp_variable_list* vars = nullptr;
    snmp_varlist_add_variable(&vars, kSnmpTrapOid, std::size(kSnmpTrapOid), ASN_OBJECT_ID,
                              trapOid.data(), trapOid.size() * sizeof(oid));
    for (std::uint32_t i = 0; i < bindings.len; ++i) {
        const SnmpVarBind& b = bindings.list[i];
        std::vector<oid> name(b.name.ids, b.name.ids + b.name.idLength);
        netsnmp_variable_list* var = snmp_varlist_add_variable(
            &vars, name.data(), name.size(), NetsnmpType(b.value.asnType), nullptr, 0);
        if (var != nullptr) {
            SetValue(var, b.value);
        }
    }
    send_v2trap(vars);
    snmp_free_varbind(vars);
}

void SnmpHost::TakeTraps() {
    std::uint64_t count = 0;
    while (::read(trapFd_, &count, sizeof count) < 0 && errno == EINTR) {
    }
    // The agent holds one trap at a time: the first call takes it, the
    // second releases it and answers 0. Only then can the next trap be
    // posted, and its post wakes the descriptor again.
    AsnObjectIdentifier enterprise{0, nullptr};
    std::int32_t generic = 0;
    std::int32_t specific = 0;
    std::uint32_t timeStamp = 0;
    SnmpVarBindList bindings{nullptr, 0};
    if (library_.trap(&enterprise, &generic, &specific, &timeStamp, &bindings) == 0) {
        return;
    }
    // The master stamps the trap with its own uptime.
    SendTrap(enterprise, generic, specific, bindings);
    SnmpUtilVarBindListFree(&bindings);
    library_.trap(&enterprise, &generic, &specific, &timeStamp, &bindings);
}

void SnmpHost::OnTrapDescriptor(int, void* self) {
    static_cast<SnmpHost*>(self)->TakeTraps();
}

void SnmpHost::OnSignalPipe(int fd, void*) {
    char bytes[16];
    while (::read(fd, bytes, sizeof bytes) > 0) {
    }
}

int SnmpHost::Run() {
    if (options_.foreground) {
        snmp_enable_stderrlog();
    } else {
        snmp_enable_syslog_ident(kAppName, LOG_DAEMON);
        // Before any thread starts: the agent's poll thread must live in
        // the daemon, not in the parent that exits.
        if (netsnmp_daemonize(1, 0) != 0) {
            return kExitFailed;
        }
    }

    std::string path;
    std::string why;
    switch (library_.Load(&path, &why)) {
        case AgentLibrary::LoadResult::kCannotOpen:
            snmp_log(LOG_ERR, "%s",
                     Texts().GetStringCommonBuf(kSetHost, kCannotOpen, kAppName, path.c_str(),
                                                why.c_str()));
            return kExitFailed;
        case AgentLibrary::LoadResult::kMissingEntry:
            snmp_log(LOG_ERR, "%s",
                     Texts().GetStringCommonBuf(kSetHost, kMissingEntry, kAppName, path.c_str(),
                                                why.c_str()));
            return kExitFailed;
        case AgentLibrary::LoadResult::kLoaded:
            break;
    }
    if (options_.foreground) {
        library_.setReportEcho(&EchoReport);
    }
    if (library_.dllMain(AGENT_PROCESS_ATTACH) == 0) {
        snmp_log(LOG_ERR, "%s", Texts().GetStringCommonBuf(kSetHost, kAgentRefused, kAppName));
        return kExitFailed;
    }

    netsnmp_ds_set_boolean(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_ROLE, 1);
    if (!options_.socket.empty()) {
        netsnmp_ds_set_string(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_X_SOCKET,
                              options_.socket.c_str());
    }
    netsnmp_ds_set_int(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_AGENTX_PING_INTERVAL,
                       kPingSeconds);
    // A subagent keeps nothing between runs.
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
    if (init_agent(kAppName) != 0) {
        snmp_log(LOG_ERR, "%s", Texts().GetStringCommonBuf(kSetHost, kNoSubagent, kAppName));
        library_.dllMain(AGENT_PROCESS_DETACH);
        return kExitFailed;
    }

    const std::uint32_t startTicks = static_cast<std::uint32_t>(platform::MonotonicMs());
    if (library_.init(startTicks, &trapFd_, &view_) == 0) {
        snmp_log(LOG_ERR, "%s", Texts().GetStringCommonBuf(kSetHost, kAgentRefused, kAppName));
        library_.dllMain(AGENT_PROCESS_DETACH);
        snmp_shutdown(kAppName);
        return kExitFailed;
    }
    std::vector<oid> viewArcs(view_.ids, view_.ids + view_.idLength);
    netsnmp_handler_registration* registration = netsnmp_create_handler_registration(
        kRegistrationName, HandleRequests, viewArcs.data(), viewArcs.size(), HANDLER_CAN_RONLY);
    if (registration == nullptr) {
        snmp_log(LOG_ERR, "%s", Texts().GetStringCommonBuf(kSetHost, kNoRegistration, kAppName));
        if (library_.dllMain(AGENT_PROCESS_DETACH) == 0) {
            library_.Keep();
        }
        snmp_shutdown(kAppName);
        return kExitFailed;
    }
    registration->handler->myvoid = this;
    netsnmp_register_handler(registration);
    init_snmp(kAppName);

    if (::pipe2(gSignalPipe, O_NONBLOCK | O_CLOEXEC) == 0) {
        register_readfd(gSignalPipe[0], OnSignalPipe, this);
    }
    register_readfd(trapFd_, OnTrapDescriptor, this);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    while (gStop == 0) {
        agent_check_and_process(1);
    }

    snmp_log(LOG_INFO, "%s", Texts().GetStringCommonBuf(kSetHost, kStopping, kAppName));
    unregister_readfd(trapFd_);
    // The master stops asking at once; the agent then stops its thread.
    snmp_shutdown(kAppName);
    if (library_.dllMain(AGENT_PROCESS_DETACH) == 0) {
        snmp_log(LOG_WARNING, "%s",
                 Texts().GetStringCommonBuf(kSetHost, kPollThreadLeft, kAppName));
        // A thread of the agent still runs in the library: leave without
        // unloading it or running the process's destructors under it.
        std::fflush(nullptr);
        ::_exit(kExitDone);
    }
    return kExitDone;
}

}  // namespace orusnmphost
