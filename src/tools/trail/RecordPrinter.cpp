#include "tools/trail/RecordPrinter.h"

#include <cstdio>
#include <ctime>

#include "catalog/StringCatalog.h"
#include "coresys/common/ControllerLogWalk.h"
#include "coresys/server/log/LogLayout.h"
#include "tools/trail/TrailOutput.h"
#include "tools/trail/TrailTexts.h"

namespace trail {

namespace {

constexpr const char* kDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Where a class 2 record's payload keeps what the decoders read: a
// controller-log entry from offset 60 (its header, then the bytes of its
// kind, as the controller's log lays them out).
constexpr std::uint32_t kEntry = logfmt::kRecordHeaderSize;
constexpr std::uint32_t kUsageErrors = 72;

// The preventive record (little-endian words; texts of 17 bytes).
constexpr std::uint32_t kPerfCompletion = 60;
constexpr std::uint32_t kPerfBusHigh = 64;
constexpr std::uint32_t kPerfBusLow = 68;
constexpr std::uint32_t kPerfSlots = 72;
constexpr std::uint32_t kPerfFirstMember = 76;
constexpr std::uint32_t kPerfStateCounts = 96;
constexpr std::uint32_t kPerfMissing = 128;
constexpr std::uint32_t kPerfLuns = 132;
constexpr std::uint32_t kPerfPriorityClear = 136;
constexpr std::uint32_t kPerfRedundancy = 140;
constexpr std::uint32_t kPerfVirtual = 144;
constexpr std::uint32_t kPerfRaid1 = 152;
constexpr std::uint32_t kPerfPageByte = 160;
constexpr std::uint32_t kPerfActiveSerial = 164;
constexpr std::uint32_t kPerfModuleFaults = 188;
constexpr std::uint32_t kPerfPolls = 192;
constexpr std::uint32_t kPerfCounters = 196;
constexpr std::uint32_t kPerfStoredSerial = 236;
constexpr std::uint32_t kPerfTextSize = 17;

std::uint32_t Be32(const unsigned char* b) {
    return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) |
           b[3];
}

// The decoders run on records at least kDecodeLength long, which holds the
// whole entry header.
cli::ControllerLogHeader EntryHeader(const LogRecordView& record) {
    cli::ControllerLogHeader header;
    ControllerLogWalk::ReadHeader(record.Bytes() + kEntry,
                                  record.Length() > kEntry ? record.Length() - kEntry : 0, header);
    return header;
}

std::uint32_t Word(const LogRecordView& record, std::uint32_t offset) {
    return logfmt::GetLe32(record.Bytes() + offset);
}

std::string Words(const LogRecordView& record, std::uint32_t offset, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (i != 0) {
            text += ' ';
        }
        text += std::to_string(Word(record, offset + 4 * static_cast<std::uint32_t>(i)));
    }
    return text;
}

}  // namespace

const std::string& LocalTimeText::Full(std::uint32_t time) {
    if (valid_ && time == time_) {
        return text_;
    }
    const std::time_t seconds = time;
    std::tm local{};
    char text[64];
    if (::localtime_r(&seconds, &local) == nullptr) {
        std::snprintf(text, sizeof text, "%u\n", time);
    } else {
        std::snprintf(text, sizeof text, "%.3s %.3s%3d %.2d:%.2d:%.2d %d\n",
                      kDays[local.tm_wday % 7], kMonths[local.tm_mon % 12], local.tm_mday,
                      local.tm_hour, local.tm_min, local.tm_sec, 1900 + local.tm_year);
    }
    text_ = text;
    time_ = time;
    valid_ = true;
    return text_;
}

RecordPrinter::RecordPrinter(const TrailOptions& options, StringCatalog& console,
                             StringCatalog& firmware, TrailOutput& out, TrailOutput& err)
    : options_(options), console_(console), out_(out), err_(err), entryTexts_(console, firmware) {}

const std::string& RecordPrinter::Text(int number) {
    std::optional<std::string>& text = texts_.at(static_cast<std::size_t>(number));
    if (!text) {
        text = console_.GetStringCommonBuf(kTrailSet, number);
    }
    return *text;
}

void RecordPrinter::Print(const LogRecordView& record) {
    if (record.Class() != 2) {
        GenericLine(record);
        return;
    }
    const std::uint16_t code = record.Code();
    if (code < LRK_COUNT && !options_.kinds[code]) {
        return;
    }
    if (code >= LRK_COUNT) {
        // No kind names this code: nothing to decode it with.
        ++decoded_;
        GenericLine(record);
        return;
    }
    if (record.Length() < kDecodeLength[code]) {
        GenericLine(record);
        err_.Put(console_.GetStringCommonBuf(kTrailSet, T_RECORD_SHORT, record.Lrba(),
                                             record.Length(), RecordKindName(code)));
        err_.Put('\n');
        return;
    }
    ++decoded_;
    switch (code) {
        case LRK_USAGE:
            Usage(record);
            break;
        case LRK_DISK:
            Disk(record);
            break;
        case LRK_CTRLR:
            Controller(record);
            break;
        case LRK_CHANGE:
            Change(record);
            break;
        default:
            Perf(record);
            break;
    }
}

