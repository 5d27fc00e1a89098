// The user's default language, from the locale environment.
//
// The first of LC_ALL, LC_MESSAGES, LANG that is set and not empty names the
// locale ("de_DE.UTF-8", "fr", "C"); its language part, lower case, is the
// language code. "C", "POSIX", an unset locale or a malformed one give
// English. Thread-safe (reads the environment at each call).
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Short language code: "en", "de", "es", "fr", "it", ... ("en" fallback).
std::string UserDefaultLanguage();

// The same as a Windows language id: primary language | (SUBLANG_DEFAULT << 10),
// e.g. 0x0407 German, 0x0409 English, 0x040a Spanish, 0x040c French,
// 0x0410 Italian; languages without a known id give English (0x0409).
std::uint16_t UserDefaultLangId();

// Primary language id of a language code (0x09 for unknown codes).
std::uint16_t PrimaryLangIdOf(const std::string& languageCode);

}  // namespace platform
