#include "diagnostics/TraceLog.h"

#include "tests/support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <unistd.h>

namespace tvrn2 {
namespace {

using ::testing::ElementsAre;

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(TraceLog, FirstLineOfARunStartsTheFileAfreshLaterLinesAppend)
{
    test::TempDir dir;
    auto file = dir.write("TRCLOG.TXT", "left over from an earlier run\r\n");
    TraceLog log(file, [] { return std::string(); });
    log.write("Memory failed: %lx\r\n", 8ul);
    EXPECT_EQ(test::TempDir::read(file), "Memory failed: 8\r\n");
    log.write("Error: %s\r\n", "second");
    EXPECT_EQ(test::TempDir::read(file), "Memory failed: 8\r\nError: second\r\n");

    TraceLog nextRun(file, [] { return std::string(); });
    nextRun.write("again\r\n");
    EXPECT_EQ(test::TempDir::read(file), "again\r\n");
}

TEST(TraceLog, LinesAreCutToTheLineBuffer)
{
    test::TempDir dir;
    TraceLog log(dir / "TRCLOG.TXT", [] { return std::string(); });
    log.write("Error: %s\r\n", std::string(400, 'e').c_str());
    EXPECT_EQ(
        test::TempDir::read(dir / "TRCLOG.TXT"), "Error: " + std::string(TraceLog::LineCapacity - 8, 'e'));
}

TEST(TraceLog, AssertionFailureFormat)
{
    test::TempDir dir;
    TraceLog log(dir / "TRCLOG.TXT", [] { return std::string(); });
    log.assertionFailed("count > 0", "Queue.cpp", 42);
    EXPECT_EQ(
        test::TempDir::read(dir / "TRCLOG.TXT"), "Assertion failed:count > 0\r\nFile Queue.cpp line 42");
}

TEST(TraceLog, AuxTraceSendsEveryLineToTheDebuggerOutputToo)
{
    test::TempDir dir;
    test::CapturedDebugOutput output;
    int asked = 0;
    TraceLog quiet(dir / "quiet.txt", [&] {
        ++asked;
        return std::string();
    });
    quiet.write("one\r\n");
    quiet.write("two\r\n");
    EXPECT_THAT(output.lines(), ::testing::IsEmpty());
    EXPECT_EQ(asked, 1) << "the setting is read with the first line only";

    TraceLog loud(dir / "loud.txt", [] { return std::string("1"); });
    loud.write("one\r\n");
    loud.write("two\r\n");
    EXPECT_THAT(output.lines(), ElementsAre("one\r\n", "two\r\n"));
    EXPECT_EQ(test::TempDir::read(dir / "loud.txt"), "one\r\ntwo\r\n");
}

TEST(TraceLog, AuxTraceSettingComesFromTheUserProfile)
{
    test::TempDir dir;
    test::ScopedEnv config("XDG_CONFIG_HOME", dir.path().string());
    EXPECT_EQ(TraceLog::auxTraceFromProfile(), "");
    dir.write("tvrn2/win.ini", "[Other]\r\nauxtrace=no\r\n[tracing]\r\nAUXTRACE = 1\r\n");
    EXPECT_EQ(TraceLog::auxTraceFromProfile(), "1");

    test::CapturedDebugOutput output;
    TraceLog log(dir / "TRCLOG.TXT");
    log.write("seen\r\n");
    EXPECT_THAT(output.lines(), ElementsAre("seen\r\n"));
}

// A debugger-output sink that itself traces, as a sink that logs its
// failures might.
class TracingSink final : public DebugSink {
public:
    explicit TracingSink(TraceLog& log)
        : m_log(log)
    { }
    void write(std::string_view text) override
    {
        seen.emplace_back(text);
        m_log.write("nested\r\n");
    }
    std::vector<std::string> seen;

private:
    TraceLog& m_log;
    ScopedDebugSink m_installed { *this };
};

TEST(TraceLog, ALineProducedWhileWritingOneIsDropped)
{
    test::TempDir dir;
    TraceLog log(dir / "TRCLOG.TXT", [] { return std::string("on"); });
    TracingSink sink(log);
    log.write("outer\r\n");
    log.write("second\r\n");
    EXPECT_EQ(test::TempDir::read(dir / "TRCLOG.TXT"), "outer\r\nsecond\r\n");
    EXPECT_THAT(sink.seen, ElementsAre("outer\r\n", "second\r\n"));
}

TEST(TraceLog, UnwritableFileIsSkippedAndRetried)
{
    test::TempDir dir;
    TraceLog log(dir / "missing" / "TRCLOG.TXT", [] { return std::string(); });
    log.write("lost\r\n");
    std::filesystem::create_directory(dir / "missing");
    dir.write("missing/TRCLOG.TXT", "old\r\n");
    log.write("kept\r\n");
    EXPECT_EQ(test::TempDir::read(dir / "missing" / "TRCLOG.TXT"), "kept\r\n")
        << "the first written line starts afresh";
}

__attribute__((noinline)) void reportFromHere(TraceLog& log)
{
    log.reportError("queue corrupted");
    asm volatile("" ::: "memory"); // keeps this frame from becoming a tail call
}

__attribute__((noinline)) void callThroughTwoFrames(TraceLog& log)
{
    reportFromHere(log);
    asm volatile("" ::: "memory");
}

TEST(TraceLog, ErrorReportListsReturnAddressesWithTheirModules)
{
    test::TempDir dir;
    TraceLog log(dir / "TRCLOG.TXT", [] { return std::string(); });
    callThroughTwoFrames(log);
    auto lines = linesOf(test::TempDir::read(dir / "TRCLOG.TXT"));
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines.front(), "Error: queue corrupted\r");
    EXPECT_EQ(lines.back(), "----------------------------------\r");
    EXPECT_LE(lines.size(), 12u) << "at most 10 addresses";

    char program[4096];
    ssize_t length = readlink("/proc/self/exe", program, sizeof program);
    ASSERT_GT(length, 0);
    std::string name = std::filesystem::path(std::string(program, std::size_t(length))).filename();
    const std::regex shape("([0-9A-F]{8,})  ([0-9A-F]{4}):([0-9A-F]{8,}) (.*)\r");
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        SCOPED_TRACE(lines[i]);
        std::smatch parts;
        ASSERT_TRUE(std::regex_match(lines[i], parts, shape));
        if (i <= 2) {
            // The two frames above are code of this test program.
            EXPECT_EQ(parts[4], name);
            EXPECT_NE(parts[2], "0000");
            EXPECT_LT(std::stoul(parts[3], nullptr, 16), std::stoul(parts[1], nullptr, 16));
        }
    }
}

} // namespace
} // namespace tvrn2
