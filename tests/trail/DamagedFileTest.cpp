// Damaged catalogs and log files made by hand from the layout tables: the
// printer prints what it can, says where the damage is, ends with its exit
// code, and never loops, reads past an end, waits on something that is not
// a file or opens anything outside the log directory.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <thread>

#include "TrailTestSupport.h"

namespace trailtest {
namespace {

constexpr const char* kOne = "QX0000000001";
constexpr std::uint32_t kTime = 1700000000;  // Nov 14 22:13:20 2023 UTC

// A usage record of array one (code 0, 76 bytes) with errors word `errors`.
HandRecord Usage(std::uint32_t errors, std::uint32_t time = kTime) {
    HandRecord record;
    record.code = 0;
    record.time = time;
    record.serial = kOne;
    record.payload = Bytes(16, 0);
    PutLe32(record.payload, 12, errors);
    return record;
}

class DamagedFileTest : public TrailTest {
  protected:
    void SetUp() override {
        TrailTest::SetUp();
        ASSERT_TRUE(std::filesystem::create_directories(LogDir()));
    }
    std::string Path(const std::string& name) const { return LogDir() + "/" + name; }
    void Put(const std::string& name, const Bytes& bytes) {
        ASSERT_TRUE(WriteBytes(Path(name), bytes));
    }
    // A catalog of closed files chained in slot order.
    void Catalog(std::vector<HandEntry> entries, HandHeader header = {}) {
        for (std::size_t i = 0; i < entries.size(); ++i) {
            entries[i].previous = i == 0 ? 0 : Slot(static_cast<std::uint32_t>(i - 1));
            entries[i].next = i + 1 == entries.size() ? 0 : Slot(static_cast<std::uint32_t>(i + 1));
        }
        if (header.fileCount == 0) {
            header.fileCount = static_cast<std::uint32_t>(entries.size());
            header.oldest = Slot(0);
            header.latest = Slot(static_cast<std::uint32_t>(entries.size() - 1));
        }
        Put("LOGCATLG", CatalogBytes(header, entries));
    }
    static HandEntry Entry(const std::string& name, std::uint32_t begin, std::uint32_t end,
                           std::uint32_t endTime = kTime + 600) {
        HandEntry entry;
        entry.name = name;
        entry.beginLrba = begin;
        entry.endLrba = end;
        entry.beginTime = kTime;
        entry.endTime = endTime;
        return entry;
    }
    static Bytes Join(const std::vector<Bytes>& blocks) {
        Bytes all;
        for (const Bytes& block : blocks) {
            all.insert(all.end(), block.begin(), block.end());
        }
        return all;
    }
    static std::string Errors(std::uint32_t n) {
        return "   Errors                           = " + std::to_string(n) + "\n";
    }
};

TEST_F(DamagedFileTest, AZeroTailOrAZeroLengthEndsItsBlockAndIsReported) {
    std::vector<std::uint32_t> lrbas;
    Bytes second = Block(4096, {Usage(1), Usage(2)}, 0, &lrbas);
    // The end marker behind the two records is gone: a length of 0 follows.
    std::fill(second.begin() + 160, second.end(), 0);
    Put("L0000001", Join({FillerBlock(), second, Bytes(4096, 0), Block(12288, {Usage(3)}, 0)}));
    Catalog({Entry("L0000001", 0, 12288)});

    const RunResult run = Run({});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find(Errors(1)), std::string::npos);
    EXPECT_NE(run.out.find(Errors(2)), std::string::npos);
    EXPECT_NE(run.out.find(Errors(3)), std::string::npos) << "the walk goes on behind the damage";
    EXPECT_NE(run.out.find("Decoded 3"), std::string::npos);
    EXPECT_EQ(run.err, Mark(33) + "Log file " + Path("L0000001") +
                           " is damaged at LRBA 4256 (byte 4256 of the file): the rest of its "
                           "block is passed over.\n" +
                           Mark(33) + "Log file " + Path("L0000001") +
                           " is damaged at LRBA 8192 (byte 8192 of the file): the rest of its "
                           "block is passed over.\n");
}

TEST_F(DamagedFileTest, LengthsOutsideARecordsBoundsEndTheBlock) {
    // First records of a length above the block, below a header, of 0
    // words; a record in its own block whose LRBA word names another place.
    Bytes huge = Block(4096, {Usage(1)});
    PutLe32(huge, 4, 0x7FFFFFFF);
    Bytes short59 = Block(8192, {Usage(2)});
    PutLe32(short59, 4, 59);
    Bytes stale = Block(40960, {Usage(3)});  // written for LRBA 40960, found at 12288
    std::vector<Bytes> blocks = {FillerBlock(), huge, short59, stale};
    // Behind the first record only the writer's end marker (both words
    // 0xFFFFFFFF) ends a block quietly: any other length that cannot fit is
    // damage, and the walk goes on with the next block.
    struct Behind {
        std::uint32_t reserved;
        std::uint32_t length;
    };
    const Behind behind[] = {
        {0, 4096},       {0, 4097},       {0, 5000},          {0, 65536},
        {0, 0x7FFFFFFF}, {0, 0xFFFFFFFF}, {0xFFFFFFFF, 4097}, {0xFFFFFFFF, 0xFFFFFFFF}};
    std::uint32_t lrba = 16384;
    for (const Behind& b : behind) {
        Bytes block = Block(lrba, {Usage(4), Usage(5)});
        PutLe32(block, 80, b.reserved);
        PutLe32(block, 80 + 4, b.length);
        blocks.push_back(block);
        lrba += 4096;
    }
    // The writer's end marker hides nothing: the next block's link is checked.
    blocks.push_back(Block(lrba, {Usage(6)}, lrba - 4096));
    Put("L0000001", Join(blocks));
    Catalog({Entry("L0000001", 0, lrba)});

    const RunResult run = Run({});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    std::vector<std::string> damaged = {"LRBA 4096 (byte 4096", "LRBA 8192 (byte 8192",
                                        "LRBA 12288 (byte 12288"};
    for (std::uint32_t i = 0; i + 1 < std::size(behind); ++i) {
        const std::string at = std::to_string(16384 + 4096 * i + 80);
        damaged.push_back("LRBA " + at + " (byte " + at);
    }
    for (const std::string& at : damaged) {
        EXPECT_NE(run.err.find(at), std::string::npos) << at << "\n" << run.err;
    }
    EXPECT_EQ(Count(run.err, Mark(33)), damaged.size()) << run.err;
    EXPECT_EQ(Count(run.err, Mark(35)), 0u) << run.err;
    EXPECT_EQ(Count(run.out, Errors(4)), std::size(behind));
    EXPECT_EQ(run.out.find(Errors(5)), std::string::npos);
    EXPECT_NE(run.out.find(Errors(6)), std::string::npos);
    EXPECT_NE(run.out.find("Decoded " + std::to_string(std::size(behind) + 1)), std::string::npos);
}

TEST_F(DamagedFileTest, ACycleInTheChainIsCutAndReported) {
    Put("L0000001", Join({FillerBlock(), Block(4096, {Usage(1)})}));
    Put("L0000002", Join({Block(8192, {Usage(2)}, 4096)}));
    std::vector<HandEntry> entries = {Entry("L0000001", 0, 4096), Entry("L0000002", 8192, 8192),
                                      Entry("L0000003", 12288, 12288)};
    entries[0].next = Slot(1);
    entries[1].previous = Slot(0);
    entries[1].next = Slot(0);  // back to the oldest
    HandHeader header;
    header.fileCount = 3;
    header.oldest = Slot(0);
    header.latest = Slot(2);
    Put("LOGCATLG", CatalogBytes(header, entries));

    const RunResult run = Run({});
    EXPECT_EQ(run.exitCode, 255);
    EXPECT_NE(run.out.find("  L0000001  "), std::string::npos);
    EXPECT_NE(run.out.find("  L0000002  "), std::string::npos);
    EXPECT_EQ(run.out.find("Log File:"), std::string::npos) << "no record after a broken list";
    EXPECT_EQ(run.err, Mark(32) +
                           "The catalog's chain of files breaks behind the entry at "
                           "offset 96: the catalog counts 3 files, the chain holds 2.\n");
}

TEST_F(DamagedFileTest, AChainLongerOrShorterThanItsCountIsReported) {
    Put("L0000001", Join({FillerBlock(), Block(4096, {Usage(1)})}));
    std::vector<HandEntry> entries = {Entry("L0000001", 0, 4096), Entry("L0000002", 8192, 8192),
                                      Entry("L0000003", 12288, 12288)};
    entries[0].next = Slot(1);
    entries[1].next = Slot(2);
    HandHeader header;
    header.fileCount = 2;  // one entry fewer than the chain holds
    header.oldest = Slot(0);
    header.latest = Slot(2);
    Put("LOGCATLG", CatalogBytes(header, entries));
    RunResult run = Run({});
    EXPECT_EQ(run.exitCode, 255);
    EXPECT_EQ(run.err, Mark(32) +
                           "The catalog's chain of files breaks behind the entry at "
                           "offset 96: the catalog counts 2 files, the chain holds 2.\n");

    header.fileCount = 4;  // one more
    Put("LOGCATLG", CatalogBytes(header, entries));
    run = Run({});
    EXPECT_EQ(run.exitCode, 255);
    EXPECT_EQ(Count(run.out, "  L000000"), 3u);
    EXPECT_NE(run.err.find("the catalog counts 4 files, the chain holds 3."), std::string::npos);
}

TEST_F(DamagedFileTest, ALinkOutsideTheCatalogIsAnEntryThatCannotBeRead) {
    Put("L0000001", Join({FillerBlock(), Block(4096, {Usage(1)})}));
    std::vector<HandEntry> entries = {Entry("L0000001", 0, 4096), Entry("L0000002", 8192, 8192)};
    entries[0].next = Slot(40);  // beyond the catalog's entries
    HandHeader header;
    header.fileCount = 2;
    header.oldest = Slot(0);
    header.latest = Slot(1);
    Put("LOGCATLG", CatalogBytes(header, entries));
    RunResult run = Run({});
    EXPECT_EQ(run.exitCode, 255);
    EXPECT_EQ(run.err, Mark(31) + "Cannot read the catalog entry at offset 1812\n");

    entries[0].next = 60;  // inside, but not on an entry
    Put("LOGCATLG", CatalogBytes(header, entries));
    run = Run({});
    EXPECT_EQ(run.exitCode, 255);
    EXPECT_EQ(run.err, Mark(31) + "Cannot read the catalog entry at offset 60\n");

    // The header claims more entries than the file holds: the read fails.
    entries[0].next = Slot(1);
    header.catalogSize = 52 + 44 * 3;
    Bytes cut = CatalogBytes(header, entries);
    cut.resize(52 + 44 + 20);
    Put("LOGCATLG", cut);
    run = Run({});
    EXPECT_EQ(run.exitCode, 255);
    EXPECT_NE(run.out.find("DebugMsg: Read error on catalog log file entry\n"), std::string::npos)
        << run.out;
    EXPECT_EQ(run.err, Mark(31) + "Cannot read the catalog entry at offset 96\n");
}

TEST_F(DamagedFileTest, ACatalogOfNoFilesBesideLogFilesIsDamage) {
    const std::string catalog = Path("LOGCATLG");
    const std::string damaged = Mark(1) + "Cannot open the log catalog " + catalog +
                                ": Log catalog " + catalog +
                                " is damaged: the age chain does not match its file count\n";
    // The header of a new log, sound by itself, beside a file of records.
    Put("LOGCATLG", CatalogBytes(HandHeader{}, {}));
    Put("L0000001", Join({FillerBlock(), Block(4096, {Usage(1)})}));
    const Bytes header = ReadBytes(catalog);
    RunResult run = Run({"-v", "1"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, damaged);
    EXPECT_EQ(run.out.find(Mark(3)), std::string::npos) << run.out;
    EXPECT_EQ(ReadBytes(catalog), header);

    // No files counted, but the header names an entry.
    HandHeader named;
    named.oldest = Slot(0);
    named.latest = Slot(0);
    Put("LOGCATLG", CatalogBytes(named, {Entry("L0000001", 0, 4096)}));
    run = Run({});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, damaged);

    // A file that never held a whole block is what a stop can leave of the
    // file of a withdrawn entry, and other names are no log files: the log
    // is empty.
    Put("LOGCATLG", header);
    Put("L0000001", Bytes(100, 0));
    Put("L00000021", Join({FillerBlock(), Block(4096, {Usage(1)})}));
    run = Run({});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_NE(run.out.find(Mark(3)), std::string::npos) << run.out;
}

TEST_F(DamagedFileTest, NamesThatAreNoLogFilesAreNeverOpened) {
    // A file outside the log directory that would print if it were read.
    ASSERT_TRUE(WriteBytes(root.File("c/secret"), Join({FillerBlock(), Block(4096, {Usage(99)})})));
    Put("L0000004", Join({Block(16384, {Usage(4)})}));
    Catalog({Entry("../secret", 0, 4096), Entry("L00001", 4096, 4096),
             Entry("L\x1b[2J0000", 8192, 8192), Entry("L0000004", 16384, 16384)});

    const RunResult run = Run({});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("  ../secret "), std::string::npos);
    EXPECT_NE(run.out.find("  L?[2J0000 "), std::string::npos) << "no escape reaches the terminal";
    EXPECT_EQ(run.out.find(Errors(99)), std::string::npos);
    EXPECT_NE(run.out.find(Errors(4)), std::string::npos);
    EXPECT_EQ(Count(run.out, "Log File:"), 1u);
    EXPECT_EQ(run.err, Mark(189) +
                           "The catalog entry at offset 52 names no log file (../secret): "
                           "it is passed over.\n" +
                           Mark(189) +
                           "The catalog entry at offset 96 names no log file (L00001): "
                           "it is passed over.\n" +
                           Mark(189) +
                           "The catalog entry at offset 140 names no log file "
                           "(L?[2J0000): it is passed over.\n");
}

