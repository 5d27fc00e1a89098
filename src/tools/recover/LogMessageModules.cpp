#include "tools/recover/LogMessageModules.h"

#include <string>

#include "catalog/StringCatalog.h"
#include "cli/common/CliConfig.h"

namespace salvage {

namespace {

constexpr const char* kFirmwareCatalogPath = "./fwerrcod.cat";
constexpr const char* kFirmwareLibrary = "fwerrcod.dll";
constexpr std::uint64_t kSetSize = 1000;

// The text of a string id, or false when the catalog has none. The texts
// looked up this way take no arguments.
bool Lookup(StringCatalog& catalog, std::uint64_t id, std::string* text) {
    const std::uint64_t set = id / kSetSize;
    const std::uint64_t number = id % kSetSize;
    if (catalog.OpenResult() != 0 || number == 0 || set > 0x7FFFFFFF) {
        return false;
    }
    *text = catalog.GetStringCommonBuf(static_cast<int>(set), static_cast<int>(number));
    return catalog.CatGetStringErrno() == 0;
}

}  // namespace

LogMessageModules::LogMessageModules(std::string arrayId)
    : arrayId_(std::move(arrayId)),
      firmware_(std::make_unique<StringCatalog>(kFirmwareCatalogPath, kFirmwareLibrary)) {}

LogMessageModules::~LogMessageModules() = default;

std::string LogMessageModules::FirmwareText(std::uint32_t code) const {
    std::string text;
    if (Lookup(*firmware_, std::uint64_t{code} + kFirmwareTextBase, &text)) {
        return text;
    }
    return std::to_string(code);
}

std::string LogMessageModules::ClientText(std::uint32_t code) const {
    std::string text;
    if (Lookup(GetCliCatalog(), std::uint64_t{code} + kClientTextBase, &text)) {
        return text;
    }
    return std::to_string(std::uint64_t{code} + 1);
}

}  // namespace salvage
