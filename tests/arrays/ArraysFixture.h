// The host side against a real strovsim: a fresh ORU_ROOT, "strovsim serve"
// on the default scenario (two cabinets, each with controllers X and Y on
// two paths, and one plain disk), the array scan run, and helpers to find a
// controller's record, read what strovsim itself reports ("show", "trace")
// and drive its command line.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "coresys/server/scsi/ScsiDeviceTable.h"
#include "coresys/server/storsys/StorSys.h"
#include "support/FreshRoot.h"
#include "support/SimProcess.h"

namespace arrays_test {

// One drive line of "strovsim show".
struct ShownDrive {
    std::string serial;
    int state = -1;
    std::uint32_t blocks = 0;
};

// One cabinet of "strovsim show".
struct ShownCabinet {
    std::string serial;
    int state = -1;
    char active = '?';
    std::uint32_t sequence = 0;
    std::string alias;
    std::string controllerSerial[2];
    std::map<int, ShownDrive> drives;          // by slot 0..11
    std::map<int, std::uint32_t> lunBlocks;    // by LUN
    std::map<std::string, std::string> paths;  // path name -> "cabinet C controller X"
};

// Slot number of a slot name (A1 = 0, B1 = 1, ... B6 = 11); -1 when not one.
int SlotNumber(const std::string& name);

// A fixed-width text field without its blank padding.
std::string Trim(const char* text);

// Byte 1 of the subsystem state block, read through s (ctl 0).
std::uint32_t SubsystemStateOf(StorSys& s);
// Byte 1 of the drive state reply for a slot.
std::uint32_t DriveStateOf(StorSys& s, std::uint8_t slot);

class ArraysTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Runs one strovsim subcommand; its exit code (0 done).
    int Cli(const std::vector<std::string>& arguments, std::string* output = nullptr);
    // Parses "strovsim show" (cabinets in order).
    std::vector<ShownCabinet> Show();
    // The record the scan kept for a controller (0 = X, 1 = Y) of a cabinet,
    // or nullptr.
    const DeviceRecord* RecordOf(int cabinet, int controller) const;
    // The name of the path the scan kept for that controller: the first one
    // a scan reaches (disk names before array names, by number).
    std::string PathOf(int cabinet, int controller);
    // The command trace of a path, one "op=.. cdb=.. status=.." line each.
    std::vector<std::string> TraceOf(const std::string& path);
    void ClearTrace(const std::string& path);

    testsupport::FreshRoot root;
    std::unique_ptr<testsupport::SimProcess> sim;
    DeviceRecord* list = nullptr;
    ScsiResult scanResult;
};

}  // namespace arrays_test