TEST_F(DamagedFileTest, AFileShorterThanItsEntryIsReadUpToItsEnd) {
    Bytes file = Join({FillerBlock(), Block(4096, {Usage(1)}), Block(8192, {Usage(2)})});
    file.resize(4096 * 2 + 2000);  // the third block cut short
    Put("L0000001", file);
    // The entry says the file reaches LRBA 40960.
    Catalog({Entry("L0000001", 0, 40960)});
    const RunResult run = Run({});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find(Errors(1)), std::string::npos);
    EXPECT_EQ(run.out.find(Errors(2)), std::string::npos);
    EXPECT_EQ(run.err,
              Mark(34) + "Log file " + Path("L0000001") + " ends inside the block at LRBA 8192\n");
}

TEST_F(DamagedFileTest, BlocksBeyondAClosedFilesEndAreNotRead) {
    Put("L0000001", Join({FillerBlock(), Block(4096, {Usage(1)}), Block(8192, {Usage(2)})}));
    Catalog({Entry("L0000001", 0, 4096)});
    const RunResult run = Run({});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find(Errors(1)), std::string::npos);
    EXPECT_EQ(run.out.find(Errors(2)), std::string::npos);
}

TEST_F(DamagedFileTest, AFileThatGrowsWhileItIsReadEndsWhereItWasWhenOpened) {
    const std::string path = Path("L0000001");
    Put("L0000001", Join({FillerBlock(), Block(4096, {Usage(1)})}));
    HandEntry open = Entry("L0000001", 0, 0, 0);
    Catalog({open});
    // A writer that keeps adding blocks of records while the printer reads.
    std::atomic<bool> stop{false};
    std::atomic<int> added{0};
    std::thread writer([&] {
        std::uint32_t lrba = 8192;
        while (!stop.load() && added.load() < 20000) {
            const Bytes block = Block(lrba, {Usage(lrba)}, lrba - 4096 + 0);
            FILE* file = std::fopen(path.c_str(), "ab");
            if (file == nullptr) {
                return;
            }
            std::fwrite(block.data(), 1, block.size(), file);
            std::fclose(file);
            lrba += 4096;
            ++added;
        }
    });
    while (added.load() < 10) {
        std::this_thread::yield();
    }
    const RunResult run = Run({});
    stop = true;
    writer.join();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find(Errors(1)), std::string::npos);
    const std::size_t printed = Count(run.out, "Usage counters");
    EXPECT_GE(printed, 1u);
    EXPECT_LE(printed, static_cast<std::size_t>(added.load()) + 1);
}

