#include "browser_host/FeMaster.h"
#include "browser_host/FeProcess.h"
#include "browser_host/FeSiteObjects.h"
#include "platform/SystemInfo.h"
#include "platform/Window.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace tvrn2 {
namespace {

// Trace messages without their "FE [n] : " prefix and line end.
std::vector<std::string> messages(const test::CapturedDebugOutput& output)
{
    std::vector<std::string> result;
    for (std::string line : output.lines()) {
        auto colon = line.find("] : ");
        if (colon != std::string::npos)
            line = line.substr(colon + 4);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        result.push_back(line);
    }
    return result;
}

// Whether `wanted` appear in `lines` in this order (others may come between).
::testing::AssertionResult inOrder(
    const std::vector<std::string>& lines, const std::vector<std::string>& wanted)
{
    auto at = lines.begin();
    for (const auto& line : wanted) {
        at = std::find(at, lines.end(), line);
        if (at == lines.end())
            return ::testing::AssertionFailure() << "missing or out of order: " << line;
        ++at;
    }
    return ::testing::AssertionSuccess();
}

class ControlSitesTest : public ::testing::Test {
protected:
    void SetUp() override { ObjectQ().clear(); }
    void TearDown() override { ObjectQ().clear(); }

    // A window with a container placeholder, opened so it is the caller's window.
    struct HostWindow {
        explicit HostWindow(const char* caption)
            : window(caption, { 0, 0, 300, 200 })
        {
            placeholder = window.add(ControlKind::Container, "?BROWSER", "", { 10, 20, 200, 100 });
            window.open();
        }
        Window window;
        int placeholder { 0 };
    };

