// Array states for the comparison tests: a monitor without controllers (its
// state build stops at once and leaves every list at its full length), and a
// valid, filled-in state of one subsystem to start each case from.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "coresys/server/events/ComparisonEffects.h"
#include "coresys/server/state/ServerDiskArrayState.h"

namespace eventtest {

inline constexpr const char* kSerial = "QX0000000001";

class BareMonitor : public ServerDiskArrayState::Source {
  public:
    int SelectActiveController() override { return -1; }
    int ActiveController() const override { return -1; }
    StorSys* Controller(int) override { return nullptr; }
    const char* BackplaneId() const override { return kSerial; }
    std::uint32_t SequenceFlag() const override { return 0; }
    std::uint32_t LogSuspended() const override { return 0; }
    std::uint32_t DriveDiagnosticState(std::uint32_t) const override { return 0; }
    void Notice(const char*) override {}
    void SetStateInvalid(bool) override {}
    bool CompareStates(const ServerDiskArrayState&, ServerDiskArrayState&) override {
        return false;
    }
    void ReadControllerLog() override {}
    void WriteLogRecord(const unsigned char*, std::uint32_t) override {}
};

// A valid state: controllers X (active) and Y with one module of each kind,
// subsystem state 0, all three pages, drives in slots 0..5, two LUNs, a
// hardware record of three and two values.
std::unique_ptr<ServerDiskArrayState> ValidState(BareMonitor& monitor);

// What a comparison asked of the monitor, in order ("replaced 2", ...).
class RecordedEffects : public ComparisonEffects {
  public:
    void DriveReplaced(std::uint32_t slot) override {
        calls.push_back("replaced " + std::to_string(slot));
    }
    void DriveStateChanged(std::uint32_t slot, std::uint32_t state) override {
        calls.push_back("state " + std::to_string(slot) + " " + std::to_string(state));
    }
    void ControllerReplaced(std::uint32_t slot) override {
        calls.push_back("controller " + std::to_string(slot));
    }
    std::vector<std::string> calls;
};

}  // namespace eventtest
