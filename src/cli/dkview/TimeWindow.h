// The time window of dkview's performance displays: two time arguments
// (MMDDhhmm, or MMDDhhmmYY with a two-digit year), the interval, and the
// window's ends as calendar times and as texts.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace dkview {

// One time argument. year counts from 1900.
struct TimeStamp {
    int month = 1;
    int day = 1;
    int year = 0;
    int hour = 0;
    int minute = 0;
};

// What is wrong with a time argument: the set 16 item and, for the month
// and the day, the range the value had to lie in.
struct TimeFault {
    int item = 0;
    bool showsRange = false;
    int low = 0;
    int high = 0;
    int value = 0;
};

class TimeWindow {
  public:
    static constexpr std::int32_t kDefaultInterval = 4;

    std::time_t start = 0;
    std::time_t end = 0;
    std::int32_t interval = kDefaultInterval;
    std::string startText;
    std::string endText;
    bool raw = false;

    // Reads one time argument; currentYear (from 1900) is the year of an
    // eight-digit text. A wrong length or a non-digit is one fault; else
    // month, day, hour and minute are each checked and every fault listed.
    // Two-digit years below 70 are 2000 + year, the others 1900 + year.
    static std::vector<TimeFault> Parse(std::string_view text, int currentYear, TimeStamp& stamp);

    // Days of the month (1..12) in the year (from 1900).
    static int DaysInMonth(int month, int year);

    // The local calendar time of a stamp.
    static std::time_t CalendarTime(const TimeStamp& stamp);

    // "hh:mm MM/DD/YYYY" of a calendar time, in local time.
    static std::string Text(std::time_t time);

    // Sets the window from two arguments; any fault prints
    // "dkview: <text>" (and the range line) on standard error and ends the
    // process with exit code 2, as does a start later than the end.
    void Set(const char* startArgument, const char* endArgument);
};

}  // namespace dkview
