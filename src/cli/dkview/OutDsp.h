// dkview: the command line, and the run that fetches the array's state and
// prints the chosen display.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "cli/common/CommandReply.h"
#include "cli/dkview/TimeWindow.h"

class DiskArray;
class QEN;

namespace dkview {

// One display per run.
enum DISPLAY_KIND : std::int32_t {
    DK_NONE = 0,
    DK_ALL = 2,          // -a
    DK_SUMMARY = 3,      // no display switch
    DK_UNITS = 4,        // -l [n]
    DK_SETTINGS = 5,     // -s
    DK_HARDWARE = 6,     // -h
    DK_GEOMETRY = 7,     // -v
    DK_CONTROLLERS = 8,  // -c
    DK_DRIVES = 9,       // -d
    DK_LIST = 10,        // -i
    DK_PERF_RECS = 11,   // -r start end
    DK_METRICS = 12,     // -m start end [interval]
    DK_RESCAN = 28,      // -R
    DK_SERVER = 29,      // -A
};

class OutDsp {
  public:
    std::int32_t exitLevel = -1;  // -E; -1: none
    bool raw = false;             // -S
    bool verbose = false;         // -V
    DISPLAY_KIND kind = DK_NONE;
    std::int32_t unit = -1;  // -l n; -1: all units
    TimeWindow window;
    std::optional<CommandReply> lastReply;
    std::string arrayId;
    std::uint32_t reportController = 0;

    // Reads the command line. "-?" prints the long help and ends with 0;
    // anything malformed ends in the usage exit (2) after its message.
    void ParseArguments(int argc, char** argv);

    // Runs the display against the service; returns the exit code (0) or
    // ends the process with the code of a failure.
    int Output();

  private:
    void SetKind(DISPLAY_KIND wanted);
    int ListArrays(QEN& qen);
    int Rescan(QEN& qen);
    void Performance(QEN& qen, DiskArray*& array, const class ArrayReport& report);
};

// The long help on standard output.
void PrintLongHelp();

}  // namespace dkview
