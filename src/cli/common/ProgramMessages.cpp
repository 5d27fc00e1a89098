#include "cli/common/ProgramMessages.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "cli/common/CliConfig.h"
#include "cli/common/ExitCodes.h"

namespace {

constexpr const char* kProgramNames[] = {
    nullptr,  "dklayout", "dkview",  "dkwipe",  "dkjournal",
    "dktune", "dkmend",   "dkprobe", "dkwatch", "dkledger",
};
constexpr int kProgramNameCount = sizeof(kProgramNames) / sizeof(kProgramNames[0]);

constexpr int kUnknownProgramItem = 157;
constexpr int kFirstMessageItem = 158;  // messages 0..12
constexpr int kLastTableMessage = 12;
constexpr int kOtherMessageItem = 171;  // "message %d"

// The set 9 item of a program message.
int MessageItem(int messageIndex) {
    if (messageIndex >= 0 && messageIndex <= kLastTableMessage) {
        return kFirstMessageItem + messageIndex;
    }
    switch (messageIndex) {
        case 13:
            return 139;
        case 14:
            return 140;
        case 18:
            return 172;
        case 19:
            return 173;
        case 20:
            return 174;
        default:
            return 0;
    }
}

ProgramMessageLines& Lines() {
    // Allocated on first use and kept for the process, as the exits print
    // from it.
    static auto* lines = new ProgramMessageLines;
    return *lines;
}

std::vector<std::string>& UsageLines() {
    static auto* lines = new std::vector<std::string>;
    return *lines;
}

[[noreturn]] void EndProcess(int exitCode) {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    std::exit(exitCode);
}

}  // namespace

std::string ProgramName(int programIndex) {
    if (programIndex == PROG_NONE) {
        return std::string();
    }
    if (programIndex > 0 && programIndex < kProgramNameCount) {
        return kProgramNames[programIndex];
    }
    return CliText(kCliTextSet, kUnknownProgramItem);
}

ProgramMessageLines& GetProgramMessage(int messageIndex, int programIndex) {
    ProgramMessageLines& lines = Lines();
    std::memset(&lines, 0, sizeof(lines));

    std::string text;
    if (programIndex != PROG_NONE) {
        text = ProgramName(programIndex) + ":  ";
    }
    const int item = MessageItem(messageIndex);
    text += item != 0 ? CliText(kCliTextSet, item)
                      : CliText(kCliTextSet, kOtherMessageItem, messageIndex);
    // Catalog texts may be far longer than a line; the line keeps its head.
    std::snprintf(lines.line[0], ProgramMessageLines::kLineSize, "%s", text.c_str());
    return lines;
}

void PrintProgramMessage(int messageIndex, int programIndex, std::ostream& out) {
    out << GetProgramMessage(messageIndex, programIndex).line[0];
}

void ExitWithProgramMessage(int messageIndex, int programIndex, int exitCode) {
    // What the program printed so far stands before the message.
    std::cout.flush();
    PrintProgramMessage(messageIndex, programIndex, std::cerr);
    std::cerr << '\n';
    EndProcess(exitCode);
}

void ExitWithMessages(const ProgramMessageLines& lines, int exitCode) {
    for (const auto& line : lines.line) {
        const std::size_t length = strnlen(line, ProgramMessageLines::kLineSize);
        if (length == 0) {
            break;
        }
        std::cerr.write(line, static_cast<std::streamsize>(length)) << '\n';
    }
    EndProcess(exitCode);
}

void ExitWithMessages(const std::vector<std::string>& lines, int exitCode) {
    for (const std::string& line : lines) {
        if (line.empty()) {
            break;
        }
        std::cerr << line << '\n';
    }
    EndProcess(exitCode);
}

void Usage::Load(int set, int first, int last) {
    std::vector<std::string> lines;
    StringCatalog& catalog = GetCliCatalog();
    for (int item = first; item <= last; ++item) {
        std::string line = catalog.GetStringCommonBuf(set, item);
        if (line.empty()) {
            break;
        }
        lines.push_back(std::move(line));
    }
    UsageLines() = std::move(lines);
}

void Usage::LoadItems(int set, std::span<const int> items) {
    std::vector<std::string> lines;
    for (int item : items) {
        lines.push_back(CliText(set, item));
    }
    UsageLines() = std::move(lines);
}

void Usage::Set(std::vector<std::string> lines) {
    UsageLines() = std::move(lines);
}

const std::vector<std::string>& Usage::Lines() {
    return UsageLines();
}

void Usage::Exit() {
    ExitWithMessages(UsageLines(), CLI_EXIT_USAGE);
}
