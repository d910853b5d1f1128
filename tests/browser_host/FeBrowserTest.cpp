#include "browser_host/FeBrowser.h"

#include "browser_host/FeProcess.h"
#include "platform/MessageBox.h"
#include "platform/Window.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace tvrn2 {
namespace {

TEST(FeBrowserAddressTest, RewritesLocalAddressesAndLeavesTheRest)
{
    const std::string cwd = "/home/u/app";
    struct Case {
        const char* url;
        std::string expected;
    };
    const Case cases[] = {
        { "", "about:blank" },
        { "   ", "about:blank" },
        { "ABOUT:BLANK", "ABOUT:BLANK" },
        { "!anything at all", "!anything at all" },
        { "http://example.com/a", "http://example.com/a" },
        // "www", "http" or "ftp" anywhere makes a network address; one typed
        // without a scheme gets one.
        { "myftpfile.htm", "http://myftpfile.htm" },
        { "docs/www-notes.htm", "http://docs/www-notes.htm" },
        { "www.example.org/page", "http://www.example.org/page" },
        { "WWW.Example.org  ", "http://WWW.Example.org" },
        { "www.example.org:8080/a", "http://www.example.org:8080/a" },
        { "ftp.example.org/pub/x.zip", "ftp://ftp.example.org/pub/x.zip" },
        { "FTP.example.org", "ftp://FTP.example.org" },
        { "HTTPS://www.example.org/", "HTTPS://www.example.org/" },
        { "ftp://ftp.example.org/", "ftp://ftp.example.org/" },
        { "mailto:www@example.org", "mailto:www@example.org" },
        { "a.htm", "file:///home/u/app/a.htm" },
        { "ab", "file:///home/u/app/ab" },
        { "sub/page.htm  ", "file:///home/u/app/sub/page.htm" },
        { "/srv/web/a.htm", "file:///srv/web/a.htm" },
        { "//srv/web/a.htm", "file:///srv/web/a.htm" },
        { "///srv/a.htm", "file:///srv/a.htm" },
        { "D:\\Docs\\a.htm", "file:///D:\\Docs\\a.htm" },
        { "D:\\a.htm", "file:///D:\\a.htm" },
        { "\\\\server\\share\\a.htm", "file:///\\\\server\\share\\a.htm" },
        { "file:D:\\a.htm", "file:D:\\a.htm" },
        { "File:///home/u/a.htm", "File:///home/u/a.htm" },
        { "FILE:///srv/x.htm", "FILE:///srv/x.htm" },
        { "mailto:someone@example.com", "mailto:someone@example.com" },
        { "data:text/html,<b>x</b>", "data:text/html,<b>x</b>" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(FeBrowser::resolveAddress(c.url, cwd), c.expected) << "address [" << c.url << "]";

    // A relative name in the root folder keeps the three-slash form too.
    EXPECT_EQ(FeBrowser::resolveAddress("a.htm", "/"), "file:///a.htm");
}

class FeBrowserHeadlessTest : public ::testing::Test {
protected:
    void SetUp() override { ObjectQ().clear(); }
    void TearDown() override { ObjectQ().clear(); }

    std::string registryValue(std::string_view name)
    {
        FeMaster reader;
        return reader.GetRegistryValue(
            "HKEY_CURRENT_USER", "Software\\Microsoft\\Internet Explorer\\PageSetup", name);
    }

    test::TempDir config;
    test::ScopedEnv configHome { "XDG_CONFIG_HOME", config.path().string() };
    ScriptedMessageBoxes boxes;
    ScopedMessageBoxes installedBoxes { boxes };
};

TEST_F(FeBrowserHeadlessTest, UpdateWritesThePageSetupWithoutAControl)
{
    FeBrowser browser;
    browser.DEBUGGING = 2;
    test::CapturedDebugOutput output;
    browser.Update("PrinterOrientation", "Landscape");
    browser.Update("html1printerheader", "Page &p  ");
    browser.Update("PRINTERFOOTER", "&d");
    EXPECT_EQ(registryValue("orientation"), "2");
    EXPECT_EQ(registryValue("header"), "Page &p");
    EXPECT_EQ(registryValue("footer"), "&d");
    browser.Update("printerorientation", "PORTRAIT");
    EXPECT_EQ(registryValue("orientation"), "1");
    browser.Update("printerorientation", "sideways");
    EXPECT_EQ(registryValue("orientation"), "1") << "other values write nothing";

    std::vector<std::string> expected {
        "FE [?] : feBrowser:Update - Top [PrinterOrientation | Landscape\r\n",
        "FE [?] : feBrowser:Update - Printing in landscape\r\n",
        "FE [?] : feBrowser:Update, Failed - a\r\n",
    };
    std::vector<std::string> first(output.lines().begin(), output.lines().begin() + 4);
    // The key is created the first time (asked in a box, answered Yes): one line more.
    first.erase(
        std::remove_if(first.begin(), first.end(),
            [](const std::string& line) { return line.find("Creating registry key") != std::string::npos; }),
        first.end());
    EXPECT_EQ(first, expected);
}

TEST_F(FeBrowserHeadlessTest, RegistryRefusalIsShownAndUpdateGoesOn)
{
    FeBrowser browser;
    browser.DEBUGGING = 2;
    boxes.answer(Button::No); // do not create the missing key
    test::CapturedDebugOutput output;
    browser.Update("printerfooter", "x");
    ASSERT_EQ(boxes.shown().size(), 2U);
    EXPECT_EQ(boxes.shown()[1].text, "Error accessing the registry.  Error number is 1.");
    EXPECT_EQ(boxes.shown()[1].caption, "FE Error");
    EXPECT_EQ(boxes.shown()[1].buttons, Button::Ok);
    EXPECT_EQ(output.lines().back(), "FE [?] : feBrowser:Update, Failed - a\r\n");
}

TEST_F(FeBrowserHeadlessTest, WithoutAWindowOnScreenThereIsNoControlAndNothingToDo)
{
    Window window("headless", { 0, 0, 300, 200 });
    int placeholder = window.add(ControlKind::Container, "?BROWSER", "", { 5, 5, 200, 100 });
    window.open();
    FeBrowser browser;
    browser.DEBUGGING = 2;
    test::CapturedDebugOutput output;

    EXPECT_EQ(browser.Init(std::nullopt, 0, 0, 0, 1), 0);
    EXPECT_TRUE(
        output.lines().back().ends_with("] : feBrowser:Init - Failed, problem with parm validation\r\n"))
        << output.lines().back();
    EXPECT_TRUE(ObjectQ().empty());

    // The sites are made, but no engine runs without a display: success with no control.
    EXPECT_EQ(browser.Init(std::nullopt, placeholder, 0, 0, 1), 1);
    EXPECT_EQ(browser.CORECONTROL, 0);
    EXPECT_EQ(ObjectQ().size(), 1U);
    EXPECT_TRUE(window.control(placeholder)->hidden());
    EXPECT_EQ(browser.Load("a.htm"), 0);
    EXPECT_FALSE(browser.LASTLOADEDDOC.has_value());
    EXPECT_EQ(browser.GoBack(), 0);
    EXPECT_EQ(browser.RefreshPage(3), 0);
    EXPECT_EQ(browser.ExecCommand(8, 0), 0);
    EXPECT_EQ(browser.get_Document(), nullptr);

    EXPECT_EQ(browser.Kill(0), 1);
    EXPECT_TRUE(ObjectQ().empty());
}

TEST(FeBrowserTraceTest, DebugTraceLevels)
{
    struct Case {
        std::uint8_t debugging;
        std::uint8_t level;
        bool shown;
    };
    const Case cases[]
        = { { 1, 255, false }, { 2, 255, true }, { 1, 1, true }, { 0, 0, false }, { 2, 3, false } };
    for (const auto& c : cases) {
        FeBrowser browser;
        browser.DEBUGGING = c.debugging;
        test::CapturedDebugOutput output;
        browser.DebugTrace("hello", c.level);
        EXPECT_EQ(output.lines().size(), c.shown ? 1U : 0U) << int(c.debugging) << "/" << int(c.level);
        if (c.shown) {
            EXPECT_EQ(output.lines()[0], "FE [?] : feBrowser:hello\r\n");
        }
    }
}

} // namespace
} // namespace tvrn2
