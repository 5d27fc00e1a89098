#include "platform/PrivateProfile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>
#include <vector>

#include "PlatformTestRoot.h"

namespace {

using platform::PrivateProfile;

TEST(PrivateProfile, KeysAndValuesRoundTripAndTheFileReadsLikeAnIniFile) {
    platformtest::TestRoot root;
    PrivateProfile profile(root.Path("etc/oru.ini"));
    ASSERT_EQ(profile.WriteString("AllViews", "Disks", "Disks"), 0);
    ASSERT_EQ(profile.WriteString("ViewSettings", "CurrentView", "Disks"), 0);
    ASSERT_EQ(profile.WriteInt("View:Disks", "sortmethod", -1), 0);
    ASSERT_EQ(profile.WriteString("AllViews", "Tapes", "Tapes"), 0);

    EXPECT_EQ(root.Read("etc/oru.ini"),
              "[AllViews]\n"
              "Disks=Disks\n"
              "Tapes=Tapes\n"
              "\n"
              "[ViewSettings]\n"
              "CurrentView=Disks\n"
              "\n"
              "[View:Disks]\n"
              "sortmethod=-1\n");
    // Names compare without regard to case.
    EXPECT_EQ(profile.ReadString("allviews", "TAPES", "!@#"), "Tapes");
    EXPECT_EQ(profile.ReadInt("VIEW:disks", "SortMethod", 7), -1);
    EXPECT_EQ(profile.ReadString("AllViews", "Missing", "!@#"), "!@#");
    EXPECT_EQ(*profile.SectionKeys("AllViews"), (std::vector<std::string>{"Disks", "Tapes"}));
    EXPECT_FALSE(profile.SectionKeys("NoSuchSection").has_value());
}

TEST(PrivateProfile, DeletingKeysAndSectionsLeavesTheRestAlone) {
    platformtest::TestRoot root;
    root.Write("oru.ini",
               "; kept comment\n"
               "[A]\n"
               "one = 1\n"
               "two=2\n"
               "\n"
               "[B]\n"
               "x=y\n"
               "[a]\n"
               "one=again\n");
    PrivateProfile profile(root.Path("oru.ini"));
    ASSERT_EQ(profile.DeleteKey("a", "ONE"), 0);
    EXPECT_EQ(root.Read("oru.ini"),
              "; kept comment\n"
              "[A]\n"
              "two=2\n"
              "\n"
              "[B]\n"
              "x=y\n"
              "[a]\n");
    ASSERT_EQ(profile.DeleteSection("A"), 0);
    EXPECT_EQ(root.Read("oru.ini"),
              "; kept comment\n"
              "[B]\n"
              "x=y\n");
    ASSERT_EQ(profile.DeleteSection("Gone"), 0);
}

TEST(PrivateProfile, ADamagedFileReadsWhatCanBeMadeOutAndKeepsTheRest) {
    platformtest::TestRoot root;
    root.Write("oru.ini", "garbage line\n[S]\nk=v\n\x01\x02 binary\nn=12x\n=nokey\n[broken\nw=3\n");
    PrivateProfile profile(root.Path("oru.ini"));
    EXPECT_EQ(profile.ReadString("S", "k", ""), "v");
    // Not a whole number: the caller's fallback.
    EXPECT_EQ(profile.ReadInt("S", "n", 42), 42);
    EXPECT_EQ(profile.ReadInt("S", "k", 5), 5);
    // "[broken" is no section header, so w still belongs to S.
    EXPECT_EQ(profile.ReadInt("S", "w", 0), 3);
    EXPECT_EQ(*profile.SectionKeys("S"), (std::vector<std::string>{"k", "n", "w"}));

    ASSERT_EQ(profile.WriteString("S", "k", "new"), 0);
    const std::string after = root.Read("oru.ini");
    EXPECT_NE(after.find("garbage line\n"), std::string::npos);
    EXPECT_NE(after.find("\x01\x02 binary\n"), std::string::npos);
    EXPECT_NE(after.find("k=new\n"), std::string::npos);
}

TEST(PrivateProfile, NamesAndValuesThatWouldBreakTheFileAreRefused) {
    platformtest::TestRoot root;
    PrivateProfile profile(root.Path("oru.ini"));
    EXPECT_EQ(profile.WriteString("S", "a=b", "v"), EINVAL);
    EXPECT_EQ(profile.WriteString("S", "[x", "v"), EINVAL);
    EXPECT_EQ(profile.WriteString("S", ";c", "v"), EINVAL);
    EXPECT_EQ(profile.WriteString("S", "", "v"), EINVAL);
    EXPECT_EQ(profile.WriteString("S", "k", "two\nlines"), EINVAL);
    EXPECT_EQ(profile.WriteString("S", "k", " padded"), EINVAL);
    EXPECT_EQ(profile.WriteString("S]", "k", "v"), EINVAL);
    EXPECT_EQ(profile.WriteString("", "k", "v"), EINVAL);
    EXPECT_EQ(root.Read("oru.ini"), "");
    // Inside a name, "=" may stand in a section and "]" in a key.
    ASSERT_EQ(profile.WriteString("col:a=b", "x]y", ""), 0);
    EXPECT_EQ(profile.ReadString("col:a=b", "x]y", "!@#"), "");
}

TEST(PrivateProfile, ConcurrentWritersLoseNothing) {
    platformtest::TestRoot root;
    const std::string path = root.Path("oru.ini");
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([path, t] {
            PrivateProfile profile(path);
            for (int i = 0; i < 25; ++i) {
                profile.WriteInt("S" + std::to_string(t), "k" + std::to_string(i), i);
            }
        });
    }
    for (std::thread& writer : writers) {
        writer.join();
    }
    PrivateProfile profile(path);
    for (int t = 0; t < 4; ++t) {
        ASSERT_EQ(profile.SectionKeys("S" + std::to_string(t))->size(), 25u);
    }
}

}  // namespace
