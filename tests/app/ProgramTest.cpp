#include "app/Program.h"

#include "app/FileVerification.h"
#include "platform/Halt.h"
#include "platform/MessageBox.h"
#include "platform/Profile.h"
#include "platform/Registry.h"
#include "platform/SysCalls.h"
#include "platform/SystemParameters.h"
#include "tests/support/TestSupport.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>

namespace tvrn2 {
namespace {

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

TEST_F(ProgramTest, ProgramStartsWritesItsSettingsAndExitsZero)
{
    storeDrag("1");
    std::string command = std::string("'") + TVRN2_PROGRAM + "' 2>/dev/null";
    int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(sectors(), "0");
    EXPECT_EQ(drag(), 1);
}

} // namespace
} // namespace tvrn2
