#include "hyperlink/HyperlinkManager.h"

#include "platform/Halt.h"
#include "platform/HeadlessEventLoop.h"
#include "platform/KeyCode.h"
#include "platform/MessageBox.h"
#include "platform/Shell.h"
#include "platform/SystemInfo.h"
#include "platform/Window.h"
#include "tests/hyperlink/TestDesktop.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <tuple>

namespace tvrn2 {
namespace {

constexpr Colour Blue = 0xFF0000;
constexpr Colour Red = 0x0000FF;
constexpr Colour Grey = 0x808080;
constexpr int Timer = static_cast<int>(Event::Timer);

// Answers the system questions as told and records the targets it is asked
// to open instead of opening them.
class RecordingLinkDesktop final : public LinkDesktop {
public:
    OsVersion version() const override { return versionToReport; }
    std::optional<std::string> windowsDirectory() const override { return windowsFolder; }
    int open(std::string_view target) const override
    {
        opened.emplace_back(target);
        return result;
    }

    OsVersion versionToReport;
    std::optional<std::string> windowsFolder;
    int result { ShellResult::Opened };
    mutable std::vector<std::string> opened;
};

// A window's own manager, as an owner derives it: it supplies list targets
// and watches the rows under the mouse.
class OwnedManager final : public HyperlinkManager {
public:
    using HyperlinkManager::HyperlinkManager;

    void ListRowHover(int control, int column, int row, int style) override
    {
        hovers.emplace_back(control, column, row, style);
    }
    std::string GetListURL(int control, int column) override
    {
        auto* list = window().control(control);
        int row = list ? list->mouseDownHit().row : 0;
        return "http://rows.example/" + std::to_string(column) + "/" + std::to_string(row);
    }

    std::vector<std::tuple<int, int, int, int>> hovers;
};

class HyperlinkManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::useCommandLine({});
        test::TestDesktop::removeRegistry();
        // The watchdog: a run that does not settle fails instead of hanging.
        loop.setLimits(std::chrono::seconds(60), 10'000);
        window.open();
    }

    void TearDown() override
    {
        test::TestDesktop::removeRegistry();
        test::useCommandLine({});
    }

    OwnedManager& start(const LinkDesktop* use = nullptr)
    {
        manager = std::make_unique<OwnedManager>(window, use ? *use : desktop);
        manager->HandCursorToUse = "~hand2.cur";
        manager->Init(Timer);
        return *manager;
    }

    // Hands every waiting event to the manager, as the window's handler does,
    // including the events the manager posts itself.
    void runEvents()
    {
        if (window.pending() == 0)
            return;
        bool settled = window.run([this](const WindowEvent& event) {
            seen.push_back(event);
            manager->TakeEvent();
            return window.pending() == 0 ? Dispatch::Leave : Dispatch::Default;
        });
        ASSERT_TRUE(settled) << "the window's events did not settle";
    }

    void mouse(int control, Event event, int x, int y)
    {
        window.inputMouse(control, event, x, y);
        runEvents();
    }

    void tick()
    {
        window.post(Event::Timer);
        runEvents();
    }

    HyperlinkItem& item(int control, int column = 0)
    {
        for (auto& i : manager->ItemQ) {
            if (i.Control == control && i.Column == column)
                return i;
        }
        ADD_FAILURE() << "no item for control " << control << " column " << column;
        static HyperlinkItem none;
        return none;
    }

