// What the log printer's tests share: dktrail run in-process in a fresh
// machine root (the pseudo-language catalog, every text starting with
// "[<set>.<number>] "; times in UTC; the server-log refresh replaced by a
// counter), and log bytes made by hand from the layout tables of the
// catalog and the log files, for the damaged-file cases.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/FileBytes.h"
#include "support/FreshRoot.h"
#include "support/TextLines.h"

namespace trailtest {

using Bytes = std::vector<unsigned char>;

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// "[set.number] ", the mark a pseudo-language text starts with (set 18 when
// only the number is given).
std::string Mark(int set, int number);
std::string Mark(int number);

class TrailTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The service's log directory in this root (C:\oru_log).
    std::string LogDir() const { return root.File("c/oru_log"); }
    // Runs "dktrail <arguments>" in-process; the refresh only counts.
    RunResult Run(const std::vector<std::string>& arguments);

    testsupport::FreshRoot root;
    int refreshes = 0;
};

// --- bytes by hand ---
void PutLe32(Bytes& bytes, std::size_t at, std::uint32_t value);
void PutLe16(Bytes& bytes, std::size_t at, std::uint16_t value);
void PutBe32(Bytes& bytes, std::size_t at, std::uint32_t value);
void PutBe16(Bytes& bytes, std::size_t at, std::uint16_t value);
using testsupport::ReadBytes;
using testsupport::WriteBytes;

// A catalog header (52 bytes at 0); catalogSize 0: 52 + 44 per entry.
struct HandHeader {
    std::uint32_t state = 1;
    std::uint32_t version = 0;
    std::uint32_t fileCount = 0;
    std::uint32_t totalLogSize = 0;
    std::uint32_t startLrba = 4096;
    std::uint32_t oldestBundle = 0;
    std::uint32_t highLrba = 0;
    std::uint32_t highTime = 0;
    std::uint32_t lastFileNumber = 0;
    std::uint32_t catalogSize = 0;
    std::uint32_t oldest = 0;
    std::uint32_t latest = 0;
    std::uint32_t freeList = 0;
};
// A file entry (44 bytes); the name is copied as it stands (16 bytes).
struct HandEntry {
    std::uint32_t next = 0;
    std::uint32_t previous = 0;
    std::uint32_t beginLrba = 0;
    std::uint32_t endLrba = 0;
    std::uint32_t bundle = 0;
    std::uint32_t beginTime = 0;
    std::uint32_t endTime = 0;
    std::string name;
};
// Entries at 52, 96, 140, ...
Bytes CatalogBytes(const HandHeader& header, const std::vector<HandEntry>& entries);
// Entry slot i's catalog offset.
constexpr std::uint32_t Slot(std::uint32_t i) {
    return 52 + 44 * i;
}

// A log record: the 60-byte header and its payload, laid out as the service
// writes it; length 0: 60 + the payload.
struct HandRecord {
    std::uint32_t length = 0;
    std::uint16_t recordClass = 2;
    std::uint16_t code = 0;
    std::uint32_t time = 0;
    std::uint32_t bundle = 0;  // 0: its own LRBA
    std::uint32_t backLink = 0;
    std::string serial;
    bool begins = true;
    bool ends = true;
    Bytes payload;
};
// One 4096-byte block with the records from offset 0, each stamped with
// its LRBA (blockLrba + offset) and, unless given, a back link to the one
// before (the first: firstBackLink); an end marker behind the last when 8
// bytes remain. *lrbas (may be null) gets each record's LRBA.
Bytes Block(std::uint32_t blockLrba, const std::vector<HandRecord>& records,
            std::uint32_t firstBackLink = 0, std::vector<std::uint32_t>* lrbas = nullptr);
// The filler block at LRBA 0 of a new log.
Bytes FillerBlock();

// Controller-log entries as the controller writes them (big-endian), padded
// as the service keeps them: a drive event (18 bytes + 2), a controller
// event (14 + 2), a configuration change (28).
Bytes DriveEntry(std::uint32_t tix, std::uint16_t code, std::uint8_t count, std::uint8_t slot,
                 std::uint8_t b11, std::uint8_t b12, std::uint8_t b13, std::uint32_t lba);
Bytes ControllerEntry(std::uint32_t tix, std::uint16_t code, std::uint8_t count, std::uint8_t value,
                      std::uint8_t messageCode, std::uint8_t b12, std::uint8_t b13);
Bytes ChangeEntry(std::uint32_t tix, std::uint16_t code, std::uint8_t count,
                  std::uint8_t messageCode);

using testsupport::Lines;
// How often piece stands in text.
std::size_t Count(const std::string& text, const std::string& piece);

}  // namespace trailtest
