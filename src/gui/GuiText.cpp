#include "gui/GuiText.h"

#include "catalog/LanguageLibrary.h"

namespace oru {

StringCatalog& GuiCatalog() {
    using catalog::LanguageLibrary;
    static StringCatalog catalog(
        "oru", LanguageLibrary::LibraryName(
                   "orug", LanguageLibrary::PrimaryLanguageId(LanguageLibrary::LocaleLanguage()))
                   .c_str());
    return catalog;
}

}  // namespace oru