    HeadlessEventLoop loop;
    ScopedEventLoop scopedLoop { loop };
    ScriptedMessageBoxes boxes;
    ScopedMessageBoxes installedBoxes { boxes };
    Window window { "Links", { 0, 0, 300, 200 } };
    RecordingLinkDesktop desktop;
    std::unique_ptr<OwnedManager> manager;
    std::vector<WindowEvent> seen;
};

TEST_F(HyperlinkManagerTest, StringLinkTakesTheMouseThroughItsOverlayAndBrightensUnderIt)
{
    int link = window.add(ControlKind::String, "?LINK", "www.example.com", { 10, 20, 60, 10 });
    auto& m = start();
    m.AddStyledItem(link, "", true, Red, Blue, FontStyle::Regular, FontStyle::Bold | FontStyle::Underline);
    m.Refresh(0);

    const Control* overlay = window.control(link + HyperlinkManager::OverlayOffset);
    ASSERT_NE(overlay, nullptr);
    EXPECT_EQ(overlay->kind(), ControlKind::Region);
    EXPECT_TRUE(overlay->immediate());
    EXPECT_EQ(overlay->cursor(), "~hand2.cur");
    EXPECT_EQ(overlay->rect(), (Rect { 10, 20, 60, 10 }));
    EXPECT_EQ(item(link).URL.clipped(), "www.example.com");

    const Control& text = *window.control(link);
    EXPECT_EQ(text.fontColour(), Red);
    EXPECT_EQ(text.fontStyle(), FontStyle::Regular);

    mouse(overlay->number(), Event::MouseIn, 15, 25);
    EXPECT_EQ(item(link).Working, 1);
    EXPECT_EQ(text.fontColour(), Blue);
    EXPECT_EQ(text.fontStyle(), FontStyle::Bold | FontStyle::Underline);

    mouse(overlay->number(), Event::MouseOut, 80, 25);
    EXPECT_EQ(item(link).Working, 0);
    EXPECT_EQ(text.fontColour(), Red);
    EXPECT_EQ(text.fontStyle(), FontStyle::Regular);

    // The overlay follows its control.
    window.control(link)->setHidden(true);
    m.Refresh(link);
    EXPECT_TRUE(overlay->hidden());
}

TEST_F(HyperlinkManagerTest, TrackingEventPostsTheMouseOutTheWindowSystemMissed)
{
    int link = window.add(ControlKind::Prompt, "?LINK", "Support", { 10, 20, 40, 10 });
    int button = window.add(ControlKind::Button, "?GO", "Go", { 100, 20, 40, 14 });
    auto& m = start();
    m.AddItem(link, "someone@example.com", Red, Blue);
    m.AddItem(button, "www.example.com");
    m.Refresh(0);
    int overlay = link + HyperlinkManager::OverlayOffset;

    mouse(overlay, Event::MouseIn, 20, 25);
    ASSERT_EQ(item(link).Working, 1);

    // Still over the prompt: the periodic check leaves it bright.
    window.inputMouse(0, Event::MouseMove, 30, 30);
    seen.clear();
    tick();
    EXPECT_EQ(seen, (std::vector<WindowEvent> { { Event::Timer, 0, -1 } }));
    EXPECT_EQ(item(link).Working, 1);

    mouse(button, Event::MouseIn, 110, 25);
    ASSERT_EQ(item(button).Working, 1);
    // The pointer is gone with no mouse-out from the window system.
    window.inputMouse(0, Event::MouseMove, 250, 150);
    seen.clear();
    tick();
    std::vector<WindowEvent> expected {
        { Event::Timer, 0, -1 },
        { Event::MouseOut, overlay, -1 },
        { Event::MouseOut, button, -1 },
    };
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(item(link).Working, 0);
    EXPECT_EQ(item(button).Working, 0);
    EXPECT_EQ(window.control(link)->fontColour(), Red);

    // Any other event leaves the check alone.
    mouse(overlay, Event::MouseIn, 20, 25);
    window.inputMouse(0, Event::MouseMove, 250, 150);
    window.post(Event::Sized);
    runEvents();
    EXPECT_EQ(item(link).Working, 1);
}

TEST_F(HyperlinkManagerTest, ClickLaunchesTheLinkTargetOrTheControlsOwnText)
{
    int link = window.add(ControlKind::String, "?LINK", "www.example.com", { 10, 20, 60, 10 });
    int button = window.add(ControlKind::Button, "?GO", "Go", { 100, 20, 40, 14 });
    auto& m = start();
    m.AddItem(link);
    m.AddItem(button, "http://example.com/download");
    m.Refresh(0);
    int overlay = link + HyperlinkManager::OverlayOffset;

    window.inputClick(overlay);
    runEvents();
    m.SetURL(link, "http://example.com/elsewhere");
    window.inputClick(overlay);
    runEvents();
    m.SetURL(link, "  ");
    window.inputClick(overlay);
    runEvents();
    window.inputClick(button);
    runEvents();
    // Taking every control's value at once is no click.
    window.setAcceptAll(true);
    window.inputClick(button);
    runEvents();

    std::vector<std::string> expected {
        "www.example.com",
        "http://example.com/elsewhere",
        "www.example.com",
        "http://example.com/download",
    };
    EXPECT_EQ(desktop.opened, expected);
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(HyperlinkManagerTest, LinkLaunchesOnTheEventItWasRegisteredFor)
{
    int link = window.add(ControlKind::String, "?LINK", "www.example.com", { 10, 20, 60, 10 });
    auto& m = start();
    // Bit 0: underline; the bits above: launch on mouse-in.
    m.AddItem(link, std::nullopt, Red, Blue, (static_cast<int>(Event::MouseIn) << 1) | 1);
    EXPECT_EQ(item(link).UseEvent, static_cast<int>(Event::MouseIn));
    EXPECT_EQ(item(link).Underline, 1);

    int overlay = link + HyperlinkManager::OverlayOffset;
    window.inputClick(overlay);
    runEvents();
    EXPECT_TRUE(desktop.opened.empty());
    mouse(overlay, Event::MouseIn, 15, 25);
    EXPECT_EQ(desktop.opened, std::vector<std::string> { "www.example.com" });

    // A link that launches on the accepted event launches once per click.
    int other = window.add(ControlKind::Button, "?GO", "Go", { 100, 20, 40, 14 });
    m.AddItem(other, "www.other.example", std::nullopt, std::nullopt, 1 << 1);
    window.inputClick(other);
    runEvents();
    EXPECT_EQ(desktop.opened.back(), "www.other.example");
    EXPECT_EQ(desktop.opened.size(), 2u);

    // A control registered twice launches its first record, once.
    m.AddItem(other, "www.second.example", std::nullopt, std::nullopt, 1 << 1);
    window.inputClick(other);
    runEvents();
    EXPECT_EQ(desktop.opened,
        (std::vector<std::string> { "www.example.com", "www.other.example", "www.other.example" }));
}

TEST_F(HyperlinkManagerTest, EntryWithTheMouseAlertedLaunchesOnlyOnceItHasTheFocus)
{
    int entry = window.add(ControlKind::Entry, "?ADDRESS", "", { 10, 20, 100, 10 });
    window.control(entry)->setScreenText("www.typed.example");
    auto& m = start();
    m.AddItem(entry, std::nullopt, Red, std::nullopt, 1, 1);
    m.Refresh(0);

    const Control& c = *window.control(entry);
    EXPECT_TRUE(c.alerted(KeyCode::MouseLeft));
    EXPECT_EQ(c.cursor(), "~hand2.cur");
    EXPECT_EQ(c.fontColour(), Red);
    EXPECT_TRUE(c.fontStyle() & FontStyle::Underline);

    window.inputKey(entry, KeyCode::MouseLeft);
    runEvents();
    EXPECT_TRUE(desktop.opened.empty());
    EXPECT_EQ(window.focus(), entry);
    EXPECT_EQ(m.LastFieldSelected, entry);

    window.control(entry)->setScreenText("www.retyped.example");
    window.inputKey(entry, KeyCode::MouseLeft);
    runEvents();
    EXPECT_EQ(desktop.opened, std::vector<std::string> { "www.retyped.example" });
}

TEST_F(HyperlinkManagerTest, LinkNothingCanOpenIsGreyedWithoutCursorAndDoesNotLaunch)
{
    int link = window.add(ControlKind::String, "?LINK", "", { 10, 20, 60, 10 });
    int entry = window.add(ControlKind::Entry, "?FILE", "", { 10, 40, 100, 10 });
    window.control(entry)->setFontColour(Grey);
    window.control(entry)->setScreenText("notes.tvrn2none");
    auto& m = start();
    m.CheckURLs = true;
    m.AddItem(link, "report.tvrn2none", Red, Blue, 1);
    m.AddItem(entry, std::nullopt, Red, std::nullopt, 1, 1);
    m.Refresh(0);

    int overlay = link + HyperlinkManager::OverlayOffset;
    const Control& text = *window.control(link);
    const Control& region = *window.control(overlay);
    const Control& field = *window.control(entry);
    EXPECT_EQ(item(link).Active, 0);
    EXPECT_EQ(region.cursor(), "");
    EXPECT_TRUE(region.disabled());
    EXPECT_EQ(text.fontColour(), ColourNone); // the window's own colour
    EXPECT_EQ(item(entry).Active, 0);
    EXPECT_EQ(field.fontColour(), Grey);
    EXPECT_FALSE(field.fontStyle() & FontStyle::Underline);
    EXPECT_EQ(field.cursor(), "");
    EXPECT_FALSE(field.alerted(KeyCode::MouseLeft));

    // Events that still arrive change nothing and launch nothing.
    window.post(Event::MouseIn, overlay);
    window.post(Event::Accepted, overlay);
    window.post(Event::AlertKey, entry, KeyCode::MouseLeft);
    runEvents();
    EXPECT_EQ(item(link).Working, 0);
    EXPECT_EQ(text.fontColour(), ColourNone);
    EXPECT_TRUE(desktop.opened.empty());

    // Once the desktop can open both, they come back to life.
    test::TestDesktop::writeRegistry("[HKEY_CLASSES_ROOT\\tvrn2nonefile\\shell\\open\\command]\r\n"
                                     "@=\"viewer \\\"%1\\\"\"\r\n");
    m.Refresh(0);
    EXPECT_EQ(item(link).Active, 1);
    EXPECT_EQ(region.cursor(), "~hand2.cur");
    EXPECT_FALSE(region.disabled());
    EXPECT_EQ(text.fontColour(), Red);
    EXPECT_EQ(field.fontColour(), Red);
    EXPECT_TRUE(field.alerted(KeyCode::MouseLeft));
    window.post(Event::Accepted, overlay);
    runEvents();
    EXPECT_EQ(desktop.opened, std::vector<std::string> { "report.tvrn2none" });
}

TEST_F(HyperlinkManagerTest, ALinkWithoutATargetIsCheckedOnTheTextItLaunches)
{
    // No target of its own: a click launches the control's text, so with
    // CheckURLs that text is what the desktop must be able to open.
    int link = window.add(ControlKind::String, "?LINK", "notes.tvrn2none", { 10, 20, 60, 10 });
    auto& m = start();
    m.CheckURLs = true;
    m.AddItem(link, std::nullopt, Red, Blue, 1);
    ASSERT_TRUE(item(link).URL.blank());
    m.Refresh(0);
    EXPECT_EQ(item(link).Active, 0) << "nothing opens the text";

    test::TestDesktop::writeRegistry("[HKEY_CLASSES_ROOT\\tvrn2nonefile\\shell\\open\\command]\r\n"
                                     "@=\"viewer \\\"%1\\\"\"\r\n");
    m.Refresh(0);
    EXPECT_EQ(item(link).Active, 1) << "a viewer opens the text now";
    window.post(Event::Accepted, link + HyperlinkManager::OverlayOffset);
    runEvents();
    EXPECT_EQ(desktop.opened, std::vector<std::string> { "notes.tvrn2none" });
}

TEST_F(HyperlinkManagerTest, SetActiveSwitchesALinkUntilTheNextRefresh)
{
    int region = window.add(ControlKind::Region, "?HOT", "", { 0, 0, 20, 20 });
    auto& m = start();
    m.AddItem(region, "www.example.com");
    EXPECT_TRUE(window.control(region)->immediate());
    EXPECT_FALSE(m.SetActive(99, false));

    EXPECT_TRUE(m.SetActive(region, false));
    m.Refresh(region);
    EXPECT_TRUE(window.control(region)->disabled());
    EXPECT_EQ(window.control(region)->cursor(), "");
    window.post(Event::Accepted, region);
    runEvents();
    EXPECT_TRUE(desktop.opened.empty());

    EXPECT_TRUE(m.SetActive(region, true));
    m.Refresh(region);
    EXPECT_FALSE(window.control(region)->disabled());
    EXPECT_EQ(window.control(region)->cursor(), "~hand2.cur");
    window.inputClick(region);
    runEvents();
    EXPECT_EQ(desktop.opened, std::vector<std::string> { "www.example.com" });
}

class HyperlinkListTest : public HyperlinkManagerTest {
protected:
    void SetUp() override
    {
        HyperlinkManagerTest::SetUp();
        list = window.add(ControlKind::List, "?LIST", "", { 10, 10, 200, 100 });
        window.control(list)->setColumns({ { "Name", 60, "60L(2)|M~Name~", 0 },
            { "Mail", 60, "60L(2)|M~Mail~", 0 }, { "Site", 80, "80L(2)|M~Site~", 0 } });
        window.control(list)->setRows({ { "a", "a@x", "x.example" }, { "b", "b@y", "y.example" } });
    }

    int list { 0 };
};

TEST_F(HyperlinkListTest, EachLinkedColumnGetsItsOwnPairOfListStyles)
{
    auto& m = start();
    m.AddItem(list, "2", Red, Blue);
    m.AddItem(list, "3", Grey, 0x00FF00, -1);
    m.AddItem(list, "1", -1, -1);

    ASSERT_EQ(m.ItemQ.size(), 3u);
    EXPECT_EQ(m.ItemQ[0].Column, 1); // kept in column order
    EXPECT_EQ(item(list, 2).Style, 2);
    EXPECT_EQ(item(list, 3).Style, 4);
    EXPECT_EQ(item(list, 3).HandCursor, 1);
    EXPECT_EQ(item(list, 1).Normal, 0); // -1 on a list column is "no colour"
    EXPECT_EQ(item(list, 1).Bright, 0);

    const Control& c = *window.control(list);
    EXPECT_EQ(c.listStyle(2), (ListStyle { Red, FontStyle::Underline }));
    EXPECT_EQ(c.listStyle(3), (ListStyle { Blue, FontStyle::Underline }));
    EXPECT_EQ(c.listStyle(4), (ListStyle { Grey, FontStyle::Underline }));
    EXPECT_EQ(c.listStyle(5), (ListStyle { 0x00FF00, FontStyle::Underline }));
    EXPECT_EQ(c.columns()[1].style, 2);
    EXPECT_EQ(c.columns()[2].style, 4);
    EXPECT_EQ(c.columns()[0].style, 0);

    // On any other control -1 is a colour like another.
    int prompt = window.add(ControlKind::Prompt, "?P", "p", { 0, 150, 20, 10 });
    m.AddItem(prompt, "www.example.com", -1);
    EXPECT_EQ(item(prompt).Normal, -1);
}

TEST_F(HyperlinkListTest, TrackingFollowsTheRowAndCursorOverALinkedColumn)
{
    auto& m = start();
    m.AddItem(list, "3", Red, Blue, -2);
    Control& c = *window.control(list);

    c.setMouseHit({ 2, 3, 0 });
    window.inputMouse(0, Event::MouseMove, 150, 40);
    tick();
    EXPECT_EQ(c.cursor(), "~hand2.cur");
    EXPECT_EQ(item(list, 3).Working, 2);

    c.setMouseHit({ 1, 3, 0 });
    tick();
    c.setMouseHit({ 1, 1, 0 });
    window.inputMouse(0, Event::MouseMove, 20, 40);
    tick();
    EXPECT_EQ(c.cursor(), "");
    EXPECT_EQ(item(list, 3).Working, 0);

    using Hover = std::tuple<int, int, int, int>;
    std::vector<Hover> expected {
        { list, 3, 0, 2 }, { list, 3, 2, 3 }, // onto row 2
        { list, 3, 2, 2 }, { list, 3, 1, 3 }, // row 2 to row 1
        { list, 3, 1, 2 }, // off the column
    };
    EXPECT_EQ(m.hovers, expected);
}

TEST_F(HyperlinkListTest, ClickOnALinkedColumnLaunchesTheOwnersTargetForTheCell)
{
    auto& m = start();
    m.AddItem(list, "3", Red, Blue);
    Control& c = *window.control(list);

    c.setMouseDownHit({ 2, 1, 0 });
    window.inputClick(list);
    runEvents();
    EXPECT_TRUE(desktop.opened.empty());

    test::useCommandLine({ "/LVDebugList" });
    test::CapturedDebugOutput debug;
    c.setMouseDownHit({ 2, 3, 0 });
    window.inputClick(list);
    runEvents();
    EXPECT_EQ(desktop.opened, std::vector<std::string> { "http://rows.example/3/2" });
    EXPECT_NE(std::find(debug.lines().begin(), debug.lines().end(), "Lantivo: UpField: 3 error:"),
        debug.lines().end());
}

TEST_F(HyperlinkListTest, MovedColumnsTakeTheirLinksAlong)
{
    test::useCommandLine({ "/XPCheck" });
    auto& m = start();
    m.AddItem(list, "1", Red, Blue);
    m.AddItem(list, "3", Grey, 0x00FF00);
    m.SaveColumnFormats(list);
    ASSERT_EQ(m.TrackerQ.size(), 3u);

    // The user drags "Site" to the front and "Name" to the end.
    Control& c = *window.control(list);
    auto columns = c.columns();
    std::swap(columns[0], columns[2]);
    for (auto& column : columns)
        column.style = 0;
    c.setColumns(columns);

    boxes.answer(Button::Ignore);
    EXPECT_EQ(m.MoveColumns(list), 0);
    ASSERT_EQ(m.ItemQ.size(), 2u);
    EXPECT_EQ(m.ItemQ[0].Column, 1);
    EXPECT_EQ(m.ItemQ[0].Normal, Grey); // the "Site" link, now first
    EXPECT_EQ(m.ItemQ[1].Column, 3);
    EXPECT_EQ(m.ItemQ[1].Normal, Red);
    EXPECT_EQ(c.columns()[0].style, 4); // the styles are applied where the links now are
    EXPECT_EQ(c.columns()[2].style, 2);

    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].caption, "Stop");
    EXPECT_EQ(boxes.shown()[0].text,
        "Which Cols: 3 to 1;1 to 3;\r\nTemp Change: 3 to 1025;1 to 1026;\r\nPerm Change: 1025 to 1;1026 to "
        "3;");

