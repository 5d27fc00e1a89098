// strovsim serving tests/firmware/scenarios/firmware.json in a fresh machine
// root, and the programs run against it: download (with its waits 500
// times shorter), strovsim's control subcommands and strovfw.
//
// The scenario: cabinet 0 (00A0B8C0FFEE) with X on STROVANE0 and Y on
// STROVANE1, one drive of each download method in A1..B3 and a spare in
// A4; cabinet 1 (00A0B8C0FFEF) on STROVANE2 and 3; cabinet 2 (QX0000000003)
// with X alone on STROVANE4. download is another process, whose waits
// cannot move a virtual clock: simulated time runs 75 times faster than
// real time, the tool's waits 500 times shorter. A flash (30 s) then lasts
// about 200 of the tool's polls, of which it sleeps 17 before the first: it
// sees the controllers off the bus, then starting up, well within its 501.
// A restart (20 s) lasts over 250 ms, so the tool's first look finds the
// controller off the bus even on a loaded machine.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/FreshRoot.h"
#include "support/SimProcess.h"

namespace fwtest {

struct Ran {
    int code = -1;
    std::string out;
    std::string err;
};

// The lines of a text without consecutive repeats (the polls and passes
// whose number timing decides).
std::vector<std::string> CollapsedLines(const std::string& text);

// A restart keeps the controller off the bus for about 270 ms, so the tool's
// first state read after it fails with error 16, then it reads the state
// until ready. On a machine so loaded that the first read came after the
// restart was over, that failed read is not in the trace: this puts it back
// after each restart that lacks it, so the rest is still compared whole.
std::vector<std::string> WithOffBusAfterRestarts(std::vector<std::string> lines);

class DownloadMachine : public ::testing::Test {
  protected:
    void SetUp() override;

    // Runs download with these arguments; extra environment entries as
    // testsupport::ChildProcess takes them.
    Ran Download(const std::vector<std::string>& arguments,
                 const std::vector<std::string>& environment = {});
    // Starts it the same way without waiting for its end.
    bool StartDownload(testsupport::ChildProcess& child, const std::vector<std::string>& arguments,
                       const std::vector<std::string>& environment = {});
    // Runs one strovsim subcommand; its standard output.
    std::string Sim(const std::vector<std::string>& arguments);
    // Builds an image file under the root with strovfw's build arguments.
    std::string Build(const std::string& name, const std::vector<std::string>& arguments);

    std::string Sample(const std::string& name) const;
    std::vector<std::uint8_t> FileBytes(const std::string& path) const;

    std::vector<std::string> Trace(const std::string& path);
    void ClearTrace(const std::string& path);
    // The revision and reported state of a controller, and a drive's
    // revision, as "strovsim firmware CAB" shows them.
    std::string ControllerRevision(int cabinet, char controller);
    int ReportedState(int cabinet, char controller);
    std::string DriveRevision(int cabinet, const std::string& slot);

    testsupport::FreshRoot root_;
    testsupport::SimProcess sim_{root_, ORU_BIN_DIR};
};

// The two trace lines of one WRITE BUFFER piece sent to a drive through the
// exchange: the request block with its inner CDB, and the data phase.
std::vector<std::string> DrivePieceLines(std::uint8_t slot, const std::vector<std::uint8_t>& inner,
                                         const std::vector<std::uint8_t>& data);

}  // namespace fwtest
