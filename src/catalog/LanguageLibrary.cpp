#include "catalog/LanguageLibrary.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cstdlib>
#include <string_view>

#ifndef ORU_INSTALLED_NLS_DIR
#define ORU_INSTALLED_NLS_DIR "/usr/local/share/strovane/nls"
#endif

namespace catalog {

namespace {

struct LanguageId {
    std::string_view code;
    int primaryId;
};

// Primary language ids as the programs' language tables use them.
constexpr std::array<LanguageId, 12> kLanguageIds{{
    {"de", 7},
    {"en", 9},
    {"es", 10},
    {"fr", 12},
    {"it", 16},
    {"ja", 17},
    {"ko", 18},
    {"nl", 19},
    {"no", 20},
    {"pl", 21},
    {"pt", 22},
    {"sv", 29},
}};

struct LanguageSuffix {
    int primaryId;
    std::string_view suffix;
};

// The languages that have libraries of their own; every other language
// reads the English one.
constexpr std::array<LanguageSuffix, 4> kSuffixes{{
    {7, "deu"},
    {10, "spn"},
    {12, "frn"},
    {16, "itn"},
}};

constexpr std::string_view kEnglishSuffix = "eng";
// The catalogs of an installation (or of the build tree, which looks like
// one), relative to the directory above bin/ or lib/.
constexpr std::string_view kNlsBelowPrefix = "/share/strovane/nls";

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string DirectoryOf(const std::string& path) {
    std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string Absolute(const std::string& path) {
    if (!path.empty() && path[0] == '/') {
        return path;
    }
    std::array<char, 4096> cwd{};
    if (::getcwd(cwd.data(), cwd.size()) == nullptr) {
        return path;
    }
    return std::string(cwd.data()) + "/" + path;
}

std::string ExecutableDirectory() {
    std::array<char, 4096> target{};
    ssize_t n = ::readlink("/proc/self/exe", target.data(), target.size() - 1);
    if (n <= 0) {
        return {};
    }
    return DirectoryOf(std::string(target.data(), static_cast<std::size_t>(n)));
}

std::string LibraryDirectory() {
    Dl_info info{};
    // Any function of this library tells where the library was loaded from.
    if (::dladdr(reinterpret_cast<void*>(&LanguageLibrary::NlsDirectory), &info) == 0 ||
        info.dli_fname == nullptr) {
        return {};
    }
    return DirectoryOf(Absolute(info.dli_fname));
}

}  // namespace

std::string LanguageLibrary::LocaleLanguage() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0') {
            return LanguageFromLocale(value);
        }
    }
    return "en";
}

std::string LanguageLibrary::LanguageFromLocale(const char* value) {
    std::string language;
    for (const char* p = value; p != nullptr && *p != '\0'; ++p) {
        if (*p == '_' || *p == '.' || *p == '@') {
            break;
        }
        if (!std::isalpha(static_cast<unsigned char>(*p)) || language.size() == 3) {
            return "en";
        }
        language.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(*p))));
    }
    // "C" and "POSIX" are the untranslated locale; a one-letter or longer
    // word is no language code.
    if (language.size() < 2) {
        return "en";
    }
    return language;
}

int LanguageLibrary::PrimaryLanguageId(const std::string& language) {
    for (const LanguageId& id : kLanguageIds) {
        if (id.code == language) {
            return id.primaryId;
        }
    }
    return 0;
}

std::string LanguageLibrary::LibraryName(const std::string& family, int primaryLanguageId) {
    std::string_view suffix = kEnglishSuffix;
    for (const LanguageSuffix& s : kSuffixes) {
        if (s.primaryId == (primaryLanguageId & 0x3FF)) {
            suffix = s.suffix;
        }
    }
    return family + std::string(suffix) + ".dll";
}

std::string LanguageLibrary::BaseName(const std::string& libraryName) {
    std::string::size_type start = libraryName.find_last_of("/\\");
    std::string base = start == std::string::npos ? libraryName : libraryName.substr(start + 1);
    for (char& c : base) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    for (std::string_view ext : {".dll", ".cat"}) {
        if (base.size() > ext.size() &&
            base.compare(base.size() - ext.size(), ext.size(), ext) == 0) {
            base.erase(base.size() - ext.size());
            break;
        }
    }
    if (base.empty()) {
        return {};
    }
    for (char c : base) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-') {
            return {};
        }
    }
    return base;
}

std::string LanguageLibrary::EnglishBaseName(const std::string& baseName) {
    for (const LanguageSuffix& s : kSuffixes) {
        if (baseName.size() > s.suffix.size() &&
            baseName.compare(baseName.size() - s.suffix.size(), s.suffix.size(), s.suffix) == 0) {
            return baseName.substr(0, baseName.size() - s.suffix.size()) +
                   std::string(kEnglishSuffix);
        }
    }
    return baseName;
}

std::string LanguageLibrary::NlsDirectory() {
    const char* over = std::getenv("ORU_NLSPATH");
    if (over != nullptr && over[0] != '\0') {
        return Absolute(over);
    }
    for (const std::string& dir : {ExecutableDirectory(), LibraryDirectory()}) {
        if (!dir.empty()) {
            std::string nls = DirectoryOf(dir) + std::string(kNlsBelowPrefix);
            if (IsDirectory(nls)) {
                return nls;
            }
        }
    }
    return ORU_INSTALLED_NLS_DIR;
}

std::string LanguageLibrary::CatalogPath(const std::string& nlsDirectory,
                                         const std::string& language, const std::string& baseName) {
    return nlsDirectory + "/" + language + "/" + baseName + ".cat";
}

}  // namespace catalog