    // Saving again records the new places; with nothing moved nothing changes.
    m.SaveColumnFormats(list);
    EXPECT_EQ(m.TrackerQ.size(), 3u);
    boxes.answer(Button::Ignore);
    EXPECT_EQ(m.MoveColumns(list), 0);
    EXPECT_EQ(m.ItemQ[0].Normal, Grey);
    EXPECT_EQ(m.ItemQ[0].Column, 1);

    // Abort in the stop box ends the program.
    HaltInterceptor halts;
    boxes.answer(Button::Abort);
    EXPECT_THROW(m.MoveColumns(list), ProgramHalted);
}

TEST_F(HyperlinkListTest, SavedColumnFormatsAreUpdatedAppendedOrStartedAfresh)
{
    int other = window.add(ControlKind::List, "?OTHER", "", { 10, 120, 200, 60 });
    window.control(other)->setColumns({ { "Only", 60, "60L(2)|M~Only~", 0 } });
    auto& m = start();
    using Record = std::tuple<int, std::string, int>; // list, format, position
    auto records = [&] {
        std::vector<Record> all;
        for (const auto& t : m.TrackerQ)
            all.emplace_back(t.Control, t.OldFormatCol.clipped(), t.ColumnNo);
        return all;
    };
    const Record otherOnly { other, "60L(2)|M~Only~", 1 };

    m.SaveColumnFormats(list);
    m.SaveColumnFormats(other);
    ASSERT_EQ(records(),
        (std::vector<Record> { { list, "60L(2)|M~Name~", 1 }, { list, "60L(2)|M~Mail~", 2 },
            { list, "80L(2)|M~Site~", 3 }, otherOnly }));

    // The user swaps the first and last columns.
    Control& c = *window.control(list);
    auto columns = c.columns();
    std::swap(columns[0], columns[2]);
    c.setColumns(columns);

    // Without options each format's record moves to its new place.
    m.SaveColumnFormats(list);
    EXPECT_EQ(records(),
        (std::vector<Record> { { list, "60L(2)|M~Name~", 3 }, { list, "60L(2)|M~Mail~", 2 },
            { list, "80L(2)|M~Site~", 1 }, otherOnly }));

    // Bit 0 appends a record per column without looking.
    m.SaveColumnFormats(list, 1);
    EXPECT_EQ(records().size(), 7u);

    // Bit 1 starts the list afresh with its present columns; the other list
    // keeps its records.
    for (int options : { 2, 3 }) {
        m.SaveColumnFormats(list, options);
        EXPECT_EQ(records(),
            (std::vector<Record> { otherOnly, { list, "80L(2)|M~Site~", 1 }, { list, "60L(2)|M~Mail~", 2 },
                { list, "60L(2)|M~Name~", 3 } }))
            << "options " << options;
    }
}

