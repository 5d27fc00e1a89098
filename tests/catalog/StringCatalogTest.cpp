#include "catalog/StringCatalog.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "CatalogTestTree.h"
#include "catalog/Pause.h"
#include "platform/Clock.h"

namespace {

// Texts of the self-check set of the console programs' catalogs.
constexpr int kSet = 999;

class StringCatalogTest : public ::testing::Test {
  protected:
    // The build's own catalogs, found beside the test program.
    void UseBuiltCatalogs(const char* lang) {
        CatalogTestTree::SetVariable("ORU_NLSPATH", nullptr);
        CatalogTestTree::SetLanguage(lang);
    }
    CatalogTestTree tree;
};

TEST_F(StringCatalogTest, EnglishTextsBySetAndNumber) {
    UseBuiltCatalogs("en_GB.UTF-8");
    StringCatalog cat("vxraidcl.cat");
    ASSERT_EQ(cat.OpenResult(), 0);
    EXPECT_EQ(cat.CatOpenErrno(), 0);
    EXPECT_STREQ(cat.GetStringCommonBuf(kSet, 1), "Message catalog in use.");
    EXPECT_STREQ(cat.GetStringCommonBuf(kSet, 2, "en", "orucleng"),
                 "Language en, catalog orucleng.");
    EXPECT_STREQ(cat.GetStringCommonBuf(kSet, 4, "sda", 1234567ul, 42.5),
                 "sda: 1234567 bytes,  42.5% done.");
    EXPECT_STREQ(cat.GetStringCommonBuf(kSet, 5, '<', "x", '>'), "Texts are printf formats: <x>");
    EXPECT_STREQ(cat.GetStringCommonBuf(kSet, 7),
                 "Catalog texts may run over several source lines.");
    EXPECT_EQ(cat.CatGetStringErrno(), 0);
    EXPECT_EQ(cat.LoadedPath(), std::string(ORU_NLS_DIR) + "/en/orucleng.cat");
}

TEST_F(StringCatalogTest, StringIdIsSetTimesThousandPlusNumber) {
    UseBuiltCatalogs("C");
    StringCatalog cat(nullptr);
    // Id 999001 whichever way it is written.
    EXPECT_STREQ(cat.GetStringCommonBuf(998, 1001), "Message catalog in use.");
    EXPECT_STREQ(cat.GetStringCommonBuf(1000, -999), "Message catalog in use.");
}

TEST_F(StringCatalogTest, SecondLanguageWithEnglishForMissingTexts) {
    UseBuiltCatalogs("de_DE.UTF-8");
    StringCatalog cat("vxraidcl.cat");
    ASSERT_EQ(cat.OpenResult(), 0);
    EXPECT_EQ(cat.LoadedPath(), std::string(ORU_NLS_DIR) + "/de/orucldeu.cat");
    EXPECT_STREQ(cat.GetStringCommonBuf(kSet, 1), "Nachrichtenkatalog in Gebrauch.");
    EXPECT_STREQ(cat.GetStringCommonBuf(kSet, 3, 7, 9), "7 von 9 Texten gefunden.");
    EXPECT_STREQ(cat.GetStringCommonBuf(kSet, 7),
                 "Katalogtexte dürfen über mehrere Quellzeilen gehen.");
    // The German library lacks this one; the English library answers.
    EXPECT_STREQ(cat.GetStringCommonBuf(kSet, 6), "This text exists in English only.");
    EXPECT_EQ(cat.CatGetStringErrno(), 0);
}

TEST_F(StringCatalogTest, LanguageWithoutLibraryReadsEnglish) {
    UseBuiltCatalogs("pt_BR.UTF-8");
    StringCatalog cat("vxraidcl.cat");
    EXPECT_EQ(cat.OpenResult(), 0);
    EXPECT_EQ(cat.LoadedPath(), std::string(ORU_NLS_DIR) + "/en/orucleng.cat");
    EXPECT_STREQ(cat.GetStringCommonBuf(kSet, 3, 1, 2), "1 of 2 texts found.");
}

TEST_F(StringCatalogTest, PseudoLanguageShowsSetAndNumber) {
    UseBuiltCatalogs("xx");
    StringCatalog cat("vxraidcl.cat");
    EXPECT_STREQ(cat.GetStringCommonBuf(kSet, 2, "xx", "orucleng"),
                 "[999.2] Language xx, catalog orucleng.");
    EXPECT_STREQ(cat.GetStringCommonBuf(kSet, 4, "a", 5ul, 1.0),
                 "[999.4] a: 5 bytes,   1.0% done.");
}

TEST_F(StringCatalogTest, MissingTextGivesTheNoSuchStringText) {
    UseBuiltCatalogs("en_US.UTF-8");
    StringCatalog cat("vxraidcl.cat");
    EXPECT_STREQ(cat.GetStringCommonBuf(9, 999, "unused"),
                 "ORU StringCatalog::GetStringCommonBuf(9, 999): No such string. ");
    EXPECT_EQ(cat.CatGetStringErrno(), 22);
    char buf[128];
    EXPECT_STREQ(cat.GetStringPrivateBufN(kSet, 0, buf, sizeof buf),
                 "ORU StringCatalog::GetStringPrivateBufN(999, 0): No such string. ");
    EXPECT_EQ(cat.CatGetStringErrno(), 22);
    // The next good request clears the error.
    EXPECT_STREQ(cat.GetStringCommonBuf(kSet, 1), "Message catalog in use.");
    EXPECT_EQ(cat.CatGetStringErrno(), 0);
    EXPECT_STREQ(cat.GetStringCommonBuf(-1, 5),
                 "ORU StringCatalog::GetStringCommonBuf(-1, 5): No such string. ");
    EXPECT_STREQ(cat.GetStringCommonBuf(2147483, 999999),
                 "ORU StringCatalog::GetStringCommonBuf(2147483, 999999): No such string. ");
}

TEST_F(StringCatalogTest, CommonBuffersAreUsedInTurn) {
    UseBuiltCatalogs("en");
    StringCatalog cat("vxraidcl.cat");
    char* first = cat.GetStringCommonBuf(kSet, 3, 1, 41);
    char* seen[40] = {first};
    for (int i = 2; i <= 40; ++i) {
        seen[i - 1] = cat.GetStringCommonBuf(kSet, 3, i, 41);
        for (int j = 0; j < i - 1; ++j) {
            ASSERT_NE(seen[i - 1], seen[j])
                << "call " << i << " reused the buffer of call " << j + 1;
        }
    }
    // Forty calls later the first result is still intact; the 41st call takes its buffer.
    EXPECT_STREQ(first, "1 of 41 texts found.");
    EXPECT_STREQ(seen[39], "40 of 41 texts found.");
    char* again = cat.GetStringCommonBuf(kSet, 3, 41, 41);
    EXPECT_EQ(again, first);
    EXPECT_STREQ(first, "41 of 41 texts found.");
}

TEST_F(StringCatalogTest, FormattingIsBoundedAtTheBufferSize) {
    UseBuiltCatalogs("en");
    StringCatalog cat("vxraidcl.cat");
    std::string huge(10000, 'a');
    char* text = cat.GetStringCommonBuf(kSet, 8, huge.c_str());
    EXPECT_EQ(std::strlen(text), StringCatalog::BIG_BUF_MAX_LEN - 1);

    char big[8192];
    std::memset(big, 'z', sizeof big);
    EXPECT_EQ(cat.GetStringPrivateBufN(kSet, 8, big, sizeof big, huge.c_str()), big);
    EXPECT_EQ(std::strlen(big), StringCatalog::BIG_BUF_MAX_LEN - 1);
    EXPECT_EQ(big[StringCatalog::BIG_BUF_MAX_LEN], 'z') << "wrote past the 4096 bytes";

    char small[16];
    std::memset(small, 'z', sizeof small);
    EXPECT_STREQ(cat.GetStringPrivateBufN(kSet, 1, small, 10), "Message c");
    EXPECT_EQ(small[10], 'z');

    // Length 0 writes nothing at all.
    std::memset(small, 'z', sizeof small);
    EXPECT_EQ(cat.GetStringPrivateBufN(kSet, 1, small, 0), small);
    EXPECT_EQ(small[0], 'z');
    EXPECT_EQ(cat.GetStringPrivateBufN(kSet, 1, nullptr, 10), nullptr);
}

TEST_F(StringCatalogTest, NoCatalogAtAllGivesFallbackTextsAndAMessage) {
    tree.Use();
    CatalogTestTree::SetLanguage("de_DE.UTF-8");
    testing::internal::CaptureStderr();
    StringCatalog cat("vxraidcl.cat");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(cat.OpenResult(), -1);
    EXPECT_EQ(cat.CatOpenErrno(), 2);
    EXPECT_EQ(cat.LoadedPath(), "");
    EXPECT_EQ(err,
              "ORU StringCatalog(): errno 2 opening file " + tree.Path() + "/en/orucleng.cat\n");
    EXPECT_STREQ(cat.GetStringCommonBuf(kSet, 1),
                 "ORU StringCatalog::GetStringCommonBuf(999, 1): No such string. ");
    EXPECT_EQ(cat.CatGetStringErrno(), 22);
    char buf[80];
    EXPECT_STREQ(cat.GetStringPrivateBufN(kSet, 1, buf, sizeof buf),
                 "ORU StringCatalog::GetStringPrivateBufN(999, 1): No such string. ");
}

TEST_F(StringCatalogTest, DamagedLanguageCatalogFallsBackToEnglish) {
    tree.Use();
    tree.CopyBuilt("en", "orucleng");
    tree.CopyBuilt("de", "orucldeu");
    std::string german = tree.Read("de", "orucldeu");
    // Cut short in the middle of its texts.
    tree.WriteRaw("de", "orucldeu", german.substr(0, german.size() - 7));
    CatalogTestTree::SetLanguage("de_DE.UTF-8");
    testing::internal::CaptureStderr();
    StringCatalog cat("vxraidcl.cat");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err,
              "ORU StringCatalog(): errno 22 opening file " + tree.Path() + "/de/orucldeu.cat\n");
    EXPECT_EQ(cat.OpenResult(), 0);
    EXPECT_STREQ(cat.GetStringCommonBuf(kSet, 1), "Message catalog in use.");
}

