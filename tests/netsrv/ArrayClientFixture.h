// The real service over strovsim with one libqen client connected to one of
// the simulated arrays: the setting of the end-to-end tests that watch what a
// client's copy of the state shows.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "NetServerFixture.h"
#include "client/DiskArray.h"
#include "client/QEN.h"
#include "support/SimProcess.h"

namespace netsrvtest {

class ArrayClientTest : public NetServerTest {
  protected:
    // Starts strovsim, configures the administration path, starts the service
    // with the environment given and connects to the array `serial`.
    void StartAndConnect(const char* serial, const std::vector<std::string>& environment);
    void TearDown() override;

    // GetState, then PollQEN until its final reply; true when that reply is a
    // state (the client's copy then holds it).
    bool FetchState();
    const DiskArrayState& State() { return *array_->GetStatePtr(); }

    testsupport::SimProcess sim_{root_, ORU_BIN_DIR};
    std::string admin_;
    std::unique_ptr<QEN> qen_;
    DiskArray* array_ = nullptr;
};

}  // namespace netsrvtest
