// download's library against an in-process simulated cabinet: the scan
// finds the simulator's paths, what the routines print goes to files the
// test reads, and every fixed wait of the tool is cut to almost nothing. The
// simulator's clock is virtual: it stands still unless a test advances it or
// lets it follow the tool's waits.
//
// The cabinet is simtest's (tests/sim/SimTestUtil.h): CAB000000001 with
// controller X on STROVANE0 (active) and Y on STROVANE1, a plain disk on
// PHYSICALDRIVE0.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "coresys/server/scsi/DeviceRecord.h"
#include "sim/Simulator.h"
#include "tools/firmware/DownloadController.h"

namespace fwtest {

// The tool's waits run 500 times shorter than they say.
constexpr double kToolScale = 500;

class InProcessDownload : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Serves world (the simtest scenario when empty, on a virtual clock)
    // instead of the default.
    void Serve(sim::WorldModel world);
    // Makes the simulated clock move by exactly the time the tool waits
    // (every platform::SleepMs), so a run is the same however fast the
    // machine is: the 17 s after a flash are 17 s of the 30 s flash.
    void FollowToolWaits();
    // Scans and makes the controller on STROVANE0 the current one.
    void UseControllerX();

    // What the tool printed so far on standard output and error.
    std::string Out();
    std::string Err();
    // The command trace of a path, one line per command; cleared by ClearTrace.
    std::vector<std::string> Trace(const std::string& path = "STROVANE0");
    void ClearTrace(const std::string& path = "STROVANE0");
    void Control(const std::string& line);

    // Runs download's main with these arguments (program name first).
    int Run(const std::vector<std::string>& argv);

    // Writes a file in a temporary directory; its path.
    std::string WriteFile(const std::string& name, const std::vector<std::uint8_t>& bytes);

    std::shared_ptr<sim::Simulator> sim;
    DeviceRecord* list = nullptr;
    std::unique_ptr<download::DownloadController> controller;

  private:
    static std::string ReadAll(std::FILE* file);

    std::FILE* out_ = nullptr;
    std::FILE* err_ = nullptr;
    std::string dir_;
};

}  // namespace fwtest
