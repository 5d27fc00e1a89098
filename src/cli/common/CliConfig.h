// The start-up record of a command-line program: transport names, default
// port, where the catalog lives, and the opened catalog. Built once by
// InitCliConfig and kept for the life of the process; every text the library
// prints is fetched through GetCliCatalog.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "catalog/StringCatalog.h"

struct CliConfig {
    std::string udpServiceName;     // "oruUDP"
    std::string tcpServiceName;     // "oruTCP"
    std::uint16_t defaultPort = 0;  // 34604
    // The directory beside which further catalogs (the OEM texts) are
    // looked for, and the name the programs have always given their catalog.
    std::string catalogDirectory;
    std::string catalogPath;
    std::unique_ptr<StringCatalog> catalog;
};

// Builds the record (the arguments are not used), opens the catalog in the
// user's language and keeps the record in the process-wide slot, replacing
// any earlier one. Returns the record.
CliConfig* InitCliConfig(int argc, char** argv);

// The record, or nullptr before InitCliConfig or after ReleaseCliConfig.
CliConfig* GetCliConfig();

// The catalog of the record. Without a record it prints the closed-catalog
// complaint to standard error and ends the process with exit code 1.
StringCatalog& GetCliCatalog();

// The common clean-up: drops the record and its catalog.
void ReleaseCliConfig();

// Catalog sets shared by all command-line programs.
inline constexpr int kCliTextSet = 9;     // messages, names and value words
inline constexpr int kCliCommonSet = 10;  // progress lines and list lookup

// The catalog text (set, item) filled with the arguments, as a string. The
// arguments must match the text's conversions (int, unsigned, const char*).
template <typename... Args>
std::string CliText(int set, int item, Args... args) {
    static_assert(((std::is_arithmetic_v<Args> || std::is_pointer_v<Args>)&&...),
                  "catalog texts take numbers and C strings only");
    return GetCliCatalog().GetStringCommonBuf(set, item, args...);
}

// A program's help: the catalog texts of the set, each after `lead` on a
// line of its own, on standard output (flushed).
void PrintHelpItems(int set, std::span<const int> items, std::string_view lead = "");
void PrintHelpItems(int set, int first, int last, std::string_view lead = "");
