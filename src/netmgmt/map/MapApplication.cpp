#include "netmgmt/map/MapApplication.h"

#include "netmgmt/map/SnmpPoller.h"
#include "netmgmt/map/standin/Qxw.h"

namespace vxqxoru {

namespace {

// The interface version of the map library the application was written for.
constexpr int kPlatformVersion = 5;
// The main window's timer that only wakes the idle processing.
constexpr std::uintptr_t kWakeTimer = 1;

}  // namespace

bool RefreshTimer::Expired(std::uint32_t nowTicks) {
    if (static_cast<std::int32_t>(deadline_ - nowTicks) >= 0) {
        return false;
    }
    deadline_ = nowTicks + period_;
    return true;
}

MapApplication::~MapApplication() {
    timer_.reset();
    map_.reset();
    frame_.reset();
}

bool MapApplication::InitInstance() {
    qxapp::AppLoop& loop = *qxapp::AppLoop::Current();
    frame_ = std::make_unique<qxapp::FrameWindow>();
    loop.SetMainWindow(frame_->Handle());
    frame_->Show(false);
    if (_QXwInit(kPlatformVersion) != 0) {
        return true;  // idle with the hidden window until closed
    }
    map_ = std::make_unique<ArrayMap>();
    map_->Poller().WalkComputers();
    map_->SyncSymbols();
    timer_ = std::make_unique<RefreshTimer>(loop.Clock().Ticks(), RefreshTimer::kPeriodMs);
    return true;
}

bool MapApplication::OnIdle(long count) {
    if (Application::OnIdle(count)) {
        return true;
    }
    qxapp::AppLoop& loop = *qxapp::AppLoop::Current();
    if (timer_ != nullptr && timer_->Expired(loop.Clock().Ticks())) {
        map_->Poller().WalkComputers();
        map_->SyncSymbols();
    }
    if (map_ != nullptr) {
        map_->Poller().ReadDueHosts();
    }
    ArmWakeUp();
    return false;
}

void MapApplication::ArmWakeUp() {
    qxapp::AppLoop& loop = *qxapp::AppLoop::Current();
    if (frame_ == nullptr || frame_->Handle() == 0 || timer_ == nullptr) {
        return;
    }
    const std::uint64_t now = loop.Clock().NowMs();
    const auto left = static_cast<std::int32_t>(timer_->Deadline() - loop.Clock().Ticks());
    std::uint64_t due = now + (left > 0 ? static_cast<std::uint64_t>(left) : 0) + 1;
    if (map_ != nullptr) {
        if (const std::optional<std::uint64_t> read = map_->Poller().NextReadDue()) {
            due = std::min(due, std::max(*read, now));
        }
    }
    loop.SetTimer(frame_->Handle(), kWakeTimer, due);
}

int MapApplication::ExitInstance(int quitCode) {
    QXwDone();
    return Application::ExitInstance(quitCode);
}

}  // namespace vxqxoru