TEST_F(StringCatalogTest, GarbageCatalogIsNoCatalog) {
    tree.Use();
    tree.WriteRaw("en", "orucleng", std::string("\xde\x12\x04\x95garbage\0\0\0\0\0\0\0\0\0", 20));
    tree.WriteRaw("fr", "oruclfrn", "");
    CatalogTestTree::SetLanguage("fr_FR.UTF-8");
    testing::internal::CaptureStderr();
    StringCatalog cat("vxraidcl.cat");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("errno 22 opening file " + tree.Path() + "/fr/oruclfrn.cat"),
              std::string::npos);
    EXPECT_NE(err.find("errno 22 opening file " + tree.Path() + "/en/orucleng.cat"),
              std::string::npos);
    EXPECT_EQ(cat.OpenResult(), -1);
    EXPECT_STREQ(cat.GetStringCommonBuf(kSet, 1),
                 "ORU StringCatalog::GetStringCommonBuf(999, 1): No such string. ");
}

TEST_F(StringCatalogTest, LanguageCatalogWithoutEnglishOne) {
    tree.Use();
    tree.CopyBuilt("de", "orucldeu");
    CatalogTestTree::SetLanguage("de_CH.UTF-8");
    StringCatalog cat("vxraidcl.cat");
    EXPECT_EQ(cat.OpenResult(), 0);
    EXPECT_STREQ(cat.GetStringCommonBuf(kSet, 1), "Nachrichtenkatalog in Gebrauch.");
    EXPECT_STREQ(cat.GetStringCommonBuf(kSet, 6),
                 "ORU StringCatalog::GetStringCommonBuf(999, 6): No such string. ");
    EXPECT_EQ(cat.CatGetStringErrno(), 22);
}

