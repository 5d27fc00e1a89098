#include "tools/recover/ControllerLogRecord.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "cli/common/CliConfig.h"
#include "tools/recover/LogMessageModules.h"
#include "tools/recover/SalvageTexts.h"

namespace salvage {

namespace {

constexpr const char* kSlotNames[] = {"A1", "B1", "A2", "B2", "A3", "B3",
                                      "A4", "B4", "A5", "B5", "A6", "B6"};

std::uint32_t Be16(const unsigned char* b) {
    return (std::uint32_t{b[0]} << 8) | b[1];
}

std::uint32_t Be32(const unsigned char* b) {
    return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) |
           b[3];
}

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

// One record line: the label (set 18) and the value.
template <typename Value>
void Line(std::ostream& out, int item, const Value& value) {
    out << CliText(kRecordSet, item) << value << '\n';
}

void Heading(std::ostream& out, int item, const LogMessageModules& modules) {
    out << CliText(kRecordSet, item, modules.ArrayId().c_str()) << '\n';
}

}  // namespace

const char* LogSlotName(std::uint32_t slot) {
    return slot < std::size(kSlotNames) ? kSlotNames[slot] : "";
}

void LogRecord::Parse(const unsigned char* b) {
    type = b[0];
    kept1 = b[1];
    tix = Be32(b + 2);
    kept6 = b[6];
    evCode = Be16(b + 7);
    evCount = b[9];
}

void LogRecord::Print(std::ostream& out, const LogMessageModules&) const {
    out << ", Type: " << type << ", Tix: " << tix << ", evCode: " << evCode
        << ", evCount: " << evCount << '\n';
}

std::unique_ptr<LogRecord> LogRecord::Create(const unsigned char* bytes, std::uint32_t available) {
    if (bytes == nullptr || available == 0) {
        return nullptr;
    }
    std::unique_ptr<LogRecord> record;
    switch (bytes[0]) {
        case 0:
            record = std::make_unique<DriveEventRecord>();
            break;
        case 1:
            record = std::make_unique<ControllerEventRecord>();
            break;
        case 2:
            record = std::make_unique<ChangeEventRecord>();
            break;
        default:
            return nullptr;
    }
    // A record cut off by the end of the log cannot be read whole.
    if (record->Size() > available) {
        return nullptr;
    }
    record->Parse(bytes);
    return record;
}

void DriveEventRecord::Parse(const unsigned char* b) {
    LogRecord::Parse(b);
    slot = b[10];
    for (std::uint32_t i = 0; i < 3; ++i) {
        value[i] = b[11 + i];
    }
    lba = Be32(b + 14);
}

void DriveEventRecord::Print(std::ostream& out, const LogMessageModules& modules) const {
    Heading(out, 38, modules);
    Line(out, 39, tix);
    Line(out, 40, evCode);
    Line(out, 41, modules.FirmwareText(evCode));
    Line(out, 42, evCount);
    Line(out, 43, slot);
    Line(out, 44, modules.ClientText(slot));
    Line(out, 45, LogSlotName(slot));
    Line(out, 46, Hex(value[0]));
    Line(out, 47, Hex(value[1]));
    Line(out, 48, Hex(value[2]));
    out << SalvageTexts::kLbaLabel << lba << '\n';
}

void ControllerEventRecord::Parse(const unsigned char* b) {
    LogRecord::Parse(b);
    value = b[10];
    messageCode = b[11];
    data[0] = b[12];
    data[1] = b[13];
}

void ControllerEventRecord::Print(std::ostream& out, const LogMessageModules& modules) const {
    const bool hasData = data[0] != 0 || data[1] != 0;
    Heading(out, 49, modules);
    Line(out, 50, tix);
    if (hasData) {
        Line(out, 51, evCode);
    } else {
        Line(out, 52, evCode);
        Line(out, 53, modules.FirmwareText(evCode));
    }
    Line(out, 54, evCount);
    Line(out, 55, value);
    Line(out, 56, messageCode);
    Line(out, 57, modules.ClientText(messageCode));
    if (hasData) {
        Line(out, 58, Hex(data[0]) + " " + Hex(data[1]));
    }
}

void ChangeEventRecord::Parse(const unsigned char* b) {
    LogRecord::Parse(b);
    messageCode = b[10];
    std::memcpy(kept, b + 12, sizeof kept);
}

void ChangeEventRecord::Print(std::ostream& out, const LogMessageModules& modules) const {
    Heading(out, 59, modules);
    Line(out, 60, tix);
    Line(out, 61, evCode);
    Line(out, 62, modules.FirmwareText(evCode));
    Line(out, 63, evCount);
    Line(out, 64, messageCode);
    Line(out, 65, modules.ClientText(messageCode));
}

}  // namespace salvage
