#include "tools/trail/TrailCommandLine.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <filesystem>

#include "catalog/StringCatalog.h"
#include "platform/Root.h"
#include "tools/trail/TrailOutput.h"
#include "tools/trail/TrailTexts.h"

namespace trail {

namespace {

constexpr const char* kKindNames[LRK_COUNT] = {"usage", "disk", "ctrlr", "change", "perf"};

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int month, int year) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

int TwoDigits(std::string_view text, std::size_t at) {
    return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

// Says one mistake of the command line: its text, then what follows it.
class Complaint {
  public:
    Complaint(StringCatalog& catalog, TrailOutput& err) : catalog_(catalog), err_(err) {}

    template <typename... Args>
    void Say(int number, const std::string& tail, Args... args) {
        err_.Put(catalog_.GetStringCommonBuf(kTrailSet, number, args...));
        err_.Put(tail);
        err_.Put('\n');
    }

  private:
    StringCatalog& catalog_;
    TrailOutput& err_;
};

// The log directory of -d: mapped like the service's own paths, with one
// trailing "/" removed (the root stays "/").
std::string DirectoryOf(const std::string& value) {
    std::string directory = platform::MapDrivePath(value);
    if (directory.size() > 1 && directory.back() == '/') {
        directory.pop_back();
    }
    return directory;
}

bool IsDirectory(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

// Splits "a,b,c" at the commas (empty pieces kept: they name no kind).
std::vector<std::string> Keywords(const std::string& list) {
    std::vector<std::string> words;
    std::size_t from = 0;
    while (true) {
        std::size_t comma = list.find(',', from);
        words.push_back(list.substr(from, comma == std::string::npos ? comma : comma - from));
        if (comma == std::string::npos) {
            return words;
        }
        from = comma + 1;
    }
}

}  // namespace

const char* RecordKindName(int kind) {
    return kind >= 0 && kind < LRK_COUNT ? kKindNames[kind] : "";
}

std::optional<std::int64_t> ParseLogTime(std::string_view text, int currentYear) {
    if (text.size() != 8 && text.size() != 10) {
        return std::nullopt;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
    }
    const int month = TwoDigits(text, 0);
    const int day = TwoDigits(text, 2);
    const int hour = TwoDigits(text, 4);
    const int minute = TwoDigits(text, 6);
    int year = currentYear;
    if (text.size() == 10) {
        const int yy = TwoDigits(text, 8);
        year = yy >= 90 ? 1900 + yy : 2000 + yy;
    }
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(month, year) || hour > 23 ||
        minute > 59) {
        return std::nullopt;
    }
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&local);
    if (seconds == static_cast<std::time_t>(-1)) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(seconds);
}

