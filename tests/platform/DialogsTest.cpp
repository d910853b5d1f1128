#include "platform/Dialogs.h"

#include "platform/MessageBox.h"
#include "platform/WaitCursor.h"

#include <gtest/gtest.h>
#include <optional>

namespace tvrn2 {
namespace {

TEST(FilterList, SplitsPairsAndPatterns)
{
    struct Case {
        const char* list;
        std::vector<FileFilter> expected;
    };
    const Case cases[] = {
        { "", {} },
        { "All Files|*.*", { { "All Files", { "*.*" } } } },
        { "HTML Files|*.htm;*.html;*.mht|Text Files|*.txt",
            { { "HTML Files", { "*.htm", "*.html", "*.mht" } }, { "Text Files", { "*.txt" } } } },
        // A dangling description has no pattern and cannot filter anything.
        { "Text Files|*.txt|Orphan", { { "Text Files", { "*.txt" } } } },
        { " Images | *.png ; *.gif ;|Empty| ", { { "Images", { "*.png", "*.gif" } } } },
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseFilterList(c.list), c.expected) << c.list;
}

TEST(ScriptedDialogs, AnswersInOrderAndCancelsWhenTheScriptRunsOut)
{
    Dialogs* const before = &dialogs();
    ScriptedDialogs scripted;
    std::optional<ScopedDialogs> installed;
    installed.emplace(scripted);
    EXPECT_EQ(&dialogs(), static_cast<Dialogs*>(&scripted));
    scripted.answerFile("/tmp/a.exe");
    scripted.cancelFile();
    scripted.answerColour(0x0000FF);
    scripted.cancelColour();

    OpenFileRequest request { "Pick", "a.exe", "All Files|*.*", FileFlag::LongNames };
    EXPECT_EQ(dialogs().openFile(request), "/tmp/a.exe");
    EXPECT_EQ(dialogs().openFile(request), "");
    EXPECT_EQ(dialogs().openFile(request), "");
    EXPECT_EQ(dialogs().chooseColour({ "Choose a Color", 0 }), Colour { 0x0000FF });
    EXPECT_EQ(dialogs().chooseColour({ "Choose a Color", 0 }), std::nullopt);
    EXPECT_EQ(dialogs().chooseColour({ "Choose a Color", 0 }), std::nullopt);

    ASSERT_EQ(scripted.fileRequests().size(), 3u);
    EXPECT_EQ(scripted.fileRequests()[0].title, "Pick");
    EXPECT_EQ(scripted.fileRequests()[0].flags, FileFlag::LongNames);
    EXPECT_EQ(scripted.colourRequests().size(), 3u);

    // The guard gives the slot back to what held it before.
    installed.reset();
    EXPECT_EQ(&dialogs(), before);
}

TEST(ScriptedMessageBoxes, AnswersScriptThenDefaultThenFirstButtonOfTheMask)
{
    struct Case {
        int buttons;
        int defaultButton;
        const char* custom;
        int expected;
    };
    const Case cases[] = {
        { Button::Ok, 0, "", Button::Ok },
        { Button::Abort | Button::Ignore, 0, "", Button::Abort },
        { Button::Yes | Button::No | Button::Cancel, Button::No, "", Button::No },
        { Button::Retry | Button::Cancel, 0, "", Button::Retry },
        { Button::Help, 0, "", Button::Help },
        { 0, 0, "&Yes|&No", 1 },
        { 0, 2, "&Yes|&No", 2 },
    };
    ScriptedMessageBoxes boxes;
    for (const auto& c : cases) {
        BoxRequest request { "line one|line two", "Caption", BoxIcon::Question, c.buttons, c.defaultButton,
            c.custom };
        EXPECT_EQ(boxes.show(request), c.expected) << c.buttons;
    }
    boxes.answer(Button::Ignore);
    EXPECT_EQ(boxes.show({ "t", "c", BoxIcon::Stop, Button::Abort | Button::Ignore, 0, "" }), Button::Ignore);
    EXPECT_EQ(boxes.shown().size(), std::size(cases) + 1);
}

TEST(WaitCursor, NestedPushesShowUntilTheLastPopAndTellTheListenerOnce)
{
    std::vector<bool> changes;
    // The listener captures this test's locals: it goes however the test ends.
    WaitCursor::ScopedListener listening { [&](bool shown) { changes.push_back(shown); } };
    ASSERT_EQ(changes, std::vector<bool> { false });
    changes.clear();
    {
        WaitCursor::Guard outer;
        EXPECT_TRUE(WaitCursor::shown());
        {
            WaitCursor::Guard inner;
            EXPECT_EQ(WaitCursor::depth(), 2);
        }
        EXPECT_TRUE(WaitCursor::shown());
    }
    EXPECT_FALSE(WaitCursor::shown());
    WaitCursor::pop(); // unbalanced pop stays harmless
    EXPECT_EQ(WaitCursor::depth(), 0);
    EXPECT_EQ(changes, (std::vector<bool> { true, false }));
}

} // namespace
} // namespace tvrn2
