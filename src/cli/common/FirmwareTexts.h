// The firmware's own texts of controller event codes, from the firmware
// error catalog (fwerrcod): the text of code n is text id n + 2000 (set 2,
// number n for the codes below 1000).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class StringCatalog;

class FirmwareTexts {
  public:
    static constexpr std::uint32_t kTextBase = 2000;

    // Opens the firmware error catalog in the user's language (English when
    // that has none). A catalog that cannot be opened leaves every code
    // without a text.
    FirmwareTexts();
    ~FirmwareTexts();
    FirmwareTexts(const FirmwareTexts&) = delete;
    FirmwareTexts& operator=(const FirmwareTexts&) = delete;

    // The text of the code, or its decimal value when the catalog has none.
    std::string Text(std::uint32_t code) const;

  private:
    std::unique_ptr<StringCatalog> catalog_;
};

// The text of a string id (set x 1000 + number) of a catalog whose texts
// take no arguments; false when the catalog is not open or has no such text.
bool LookupCatalogText(StringCatalog& catalog, std::uint64_t id, std::string* text);
