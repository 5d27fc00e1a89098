// The texts the log writer reports (event log), kept in one table.
#pragma once

#include <string>

enum LOG_TEXT : int {
    LTEXT_CATALOG_NOT_OPEN,
    LTEXT_CATALOG_SHORT,
    LTEXT_CATALOG_VERSION,
    LTEXT_CATALOG_DAMAGED,
    LTEXT_CATALOG_WRITE_FAILED,
    LTEXT_FILE_CREATE_FAILED,
    LTEXT_FILE_WRITE_FAILED,
    LTEXT_FILE_OPEN_FAILED,
    LTEXT_FILE_DAMAGED,
    LTEXT_LOG_SUSPENDED,
    LTEXT_LOG_RESUMED,
    LTEXT_DIRECTORY_FAILED,
    LTEXT_RECORD_REFUSED,
    LTEXT_WHY_SIZE,
    LTEXT_WHY_LINK,
    LTEXT_WHY_CHAIN,
    LTEXT_WHY_NAME,
    LTEXT_WHY_FREE,
    LTEXT_WHY_RECORD_LENGTH,
    LTEXT_WHY_RECORD_SHORT,
    LTEXT_COUNT
};

// The text with its printf-style arguments filled in.
std::string LogText(int id, ...);