TEST_F(DamagedFileTest, WhatIsNotARegularFileIsPassedOverWithoutWaiting) {
    ASSERT_EQ(::mkfifo(Path("L0000001").c_str(), 0600), 0);
    ASSERT_TRUE(WriteBytes(root.File("c/outside"), Join({FillerBlock(), Block(4096, {Usage(7)})})));
    std::filesystem::create_symlink(root.File("c/outside"), Path("L0000002"));
    Put("L0000003", Block(8192, {Usage(3)}, 4096));
    Catalog(
        {Entry("L0000001", 0, 4096), Entry("L0000002", 0, 4096), Entry("L0000003", 8192, 8192)});

    const RunResult run = Run({});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.find(Errors(7)), std::string::npos) << "a link is never followed";
    EXPECT_NE(run.out.find(Errors(3)), std::string::npos);
    EXPECT_EQ(run.err, Mark(191) + Path("L0000001") +
                           " is not a regular file: it is passed over.\n" + Path("L0000002") +
                           ": " + std::strerror(ELOOP) + "\n");

    // A catalog that is a FIFO is not opened either.
    std::filesystem::remove(Path("LOGCATLG"));
    ASSERT_EQ(::mkfifo(Path("LOGCATLG").c_str(), 0600), 0);
    const RunResult fifo = Run({});
    EXPECT_EQ(fifo.exitCode, 1);
    EXPECT_EQ(fifo.err.rfind(Mark(1), 0), 0u) << fifo.err;
}

