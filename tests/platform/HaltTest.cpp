#include "platform/Halt.h"

#include "platform/HistoryListView.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tvrn2 {
namespace {

TEST(HaltTest, RunsRegisteredRestorersNewestFirstOnceThenHalts)
{
    std::vector<std::string> ran;
    EmergencyRestorer first([&] { ran.push_back("first"); });
    EmergencyRestorer dropped([&] { ran.push_back("dropped"); });
    EmergencyRestorer failing([&] {
        ran.push_back("failing");
        throw std::runtime_error("restorer failed");
    });
    EmergencyRestorer last([&] { ran.push_back("last"); });
    dropped.release();

    HaltInterceptor intercept;
    try {
        haltProgram(7);
        FAIL() << "haltProgram returned";
    } catch (const ProgramHalted& halted) {
        EXPECT_EQ(halted.exitCode, 7);
    }
    EXPECT_EQ(ran, (std::vector<std::string> { "last", "failing", "first" }));

    // A second halt finds nothing left to restore.
    ran.clear();
    EXPECT_THROW(haltProgram(0), ProgramHalted);
    EXPECT_TRUE(ran.empty());
}

TEST(HaltDeathTest, EndsTheProcessWithTheCodeAfterRestoring)
{
    EXPECT_EXIT(
        {
            EmergencyRestorer restore([] { std::fputs("restored\n", stderr); });
            haltProgram(3);
        },
        testing::ExitedWithCode(3), "restored");
}

struct LayoutCase {
    int buttons;
    int defaultButton;
    // Left to right: (place, caption, default?)
    std::vector<std::tuple<int, std::string, bool>> expected;
};

TEST(HistoryButtonLayoutTest, FillsPlacesFromTheRightHighestValueFirst)
{
    const LayoutCase cases[] = {
        { Button::Ok | Button::Help, Button::Ok, { { 6, "O&k", true }, { 7, "&Help", false } } },
        { Button::Yes | Button::No, Button::No, { { 6, "&Yes", false }, { 7, "&No", true } } },
        { 0xFF, Button::Retry,
            { { 0, "O&k", false }, { 1, "&Yes", false }, { 2, "&No", false }, { 3, "&Abort", false },
                { 4, "&Retry", true }, { 5, "&Ignore", false }, { 6, "&Cancel", false },
                { 7, "&Help", false } } },
        { 0, Button::Ok, {} },
    };
    for (const auto& c : cases) {
        auto layout = historyButtonLayout(c.buttons, c.defaultButton);
        ASSERT_EQ(layout.size(), c.expected.size()) << "buttons " << c.buttons;
        for (std::size_t n = 0; n < layout.size(); ++n) {
            auto [place, caption, isDefault] = c.expected[n];
            EXPECT_EQ(layout[n].place, place);
            EXPECT_EQ(layout[n].x, 4 + 40 * place);
            EXPECT_EQ(layout[n].caption, caption);
            EXPECT_EQ(layout[n].isDefault, isDefault) << caption;
        }
    }
}

} // namespace
} // namespace tvrn2
