// download's library against an in-process simulated cabinet: the scan
// finds the simulator's paths, what the routines print goes to files the
// test reads, and every fixed wait of the tool is cut to almost nothing.
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

// How much faster than real time the tool's waits and the simulator's long
// operations run. With these, a flash (30 s) lasts about 100 of the tool's
// polls, of which it sleeps 17 before the first: it sees the controllers off
// the bus, then starting up, well within its 501 polls.
constexpr double kToolScale = 500;
constexpr double kSimScale = 150;

class InProcessDownload : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Serves world (the simtest scenario when empty) instead of the default.
    void Serve(sim::WorldModel world);
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
