#include "platform/UserLanguage.h"

#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

struct LanguageId {
    const char* code;
    std::uint16_t primary;
};

// Windows primary language ids of common languages.
constexpr LanguageId kLanguages[] = {
    {"zh", 0x04}, {"cs", 0x05}, {"da", 0x06}, {"de", 0x07}, {"el", 0x08}, {"en", 0x09},
    {"es", 0x0a}, {"fi", 0x0b}, {"fr", 0x0c}, {"he", 0x0d}, {"hu", 0x0e}, {"is", 0x0f},
    {"it", 0x10}, {"ja", 0x11}, {"ko", 0x12}, {"nl", 0x13}, {"nb", 0x14}, {"no", 0x14},
    {"nn", 0x14}, {"pl", 0x15}, {"pt", 0x16}, {"ro", 0x18}, {"ru", 0x19}, {"hr", 0x1a},
    {"sk", 0x1b}, {"sv", 0x1d}, {"th", 0x1e}, {"tr", 0x1f},
};

constexpr std::uint16_t kSublangDefault = 1;

}  // namespace

std::string UserDefaultLanguage() {
    const char* locale = nullptr;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            locale = value;
            break;
        }
    }
    if (locale == nullptr || std::strcmp(locale, "C") == 0 || std::strcmp(locale, "POSIX") == 0 ||
        std::strncmp(locale, "C.", 2) == 0) {
        return "en";
    }
    std::string code;
    for (const char* p = locale; *p != '\0' && *p != '_' && *p != '.' && *p != '@' && *p != '-';
         ++p) {
        char c = *p;
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c < 'a' || c > 'z') {
            return "en";
        }
        code += c;
    }
    if (code.size() < 2 || code.size() > 3) {
        return "en";
    }
    return code;
}

std::uint16_t PrimaryLangIdOf(const std::string& languageCode) {
    for (const LanguageId& language : kLanguages) {
        if (languageCode == language.code) {
            return language.primary;
        }
    }
    return 0x09;
}

std::uint16_t UserDefaultLangId() {
    return static_cast<std::uint16_t>(PrimaryLangIdOf(UserDefaultLanguage()) |
                                      (kSublangDefault << 10));
}

}  // namespace platform
