#include "tools/recover/LogMessageModules.h"

#include <string>

#include "catalog/StringCatalog.h"
#include "cli/common/CliConfig.h"

namespace salvage {

LogMessageModules::LogMessageModules(std::string arrayId)
    : arrayId_(std::move(arrayId)),
      firmware_(
          std::make_unique<StringCatalog>(cli::kFirmwareCatalogPath, cli::kFirmwareCatalogLibrary)),
      texts_(GetCliCatalog(), *firmware_) {}

LogMessageModules::~LogMessageModules() = default;

}  // namespace salvage
