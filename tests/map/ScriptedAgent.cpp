#include "ScriptedAgent.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "netmgmt/agent/AgentMib.h"

namespace maptest {

namespace {

std::string Length(std::size_t n) {
    if (n < 0x80) {
        return std::string(1, static_cast<char>(n));
    }
    std::string bytes;
    for (std::size_t v = n; v != 0; v >>= 8) {
        bytes.insert(bytes.begin(), static_cast<char>(v & 0xFF));
    }
    return std::string(1, static_cast<char>(0x80 | bytes.size())) + bytes;
}

std::string Tlv(std::uint8_t tag, const std::string& content) {
    return std::string(1, static_cast<char>(tag)) + Length(content.size()) + content;
}

std::string IntegerContent(std::int64_t value) {
    std::string bytes;
    for (int i = 7; i >= 0; --i) {
        bytes += static_cast<char>((static_cast<std::uint64_t>(value) >> (8 * i)) & 0xFF);
    }
    // Minimal two's complement.
    while (bytes.size() > 1 && ((bytes[0] == 0 && (bytes[1] & 0x80) == 0) ||
                                (bytes[0] == static_cast<char>(0xFF) && (bytes[1] & 0x80) != 0))) {
        bytes.erase(0, 1);
    }
    return bytes;
}

std::string OidContent(const Arcs& arcs) {
    std::string bytes;
    auto base128 = [&](std::uint64_t v) {
        std::string part(1, static_cast<char>(v & 0x7F));
        for (v >>= 7; v != 0; v >>= 7) {
            part.insert(part.begin(), static_cast<char>(0x80 | (v & 0x7F)));
        }
        bytes += part;
    };
    base128(arcs.size() >= 2 ? arcs[0] * 40ULL + arcs[1] : 0);
    for (std::size_t i = 2; i < arcs.size(); ++i) {
        base128(arcs[i]);
    }
    return bytes;
}

std::string Bindings(const std::vector<Binding>& bindings) {
    std::string list;
    for (const Binding& b : bindings) {
        list += Tlv(0x30, Tlv(0x06, OidContent(b.name)) + Tlv(b.value.tag, b.value.content));
    }
    return Tlv(0x30, list);
}

std::string Message(const std::string& pdu) {
    return Tlv(0x30, Tlv(0x02, IntegerContent(0)) + Tlv(0x04, "public") + pdu);
}

// Reads one TLV at *at within bytes; false when it does not fit.
bool Read(const std::string& bytes, std::size_t* at, std::uint8_t* tag, std::string* content) {
    if (*at + 2 > bytes.size()) {
        return false;
    }
    *tag = static_cast<std::uint8_t>(bytes[*at]);
    std::size_t length = static_cast<std::uint8_t>(bytes[*at + 1]);
    std::size_t pos = *at + 2;
    if (length & 0x80) {
        const std::size_t count = length & 0x7F;
        if (count == 0 || count > 4 || pos + count > bytes.size()) {
            return false;
        }
        length = 0;
        for (std::size_t i = 0; i < count; ++i) {
            length = (length << 8) | static_cast<std::uint8_t>(bytes[pos++]);
        }
    }
    if (pos + length > bytes.size()) {
        return false;
    }
    *content = bytes.substr(pos, length);
    *at = pos + length;
    return true;
}

std::int64_t DecodeInteger(const std::string& content) {
    std::int64_t v = content.empty() || (content[0] & 0x80) == 0 ? 0 : -1;
    for (char c : content) {
        v = static_cast<std::int64_t>((static_cast<std::uint64_t>(v) << 8) |
                                      static_cast<std::uint8_t>(c));
    }
    return v;
}

Arcs DecodeOid(const std::string& content) {
    Arcs arcs;
    std::uint64_t v = 0;
    for (char c : content) {
        v = (v << 7) | (static_cast<std::uint8_t>(c) & 0x7F);
        if ((c & 0x80) == 0) {
            if (arcs.empty()) {
                arcs.push_back(static_cast<std::uint32_t>(v / 40));
                arcs.push_back(static_cast<std::uint32_t>(v % 40));
            } else {
                arcs.push_back(static_cast<std::uint32_t>(v));
            }
            v = 0;
        }
    }
    return arcs;
}

}  // namespace

std::string ComputersDatabase(const std::vector<std::string>& hosts) {
    using nlohmann::json;
    json objects = json::array();
    json symbols = json::array();
    for (std::size_t i = 0; i < hosts.size(); ++i) {
        objects.push_back({{"id", i + 1},
                           {"selectionName", hosts[i]},
                           {"hostname", hosts[i]},
                           {"fields", {{"isComputer", true}}}});
        symbols.push_back({{"id", i + 1},
                           {"submap", 1},
                           {"object", i + 1},
                           {"type", "Computer:Workstation"},
                           {"label", hosts[i]}});
    }
    const json db = {{"map", {{"name", "default"}, {"open", true}}},
                     {"objects", objects},
                     {"submaps", json::array({{{"id", 1}, {"name", "Root"}, {"parentObject", 0}}})},
                     {"symbols", symbols}};
    return db.dump(1);
}

Arcs View(std::initializer_list<std::uint32_t> below) {
    Arcs arcs(oruagent::kViewArcs.begin(), oruagent::kViewArcs.end());
    arcs.insert(arcs.end(), below);
    return arcs;
}

Value Integer(std::int64_t value) {
    return Value{0x02, IntegerContent(value)};
}

Value OctetString(const std::string& bytes) {
    return Value{0x04, bytes};
}

Value Null() {
    return Value{0x05, ""};
}

Value ObjectId(const Arcs& arcs) {
    return Value{0x06, OidContent(arcs)};
}

std::string EncodeResponse(std::int64_t requestId, std::int64_t errorStatus,
                           const std::vector<Binding>& bindings) {
    return Message(
        Tlv(0xA2, Tlv(0x02, IntegerContent(requestId)) + Tlv(0x02, IntegerContent(errorStatus)) +
                      Tlv(0x02, IntegerContent(errorStatus != 0 ? 1 : 0)) + Bindings(bindings)));
}

std::string EncodeTrap(const Trap& trap) {
    std::string timeTicks = IntegerContent(trap.timeStamp);
    return Message(
        Tlv(0xA4, Tlv(0x06, OidContent(trap.enterprise)) +
                      Tlv(0x40, std::string(trap.agentAddress.begin(), trap.agentAddress.end())) +
                      Tlv(0x02, IntegerContent(trap.generic)) +
                      Tlv(0x02, IntegerContent(trap.specific)) + Tlv(0x43, timeTicks) +
                      Bindings(trap.bindings)));
}

bool SendTrapTo(std::uint16_t port, const Trap& trap) {
    const std::string bytes = EncodeTrap(trap);
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const ssize_t sent =
        ::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    ::close(fd);
    return sent == static_cast<ssize_t>(bytes.size());
}

std::vector<Binding> TrapBindings(const std::string& serial, std::int64_t catalogId) {
    return {{View(), Integer(2)},
            {View(), OctetString(serial + std::string(1, '\0'))},
            {View(), Integer(catalogId)},
            {View(), OctetString(serial + ":event:rev:product" + std::string(1, '\0'))}};
}

bool DecodeRequest(const std::string& bytes, Request* request) {
    std::size_t at = 0;
    std::uint8_t tag = 0;
    std::string message;
    std::string field;
    if (!Read(bytes, &at, &tag, &message) || tag != 0x30) {
        return false;
    }
    std::size_t m = 0;
    std::string pdu;
    if (!Read(message, &m, &tag, &field) || !Read(message, &m, &tag, &field) ||
        !Read(message, &m, &tag, &pdu) || (tag != 0xA0 && tag != 0xA1)) {
        return false;
    }
    request->type = tag;
    std::size_t p = 0;
    std::string list;
    std::string binding;
    std::string name;
    if (!Read(pdu, &p, &tag, &field)) {
        return false;
    }
    request->requestId = DecodeInteger(field);
    if (!Read(pdu, &p, &tag, &field) || !Read(pdu, &p, &tag, &field) ||
        !Read(pdu, &p, &tag, &list)) {
        return false;
    }
    std::size_t l = 0;
    std::size_t b = 0;
    if (!Read(list, &l, &tag, &binding) || !Read(binding, &b, &tag, &name) || tag != 0x06) {
        return false;
    }
    request->name = DecodeOid(name);
    return true;
}

ScriptedAgent::ScriptedAgent(const std::string& address, std::uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_port = htons(port);
    if (fd_ < 0 || ::inet_pton(AF_INET, address.c_str(), &sin.sin_addr) != 1 ||
        ::bind(fd_, reinterpret_cast<sockaddr*>(&sin), sizeof sin) != 0) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = -1;
    }
}

