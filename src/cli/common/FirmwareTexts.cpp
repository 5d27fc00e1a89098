#include "cli/common/FirmwareTexts.h"

#include "catalog/StringCatalog.h"

namespace {

// The name the programs have always given the catalog, and its library.
constexpr const char* kCatalogPath = "./fwerrcod.cat";
constexpr const char* kLibrary = "fwerrcod.dll";
constexpr std::uint64_t kSetSize = 1000;

}  // namespace

bool LookupCatalogText(StringCatalog& catalog, std::uint64_t id, std::string* text) {
    const std::uint64_t set = id / kSetSize;
    const std::uint64_t number = id % kSetSize;
    if (catalog.OpenResult() != 0 || number == 0 || set > 0x7FFFFFFF) {
        return false;
    }
    *text = catalog.GetStringCommonBuf(static_cast<int>(set), static_cast<int>(number));
    return catalog.CatGetStringErrno() == 0;
}

FirmwareTexts::FirmwareTexts()
    : catalog_(std::make_unique<StringCatalog>(kCatalogPath, kLibrary)) {}

FirmwareTexts::~FirmwareTexts() = default;

std::string FirmwareTexts::Text(std::uint32_t code) const {
    std::string text;
    if (LookupCatalogText(*catalog_, std::uint64_t{code} + kTextBase, &text)) {
        return text;
    }
    return std::to_string(code);
}
