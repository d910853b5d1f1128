#include "app/Program.h"

#include "app/DragOptionSwitch.h"
#include "app/FileVerification.h"
#include "app/MainSettings.h"
#include "platform/Halt.h"
#include "platform/MessageBox.h"
#include "platform/Profile.h"
#include "platform/Registry.h"
#include "platform/SysCalls.h"
#include "platform/SystemParameters.h"
#include "tests/support/FaultySysCalls.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/PollWait.h"
#include "tests/support/TestSupport.h"
#include "tests/support/VirtualDisplay.h"
#include "tests/support/gtk/ProgramWindows.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iostream>
#include <optional>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tvrn2 {
namespace {

using namespace std::chrono_literals;

class NullView final : public VerificationView {
public:
    void showFilePath(std::string_view) override { }
    void showValidString(std::string_view) override { }
    void showChecksum(std::string_view) override { }
    void setWaitCursor(bool) override { }
    void stopTimer() override { }
};

// Opens of downloaded files fail as if the process had run out of descriptors.
class FailingDownloadOpens final : public SysCalls {
public:
    FailingDownloadOpens()
        : m_previous(setSysCalls(this))
    { }
    ~FailingDownloadOpens() override { setSysCalls(m_previous); }
    FailingDownloadOpens(const FailingDownloadOpens&) = delete;
    FailingDownloadOpens& operator=(const FailingDownloadOpens&) = delete;

    int open(const char* path, int flags, mode_t mode) override
    {
        if (std::string_view(path).find("/downloads/") == std::string_view::npos)
            return SysCalls::open(path, flags, mode);
        errno = EMFILE;
        return -1;
    }

private:
    SysCalls* m_previous;
};

class ProgramTest : public testing::Test {
protected:
    static void storeDrag(const char* value)
    {
        HKEY key = 0;
        ASSERT_EQ(regCreateKeyEx(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_WRITE, &key, nullptr),
            ERROR_SUCCESS);
        ASSERT_EQ(regSetValueEx(key, "DragFullWindows", 1, reinterpret_cast<const std::uint8_t*>(value),
                      static_cast<std::uint32_t>(std::strlen(value) + 1)),
            ERROR_SUCCESS);
        regCloseKey(key);
    }
    static int drag()
    {
        std::int32_t value = -1;
        EXPECT_TRUE(systemParametersInfo(SPI_GETDRAGFULLWINDOWS, 0, &value, 0));
        return value;
    }
    std::filesystem::path iniFile() const { return dir / "tvrn2" / Program::iniFileName; }
    std::string sectors() const
    {
        return getPrivateProfileString("__Dont_Touch_Me__", "Sectors", "<absent>", Program::iniFileName);
    }