ScriptedAgent::~ScriptedAgent() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void ScriptedAgent::SetRows(const std::vector<Row>& rows) {
    variables_.clear();
    variables_[View({1, 0})] = OctetString("ORUAgent.dll - Version:2");
    variables_[View({2, 0})] = Integer(static_cast<std::int64_t>(rows.size()));
    for (std::uint32_t r = 0; r < rows.size(); ++r) {
        variables_[View({3, 1, 2, r + 1})] = OctetString(rows[r].product);
        variables_[View({3, 1, 3, r + 1})] = OctetString(rows[r].serial);
        variables_[View({3, 1, 4, r + 1})] = OctetString(rows[r].revision);
        variables_[View({3, 1, 5, r + 1})] = OctetString(rows[r].code);
        variables_[View({3, 1, 6, r + 1})] = Integer(rows[r].status);
    }
}

void ScriptedAgent::AfterAnswers(std::size_t count, std::map<Arcs, Value> variables) {
    change_ = std::make_pair(count, std::move(variables));
}

std::string ScriptedAgent::Answer(const Request& request) {
    if (change_ && answered_ >= change_->first) {
        variables_ = std::move(change_->second);
        change_.reset();
    }
    ++answered_;
    auto it =
        request.type == 0xA0 ? variables_.find(request.name) : variables_.upper_bound(request.name);
    if (it == variables_.end()) {
        return EncodeResponse(request.requestId, 2, {{request.name, Null()}});  // noSuchName
    }
    return EncodeResponse(request.requestId, 0, {{it->first, it->second}});
}