TEST_F(StringCatalogTest, TextThatWouldWriteThroughAnArgumentIsNotUsed) {
    tree.Use();
    tree.Compile("en", "orucleng", "$set 3\n1 counted %s%n here\n2 fine %s\n3 %%n is text\n");
    CatalogTestTree::SetLanguage("en");
    StringCatalog cat("vxraidcl.cat");
    testing::internal::CaptureStderr();
    int sink = 0;
    EXPECT_STREQ(cat.GetStringCommonBuf(3, 1, "a", &sink),
                 "ORU StringCatalog::GetStringCommonBuf(3, 1): No such string. ");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(sink, 0);
    EXPECT_NE(err.find("text 3.1 of " + tree.Path() + "/en/orucleng.cat"), std::string::npos);
    EXPECT_STREQ(cat.GetStringCommonBuf(3, 2, "b"), "fine b");
    EXPECT_STREQ(cat.GetStringCommonBuf(3, 3), "%n is text");
}

// Every length modifier printf knows, Z among them, can lead a %n: none of
// those texts may be used.
TEST_F(StringCatalogTest, NoLengthModifierLetsATextWriteThroughAnArgument) {
    tree.Use();
    tree.Compile("en", "orucleng",
                 "$set 3\n1 a%Zn\n2 b%zn\n3 c%hhn\n4 d%lln\n5 e%jn\n6 f%tn\n7 g%Ln\n"
                 "8 h%qn\n9 i%1$n\n10 fine %d\n");
    CatalogTestTree::SetLanguage("en");
    StringCatalog cat("vxraidcl.cat");
    testing::internal::CaptureStderr();
    for (int number = 1; number <= 9; ++number) {
        SCOPED_TRACE(number);
        long long sink = 0;
        const std::string text = cat.GetStringCommonBuf(3, number, &sink);
        EXPECT_EQ(text, "ORU StringCatalog::GetStringCommonBuf(3, " + std::to_string(number) +
                            "): No such string. ");
        EXPECT_EQ(sink, 0);
    }
    testing::internal::GetCapturedStderr();
    EXPECT_STREQ(cat.GetStringCommonBuf(3, 10, 4), "fine 4");
}