TEST_F(DamagedFileTest, BrokenBackLinksAreReportedAndCheckingGoesOn) {
    std::vector<std::uint32_t> lrbas;
    Bytes first = Block(4096, {Usage(1), Usage(2)}, 0, &lrbas);
    // The second record names a record that is not the one before it.
    PutLe32(first, 80 + 28, 4000);
    Put("L0000001", Join({FillerBlock(), first}));
    // The next file's first record names the first file's last record;
    // its second one names nothing it should.
    HandRecord wrong = Usage(4);
    wrong.backLink = 77;
    Put("L0000002", Block(8192, {Usage(3), wrong}, 4176));
    Catalog({Entry("L0000001", 0, 4176), Entry("L0000002", 8192, 8272)});

    const RunResult run = Run({});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Decoded 4"), std::string::npos);
    EXPECT_EQ(run.err, Mark(35) +
                           "The record at LRBA 4176 links back to LRBA 4000, but the "
                           "record before it is at LRBA 4096.\n" +
                           Mark(35) +
                           "The record at LRBA 8272 links back to LRBA 77, but the "
                           "record before it is at LRBA 8192.\n");

    // A file with a broken link checks nothing across to the next one.
    Put("L0000002", Block(8192, {Usage(3)}, 1));
    Catalog({Entry("L0000001", 0, 4176), Entry("L0000002", 8192, 8192)});
    EXPECT_EQ(Count(Run({}).err, Mark(35)), 1u);
}

