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
