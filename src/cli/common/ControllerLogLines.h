// The lines of one controller-log entry, as the programs that read
// controller logs print them: dksalvage from the controller's own log,
// dktrail from the copies the service keeps in its log. Both print the same
// catalog texts (set 18) with the same values; only what stands around them
// (headings, and where each value is found) is their own.
//
// Besides its labels an entry prints two looked-up texts: the firmware's
// text of an event code, text code + 2000 of the firmware error catalog
// (fwerrcod), and the client text of a message code, text code + 17001 of
// the console programs' catalog (a text id is set x 1000 + number). A code
// without a text prints as its decimal value (the client form as code + 1),
// also when the firmware error catalog is missing altogether.
//
// The texts are looked up once each and kept (a log holds many entries of
// few codes); an object is used by one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "coresys/common/ControllerLogWalk.h"

class StringCatalog;

namespace cli {

// The catalog set of the entry lines.
inline constexpr int kControllerLogSet = 18;

// The firmware error catalog, by the name the programs have always given it
// and its library.
inline constexpr const char* kFirmwareCatalogPath = "./fwerrcod.cat";
inline constexpr const char* kFirmwareCatalogLibrary = "fwerrcod.dll";

class ControllerLogTexts {
  public:
    static constexpr std::uint32_t kFirmwareTextBase = 2000;
    static constexpr std::uint32_t kClientTextBase = 17001;
    // The one entry line without a catalog text.
    static constexpr const char* kLbaLabel = "   LBA                              = ";

    // console: the labels and the client texts; firmware: the firmware
    // error catalog (opened or not). Both must outlive this object.
    ControllerLogTexts(StringCatalog& console, StringCatalog& firmware)
        : console_(console), firmware_(firmware) {}

    const std::string& FirmwareText(std::uint32_t code) const;
    const std::string& ClientText(std::uint32_t code) const;
    // Label item of set 18 (a text without arguments).
    const std::string& Label(int item) const;
    StringCatalog& Console() const { return console_; }

  private:
    StringCatalog& console_;
    StringCatalog& firmware_;
    mutable std::unordered_map<std::uint32_t, std::string> firmwareTexts_;
    mutable std::unordered_map<std::uint32_t, std::string> clientTexts_;
    mutable std::unordered_map<int, std::string> labels_;
};

// The values every entry carries: its header.
using ControllerLogHeader = ControllerLogWalk::EntryHeader;

// Lines 39..48 and the LBA line of a drive event; sense holds the values of
// lines 46, 47 and 48 in that order (printed in hexadecimal).
void AppendDriveEventLines(std::string& out, const ControllerLogTexts& texts,
                           const ControllerLogHeader& header, std::uint32_t slot,
                           const std::uint32_t (&sense)[3], std::uint32_t lba);
// Lines 50..58 of a controller event: value (line 55), message code (56,
// 57) and the two data bytes (line 58, shown only when one is not 0; then
// the event code stands without its firmware text).
void AppendControllerEventLines(std::string& out, const ControllerLogTexts& texts,
                                const ControllerLogHeader& header, std::uint32_t value,
                                std::uint32_t messageCode, const std::uint32_t (&data)[2]);
// Lines 60..65 of a configuration change.
void AppendChangeEventLines(std::string& out, const ControllerLogTexts& texts,
                            const ControllerLogHeader& header, std::uint32_t messageCode);

// Drive slot name of a slot index: "A1", "B1", ... "B6"; "" outside 0..11.
const char* LogSlotName(std::uint32_t slot);

}  // namespace cli