void RecordPrinter::GenericLine(const LogRecordView& record) {
    if (options_.verbose == 0) {
        return;
    }
    out_.Printf(TrailTexts::kGenericLine, record.Lrba(), record.Class(), record.Code(),
                record.Length(), record.BundleId(), record.BeginsBundle() ? 'B' : ' ',
                record.EndsBundle() ? 'E' : ' ', times_.Full(record.Time()).c_str());
}

void RecordPrinter::Heading(int title, const LogRecordView& record) {
    const std::string serial =
        PrintableText(record.Bytes() + logfmt::kRecSerial, logfmt::kSerialSize - 1);
    auto [at, added] = headings_.try_emplace(std::to_string(title) + ":" + serial);
    if (added) {
        at->second = console_.GetStringCommonBuf(kTrailSet, title, serial.c_str());
        at->second += Text(T_LOGGED_AT);
    }
    std::string& line = out_.Buffer();
    line += at->second;
    line += times_.Full(record.Time());
    out_.Settle();
    GenericLine(record);
}

void RecordPrinter::Usage(const LogRecordView& record) {
    Heading(T_USAGE_TITLE, record);
    const std::uint32_t errors = Word(record, kUsageErrors);
    if (errors != 0) {
        std::string& line = out_.Buffer();
        line += Text(T_USAGE_ERRORS);
        line += std::to_string(errors);
        line += '\n';
        out_.Settle();
    }
}

void RecordPrinter::Disk(const LogRecordView& record) {
    Heading(T_DRIVE_TITLE, record);
    const unsigned char* b = record.Bytes();
    // The printer shows the three single bytes from the last to the first.
    const std::uint32_t sense[3] = {b[73], b[72], b[71]};
    cli::AppendDriveEventLines(out_.Buffer(), entryTexts_, EntryHeader(record), b[70], sense,
                               Be32(b + 74));
    out_.Settle();
}

void RecordPrinter::Controller(const LogRecordView& record) {
    Heading(T_CONTROLLER_TITLE, record);
    const unsigned char* b = record.Bytes();
    const std::uint32_t data[2] = {b[72], b[73]};
    cli::AppendControllerEventLines(out_.Buffer(), entryTexts_, EntryHeader(record), b[70], b[71],
                                    data);
    out_.Settle();
}

void RecordPrinter::Change(const LogRecordView& record) {
    Heading(T_CHANGE_TITLE, record);
    const unsigned char* b = record.Bytes();
    cli::AppendChangeEventLines(out_.Buffer(), entryTexts_, EntryHeader(record), b[70]);
    out_.Settle();
}

void RecordPrinter::Perf(const LogRecordView& record) {
    Heading(T_PERF_TITLE, record);
    const unsigned char* b = record.Bytes();
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%02X", Word(record, kPerfPageByte));
    const std::string values[] = {
        std::to_string(Word(record, kPerfCompletion)),
        std::to_string(Word(record, kPerfBusHigh)),
        std::to_string(Word(record, kPerfBusLow)),
        std::to_string(Word(record, kPerfSlots)),
        PrintableText(b + kPerfFirstMember, kPerfTextSize),
        Words(record, kPerfStateCounts, 8),
        std::to_string(Word(record, kPerfMissing)),
        std::to_string(Word(record, kPerfLuns)),
        std::to_string(Word(record, kPerfPriorityClear)),
        std::to_string(Word(record, kPerfRedundancy)),
        std::to_string(Word(record, kPerfVirtual)) + " x " +
            std::to_string(Word(record, kPerfVirtual + 4)),
        std::to_string(Word(record, kPerfRaid1)) + " x " +
            std::to_string(Word(record, kPerfRaid1 + 4)),
        hex,
        PrintableText(b + kPerfActiveSerial, kPerfTextSize),
        std::to_string(Word(record, kPerfModuleFaults)),
        std::to_string(Word(record, kPerfPolls)),
        Words(record, kPerfCounters, 10),
        PrintableText(b + kPerfStoredSerial, kPerfTextSize),
    };
    static_assert(std::size(values) == T_PERF_LAST - T_PERF_FIRST + 1);
    std::string& lines = out_.Buffer();
    for (int i = 0; i < static_cast<int>(std::size(values)); ++i) {
        lines += Text(T_PERF_FIRST + i);
        lines += values[i];
        lines += '\n';
    }
    out_.Settle();
}

}  // namespace trail
