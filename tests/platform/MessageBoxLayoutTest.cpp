#include "platform/MessageBoxLayout.h"

#include "platform/DialogUnits.h"

#include <gtest/gtest.h>

namespace tvrn2 {
namespace {

TEST(MessageBoxLayout, MaskAndCustomLabelsGiveButtonsValuesAndCloseResults)
{
    using C = std::vector<BoxChoice>;
    struct Case {
        int buttons;
        const char* custom;
        C choices;
        std::optional<int> onClose;
    };
    const Case cases[] = {
        { Button::Ok, "", C { { "OK", 1 } }, Button::Ok },
        { 0, "", C { { "OK", 1 } }, Button::Ok },
        { Button::Abort | Button::Ignore, "", C { { "&Abort", 8 }, { "&Ignore", 32 } }, std::nullopt },
        { Button::Yes | Button::No, "", C { { "&Yes", 2 }, { "&No", 4 } }, std::nullopt },
        { Button::Yes | Button::No | Button::Cancel, "", C { { "&Yes", 2 }, { "&No", 4 }, { "Cancel", 64 } },
            Button::Cancel },
        { Button::Ok | Button::Help, "", C { { "OK", 1 }, { "&Help", 128 } }, std::nullopt },
        { Button::Help | Button::Retry | Button::Cancel | Button::Ok, "",
            C { { "OK", 1 }, { "&Retry", 16 }, { "Cancel", 64 }, { "&Help", 128 } }, Button::Cancel },
        // Custom labels replace the mask and answer by position, even over a Cancel bit.
        { Button::Cancel, "&Yes|&No|&Cancel", C { { "&Yes", 1 }, { "&No", 2 }, { "&Cancel", 3 } },
            std::nullopt },
        { 0, "&Go", C { { "&Go", 1 } }, 1 },
    };
    for (const auto& c : cases) {
        BoxRequest request { "t", "c", BoxIcon::None, c.buttons, 0, c.custom };
        EXPECT_EQ(boxChoices(request), c.choices) << c.buttons << " " << c.custom;
        EXPECT_EQ(boxCloseResult(request), c.onClose) << c.buttons << " " << c.custom;
    }
}

TEST(MessageBoxLayout, DefaultMustBeOneOfTheButtons)
{
    BoxRequest request { "t", "c", BoxIcon::Stop, Button::Abort | Button::Ignore, Button::Ignore, "" };
    EXPECT_EQ(boxDefaultChoice(request), Button::Ignore);
    request.defaultButton = Button::Cancel; // not offered
    EXPECT_EQ(boxDefaultChoice(request), Button::Abort);
    request.customButtons = "&Yes|&No";
    request.defaultButton = 2;
    EXPECT_EQ(boxDefaultChoice(request), 2);
}

TEST(MessageBoxLayout, TextAndLabelConversions)
{
    EXPECT_EQ(boxText("line one|line two||end"), "line one\nline two\n\nend");
    EXPECT_EQ(mnemonicLabel("&Yes"), "_Yes");
    EXPECT_EQ(mnemonicLabel("O&k"), "O_k");
    EXPECT_EQ(mnemonicLabel("Save && Quit"), "Save & Quit");
    EXPECT_EQ(mnemonicLabel("snake_case"), "snake__case");
}

TEST(DialogUnits, ScaleByTheFontAndRoundTrip)
{
    // The classic 8-point dialog font: 6 x 13 pixels per character.
    DialogUnits classic(DialogUnits::averageCharWidth(312), 13);
    EXPECT_EQ(classic.charWidth(), 6);
    EXPECT_EQ(classic.toPixelsX(397), 596);
    EXPECT_EQ(classic.toPixelsY(269), 437);
    EXPECT_EQ(classic.toPixelsX(-4), -6);
    EXPECT_EQ(classic.toUnitsX(596), 397);
    EXPECT_EQ(classic.toUnitsY(437), 269);
    DialogUnits broken(0, 0); // a font that measured nothing must not divide by zero
    EXPECT_EQ(broken.toUnitsX(10), 40);
}

} // namespace
} // namespace tvrn2
