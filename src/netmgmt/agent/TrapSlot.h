// The one pending trap between the poll thread, which posts, and the loader's
// thread, which takes it: the agent's trap event and trap mutex.
//
// The event is an eventfd the loader watches: Post writes it, and the loader
// reads it before it takes. A trap is free again only once the loader has
// both taken it (the first SnmpExtensionTrap call) and released it (the
// second), so a new one never overwrites what the loader still fills from.
// Post waits for that without spinning, and Stop ends the wait.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

namespace oruagent {

struct PendingTrap {
    std::uint32_t catalogId = 0;  // set * 1000 + number of the event text
    std::string text;             // at most 255 bytes
    std::string serialNumber;
    std::int32_t specific = 0;  // the subsystem status
};

class TrapSlot {
  public:
    enum class PostResult { kPosted, kNoEvent, kStopped, kSignalFailed };

    TrapSlot() = default;
    ~TrapSlot();
    TrapSlot(const TrapSlot&) = delete;
    TrapSlot& operator=(const TrapSlot&) = delete;

    // Creates the event (non-blocking, close-on-exec); false on failure.
    bool Create();
    // The descriptor that becomes readable when a trap waits; -1 before Create.
    int Descriptor() const { return fd_; }
    void Close();

    // Waits until the previous trap was taken and released (or Stop), then
    // stores this one and signals the event. kNoEvent before Create;
    // kSignalFailed (the trap withdrawn) when the event cannot be written.
    PostResult Post(PendingTrap trap);

    // First call of a take: the pending trap, if there is one (false
    // otherwise). The slot stays held until Release.
    bool Take(PendingTrap* trap);
    // Second call: true when a taken trap was held and is now released.
    bool Release();

    // Ends every wait of Post for good.
    void Stop();

  private:
    int fd_ = -1;
    std::mutex lock_;
    std::condition_variable changed_;
    bool pending_ = false;  // a trap was posted and not yet taken
    bool held_ = false;     // taken, not yet released
    bool stopping_ = false;
    PendingTrap trap_;
};

}  // namespace oruagent