TEST_F(DamagedFileTest, FilesEndingBeforeTheyBeginOrBeforeTheWindowAreSkipped) {
    // The first file of two is passed over when its end time lies before its
    // begin time, or when it is closed (end time not 0) and its end time lies
    // before the -s minute; the second file is always printed, and its first
    // record links back to the first file's end whether that was printed or
    // passed over.
    constexpr std::uint32_t kStart = 1700002800;  // -s 1114230023: Nov 14 23:00 2023 UTC
    struct Case {
        const char* what;
        std::uint32_t beginTime;
        std::uint32_t endTime;
        bool withStart;
        bool printed;
    };
    const Case cases[] = {
        {"end before begin", kTime, kTime - 60, false, false},
        {"end at begin", kTime, kTime, false, true},
        {"end after begin", kTime, kTime + 600, false, true},
        {"still open", kTime, 0, false, true},
        {"still open, begun before -s", kTime, 0, true, true},
        {"end a minute before -s", kTime, kStart - 60, true, false},
        {"end a second before -s", kTime, kStart - 1, true, false},
        {"end exactly at -s", kTime, kStart, true, true},
        {"end a second after -s", kTime, kStart + 1, true, true},
        {"end before begin, both after -s", kStart + 120, kStart + 60, true, false},
    };
    Put("L0000001", Join({FillerBlock(), Block(4096, {Usage(1)})}));
    Put("L0000002", Block(8192, {Usage(2, kTime + 7200)}, 4096));
    for (const Case& c : cases) {
        HandEntry first = Entry("L0000001", 0, 4096, c.endTime);
        first.beginTime = c.beginTime;
        Catalog({first, Entry("L0000002", 8192, 8192, kTime + 7200)});
        const RunResult run =
            c.withStart ? Run({"-s", "1114230023"}) : Run(std::vector<std::string>{});
        EXPECT_EQ(run.exitCode, 0) << c.what << "\n" << run.err;
        EXPECT_EQ(Count(run.out, "Log File:"), c.printed ? 2u : 1u) << c.what << "\n" << run.out;
        EXPECT_EQ(run.out.find("Log File: " + Path("L0000001")) != std::string::npos, c.printed)
            << c.what;
        EXPECT_NE(run.out.find(Errors(2)), std::string::npos) << c.what;
        EXPECT_EQ(run.err, "") << c.what << ": the first file's end is the second file's link";
    }
}

