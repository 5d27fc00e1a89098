// The graphical manager's texts in the user's language.
//
// Texts come from the catalog orug<language> (the language library
// "orugeng.dll" and its translations, found as every catalog of the suite
// is, see catalog/LanguageLibrary.h); a text is a printf format filled with
// the caller's arguments, which must be of the types its conversions name
// (int, unsigned long, const char*). The catalog is opened on first use and
// kept for the life of the process. Thread-safe.
#pragma once

#include <string>
#include <type_traits>

#include "catalog/StringCatalog.h"
#include "gui/GuiTextIds.h"

namespace oru {

// The process's catalog of the graphical manager.
StringCatalog& GuiCatalog();

template <typename... Args>
std::string GuiText(TextId id, Args... args) {
    static_assert(((std::is_arithmetic_v<Args> || std::is_same_v<Args, const char*> ||
                    std::is_same_v<Args, char*>)&&...),
                  "catalog texts take numbers and C strings only");
    char text[StringCatalog::BIG_BUF_MAX_LEN];
    GuiCatalog().GetStringPrivateBufN(id.set, id.number, text, sizeof text, args...);
    return text;
}

}  // namespace oru
