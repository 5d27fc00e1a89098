#include "platform/UserLanguage.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

namespace {

// Sets the three locale variables for one test and restores them afterwards.
class LocaleEnvironment {
  public:
    LocaleEnvironment(const char* all, const char* messages, const char* lang) {
        Save();
        Set("LC_ALL", all);
        Set("LC_MESSAGES", messages);
        Set("LANG", lang);
    }
    ~LocaleEnvironment() {
        for (int i = 0; i < 3; ++i) {
            Set(kNames[i], had_[i] ? saved_[i].c_str() : nullptr);
        }
    }

  private:
    static constexpr const char* kNames[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    void Save() {
        for (int i = 0; i < 3; ++i) {
            const char* value = ::getenv(kNames[i]);
            had_[i] = value != nullptr;
            saved_[i] = value != nullptr ? value : "";
        }
    }
    static void Set(const char* name, const char* value) {
        if (value == nullptr) {
            ::unsetenv(name);
        } else {
            ::setenv(name, value, 1);
        }
    }
    bool had_[3] = {};
    std::string saved_[3];
};

TEST(UserLanguage, FirstSetVariableDecides) {
    {
        LocaleEnvironment env("de_DE.UTF-8", "fr_FR", "it_IT");
        EXPECT_EQ(platform::UserDefaultLanguage(), "de");
        EXPECT_EQ(platform::UserDefaultLangId(), 0x0407);
    }
    {
        LocaleEnvironment env("", "fr_FR.UTF-8", "it_IT");
        EXPECT_EQ(platform::UserDefaultLanguage(), "fr");
        EXPECT_EQ(platform::UserDefaultLangId() & 0x3FF, 12);
    }
    {
        LocaleEnvironment env(nullptr, nullptr, "es_ES@euro");
        EXPECT_EQ(platform::UserDefaultLanguage(), "es");
        EXPECT_EQ(platform::UserDefaultLangId() & 0x3FF, 10);
    }
    {
        LocaleEnvironment env(nullptr, nullptr, "it");
        EXPECT_EQ(platform::UserDefaultLangId() & 0x3FF, 16);
    }
}

TEST(UserLanguage, EnglishIsTheFallback) {
    for (const char* lang : {"C", "POSIX", "C.UTF-8", "", "12_34", "x"}) {
        LocaleEnvironment env(nullptr, nullptr, lang);
        EXPECT_EQ(platform::UserDefaultLanguage(), "en") << lang;
        EXPECT_EQ(platform::UserDefaultLangId(), 0x0409) << lang;
    }
    LocaleEnvironment none(nullptr, nullptr, nullptr);
    EXPECT_EQ(platform::UserDefaultLanguage(), "en");
    // A language without a Windows id keeps its code but maps to English.
    LocaleEnvironment other(nullptr, nullptr, "eo_XX");
    EXPECT_EQ(platform::UserDefaultLanguage(), "eo");
    EXPECT_EQ(platform::UserDefaultLangId(), 0x0409);
}

}  // namespace