TEST_F(DamagedFileTest, RecordsTooShortForTheirKindAreNotDecoded) {
    std::vector<HandRecord> records;
    const std::uint32_t lengths[5] = {75, 77, 73, 70, 252};
    for (std::uint16_t code = 0; code < 5; ++code) {
        HandRecord record = Usage(1);
        record.code = code;
        record.payload = Bytes(lengths[code] - 60, 0xEE);
        records.push_back(record);
    }
    HandRecord unknown = Usage(0);
    unknown.code = 9;
    records.push_back(unknown);
    std::vector<std::uint32_t> lrbas;
    Put("L0000001", Join({FillerBlock(), Block(4096, records, 0, &lrbas)}));
    Catalog({Entry("L0000001", 0, lrbas.back())});

    const RunResult run = Run({"-v", "1"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.find("of array"), std::string::npos) << run.out;
    EXPECT_EQ(Count(run.err, Mark(66)), 5u) << run.err;
    EXPECT_NE(run.err.find(Mark(66) + "The record at LRBA 4096 is too short (75 bytes) to be read "
                                      "as a usage record.\n"),
              std::string::npos);
    EXPECT_NE(run.err.find("(252 bytes) to be read as a perf record."), std::string::npos);
    // Each still shows its generic line; the code no kind names counts.
    EXPECT_EQ(Count(run.out, "  ( 2,"), 6u);
    EXPECT_NE(run.out.find("( 2,   9)"), std::string::npos);
    EXPECT_NE(run.out.find("Decoded 1"), std::string::npos);
}

}  // namespace
}  // namespace trailtest
