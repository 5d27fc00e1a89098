#include "support/SnmpMaster.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/Clock.h"
#include "support/FreshRoot.h"

namespace testsupport {

namespace {

constexpr int kStartLimitMs = 20000;
constexpr int kClientLimitMs = 20000;
constexpr const char* kTrapStart = "ORU-TEST-TRAP ";
constexpr const char* kTrapEnd = "ORU-TEST-END";

std::string Trim(const std::string& text) {
    std::size_t a = 0;
    std::size_t b = text.size();
    while (a < b && std::isspace(static_cast<unsigned char>(text[a]))) {
        ++a;
    }
    while (b > a && std::isspace(static_cast<unsigned char>(text[b - 1]))) {
        --b;
    }
    return text.substr(a, b - a);
}

// "51 58 00" -> the bytes.
std::string HexBytes(const std::string& text) {
    std::string bytes;
    std::istringstream in(text);
    std::string pair;
    while (in >> pair) {
        bytes += static_cast<char>(std::stoi(pair, nullptr, 16));
    }
    return bytes;
}

SnmpVariable ParseOne(const std::string& piece) {
    SnmpVariable v;
    const std::size_t eq = piece.find(" = ");
    if (eq == std::string::npos) {
        v.oid = Trim(piece);
        return v;
    }
    v.oid = Trim(piece.substr(0, eq));
    std::string rest = piece.substr(eq + 3);
    const std::size_t colon = rest.find(": ");
    const std::string head = colon == std::string::npos ? rest : rest.substr(0, colon);
    if (colon == std::string::npos || head.find(' ') != std::string::npos) {
        v.value = Trim(rest);  // "No Such Object available on this agent at this OID", ...
        return v;
    }
    v.type = head;
    std::string value = rest.substr(colon + 2);
    if (v.type == "Hex-STRING") {
        v.value = HexBytes(value);
    } else if (v.type == "STRING") {
        value = Trim(value);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        v.value = value;
    } else {
        v.value = Trim(value);
    }
    return v;
}

}  // namespace

std::vector<SnmpVariable> ParseSnmpVariables(const std::string& text) {
    // A variable starts on a line that begins with its name; a value that
    // runs over several lines (long hex strings) continues on the next ones.
    std::vector<std::string> pieces;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '.' && line.find(" = ") != std::string::npos) {
            pieces.push_back(line);
        } else if (!pieces.empty()) {
            pieces.back() += "\n" + line;
        }
    }
    std::vector<SnmpVariable> variables;
    for (const std::string& piece : pieces) {
        variables.push_back(ParseOne(piece));
    }
    return variables;
}

SnmpMaster::SnmpMaster(std::string directory) : directory_(std::move(directory)) {
    std::filesystem::create_directories(directory_ + "/persist");
}

SnmpMaster::~SnmpMaster() {
    Stop();
}

std::vector<std::string> SnmpMaster::Environment() const {
    return {"MIBS=",
            "MIBDIRS=",
            "SNMPCONFPATH=" + directory_,
            "SNMP_PERSISTENT_DIR=" + directory_ + "/persist",
            "LANG=C",
            "LC_ALL"};
}

std::string SnmpMaster::Start() {
    port_ = FreePort(SOCK_DGRAM);
    trapPort_ = FreePort(SOCK_DGRAM);
    if (port_ == 0 || trapPort_ == 0) {
        return "no free UDP port";
    }
    {
        std::ofstream conf(directory_ + "/snmptrapd.conf");
        conf << "disableAuthorization yes\n"
             << "format1 " << kTrapStart << "%N %w %q\\n%v\\n"
             << kTrapEnd << "\\n\n";
    }
    {
        std::ofstream conf(directory_ + "/snmpd.conf");
        conf << "master agentx\n"
             << "agentXSocket " << AgentXSocket() << "\n"
             << "agentXPerms 0600 0700\n"
             << "rocommunity public 127.0.0.1\n"
             << "rwcommunity private 127.0.0.1\n"
             << "trapsink 127.0.0.1:" << trapPort_ << " public\n"
             << "v1trapaddress 127.0.0.1\n";
        for (std::uint16_t port : extraSinks_) {
            conf << "trapsink 127.0.0.1:" << port << " public\n";
        }
    }
    const std::vector<std::string> env = Environment();
    started_ = true;
    if (!snmptrapd_.Start("/usr/sbin/snmptrapd",
                          {"-f", "-C", "-c", directory_ + "/snmptrapd.conf", "-Lo", "-On",
                           "udp:127.0.0.1:" + std::to_string(trapPort_)},
                          env)) {
        return snmptrapd_.StartError();
    }
    if (!snmptrapd_.WaitForStdout("NET-SNMP version", kStartLimitMs)) {
        return "snmptrapd did not start: " + snmptrapd_.Stderr() + snmptrapd_.Stdout();
    }
    if (!snmpd_.Start("/usr/sbin/snmpd",
                      {"-f", "-C", "-c", directory_ + "/snmpd.conf", "-Lo",
                       "udp:127.0.0.1:" + std::to_string(port_)},
                      env)) {
        return snmpd_.StartError();
    }
    const std::uint64_t end = platform::MonotonicMs() + kStartLimitMs;
    struct stat info {};
    while (platform::MonotonicMs() < end) {
        if (!snmpd_.Running()) {
            return "snmpd ended: " + snmpd_.Stdout() + snmpd_.Stderr();
        }
        if (::stat((directory_ + "/agentx.sock").c_str(), &info) == 0 &&
            Get(".1.3.6.1.2.1.1.3.0").exitCode == 0) {
            return "";
        }
        ::usleep(20000);
    }
    return "snmpd did not answer: " + snmpd_.Stdout() + snmpd_.Stderr();
}

