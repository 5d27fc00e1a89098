#include "sim/CommandTrace.h"

#include <cstdio>

namespace sim {

void CommandTrace::Add(const std::string& path, TraceEntry entry) {
    auto& q = entries_[path];
    q.push_back(std::move(entry));
    if (q.size() > kMaxEntries)
        q.pop_front();
}

std::string CommandTrace::Format(const std::string& path) const {
    std::string out;
    auto it = entries_.find(path);
    if (it == entries_.end())
        return out;
    char buf[16];
    for (const auto& e : it->second) {
        std::snprintf(buf, sizeof buf, "op=%02x cdb=", e.cdb.empty() ? 0 : e.cdb[0]);
        out += buf;
        for (std::uint8_t b : e.cdb) {
            std::snprintf(buf, sizeof buf, "%02x", b);
            out += buf;
        }
        if (e.systemError != 0) {
            std::snprintf(buf, sizeof buf, " error=%d\n", e.systemError);
        } else {
            std::snprintf(buf, sizeof buf, " status=%02x\n", e.status);
        }
        out += buf;
    }
    return out;
}

void CommandTrace::Clear(const std::string& path) {
    entries_.erase(path);
}

}  // namespace sim