TEST_F(HyperlinkListTest, MoveColumnsWithTablesReportsAColumnLeftWithoutAPlace)
{
    auto& m = start();
    m.AddItem(list, "1", Red, Blue);
    m.AddItem(list, "2", Grey, 0x00FF00);

    HyperlinkManager::ColumnTable now {};
    HyperlinkManager::ColumnTable before {};
    before[0] = 1, now[0] = 2; // column 1 moved to 2
    before[1] = 2, now[1] = 1; // and 2 to 1
    before[2] = 9, now[2] = 3; // no link on column 9: ignored
    EXPECT_EQ(m.MoveColumns(list, now, before), 0);
    EXPECT_EQ(item(list, 1).Normal, Grey);
    EXPECT_EQ(item(list, 2).Normal, Red);

    before = {};
    now = {};
    before[0] = 1; // a column with no new place keeps its number
    EXPECT_EQ(m.MoveColumns(list, now, before), 2);
    EXPECT_EQ(item(list, 1).Normal, Grey);
    EXPECT_EQ(item(list, 2).Normal, Red);
}

TEST_F(HyperlinkManagerTest, EmailCommandGetsItsSchemeAndIsEncodedWhenAsked)
{
    auto& m = start();
    struct Case {
        const char* target;
        bool encode;
        const char* command;
    } cases[] = {
        { "support@example.com?subject=Hi there", false, "mailto:support@example.com?subject=Hi there" },
        { "MailTo:support@example.com", false, "MailTo:support@example.com" },
        { "\"Support\"%20<support@example.com>?subject=Tavrin%20Support", false,
            "mailto:\"Support\"%20<support@example.com>?subject=Tavrin%20Support" },
        { "support@example.com?subject=Hi there&body=See you", true,
            "mailto:support@example.com?subject=Hi there&body=See%20you" },
        { "\"support@example.com?subject=a b\"", true, "mailto:support@example.com?subject=a%20b" },
    };
    for (const auto& c : cases) {
        desktop.opened.clear();
        m.EncodeEmails = c.encode;
        m.URLToRun = c.target;
        m.RunURL(0, -1);
        EXPECT_EQ(desktop.opened, std::vector<std::string> { c.command }) << c.target;
    }
    m.URLToRun = "   ";
    desktop.opened.clear();
    m.RunURL(0, -1);
    EXPECT_TRUE(desktop.opened.empty());
}