void SnmpMaster::Stop() {
    if (!started_) {
        return;
    }
    started_ = false;
    for (ChildProcess* daemon : {&snmpd_, &snmptrapd_}) {
        if (daemon->Running()) {
            daemon->Signal(SIGTERM);
            daemon->WaitExit(kStartLimitMs);
        }
    }
}

SnmpRun SnmpMaster::Client(const std::string& program, const std::string& version,
                           const std::string& community, const std::vector<std::string>& names,
                           const std::vector<std::string>& extra) {
    std::vector<std::string> args = {"-v", version, "-c", community, "-On", "-t", "5", "-r", "1"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back("127.0.0.1:" + std::to_string(port_));
    args.insert(args.end(), names.begin(), names.end());
    SnmpRun run;
    static_cast<ProgramRun&>(run) =
        RunProgram("/usr/bin/" + program, args, Environment(), kClientLimitMs);
    run.variables = ParseSnmpVariables(run.out);
    return run;
}

std::vector<SnmpV1Trap> SnmpMaster::Traps() {
    std::vector<SnmpV1Trap> traps;
    const std::string log = snmptrapd_.Stdout();
    std::size_t at = 0;
    while ((at = log.find(kTrapStart, at)) != std::string::npos) {
        const std::size_t end = log.find(kTrapEnd, at);
        if (end == std::string::npos) {
            break;  // still being written
        }
        const std::string block =
            log.substr(at + std::strlen(kTrapStart), end - at - std::strlen(kTrapStart));
        at = end;
        SnmpV1Trap trap;
        const std::size_t lineEnd = block.find('\n');
        std::istringstream head(block.substr(0, lineEnd));
        // snmptrapd prints the specific code of an enterprise trap as ".N".
        std::string specific;
        head >> trap.enterprise >> trap.generic >> specific;
        if (!specific.empty() && specific[0] == '.') {
            specific.erase(0, 1);
        }
        if (!specific.empty() && specific.find_first_not_of("0123456789") == std::string::npos) {
            trap.specific = std::stoi(specific);
        }
        // Bindings are separated by tabs; a long hex value runs over lines.
        std::string bindings = lineEnd == std::string::npos ? "" : block.substr(lineEnd + 1);
        std::string piece;
        for (std::size_t i = 0; i <= bindings.size(); ++i) {
            if (i == bindings.size() || bindings[i] == '\t') {
                if (!Trim(piece).empty()) {
                    trap.bindings.push_back(ParseOne(Trim(piece)));
                }
                piece.clear();
            } else {
                piece += bindings[i];
            }
        }
        traps.push_back(std::move(trap));
    }
    return traps;
}

bool SnmpMaster::WaitForTrap(const std::string& enterprise, int timeoutMs, SnmpV1Trap* trap) {
    const std::uint64_t end = platform::MonotonicMs() + static_cast<std::uint64_t>(timeoutMs);
    for (;;) {
        for (const SnmpV1Trap& t : Traps()) {
            if (t.enterprise == enterprise) {
                *trap = t;
                return true;
            }
        }
        if (platform::MonotonicMs() >= end) {
            return false;
        }
        ::usleep(20000);
    }
}

}  // namespace testsupport
