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
    std::string dataOut;  // DataSummary of the data the host sent, "" for none
};

class CommandTrace {
  public:
    static constexpr std::size_t kMaxEntries = 4096;

    void Add(const std::string& path, TraceEntry entry);

    // One line per command, oldest first: "op=12 cdb=120180003000 status=00"
    // or "op=12 cdb=... error=5" for a command answered with a system error;
    // a command that carried data out ends with " out=" and its summary.
    std::string Format(const std::string& path) const;

    // The bytes in hex when there are at most 32 of them, else the count and
    // their CRC-32 (Crc32.h) in hex: "0a0b0c" or "65532:1c291ca3".
    static std::string DataSummary(const std::vector<std::uint8_t>& data);

    void Clear(const std::string& path);

  private:
    std::map<std::string, std::deque<TraceEntry>> entries_;
};

}  // namespace sim
