// vxqxoru's application object: starts the platform connection and the map
// object behind a hidden main window, refreshes the map once a day at idle
// time, and leaves the platform at exit.
#pragma once

#include <cstdint>
#include <memory>

#include "netmgmt/map/ArrayMap.h"
#include "netmgmt/map/standin/AppLoop.h"

namespace vxqxoru {

// The daily refresh: a deadline on the 32-bit tick count, compared as a
// signed difference so that it expires correctly across the wrap.
class RefreshTimer {
  public:
    static constexpr std::uint32_t kPeriodMs = 86400000;

    RefreshTimer(std::uint32_t nowTicks, std::uint32_t periodMs)
        : deadline_(nowTicks + periodMs), period_(periodMs) {}
    // True when the deadline has passed; the next deadline is then a period
    // from now.
    bool Expired(std::uint32_t nowTicks);
    std::uint32_t Deadline() const { return deadline_; }
    std::uint32_t Period() const { return period_; }

  private:
    std::uint32_t deadline_;
    std::uint32_t period_;
};

class MapApplication : public qxapp::Application {
  public:
    MapApplication() = default;
    // Frees the timer and releases the map object.
    ~MapApplication() override;

    // Hidden main window; then, when the platform can be reached, the map
    // object, the first walk of the map's computers and the timer. Always true.
    bool InitInstance() override;
    // The daily refresh and the delayed re-reads when they are due.
    bool OnIdle(long count) override;
    // Leaves the platform.
    int ExitInstance(int quitCode) override;

    ArrayMap* Map() { return map_.get(); }
    const RefreshTimer* Timer() const { return timer_.get(); }

  private:
    // Asks the loop to wake the idle processing when the next timer is due.
    void ArmWakeUp();

    std::unique_ptr<qxapp::FrameWindow> frame_;
    std::unique_ptr<ArrayMap> map_;
    std::unique_ptr<RefreshTimer> timer_;
};

}  // namespace vxqxoru
