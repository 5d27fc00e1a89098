#include "TrailTestSupport.h"

#include <cstdlib>
#include <ctime>
#include <sstream>

#include "catalog/StringCatalog.h"
#include "tools/trail/TrailRun.h"

namespace trailtest {

std::string Mark(int set, int number) {
    return "[" + std::to_string(set) + "." + std::to_string(number) + "] ";
}

std::string Mark(int number) {
    return Mark(18, number);
}

void TrailTest::SetUp() {
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_MESSAGES");
    ::setenv("LANG", "xx", 1);
    ::setenv("ORU_NLSPATH", ORU_NLS_DIR, 1);
    ::setenv("TZ", "UTC", 1);
    ::tzset();
}

void TrailTest::TearDown() {
    ::unsetenv("LANG");
}

RunResult TrailTest::Run(const std::vector<std::string>& arguments) {
    std::ostringstream out;
    std::ostringstream err;
    trail::TrailHooks hooks;
    hooks.refresh = [this](StringCatalog&, trail::TrailOutput&, trail::TrailOutput&) {
        ++refreshes;
    };
    hooks.currentYear = 2024;
    RunResult result;
    result.exitCode = trail::RunTrail(arguments, out, err, hooks);
    result.out = out.str();
    result.err = err.str();
    return result;
}

void PutLe32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

void PutLe16(Bytes& bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<unsigned char>(value);
    bytes[at + 1] = static_cast<unsigned char>(value >> 8);
}

void PutBe32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<unsigned char>(value >> (8 * (3 - i)));
    }
}

void PutBe16(Bytes& bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<unsigned char>(value >> 8);
    bytes[at + 1] = static_cast<unsigned char>(value);
}

Bytes CatalogBytes(const HandHeader& h, const std::vector<HandEntry>& entries) {
    Bytes bytes(52 + 44 * entries.size(), 0);
    const std::uint32_t words[13] = {
        h.state,
        h.version,
        h.fileCount,
        h.totalLogSize,
        h.startLrba,
        h.oldestBundle,
        h.highLrba,
        h.highTime,
        h.lastFileNumber,
        h.catalogSize != 0 ? h.catalogSize : static_cast<std::uint32_t>(bytes.size()),
        h.oldest,
        h.latest,
        h.freeList};
    for (std::size_t i = 0; i < 13; ++i) {
        PutLe32(bytes, 4 * i, words[i]);
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const HandEntry& e = entries[i];
        const std::size_t at = 52 + 44 * i;
        const std::uint32_t fields[7] = {e.next,   e.previous,  e.beginLrba, e.endLrba,
                                         e.bundle, e.beginTime, e.endTime};
        for (std::size_t f = 0; f < 7; ++f) {
            PutLe32(bytes, at + 4 * f, fields[f]);
        }
        for (std::size_t c = 0; c < e.name.size() && c < 16; ++c) {
            bytes[at + 28 + c] = static_cast<unsigned char>(e.name[c]);
        }
    }
    return bytes;
}

Bytes Block(std::uint32_t blockLrba, const std::vector<HandRecord>& records,
            std::uint32_t firstBackLink, std::vector<std::uint32_t>* lrbas) {
    Bytes block(4096, 0);
    std::uint32_t offset = 0;
    std::uint32_t previous = firstBackLink;
    for (const HandRecord& r : records) {
        const std::uint32_t length =
            r.length != 0 ? r.length : 60 + static_cast<std::uint32_t>(r.payload.size());
        const std::uint32_t lrba = blockLrba + offset;
        PutLe32(block, offset + 4, length);
        PutLe16(block, offset + 12, r.recordClass);
        PutLe16(block, offset + 14, r.code);
        PutLe32(block, offset + 16, r.time);
        PutLe32(block, offset + 20, r.bundle != 0 ? r.bundle : lrba);
        PutLe32(block, offset + 24, lrba);
        PutLe32(block, offset + 28, r.backLink != 0 ? r.backLink : previous);
        for (std::size_t c = 0; c < r.serial.size() && c < 12; ++c) {
            block[offset + 36 + c] = static_cast<unsigned char>(r.serial[c]);
        }
        PutLe32(block, offset + 52, r.begins ? 1 : 0);
        PutLe32(block, offset + 56, r.ends ? 1 : 0);
        for (std::size_t p = 0; p < r.payload.size() && offset + 60 + p < 4096; ++p) {
            block[offset + 60 + p] = r.payload[p];
        }
        if (lrbas != nullptr) {
            lrbas->push_back(lrba);
        }
        previous = lrba;
        offset += (length + 7) & ~7u;
        if (offset >= 4096) {
            break;
        }
    }
    if (offset + 8 <= 4096) {
        PutLe32(block, offset, 0xFFFFFFFFu);
        PutLe32(block, offset + 4, 0xFFFFFFFFu);
    }
    return block;
}

Bytes FillerBlock() {
    HandRecord filler;
    filler.length = 4096;
    filler.recordClass = 0;
    filler.code = 0;
    return Block(0, {filler});
}

namespace {

// The head every controller log entry starts with: its kind (byte 0), time
// (bytes 2-5), event code (7-8) and count (9).
Bytes EntryHead(std::size_t size, std::uint8_t kind, std::uint32_t tix, std::uint16_t code,
                std::uint8_t count) {
    Bytes entry(size, 0);
    entry[0] = kind;
    PutBe32(entry, 2, tix);
    PutBe16(entry, 7, code);
    entry[9] = count;
    return entry;
}

}  // namespace

Bytes DriveEntry(std::uint32_t tix, std::uint16_t code, std::uint8_t count, std::uint8_t slot,
                 std::uint8_t b11, std::uint8_t b12, std::uint8_t b13, std::uint32_t lba) {
    Bytes entry = EntryHead(20, 0, tix, code, count);
    entry[10] = slot;
    entry[11] = b11;
    entry[12] = b12;
    entry[13] = b13;
    PutBe32(entry, 14, lba);
    return entry;
}

Bytes ControllerEntry(std::uint32_t tix, std::uint16_t code, std::uint8_t count, std::uint8_t value,
                      std::uint8_t messageCode, std::uint8_t b12, std::uint8_t b13) {
    Bytes entry = EntryHead(16, 1, tix, code, count);
    entry[10] = value;
    entry[11] = messageCode;
    entry[12] = b12;
    entry[13] = b13;
    return entry;
}

Bytes ChangeEntry(std::uint32_t tix, std::uint16_t code, std::uint8_t count,
                  std::uint8_t messageCode) {
    Bytes entry = EntryHead(28, 2, tix, code, count);
    entry[10] = messageCode;
    return entry;
}

std::size_t Count(const std::string& text, const std::string& piece) {
    std::size_t count = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos;
         at = text.find(piece, at + piece.size())) {
        ++count;
    }
    return count;
}

}  // namespace trailtest
