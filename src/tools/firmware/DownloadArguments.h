// The command line of download and its error texts.
//
//   download -C codefile array-id          controller download   (mode 0)
//   download -D slot codefile array-id     drive download        (mode 1)
//   download -M array-id                   copy the firmware     (mode 2)
//   download -I                            list the arrays       (mode 3)
//   ./Format... -D slot array-id           format a drive        (mode 4)
// The option letter is the first argument's second character, either case.
// "-?" anywhere prints the extended help; "-r" says checking is automatic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace download {

enum DownloadMode : std::int32_t {
    kModeController = 0,
    kModeDrive = 1,
    kModeCopy = 2,
    kModeList = 3,
    kModeFormat = 4,
};

// The longest code file name (a path) and array id taken; longer ones are
// "arg out of range".
constexpr std::size_t kMaxCodeFileName = 4095;
constexpr std::size_t kMaxArrayId = 80;

struct DownloadArguments {
    std::int32_t mode = kModeController;
    std::int32_t slot = 0;  // 0..11
    std::string slotText;   // the first 3 characters of the slot argument
    std::string codeFile;
    std::string arrayId;
};

enum class ParseOutcome {
    kRun,       // the arguments are good
    kStop,      // a usage error or "-r": the run's result is 2
    kHelpShown  // "-?": the extended help was printed; exit 0 at once
};

ParseOutcome DownloadParseArguments(int argc, char** argv, DownloadArguments& args);

// A slot name A1..A6 or B1..B6 (either case) to its index 0..11.
bool ParseSlot(const std::string& text, std::int32_t* index);

// The error texts 0..5 on standard error; text goes with error 4.
void DownloadError(int code, const char* text = "");

// Exit codes of the run.
constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitCommandLine = 2;
constexpr int kExitScanFailed = 3;
constexpr int kExitNoState = 4;

}  // namespace download
