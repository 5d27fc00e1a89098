#include "cli/dkjournal/JournalLogs.h"

#include <algorithm>
#include <cstdio>

#include "cli/common/CliConfig.h"
#include "cli/common/ValueText.h"
#include "coresys/common/ControllerLogWalk.h"

namespace dkjournal {

namespace {

// Set 14 items.
constexpr int kPagesHeadingItem = 1;
constexpr int kOtherPageItem = 9;
constexpr int kNoDefectsItem = 12;
constexpr int kDefectsHeadingItem = 13;
constexpr int kDefectColumnsItem = 14;
constexpr int kErrorLogItem = 32;
constexpr int kDriveEventItem = 33;
constexpr int kDriveEventTimeItem = 34;
constexpr int kDriveEventLines[] = {36, 37, 38, 39, 40, 41};
constexpr int kControllerEventItem = 42;
constexpr int kControllerEventTimeItem = 43;
constexpr int kControllerEventLines[] = {45, 46, 47, 48};
constexpr int kChangeEventItem = 49;
constexpr int kChangeEventTimeItem = 50;
constexpr int kChangeEventLines[] = {52, 53};
constexpr int kEmptyLogItem = 54;
constexpr int kUsageItem = 55;
constexpr int kErrorsItem = 56;
constexpr int kWriteErrorsItem = 75;   // 76 read, 77 verify
constexpr int kFirstCounterItem = 80;  // parameters 0..6
constexpr std::uint16_t kLastCounter = 6;
constexpr int kNonMediumItem = 99;
constexpr int kNonMediumCountItem = 100;
constexpr int kDumpHeadItem = 101;

// The pages with a text of their own: 0, 1, 2, 3, 5, 6, 7 (items 2..8).
constexpr std::uint8_t kNamedPages[] = {0, 1, 2, 3, 5, 6, 7};
constexpr int kFirstNamedPageItem = 2;

constexpr std::size_t kLogHeader = ControllerLogWalk::kHeaderLength;
constexpr std::size_t kDefectHeader = 4;
constexpr std::size_t kUsageBytes = 16;

void Line(int item, std::ostream& out) {
    out << CliText(kReportSet, item) << '\n';
}

template <typename... Args>
void Line(int item, std::ostream& out, Args... args) {
    out << CliText(kReportSet, item, args...) << '\n';
}

// entry: a whole entry of kind 0, 1 or 2 (as ControllerLogEntries gives).
void PrintEntry(Bytes entry, const std::function<std::string(std::uint32_t)>& firmwareText,
                std::ostream& out) {
    ValueText words;
    ControllerLogWalk::EntryHeader header;
    ControllerLogWalk::ReadHeader(entry.data(), static_cast<std::uint32_t>(entry.size()), header);
    const std::string event = firmwareText(header.eventCode);
    switch (entry[0]) {
        case 0:
            Line(kDriveEventItem, out);
            out << CliText(kReportSet, kDriveEventTimeItem, header.ticks) << event << '\n';
            Line(kDriveEventLines[0], out, header.count);
            Line(kDriveEventLines[1], out, words.DriveSlotName(entry[10]));
            Line(kDriveEventLines[2], out, unsigned{entry[11]});
            Line(kDriveEventLines[3], out, unsigned{entry[12]});
            Line(kDriveEventLines[4], out, unsigned{entry[13]});
            Line(kDriveEventLines[5], out, ReadBe(entry, 14, 4));
            break;
        case 1:
            Line(kControllerEventItem, out);
            out << CliText(kReportSet, kControllerEventTimeItem, header.ticks) << event << '\n';
            Line(kControllerEventLines[0], out, header.count);
            Line(kControllerEventLines[1], out, unsigned{entry[10]});
            Line(kControllerEventLines[2], out, unsigned{entry[11]});
            Line(kControllerEventLines[3], out, ReadBe(entry, 12, 2));
            break;
        default:
            Line(kChangeEventItem, out);
            out << CliText(kReportSet, kChangeEventTimeItem, header.ticks) << event << '\n';
            Line(kChangeEventLines[0], out, header.count);
            Line(kChangeEventLines[1], out, unsigned{entry[10]});
            break;
    }
}

}  // namespace

bool PrintControllerErrorLog(Bytes log,
                             const std::function<std::string(std::uint32_t)>& firmwareText,
                             std::ostream& out) {
    if (log.size() < kLogHeader || log[0] != kErrorLogType) {
        return false;
    }
    Line(kErrorLogItem, out);
    const std::vector<Bytes> entries = ControllerLogEntries(log);
    if (entries.empty() && ControllerLogTotal(log) == kLogHeader) {
        Line(kEmptyLogItem, out);
    }
    for (Bytes entry : entries) {
        PrintEntry(entry, firmwareText, out);
    }
    return true;
}

bool PrintUsageLog(Bytes log, std::ostream& out) {
    if (log.size() < kUsageBytes) {
        return false;
    }
    Line(kUsageItem, out);
    Line(kErrorsItem, out, ReadBe(log, 12, 4));
    return true;
}

void PrintSupportedPages(std::span<const std::uint8_t> codes, std::ostream& out) {
    Line(kPagesHeadingItem, out);
    for (std::uint8_t code : codes) {
        const auto named = std::find(std::begin(kNamedPages), std::end(kNamedPages), code);
        if (named != std::end(kNamedPages)) {
            Line(kFirstNamedPageItem + static_cast<int>(named - std::begin(kNamedPages)), out);
        } else {
            Line(kOtherPageItem, out, unsigned{code});
        }
    }
}

void PrintErrorCounters(Bytes page, std::ostream& out) {
    if (page.empty()) {
        return;
    }
    // Page 2 counts write errors, 3 read errors, 5 verify errors.
    const int heading = page[0] == 2   ? kWriteErrorsItem
                        : page[0] == 3 ? kWriteErrorsItem + 1
                                       : kWriteErrorsItem + 2;
    Line(heading, out);
    for (const LogParameter& parameter : LogParameters(page)) {
        if (parameter.code <= kLastCounter) {
            Line(kFirstCounterItem + parameter.code, out, parameter.value);
        }
    }
}

void PrintNonMediumErrors(Bytes page, std::ostream& out) {
    Line(kNonMediumItem, out);
    for (const LogParameter& parameter : LogParameters(page)) {
        if (parameter.code == 0) {
            Line(kNonMediumCountItem, out, parameter.value);
        }
    }
}

void PrintHexDump(Bytes page, std::ostream& out) {
    constexpr std::size_t kPerLine = 16;
    if (page.empty()) {
        return;
    }
    Line(kDumpHeadItem, out, unsigned{page[0]});
    char field[16];
    for (std::size_t offset = 0; offset < page.size(); offset += kPerLine) {
        std::snprintf(field, sizeof field, "%4d:  ", static_cast<int>(offset));
        out << field;
        std::string text;
        for (std::size_t i = 0; i < kPerLine; ++i) {
            if (offset + i < page.size()) {
                const unsigned char byte = page[offset + i];
                std::snprintf(field, sizeof field, "%2x ", byte);
                text += byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.';
            } else {
                std::snprintf(field, sizeof field, "%2c ", ' ');
            }
            out << field;
        }
        out << '*' << text << "*\n";
    }
}

void PrintDefectList(Bytes data, std::ostream& out) {
    if (data.size() < kDefectHeader || ReadBe(data, 2, 2) == 0) {
        Line(kNoDefectsItem, out);
    } else {
        Line(kDefectsHeadingItem, out);
        Line(kDefectColumnsItem, out);
        char row[40];
        for (const Defect& defect : Defects(data)) {
            std::snprintf(row, sizeof row, "%-10u%-10u%-10u\n", defect.cylinder,
                          unsigned{defect.head}, defect.sector);
            out << row;
        }
    }
    out << '\n';
}

}  // namespace dkjournal