TEST_F(HyperlinkManagerTest, EmailCommandIsCutToTheLimitOfOldSystemsOnly)
{
    auto& m = start();
    m.HyperEmail = "mailer.exe /m %1"; // 16 characters
    std::string target = "a@b.example?subject=" + std::string(700, 'x');
    struct Case {
        std::uint32_t platformId, major, minor;
        int maxLength;
        std::size_t length;
    } cases[] = {
        { 1, 4, 10, -1, 520 - 16 }, // Windows 98
        { 1, 4, 0, -1, 520 - 16 }, // Windows 95
        { 2, 4, 0, -1, 520 - 16 }, // Windows NT 4.0
        { 1, 4, 90, -1, 7 + 720 }, // Windows Me
        { 2, 5, 1, -1, 7 + 720 }, // Windows XP
        { OsVersion::linuxPlatformId, 6, 1, -1, 7 + 720 },
        { 2, 5, 1, 100, 100 - 16 }, // a limit of the caller's own
        { 1, 4, 10, 0, 7 + 720 }, // none
    };
    for (const auto& c : cases) {
        desktop.opened.clear();
        desktop.versionToReport = OsVersion { c.platformId, c.major, c.minor, 0 };
        m.URLToRun = target;
        m.RunURL(0, c.maxLength);
        ASSERT_EQ(desktop.opened.size(), 1u);
        EXPECT_EQ(desktop.opened[0].size(), c.length) << c.platformId << "." << c.major << "." << c.minor;
        EXPECT_EQ(desktop.opened[0], ("mailto:" + target).substr(0, c.length));
    }
}

