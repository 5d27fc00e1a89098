#include "catalog/LanguageLibrary.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "CatalogTestTree.h"

namespace {

using catalog::LanguageLibrary;

TEST(LanguageLibrary, LanguageComesFromTheLocaleValue) {
    EXPECT_EQ(LanguageLibrary::LanguageFromLocale("de_DE.UTF-8"), "de");
    EXPECT_EQ(LanguageLibrary::LanguageFromLocale("fr_CA.ISO-8859-1@euro"), "fr");
    EXPECT_EQ(LanguageLibrary::LanguageFromLocale("IT_it"), "it");
    EXPECT_EQ(LanguageLibrary::LanguageFromLocale("xx"), "xx");
    EXPECT_EQ(LanguageLibrary::LanguageFromLocale("ast_ES"), "ast");
    // The untranslated locales and anything that is no language code read English.
    EXPECT_EQ(LanguageLibrary::LanguageFromLocale("C"), "en");
    EXPECT_EQ(LanguageLibrary::LanguageFromLocale("C.UTF-8"), "en");
    EXPECT_EQ(LanguageLibrary::LanguageFromLocale("POSIX"), "en");
    EXPECT_EQ(LanguageLibrary::LanguageFromLocale(""), "en");
    EXPECT_EQ(LanguageLibrary::LanguageFromLocale("../../etc"), "en");
    EXPECT_EQ(LanguageLibrary::LanguageFromLocale("de/../../x"), "en");
}

TEST(LanguageLibrary, LocaleVariablesTakeTheirUsualPrecedence) {
    CatalogTestTree env;
    CatalogTestTree::SetVariable("LANG", "fr_FR.UTF-8");
    CatalogTestTree::SetVariable("LC_MESSAGES", nullptr);
    CatalogTestTree::SetVariable("LC_ALL", nullptr);
    EXPECT_EQ(LanguageLibrary::LocaleLanguage(), "fr");
    CatalogTestTree::SetVariable("LC_MESSAGES", "it_IT.UTF-8");
    EXPECT_EQ(LanguageLibrary::LocaleLanguage(), "it");
    CatalogTestTree::SetVariable("LC_ALL", "de_AT.UTF-8");
    EXPECT_EQ(LanguageLibrary::LocaleLanguage(), "de");
    // An empty variable counts as unset.
    CatalogTestTree::SetVariable("LC_ALL", "");
    EXPECT_EQ(LanguageLibrary::LocaleLanguage(), "it");
    CatalogTestTree::SetVariable("LC_MESSAGES", nullptr);
    CatalogTestTree::SetVariable("LANG", nullptr);
    EXPECT_EQ(LanguageLibrary::LocaleLanguage(), "en");
}

TEST(LanguageLibrary, LibraryFollowsThePrimaryLanguage) {
    auto library = [](const char* lang) {
        return LanguageLibrary::LibraryName("orucl", LanguageLibrary::PrimaryLanguageId(lang));
    };
    EXPECT_EQ(library("de"), "orucldeu.dll");
    EXPECT_EQ(library("es"), "oruclspn.dll");
    EXPECT_EQ(library("fr"), "oruclfrn.dll");
    EXPECT_EQ(library("it"), "oruclitn.dll");
    EXPECT_EQ(library("en"), "orucleng.dll");
    EXPECT_EQ(library("pt"), "orucleng.dll");
    EXPECT_EQ(library("xx"), "orucleng.dll");
    EXPECT_EQ(LanguageLibrary::PrimaryLanguageId("pt"), 22);
    // Only the primary language counts: German (Austria) is German.
    EXPECT_EQ(LanguageLibrary::LibraryName("orus", 0x0C07), "orusdeu.dll");
    EXPECT_EQ(LanguageLibrary::LibraryName("orus", 0x0416), "oruseng.dll");
}

TEST(LanguageLibrary, BaseNamesStayInsideTheCatalogDirectory) {
    EXPECT_EQ(LanguageLibrary::BaseName("orusdeu.dll"), "orusdeu");
    EXPECT_EQ(LanguageLibrary::BaseName("ORUSDEU.DLL"), "orusdeu");
    EXPECT_EQ(LanguageLibrary::BaseName(".\\OruServr.cat"), "oruservr");
    EXPECT_EQ(LanguageLibrary::BaseName("../../etc/fwerrcod.dll"), "fwerrcod");
    EXPECT_EQ(LanguageLibrary::BaseName("fwerrcod"), "fwerrcod");
    EXPECT_EQ(LanguageLibrary::BaseName(""), "");
    EXPECT_EQ(LanguageLibrary::BaseName("dir/"), "");
    EXPECT_EQ(LanguageLibrary::BaseName(".dll"), "");
    EXPECT_EQ(LanguageLibrary::BaseName("two words.dll"), "");
    EXPECT_EQ(LanguageLibrary::BaseName("a\nb"), "");
}

TEST(LanguageLibrary, EnglishLibraryOfTheSameFamily) {
    EXPECT_EQ(LanguageLibrary::EnglishBaseName("orucldeu"), "orucleng");
    EXPECT_EQ(LanguageLibrary::EnglishBaseName("orusitn"), "oruseng");
    EXPECT_EQ(LanguageLibrary::EnglishBaseName("oruaspn"), "oruaeng");
    EXPECT_EQ(LanguageLibrary::EnglishBaseName("orucleng"), "orucleng");
    EXPECT_EQ(LanguageLibrary::EnglishBaseName("fwerrcod"), "fwerrcod");
    EXPECT_EQ(LanguageLibrary::EnglishBaseName("deu"), "deu");
}

TEST(LanguageLibrary, CatalogDirectoryFromOverrideOrBesideTheProgram) {
    CatalogTestTree tree;
    tree.Use();
    EXPECT_EQ(LanguageLibrary::NlsDirectory(), tree.Path());

    // A relative override is taken from the working directory.
    CatalogTestTree::SetVariable("ORU_NLSPATH", "some/nls");
    EXPECT_EQ(LanguageLibrary::NlsDirectory(),
              (std::filesystem::current_path() / "some/nls").string());

    // Without one, the tree beside the program: bin/../share/strovane/nls.
    CatalogTestTree::SetVariable("ORU_NLSPATH", nullptr);
    EXPECT_TRUE(std::filesystem::equivalent(LanguageLibrary::NlsDirectory(), ORU_NLS_DIR));
    EXPECT_EQ(LanguageLibrary::CatalogPath("/n", "de", "orucldeu"), "/n/de/orucldeu.cat");
}

}  // namespace
