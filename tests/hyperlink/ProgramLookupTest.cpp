#include "hyperlink/HyperlinkManager.h"
#include "platform/HeadlessEventLoop.h"
#include "platform/SystemInfo.h"
#include "platform/Window.h"
#include "tests/hyperlink/TestDesktop.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace tvrn2 {
namespace {

class FixedLinkDesktop final : public LinkDesktop {
public:
    std::optional<std::string> windowsDirectory() const override { return windowsFolder; }
    std::optional<std::string> windowsFolder;
};

// The registry store and the suite's desktop answer; "/LVdbgReg" shows
// every key tried.
class ProgramLookupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::TestDesktop::removeRegistry();
        test::useCommandLine({ "/LVDebug", "/LVdbgReg" });
    }
    void TearDown() override
    {
        test::TestDesktop::removeRegistry();
        test::useCommandLine({});
    }

    // The keys FindProgram tried, as its trace lines name them.
    std::vector<std::string> triedKeys() const
    {
        std::vector<std::string> tried;
        for (const auto& line : debug.lines()) {
            if (line.starts_with("Lantivo: Tried("))
                tried.push_back(line.substr(9));
        }
        return tried;
    }

    HeadlessEventLoop loop;
    ScopedEventLoop scopedLoop { loop };
    Window window;
    FixedLinkDesktop desktop;
    HyperlinkManager manager { window, desktop };
    test::CapturedDebugOutput debug;
};

TEST_F(ProgramLookupTest, InitTakesTheMailProgramFromTheDesktopAndTheBrowserFromTheRegistry)
{
    manager.Init(static_cast<int>(Event::Timer));
    EXPECT_TRUE(manager.Inited);
    EXPECT_EQ(manager.HandCursor, static_cast<int>(Event::Timer));
    EXPECT_EQ(manager.RegQueryHandle, HKEY_CLASSES_ROOT);
    EXPECT_EQ(manager.HyperEmail.clipped(), test::TestDesktop::command("mail"));
    // The desktop opens no web page from disk.
    EXPECT_TRUE(manager.HyperBrowser.blank());
    EXPECT_NE(
        std::find(debug.lines().begin(), debug.lines().end(), "Lantivo: No Browser found in the registry."),
        debug.lines().end());

    test::TestDesktop::writeRegistry("[HKEY_CLASSES_ROOT\\.htm]\r\n@=\"TestPages\"\r\n\r\n"
                                     "[HKEY_CLASSES_ROOT\\TestPages\\shell\\open\\command]\r\n"
                                     "@=\"testbrowser \\\"%1\\\"\"\r\n");
    manager.Init();
    EXPECT_EQ(manager.HyperBrowser.clipped(), "testbrowser \"%1\"");
    EXPECT_EQ(manager.HandCursor, static_cast<int>(Event::Timer)); // kept when not given
}

TEST_F(ProgramLookupTest, SystemDriveInTheMailCommandBecomesTheWindowsDirectorysDrive)
{
    test::TestDesktop::writeRegistry("[HKEY_CLASSES_ROOT\\mailto\\shell\\open\\command]\r\n"
                                     "@=\"%SystemDrive%\\\\Mail\\\\mail.exe /m \\\"%1\\\"\"\r\n");
    struct Case {
        std::optional<std::string> windowsFolder;
        const char* command;
    } cases[] = {
        { "C:\\WINDOWS", "C:\\Mail\\mail.exe /m \"%1\"" },
        { "D:\\WINNT", "D:\\Mail\\mail.exe /m \"%1\"" },
        { "/home/user/.config/tvrn2", "%SystemDrive%\\Mail\\mail.exe /m \"%1\"" },
        { std::nullopt, "%SystemDrive%\\Mail\\mail.exe /m \"%1\"" },
    };
    for (const auto& c : cases) {
        desktop.windowsFolder = c.windowsFolder;
        manager.Init();
        EXPECT_EQ(manager.HyperEmail.clipped(), c.command) << c.windowsFolder.value_or("(none)");
    }
}