TEST_F(HyperlinkManagerTest, FailedLaunchShowsTheShellErrorBox)
{
    auto& m = start();
    struct Case {
        int code;
        const char* message;
    } cases[] = {
        { 31, "There is no application associated with the given file name extension. File:|" },
        { 2, "The specified file was not found. File:|" },
        { 11, "The .exe file is invalid (non-Win32\u00AE .exe or error in .exe image). File:|" },
        { 27, "The file name association is incomplete or invalid. File:|" },
        { 17, "Unknown ShellExecute Error occured. File:|" },
    };
    for (const auto& c : cases) {
        boxes.clear();
        desktop.result = c.code;
        m.URLToRun = "someone@example.com";
        m.RunURL(0, -1);
        ASSERT_EQ(boxes.shown().size(), 1u) << c.code;
        const BoxRequest& box = boxes.shown()[0];
        EXPECT_EQ(box.text, "(" + std::to_string(c.code) + ") " + c.message + "mailto:someone@example.com");
        EXPECT_EQ(box.caption, "Shell Execute Error:" + std::to_string(c.code));
        EXPECT_EQ(box.icon, BoxIcon::Information);
        EXPECT_EQ(box.buttons, Button::Ok);
    }

    boxes.clear();
    desktop.result = 33;
    m.RunURL(0, -1);
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(HyperlinkManagerTest, TargetTheDesktopCannotOpenIsReportedWithCode31)
{
    int button = window.add(ControlKind::Button, "?GO", "Go", { 100, 20, 40, 14 });
    auto& m = start(&systemLinkDesktop());
    m.AddItem(button, "x-tvrn2-nobody-opens-this:thing");
    window.inputClick(button);
    runEvents();

    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].caption, "Shell Execute Error:31");
    EXPECT_EQ(boxes.shown()[0].text,
        "(31) There is no application associated with the given file name extension. "
        "File:|x-tvrn2-nobody-opens-this:thing");
}

