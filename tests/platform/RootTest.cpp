#include "platform/Root.h"

#include "PlatformTestRoot.h"

#include <gtest/gtest.h>

#include <stdlib.h>

namespace {

using platform::MapDrivePath;
using platform::RootDir;
using platform::RootPath;

TEST(Root, DefaultWhenUnsetAndEnvironmentOtherwise) {
    platformtest::TestRoot root;
    ::unsetenv("ORU_ROOT");
    EXPECT_EQ(RootDir(), "/var/lib/strovane");
    ::setenv("ORU_ROOT", "/srv/machine1//", 1);
    EXPECT_EQ(RootDir(), "/srv/machine1");
    EXPECT_EQ(RootPath("registry/HKEY_LOCAL_MACHINE.reg"),
              "/srv/machine1/registry/HKEY_LOCAL_MACHINE.reg");
    EXPECT_EQ(RootPath("/etc/services"), "/srv/machine1/etc/services");
    EXPECT_EQ(RootPath(""), "/srv/machine1");
}

TEST(Root, ProcessOverrideWinsOverEnvironment) {
    platformtest::TestRoot root;
    platform::SetRootDir("/other/root");
    EXPECT_EQ(RootDir(), "/other/root");
    platform::SetRootDir("");
    EXPECT_EQ(RootDir(), root.Dir());
}

TEST(Root, DrivePathsMapUnderTheRoot) {
    platformtest::TestRoot root;
    EXPECT_EQ(MapDrivePath("C:\\oru_log"), root.Dir() + "/c/oru_log");
    EXPECT_EQ(MapDrivePath("c:\\oru_log\\sub\\"), root.Dir() + "/c/oru_log/sub/");
    EXPECT_EQ(MapDrivePath("D:/data\\x"), root.Dir() + "/d/data/x");
    EXPECT_EQ(MapDrivePath("E:"), root.Dir() + "/e");
    EXPECT_EQ(MapDrivePath("E:\\"), root.Dir() + "/e");
}

TEST(Root, PosixAndRelativePathsStayAsTheyAre) {
    platformtest::TestRoot root;
    EXPECT_EQ(MapDrivePath("/var/log/strovane"), "/var/log/strovane");
    EXPECT_EQ(MapDrivePath(".\\OruServr.cat"), "./OruServr.cat");
    EXPECT_EQ(MapDrivePath("logs\\today"), "logs/today");
    EXPECT_EQ(MapDrivePath(""), "");
}

TEST(Root, MakeDirsCreatesParents) {
    platformtest::TestRoot root;
    EXPECT_EQ(platform::MakeDirs(root.Path("a/b/c")), 0);
    EXPECT_EQ(platform::MakeDirs(root.Path("a/b/c")), 0);
    root.Write("file", "x");
    EXPECT_NE(platform::MakeDirs(root.Path("file/sub")), 0);
}

}  // namespace
