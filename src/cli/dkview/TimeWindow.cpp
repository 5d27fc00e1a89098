#include "cli/dkview/TimeWindow.h"

#include <cstdio>
#include <cstdlib>

#include "cli/common/CliConfig.h"
#include "cli/common/ExitCodes.h"
#include "cli/common/ProgramMessages.h"
#include "cli/dkview/DkviewTexts.h"

namespace dkview {

namespace {

constexpr int kMonthItem = 104;
constexpr int kDayItem = 105;
constexpr int kHourItem = 106;
constexpr int kMinuteItem = 107;
constexpr int kOrderItem = 108;
constexpr int kFormItem = 109;
constexpr std::size_t kShortForm = 8;
constexpr std::size_t kLongForm = 10;
constexpr int kCenturyPivot = 70;

int TwoDigits(std::string_view text, std::size_t at) {
    return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

bool IsLeap(int fullYear) {
    return (fullYear % 4 == 0 && fullYear % 100 != 0) || fullYear % 400 == 0;
}

[[noreturn]] void Fatal(const std::vector<TimeFault>& faults) {
    const std::string program = ProgramName(PROG_DKVIEW);
    for (const TimeFault& fault : faults) {
        const std::string text = CliText(kFatalSet, fault.item);
        std::fprintf(stderr, DkviewTexts::kFatalLine, program.c_str(), text.c_str());
        if (fault.showsRange) {
            std::fprintf(stderr, DkviewTexts::kRangeLine, fault.low, fault.high, fault.value);
        }
    }
    std::fflush(stderr);
    std::exit(CLI_EXIT_USAGE);
}

}  // namespace

int TimeWindow::DaysInMonth(int month, int year) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) {
        return 0;
    }
    if (month == 2 && IsLeap(year + 1900)) {
        return 29;
    }
    return kDays[month - 1];
}

std::vector<TimeFault> TimeWindow::Parse(std::string_view text, int currentYear, TimeStamp& stamp) {
    std::vector<TimeFault> faults;
    bool digits = text.size() == kShortForm || text.size() == kLongForm;
    for (char c : text) {
        digits = digits && c >= '0' && c <= '9';
    }
    if (!digits) {
        faults.push_back({kFormItem});
        return faults;
    }
    stamp.month = TwoDigits(text, 0);
    stamp.day = TwoDigits(text, 2);
    stamp.hour = TwoDigits(text, 4);
    stamp.minute = TwoDigits(text, 6);
    stamp.year = currentYear;
    if (text.size() == kLongForm) {
        const int yy = TwoDigits(text, 8);
        stamp.year = yy < kCenturyPivot ? 100 + yy : yy;
    }
    if (stamp.month < 1 || stamp.month > 12) {
        faults.push_back({kMonthItem, true, 1, 12, stamp.month});
        return faults;
    }
    const int days = DaysInMonth(stamp.month, stamp.year);
    if (stamp.day < 1 || stamp.day > days) {
        faults.push_back({kDayItem, true, 1, days, stamp.day});
    }
    if (stamp.hour > 23) {
        faults.push_back({kHourItem});
    }
    if (stamp.minute > 59) {
        faults.push_back({kMinuteItem});
    }
    return faults;
}

std::time_t TimeWindow::CalendarTime(const TimeStamp& stamp) {
    std::tm parts{};
    parts.tm_year = stamp.year;
    parts.tm_mon = stamp.month - 1;
    parts.tm_mday = stamp.day;
    parts.tm_hour = stamp.hour;
    parts.tm_min = stamp.minute;
    parts.tm_isdst = -1;
    return std::mktime(&parts);
}

std::string TimeWindow::Text(std::time_t time) {
    std::tm parts{};
    localtime_r(&time, &parts);
    char text[40];
    std::snprintf(text, sizeof text, "%02d:%02d %02d/%02d/%04d", parts.tm_hour, parts.tm_min,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_year + 1900);
    return text;
}

void TimeWindow::Set(const char* startArgument, const char* endArgument) {
    const std::time_t now = std::time(nullptr);
    std::tm today{};
    localtime_r(&now, &today);
    TimeStamp first;
    TimeStamp last;
    std::vector<TimeFault> faults = Parse(startArgument, today.tm_year, first);
    const std::vector<TimeFault> endFaults = Parse(endArgument, today.tm_year, last);
    faults.insert(faults.end(), endFaults.begin(), endFaults.end());
    if (!faults.empty()) {
        Fatal(faults);
    }
    start = CalendarTime(first);
    end = CalendarTime(last);
    if (start > end) {
        Fatal({{kOrderItem}});
    }
    startText = Text(start);
    endText = Text(end);
}

}  // namespace dkview
