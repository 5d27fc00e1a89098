// What flashpane knows and does, apart from its window: the arrays found by
// "download -i", the firmware file chosen, the download child and its
// exit code, the download log. Knows nothing of widgets; the window draws
// it and hands it the user's commands.
//
// flashpane never talks to an array: it runs the program download with an
// argument vector (never a shell), looked for in the current directory
// first and then beside flashpane, with its standard output in a file, and
// reads what it printed and its exit code.
#pragma once

#include <string>
#include <vector>

#include "platform/Process.h"

namespace flashpane {

// The list entries of a listing: in each line, the first run of exactly 12
// hexadecimal digits that is followed by another character starts the
// entry, which runs to the end of the line; lines end at CR or LF, empty
// lines are skipped, and an entry is dropped when one already listed begins
// with the same text (case ignored).
std::vector<std::string> ParseArrayListing(const std::string& listing);

// The array id of a list entry: its first 12 characters ("" for none).
std::string ArrayIdOf(const std::string& entry);

// The arguments of a controller download: -c, the file, and the array id
// when one is selected (without one, download refuses the line: exit 2).
std::vector<std::string> DownloadArguments(const std::string& firmwarePath,
                                           const std::string& selectedEntry);

// The command line as the log shows it: the words joined by blanks, a word
// with blanks or quotes in double quotes.
std::string CommandLineText(const std::string& program, const std::vector<std::string>& arguments);

// The download log: a header naming the command line, then every non-empty
// line of the download's output; lines end with CR LF.
std::string DownloadLog(const std::string& commandLine, const std::string& output);

// The message and caption that tell the user what an exit code means.
struct ExitMessage {
    std::string text;
    std::string caption;
};
ExitMessage MessageForExit(int exitCode);

// The download program: ./download when the current directory holds one,
// else download beside this program; "" when neither can be run.
std::string FindDownload(const std::string& currentDirectory, const std::string& ownDirectory);

// True when the machine's registry holds the key HKEY_LOCAL_MACHINE\Cluster.
bool ClusterKeyPresent();

// The file name after the last path separator.
std::string BaseName(const std::string& path);

// Files flashpane writes in the current directory.
inline constexpr const char* kVerboseFile = "verbose.out";
inline constexpr const char* kLogFile = "fwdl.log";

// Why download was not started, and what the failure concerned.
struct StartOutcome {
    enum class Problem {
        kNone,            // it runs (or ran)
        kBusy,            // a download is running already
        kProgramMissing,  // no download here nor beside flashpane
        kOutputFile,      // the file for its output could not be created
        kProgramFailed,   // found, but it could not be started
    };
    Problem problem = Problem::kNone;
    int error = 0;     // the errno of the failure
    std::string path;  // the output file, or the program
    bool Started() const { return problem == Problem::kNone; }
};

class FlashpaneModel {
  public:
    // ownDirectory: where flashpane itself lives (the second place to look
    // for download).
    explicit FlashpaneModel(std::string ownDirectory);

    // Runs "download -i" (waiting for it without a limit) and reads the
    // arrays from its output. When download cannot be run the outcome says
    // why, and the list is empty.
    StartOutcome Discover();
    const std::vector<std::string>& Arrays() const { return arrays_; }

    // The firmware file; a path shorter than 2 characters changes nothing.
    // False when the path is longer than download takes.
    bool ChooseFirmware(const std::string& path);
    const std::string& Firmware() const { return firmware_; }

    bool Verbose() const { return verbose_; }
    void SetVerbose(bool on) { verbose_ = on; }

    // Starts "download -c <file> <id of the entry>" with its standard output
    // in verbose.out; the outcome says why when it cannot be run.
    StartOutcome StartDownload(const std::string& selectedEntry);
    bool Running() const { return running_; }
    const std::string& CommandLine() const { return commandLine_; }

    // Without waiting: true when the download has ended; then the log is
    // written, the exit code is in *exitCode and the model is idle again.
    bool PollDownload(int* exitCode);

    // Opens the download log for the user (the desktop's opener), when the
    // verbose flag is set. Returns 0 or an errno.
    int ShowLog() const;

  private:
    std::string Program() const;
    // Starts download (found already) with its output in outputPath.
    StartOutcome Start(platform::Process& child, const std::string& program,
                       const std::vector<std::string>& arguments, const std::string& outputPath);

    std::string ownDirectory_;
    std::vector<std::string> arrays_;
    std::string firmware_;
    bool verbose_ = false;
    bool running_ = false;
    std::string commandLine_;
    platform::Process child_;
};

}  // namespace flashpane
