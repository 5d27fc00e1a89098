#include "sim/StrovsimTexts.h"

namespace sim {

namespace {

struct Entry {
    StrovsimText id;
    const char* text;
};

constexpr Entry kTexts[] = {
    {StrovsimText::kUsage,
     "usage: strovsim COMMAND [ARGUMENTS]\n"
     "The simulated Strovane controllers, served under ORU_ROOT/dev.\n"
     "\n"
     "  serve [--daemon] [--scenario FILE | --recovery STATE] [--time-scale FACTOR]\n"
     "                      serve the cabinets (the saved state, else FILE, else the\n"
     "                      default: two cabinets and one plain disk); --recovery\n"
     "                      serves one cabinet (QXSALVAGE001) in a state the recovery\n"
     "                      tool meets: needs-recovery, several-sets, unassigned,\n"
     "                      parity-scan, severe, conditions, recovery-stopped,\n"
     "                      in-progress, old-firmware or healthy\n"
     "  load FILE           replace the cabinets with a scenario file\n"
     "  show                print the cabinets and paths\n"
     "  stop                stop the running server\n"
     "  trace PATH          print the commands PATH received\n"
     "  clear-trace PATH    forget them\n"
     "  pull CAB SLOT | insert CAB SLOT [SERIAL] | fail-drive CAB SLOT\n"
     "  fail-controller CAB X|Y | remove-controller CAB X|Y | restore-controller CAB X|Y\n"
     "  remove-path NAME | add-path NAME\n"
     "  silence CAB X|Y PAGE | silence-op CAB X|Y OPCODE | unsilence CAB X|Y\n"
     "  refuse CAB X|Y COUNT NUMBER   refuse the host sequence COUNT times with NUMBER\n"
     "  fault PATH|* OPCODE|* COUNT busy | check KEY ASC ASCQ | short BYTES |\n"
     "                                   syserr ERRNO | delay MS\n"
     "  clear-faults | log CAB CODE SLOT | advance MS | timescale FACTOR\n"
     "  media-error CAB SLOT LBA [COUNT] [read|write|corrupt]\n"
     "                      make COUNT blocks (default 1) of a drive fail reads and\n"
     "                      verifies (the default), fail writes, or read back altered\n"
     "  clear-media-errors CAB SLOT\n"
     "  firmware CAB [show]  the controllers' and drives' firmware, a flash under way\n"
     "  firmware CAB interrupt | stall | release\n"
     "                      cut the power during a flash; make the next flash hang;\n"
     "                      let it finish\n"
     "  firmware CAB revision X|Y REV | init-fail SLOT\n"
     "                      give a controller another revision; make a drive fail\n"
     "                      its initialization at the next restart\n"
     "\n"
     "CAB is a cabinet index or serial, SLOT A1..B6 or 0..11, numbers in hex for\n"
     "pages, opcodes and sense bytes. FACTOR: simulated ms per real ms (default 1);\n"
     "0 stops the simulated clock, which then moves only by advance.\n"
     "Exit codes: 0 done, 1 failed, 2 bad argument.\n"},
    {StrovsimText::kUnknownCommand, "strovsim: unknown command \"%s\" (see strovsim --help)\n"},
    {StrovsimText::kNotRunning, "strovsim: no server is running under %s\n"},
    {StrovsimText::kAlreadyRunning, "strovsim: a server is already running under %s\n"},
    {StrovsimText::kBadOption, "strovsim: bad option \"%s\" (see strovsim --help)\n"},
    {StrovsimText::kMissingArgument, "strovsim: %s needs an argument (see strovsim --help)\n"},
    {StrovsimText::kStateUnreadable,
     "strovsim: the state file %s is damaged (%s); it is left as it is\n"},
    {StrovsimText::kScenarioBad, "strovsim: bad scenario %s: %s\n"},
    {StrovsimText::kStartFailed, "strovsim: cannot serve: %s: %s\n"},
    {StrovsimText::kStopTimeout, "strovsim: the server (pid %d) did not stop\n"},
    {StrovsimText::kStopped, "strovsim: stopped\n"},
    {StrovsimText::kLoaded, "strovsim: loaded %s\n"},
    {StrovsimText::kLoadedOffline, "strovsim: saved %s as the state the next server starts with\n"},
    {StrovsimText::kWriteFailed, "strovsim: cannot write %s: %s\n"},
    {StrovsimText::kRefused, "strovsim: %s\n"},
    {StrovsimText::kNoReply, "strovsim: the server did not answer\n"},
    {StrovsimText::kServing, "strovsim: serving %d paths under %s\n"},
};

}  // namespace

const char* Text(StrovsimText id) {
    for (const auto& e : kTexts) {
        if (e.id == id)
            return e.text;
    }
    return "";
}

}  // namespace sim
