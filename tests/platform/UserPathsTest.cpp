#include "platform/UserPaths.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace tvrn2 {
namespace {

TEST(UserPathsTest, FoldersAsPeopleWriteThem)
{
    test::TempDir dir;
    const std::filesystem::path home = dir / "home";
    test::ScopedEnv homeVariable { "HOME", home.string() };
    const struct {
        const char* written;
        std::filesystem::path folder;
    } cases[] = {
        { "", {} },
        { "~", home },
        { "~/", home / "" },
        { "~/Installers", home / "Installers" },
        { "dl", home / "dl" },
        { "dl/sub folder", home / "dl/sub folder" },
        { "./dl", home / "./dl" },
        { "~other/dl", home / "~other/dl" }, // no other user's home: a name like any
        { "/srv/downloads", "/srv/downloads" },
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.written);
        EXPECT_EQ(userFolder(row.written), row.folder);
    }
}

TEST(UserPathsTest, SamePathWhetherOrNotTheFileExists)
{
    test::TempDir dir;
    std::filesystem::create_directories(dir / "real");
    std::filesystem::create_directory_symlink(dir / "real", dir / "link");
    const auto file = dir / "real" / "setup.exe";
    EXPECT_TRUE(samePath(file, dir.path().string() + "//real/./setup.exe"));
    EXPECT_TRUE(samePath(file, dir / "link" / "setup.exe"));
    EXPECT_TRUE(samePath(file, dir / "real" / "sub" / ".." / "setup.exe"));
    EXPECT_FALSE(samePath(file, dir / "real" / "setup.exe.wkdownload"));
    EXPECT_FALSE(samePath(file, dir / "setup.exe"));
}

} // namespace
} // namespace tvrn2
