// The console programs against the real service: OruServr in the console of
// a fresh root over strovsim's default cabinets (cabinet 0 "CABINET1": six
// members A1..B3, a spare in A4, units 0..2; cabinet 1 "CABINET2": four
// members, a spare in A3, units 0 and 1), which a test may change before
// the simulator starts. The simulator's clock is virtual: a test that waits
// on a long operation moves it on itself, or runs the program while the
// simulator's time follows real time (RunAdvancing).
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "NetServerFixture.h"
#include "ProgramRun.h"
#include "sim/CabinetModel.h"

namespace clitest {

class ProgramsOnServiceTest : public netsrvtest::NetServerTest {
  protected:
    void SetUp() override;
    // Changes the default cabinets before the simulator serves them.
    virtual void Prepare(sim::WorldModel&) {}

    // The program's waits ten times shorter.
    ProgramResult Run(const std::string& program, const std::vector<std::string>& arguments);
    // A run during which simulated time passes with real time, as fast as
    // the service's waits (kSimulatedSpeed), so that a long operation of the
    // array ends within the waits the service gives it.
    ProgramResult RunAdvancing(const std::string& program,
                               const std::vector<std::string>& arguments);
    // The service's speed factor of its fixed waits (NetServerTest::StartServer).
    static constexpr const char* kSimulatedSpeed = "100";

    // A cabinet as the simulator's state file holds it.
    sim::CabinetModel Cabinet(std::size_t n);
    // The lines of `strovsim show` about cabinet n.
    std::string Shown(int n);
    // The simulator's trace of one device path.
    std::string Trace(const std::string& path);

    static bool Bit(const std::vector<std::uint8_t>& page, std::size_t at, std::uint8_t mask) {
        return at < page.size() && (page[at] & mask) != 0;
    }
    static unsigned Be16(const std::vector<std::uint8_t>& page, std::size_t at) {
        return at + 1 < page.size() ? page[at] << 8 | page[at + 1] : 0u;
    }
};

}  // namespace clitest
