#include "coresys/server/net/PeerWarnings.h"

#include "platform/Clock.h"

std::uint64_t PeerWarnings::WindowMs() {
    return platform::ScaledMs(kWindowMs);
}

void PeerWarnings::EndWindows(std::uint64_t nowMs, Pending* pending) {
    const std::uint64_t window = WindowMs();
    for (auto it = peers_.begin(); it != peers_.end();) {
        if (nowMs < it->second.start + window) {
            ++it;
            continue;
        }
        if (it->second.suppressed > 0) {
            pending->emplace_back(it->first, it->second.suppressed);
        }
        it = peers_.erase(it);
    }
}

void PeerWarnings::Report(const Pending& pending) const {
    if (!summary_) {
        return;
    }
    for (const auto& [peer, suppressed] : pending) {
        summary_(peer, suppressed);
    }
}

bool PeerWarnings::Allow(const std::string& peer, std::uint64_t nowMs) {
    Pending pending;
    bool allowed = false;
    {
        std::lock_guard<std::mutex> hold(lock_);
        auto found = peers_.find(peer);
        if (found != peers_.end() && nowMs >= found->second.start + WindowMs()) {
            if (found->second.suppressed > 0) {
                pending.emplace_back(found->first, found->second.suppressed);
            }
            peers_.erase(found);
            found = peers_.end();
        }
        if (found == peers_.end()) {
            if (peers_.size() >= kMaxPeers) {
                EndWindows(nowMs, &pending);
            }
            if (peers_.size() >= kMaxPeers) {
                auto oldest = peers_.begin();
                for (auto it = peers_.begin(); it != peers_.end(); ++it) {
                    if (it->second.start < oldest->second.start) {
                        oldest = it;
                    }
                }
                if (oldest->second.suppressed > 0) {
                    pending.emplace_back(oldest->first, oldest->second.suppressed);
                }
                peers_.erase(oldest);
            }
            found = peers_.emplace(peer, Window{nowMs, 0, 0}).first;
        }
        Window& window = found->second;
        if (window.recorded < kBurst) {
            ++window.recorded;
            allowed = true;
        } else {
            ++window.suppressed;
        }
    }
    Report(pending);
    return allowed;
}

void PeerWarnings::Sweep(std::uint64_t nowMs) {
    Pending pending;
    {
        std::lock_guard<std::mutex> hold(lock_);
        EndWindows(nowMs, &pending);
    }
    Report(pending);
}

std::uint64_t PeerWarnings::NextSweepMs() const {
    std::lock_guard<std::mutex> hold(lock_);
    std::uint64_t next = 0;
    const std::uint64_t window = WindowMs();
    for (const auto& [peer, state] : peers_) {
        if (state.suppressed > 0 && (next == 0 || state.start + window < next)) {
            next = state.start + window;
        }
    }
    return next;
}
