// Runs the whole program under the test's display and checks what leak
// tracking writes on its debugger output from start to exit.

#include "tests/diagnostics/ProgramWindows.h"
#include "tests/support/TestSupport.h"
#include "tests/support/VirtualDisplay.h"

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
    std::vector<std::string> errorLines;
};

// Starts the program in `directory`, closes its windows once they show and
// collects its standard error; gives up (killing it) after `limit`.
ProgramRun runProgram(const fs::path& program, const fs::path& directory, std::chrono::seconds limit)
{
    ProgramRun run;
    int output[2];
    if (pipe2(output, O_CLOEXEC) != 0)
        return run;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(output[1], STDERR_FILENO);
        if (chdir(directory.c_str()) == 0)
            execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
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
            char buffer[4096];
            ssize_t got = read(output[0], buffer, sizeof buffer);
            if (got > 0)
                text.append(buffer, std::size_t(got));
            else
                open = false;
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

    ProgramRun run = runProgram(program, dir / "run", std::chrono::seconds(60));
    ASSERT_TRUE(run.exited) << "the program did not end by itself";
    EXPECT_EQ(run.exitCode, 0);

    const auto& lines = run.errorLines;
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
