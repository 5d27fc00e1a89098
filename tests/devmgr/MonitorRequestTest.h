// Requests sent as a client sends them, through the subsystem monitor of
// QX0000000001 and its task, over in-process simulated cabinets (the
// default world) and a device manager that found them, with the request
// dispatch installed and the monitors' timers off.
//
// A test that needs more around the device manager (a service log, a clock
// that follows the simulated one) sets it up in BeforeManager(), once the
// cabinets stand, and takes it down in AfterManager(), once the manager went.
// The fixture is compiled into each test that uses it (it needs the
// dispatch library and GoogleTest).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "InProcessCabinets.h"
#include "RecordingClient.h"
#include "coresys/server/device/DeviceMgr.h"
#include "coresys/server/monitor/OruLite.h"

namespace devmgrtest {

class MonitorRequestTest : public ::testing::Test {
  protected:
    // How long one request may take.
    static constexpr int kRequestLimitMs = 20000;

    void SetUp() override;
    void TearDown() override;
    virtual void BeforeManager() {}
    virtual void AfterManager() {}

    // What the client got for one request.
    struct Exchange {
        std::vector<std::vector<unsigned char>> replies;
        std::vector<ReplyWords> words;
    };
    // Sends one request as a client and waits until it is done.
    Exchange Submit(const std::vector<unsigned char>& bytes);

    std::unique_ptr<InProcessCabinets> cabinets_;
    std::unique_ptr<DeviceMgr> manager_;
    OruLite* monitor_ = nullptr;
};

}  // namespace devmgrtest
