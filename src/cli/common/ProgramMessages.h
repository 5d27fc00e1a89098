// Program names and program messages of the command-line programs, the
// usage lines, and the exits that print them.
//
// A program message is a catalog text (set 9) led by the program's name and
// ":  "; each program passes its own program index. Messages go to standard
// error unless a caller says otherwise.
#pragma once

#include <cstddef>
#include <ostream>
#include <span>
#include <string>
#include <vector>

// Program indexes of the program-name table.
enum PROGRAM_INDEX : int {
    PROG_NONE = 0,  // no name: the message is printed without prefix
    PROG_DKLAYOUT = 1,
    PROG_DKVIEW = 2,
    PROG_DKWIPE = 3,
    PROG_DKJOURNAL = 4,
    PROG_DKTUNE = 5,
    PROG_DKMEND = 6,
    PROG_DKPROBE = 7,
    PROG_DKWATCH = 8,
    PROG_DKLEDGER = 9,
};

// Program-message indexes the library itself uses.
enum PROGRAM_MESSAGE : int {
    PM_OUT_OF_RANGE = 0,   // a switch value out of its range
    PM_NOT_A_NUMBER = 1,   // a numeric value that is no number or too large
    PM_NO_CONNECTION = 2,  // the array could not be connected
    PM_NO_REPLY = 3,       // no reply within the time-out
    PM_NOT_FOUND = 4,      // the array identifier matches no array
    PM_BAD_SWITCH = 5,     // unknown or malformed switch
    PM_REQUEST_FAILED = 6,
    PM_EXIT_LEVEL = 7,  // the -E exit
};

// The program's name: "" for PROG_NONE, the table's name for 1..9, and for
// any other index the catalog's word for an unknown program.
std::string ProgramName(int programIndex);

// The five program-message lines. Each is at most kLineSize - 1 characters;
// longer messages are cut.
struct ProgramMessageLines {
    static constexpr std::size_t kLineCount = 5;
    static constexpr std::size_t kLineSize = 255;
    char line[kLineCount][kLineSize];
};

// Clears the five lines and fills line 0 with the program prefix and the
// text of the message. The lines are the library's and stay valid until the
// next call.
ProgramMessageLines& GetProgramMessage(int messageIndex, int programIndex);

// Writes line 0 of the message, without a new line.
void PrintProgramMessage(int messageIndex, int programIndex, std::ostream& out);

// Flushes standard output, writes line 0 of the message and a new line to
// standard error and ends the process with exitCode.
[[noreturn]] void ExitWithProgramMessage(int messageIndex, int programIndex, int exitCode);

// Writes each line followed by a new line, up to the first empty one, to
// standard error and ends the process with exitCode.
[[noreturn]] void ExitWithMessages(const ProgramMessageLines& lines, int exitCode);
[[noreturn]] void ExitWithMessages(const std::vector<std::string>& lines, int exitCode);

// The program's usage lines.
class Usage {
  public:
    // Loads items first..last of the program's catalog set; the list ends
    // at the first empty text or at last.
    static void Load(int set, int first, int last);
    // Loads the given items of the program's catalog set, in their order.
    static void LoadItems(int set, std::span<const int> items);
    // Sets the lines directly (programs whose usage is built otherwise).
    static void Set(std::vector<std::string> lines);
    static const std::vector<std::string>& Lines();
    // The usage exit: the usage lines on standard error, exit code 2.
    [[noreturn]] static void Exit();
};
