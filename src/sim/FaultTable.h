// Scripted faults of the simulated devices: for the next N commands that
// match a path and an opcode, answer BUSY, CHECK CONDITION with a given
// sense, a short transfer, a failed system call, or answer after a delay.
// Not thread-safe; the Simulator holds its lock around every call.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

enum class FaultKind { kBusy, kCheck, kShort, kSystemError, kDelay };

struct FaultRule {
    std::string path;  // device name, or "*" for every path
    int opcode = -1;   // -1 matches every opcode
    std::uint32_t count = 1;
    FaultKind kind = FaultKind::kBusy;
    std::uint8_t key = 0, asc = 0, ascq = 0;  // kCheck
    std::uint32_t value = 0;  // kShort: bytes moved; kSystemError: errno; kDelay: ms
};

class FaultTable {
  public:
    void Add(const FaultRule& rule) { rules_.push_back(rule); }

    // The first rule that matches, with its count taken down by one (a rule
    // whose count reaches 0 is dropped).
    std::optional<FaultRule> Take(const std::string& path, std::uint8_t opcode);

    void Clear() { rules_.clear(); }
    std::size_t Size() const { return rules_.size(); }

  private:
    std::vector<FaultRule> rules_;
};

}  // namespace sim
