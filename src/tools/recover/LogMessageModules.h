// The texts the controller log records print besides their own labels: the
// array id of their headings, the firmware's text of an event code and the
// client text of a message code. Set up once per run, after the command
// line.
//
// The firmware text of a code is text code + 2000 of the firmware error
// catalog (fwerrcod), the client text of a code is text code + 17001 of the
// console programs' catalog; a text id is set x 1000 + number. A code
// without a text prints as its decimal value (the client form as code + 1),
// also when the firmware error catalog is missing altogether.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class StringCatalog;

namespace salvage {

class LogMessageModules {
  public:
    static constexpr std::uint32_t kFirmwareTextBase = 2000;
    static constexpr std::uint32_t kClientTextBase = 17001;

    // Opens the firmware error catalog; the console catalog is the
    // command-line library's (GetCliCatalog).
    explicit LogMessageModules(std::string arrayId);
    ~LogMessageModules();
    LogMessageModules(const LogMessageModules&) = delete;
    LogMessageModules& operator=(const LogMessageModules&) = delete;

    const std::string& ArrayId() const { return arrayId_; }
    std::string FirmwareText(std::uint32_t code) const;
    std::string ClientText(std::uint32_t code) const;

  private:
    std::string arrayId_;
    std::unique_ptr<StringCatalog> firmware_;
};

}  // namespace salvage
