#include "tools/firmware/DownloadArguments.h"

#include <cctype>
#include <cstring>

#include "tools/firmware/DownloadConsole.h"

namespace download {

namespace {

using T = DownloadText;

constexpr const char kFormatProgram[] = "./Format";
constexpr std::size_t kFormatProgramLength = 8;
constexpr std::size_t kSlotTextLength = 3;

void ExtendedHelpText() {
    std::size_t count = 0;
    const char* const* lines = ExtendedHelp(&count);
    for (std::size_t i = 0; i < count; ++i)
        std::fputs(lines[i], Console().out);
    std::fflush(Console().out);
}

ParseOutcome Stop(int error) {
    DownloadError(error);
    return ParseOutcome::kStop;
}

bool Fits(const std::string& codeFile, const std::string& arrayId) {
    return codeFile.size() <= kMaxCodeFileName && arrayId.size() <= kMaxArrayId;
}

}  // namespace

bool ParseSlot(const std::string& text, std::int32_t* index) {
    if (text.size() != 2)
        return false;
    const char row = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    if ((row != 'A' && row != 'B') || text[1] < '1' || text[1] > '6')
        return false;
    const int number = text[1] - '0';
    *index = row == 'A' ? 2 * number - 2 : 2 * number - 1;
    return true;
}

void DownloadError(int code, const char* text) {
    switch (code) {
        case 0:
            Complain(T::USAGE);
            break;
        case 1:
            Complain(T::ARG_RANGE_1);
            Complain(T::ARG_RANGE_2);
            Complain(T::ARG_RANGE_3);
            Complain(T::USAGE);
            break;
        case 2:
            Complain(T::UNKNOWN_ARG_1);
            Complain(T::UNKNOWN_ARG_2);
            Complain(T::USAGE);
            break;
        case 3:
            Complain(T::NOT_FOUND_1);
            Complain(T::NOT_FOUND_2);
            Complain(T::NOT_FOUND_3);
            Complain(T::NOT_FOUND_4);
            break;
        case 4:
            Complain(T::EXECUTION, text);
            break;
        case 5:
            Complain(T::POWERED_ON_1);
            Complain(T::POWERED_ON_2);
            Complain(T::POWERED_ON_3);
            break;
        default:
            break;
    }
}

ParseOutcome DownloadParseArguments(int argc, char** argv, DownloadArguments& args) {
    const int count = argc - 1;
    if (count < 1 || argv[1][0] != '-')
        return Stop(0);
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-?") == 0) {
            ExtendedHelpText();
            return ParseOutcome::kHelpShown;
        }
        if (std::strcmp(argv[i], "-r") == 0) {
            Say(T::CHECKING_AUTOMATIC);
            return ParseOutcome::kStop;
        }
    }
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(argv[1][1])));
    const char* program = argv[0] != nullptr ? argv[0] : "";
    auto takeSlot = [&](const char* text) {
        args.slotText = std::string(text).substr(0, kSlotTextLength);
        return ParseSlot(text, &args.slot);
    };
    if (std::strncmp(program, kFormatProgram, kFormatProgramLength) == 0 && count == 3 &&
        letter == 'D') {
        args.mode = kModeFormat;
        args.arrayId = argv[3];
        if (!takeSlot(argv[2]) || !Fits("", args.arrayId))
            return Stop(1);
        return ParseOutcome::kRun;
    }
    switch (count) {
        case 1:
            if (letter != 'I')
                return Stop(0);
            args.mode = kModeList;
            return ParseOutcome::kRun;
        case 2:
            if (letter != 'M')
                return Stop(0);
            args.mode = kModeCopy;
            args.arrayId = argv[2];
            break;
        case 3:
            if (letter != 'C')
                return Stop(0);
            args.mode = kModeController;
            args.codeFile = argv[2];
            args.arrayId = argv[3];
            break;
        case 4:
            if (letter != 'D')
                return Stop(0);
            args.mode = kModeDrive;
            if (!takeSlot(argv[2]))
                return Stop(1);
            args.codeFile = argv[3];
            args.arrayId = argv[4];
            break;
        default:
            return Stop(1);
    }
    if (!Fits(args.codeFile, args.arrayId))
        return Stop(1);
    return ParseOutcome::kRun;
}

}  // namespace download