    test::TempDir dir;
    test::ScopedEnv config { "XDG_CONFIG_HOME", dir.path().string() };
    ScriptedMessageBoxes boxes;
    ScopedMessageBoxes installedBoxes { boxes };
};

TEST_F(ProgramTest, RunsMainWithTheObjectsReadyAndTheDragOptionOff)
{
    storeDrag("1");
    bool ran = false;
    Program program([&](Program& running) {
        ran = true;
        EXPECT_EQ(drag(), 0);
        ASSERT_NE(running.GlobalErrors.errors(), nullptr);
        EXPECT_EQ(running.GlobalErrors.errors()->size(), 43U);
        EXPECT_EQ(running.GlobalErrors.HISTORYTHRESHOLD, 0);
        EXPECT_EQ(running.GlobalErrors.HISTORYVIEWLEVEL, 3);
        EXPECT_EQ(running.INIMgr.FILENAME.clipped(), "tvrn2.INI");
        ASSERT_NE(running.INIMgr.sectors(), nullptr);
        EXPECT_EQ(running.Registry.QUIETMODE, 1);
        ASSERT_NE(running.Registry.valueNames(), nullptr);
        EXPECT_FALSE(std::filesystem::exists(iniFile())); // nothing written during the run
    });
    EXPECT_EQ(program.run(), 0);
    EXPECT_TRUE(ran);
    EXPECT_EQ(drag(), 1);
    EXPECT_EQ(sectors(), "0");
    EXPECT_EQ(program.GlobalErrors.errors(), nullptr);
    EXPECT_EQ(program.INIMgr.sectors(), nullptr);
}

TEST_F(ProgramTest, DragOptionThatIsOffIsNeverTouched)
{
    for (const char* stored : { "0", "" }) {
        SCOPED_TRACE(stored);
        if (*stored)
            storeDrag(stored);
        auto store = registryStorePath();
        auto before = std::filesystem::exists(store) ? test::TempDir::read(store) : std::string("<none>");
        Program program([&](Program&) { EXPECT_EQ(drag(), 0); });
        EXPECT_EQ(program.run(), 0);
        auto after = std::filesystem::exists(store) ? test::TempDir::read(store) : std::string("<none>");
        EXPECT_EQ(after, before);
    }
}

TEST_F(ProgramTest, DragOptionComesBackOnEveryWayOut)
{
    // Halts end the process for real: nothing unwinds, the restorer must do it.
    const std::pair<const char*, std::function<void(Program&)>> halts[] = {
        { "fatal error", [](Program& running) { running.GlobalErrors.Report(23); } },
        { "Abort in a stop box",
            [&](Program& running) {
                dir.write("downloads/setup.exe", "x");
                HKEY key = 0;
                regCreateKeyEx(HKEY_CURRENT_USER, FileVerification::downloadKey, 0, KEY_WRITE, &key, nullptr);
                std::string folder = (dir / "downloads").string();
                regSetValueEx(key, FileVerification::downloadValue, 1,
                    reinterpret_cast<const std::uint8_t*>(folder.c_str()),
                    static_cast<std::uint32_t>(folder.size() + 1));
                regCloseKey(key);
                FailingDownloadOpens failing;
                NullView view;
                FileVerification verification(
                    running.Registry, running.CSFILEPATH, view, { "setup.exe", 1, "X" });
                verification.OnTimer(); // Abort is the stop box's default answer
                std::fputs("still running\n", stderr);
            } },
    };
    for (const auto& [how, procedure] : halts) {
        SCOPED_TRACE(how);
        storeDrag("1");
        Program program([&](Program& running) {
            if (drag() != 0)
                std::exit(99);
            procedure(running);
        });
        EXPECT_EXIT(
            program.run(), testing::ExitedWithCode(0), testing::Not(testing::HasSubstr("still running")));
        EXPECT_EQ(drag(), 1);
        // A halt skips the rest of shut-down: the settings file is not written.
        EXPECT_FALSE(std::filesystem::exists(iniFile()));
    }

    storeDrag("1");
    Program throwing([](Program&) { throw std::runtime_error("broken"); });
    EXPECT_THROW(throwing.run(), std::runtime_error);
    EXPECT_EQ(drag(), 1);
}

TEST_F(ProgramTest, ProgramShowsTheHomePageWritesItsSettingsAndExitsZeroWhenClosed)
{
    test::VirtualDisplay display;
    ASSERT_FALSE(display.name().empty()) << "Xvfb did not start";
    test::ScopedEnv displayName { "DISPLAY", display.name() };
    // The home page comes through a proxy on loopback, so the program's
    // fixed address never leaves the machine.
    test::HttpTestServer proxy;
    const std::string home = MainAddresses().homePage;
    proxy.route(home, "<html><head><title>Tavrin</title></head><body>home</body></html>");
    test::ScopedEnv httpProxy { "http_proxy", proxy.url() };
    test::ScopedEnv noProxy { "no_proxy", std::nullopt };
    test::ScopedEnv data { "XDG_DATA_HOME", (dir / "data").string() };
    test::ScopedEnv cache { "XDG_CACHE_HOME", (dir / "cache").string() };
    storeDrag("1");

    const char* argv[] = { TVRN2_PROGRAM, nullptr };
    pid_t child = 0;
    ASSERT_EQ(
        posix_spawn(&child, TVRN2_PROGRAM, nullptr, nullptr, const_cast<char* const*>(argv), environ), 0);
    auto deadline = std::chrono::steady_clock::now() + 60s;
    while (proxy.requests(home) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(50ms);
    EXPECT_EQ(proxy.requests(home), 1);

    // Closed as a user closes it; the program then ends on its own.
    test::ProgramWindows closer;
    int status = 0;
    deadline = std::chrono::steady_clock::now() + 30s;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ADD_FAILURE() << "the program did not end after its window was closed";
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return;
        }
        closer.closeWindowsOf(child);
        std::this_thread::sleep_for(50ms);
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(sectors(), "0");
    EXPECT_EQ(drag(), 1);
}

// Starts the program with its standard error in `errors`. TVRN2_PROGRAM_WRAPPER
// may name a command (with arguments, split at blanks) to run it under, such
// as valgrind; the pid is then the wrapper's, which becomes the program.
pid_t startProgram(const std::filesystem::path& errors)
{
    std::vector<std::string> words;
    if (const char* wrapper = std::getenv("TVRN2_PROGRAM_WRAPPER")) {
        std::istringstream split(wrapper);
        for (std::string word; split >> word;)
            words.push_back(word);
    }
    words.emplace_back(TVRN2_PROGRAM);
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(
        &actions, STDERR_FILENO, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t child = 0;
    int failed = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed == 0 ? child : -1;
}

// The whole program as a user runs it: start, the home page, a click on the
// download button, the watch finding a file of the installer's size and
// giving its verdict (a file that fails is deleted), and a close. In the
// sanitizer build the program checks for leaks as it exits, and a leak makes
// its exit code fail this test; the report is in its standard error.
TEST_F(ProgramTest, AFullRunWithAVerdictEndsCleanly)
{
    // A wrapper such as valgrind makes every step many times slower.
    const int slower = std::getenv("TVRN2_PROGRAM_WRAPPER") ? 20 : 1;
    test::HttpTestServer proxy;
    const MainAddresses addresses;
    proxy.route(addresses.homePage, "<html><head><title>Tavrin</title></head><body>home</body></html>");
    proxy.route(addresses.installer, "<html><head><title>Elsewhere</title></head><body>moved</body></html>");
    test::ScopedEnv httpProxy { "http_proxy", proxy.url() };
    test::ScopedEnv noProxy { "no_proxy", std::nullopt };
    test::ScopedEnv data { "XDG_DATA_HOME", (dir / "data").string() };
    test::ScopedEnv cache { "XDG_CACHE_HOME", (dir / "cache").string() };

    const VerificationTarget target = FileVerification::installer();
    const std::filesystem::path downloads = dir / "downloads";
    std::filesystem::create_directories(downloads);
    HKEY key = 0;
    ASSERT_EQ(regCreateKeyEx(HKEY_CURRENT_USER, FileVerification::downloadKey, 0, KEY_WRITE, &key, nullptr),
        ERROR_SUCCESS);
    const std::string folder = downloads.string();
    regSetValueEx(key, FileVerification::downloadValue, 1,
        reinterpret_cast<const std::uint8_t*>(folder.c_str()), static_cast<std::uint32_t>(folder.size() + 1));
    regCloseKey(key);
    // All zeros, so it fails its digest; sparse, so it costs no disk.
    const std::filesystem::path installer = downloads / target.fileName;
    std::ofstream(installer).close();
    std::filesystem::resize_file(installer, static_cast<std::uintmax_t>(target.size));

    // An X server of the test's own: the real click of this test and those
    // of other GUI tests running at the same time never meet.
    test::VirtualDisplay display;
    ASSERT_FALSE(display.name().empty()) << "Xvfb did not start";
    test::ScopedEnv displayName { "DISPLAY", display.name() };
    const std::filesystem::path errors = dir / "errors.txt";
    pid_t child = startProgram(errors);
    ASSERT_GT(child, 0);
    auto said = [&] { return "The program's standard error:\n" + test::TempDir::read(errors); };
    test::ProgramWindows windows;
    auto stop = [&] {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    };

    // The window takes a click once it is on the screen and the home page
    // it asked for has come; then one click, and the load it starts.
    std::optional<test::ProgramWindows::ScreenRect> window;
    bool ready = test::pollUntil(
        [&] {
            window = windows.windowOf(child);
            return window && proxy.requests(addresses.homePage) > 0;
        },
        std::chrono::seconds(60 * slower));
    if (!ready)
        stop();
    ASSERT_TRUE(ready) << "the window never showed with its home page\n" << said();
    // The download button's middle, by the window's layout: 4 to 126 of 397
    // units across, 252 to 266 of 269 down.
    windows.clickAt(window->x + window->width * 65 / 397, window->y + window->height * 259 / 269);
    bool clicked = test::pollUntil(
        [&] { return proxy.requests(addresses.installer) > 0; }, std::chrono::seconds(60 * slower));
    if (!clicked)
        stop();
    ASSERT_TRUE(clicked) << "the download button never sent the browser to the installer\n" << said();

    // The watch looks every ten seconds; hashing takes a moment more.
    bool judged = test::pollUntil(
        [&] { return !std::filesystem::exists(installer); }, std::chrono::seconds(60 * slower));
    if (!judged)
        stop();
    ASSERT_TRUE(judged) << "no verdict: the file that fails its digest is still there\n" << said();

    int status = 0;
    bool ended = test::pollUntil(
        [&] {
            windows.closeWindowsOf(child);
            return waitpid(child, &status, WNOHANG) == child;
        },
        std::chrono::seconds(30 * slower));
    if (!ended)
        stop();
    ASSERT_TRUE(ended) << "the program did not end after its window was closed\n" << said();
    ASSERT_TRUE(WIFEXITED(status)) << said();
    EXPECT_EQ(WEXITSTATUS(status), 0) << said();
    EXPECT_EQ(proxy.requests(addresses.installer), 1) << "one click, one load";
}

TEST_F(ProgramTest, WithoutADisplayTheProgramEndsAsAFailureWithTheDesktopRestored)
{
    storeDrag("1");
    test::ScopedEnv noDisplay { "DISPLAY", std::nullopt };
    test::ScopedEnv noWayland { "WAYLAND_DISPLAY", std::nullopt };
    std::string command = std::string("'") + TVRN2_PROGRAM + "' 2>&1";
    FILE* output = popen(command.c_str(), "r");
    ASSERT_NE(output, nullptr);
    std::string said;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, output))
        said += buffer;
    int status = pclose(output);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_THAT(said, testing::HasSubstr("no display"));
    EXPECT_EQ(drag(), 1);
}

