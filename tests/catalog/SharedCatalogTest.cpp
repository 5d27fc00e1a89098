#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "CatalogTestTree.h"
#include "catalog/CatalogFile.h"
#include "catalog/StringCatalog.h"

namespace {

using catalog::CatalogFile;

constexpr int kSet = 999;

class SharedCatalogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        tree.Use();
        tree.CopyBuilt("en", "orucleng");
        tree.CopyBuilt("de", "orucldeu");
        ASSERT_EQ(CatalogFile::OpenCount(), 0u);
    }
    void TearDown() override { EXPECT_EQ(CatalogFile::OpenCount(), 0u); }
    CatalogTestTree tree;
};

TEST_F(SharedCatalogTest, ObjectsShareOneFileAndDieInAnyOrder) {
    CatalogTestTree::SetLanguage("en_US.UTF-8");
    auto a = std::make_unique<StringCatalog>("vxraidcl.cat");
    auto b = std::make_unique<StringCatalog>("vxraidcl.cat");
    auto c = std::make_unique<StringCatalog>("vxraidcl.cat");
    EXPECT_EQ(CatalogFile::OpenCount(), 1u);

    // The first one made goes first: the others keep reading.
    a.reset();
    EXPECT_EQ(CatalogFile::OpenCount(), 1u);
    EXPECT_STREQ(b->GetStringCommonBuf(kSet, 1), "Message catalog in use.");
    c.reset();
    EXPECT_STREQ(b->GetStringCommonBuf(kSet, 3, 2, 3), "2 of 3 texts found.");
    b.reset();
    EXPECT_EQ(CatalogFile::OpenCount(), 0u);

    // Opened again after the last one went.
    StringCatalog d("vxraidcl.cat");
    EXPECT_EQ(CatalogFile::OpenCount(), 1u);
    EXPECT_STREQ(d.GetStringCommonBuf(kSet, 1), "Message catalog in use.");
}

TEST_F(SharedCatalogTest, LanguageAndEnglishFilesAreSharedToo) {
    CatalogTestTree::SetLanguage("de_DE.UTF-8");
    auto german = std::make_unique<StringCatalog>("vxraidcl.cat");
    EXPECT_EQ(CatalogFile::OpenCount(), 2u);
    CatalogTestTree::SetLanguage("en_US.UTF-8");
    auto english = std::make_unique<StringCatalog>("vxraidcl.cat");
    EXPECT_EQ(CatalogFile::OpenCount(), 2u);
    german.reset();
    EXPECT_EQ(CatalogFile::OpenCount(), 1u);
    EXPECT_STREQ(english->GetStringCommonBuf(kSet, 6), "This text exists in English only.");
    CatalogTestTree::SetLanguage("de_DE.UTF-8");
    german = std::make_unique<StringCatalog>("vxraidcl.cat");
    english.reset();
    // German still finds its English fallback after the English object went.
    EXPECT_STREQ(german->GetStringCommonBuf(kSet, 6), "This text exists in English only.");
    EXPECT_STREQ(german->GetStringCommonBuf(kSet, 1), "Nachrichtenkatalog in Gebrauch.");
}

TEST_F(SharedCatalogTest, ManyThreadsAtOnce) {
    CatalogTestTree::SetLanguage("de_DE.UTF-8");
    StringCatalog shared("vxraidcl.cat");
    constexpr int kThreads = 8;
    constexpr int kRounds = 400;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            std::unique_ptr<StringCatalog> own;
            for (int i = 0; i < kRounds; ++i) {
                // Objects come and go while others read the same files.
                if (i % 50 == t % 50) {
                    own = std::make_unique<StringCatalog>("vxraidcl.cat");
                } else if (i % 50 == (t + 25) % 50) {
                    own.reset();
                }
                char buf[128];
                std::string expect =
                    std::to_string(t) + " von " + std::to_string(i) + " Texten gefunden.";
                if (expect != shared.GetStringPrivateBufN(kSet, 3, buf, sizeof buf, t, i)) {
                    ++wrong;
                }
                if (std::strcmp(shared.GetStringPrivateBufN(kSet, 6, buf, sizeof buf),
                                "This text exists in English only.") != 0) {
                    ++wrong;
                }
                if (own != nullptr &&
                    std::strcmp(own->GetStringCommonBuf(kSet, 2, "de", "orucldeu"),
                                "Sprache de, Katalog orucldeu.") != 0) {
                    ++wrong;
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(shared.CatGetStringErrno(), 0);
}

}  // namespace
