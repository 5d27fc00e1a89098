#include "tools/recover/LogMessageModules.h"

#include <string>

#include "catalog/StringCatalog.h"
#include "cli/common/CliConfig.h"

namespace salvage {

namespace {

constexpr const char* kFirmwareCatalogPath = "./fwerrcod.cat";
constexpr const char* kFirmwareLibrary = "fwerrcod.dll";

}  // namespace

LogMessageModules::LogMessageModules(std::string arrayId)
    : arrayId_(std::move(arrayId)),
      firmware_(std::make_unique<StringCatalog>(kFirmwareCatalogPath, kFirmwareLibrary)),
      texts_(GetCliCatalog(), *firmware_) {}

LogMessageModules::~LogMessageModules() = default;

}  // namespace salvage
