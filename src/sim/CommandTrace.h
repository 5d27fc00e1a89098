// Per-path record of the commands a simulated device received, for tests
// that check what a host sent and in which order. Keeps the latest
// kMaxEntries per path. Not thread-safe; the Simulator locks around it.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace sim {

struct TraceEntry {
    std::vector<std::uint8_t> cdb;
    std::uint8_t status = 0;
    int systemError = 0;
};

class CommandTrace {
  public:
    static constexpr std::size_t kMaxEntries = 4096;

    void Add(const std::string& path, TraceEntry entry);

    // One line per command, oldest first: "op=12 cdb=120180003000 status=00"
    // or "op=12 cdb=... error=5" for a command answered with a system error.
    std::string Format(const std::string& path) const;

    void Clear(const std::string& path);

  private:
    std::map<std::string, std::deque<TraceEntry>> entries_;
};

}  // namespace sim
