// Which language library a catalog user gets, and where the compiled
// catalogs live.
//
// A language library is named as the programs have always named it: a family
// ("orucl" for the console programs, "orus" for the service, "orua" for the
// agent) followed by a three-letter language suffix and ".dll", e.g.
// "orucldeu.dll". On this platform a library is an X/Open message catalog
// <nls>/<language>/<base>.cat, where <language> is the user's language code
// from the locale ("de") and <base> is the library name without its extension
// ("orucldeu"). English is the fallback: <nls>/en/<family>eng.cat.
//
// All functions are pure or only read the environment; all are thread-safe.
#pragma once

#include <string>

namespace catalog {

class LanguageLibrary {
  public:
    // The user's language code: the language part of the first non-empty of
    // LC_ALL, LC_MESSAGES, LANG, in lower case. "C", "POSIX", an unset
    // locale and anything that is not two or three letters give "en".
    static std::string LocaleLanguage();

    // The language part of one locale value ("de_DE.UTF-8@euro" gives "de").
    static std::string LanguageFromLocale(const char* value);

    // The primary language id of a language code as the programs know it
    // (7 German, 9 English, 10 Spanish, 12 French, 16 Italian, 22 Portuguese,
    // ...); 0 for a language they do not know.
    static int PrimaryLanguageId(const std::string& language);

    // The library of a family for a primary language id: 7 "<family>deu.dll",
    // 10 "<family>spn.dll", 12 "<family>frn.dll", 16 "<family>itn.dll", any
    // other "<family>eng.dll".
    static std::string LibraryName(const std::string& family, int primaryLanguageId);

    // The catalog base name of a library or catalog name: directories
    // ("/" or "\") and an extension ".dll" or ".cat" removed, lower case.
    // Empty when what is left is not a plain name of letters, digits, '_'
    // and '-' (so no name can reach outside the catalog directory).
    static std::string BaseName(const std::string& libraryName);

    // The base name of the English library of the same family: a language
    // suffix "deu", "spn", "frn" or "itn" becomes "eng"; a name without a
    // language suffix stays as it is.
    static std::string EnglishBaseName(const std::string& baseName);

    // The directory of the compiled catalogs: the environment variable
    // ORU_NLSPATH when set (tests), else ../share/strovane/nls beside the
    // running program, else beside this library, else the installed one.
    // Always an absolute path.
    static std::string NlsDirectory();

    // <nls>/<language>/<base>.cat
    static std::string CatalogPath(const std::string& nlsDirectory, const std::string& language,
                                   const std::string& baseName);
};

}  // namespace catalog
