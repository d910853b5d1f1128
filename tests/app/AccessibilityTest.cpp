// The real program seen through the desktop's accessibility bus (AT-SPI), as
// a screen reader sees it: every control named, the main ones found by name
// and role, their texts read, and the window worked through actions alone.

#include "app/FileVerification.h"
#include "app/MainSettings.h"
#include "app/MainWindow.h"
#include "platform/GObjectPtr.h"
#include "tests/app/MainWindowFixture.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/PollWait.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TestSupport.h"
#include "tests/support/VirtualDisplay.h"

#include <atspi/atspi.h>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <thread>
#include <vector>

namespace tvrn2 {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Accessible = GObjectPtr<AtspiAccessible>;

std::string nameOf(AtspiAccessible* object)
{
    GError* error = nullptr;
    gchar* name = atspi_accessible_get_name(object, &error);
    g_clear_error(&error);
    std::string result = name ? name : "";
    g_free(name);
    return result;
}

AtspiRole roleOf(AtspiAccessible* object)
{
    GError* error = nullptr;
    AtspiRole role = atspi_accessible_get_role(object, &error);
    g_clear_error(&error);
    return role;
}

std::vector<Accessible> childrenOf(AtspiAccessible* object)
{
    std::vector<Accessible> children;
    GError* error = nullptr;
    const gint count = atspi_accessible_get_child_count(object, &error);
    g_clear_error(&error);
    for (gint i = 0; i < count; ++i) {
        auto child = Accessible::adopt(atspi_accessible_get_child_at_index(object, i, &error));
        g_clear_error(&error);
        if (child)
            children.push_back(std::move(child));
    }
    return children;
}

// The first object below `root` (at most `depth` levels down) with this role and name.
Accessible find(AtspiAccessible* root, AtspiRole role, const std::string& name, int depth)
{
    for (Accessible& child : childrenOf(root)) {
        if (roleOf(child.get()) == role && nameOf(child.get()) == name)
            return std::move(child);
        if (depth > 1) {
            if (Accessible found = find(child.get(), role, name, depth - 1))
                return found;
        }
    }
    return {};
}

std::optional<std::string> textOf(AtspiAccessible* object)
{
    auto text = GObjectPtr<AtspiText>::adopt(atspi_accessible_get_text_iface(object));
    if (!text)
        return std::nullopt;
    GError* error = nullptr;
    const gint length = atspi_text_get_character_count(text.get(), &error);
    g_clear_error(&error);
    gchar* characters = atspi_text_get_text(text.get(), 0, length, &error);
    const bool failed = error != nullptr;
    g_clear_error(&error);
    std::string result = characters ? characters : "";
    g_free(characters);
    if (failed)
        return std::nullopt;
    return result;
}

// Does the object's first action ("click" for a button).
bool activate(AtspiAccessible* object)
{
    auto action = GObjectPtr<AtspiAction>::adopt(atspi_accessible_get_action_iface(object));
    if (!action)
        return false;
    GError* error = nullptr;
    const bool done = atspi_action_do_action(action.get(), 0, &error);
    g_clear_error(&error);
    return done;
}

std::string zeroMd5(std::int64_t length)
{
    test::Md5 md5;
    const std::vector<char> zeros(1 << 20, 0);
    for (std::int64_t left = length; left > 0; left -= static_cast<std::int64_t>(zeros.size()))
        md5.update(zeros.data(), static_cast<std::size_t>(std::min<std::int64_t>(left, zeros.size())));
    return md5.hex();
}

class AccessibilityTest : public testing::Test {
protected:
    void SetUp() override
    {
        // A session bus of the test's own: the program's toolkit finds the
        // accessibility bus through it, and the desktop's own bus (if any)
        // never sees the test. With no display in sight the bus is not
        // announced on the test's display either, where other tests' programs
        // would join it.
        gchar* daemon = g_find_program_in_path("dbus-daemon");
        const bool haveDaemon = daemon != nullptr;
        g_free(daemon);
        ASSERT_TRUE(haveDaemon) << "no dbus-daemon: the accessibility bus cannot start";
        m_noDisplay.emplace("DISPLAY", std::nullopt);
        m_noWayland.emplace("WAYLAND_DISPLAY", std::nullopt);
        m_bus.emplace(
            std::vector<std::string> { "dbus-daemon", "--session", "--nofork", "--print-address=1" });
        const std::string address = m_bus->firstLine(20s);
        ASSERT_FALSE(address.empty()) << "the session bus did not start: " << m_bus->wait(1s).errors;
        m_busAddress.emplace("DBUS_SESSION_BUS_ADDRESS", address);
        ASSERT_EQ(atspi_init(), 0);
        m_atspi = true;
        // No single call may hold the test up for long.
        atspi_set_timeout(5000, 5000);
    }

    void TearDown() override
    {
        if (m_atspi)
            atspi_exit();
        m_bus.reset();
    }