ParseOutcome ParseTrailCommandLine(const std::vector<std::string>& arguments, int currentYear,
                                   StringCatalog& catalog, TrailOutput& err,
                                   TrailOptions* options) {
    for (const std::string& argument : arguments) {
        if (argument == "-?") {
            return ParseOutcome::kHelp;
        }
    }
    Complaint complaint(catalog, err);
    bool startGiven = false;
    bool endGiven = false;
    bool kindsChosen = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument.size() < 2 || argument[0] != '-' ||
            !std::isalpha(static_cast<unsigned char>(argument[1]))) {
            complaint.Say(T_ARGUMENT_UNKNOWN, argument);
            return ParseOutcome::kError;
        }
        const char letter = argument[1];
        const bool attached = argument.size() > 2;
        std::optional<std::string> value;
        auto take = [&]() {
            if (attached) {
                value = argument.substr(2);
            } else if (i + 1 < arguments.size()) {
                value = arguments[++i];
            }
        };
        switch (letter) {
            case 'a':
                if (options->serial) {
                    complaint.Say(T_SERIAL_TWICE, "");
                    return ParseOutcome::kError;
                }
                take();
                if (!value) {
                    complaint.Say(T_SERIAL_MISSING, "");
                    return ParseOutcome::kError;
                }
                if (value->size() != 12) {
                    complaint.Say(T_SERIAL_LENGTH, "", value->c_str());
                    return ParseOutcome::kError;
                }
                options->serial = *value;
                break;
            case 'd':
                if (options->directory) {
                    complaint.Say(T_DIRECTORY_TWICE, "");
                    return ParseOutcome::kError;
                }
                take();
                if (!value) {
                    complaint.Say(T_DIRECTORY_MISSING, "");
                    return ParseOutcome::kError;
                }
                options->directory = DirectoryOf(*value);
                if (!IsDirectory(*options->directory)) {
                    err.Put(*options->directory);
                    complaint.Say(T_NOT_A_DIRECTORY, "");
                    return ParseOutcome::kError;
                }
                break;
            case 's':
            case 'e': {
                const bool start = letter == 's';
                if (start ? startGiven : endGiven) {
                    complaint.Say(start ? T_START_TWICE : T_END_TWICE, "");
                    return ParseOutcome::kError;
                }
                take();
                if (!value) {
                    complaint.Say(start ? T_START_MISSING : T_END_MISSING, "");
                    return ParseOutcome::kError;
                }
                std::optional<std::int64_t> time = ParseLogTime(*value, currentYear);
                if (!time) {
                    const int number =
                        start ? (attached ? T_START_BAD_ATTACHED : T_START_BAD) : T_END_BAD;
                    complaint.Say(number, "", value->c_str());
                    return ParseOutcome::kError;
                }
                (start ? startGiven : endGiven) = true;
                (start ? options->startTime : options->endTime) = *time;
                break;
            }
            case 't':
                take();
                if (!value) {
                    complaint.Say(T_KINDS_MISSING, "");
                    return ParseOutcome::kError;
                }
                for (const std::string& keyword : Keywords(*value)) {
                    int kind = 0;
                    while (kind < LRK_COUNT && keyword != kKindNames[kind]) {
                        ++kind;
                    }
                    if (kind == LRK_COUNT) {
                        complaint.Say(T_KIND_UNKNOWN, keyword + "'");
                        return ParseOutcome::kError;
                    }
                    if (!kindsChosen) {
                        std::fill(std::begin(options->kinds), std::end(options->kinds), false);
                        kindsChosen = true;
                    }
                    options->kinds[kind] = true;
                }
                break;
            case 'v':
                // A level standing alone is never another option: "-v -a X"
                // is -v without a level, then -a.
                if (attached || (i + 1 < arguments.size() && arguments[i + 1].rfind('-', 0) != 0)) {
                    take();
                }
                if (value && (*value == "1" || *value == "2")) {
                    options->verbose = (*value)[0] - '0';
                } else {
                    complaint.Say(T_VERBOSE_BAD, "");
                    options->verbose = 1;
                }
                break;
            default:
                complaint.Say(T_ARGUMENT_UNKNOWN, argument);
                return ParseOutcome::kError;
        }
    }
    if (options->startTime >= options->endTime) {
        complaint.Say(T_WINDOW_EMPTY, "");
        return ParseOutcome::kError;
    }
    return ParseOutcome::kRun;
}

void PrintUsage(StringCatalog& catalog, TrailOutput& err) {
    err.Put(catalog.GetStringCommonBuf(kTrailSet, T_USAGE_FIRST));
    err.Put(TrailTexts::kHelpSwitch);
    err.Put('\n');
    for (int number = T_USAGE_FIRST + 1; number <= T_USAGE_LAST; ++number) {
        err.Put(catalog.GetStringCommonBuf(kTrailSet, number));
        err.Put('\n');
    }
}

void PrintShortUsage(StringCatalog& catalog, TrailOutput& err) {
    for (int number = T_SHORT_USAGE_FIRST; number <= T_SHORT_USAGE_LAST; ++number) {
        err.Put(catalog.GetStringCommonBuf(kTrailSet, number));
        err.Put('\n');
    }
}

}  // namespace trail
