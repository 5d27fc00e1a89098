#include "coresys/server/device/DeviceMgr.h"

#include "coresys/server/winnt/Service/ServerText.h"
#include "platform/Trace.h"

DeviceMgr::DeviceMgr() {
    platform::Trace("%s", ServerText(TEXT_DEVICE_CONSTRUCTOR).c_str());
}

DeviceMgr::~DeviceMgr() {
    platform::Trace("%s", ServerText(TEXT_DEVICE_DESTRUCTOR).c_str());
    deviceTask_.reset();
}

void DeviceMgr::Init() {
    platform::Trace("%s", ServerText(TEXT_DEVICE_INIT_COMPLETE).c_str());
    deviceTask_ = std::make_unique<DeviceMgrTask>(0);
}

void DeviceMgr::BeginShutdown() {
    platform::Trace("%s", ServerText(TEXT_DEVICE_BEGIN_SHUTDOWN).c_str());
    // The device task answers no stop request: destroying it ends its thread.
    deviceTask_.reset();
}