    // The program's window frame once it is on the accessibility bus.
    Accessible programFrame(pid_t program)
    {
        auto desktop = Accessible::adopt(atspi_get_desktop(0));
        for (Accessible& application : childrenOf(desktop.get())) {
            GError* error = nullptr;
            const auto pid = static_cast<pid_t>(atspi_accessible_get_process_id(application.get(), &error));
            g_clear_error(&error);
            if (pid != program || nameOf(application.get()) != "tvrn2")
                continue;
            for (Accessible& frame : childrenOf(application.get())) {
                if (roleOf(frame.get()) == ATSPI_ROLE_FRAME)
                    return std::move(frame);
            }
        }
        return {};
    }

    test::TempDir dir;
    test::ScopedEnv config { "XDG_CONFIG_HOME", (dir / "config").string() };
    test::ScopedEnv data { "XDG_DATA_HOME", (dir / "data").string() };
    test::ScopedEnv cache { "XDG_CACHE_HOME", (dir / "cache").string() };
    test::ScopedEnv noProxy { "no_proxy", std::nullopt };
    test::ScopedEnv httpProxy { "http_proxy", test::HttpTestServer::closedUrl() };

private:
    std::optional<test::ScopedEnv> m_noDisplay;
    std::optional<test::ScopedEnv> m_noWayland;
    std::optional<test::RunningProgram> m_bus;
    std::optional<test::ScopedEnv> m_busAddress;
    bool m_atspi { false };
};

TEST_F(AccessibilityTest, ScreenReaderFindsReadsAndWorksTheMainControls)
{
    const fs::path downloads = dir / "downloads";
    test::storeDownloadDirectory(downloads);
    // On a display of its own, where its window is in no other test's way.
    test::VirtualDisplay display;
    ASSERT_FALSE(display.name().empty()) << "no virtual display";
    std::optional<test::RunningProgram> running;
    {
        test::ScopedEnv onDisplay { "DISPLAY", display.name() };
        running.emplace(std::vector<std::string> { TVRN2_PROGRAM });
    }
    test::RunningProgram& program = *running;
    ASSERT_TRUE(program.started());

    Accessible frame;
    ASSERT_TRUE(test::pollUntil([&] { return bool(frame = programFrame(program.pid())); }, 60s))
        << "the program's window never reached the accessibility bus\n"
        << program.wait(1s).errors;
    // The window's controls sit in one layout below the frame.
    auto control = [&](AtspiRole role, const std::string& name) { return find(frame.get(), role, name, 3); };

    const Accessible download = control(ATSPI_ROLE_PUSH_BUTTON, "Download XP SP2 from Microsoft");
    const Accessible address = control(ATSPI_ROLE_TEXT, "Address");
    const Accessible status = control(ATSPI_ROLE_LABEL, MainWindow::statusName);
    const Accessible digest = control(ATSPI_ROLE_LABEL, MainWindow::checksumName);
    const Accessible cancel = control(ATSPI_ROLE_PUSH_BUTTON, "Cancel");
    ASSERT_TRUE(download && address && status && digest && cancel);

    // Every control of the window has a name.
    std::vector<Accessible> frameChildren = childrenOf(frame.get());
    ASSERT_FALSE(frameChildren.empty());
    const Accessible layout = std::move(frameChildren.front());
    std::vector<std::string> names;
    for (Accessible& child : childrenOf(layout.get())) {
        // The embedded browser's own box sits in the layout too; its page
        // carries the page's name further down.
        if (roleOf(child.get()) != ATSPI_ROLE_FILLER)
            names.push_back(nameOf(child.get()));
    }
    EXPECT_EQ(names,
        (std::vector<std::string> { "XP SP2 File Selection", "MD5 Digest", "Address:", "Address",
            "Lookup a fe file to view", "Status", "Web Page", "Tavrin Support",
            "Download XP SP2 from Microsoft", "XP SP2 File:", "XP SP2 File", "Cancel" }));

    EXPECT_TRUE(test::pollUntil([&] { return textOf(address.get()) == MainAddresses().homePage; }, 60s))
        << textOf(address.get()).value_or("<no text>");
    EXPECT_EQ(textOf(status.get()), "** File Not Tested **");
    EXPECT_EQ(textOf(digest.get()), "");

    // A file of the installer's size that is not the installer: the watch
    // started from the download button finds it, and the verdict and digest
    // are read from the bus.
    const fs::path file = downloads / FileVerification::installerFileName;
    {
        std::ofstream(file.string()).flush();
    }
    fs::resize_file(file, static_cast<std::uintmax_t>(FileVerification::installerSize));
    ASSERT_TRUE(activate(download.get()));
    EXPECT_TRUE(test::pollUntil([&] { return textOf(status.get()) == "*** Download in Progress ***"; }, 60s))
        << textOf(status.get()).value_or("<no text>");
    EXPECT_TRUE(
        test::pollUntil([&] { return textOf(status.get()) == "XP Service Pack 2 file is NOT valid!"; }, 90s))
        << textOf(status.get()).value_or("<no text>");
    EXPECT_EQ(textOf(digest.get()), zeroMd5(FileVerification::installerSize));
    EXPECT_FALSE(fs::exists(file));

    ASSERT_TRUE(activate(cancel.get()));
    const test::ProgramRun run = program.wait(30s);
    EXPECT_TRUE(run.finished) << "the program did not end after Cancel";
    EXPECT_EQ(run.exitCode, 0) << run.errors;
}

} // namespace
} // namespace tvrn2
