#include "coresys/server/log/LogText.h"

#include <cstdarg>
#include <cstdio>

namespace {

const char* const kTexts[LTEXT_COUNT] = {
    "Log catalog %s cannot be opened: %s",
    "Log catalog %s is damaged: its header is incomplete (%u bytes)",
    "Log catalog %s has version %u, which this service cannot use",
    "Log catalog %s is damaged: %s",
    "Log catalog %s cannot be written: %s",
    "Log file %s cannot be created: %s",
    "Log file %s cannot be written: %s",
    "Log file %s cannot be opened: %s",
    "Log file %s is damaged at byte %u: the log continues behind its last sound record",
    "Logging suspended at LRBA %u (read errors %u)",
    "Logging resumed above LRBA %u (read errors %u)",
    "Log directory %s cannot be created: %s",
    "Log record refused: %s",
    "Log catalog %s was left in the middle of a change and has been repaired",
    "Log file %s is missing: its entry is withdrawn",
    "%u log reads in a row failed",
    "its recorded size does not fit the file",
    "an entry link lies outside the entry slots",
    "the age chain does not match its file count",
    "an entry names no log file",
    "the free list is broken",
    "its length word is outside 60 to 4096",
    "fewer bytes were handed over than its length word claims",
    "a change left half-done cannot be repaired",
};

}  // namespace

std::string LogText(int id, ...) {
    if (id < 0 || id >= LTEXT_COUNT) {
        return std::string();
    }
    char buffer[1024];
    va_list args;
    va_start(args, id);
    std::vsnprintf(buffer, sizeof buffer, kTexts[id], args);
    va_end(args);
    return buffer;
}