TEST_F(ProgramLookupTest, FindProgramTriesTheThreeKeysOfTheExtensionInOrder)
{
    const std::string first = "[HKEY_CLASSES_ROOT\\tvxfile\\shell\\open\\command]\r\n@=\"first %1\"\r\n\r\n";
    const std::string second
        = "[HKEY_CLASSES_ROOT\\tvx_auto_file\\shell\\open\\command]\r\n@=\"second %1\"\r\n\r\n";
    const std::string typeClass = "[HKEY_CLASSES_ROOT\\.tvx]\r\n@=\"TvxDocument\"\r\n\r\n";
    const std::string classCommand
        = "[HKEY_CLASSES_ROOT\\TvxDocument\\shell\\open\\command]\r\n@=\"third %1\"\r\n\r\n";
    const std::string triedFirst = "Tried(1): tvxfile\\shell\\open\\command\r\nReturned:";
    const std::string triedSecond = "Tried(2): tvx_auto_file\\shell\\open\\command\r\nReturned:";
    const std::string triedThird = "Tried(3): .tvx\r\nReturned:";
    const std::string triedClass = "Tried(3+): TvxDocument\\shell\\open\\command\r\nReturned:";

    struct Case {
        std::string registry;
        bool found;
        const char* program;
        std::vector<std::string> tried;
    } cases[] = {
        { first + second + typeClass + classCommand, true, "first %1", { triedFirst + "0" } },
        { second + typeClass + classCommand, true, "second %1", { triedFirst + "2", triedSecond + "0" } },
        { typeClass + classCommand, true, "third %1",
            { triedFirst + "2", triedSecond + "2", triedThird + "0", triedClass + "0" } },
        { typeClass, false, "", { triedFirst + "2", triedSecond + "2", triedThird + "0", triedClass + "2" } },
        { "", false, "", { triedFirst + "2", triedSecond + "2", triedThird + "2" } },
    };
    manager.Init();
    for (const auto& c : cases) {
        test::TestDesktop::writeRegistry(c.registry);
        debug.clear();
        EXPECT_EQ(manager.FindProgram("C:\\Docs\\report.v2.tvx  "), c.found) << c.registry;
        EXPECT_EQ(manager.OpenProgram.clipped(), c.program) << c.registry;
        EXPECT_EQ(triedKeys(), c.tried) << c.registry;
    }

    // A name without an extension is its own extension.
    test::TestDesktop::writeRegistry(
        "[HKEY_CLASSES_ROOT\\READMEfile\\shell\\open\\command]\r\n@=\"pager\"\r\n");
    EXPECT_TRUE(manager.FindProgram("README"));
    EXPECT_FALSE(manager.FindProgram("   "));
}

TEST_F(ProgramLookupTest, WebTargetWithoutBrowserIsDecidedAsAPageOnDiskAndTheBrowserIsRemembered)
{
    manager.Init();
    ASSERT_TRUE(manager.HyperBrowser.blank());
    EXPECT_FALSE(manager.FindProgram("www.example.com"));

    test::TestDesktop::writeRegistry("[HKEY_CLASSES_ROOT\\.htm]\r\n@=\"TestPages\"\r\n\r\n"
                                     "[HKEY_CLASSES_ROOT\\TestPages\\shell\\open\\command]\r\n"
                                     "@=\"testbrowser %1\"\r\n");
    debug.clear();
    EXPECT_TRUE(manager.FindProgram("www.example.com"));
    std::vector<std::string> tried {
        "Tried(1): htmfile\\shell\\open\\command\r\nReturned:2",
        "Tried(2): htm_auto_file\\shell\\open\\command\r\nReturned:2",
        "Tried(3): .htm\r\nReturned:0",
        "Tried(3+): TestPages\\shell\\open\\command\r\nReturned:0",
    };
    EXPECT_EQ(triedKeys(), tried);
    EXPECT_EQ(manager.HyperBrowser.clipped(), "testbrowser %1");

    // Later web targets ask the registry no more.
    test::TestDesktop::removeRegistry();
    debug.clear();
    for (const char* target : { "http://example.com/a.htm", "https://example.com/", "www.other.example" }) {
        manager.OpenProgram.clear();
        EXPECT_TRUE(manager.FindProgram(target)) << target;
        EXPECT_EQ(manager.OpenProgram.clipped(), "testbrowser %1") << target;
    }
    EXPECT_TRUE(triedKeys().empty());
}

TEST_F(ProgramLookupTest, FilesAndMailAreLiveExactlyWhenTheDesktopCanOpenThem)
{
    manager.Init();
    struct Case {
        const char* target;
        bool found;
        std::string program;
    } cases[] = {
        { "/home/user/Pictures/photo.png", true, test::TestDesktop::command("image") },
        { "photo.PNG", true, test::TestDesktop::command("image") },
        { "/home/user/notes.tvrn2none", false, "" },
        { "page.html", false, "" }, // the desktop opens no page from disk
        { "someone@example.com", true, test::TestDesktop::command("mail") },
    };
    for (const auto& c : cases) {
        manager.OpenProgram.clear();
        EXPECT_EQ(manager.FindProgram(c.target), c.found) << c.target;
        EXPECT_EQ(manager.OpenProgram.clipped(), c.program) << c.target;
    }

    // A mail program missing at start is looked up again.
    manager.HyperEmail.clear();
    EXPECT_TRUE(manager.FindProgram("mailto:someone@example.com"));
    EXPECT_EQ(manager.HyperEmail.clipped(), test::TestDesktop::command("mail"));
}

} // namespace
} // namespace tvrn2