TEST_F(HyperlinkManagerTest, EmailLinkReachesTheMailProgramAsOneArgumentAndNothingElseRuns)
{
    int button = window.add(ControlKind::Button, "?SUPPORT", "Support", { 100, 20, 40, 14 });
    auto marker = (test::TestDesktop::root() / "injected").string();
    struct Case {
        std::string target;
        bool encode;
        std::string received;
    } cases[] = {
        { "support@example.com?subject=Hi there&body=See you", true,
            "mailto:support@example.com?subject=Hi there&body=See%20you" },
        { "support@example.com?subject=x;touch " + marker + ";$(touch " + marker + ")`touch " + marker
                + "`|tee " + marker + " > " + marker + " && touch " + marker,
            false, "" },
    };
    cases[1].received = "mailto:" + cases[1].target;

    auto& m = start(&systemLinkDesktop());
    m.AddItem(button, "");
    for (const auto& c : cases) {
        test::TestDesktop::forget("mail");
        m.EncodeEmails = c.encode;
        m.SetURL(button, c.target);
        window.inputClick(button);
        runEvents();
        auto received = test::TestDesktop::recorded("mail");
        ASSERT_TRUE(received) << "the mail program never ran for " << c.target;
        EXPECT_EQ(*received, c.received + "\n");
    }
    EXPECT_FALSE(std::filesystem::exists(marker));
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(HyperlinkManagerTest, TraceWritesOnlyWithTheDebugSwitch)
{
    auto& m = start();
    test::CapturedDebugOutput debug;
    m.Trace("quiet");
    EXPECT_TRUE(debug.lines().empty());

    test::useCommandLine({ "/LVDebug" });
    m.Trace("loud   ");
    m.Trace(std::string(2000, 'x'));
    ASSERT_EQ(debug.lines().size(), 2u);
    EXPECT_EQ(debug.lines()[0], "Lantivo: loud");
    EXPECT_EQ(debug.lines()[1], "Lantivo: " + std::string(1023, 'x'));
}

} // namespace
} // namespace tvrn2