// A translation must take exactly the arguments of its English text, types
// included: a foreign "%s" where the program passes a number would read
// through an integer as if it were a pointer.
TEST_F(StringCatalogTest, ATranslationWithOtherConversionsThanEnglishIsNotUsed) {
    tree.Use();
    tree.Compile("en", "orucleng",
                 "$set 3\n1 %d of %d texts found.\n2 Drive %s: %u MB\n3 %5.1f%% done\n"
                 "4 Slot %d\n5 No arguments.\n6 Width %*d\n");
    tree.Compile("de", "orucldeu",
                 "$set 3\n1 %s von %d Texten gefunden.\n2 Laufwerk %s: %u MB\n"
                 "3 %5.1Lf%% fertig\n4 Platz %d %d\n5 Keine %s Argumente.\n6 Breite %d\n");
    CatalogTestTree::SetLanguage("de_DE.UTF-8");
    StringCatalog cat("vxraidcl.cat");
    testing::internal::CaptureStderr();
    EXPECT_STREQ(cat.GetStringCommonBuf(3, 1, 7, 9), "7 of 9 texts found.");
    EXPECT_STREQ(cat.GetStringCommonBuf(3, 2, "A1", 1024u), "Laufwerk A1: 1024 MB");
    EXPECT_STREQ(cat.GetStringCommonBuf(3, 3, 42.5), " 42.5% done");
    EXPECT_STREQ(cat.GetStringCommonBuf(3, 4, 3), "Slot 3");
    EXPECT_STREQ(cat.GetStringCommonBuf(3, 5), "No arguments.");
    EXPECT_STREQ(cat.GetStringCommonBuf(3, 6, 4, 7), "Width    7");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("text 3.1 of " + tree.Path() + "/de/orucldeu.cat"), std::string::npos)
        << err;
    EXPECT_EQ(err.find("text 3.2 of"), std::string::npos) << err;
}

// Without an English text to compare with, only a text without any
// conversion can be trusted.
TEST_F(StringCatalogTest, ATranslationWithoutItsEnglishTextIsUsedOnlyWithoutArguments) {
    tree.Use();
    tree.Compile("de", "orucldeu", "$set 3\n1 Nur Deutsch.\n2 Nur Deutsch %s.\n");
    CatalogTestTree::SetLanguage("de_DE.UTF-8");
    testing::internal::CaptureStderr();
    StringCatalog cat("vxraidcl.cat");
    EXPECT_STREQ(cat.GetStringCommonBuf(3, 1), "Nur Deutsch.");
    EXPECT_STREQ(cat.GetStringCommonBuf(3, 2, "x"),
                 "ORU StringCatalog::GetStringCommonBuf(3, 2): No such string. ");
    testing::internal::GetCapturedStderr();
}

TEST_F(StringCatalogTest, NamedLibraryOfAnotherFamily) {
    tree.Use();
    tree.Compile("en", "oruseng", "$set 1\n11 Subsystem %s:\n12 event\n");
    tree.Compile("de", "orusdeu", "$set 1\n11 Subsystem %s:\n");
    tree.Compile("en", "fwerrcod", "$set 2\n5 Firmware error five\n");
    CatalogTestTree::SetLanguage("de_DE.UTF-8");
    StringCatalog server(".\\OruServr.cat", "orusdeu.dll");
    EXPECT_EQ(server.LoadedPath(), tree.Path() + "/de/orusdeu.cat");
    EXPECT_STREQ(server.GetStringCommonBuf(1, 11, "SN42"), "Subsystem SN42:");
    EXPECT_STREQ(server.GetStringCommonBuf(1, 12), "event");
    // The service forced to English on a German machine.
    StringCatalog english(".\\OruServr.cat", "oruseng.dll");
    EXPECT_EQ(english.LoadedPath(), tree.Path() + "/en/oruseng.cat");
    // A library without a language reads the same name in English.
    StringCatalog firmware("fwerrcod.cat", "fwerrcod.dll");
    EXPECT_STREQ(firmware.GetStringCommonBuf(2, 5), "Firmware error five");
    // A name that could leave the catalog directory opens nothing.
    testing::internal::CaptureStderr();
    StringCatalog bad("x", "../../etc/passwd ");
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(bad.OpenResult(), -1);
    EXPECT_EQ(bad.CatOpenErrno(), 2);
}

TEST(Pause, SleepsAtLeastThatLong) {
    std::uint64_t before = platform::MonotonicMs();
    Pause(30);
    EXPECT_GE(platform::MonotonicMs() - before, platform::ScaledMs(30));
}

}  // namespace
