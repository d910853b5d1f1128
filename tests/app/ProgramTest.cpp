#include "app/Program.h"

#include "app/FileVerification.h"
#include "app/MainSettings.h"
#include "platform/Halt.h"
#include "platform/MessageBox.h"
#include "platform/Profile.h"
#include "platform/Registry.h"
#include "platform/SysCalls.h"
#include "platform/SystemParameters.h"
#include "platform/gtk/GtkBackend.h"
#include "tests/diagnostics/WindowCloser.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/TestSupport.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>

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
    void SetUp() override { m_previousBoxes = setMessageBoxes(&boxes); }
    void TearDown() override { setMessageBoxes(m_previousBoxes); }

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

private:
    MessageBoxes* m_previousBoxes { nullptr };
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
    TVRN2_NEED_DISPLAY(GtkBackend::available());
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
    test::WindowCloser closer;
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

} // namespace
} // namespace tvrn2
