// The network side's own pieces in-process: which serial fields may become
// part of a path, how secure file names are built, the client set, and the
// texts against the English catalog.
#include <gtest/gtest.h>
#include <nl_types.h>
#include <sys/stat.h>

#include <fstream>

#include "coresys/server/net/ClientSet.h"
#include "coresys/server/net/NetText.h"
#include "coresys/server/net/PeerWarnings.h"
#include "coresys/server/net/SecureFile.h"
#include "coresys/server/net/SessionClient.h"
#include "support/FreshRoot.h"

namespace {

bool Valid(const std::vector<unsigned char>& field, std::string* text = nullptr) {
    std::string serial;
    bool ok = SecureFile::ValidSerial(field.data(), field.size(), &serial);
    if (text != nullptr) {
        *text = serial;
    }
    return ok;
}

std::vector<unsigned char> Field(const std::string& text) {
    std::vector<unsigned char> field(13, 0);
    for (std::size_t i = 0; i < text.size() && i < 13; ++i) {
        field[i] = static_cast<unsigned char>(text[i]);
    }
    return field;
}

TEST(SecureFileSerial, PlainNamesOfOneToTwelveCharactersAreAccepted) {
    std::string text;
    EXPECT_TRUE(Valid(Field("A"), &text));
    EXPECT_EQ(text, "A");
    EXPECT_TRUE(Valid(Field("3AB0123456Z9"), &text));
    EXPECT_EQ(text, "3AB0123456Z9");
    EXPECT_TRUE(Valid(Field("AB.CD-E_F"), &text));
    EXPECT_TRUE(Valid(Field("."), &text));
}

TEST(SecureFileSerial, AnythingThatCouldLeaveTheDirectoryIsRefused) {
    EXPECT_FALSE(Valid(Field("")));
    EXPECT_FALSE(Valid(Field("..")));
    EXPECT_FALSE(Valid(Field("A..B")));
    EXPECT_FALSE(Valid(Field("../etc")));
    EXPECT_FALSE(Valid(Field("A/B")));
    EXPECT_FALSE(Valid(Field("A\\B")));
    EXPECT_FALSE(Valid(Field("C:X")));
    EXPECT_FALSE(Valid(Field("AB\tC")));
    EXPECT_FALSE(Valid(Field("AB\x7F")));
    EXPECT_FALSE(Valid({'A', 'B', 0x80, 0}));
    // No terminator within the 13 bytes, or within what was received.
    EXPECT_FALSE(Valid(std::vector<unsigned char>(13, 'Z')));
    EXPECT_FALSE(Valid({'A', 'B', 'C'}));
    std::string none;
    EXPECT_FALSE(SecureFile::ValidSerial(nullptr, 13, &none));
}

TEST(SecureFileSerial, ReportTextsShowAtMostTwelvePrintableCharacters) {
    std::vector<unsigned char> field = {'A', 0x01, 'B', 0xFF};
    EXPECT_EQ(SecureFile::ReportText(field.data(), field.size()), "A?B?");
    std::vector<unsigned char> full(13, 'Q');
    EXPECT_EQ(SecureFile::ReportText(full.data(), full.size()), std::string(12, 'Q'));
}

TEST(SecureFileName, TheNameTellsSerialPeerAndPort) {
    testsupport::FreshRoot root;
    EXPECT_EQ(SecureFile::BuildName("C:\\oru_admin", "ARRAY1", true, "127.0.0.1", 40001),
              root.File("c/oru_admin/ARRAY1.local.40001"));
    EXPECT_EQ(SecureFile::BuildName("C:\\oru_admin\\", "ARRAY1", false, "10.1.2.3", 7),
              root.File("c/oru_admin/ARRAY1.10.1.2.3.7"));
    ASSERT_TRUE(root.Write("c/oru_admin/ARRAY2/keep", ""));
    EXPECT_EQ(SecureFile::BuildName("C:\\oru_admin", "ARRAY2", true, "127.0.0.1", 9),
              root.File("c/oru_admin/ARRAY2/local.9"));
}

TEST(SecureFileName, OnlyARegularFileCountsAndItsOwnerIsNamed) {
    testsupport::FreshRoot root;
    ASSERT_TRUE(root.Write("c/oru_admin/F.local.1", ""));
    std::string file = root.File("c/oru_admin/F.local.1");
    EXPECT_TRUE(SecureFile::Present(file));
    std::string owner = SecureFile::OwnerText(file);
    EXPECT_NE(owner.find('\\'), std::string::npos) << owner;
    EXPECT_TRUE(SecureFile::Remove(file));
    EXPECT_FALSE(SecureFile::Present(file));
    EXPECT_EQ(SecureFile::OwnerText(file), "");

    std::string link = root.File("c/oru_admin/L.local.1");
    ASSERT_EQ(::symlink(root.File("c").c_str(), link.c_str()), 0);
    EXPECT_FALSE(SecureFile::Present(link));
    EXPECT_FALSE(SecureFile::Present(root.File("c/oru_admin")));
}

TEST(SecureFileName, AWorldWritableAdministrationDirectoryIsNoticed) {
    testsupport::FreshRoot root;
    ASSERT_TRUE(root.Write("c/oru_admin/x", ""));
    std::string dir = root.File("c/oru_admin");
    ASSERT_EQ(::chmod(dir.c_str(), 0770), 0);
    EXPECT_FALSE(SecureFile::WorldWritable("C:\\oru_admin"));
    ASSERT_EQ(::chmod(dir.c_str(), 0777), 0);
    EXPECT_TRUE(SecureFile::WorldWritable("C:\\oru_admin"));
    ASSERT_EQ(::chmod(dir.c_str(), 01777), 0);
    EXPECT_FALSE(SecureFile::WorldWritable("C:\\oru_admin"));
}

TEST(SecureFileName, AFileFartherFromTheConnectionThanTheSlackIsStale) {
    testsupport::FreshRoot root;
    ASSERT_TRUE(root.Write("c/oru_admin/F.local.2", ""));
    const std::string file = root.File("c/oru_admin/F.local.2");
    struct stat info {};
    ASSERT_EQ(::lstat(file.c_str(), &info), 0);
    const std::int64_t changed =
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
    const std::int64_t slack = SecureFile::kStaleSlackMs;
    EXPECT_EQ(SecureFile::Check(file, changed), SecureFile::Proof::PRESENT);
    EXPECT_EQ(SecureFile::Check(file, changed + slack), SecureFile::Proof::PRESENT);
    EXPECT_EQ(SecureFile::Check(file, changed + slack + 1), SecureFile::Proof::STALE);
    // Dated after the connection: a client makes its file within the wait,
    // but one dated further ahead would vouch for its port for ever.
    EXPECT_EQ(SecureFile::Check(file, changed - slack), SecureFile::Proof::PRESENT);
    EXPECT_EQ(SecureFile::Check(file, changed - slack - 1), SecureFile::Proof::STALE);
    EXPECT_EQ(SecureFile::Check(root.File("c/oru_admin/none"), changed), SecureFile::Proof::ABSENT);
}

TEST(PeerWarningsTest, EachPeerGetsItsBurstPerWindowAndTheRestIsCountedOnce) {
    std::vector<std::pair<std::string, std::uint32_t>> summaries;
    PeerWarnings warnings([&](const std::string& peer, std::uint32_t suppressed) {
        summaries.emplace_back(peer, suppressed);
    });
    const std::uint64_t start = 1000;
    const std::uint64_t window = PeerWarnings::kWindowMs;
    int allowed = 0;
    for (int i = 0; i < 25; ++i) {
        allowed += warnings.Allow("10.0.0.1", start + static_cast<std::uint64_t>(i)) ? 1 : 0;
    }
    EXPECT_EQ(allowed, static_cast<int>(PeerWarnings::kBurst));
    // Another address has a burst of its own.
    EXPECT_TRUE(warnings.Allow("10.0.0.2", start));
    EXPECT_EQ(warnings.NextSweepMs(), start + window);
    warnings.Sweep(start + window - 1);
    EXPECT_TRUE(summaries.empty());
    warnings.Sweep(start + window);
    ASSERT_EQ(summaries.size(), 1u);
    EXPECT_EQ(summaries[0], std::make_pair(std::string("10.0.0.1"), 15u));
    EXPECT_EQ(warnings.NextSweepMs(), 0u);
    // The window is over: the address starts afresh.
    EXPECT_TRUE(warnings.Allow("10.0.0.1", start + window + 1));
}

TEST(PeerWarningsTest, AWarningAfterTheWindowFirstReportsTheCountOfTheOneBefore) {
    std::vector<std::pair<std::string, std::uint32_t>> summaries;
    PeerWarnings warnings([&](const std::string& peer, std::uint32_t suppressed) {
        summaries.emplace_back(peer, suppressed);
    });
    for (std::uint32_t i = 0; i < PeerWarnings::kBurst + 3; ++i) {
        warnings.Allow("10.0.0.9", 0);
    }
    EXPECT_TRUE(summaries.empty());
    EXPECT_TRUE(warnings.Allow("10.0.0.9", PeerWarnings::kWindowMs));
    ASSERT_EQ(summaries.size(), 1u);
    EXPECT_EQ(summaries[0].second, 3u);
}

TEST(PeerWarningsTest, TheAddressesFollowedAreBoundedAndTheOldestGivesWay) {
    std::vector<std::pair<std::string, std::uint32_t>> summaries;
    PeerWarnings warnings([&](const std::string& peer, std::uint32_t suppressed) {
        summaries.emplace_back(peer, suppressed);
    });
    for (std::uint32_t i = 0; i <= PeerWarnings::kBurst; ++i) {
        warnings.Allow("first", 0);
    }
    for (std::size_t n = 1; n < PeerWarnings::kMaxPeers; ++n) {
        warnings.Allow("peer" + std::to_string(n), 1);
    }
    EXPECT_TRUE(summaries.empty());
    // One more address: the one whose window began first goes, with its count.
    EXPECT_TRUE(warnings.Allow("newcomer", 2));
    ASSERT_EQ(summaries.size(), 1u);
    EXPECT_EQ(summaries[0], std::make_pair(std::string("first"), 1u));
}

// Clients without a subsystem or a session are enough for the set.
std::unique_ptr<SessionClient> MakeClient() {
    return std::make_unique<SessionClient>(nullptr, nullptr, "S", nullptr, "");
}

TEST(ClientSetTest, TwentyClientsFitAndTheTwentyFirstIsRefused) {
    ClientSet set;
    std::vector<std::unique_ptr<SessionClient>> clients;
    for (int i = 0; i < 20; ++i) {
        clients.push_back(MakeClient());
        EXPECT_EQ(set.Add(clients.back().get()), 1) << i;
    }
    auto extra = MakeClient();
    EXPECT_EQ(set.Add(extra.get()), 0);
    EXPECT_EQ(set.Count(), 20);
    EXPECT_FALSE(set.Contains(extra.get(), extra->ClientId()));
}

TEST(ClientSetTest, NextGoesRoundAndRemovalStartsAgainAtTheFirst) {
    ClientSet set;
    auto a = MakeClient();
    auto b = MakeClient();
    auto c = MakeClient();
    set.Add(a.get());
    set.Add(b.get());
    set.Add(c.get());
    EXPECT_EQ(set.Next(), a.get());
    EXPECT_EQ(set.Next(), b.get());
    EXPECT_EQ(set.Next(), c.get());
    EXPECT_EQ(set.Next(), a.get());
    // The last entry takes the removed one's place.
    EXPECT_EQ(set.Remove(a.get()), 1);
    EXPECT_EQ(set.Remove(a.get()), 0);
    EXPECT_EQ(set.Next(), c.get());
    EXPECT_EQ(set.Next(), b.get());
    EXPECT_FALSE(set.Contains(a.get(), a->ClientId()));
    EXPECT_TRUE(set.Contains(b.get(), b->ClientId()));
    EXPECT_FALSE(set.Contains(b.get(), b->ClientId() + 1));
    ClientSet empty;
    EXPECT_EQ(empty.Next(), nullptr);
}

TEST(NetTextTest, TheBuiltInTableMatchesTheEnglishCatalog) {
    std::string path = std::string(ORU_NLS_DIR) + "/en/oruseng.cat";
    nl_catd catalog = catopen(path.c_str(), 0);
    ASSERT_NE(catalog, reinterpret_cast<nl_catd>(-1)) << path;
    for (int id = 1; id < NET_TEXT_COUNT_PLUS_ONE; ++id) {
        const char* text = catgets(catalog, NET_TEXT_SET, id, "\x01missing");
        EXPECT_STREQ(text, NetTextEnglish(id)) << "text " << id;
    }
    catclose(catalog);
}

TEST(NetTextTest, TheAuthorizationReportsReadAsGiven) {
    EXPECT_EQ(NetText(NET_TEXT_UNAUTHORIZED_FROM, "ABC", "10.0.0.9"),
              "Warning - Unauthorized Management Access Attempted to Strovane: ABC from ip: "
              "10.0.0.9.");
    EXPECT_EQ(NetText(NET_TEXT_UNAUTHORIZED, "ABC"),
              "Warning - Unauthorized Management Access Attempted to Strovane: ABC.");
    EXPECT_EQ(NetText(NET_TEXT_AUTHORIZED_AT, "ABC", "host\\root", "10.0.0.9"),
              "Management Authorization to Strovane: ABC Succeeded for: host\\root at ip: "
              "10.0.0.9.");
    EXPECT_EQ(NetText(NET_TEXT_AUTHORIZED, "ABC", "host\\root"),
              "Management Authorization to Strovane: ABC Succeeded for: host\\root.");
    EXPECT_EQ(NetText(NET_TEXT_SID_LOOKUP_FAILED, 2), "Failed SID Lookup - 2");
}

}  // namespace
