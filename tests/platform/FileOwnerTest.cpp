#include "platform/FileOwner.h"

#include "PlatformTestRoot.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <cerrno>

namespace {

using namespace platform;

std::string MyLogin() {
    passwd* entry = ::getpwuid(::geteuid());
    return entry != nullptr ? entry->pw_name : "";
}

TEST(FileOwner, OwnFileGivesHostBackslashLogin) {
    platformtest::TestRoot root;
    root.Write("secure/file", "x");
    FileOwnerResult result = LookupFileOwner(root.Path("secure/file"));
    ASSERT_EQ(result.status, OwnerStatus::OWNER_OK);
    EXPECT_EQ(result.uid, ::geteuid());
    EXPECT_EQ(result.account, AccountHostName() + "\\" + MyLogin());
    EXPECT_EQ(AccountHostName().find('.'), std::string::npos);
}

TEST(FileOwner, ALinkIsNeverFollowed) {
    platformtest::TestRoot root;
    if (::geteuid() == 0) {
        // Root owns /etc/passwd too; use a file of another owner instead.
        root.Write("target", "x");
        ASSERT_EQ(::chown(root.Path("target").c_str(), 1, 1), 0);
        ASSERT_EQ(::symlink(root.Path("target").c_str(), root.Path("link").c_str()), 0);
    } else {
        ASSERT_EQ(::symlink("/etc/passwd", root.Path("link").c_str()), 0);
    }
    FileOwnerResult result = LookupFileOwner(root.Path("link"));
    ASSERT_EQ(result.status, OwnerStatus::OWNER_OK);
    EXPECT_EQ(result.uid, ::geteuid());
}

TEST(FileOwner, MissingFileAndUnknownAccount) {
    platformtest::TestRoot root;
    FileOwnerResult missing = LookupFileOwner(root.Path("nothing"));
    EXPECT_EQ(missing.status, OwnerStatus::OWNER_READ_FAILED);
    EXPECT_EQ(missing.error, ENOENT);
    EXPECT_EQ(missing.account, "");
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a file to an unknown uid";
    }
    root.Write("orphan", "x");
    ASSERT_EQ(::chown(root.Path("orphan").c_str(), 54321, 54321), 0);
    FileOwnerResult orphan = LookupFileOwner(root.Path("orphan"));
    EXPECT_EQ(orphan.status, OwnerStatus::ACCOUNT_LOOKUP_FAILED);
    EXPECT_EQ(orphan.uid, 54321u);
    EXPECT_EQ(orphan.error, ENOENT);
}

}  // namespace
