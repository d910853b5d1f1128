#include "platform/SystemInfo.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <thread>

namespace tvrn2 {
namespace {

TEST(SystemInfoTest, SettingsFolderFollowsXdgConfigHome)
{
    test::ScopedEnv home("HOME", "/home/someone");
    {
        test::ScopedEnv config("XDG_CONFIG_HOME", "/cfg/");
        EXPECT_EQ(settingsFolder(), "/cfg/tvrn2");
        EXPECT_EQ(windowsDirectory(), "/cfg/tvrn2");
    }
    for (auto unusable : { std::optional<std::string>(), std::optional<std::string>(""),
             std::optional<std::string>("relative/cfg") }) {
        test::ScopedEnv config("XDG_CONFIG_HOME", unusable);
        EXPECT_EQ(settingsFolder(), "/home/someone/.config/tvrn2");
    }
}

TEST(SystemInfoTest, TempPathEndsWithSeparator)
{
    const std::pair<std::optional<std::string>, std::string> cases[] = { { std::nullopt, "/tmp/" },
        { "", "/tmp/" }, { "/var/tmp", "/var/tmp/" }, { "/scratch/", "/scratch/" } };
    for (const auto& [value, expected] : cases) {
        test::ScopedEnv tmpdir("TMPDIR", value);
        EXPECT_EQ(tempPath(), expected);
    }
}

TEST(SystemInfoTest, CommandLineJoinsArgumentsWithBlanks)
{
    const char* argv[] = { "build/tvrn2", "/fedebugmax", "/LVdbg", nullptr };
    setCommandLine(3, argv);
    EXPECT_EQ(commandLine(), "build/tvrn2 /fedebugmax /LVdbg");
    setCommandLine(0, argv);
    EXPECT_EQ(commandLine(), "");
}

TEST(SystemInfoTest, ThreadIdsAreStablePerThreadAndDistinct)
{
    std::uint32_t mainId = currentThreadId();
    std::uint32_t otherId = 0;
    std::thread other([&] { otherId = currentThreadId(); });
    other.join();
    EXPECT_EQ(currentThreadId(), mainId);
    EXPECT_NE(otherId, 0U);
    EXPECT_NE(otherId, mainId);
}

} // namespace
} // namespace tvrn2