// The note of a switched-off drag option that the next start would put back.
std::string dragNote()
{
    HKEY key = 0;
    if (regOpenKeyEx(HKEY_CURRENT_USER, DragOptionSwitch::noteKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "<none>";
    char data[64] = {};
    std::uint32_t size = sizeof data - 1;
    std::int32_t result = regQueryValueEx(
        key, DragOptionSwitch::noteValue, nullptr, reinterpret_cast<std::uint8_t*>(data), &size);
    regCloseKey(key);
    return result == ERROR_SUCCESS ? std::string(data) : "<none>";
}

// The real program on an X server of its own, with its home page served on
// loopback, for the ways a session ends it.
class ProgramSessionTest : public ProgramTest {
protected:
    void SetUp() override
    {
        proxy.route(
            MainAddresses().homePage, "<html><head><title>Tavrin</title></head><body>home</body></html>");
        ASSERT_FALSE(display.name().empty()) << "Xvfb did not start";
    }

    // Starts the program and waits until its window is on the screen with
    // the drag option switched off for the run.
    pid_t start()
    {
        test::ProgramWindows windows;
        if (!windows.connected()) {
            ADD_FAILURE() << "the test could not connect to the display " << display.name();
            return -1;
        }
        pid_t child = startProgram(errors);
        EXPECT_GT(child, 0);
        if (child <= 0)
            return -1;
        // What was seen last, so that a start that fails says which part was
        // missing; a program that ended is not waited for.
        bool shown = false;
        int dragValue = -1;
        int status = 0;
        bool ended = false;
        bool running = test::pollUntil(
            [&] {
                ended = waitpid(child, &status, WNOHANG) == child;
                shown = windows.windowOf(child).has_value();
                dragValue = drag();
                return ended || (shown && dragValue == 0);
            },
            std::chrono::seconds(60));
        if (!running || ended) {
            std::string end = "still running, so killed";
            if (!ended) {
                kill(child, SIGKILL);
                waitpid(child, nullptr, 0);
            } else if (WIFEXITED(status)) {
                end = "ended with exit code " + std::to_string(WEXITSTATUS(status));
            } else if (WIFSIGNALED(status)) {
                end = "ended by signal " + std::to_string(WTERMSIG(status));
            }
            ADD_FAILURE() << "the window never showed with the drag option off: the window was "
                          << (shown ? "shown" : "not shown") << ", the drag option read " << dragValue
                          << ", the program " << end << "\nThe registry store:\n"
                          << test::TempDir::read(registryStorePath()) << "\n"
                          << said();
            return -1;
        }
        EXPECT_EQ(dragNote(), "1") << "the value is noted before it is switched off";
        return child;
    }

    // Waits for the program's end; the exit code, or -1 when it was killed
    // by the watchdog or by a signal.
    int finish(pid_t child)
    {
        int status = 0;
        if (!test::pollUntil(
                [&] { return waitpid(child, &status, WNOHANG) == child; }, std::chrono::seconds(60))) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
            ADD_FAILURE() << "the program did not end\n" << said();
            return -1;
        }
        if (WIFSIGNALED(status))
            std::cerr << "the program ended by signal " << WTERMSIG(status) << "\n";
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string said() const { return "The program's standard error:\n" + test::TempDir::read(errors); }

    test::HttpTestServer proxy;
    test::ScopedEnv httpProxy { "http_proxy", proxy.url() };
    test::ScopedEnv noProxy { "no_proxy", std::nullopt };
    test::ScopedEnv data { "XDG_DATA_HOME", (dir / "data").string() };
    test::ScopedEnv cache { "XDG_CACHE_HOME", (dir / "cache").string() };
    // Between two starts the server has no client. One that reset then would
    // refuse the connections made during its reset, such as the test's own
    // at the next start; the test display never resets.
    test::VirtualDisplay display;
    test::ScopedEnv displayName { "DISPLAY", display.name() };
    std::filesystem::path errors = dir / "errors.txt";
};

TEST_F(ProgramSessionTest, SignalsCloseTheProgramAsAUserDoesAndALostDisplayHaltsIt)
{
    // Each signal gives the full shut-down: the drag option back on, its
    // note cleared, and the settings file written.
    const std::pair<const char*, int> signals[] = {
        { "SIGTERM", SIGTERM },
        { "SIGINT", SIGINT },
        { "SIGHUP", SIGHUP },
    };
    for (const auto& [name, number] : signals) {
        SCOPED_TRACE(name);
        storeDrag("1");
        std::filesystem::remove(iniFile());
        pid_t child = start();
        ASSERT_GT(child, 0);
        kill(child, number);
        EXPECT_EQ(finish(child), 0) << said();
        EXPECT_EQ(drag(), 1);
        EXPECT_EQ(dragNote(), "");
        EXPECT_EQ(sectors(), "0") << "the settings file is written at the end of a normal close";
    }

    // GDK cannot go on without its display: the program halts, writing the
    // settings file and putting the drag option back on the way out.
    SCOPED_TRACE("the display goes away");
    storeDrag("1");
    std::filesystem::remove(iniFile());
    pid_t child = start();
    ASSERT_GT(child, 0);
    kill(display.pid(), SIGKILL);
    EXPECT_EQ(finish(child), 1) << said();
    EXPECT_THAT(test::TempDir::read(errors), testing::HasSubstr("connection to the display was lost"));
    EXPECT_EQ(drag(), 1);
    EXPECT_EQ(dragNote(), "");
    EXPECT_EQ(sectors(), "0");
}

TEST_F(ProgramSessionTest, AKilledRunIsRepairedByTheNextStart)
{
    storeDrag("1");
    pid_t killed = start();
    ASSERT_GT(killed, 0);
    kill(killed, SIGKILL);
    EXPECT_EQ(finish(killed), -1);
    EXPECT_EQ(drag(), 0) << "nothing ran after the kill";
    EXPECT_EQ(dragNote(), "1");

    // The next start puts the option back before it switches it off for its
    // own run; without that it would find it off and never restore it.
    pid_t next = start();
    ASSERT_GT(next, 0);
    kill(next, SIGTERM);
    EXPECT_EQ(finish(next), 0) << said();
    EXPECT_EQ(drag(), 1);
    EXPECT_EQ(dragNote(), "");
}

TEST_F(ProgramTest, AFailedRestoreWarnsAndTheNextStartRestores)
{
    const std::string damage = "\nthis line is no registry text\n";
    // What goes wrong while the program runs, and what puts it right afterwards.
    const struct {
        const char* what;
        std::function<std::function<void()>()> breakStore; // returns the repair
    } failures[] = {
        { "the disk is full at exit",
            [] {
                auto full = std::make_shared<test::FaultySysCalls>(test::FaultySysCalls::Fault::DiskFull);
                return [full]() mutable { full.reset(); };
            } },
        { "the user damaged the store during the run",
            [&] {
                std::ofstream(registryStorePath(), std::ios::app) << damage;
                return [this, damage] {
                    std::string text = test::TempDir::read(registryStorePath());
                    text.erase(text.find(damage), damage.size());
                    dir.write("tvrn2/registry.reg", text);
                };
            } },
    };
    for (const auto& failure : failures) {
        SCOPED_TRACE(failure.what);
        storeDrag("1");
        std::function<void()> repair;
        testing::internal::CaptureStderr();
        Program broken([&](Program&) { repair = failure.breakStore(); });
        EXPECT_EQ(broken.run(), 0);
        std::string said = testing::internal::GetCapturedStderr();
        // A warning in the log, shown without asking for the debugger output.
        EXPECT_THAT(said, testing::HasSubstr("tvrn2-WARNING"));
        EXPECT_THAT(said,
            testing::HasSubstr("the option to show window contents while dragging could "
                               "not be switched back on"));
        ASSERT_TRUE(repair);
        repair();
        EXPECT_EQ(drag(), 0);
        EXPECT_EQ(dragNote(), "1");

        bool switchedForTheRun = false;
        Program next([&](Program&) { switchedForTheRun = drag() == 0 && dragNote() == "1"; });
        EXPECT_EQ(next.run(), 0);
        EXPECT_TRUE(switchedForTheRun);
        EXPECT_EQ(drag(), 1);
        EXPECT_EQ(dragNote(), "");
    }
}

} // namespace
} // namespace tvrn2
