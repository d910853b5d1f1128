#include "platform/FixedText.h"
#include "platform/MessageBox.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace tvrn2 {
namespace {

TEST(FixedTextTest, CutsOnAssignmentAndClipsOnRead)
{
    CString<6> field = "abcdefgh"; // five characters and the terminator
    EXPECT_EQ(field.raw(), "abcde");
    PaddedString<8> padded = "ab  ";
    EXPECT_EQ(padded.clipped(), "ab");
    EXPECT_EQ(padded.padded(), "ab      ");
    EXPECT_TRUE(PaddedString<4>("    ").blank());
    EXPECT_EQ(trim("  x y  "), "x y");
}

TEST(FixedTextTest, CutsAtTheLastWholeCharacter)
{
    // "é" is two bytes, "€" three, "𝄞" four.
    struct Case {
        std::string text;
        std::size_t limit;
        std::string kept;
    };
    const Case cases[] = {
        { "abcé", 4, "abc" }, // the limit falls inside "é"
        { "abcé", 5, "abcé" },
        { "ab€x", 3, "ab" },
        { "ab€x", 4, "ab" },
        { "ab€x", 5, "ab€" },
        { "a𝄞", 4, "a" },
        { "a𝄞", 5, "a𝄞" },
        { "éé", 1, "" },
        { "abc", 2, "ab" },
        // Bytes that are no UTF-8 are cut where the limit says.
        { "ab\x80\x80\x80\x80x", 4, "ab\x80\x80" },
        { "ab\xE9x", 3, "ab\xE9" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(cutAtCharacter(c.text, c.limit), c.kept) << c.text << " at " << c.limit;

    CString<5> field = "abcé"; // four bytes of room
    EXPECT_EQ(field.raw(), "abc");
}

TEST(ScriptedMessageBoxesTest, AnswersFromScriptThenWithDefault)
{
    ScriptedMessageBoxes boxes;
    boxes.answer(Button::Ignore);
    BoxRequest stop { "text", "Stop", BoxIcon::Stop, Button::Abort | Button::Ignore, Button::Abort, {} };
    EXPECT_EQ(boxes.show(stop), Button::Ignore);
    EXPECT_EQ(boxes.show(stop), Button::Abort);
    BoxRequest yesNo { "q", "t", BoxIcon::Question, Button::Yes | Button::No, 0, {} };
    EXPECT_EQ(boxes.show(yesNo), Button::Yes);
    ASSERT_EQ(boxes.shown().size(), 3U);
    EXPECT_EQ(boxes.shown()[0].caption, "Stop");
}

TEST(DebugOutputTest, CapturedSinkSeesEachCall)
{
    test::CapturedDebugOutput captured;
    outputDebugString("FE [1] : one\r\n");
    outputDebugString("two");
    ASSERT_EQ(captured.lines().size(), 2U);
    EXPECT_EQ(captured.lines()[0], "FE [1] : one\r\n");
}

} // namespace
} // namespace tvrn2
