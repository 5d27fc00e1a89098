#include "catalog/StringCatalog.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "catalog/CatalogFile.h"
#include "catalog/CatalogTexts.h"
#include "catalog/FormatArguments.h"
#include "catalog/LanguageLibrary.h"

namespace {

constexpr int kStringIdsPerSet = 1000;
constexpr int kMissingTextErrno = 22;
constexpr int kNoLibraryErrno = 2;
constexpr const char* kClientFamily = "orucl";

// Complaints about one catalog file are printed once per process: a console
// program opens its catalog several times and one line says it all.
void ReportOnce(const std::string& key, const char* format, int a, int b, const char* text) {
    static std::mutex lock;
    static auto* reported = new std::set<std::string>;
    std::lock_guard<std::mutex> guard(lock);
    if (reported->insert(key).second) {
        if (b < 0) {
            std::fprintf(stderr, format, a, text);
        } else {
            std::fprintf(stderr, format, a, b, text);
        }
        std::fflush(stderr);
    }
}

}  // namespace

StringCatalog::StringCatalog(const char* /*fileName*/)
    : commonBuffers(new char[COMMON_BUF_COUNT * BIG_BUF_MAX_LEN]()),
      workBuffer(new char[BIG_BUF_MAX_LEN]()) {
    using catalog::LanguageLibrary;
    Open(LanguageLibrary::LibraryName(
        kClientFamily, LanguageLibrary::PrimaryLanguageId(LanguageLibrary::LocaleLanguage())));
}

StringCatalog::StringCatalog(const char* /*fileName*/, const char* libraryName, Missing missing)
    : commonBuffers(new char[COMMON_BUF_COUNT * BIG_BUF_MAX_LEN]()),
      workBuffer(new char[BIG_BUF_MAX_LEN]()),
      quietWhenMissing(missing == Missing::QUIET) {
    Open(libraryName != nullptr ? libraryName : "");
}

// The shared files close themselves when the last catalog object lets go.
StringCatalog::~StringCatalog() = default;

void StringCatalog::Open(const std::string& libraryName) {
    using catalog::CatalogFile;
    using catalog::CatalogTexts;
    using catalog::LanguageLibrary;

    std::string base = LanguageLibrary::BaseName(libraryName);
    if (base.empty()) {
        ReportOnce(libraryName, CatalogTexts::kOpenFailed, EINVAL, -1, libraryName.c_str());
        openResult = -1;
        openErrno = kNoLibraryErrno;
        return;
    }
    std::string nls = LanguageLibrary::NlsDirectory();
    std::string languagePath =
        LanguageLibrary::CatalogPath(nls, LanguageLibrary::LocaleLanguage(), base);
    std::string englishPath =
        LanguageLibrary::CatalogPath(nls, "en", LanguageLibrary::EnglishBaseName(base));

    int error = 0;
    language = CatalogFile::Open(languagePath, &error);
    // A language without a library of its own is normal and reads English;
    // a library that is there but cannot be read is worth a line.
    if (language == nullptr && error != ENOENT) {
        ReportOnce(languagePath, CatalogTexts::kOpenFailed, error, -1, languagePath.c_str());
    }
    languageIsEnglish = englishPath == languagePath;
    if (!languageIsEnglish) {
        english = CatalogFile::Open(englishPath, &error);
        if (english == nullptr && error != ENOENT) {
            ReportOnce(englishPath, CatalogTexts::kOpenFailed, error, -1, englishPath.c_str());
        }
        if (language == nullptr) {
            language = std::move(english);
            english = nullptr;
            languageIsEnglish = true;
        }
    }
    if (language == nullptr) {
        if (!quietWhenMissing || error != ENOENT) {
            ReportOnce(englishPath, CatalogTexts::kOpenFailed, error, -1, englishPath.c_str());
        }
        openResult = -1;
        openErrno = kNoLibraryErrno;
        return;
    }
    openResult = 0;
    openErrno = 0;
}

std::string StringCatalog::LoadedPath() const {
    return language != nullptr ? language->Path() : std::string();
}

bool StringCatalog::Load(int set, int message, char* text) const {
    // Texts are string ids set x 1000 + number, as the language libraries
    // number them; the catalog files keep the id's set and number.
    long long id = static_cast<long long>(set) * kStringIdsPerSet + message;
    if (id <= 0 || id > INT_MAX) {
        return false;
    }
    int idSet = static_cast<int>(id / kStringIdsPerSet);
    int idNumber = static_cast<int>(id % kStringIdsPerSet);
    for (const auto* file : {language.get(), english.get()}) {
        if (file == nullptr || !file->Lookup(idSet, idNumber, text, BIG_BUF_MAX_LEN)) {
            continue;
        }
        const std::optional<std::vector<std::string>> arguments = catalog::FormatArguments(text);
        bool usable = arguments.has_value();
        if (usable && file == language.get() && !languageIsEnglish) {
            // The English text of the id says which arguments the program
            // passes; without one, only a text that takes none is safe.
            char reference[BIG_BUF_MAX_LEN];
            if (english != nullptr &&
                english->Lookup(idSet, idNumber, reference, sizeof reference)) {
                usable = arguments == catalog::FormatArguments(reference);
            } else {
                usable = arguments->empty();
            }
        }
        if (!usable) {
            ReportOnce(file->Path() + "#" + std::to_string(id), catalog::CatalogTexts::kUnsafeText,
                       idSet, idNumber, file->Path().c_str());
            continue;
        }
        return true;
    }
    return false;
}

void StringCatalog::Compose(const char* function, int set, int message, char* target,
                            va_list args) {
    // A load buffer per call: requests on other threads and other objects
    // never see each other's half-loaded texts.
    char text[BIG_BUF_MAX_LEN];
    if (Load(set, message, text)) {
        getStringErrno = 0;
        if (std::vsnprintf(target, BIG_BUF_MAX_LEN, text, args) < 0) {
            target[0] = '\0';
        }
        return;
    }
    getStringErrno = kMissingTextErrno;
    std::snprintf(target, BIG_BUF_MAX_LEN, catalog::CatalogTexts::kNoSuchString, function, set,
                  message);
}

char* StringCatalog::GetStringCommonBuf(int set, int message, ...) {
    std::lock_guard<std::mutex> guard(lock);
    commonIndex = commonIndex > COMMON_BUF_COUNT - 2 ? 0 : commonIndex + 1;
    char* target = commonBuffers.get() + static_cast<std::size_t>(commonIndex) * BIG_BUF_MAX_LEN;
    va_list args;
    va_start(args, message);
    Compose("GetStringCommonBuf", set, message, target, args);
    va_end(args);
    return target;
}

char* StringCatalog::GetStringPrivateBufN(int set, int message, char* buf, unsigned len, ...) {
    std::lock_guard<std::mutex> guard(lock);
    va_list args;
    va_start(args, len);
    Compose("GetStringPrivateBufN", set, message, workBuffer.get(), args);
    va_end(args);
    if (buf == nullptr || len == 0) {
        return buf;
    }
    std::size_t room = len < BIG_BUF_MAX_LEN ? len : BIG_BUF_MAX_LEN;
    std::size_t length = ::strnlen(workBuffer.get(), room - 1);
    std::memcpy(buf, workBuffer.get(), length);
    buf[length] = '\0';
    return buf;
}
