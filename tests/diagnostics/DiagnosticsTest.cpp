#include "diagnostics/Diagnostics.h"

#include "diagnostics/LeakTracker.h"
#include "diagnostics/MemoryArena.h"
#include "tests/support/TestSupport.h"

#include <cstdlib>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdexcept>

namespace tvrn2 {
namespace {

TEST(Diagnostics, FrameTheRunWithTrackingAndTheArena)
{
    test::CapturedDebugOutput output;
    startDiagnostics();
    EXPECT_TRUE(LeakTracker::active());
    ASSERT_NE(memoryArena(), nullptr);
    EXPECT_FALSE(memoryArena()->empty());
    ASSERT_FALSE(output.lines().empty());
    EXPECT_THAT(output.lines().front(), ::testing::EndsWith(" : Torvane leak checking - Active\r\n"));

    // The report waits for the process to end, after the program's static objects.
    output.clear();
    stopDiagnostics();
    EXPECT_TRUE(LeakTracker::active());
    EXPECT_TRUE(output.lines().empty());
    LeakTracker::deactivate();
}

TEST(DiagnosticsDeathTest, TheLeakReportComesAsTheProcessExits)
{
    EXPECT_EXIT(
        {
            test::debugOutputToStandardError();
            startDiagnostics();
            stopDiagnostics();
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), " : Torvane leak checking - Inactive");
}

TEST(DiagnosticsDeathTest, AnUncaughtExceptionIsReportedInTheTraceLog)
{
    test::TempDir dir;
    EXPECT_DEATH(
        {
            std::filesystem::current_path(dir.path());
            startDiagnostics();
            try {
                throw std::runtime_error("queue out of step");
            } catch (...) {
                std::terminate();
            }
        },
        "");
    auto text = test::TempDir::read(dir / "TRCLOG.TXT");
    EXPECT_THAT(text, ::testing::StartsWith("Error: queue out of step\r\n"));
    EXPECT_THAT(text,
        ::testing::MatchesRegex(
            "Error: queue out of step\r\n([0-9A-F]{8,}  [0-9A-F]{4}:[0-9A-F]{8,} [^\r\n]*\r\n)+-{34}\r\n"));
}

} // namespace
} // namespace tvrn2
