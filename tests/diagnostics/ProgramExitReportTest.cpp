// Runs the whole program under the test's display and checks what leak
// tracking writes on its debugger output from start to exit.

#include "tests/support/TestSupport.h"
#include "tests/support/VirtualDisplay.h"
#include "tests/support/gtk/ProgramWindows.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <regex>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace tvrn2 {
namespace {

namespace fs = std::filesystem;

struct ProgramRun {
    bool exited = false;
    int exitCode = -1;
    std::vector<std::string> errorLines; // standard output and error
};

// Starts the program in `directory` with the given arguments, closes its
// windows once they show and collects what it writes to the terminal
// (standard output and error together); gives up (killing it) after `limit`.
ProgramRun runProgram(const fs::path& program, const fs::path& directory, std::chrono::seconds limit,
    std::vector<std::string> arguments = {})
{
    ProgramRun run;
    int output[2];
    if (pipe2(output, O_CLOEXEC) != 0)
        return run;
    arguments.insert(arguments.begin(), program.string());
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(output[1], STDOUT_FILENO);
        dup2(output[1], STDERR_FILENO);
        if (chdir(directory.c_str()) == 0)
            execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(output[1]);
    test::ProgramWindows closer;
    std::string text;
    auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    bool open = true;
    while (true) {
        pollfd wait { output[0], POLLIN, 0 };
        if (open && poll(&wait, 1, 100) > 0) {
            // Everything there is, so that a talkative run never waits on a full pipe.
            char buffer[65536];
            do {
                ssize_t got = read(output[0], buffer, sizeof buffer);
                if (got <= 0) {
                    open = false;
                    break;
                }
                text.append(buffer, std::size_t(got));
            } while (poll(&wait, 1, 0) > 0);
        } else if (!open) {
            usleep(100000);
        }
        if (waitpid(pid, &status, WNOHANG) == pid) {
            run.exited = WIFEXITED(status);
            run.exitCode = run.exited ? WEXITSTATUS(status) : -1;
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        closer.closeWindowsOf(pid);
    }
    char rest[4096];
    for (ssize_t got; (got = read(output[0], rest, sizeof rest)) > 0;)
        text.append(rest, std::size_t(got));
    close(output[0]);
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        run.errorLines.push_back(line);
    return run;
}

TEST(ProgramExitReport, TrackingFramesTheWholeRunAndFindsNoLeaks)
{
    // An X server of the test's own: the windows are closed with the real
    // pointer, which no other test's window may stand in the way of.
    test::VirtualDisplay display;
    ASSERT_FALSE(display.name().empty()) << "Xvfb did not start";
    test::ScopedEnv displayName("DISPLAY", display.name());

    test::TempDir dir;
    test::ScopedEnv config("XDG_CONFIG_HOME", (dir / "config").string());
    test::ScopedEnv data("XDG_DATA_HOME", (dir / "data").string());
    test::ScopedEnv cache("XDG_CACHE_HOME", (dir / "cache").string());
    fs::create_directories(dir / "run");
    fs::path program = fs::canonical(TVRN2_PROGRAM);

    // Without being asked, the program says nothing on the terminal.
    {
        test::ScopedEnv quiet("G_MESSAGES_DEBUG", std::nullopt);
        ProgramRun run = runProgram(program, dir / "run", std::chrono::seconds(60));
        ASSERT_TRUE(run.exited) << "the program did not end by itself";
        EXPECT_EQ(run.exitCode, 0);
        std::vector<std::string> said = run.errorLines;
#if defined(__SANITIZE_ADDRESS__)
        // The sanitizers' runtime speaks for itself ("==123==..."); a leak it
        // finds fails the run through the exit code.
        std::erase_if(said, [](const std::string& line) { return line.starts_with("=="); });
#endif
        EXPECT_THAT(said, ::testing::IsEmpty());

        // A debug switch shows it without the variable.
        ProgramRun debugging = runProgram(program, dir / "run", std::chrono::seconds(60), { "/fedebugmin" });
        ASSERT_TRUE(debugging.exited) << "the program did not end by itself";
        EXPECT_THAT(
            debugging.errorLines, ::testing::Contains(::testing::HasSubstr("FE [0] : feInit: Version=")));
    }

    // Asked with the variable, the debugger output is on the terminal: the
    // browser host's start banner, then the leak report.
    test::ScopedEnv debug("G_MESSAGES_DEBUG", "tvrn2");
    ProgramRun run = runProgram(program, dir / "run", std::chrono::seconds(60));
    ASSERT_TRUE(run.exited) << "the program did not end by itself: "
                            << ::testing::PrintToString(run.errorLines);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_THAT(run.errorLines, ::testing::Contains(::testing::HasSubstr("FE [0] : feInit: Version=")));

    // Each debug line as the log writes it: "(tvrn2:123): tvrn2-DEBUG: 12:34:56.789: text".
    std::vector<std::string> lines;
    const std::regex debugLine("(?:\\([^)]*\\): )?tvrn2-DEBUG: [0-9:.]+: (.*)");
    for (std::smatch parts; const auto& line : run.errorLines) {
        if (std::regex_match(line, parts, debugLine))
            lines.push_back(parts[1]);
    }
    const std::string active = program.string() + " : Torvane leak checking - Active";
    const std::string inactive = program.string() + " : Torvane leak checking - Inactive";
    auto first = std::find(lines.begin(), lines.end(), active);
    ASSERT_NE(first, lines.end()) << ::testing::PrintToString(lines);

    // The modules follow at once, one line each; the program and the
    // tracking library it was linked with are among them.
    const std::regex moduleLine("(.+) : Loaded at [0-9a-f]+");
    std::vector<std::string> modules;
    auto line = std::next(first);
    for (std::smatch parts; line != lines.end() && std::regex_match(*line, parts, moduleLine); ++line)
        modules.push_back(parts[1]);
    EXPECT_GE(modules.size(), 3u);
    EXPECT_LE(modules.size(), 128u);
    EXPECT_THAT(modules, ::testing::Contains(program.string()));
    EXPECT_THAT(modules, ::testing::Contains(::testing::EndsWith("/libpwutil.so")));
    for (const auto& module : modules) {
        if (module.find('/') != std::string::npos)
            EXPECT_TRUE(fs::exists(module)) << module;
    }

    // The rest of the run: no leak lines, and the inactive line last of
    // all the tracking lines.
    std::vector<std::string> tracking;
    for (; line != lines.end(); ++line) {
        if (line->find(" : Torvane leak checking") != std::string::npos
            || line->find("Leak detected") != std::string::npos)
            tracking.push_back(*line);
    }
    EXPECT_THAT(tracking, ::testing::ElementsAre(inactive));
    EXPECT_FALSE(fs::exists(dir / "run" / "TRCLOG.TXT")) << "no internal error was traced";
}

} // namespace
} // namespace tvrn2
