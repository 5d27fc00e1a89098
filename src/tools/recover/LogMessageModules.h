// The texts the controller log records print besides their own labels: the
// array id of their headings, the firmware's text of an event code and the
// client text of a message code (cli/common/ControllerLogLines.h). Set up
// once per run, after the command line.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "cli/common/ControllerLogLines.h"

class StringCatalog;

namespace salvage {

class LogMessageModules {
  public:
    // Opens the firmware error catalog; the console catalog is the
    // command-line library's (GetCliCatalog).
    explicit LogMessageModules(std::string arrayId);
    ~LogMessageModules();
    LogMessageModules(const LogMessageModules&) = delete;
    LogMessageModules& operator=(const LogMessageModules&) = delete;

    const std::string& ArrayId() const { return arrayId_; }
    std::string FirmwareText(std::uint32_t code) const { return texts_.FirmwareText(code); }
    std::string ClientText(std::uint32_t code) const { return texts_.ClientText(code); }
    const cli::ControllerLogTexts& Texts() const { return texts_; }

  private:
    std::string arrayId_;
    std::unique_ptr<StringCatalog> firmware_;
    cli::ControllerLogTexts texts_;
};

}  // namespace salvage
