// The catalog's age chain: creation, size limit and removal, slot reuse,
// lookups by LRBA and time, and catalogs that are damaged on disk.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <ctime>

#include "LogTestSupport.h"
#include "coresys/server/log/LogCatalog.h"
#include "platform/Root.h"
#include "support/FreshRoot.h"

namespace {

using logtest::Bytes;
using logtest::Le32;
using logtest::PutLe32;
using logtest::ReadBytes;

constexpr std::uint32_t kNoLimit = 0xFFFFFFFFu;

class Catalog : public ::testing::Test {
  protected:
    Catalog() : dir_(root_.File("c/oru_log")) { platform::MakeDirs(dir_); }
    std::string CatalogPath() const { return dir_ + "/LOGCATLG"; }
    bool Exists(const std::string& name) const {
        struct stat info {};
        return ::stat((dir_ + "/" + name).c_str(), &info) == 0;
    }
    void Touch(const std::string& name) { logtest::WriteBytes(dir_ + "/" + name, Bytes(4096, 0)); }

    testsupport::FreshRoot root_;
    std::string dir_;
};

// A catalog image of two entries: L0000001 (LRBA 0..40952, time 1000..2000)
// and L0000002 (from LRBA 40960, time 3000, still open); state 0.
Bytes TwoFileCatalog() {
    Bytes image(52 + 2 * 44, 0);
    PutLe32(image, 8, 2);        // file count
    PutLe32(image, 12, 40960);   // total size
    PutLe32(image, 16, 4096);    // start LRBA
    PutLe32(image, 24, 40952);   // high LRBA
    PutLe32(image, 32, 2);       // last file number
    PutLe32(image, 36, 140);     // catalog size
    PutLe32(image, 40, 52);      // oldest
    PutLe32(image, 44, 96);      // latest
    PutLe32(image, 52 + 0, 96);  // next
    PutLe32(image, 52 + 8, 0);
    PutLe32(image, 52 + 12, 40952);
    PutLe32(image, 52 + 20, 1000);
    PutLe32(image, 52 + 24, 2000);
    const char* first = "L0000001";
    std::copy(first, first + 8, image.begin() + 52 + 28);
    PutLe32(image, 96 + 4, 52);  // previous
    PutLe32(image, 96 + 8, 40960);
    PutLe32(image, 96 + 20, 3000);
    const char* second = "L0000002";
    std::copy(second, second + 8, image.begin() + 96 + 28);
    return image;
}

TEST_F(Catalog, MissingCatalogIsCreatedOpen) {
    LogCatalog catalog(dir_, kNoLimit);
    ASSERT_TRUE(catalog.IsOpen());
    EXPECT_EQ(catalog.Header().state, 1u);
    EXPECT_EQ(ReadBytes(CatalogPath()).size(), 52u);
}

TEST_F(Catalog, EmptyCatalogFileGetsANewHeader) {
    logtest::WriteBytes(CatalogPath(), {});
    LogCatalog catalog(dir_, kNoLimit);
    ASSERT_TRUE(catalog.IsOpen());
    EXPECT_EQ(Le32(ReadBytes(CatalogPath()), 16), 4096u);
}

TEST_F(Catalog, DamagedCatalogsAreRefusedAndLeftAsTheyAre) {
    struct Case {
        const char* what;
        Bytes image;
    };
    Bytes version = TwoFileCatalog();
    PutLe32(version, 4, 1);
    Bytes shortHeader(40, 0);
    Bytes sizeBeyondFile = TwoFileCatalog();
    PutLe32(sizeBeyondFile, 36, 52 + 44 * 9);
    Bytes linkOutside = TwoFileCatalog();
    PutLe32(linkOutside, 52, 9000);
    Bytes loop = TwoFileCatalog();
    PutLe32(loop, 96, 52);  // the latest entry points back at the oldest
    Bytes countWrong = TwoFileCatalog();
    PutLe32(countWrong, 8, 5);
    Bytes badName = TwoFileCatalog();
    const char* escape = "../../etc/x";
    std::copy(escape, escape + 11, badName.begin() + 52 + 28);
    Bytes freeLoop = TwoFileCatalog();
    freeLoop.resize(52 + 3 * 44, 0);
    PutLe32(freeLoop, 36, 52 + 3 * 44);
    PutLe32(freeLoop, 48, 140);
    PutLe32(freeLoop, 140, 140);  // a free slot that links to itself
    const Case cases[] = {
        {"version 1", version},
        {"short header", shortHeader},
        {"size beyond file", sizeBeyondFile},
        {"link outside", linkOutside},
        {"chain loop", loop},
        {"file count", countWrong},
        {"file name", badName},
        {"free list loop", freeLoop},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(logtest::WriteBytes(CatalogPath(), c.image));
        {
            LogCatalog catalog(dir_, kNoLimit);
            EXPECT_FALSE(catalog.IsOpen()) << c.what;
            EXPECT_FALSE(catalog.OpenFailure().empty()) << c.what;
        }
        EXPECT_EQ(ReadBytes(CatalogPath()), c.image) << c.what;
    }
}

TEST_F(Catalog, SoundCatalogOpensWithItsChain) {
    ASSERT_TRUE(logtest::WriteBytes(CatalogPath(), TwoFileCatalog()));
    LogCatalog catalog(dir_, kNoLimit);
    ASSERT_TRUE(catalog.IsOpen());
    EXPECT_EQ(catalog.Header().state, 0u);
    auto latest = catalog.LatestFile();
    ASSERT_TRUE(latest.has_value());
    EXPECT_EQ(latest->Name(), "L0000002");
    EXPECT_TRUE(catalog.MarkOpen() == false);  // closed cleanly: stays 0
}

TEST_F(Catalog, FindByTimeAnswersTheNewerFileForAGapAndNoneForTheFuture) {
    ASSERT_TRUE(logtest::WriteBytes(CatalogPath(), TwoFileCatalog()));
    LogCatalog catalog(dir_, kNoLimit);
    ASSERT_TRUE(catalog.IsOpen());
    auto name = [](const std::optional<LogFileEntry>& e) { return e ? e->Name() : "none"; };
    EXPECT_EQ(name(catalog.FindFileByTime(1500)), "L0000001");
    EXPECT_EQ(name(catalog.FindFileByTime(2500)), "L0000002");
    EXPECT_EQ(name(catalog.FindFileByTime(3500)), "L0000002");
    EXPECT_EQ(name(catalog.FindFileByTime(500)), "none");
    EXPECT_EQ(name(catalog.FindFileByTime(static_cast<std::uint32_t>(std::time(nullptr)) + 3600)),
              "none");
    EXPECT_EQ(name(catalog.FindFileByLRBA(100)), "L0000001");
    EXPECT_EQ(name(catalog.FindFileByLRBA(40952)), "L0000001");
}

TEST_F(Catalog, NoLimitNeverRemovesAndKeepsTheStartLrba) {
    LogCatalog catalog(dir_, kNoLimit);
    for (std::uint32_t n = 1; n <= 8; ++n) {
        Touch(LogFileName(n));
        if (n > 1) {
            catalog.SetHighLrba((n - 1) * 40960 - 8, 0);
        }
        ASSERT_TRUE(catalog.AddFile(LogFileName(n), (n - 1) * 40960));
        catalog.SetBundleID((n - 1) * 40960 + 4096);
    }
    EXPECT_EQ(catalog.Header().fileCount, 8u);
    EXPECT_EQ(catalog.Header().startLrba, 4096u);
    EXPECT_EQ(catalog.Header().totalLogSize, 7u * 40960);
    for (std::uint32_t n = 1; n <= 8; ++n) {
        EXPECT_TRUE(Exists(LogFileName(n))) << n;
    }
    EXPECT_EQ(catalog.FindFileByLRBA(40960 * 3 + 100)->Name(), "L0000004");
}

TEST_F(Catalog, SizeLimitRemovesOldestFilesDownToFiveBlocksOfHeadroom) {
    // Room for two closed files of 40960 bytes below the headroom.
    const std::uint32_t limit = 20480 + 2 * 40960;
    LogCatalog catalog(dir_, limit);
    for (std::uint32_t n = 1; n <= 4; ++n) {
        Touch(LogFileName(n));
        if (n > 1) {
            catalog.SetHighLrba((n - 1) * 40960 - 8, 0);
        }
        ASSERT_TRUE(catalog.AddFile(LogFileName(n), (n - 1) * 40960));
        catalog.SetBundleID((n - 1) * 40960 + 4096);
    }
    // Adding file 4 closed file 3: 3 closed files would pass the limit, so
    // the oldest went.
    EXPECT_FALSE(Exists("L0000001"));
    EXPECT_TRUE(Exists("L0000002"));
    EXPECT_EQ(catalog.Header().fileCount, 3u);
    EXPECT_EQ(catalog.Header().totalLogSize, 2u * 40960);
    EXPECT_EQ(catalog.Header().startLrba, 40960u);
    EXPECT_EQ(catalog.Header().oldestCompleteBundleId, 40960u + 4096);
    // The freed slot of file 1 was taken by file 4 before the catalog grew.
    EXPECT_EQ(catalog.Header().freeList, 0u);
    EXPECT_EQ(catalog.Header().latestEntry, 52u);
    EXPECT_EQ(catalog.Header().catalogSize, 52u + 3 * 44);
    Bytes file = ReadBytes(CatalogPath());
    EXPECT_EQ(Le32(file, 40), 96u);       // oldest entry now file 2
    EXPECT_EQ(Le32(file, 96 + 4), 0u);    // ... with no previous
    EXPECT_EQ(Le32(file, 52 + 4), 140u);  // file 4 follows file 3
    EXPECT_EQ(Le32(file, 140), 52u);
    // File 5 pushes file 2 out and takes its slot.
    Touch("L0000005");
    catalog.SetHighLrba(4 * 40960 - 8, 0);
    ASSERT_TRUE(catalog.AddFile("L0000005", 4 * 40960));
    EXPECT_FALSE(Exists("L0000002"));
    EXPECT_EQ(catalog.Header().catalogSize, 52u + 3 * 44);
    EXPECT_EQ(catalog.Header().latestEntry, 96u);
    EXPECT_EQ(catalog.Header().oldestEntry, 140u);
}

TEST_F(Catalog, RemovingTheOnlyEntryEmptiesTheChain) {
    LogCatalog catalog(dir_, kNoLimit);
    ASSERT_TRUE(catalog.AddFile("L0000001", 0));
    ASSERT_TRUE(catalog.RemoveLatestFile());
    EXPECT_EQ(catalog.Header().fileCount, 0u);
    EXPECT_EQ(catalog.Header().oldestEntry, 0u);
    EXPECT_EQ(catalog.Header().latestEntry, 0u);
    EXPECT_FALSE(catalog.HasCurrentFile());
    ASSERT_TRUE(catalog.AddFile("L0000002", 4096));
    auto latest = catalog.LatestFile();
    ASSERT_TRUE(latest.has_value());
    EXPECT_EQ(latest->previous, 0u);
    EXPECT_EQ(catalog.Header().latestEntry, 52u);
    EXPECT_EQ(catalog.Header().catalogSize, 96u);
}

TEST_F(Catalog, CloseEndsTheCurrentEntryAtTheHighLrba) {
    {
        LogCatalog catalog(dir_, kNoLimit);
        ASSERT_TRUE(catalog.AddFile("L0000001", 0));
        catalog.SetBundleID(4096);
        catalog.SetHighLrba(12000, 777);
    }
    Bytes file = ReadBytes(CatalogPath());
    EXPECT_EQ(Le32(file, 0), 0u);            // closed cleanly
    EXPECT_EQ(Le32(file, 12), 12288u);       // (12000 + 4096) rounded down
    EXPECT_EQ(Le32(file, 20), 4096u);        // oldest complete bundle
    EXPECT_EQ(Le32(file, 52 + 12), 12000u);  // end LRBA
    EXPECT_EQ(Le32(file, 52 + 16), 4096u);   // bundle
    EXPECT_EQ(Le32(file, 52 + 24), 777u);    // end time
}

TEST_F(Catalog, AReadOnlyCatalogNeverCreatesWritesOrClosesCleanly) {
    {
        LogCatalog missing(dir_, kNoLimit, LogCatalog::Access::kReadOnly);
        ASSERT_TRUE(missing.IsOpen());
        EXPECT_EQ(missing.Header().fileCount, 0u);
        EXPECT_EQ(missing.Header().state, 1u);
        EXPECT_FALSE(missing.AddFile("L0000001", 0));
    }
    EXPECT_FALSE(Exists("LOGCATLG"));
    // A log left open by its writer (state 1), its latest file still open.
    Bytes image = TwoFileCatalog();
    PutLe32(image, 0, 1);
    ASSERT_TRUE(logtest::WriteBytes(CatalogPath(), image));
    {
        LogCatalog catalog(dir_, kNoLimit, LogCatalog::Access::kReadOnly);
        ASSERT_TRUE(catalog.IsOpen());
        EXPECT_TRUE(catalog.IsReadOnly());
        // The open latest file holds everything from its begin.
        EXPECT_EQ(catalog.FindFileByLRBA(45000)->Name(), "L0000002");
        EXPECT_EQ(catalog.FindFileByLRBA(100)->Name(), "L0000001");
        EXPECT_TRUE(catalog.MarkOpen());  // state 1 as read; nothing written
        EXPECT_FALSE(catalog.CloseLatestFile(1, 1));
        EXPECT_FALSE(catalog.RemoveLatestFile());
        EXPECT_FALSE(catalog.RemoveOldestFile());
    }
    EXPECT_EQ(ReadBytes(CatalogPath()), image);
}

// Opened for inspection, a catalog whose chain fails the checks stays open as
// it was found, says what is wrong, and is never written; the debug sink
// hears of the entries that cannot be read.
std::string g_debugLines;
void CollectDebug(const char* text) {
    g_debugLines += text;
}

TEST_F(Catalog, ACatalogOpenedForInspectionIsReadAsItIsFound) {
    Bytes image = TwoFileCatalog();
    PutLe32(image, 52, 52);  // the oldest entry's next names itself
    ASSERT_TRUE(logtest::WriteBytes(CatalogPath(), image));
    {
        LogCatalog refused(dir_, kNoLimit, LogCatalog::Access::kReadOnly);
        EXPECT_FALSE(refused.IsOpen());
    }
    g_debugLines.clear();
    LogCatalog::SetDebugSink(&CollectDebug);
    {
        LogCatalog catalog(dir_, kNoLimit, LogCatalog::Access::kInspect);
        ASSERT_TRUE(catalog.IsOpen());
        EXPECT_TRUE(catalog.IsReadOnly());
        EXPECT_NE(catalog.Damage(), "");
        EXPECT_EQ(catalog.EntryAt(52)->next, 52u);
        EXPECT_FALSE(catalog.EntryAt(60).has_value());  // not an entry slot
        EXPECT_FALSE(catalog.AddFile("L0000003", 90000));
        EXPECT_EQ(g_debugLines, "") << "the checks at opening are not reported";
    }
    EXPECT_EQ(ReadBytes(CatalogPath()), image);

    // Entries the header counts but the file lost.
    Bytes cut = TwoFileCatalog();
    cut.resize(96 + 20);
    ASSERT_TRUE(logtest::WriteBytes(CatalogPath(), cut));
    {
        LogCatalog catalog(dir_, kNoLimit, LogCatalog::Access::kInspect);
        ASSERT_TRUE(catalog.IsOpen());
        EXPECT_FALSE(catalog.EntryAt(96).has_value());
        EXPECT_EQ(g_debugLines, "Read error on catalog log file entry\n");
    }
    // Another version keeps even an inspection out.
    PutLe32(image, 4, 1);
    ASSERT_TRUE(logtest::WriteBytes(CatalogPath(), image));
    g_debugLines.clear();
    {
        LogCatalog catalog(dir_, kNoLimit, LogCatalog::Access::kInspect);
        EXPECT_FALSE(catalog.IsOpen());
        EXPECT_EQ(g_debugLines, "Invalid log catalog version\n");
    }
    LogCatalog::SetDebugSink(nullptr);
}

// The entry of a third file cannot be written: the catalog may not grow.
TEST_F(Catalog, AFailedAddFileChangesNothingInMemoryAndIsRepairedWhenOpenedAgain) {
    ASSERT_TRUE(logtest::WriteBytes(CatalogPath(), TwoFileCatalog()));
    Touch("L0000001");
    Touch("L0000002");
    {
        LogCatalog catalog(dir_, kNoLimit);
        ASSERT_TRUE(catalog.IsOpen());
        LogCatalogHeader before = catalog.Header();
        {
            logtest::FileSizeLimit limit(52 + 2 * 44);
            EXPECT_FALSE(catalog.AddFile("L0000003", 81920));
        }
        EXPECT_TRUE(catalog.UpdateFailed());
        EXPECT_EQ(catalog.Header().fileCount, before.fileCount);
        EXPECT_EQ(catalog.Header().catalogSize, before.catalogSize);
        EXPECT_EQ(catalog.Header().latestEntry, before.latestEntry);
        EXPECT_FALSE(catalog.AddFile("L0000003", 81920));  // refused until repaired
        EXPECT_FALSE(catalog.Close());
    }
    Bytes left = ReadBytes(CatalogPath());
    EXPECT_EQ(Le32(left, 0), 2u);  // never marked closed over the failure
    {
        LogCatalog catalog(dir_, kNoLimit);
        ASSERT_TRUE(catalog.IsOpen()) << catalog.OpenFailure();
        EXPECT_TRUE(catalog.WasRepaired());
        EXPECT_EQ(catalog.Header().state, 1u);
        EXPECT_EQ(catalog.Header().fileCount, 2u);
        EXPECT_EQ(catalog.LatestFile()->Name(), "L0000002");
        EXPECT_EQ(catalog.LatestFile()->next, 0u);
        ASSERT_TRUE(catalog.AddFile("L0000003", 81920));
    }
    LogCatalog again(dir_, kNoLimit);
    ASSERT_TRUE(again.IsOpen()) << again.OpenFailure();
    EXPECT_EQ(again.Header().fileCount, 3u);
}

// A stop inside RemoveLatestFile after its file was deleted: the entry is
// off the free list's head already but the header still names it.
TEST_F(Catalog, ARepairWithdrawsALatestEntryWhoseFileIsGone) {
    Bytes image = TwoFileCatalog();
    PutLe32(image, 0, 2);
    PutLe32(image, 96, 0);  // its next: the old free-list head
    ASSERT_TRUE(logtest::WriteBytes(CatalogPath(), image));
    Touch("L0000001");
    LogCatalog catalog(dir_, kNoLimit);
    ASSERT_TRUE(catalog.IsOpen()) << catalog.OpenFailure();
    EXPECT_TRUE(catalog.WasRepaired());
    EXPECT_EQ(catalog.Header().fileCount, 1u);
    EXPECT_EQ(catalog.Header().latestEntry, 52u);
    EXPECT_EQ(catalog.Header().oldestEntry, 52u);
    EXPECT_EQ(catalog.Header().freeList, 96u);
    EXPECT_EQ(catalog.LatestFile()->next, 0u);
    // A repair never follows links out of the file.
    Bytes wild = TwoFileCatalog();
    PutLe32(wild, 0, 2);
    PutLe32(wild, 44, 9000);
    ASSERT_TRUE(logtest::WriteBytes(CatalogPath(), wild));
    LogCatalog refused(dir_, kNoLimit);
    EXPECT_FALSE(refused.IsOpen());
    EXPECT_EQ(ReadBytes(CatalogPath()), wild);
}

}  // namespace