int ScriptedAgent::Serve(std::uint64_t now) {
    if (fd_ < 0) {
        return 0;
    }
    for (;;) {
        Held held{};
        held.fromLength = sizeof held.from;
        char bytes[2048];
        socklen_t length = sizeof held.from;
        const ssize_t n = ::recvfrom(fd_, bytes, sizeof bytes, 0,
                                     reinterpret_cast<sockaddr*>(&held.from), &length);
        if (n <= 0) {
            break;
        }
        held.fromLength = length;
        ++seen_;
        if (whenAsked_) {
            std::function<void()> action = std::move(whenAsked_);
            whenAsked_ = nullptr;
            action();
        }
        if (!silent_ &&
            DecodeRequest(std::string(bytes, static_cast<std::size_t>(n)), &held.request)) {
            held_.push_back(held);
        }
    }
    int sent = 0;
    if (now < replyAt_) {
        return 0;
    }
    for (const Held& h : held_) {
        if (answered_ >= silentAfter_) {
            break;
        }
        const std::string answer = Answer(h.request);
        ::sendto(fd_, answer.data(), answer.size(), 0, reinterpret_cast<const sockaddr*>(&h.from),
                 h.fromLength);
        ++sent;
    }
    held_.clear();
    return sent;
}

std::optional<std::uint64_t> ScriptedAgent::NextDue() const {
    if (held_.empty()) {
        return std::nullopt;
    }
    return replyAt_;
}

void VirtualClock::Wait(const std::vector<int>& fds, std::uint64_t deadlineMs,
                        std::vector<int>* ready) {
    for (;;) {
        // One look at every agent's socket; only those with a request (or
        // an answer held back) are served.
        std::vector<pollfd> asked;
        for (ScriptedAgent* agent : agents_) {
            asked.push_back(pollfd{agent->Fd(), POLLIN, 0});
        }
        ::poll(asked.data(), asked.size(), 0);
        int sent = 0;
        for (std::size_t i = 0; i < agents_.size(); ++i) {
            if ((asked[i].revents & POLLIN) != 0 || agents_[i]->Holding()) {
                sent += agents_[i]->Serve(now_);
            }
        }
        // A loopback datagram is there by the time sendto returns; the short
        // real wait only covers a scheduler that is slow to deliver it.
        qxapp::PollReadable(fds, sent > 0 ? 50 : 0, ready);
        if (!ready->empty()) {
            return;
        }
        std::optional<std::uint64_t> next;
        for (ScriptedAgent* agent : agents_) {
            const std::optional<std::uint64_t> due = agent->NextDue();
            if (due && *due > now_ && (!next || *due < *next)) {
                next = due;
            }
        }
        if (next && *next < deadlineMs) {
            now_ = *next;
            continue;
        }
        if (deadlineMs == qxapp::kNoDeadline) {
            stalled_ = true;
            return;
        }
        now_ = std::max(now_, deadlineMs);
        return;
    }
}

}  // namespace maptest
