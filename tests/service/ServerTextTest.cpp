// The frame's texts: the built-in English table, the catalog, the language.
#include <gtest/gtest.h>

#include <nl_types.h>

#include <cstdlib>

#include "catalog/StringCatalog.h"
#include "coresys/server/winnt/Service/ServerLifecycle.h"
#include "coresys/server/winnt/Service/ServerText.h"

namespace {

class LocaleGuard {
  public:
    explicit LocaleGuard(const char* lang) {
        unsetenv("LC_ALL");
        unsetenv("LC_MESSAGES");
        setenv("LANG", lang, 1);
        setenv("ORU_NLSPATH", ORU_NLS_DIR, 1);
    }
    ~LocaleGuard() {
        unsetenv("LANG");
        unsetenv("ORU_NLSPATH");
    }
};

TEST(ServerText, TheBuiltInTableMatchesTheEnglishCatalog) {
    std::string path = std::string(ORU_NLS_DIR) + "/en/oruseng.cat";
    nl_catd catalog = catopen(path.c_str(), 0);
    ASSERT_NE(catalog, reinterpret_cast<nl_catd>(-1)) << path;
    for (int id = 1; id < TEXT_COUNT_PLUS_ONE; ++id) {
        const char* missing = "\x01missing";
        const char* text = catgets(catalog, SERVER_TEXT_SET, id, missing);
        EXPECT_STREQ(text, ServerTextEnglish(id)) << "text " << id;
    }
    catclose(catalog);
}

TEST(ServerText, WithoutACatalogTheTextsAreEnglish) {
    SetServerCatalog(nullptr);
    EXPECT_EQ(ServerText(TEXT_STOPPING, "OruServer Service"), "Stopping OruServer Service.\n");
    EXPECT_EQ(ServerText(TEXT_FATAL, "OruServr", "Where", "What"), "OruServr: Where What\n");
    EXPECT_EQ(ServerText(TEXT_CONTROLLER_DISPATCH, 0x2au), "Controller can't dispatch! req = 2a");
}

TEST(ServerText, AnOpenCatalogAnswersInTheUsersLanguage) {
    LocaleGuard locale("xx");  // the generated test language
    StringCatalog catalog(".\\OruServr.cat", SelectServerLanguageLibrary(false).c_str());
    ASSERT_EQ(catalog.OpenResult(), 0);
    SetServerCatalog(&catalog);
    std::string text = ServerText(TEXT_STOPPING, "OruServer Service");
    SetServerCatalog(nullptr);
    EXPECT_EQ(text, "[2.3] Stopping OruServer Service.\n");
}

TEST(ServerText, ATextTheCatalogLacksComesFromTheTable) {
    LocaleGuard locale("en_US.UTF-8");
    // A catalog of another family has no set 1 texts of the service.
    StringCatalog catalog(".\\OruServr.cat", "orucleng.dll");
    SetServerCatalog(&catalog);
    std::string text = ServerText(TEXT_DEBUGGING, "OruServer Service");
    SetServerCatalog(nullptr);
    EXPECT_EQ(text, "Debugging OruServer Service.\n");
}

TEST(ServerLanguage, TheLibraryFollowsTheUsersLanguage) {
    const struct {
        const char* lang;
        const char* library;
    } cases[] = {
        {"de_DE.UTF-8", "orusdeu.dll"}, {"es_ES", "orusspn.dll"}, {"fr_FR", "orusfrn.dll"},
        {"it_IT", "orusitn.dll"},       {"pt_BR", "oruseng.dll"}, {"C", "oruseng.dll"},
    };
    for (const auto& c : cases) {
        LocaleGuard locale(c.lang);
        EXPECT_EQ(SelectServerLanguageLibrary(false), c.library) << c.lang;
        EXPECT_EQ(SelectServerLanguageLibrary(true), "oruseng.dll") << c.lang;
    }
}

}  // namespace
