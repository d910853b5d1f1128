#include "app/MainSettings.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/MainLoopWait.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TestSupport.h"
#include "tests/support/VirtualDisplay.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tvrn2 {
namespace {

using namespace std::chrono_literals;

// The processes of a process group that still run ("pid (name)"); one that
// has ended and waits to be reaped does not count.
std::vector<std::string> runningInGroup(pid_t group)
{
    std::vector<std::string> running;
    std::error_code error;
    for (std::filesystem::directory_iterator entry("/proc", error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string pid = entry->path().filename();
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream in(entry->path() / "stat");
        std::string stat;
        std::getline(in, stat);
        // "pid (name) state parent group ...", where the name may hold anything.
        const auto open = stat.find('(');
        const auto close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close + 2 > stat.size())
            continue;
        std::istringstream fields(stat.substr(close + 2));
        char state = 0;
        pid_t parent = 0;
        pid_t processGroup = 0;
        if (fields >> state >> parent >> processGroup && processGroup == group && state != 'Z'
            && state != 'X')
            running.push_back(pid + " " + stat.substr(open, close - open + 1));
    }
    return running;
}

std::string listed(const std::vector<std::string>& processes)
{
    std::string text;
    for (const std::string& process : processes)
        text += process + "\n";
    return text;
}

// A web page whose script never ends keeps its web process busy: left to
// itself that process would go on for about ten seconds after the program.
// The program ends it on its way out, whether it closes or halts.
TEST(ProgramWebProcesses, EndWithTheProgramEvenWhileItsPageLoops)
{
    test::TempDir dir;
    test::ScopedEnv config { "XDG_CONFIG_HOME", (dir / "config").string() };
    test::ScopedEnv data { "XDG_DATA_HOME", (dir / "data").string() };
    test::ScopedEnv cache { "XDG_CACHE_HOME", (dir / "cache").string() };
    // The home page comes through a proxy on loopback. Once shown, it tells
    // the proxy it goes into its endless script.
    test::HttpTestServer proxy;
    const std::string home = MainAddresses().homePage;
    const std::string looping = home.substr(0, home.find('/', home.find("//") + 2)) + "/looping";
    proxy.route(home,
        "<html><head><title>Tavrin</title></head><body><script>onload = () => setTimeout(() => { "
        "const r = new XMLHttpRequest(); r.open('GET', '/looping', false); r.send(); for (;;) { } "
        "})</script></body></html>");
    proxy.route(looping, "");
    test::ScopedEnv httpProxy { "http_proxy", proxy.url() };
    test::ScopedEnv noProxy { "no_proxy", std::nullopt };

    enum class Way { Closed, DisplayLost };
    for (Way way : { Way::Closed, Way::DisplayLost }) {
        SCOPED_TRACE(way == Way::Closed ? "closed" : "the display went away");
        test::VirtualDisplay server;
        ASSERT_FALSE(server.name().empty()) << "Xvfb did not start";
        test::ScopedEnv display { "DISPLAY", server.name() };

        const int loopsBefore = proxy.requests(looping);
        test::RunningProgram program({ TVRN2_PROGRAM });
        ASSERT_TRUE(program.started());
        const pid_t group = program.pid(); // it leads a process group of its own
        ASSERT_TRUE(test::runUntil([&] { return proxy.requests(looping) > loopsBefore; }, 60s))
            << "the page never started its endless script";
        const std::string before = listed(runningInGroup(group));
        EXPECT_NE(before.find("(WebKitWebProces"), std::string::npos) << before;

        kill(way == Way::Closed ? group : server.pid(), way == Way::Closed ? SIGTERM : SIGKILL);
        const test::ProgramRun run = program.wait(60s);
        EXPECT_TRUE(run.finished) << run.errors;
        // Well within the time the engine's own process would take to end itself.
        EXPECT_TRUE(test::runUntil([&] { return runningInGroup(group).empty(); }, 5s))
            << "still running after the program:\n"
            << listed(runningInGroup(group));
        kill(-group, SIGKILL); // whatever outlived it
    }
}

} // namespace
} // namespace tvrn2
