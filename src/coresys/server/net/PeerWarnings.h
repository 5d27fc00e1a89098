// Warnings about what a peer did wrong (a refused datagram, a failed
// connection attempt, a session refused at once), rate-limited per peer
// address, so that nobody can fill the disk with the service's reports.
//
// Each address may cause kBurst warnings per window of kWindowMs (of the
// suite's scaled clock); further ones are only counted. When the window is
// over, the count is reported once through the summary routine (the next
// Allow or Sweep after the window's end does it), and the address starts
// afresh. At most kMaxPeers addresses are followed: when a new one comes and
// none is free, the one whose window began first is summed up and dropped.
// Thread-safe; the summary routine runs outside the lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class PeerWarnings {
  public:
    static constexpr std::uint32_t kBurst = 10;
    static constexpr std::uint64_t kWindowMs = 60000;
    static constexpr std::size_t kMaxPeers = 1024;

    // peer: the address; suppressed: warnings not recorded in its window.
    using Summary = std::function<void(const std::string& peer, std::uint32_t suppressed)>;

    explicit PeerWarnings(Summary summary) : summary_(std::move(summary)) {}

    // True when a warning about peer may be recorded now; false when it is
    // only counted.
    bool Allow(const std::string& peer, std::uint64_t nowMs);
    // Reports the counts of the windows that are over and forgets the
    // addresses that have been quiet for a whole window.
    void Sweep(std::uint64_t nowMs);
    // When the next window with warnings not recorded is over (monotonic
    // ms); 0 when there is none.
    std::uint64_t NextSweepMs() const;

  private:
    struct Window {
        std::uint64_t start = 0;
        std::uint32_t recorded = 0;
        std::uint32_t suppressed = 0;
    };
    using Pending = std::vector<std::pair<std::string, std::uint32_t>>;

    // The window length in real milliseconds.
    static std::uint64_t WindowMs();
    // Ends the windows that are over (under the lock); their counts go to
    // *pending.
    void EndWindows(std::uint64_t nowMs, Pending* pending);
    void Report(const Pending& pending) const;

    Summary summary_;
    mutable std::mutex lock_;
    std::map<std::string, Window> peers_;
};
