// The logs dkjournal reads, decoded from the bytes the array returned: the
// controller error and usage logs, a drive's log pages and its grown defect
// list. Every multi-byte number is big-endian.
//
// The lengths inside the data are the array's (or a hostile service's):
// every walk stays within both the length the data declares and the bytes
// that really came, and stops at an entry, parameter or descriptor that is
// not whole.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <span>
#include <vector>

namespace dkjournal {

using Bytes = std::span<const unsigned char>;

inline constexpr int kReportSet = 14;   // report texts and the help
inline constexpr int kMessageSet = 15;  // usage and messages

// The largest size a request for log data can ask for: the allocation length
// of the drive and controller commands is 16 bits.
inline constexpr std::uint32_t kLargestRequest = 65535;

// The big-endian number of width bytes (1..4) at `at`; the caller keeps it
// within the bytes.
std::uint32_t ReadBe(Bytes bytes, std::size_t at, std::size_t width);

// How many bytes to ask for again when the data declares a total beyond the
// bytes asked for the first time: the total, at most kLargestRequest; 0 when
// the first answer held it all.
std::uint32_t ResizedRequest(std::uint32_t declaredTotal, std::uint32_t asked);

// --- controller logs ---
inline constexpr std::uint8_t kErrorLogType = 1;
inline constexpr std::uint8_t kUsageLogType = 2;

// The controller log's total as it declares it: the length at bytes 1..2
// plus the 3 header bytes; 0 when not even the header came.
std::uint32_t ControllerLogTotal(Bytes log);

// The whole entries of the controller error log (type 1 at byte 0) of the
// kinds 0, 1 and 2, each from its kind byte on; entries of another kind are
// stepped over (10 bytes). Empty when the bytes are no error log.
std::vector<Bytes> ControllerLogEntries(Bytes log);

// Prints the controller error log (type 1 at byte 0); false, printing
// nothing, when the bytes are no error log. firmwareText names an event
// code.
bool PrintControllerErrorLog(Bytes log,
                             const std::function<std::string(std::uint32_t)>& firmwareText,
                             std::ostream& out);

// Prints the usage counters (four 32-bit numbers); false, printing nothing,
// when fewer than 16 bytes came.
bool PrintUsageLog(Bytes log, std::ostream& out);

// --- drive log pages ---
// A page's total as it declares it: the page length at bytes 2..3 plus the
// 4 header bytes; 0 when not even the header came.
std::uint32_t LogPageTotal(Bytes page);

// The page codes a supported-pages page (page 0) lists.
std::vector<std::uint8_t> SupportedPages(Bytes page);
void PrintSupportedPages(std::span<const std::uint8_t> codes, std::ostream& out);

struct LogParameter {
    std::uint16_t code = 0;
    // A value of 1, 2 or 4 bytes as it stands; of 8 bytes in units of 2^20;
    // of any other length 0.
    std::uint32_t value = 0;
};
std::vector<LogParameter> LogParameters(Bytes page);

// The error counters of a write (2), read (3) or verify (5) error page.
void PrintErrorCounters(Bytes page, std::ostream& out);
// The non-medium error count of page 6.
void PrintNonMediumErrors(Bytes page, std::ostream& out);
// A page as hexadecimal bytes and text, 16 to a line, under a head naming
// its first byte.
void PrintHexDump(Bytes page, std::ostream& out);

// --- defect data ---
// The grown list in physical-sector format.
inline constexpr std::uint8_t kGrownPhysicalFormat = 13;

// The defect data's total as it declares it: the list length at bytes 2..3
// plus the 4 header bytes; 0 when not even the header came.
std::uint32_t DefectDataTotal(Bytes data);

struct Defect {
    std::uint32_t cylinder = 0;  // 24 bits
    std::uint8_t head = 0;
    std::uint32_t sector = 0;
};
// The whole descriptors of the defect data.
std::vector<Defect> Defects(Bytes data);

// Prints the grown defect list: its heading, one row per whole descriptor
// and a blank line, or the line that says there is none.
void PrintDefectList(Bytes data, std::ostream& out);

}  // namespace dkjournal
