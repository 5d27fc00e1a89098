// User texts of the console programs (and of the service) in the user's
// language, addressed by set and number.
//
// A catalog object reads the language library chosen by the user's language
// (see catalog/LanguageLibrary.h), with the English library of the same
// family as fallback, both for a whole missing library and for single texts
// the language library lacks. Every text is a printf format that the request
// fills with the caller's arguments; the result is at most 4095 characters
// and a terminator. A text the catalogs cannot answer gives
// "ORU StringCatalog::<function>(<set>, <number>): No such string. " and
// CatGetStringErrno() 22.
//
// Several catalog objects may be alive at once and die in any order; they
// share the opened catalog files. One object may be used from several
// threads: the texts of GetStringCommonBuf come from 40 buffers used in turn,
// so a result stays valid for the next 39 calls on that object from any
// thread; GetStringPrivateBufN writes only the caller's buffer.
#pragma once

#include <atomic>
#include <cstdarg>
#include <memory>
#include <mutex>
#include <string>

namespace catalog {
class CatalogFile;
}

class StringCatalog {
  public:
    static constexpr unsigned BIG_BUF_MAX_LEN = 4096;
    static constexpr int COMMON_BUF_COUNT = 40;

    // The console programs' catalog: the library "orucl<language>.dll" of the
    // user's language. fileName is not used (it names the catalog the
    // programs had before language libraries).
    explicit StringCatalog(const char* fileName);

    // Whether a library that is not there at all is worth a line on
    // standard error (a damaged one always is).
    enum class Missing { REPORT, QUIET };

    // The catalog of a named language library, e.g. the service's
    // "orusdeu.dll"; a name without a language suffix ("fwerrcod.dll") is
    // looked up in the user's language and then in English. QUIET suits a
    // catalog that may well not exist, such as an OEM one.
    StringCatalog(const char* fileName, const char* libraryName, Missing missing = Missing::REPORT);

    ~StringCatalog();
    StringCatalog(const StringCatalog&) = delete;
    StringCatalog& operator=(const StringCatalog&) = delete;

    // The text (set, number) filled with the arguments, in the next of the 40
    // common buffers. Never null.
    char* GetStringCommonBuf(int set, int message, ...);

    // The text (set, number) filled with the arguments, copied into buf: at
    // most min(len, 4096) - 1 characters and a terminator. Returns buf; len 0
    // writes nothing.
    char* GetStringPrivateBufN(int set, int message, char* buf, unsigned len, ...);

    // 0, or 2 when no library at all could be opened.
    int CatOpenErrno() const { return openErrno; }
    // 0, or 22 after a request for a text that does not exist.
    int CatGetStringErrno() const { return getStringErrno.load(); }
    // 0 when a library is open, -1 when none could be opened.
    int OpenResult() const { return openResult; }
    // The catalog file that answers first (empty when none is open).
    std::string LoadedPath() const;

  private:
    void Open(const std::string& libraryName);
    // Loads the text of (set, message) into text (BIG_BUF_MAX_LEN bytes);
    // false when no open catalog has a usable one.
    bool Load(int set, int message, char* text) const;
    // Fills target (BIG_BUF_MAX_LEN bytes) with the text formatted with the
    // arguments, or with the no-such-string text naming function.
    void Compose(const char* function, int set, int message, char* target, va_list args);

    int openResult = -1;
    std::unique_ptr<char[]> commonBuffers;
    std::unique_ptr<char[]> workBuffer;
    int commonIndex = 0;
    int openErrno = 0;
    std::atomic<int> getStringErrno{0};

    // The language library and the English one of its family (null when the
    // language library is the English one or could not be opened).
    std::shared_ptr<catalog::CatalogFile> language;
    std::shared_ptr<catalog::CatalogFile> english;
    // The language library is the English one (or stands in for it).
    bool languageIsEnglish = true;
    bool quietWhenMissing = false;
    // Guards commonIndex, the common buffers while they are filled, and
    // workBuffer.
    std::mutex lock;
};