    static std::unique_ptr<FeMaster> control(int placeholder, std::string_view identifier = "")
    {
        auto master = std::make_unique<FeMaster>();
        master->DEBUGGING = 1;
        master->CURRENTCONTROL = placeholder;
        master->OBJECTTYPE = "html3";
        EXPECT_EQ(master->InitOLE2(placeholder, 0, 0, identifier), 0);
        return master;
    }
};

TEST_F(ControlSitesTest, FirstControlCreatesAllSiteObjectsAndHidesThePlaceholder)
{
    HostWindow host("first");
    auto before = liveSiteObjects();
    test::CapturedDebugOutput output;
    auto master = control(host.placeholder);

    EXPECT_EQ(liveSiteObjects(), before + 4) << "frame, container, document and client site";
    ASSERT_EQ(ObjectQ().size(), 1U);
    const ObjectQRecord& record = ObjectQ().front();
    EXPECT_EQ(record.ACTIVETHREAD, static_cast<std::int32_t>(currentThreadId()));
    EXPECT_EQ(record.WINHANDLE, windowHandleOf(host.window));
    EXPECT_EQ(record.WINCLIENTHANDLE, windowHandleOf(host.window));
    EXPECT_EQ(record.OLEDOC, master->OLEDOC);
    EXPECT_EQ(record.OLEFRAME, master->OLEFRAME);
    EXPECT_EQ(record.OLECONTAINER, master->OLECONTAINER);
    EXPECT_NE(master->CLIENTSITE, 0);
    EXPECT_EQ(master->CORECONTROL, 0) << "a blank identifier creates no control";
    EXPECT_TRUE(host.window.control(host.placeholder)->hidden());

    // The site covers the placeholder, in pixels of the standard dialog font.
    auto* site = siteObject<ClientSite>(master->CLIENTSITE);
    ASSERT_NE(site, nullptr);
    EXPECT_EQ(site->rect(), (PixelRect { 15, 33, 315, 196 }));

    std::string handle = std::to_string(windowHandleOf(host.window));
    EXPECT_TRUE(inOrder(messages(output),
        { "InitOLE2 - Prop:Handle == " + handle, "InitOLE2 - Checking ObjectQ",
            "InitOLE2 - Checking ObjectQ, Records in Q = 0",
            "InitOle2 - Instantiating new OleFrame and OleContainer for this thread",
            "InitOle2 - Instantiating new OleDocument for this window", "InitOLE2 - ClientSite ready",
            "InitOLE2 - New entry added to ObjectQ, 1 records now in queue",
            "InitOLE2 - OleFrame.IsInitialized (off Win, not Frame) - done",
            "InitOLE2 - OleContainer.Init -OK", "InitOLE2 - OleDoc.Init... -done",
            "InitOLE2 - ClientSite.Init... -done", "InitOLE2 - ClientSite.SetObjectRect -done" }));
    master->KillOLE2();
}

TEST_F(ControlSitesTest, SecondControlInTheSameWindowSharesAllButItsSite)
{
    HostWindow host("shared");
    auto before = liveSiteObjects();
    auto first = control(host.placeholder);
    auto second = control(host.placeholder);

    EXPECT_EQ(liveSiteObjects(), before + 5) << "only a second client site";
    EXPECT_EQ(second->OLEFRAME, first->OLEFRAME);
    EXPECT_EQ(second->OLECONTAINER, first->OLECONTAINER);
    EXPECT_EQ(second->OLEDOC, first->OLEDOC);
    EXPECT_NE(second->CLIENTSITE, first->CLIENTSITE);
    ASSERT_EQ(ObjectQ().size(), 2U);

    EXPECT_EQ(second->KillOLE2(), 0);
    EXPECT_EQ(ObjectQ().size(), 1U);
    EXPECT_EQ(liveSiteObjects(), before + 4);
    EXPECT_NE(findSiteObject(first->OLEDOC), nullptr) << "the window's other control still uses the document";
    first->KillOLE2();
    EXPECT_EQ(liveSiteObjects(), before);
}

TEST_F(ControlSitesTest, ControlInAnotherWindowGetsItsOwnDocumentAndKeepsRecordsWhole)
{
    HostWindow one("one");
    auto first = control(one.placeholder);
    HostWindow two("two"); // newest open window: the caller's window from here on
    auto before = liveSiteObjects();
    auto second = control(two.placeholder);

    EXPECT_EQ(liveSiteObjects(), before + 2) << "a document and a client site";
    EXPECT_EQ(second->OLEFRAME, first->OLEFRAME);
    EXPECT_NE(second->OLEDOC, first->OLEDOC);

    // The thread's first record belongs to window one; taking that away
    // while destroying window two's document would leave a broken record.
    second->KillOLE2();
    EXPECT_EQ(liveSiteObjects(), before);
    EXPECT_EQ(findSiteObject(second->OLEDOC), nullptr);
    ASSERT_EQ(ObjectQ().size(), 1U);
    EXPECT_EQ(ObjectQ().front().OLEDOC, first->OLEDOC);
    EXPECT_NE(findSiteObject(ObjectQ().front().OLEDOC), nullptr) << "no record may name a destroyed document";
    EXPECT_NE(findSiteObject(first->OLEFRAME), nullptr);
}

TEST_F(ControlSitesTest, LastControlOfTheThreadReleasesEverythingInOrder)
{
    HostWindow host("last");
    auto before = liveSiteObjects();
    auto master = control(host.placeholder);
    test::CapturedDebugOutput output;
    EXPECT_EQ(master->KillOLE2(), 0);

    EXPECT_TRUE(ObjectQ().empty());
    EXPECT_EQ(liveSiteObjects(), before);
    EXPECT_EQ(master->CLIENTSITE, 0);
    EXPECT_NE(master->OLEFRAME, 0) << "the master's references are left as they were";
    EXPECT_TRUE(inOrder(messages(output),
        { "KillOLE2 - dispose(ClientSite)", "KillOLE2 - Records in ObjectQ = 1",
            "KillOLE2 - No other objects found on this thread, killing window objects...",
            "KillOLE2 - dispose(OleDoc)", "KillOLE2 - dispose(OleContainer)", "KillOLE2 - dispose(OleFrame)",
            "KillOLE2 - Deleted record from ObjectQ, Records = 0" }));

    output.clear();
    master->KillOLE2();
    EXPECT_EQ(
        messages(output).at(1), "KillOLE2 - Disposing Per-Object Objects...  - ClientSite - already done");
}

TEST_F(ControlSitesTest, HiddenControlKeepsItsEmptyRectangleUntilUnhidden)
{
    HostWindow host("hide");
    auto master = control(host.placeholder);
    auto* site = siteObject<ClientSite>(master->CLIENTSITE);
    PixelRect placed = site->rect();

    master->HideControl();
    EXPECT_TRUE(site->rect().empty());
    EXPECT_EQ(site->rect().left, placed.left - 1);
    master->Resize(0, 1, 5, 5, 5, 5);
    EXPECT_TRUE(site->rect().empty()) << "a resize while hidden changes nothing";
    master->UnhideControl();
    EXPECT_EQ(site->rect(), placed);
    master->Resize(0, 1, 2, 3, -4, -5);
    EXPECT_EQ(
        site->rect(), (PixelRect { placed.left + 2, placed.top + 3, placed.right - 4, placed.bottom - 5 }));
    master->KillOLE2();
}

TEST_F(ControlSitesTest, FailuresStillRegisterSoKillReleasesThem)
{
    HostWindow host("bad");
    auto before = liveSiteObjects();
    FeMaster master;
    master.OBJECTTYPE = "html3";
    master.CURRENTCONTROL = host.placeholder;
    EXPECT_GT(master.InitOLE2(host.placeholder, 4242, 4242, "shell.explorer.2"), 0)
        << "no window has handle 4242";
    EXPECT_EQ(ObjectQ().size(), 1U);
    EXPECT_EQ(master.CORECONTROL, 0);
    master.KillOLE2();
    EXPECT_TRUE(ObjectQ().empty());
    EXPECT_EQ(liveSiteObjects(), before);
}

TEST_F(ControlSitesTest, FullRegisterRefusesWithoutCreatingAnything)
{
    HostWindow host("full");
    ObjectQ().assign(255, ObjectQRecord { -7, 1, 1, 1, 1, 1 });
    auto before = liveSiteObjects();
    FeMaster master;
    EXPECT_EQ(master.InitOLE2(host.placeholder, 0, 0, ""), 1);
    EXPECT_EQ(ObjectQ().size(), 255U);
    EXPECT_EQ(liveSiteObjects(), before);
}

} // namespace
} // namespace tvrn2
