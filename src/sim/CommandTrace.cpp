#include "sim/CommandTrace.h"

#include <cstdio>

#include "sim/Crc32.h"

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
            std::snprintf(buf, sizeof buf, " error=%d", e.systemError);
        } else {
            std::snprintf(buf, sizeof buf, " status=%02x", e.status);
        }
        out += buf;
        if (!e.dataOut.empty())
            out += " out=" + e.dataOut;
        out += '\n';
    }
    return out;
}

std::string CommandTrace::DataSummary(const std::vector<std::uint8_t>& data) {
    constexpr std::size_t kWholeUpTo = 32;
    char buf[24];
    std::string out;
    if (data.size() <= kWholeUpTo) {
        for (std::uint8_t b : data) {
            std::snprintf(buf, sizeof buf, "%02x", b);
            out += buf;
        }
        return out;
    }
    std::snprintf(buf, sizeof buf, "%zu:%08x", data.size(), Crc32(data.data(), data.size()));
    return buf;
}

void CommandTrace::Clear(const std::string& path) {
    entries_.erase(path);
}

}  // namespace sim
