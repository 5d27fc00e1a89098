#include "tools/firmware/FlashpaneModel.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "platform/FileUtil.h"
#include "platform/Registry.h"
#include "tools/firmware/DownloadArguments.h"
#include "tools/firmware/FlashpaneTexts.h"

namespace flashpane {

namespace {

using T = FlashpaneText;

constexpr std::size_t kArrayIdLength = 12;
constexpr std::size_t kShortestPath = 2;
constexpr const char* kProgramName = "download";
constexpr const char* kOpener = "xdg-open";

bool IsHex(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

bool Executable(const std::string& path) {
    return !path.empty() && ::access(path.c_str(), X_OK) == 0;
}

// The lines of a text, split at CR and LF, without the empty ones.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            if (!line.empty())
                lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

bool StartsWithIgnoringCase(const std::string& text, const std::string& prefix) {
    if (prefix.size() > text.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

std::string FindInPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
    std::size_t at = 0;
    while (at <= dirs.size()) {
        std::size_t end = dirs.find(':', at);
        if (end == std::string::npos)
            end = dirs.size();
        const std::string dir = dirs.substr(at, end - at);
        if (!dir.empty() && Executable(dir + "/" + name))
            return dir + "/" + name;
        at = end + 1;
    }
    return "";
}

std::string CurrentDirectory() {
    char cwd[4096];
    return ::getcwd(cwd, sizeof cwd) != nullptr ? cwd : ".";
}

std::string TemporaryDirectory() {
    const char* dir = std::getenv("TMPDIR");
    return dir != nullptr && *dir != '\0' ? dir : "/tmp";
}

}  // namespace

std::vector<std::string> ParseArrayListing(const std::string& listing) {
    std::vector<std::string> entries;
    for (const std::string& line : Lines(listing)) {
        std::size_t at = 0;
        while (at < line.size()) {
            if (!IsHex(line[at])) {
                ++at;
                continue;
            }
            std::size_t end = at;
            while (end < line.size() && IsHex(line[end]))
                ++end;
            // Exactly 12 digits with something after them.
            if (end - at == kArrayIdLength && end < line.size()) {
                const std::string entry = line.substr(at);
                bool listed = false;
                for (const auto& e : entries)
                    listed = listed || StartsWithIgnoringCase(e, entry);
                if (!listed)
                    entries.push_back(entry);
                break;
            }
            at = end;
        }
    }
    return entries;
}

std::string ArrayIdOf(const std::string& entry) {
    return entry.substr(0, kArrayIdLength);
}

std::vector<std::string> DownloadArguments(const std::string& firmwarePath,
                                           const std::string& selectedEntry) {
    std::vector<std::string> args = {"-c", firmwarePath};
    const std::string id = ArrayIdOf(selectedEntry);
    if (!id.empty())
        args.push_back(id);
    return args;
}

std::string CommandLineText(const std::string& program, const std::vector<std::string>& arguments) {
    std::string text;
    auto add = [&text](const std::string& word) {
        if (!text.empty())
            text += ' ';
        if (word.find_first_of(" \t\"") == std::string::npos && !word.empty()) {
            text += word;
            return;
        }
        text += '"';
        for (char c : word) {
            if (c == '"' || c == '\\')
                text += '\\';
            text += c;
        }
        text += '"';
    };
    add(program);
    for (const auto& a : arguments)
        add(a);
    return text;
}

std::string DownloadLog(const std::string& commandLine, const std::string& output) {
    std::string log = Text(T::LOG_RULE);
    log += Text(T::LOG_COMMAND);
    log += commandLine;
    log += Text(T::LOG_LINE_END);
    log += Text(T::LOG_RULE);
    for (const std::string& line : Lines(output)) {
        log += line;
        log += Text(T::LOG_LINE_END);
    }
    return log;
}

ExitMessage MessageForExit(int exitCode) {
    static constexpr T kTexts[] = {T::EXIT_0, T::EXIT_1, T::EXIT_2, T::EXIT_3, T::EXIT_4};
    if (exitCode >= 0 && exitCode <= 4)
        return {Text(kTexts[exitCode]), Text(T::DOWNLOAD_CAPTION)};
    return {Text(T::EXIT_OTHER), Text(T::DOWNLOAD_FAILED_CAPTION)};
}

std::string FindDownload(const std::string& currentDirectory, const std::string& ownDirectory) {
    for (const std::string& dir : {currentDirectory, ownDirectory}) {
        if (!dir.empty() && Executable(dir + "/" + kProgramName))
            return dir + "/" + kProgramName;
    }
    return "";
}

bool ClusterKeyPresent() {
    platform::RegistryKey key;
    return platform::RegistryKey::Open(platform::Hive::LOCAL_MACHINE, "Cluster", &key).ok();
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

FlashpaneModel::FlashpaneModel(std::string ownDirectory) : ownDirectory_(std::move(ownDirectory)) {}

std::string FlashpaneModel::Program() const {
    return FindDownload(CurrentDirectory(), ownDirectory_);
}

StartOutcome FlashpaneModel::Start(platform::Process& child, const std::string& program,
                                   const std::vector<std::string>& arguments,
                                   const std::string& outputPath) {
    using Step = platform::Process::StartStep;
    Step failed = Step::kNone;
    const int error = child.Start(program, arguments, outputPath, &failed);
    if (error == 0)
        return {};
    if (failed == Step::kOutputFile)
        return {StartOutcome::Problem::kOutputFile, error, outputPath};
    return {StartOutcome::Problem::kProgramFailed, error, program};
}

StartOutcome FlashpaneModel::Discover() {
    arrays_.clear();
    const std::string program = Program();
    if (program.empty())
        return {StartOutcome::Problem::kProgramMissing, ENOENT, kProgramName};
    const std::string pattern = TemporaryDirectory() + "/tmpXXXXXX";
    std::string name = pattern;
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        return {StartOutcome::Problem::kOutputFile, errno, pattern};
    ::close(fd);
    platform::Process child;
    const StartOutcome outcome = Start(child, program, {"-i"}, name);
    if (outcome.Started()) {
        child.Wait();
        std::string listing;
        platform::ReadWholeFile(name, &listing);
        arrays_ = ParseArrayListing(listing);
    }
    ::unlink(name.c_str());
    return outcome;
}

bool FlashpaneModel::ChooseFirmware(const std::string& path) {
    if (path.size() < kShortestPath)
        return true;
    if (path.size() > download::kMaxCodeFileName)
        return false;
    firmware_ = path;
    return true;
}

StartOutcome FlashpaneModel::StartDownload(const std::string& selectedEntry) {
    if (running_)
        return {StartOutcome::Problem::kBusy, EBUSY, ""};
    const std::string program = Program();
    if (program.empty())
        return {StartOutcome::Problem::kProgramMissing, ENOENT, kProgramName};
    const std::vector<std::string> args = DownloadArguments(firmware_, selectedEntry);
    commandLine_ = CommandLineText(program, args);
    const StartOutcome outcome =
        Start(child_, program, args, CurrentDirectory() + "/" + kVerboseFile);
    running_ = outcome.Started();
    return outcome;
}

bool FlashpaneModel::PollDownload(int* exitCode) {
    if (!running_ || !child_.Poll(exitCode))
        return false;
    running_ = false;
    std::string output;
    platform::ReadWholeFile(kVerboseFile, &output);
    platform::WriteFileAtomic(kLogFile, DownloadLog(commandLine_, output));
    return true;
}

int FlashpaneModel::ShowLog() const {
    if (!verbose_)
        return 0;
    const std::string opener = FindInPath(kOpener);
    if (opener.empty())
        return ENOENT;
    return platform::StartDetached(opener, {kLogFile});
}

}  // namespace flashpane
