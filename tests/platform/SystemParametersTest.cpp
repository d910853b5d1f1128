#include "platform/SystemParameters.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace tvrn2 {
namespace {

class DragOptionTest : public ::testing::Test {
protected:
    test::TempDir temp;
    test::ScopedEnv config { "XDG_CONFIG_HOME", temp.path().string() };
    std::filesystem::path file = temp / "tvrn2/registry.reg";

    static std::int32_t drag()
    {
        std::int32_t on = -1;
        EXPECT_TRUE(systemParametersInfo(SPI_GETDRAGFULLWINDOWS, 0, &on, 0));
        return on;
    }
    void store(const std::string& value)
    {
        temp.write("tvrn2/registry.reg",
            "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"
                + (value.empty() ? std::string() : "\"DragFullWindows\"=" + value + "\n"));
    }
};

TEST_F(DragOptionTest, ReadsTheStoredValue)
{
    EXPECT_EQ(drag(), 0) << "no store: off";
    const std::pair<const char*, std::int32_t> cases[] = {
        { "\"1\"", 1 },
        { "\"0\"", 0 },
        { "\"2\"", 1 },
        { "\"\"", 0 },
        { "\"x\"", 0 },
        { "dword:00000001", 1 },
        { "dword:00000000", 0 },
        { "", 0 },
    };
    for (const auto& [value, expected] : cases) {
        store(value);
        EXPECT_EQ(drag(), expected) << value;
    }
}

TEST_F(DragOptionTest, SwitchedOffForTheRunAndRestored)
{
    store("\"1\"");
    std::int32_t saved = 0;
    ASSERT_TRUE(systemParametersInfo(SPI_GETDRAGFULLWINDOWS, 0, &saved, 0));
    ASSERT_EQ(saved, 1);
    ASSERT_TRUE(
        systemParametersInfo(SPI_SETDRAGFULLWINDOWS, 0, nullptr, SPIF_UPDATEINIFILE | SPIF_SENDCHANGE));
    EXPECT_EQ(drag(), 0);
    EXPECT_NE(test::TempDir::read(file).find("\"DragFullWindows\"=\"0\""), std::string::npos);
    ASSERT_TRUE(
        systemParametersInfo(SPI_SETDRAGFULLWINDOWS, 1, nullptr, SPIF_UPDATEINIFILE | SPIF_SENDCHANGE));
    EXPECT_EQ(drag(), 1);
    EXPECT_NE(test::TempDir::read(file).find("\"DragFullWindows\"=\"1\""), std::string::npos);
}

TEST_F(DragOptionTest, WithoutUpdateFlagOnlyThisProcessSeesIt)
{
    ASSERT_TRUE(systemParametersInfo(SPI_SETDRAGFULLWINDOWS, 1, nullptr, 0));
    EXPECT_EQ(drag(), 1);
    EXPECT_FALSE(std::filesystem::exists(file));
    ASSERT_TRUE(systemParametersInfo(SPI_SETDRAGFULLWINDOWS, 0, nullptr, SPIF_UPDATEINIFILE));
    EXPECT_EQ(drag(), 0) << "a stored setting ends the process-only one";
    EXPECT_TRUE(std::filesystem::exists(file));
}

TEST_F(DragOptionTest, Failures)
{
    EXPECT_FALSE(systemParametersInfo(SPI_GETDRAGFULLWINDOWS, 0, nullptr, 0));
    EXPECT_FALSE(systemParametersInfo(99, 0, nullptr, 0));
    const std::string damaged
        = "Windows Registry Editor Version 5.00\n\n"
          "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n\"DragFullWindows\"=\"1\"\nnonsense\n";
    temp.write("tvrn2/registry.reg", damaged);
    test::CapturedDebugOutput quiet;
    EXPECT_EQ(drag(), 1) << "a damaged store is still read";
    EXPECT_FALSE(systemParametersInfo(SPI_SETDRAGFULLWINDOWS, 0, nullptr, SPIF_UPDATEINIFILE));
    EXPECT_EQ(test::TempDir::read(file), damaged);
}

} // namespace
} // namespace tvrn2
