#include "tools/recover/ControllerLogRecord.h"

#include <cstring>
#include <string>

#include "cli/common/CliConfig.h"
#include "tools/recover/LogMessageModules.h"
#include "tools/recover/SalvageTexts.h"

namespace salvage {

namespace {

std::uint32_t Be32(const unsigned char* b) {
    return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) |
           b[3];
}

void Heading(std::string& out, int item, const LogMessageModules& modules) {
    out += CliText(kRecordSet, item, modules.ArrayId().c_str());
    out += '\n';
}

cli::ControllerLogHeader HeaderOf(const LogRecord& record) {
    return {record.tix, record.evCode, record.evCount};
}

}  // namespace

const char* LogSlotName(std::uint32_t slot) {
    return cli::LogSlotName(slot);
}

void LogRecord::Parse(const unsigned char* b) {
    cli::ControllerLogHeader header;
    ControllerLogWalk::ReadHeader(b, kHeaderSize, header);
    type = b[0];
    kept1 = b[1];
    tix = header.ticks;
    kept6 = b[6];
    evCode = header.eventCode;
    evCount = header.count;
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
    std::string lines;
    Heading(lines, 38, modules);
    cli::AppendDriveEventLines(lines, modules.Texts(), HeaderOf(*this), slot, value, lba);
    out << lines;
}

void ControllerEventRecord::Parse(const unsigned char* b) {
    LogRecord::Parse(b);
    value = b[10];
    messageCode = b[11];
    data[0] = b[12];
    data[1] = b[13];
}

void ControllerEventRecord::Print(std::ostream& out, const LogMessageModules& modules) const {
    std::string lines;
    Heading(lines, 49, modules);
    cli::AppendControllerEventLines(lines, modules.Texts(), HeaderOf(*this), value, messageCode,
                                    data);
    out << lines;
}

void ChangeEventRecord::Parse(const unsigned char* b) {
    LogRecord::Parse(b);
    messageCode = b[10];
    std::memcpy(kept, b + 12, sizeof kept);
}

void ChangeEventRecord::Print(std::ostream& out, const LogMessageModules& modules) const {
    std::string lines;
    Heading(lines, 59, modules);
    cli::AppendChangeEventLines(lines, modules.Texts(), HeaderOf(*this), messageCode);
    out << lines;
}

}  // namespace salvage
