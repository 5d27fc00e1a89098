// The few texts of the command-line library that cannot come from the
// catalog: the complaint that there is no catalog, the symbolic names the
// programs print as they stand, and the fixed labels of the sense print.
// Everything else the library prints is a catalog text (sets 9 and 10).
#pragma once

namespace cli {

struct CliTexts {
    // GetCliCatalog before InitCliConfig (or after the clean-up).
    static constexpr const char* kClosedCatalog =
        "ERROR:  Attempt to access closed StringCatalog ... exiting.\n";

    // Names of the data-loss allowances of a drive down request.
    static constexpr const char* kAllowanceNames[] = {
        "DT_NO_ALLOWANCE",
        "DT_ALLOW_REDUNDANCY",
        "DT_ALLOW_ALL",
    };

    // Subsystem-list statuses that print as their symbolic names; nullptr
    // marks those that print a catalog text instead.
    static constexpr const char* kListStatusNames[] = {
        "ASL_GOOD",           nullptr,           "ASL_DATAGRAM_INITIALIZE_FAILED",
        "ASL_SECURE_SUCCESS", nullptr,           nullptr,
        "ASL_NPI_OK",         "ASL_NO_NWNETAPI", "ASL_NO_NWTLIWIN",
        "ASL_WRONG_API",      "ASL_WRONG_TLI",
    };

    // Labels of the sense print that line up under the sense-key line.
    static constexpr const char* kSenseAsc = "               ASC:  ";
    static constexpr const char* kSenseAscq = "              ASCQ:  ";
};

}  // namespace cli
