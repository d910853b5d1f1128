#include "platform/OsVersion.h"

#include <gtest/gtest.h>

namespace tvrn2 {
namespace {

TEST(OsVersion, KernelReleaseGivesMajorMinorAndBuild)
{
    struct Case {
        const char* release;
        std::uint32_t major, minor, build;
    } cases[] = {
        { "6.1.0-18-amd64", 6, 1, 0 },
        { "5.15.133.1-microsoft-standard-WSL2", 5, 15, 133 },
        { "6.8", 6, 8, 0 },
        { "4.19.0+", 4, 19, 0 },
        { "99999999999.2.3", 4294967295u, 2, 3 },
        { "", 0, 0, 0 },
        { "unknown", 0, 0, 0 },
    };
    for (const auto& c : cases) {
        auto version = parseKernelRelease(c.release);
        EXPECT_EQ(version.platformId, OsVersion::linuxPlatformId) << c.release;
        EXPECT_EQ(version.major, c.major) << c.release;
        EXPECT_EQ(version.minor, c.minor) << c.release;
        EXPECT_EQ(version.build, c.build) << c.release;
    }
}

} // namespace
} // namespace tvrn2
