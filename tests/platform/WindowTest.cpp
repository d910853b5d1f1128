#include "platform/Window.h"

#include "platform/HeadlessEventLoop.h"
#include "platform/KeyCode.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace tvrn2 {
namespace {

using namespace std::chrono_literals;

class WindowTest : public ::testing::Test {
protected:
    WindowTest() { loop.setLimits(1h, 100'000); }

    // Runs the window, recording every event, until the handler or the runtime ends it.
    std::vector<WindowEvent> runRecording(
        Window& window, std::function<Dispatch(const WindowEvent&)> react = {})
    {
        std::vector<WindowEvent> seen;
        finished = window.run([&](const WindowEvent& e) {
            seen.push_back(e);
            return react ? react(e) : Dispatch::Default;
        });
        return seen;
    }

    HeadlessEventLoop loop;
    ScopedEventLoop installed { loop };
    bool finished { false };
};

TEST_F(WindowTest, ControlsAreNumberedInDeclarationOrderAndOverlaysTakeTheirOwnNumbers)
{
    Window window("Demo", { -1, -1, 200, 100 });
    EXPECT_EQ(window.add(ControlKind::Prompt, "?NAME:PROMPT", "Name:", { 4, 4, 0, 0 }), 1);
    EXPECT_EQ(window.add(ControlKind::Entry, "?NAME", "", { 40, 4, 100, 10 }), 2);
    auto& overlay = window.create(2801, ControlKind::Region, 0);
    EXPECT_EQ(window.add(ControlKind::Button, "?OK", "OK", { 4, 80, 40, 14 }), 3);
    EXPECT_EQ(&window.create(2801, ControlKind::Button), &overlay);
    EXPECT_EQ(window.controls(), (std::vector<int> { 1, 2, 3, 2801 }));
    EXPECT_EQ(window.byLabel("?ok"), 3);
    EXPECT_EQ(window.byLabel("?MISSING"), 0);
    EXPECT_EQ(window.control(4), nullptr);
    // An auto-sized prompt reads as a size that fits its text.
    EXPECT_EQ(window.control(1)->rect(), (Rect { 4, 4, 24, 10 }));
}

TEST_F(WindowTest, AlertedKeysFillSlotsOnceAndRaiseTheAlertEventInsteadOfTheKey)
{
    Window window;
    int entry = window.add(ControlKind::Entry, "?PATH");
    auto& c = *window.control(entry);
    EXPECT_TRUE(c.alert(KeyCode::Enter));
    EXPECT_TRUE(c.alert(KeyCode::Enter));
    c.setAlertKey(3, KeyCode::MouseLeft);
    EXPECT_TRUE(c.alert(KeyCode::Escape));
    EXPECT_EQ(c.alertKey(1), KeyCode::Enter);
    EXPECT_EQ(c.alertKey(2), KeyCode::Escape);
    EXPECT_EQ(c.alertKey(3), KeyCode::MouseLeft);
    c.unalert(KeyCode::Escape);
    EXPECT_EQ(c.alertKey(2), 0);
    EXPECT_EQ(c.alertKey(0), 0);
    EXPECT_EQ(c.alertKey(256), 0);
    for (int key = 1000; key < 1000 + Control::AlertSlots; ++key)
        c.alert(key);
    EXPECT_FALSE(c.alert(5000));

    window.open();
    EXPECT_TRUE(window.inputKey(entry, KeyCode::Enter));
    EXPECT_FALSE(window.inputKey(entry, 'A'));
    EXPECT_EQ(window.lastKeyCode(), 'A');
    window.post(Event::CloseWindow);
    auto seen = runRecording(window);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[1], (WindowEvent { Event::AlertKey, entry, KeyCode::Enter }));
    EXPECT_EQ(window.lastKeyCode(), KeyCode::Enter);
}

TEST_F(WindowTest, HandlerResultsDecideWhetherTheWindowClosesOrTheLoopIsLeft)
{
    Window window;
    int ok = window.add(ControlKind::Button, "?OK", "OK");
    window.open();
    window.inputClick(ok, KeyCode::MouseLeft);
    window.post(Event::CloseWindow);
    window.post(Event::CloseWindow);
    int closes = 0;
    int fieldSeenInHandler = -1;
    auto seen = runRecording(window, [&](const WindowEvent& e) {
        if (e.event == Event::Accepted) {
            fieldSeenInHandler = window.field();
            EXPECT_EQ(window.event(), Event::Accepted);
            EXPECT_EQ(window.lastKeyCode(), KeyCode::MouseLeft);
        }
        // The first close is refused by skipping the runtime's handling.
        if (e.event == Event::CloseWindow && ++closes == 1)
            return Dispatch::Skip;
        return Dispatch::Default;
    });
    EXPECT_TRUE(finished);
    EXPECT_EQ(fieldSeenInHandler, ok);
    EXPECT_EQ(closes, 2);
    EXPECT_FALSE(window.isOpen());
    EXPECT_EQ(seen.front().event, Event::OpenWindow);
    EXPECT_EQ(window.event(), Event::None);

    Window second;
    second.open();
    second.post(Event::Timer);
    auto left = runRecording(second, [](const WindowEvent&) { return Dispatch::Leave; });
    EXPECT_EQ(left.size(), 1u); // leaving ends the loop at once; the window stays open
    EXPECT_TRUE(second.isOpen());
    EXPECT_EQ(second.pending(), 1u);
}

TEST_F(WindowTest, TimerTicksInHundredthsAndNeverReentersItsHandler)
{
    Window window;
    window.setTimer(1000);
    int depth = 0;
    int maxDepth = 0;
    std::vector<std::chrono::milliseconds> ticks;
    runRecording(window, [&](const WindowEvent& e) {
        if (e.event != Event::Timer)
            return Dispatch::Default;
        ticks.push_back(loop.now());
        ++depth;
        maxDepth = std::max(depth, maxDepth);
        if (ticks.size() == 1) {
            // A nested wait inside the handler, as a modal box runs one:
            // three ticks fall due and must neither re-enter nor pile up.
            loop.advance(35s);
            EXPECT_EQ(window.pending(), 1u);
        }
        --depth;
        if (ticks.size() == 3)
            window.setTimer(0);
        if (ticks.size() == 3)
            window.post(Event::CloseWindow);
        return Dispatch::Default;
    });
    EXPECT_TRUE(finished);
    EXPECT_EQ(maxDepth, 1);
    EXPECT_EQ(ticks, (std::vector<std::chrono::milliseconds> { 10s, 45s, 50s }));
    EXPECT_FALSE(window.isOpen());
}

TEST_F(WindowTest, HeldEventsWaitAndThenRunInOrder)
{
    Window window;
    int button = window.add(ControlKind::Button, "?B", "B");
    window.open();
    std::vector<WindowEvent> seen;
    auto holdAndPost = [&] {
        {
            EventHold hold(window);
            window.inputClick(button);
            loop.pump();
            EXPECT_EQ(seen.size(), 1u); // only the open event got through
            {
                EventHold everyWindow;
                window.releaseEvents(); // the program-wide hold still stands
                loop.pump();
                EXPECT_EQ(seen.size(), 1u);
                window.holdEvents();
            }
            loop.pump();
            EXPECT_EQ(seen.size(), 1u);
        }
        window.post(Event::CloseWindow);
    };
    bool finishedRun = window.run([&](const WindowEvent& e) {
        seen.push_back(e);
        if (e.event == Event::OpenWindow)
            loop.post(holdAndPost);
        return Dispatch::Default;
    });
    EXPECT_TRUE(finishedRun);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[1].event, Event::Accepted);
    EXPECT_EQ(seen[2].event, Event::CloseWindow);

    // A hold that outlives its window is harmless.
    auto gone = std::make_unique<Window>();
    EventHold stale(*gone);
    gone.reset();
}

TEST_F(WindowTest, InputForControlsThatTakeNoneIsDropped)
{
    Window window;
    int group = window.add(ControlKind::Region, "?GROUP");
    int entry = window.add(ControlKind::Entry, "?E");
    int prompt = window.add(ControlKind::Prompt, "?P", "Prompt");
    int region = window.add(ControlKind::Region, "?R");
    int button = window.add(ControlKind::Button, "?B", "B");
    window.control(entry)->setParent(group);
    window.open();

    window.control(group)->setDisabled(true);
    EXPECT_FALSE(window.inputClick(entry));
    EXPECT_FALSE(window.inputScreenText(entry, "typed"));
    window.control(group)->setDisabled(false);
    EXPECT_TRUE(window.inputScreenText(entry, "typed"));
    EXPECT_EQ(window.control(entry)->screenText(), "typed");

    window.control(button)->setHidden(true);
    EXPECT_FALSE(window.inputClick(button));
    EXPECT_FALSE(window.inputMouse(prompt, Event::MouseIn, 5, 6));
    EXPECT_EQ(window.mouseX(), 5);
    EXPECT_FALSE(window.inputMouse(region, Event::MouseIn, 5, 6));
    window.control(region)->setImmediate(true);
    EXPECT_TRUE(window.inputMouse(region, Event::MouseIn, 5, 6));
    EXPECT_TRUE(window.inputMouse(region, Event::MouseMove, 7, 6));
    EXPECT_TRUE(window.inputMouse(region, Event::MouseMove, 8, 6)); // folded into the waiting move
    EXPECT_EQ(window.mouseX(), 8);
    window.post(Event::CloseWindow);
    auto seen = runRecording(window);
    std::vector<WindowEvent> expected { { Event::OpenWindow, 0, -1 }, { Event::MouseIn, region, -1 },
        { Event::MouseMove, region, -1 }, { Event::CloseWindow, 0, -1 } };
    EXPECT_EQ(seen, expected);
}

TEST_F(WindowTest, BoundVariablesGoToTheScreenAndBack)
{
    std::string path = "/tmp/first";
    Window window;
    int entry = window.add(ControlKind::Entry, "?PATH", "@s255");
    window.control(entry)->setMaxLength(8);
    window.control(entry)->bind([&] { return path; }, [&](const std::string& value) { path = value; });
    window.display();
    EXPECT_EQ(window.control(entry)->screenText(), "/tmp/fir");
    EXPECT_EQ(window.control(entry)->text(), "@s255");
    window.open();
    window.inputScreenText(entry, "/home");
    EXPECT_EQ(path, "/tmp/first");
    window.update(entry);
    EXPECT_EQ(path, "/home");
}

TEST_F(WindowTest, AnEntryBeingEditedKeepsItsTextUntilLeftOrAccepted)
{
    // How the entry is completed: focus to another control, focus to nothing
    // of the window's (an embedded browser), or Enter.
    struct Case {
        const char* how;
        int focusTo; // -1: Enter instead of a focus change
        bool selects;
    };
    for (const Case& c : { Case { "another control", 2, true }, Case { "outside the controls", 0, false },
             Case { "Enter", -1, false } }) {
        SCOPED_TRACE(c.how);
        std::string path = "/old";
        Window window;
        int entry = window.add(ControlKind::Entry, "?PATH");
        int button = window.add(ControlKind::Button, "?B", "B");
        ASSERT_EQ(button, 2);
        window.control(entry)->bind([&] { return path; }, [&](const std::string& value) { path = value; });
        window.open();
        window.display();
        EXPECT_TRUE(window.inputFocus(entry));
        window.inputScreenText(entry, "/typed");
        EXPECT_TRUE(window.control(entry)->editing());

        // A redisplay, as on regaining the focus, leaves the typed text alone.
        path = "/changed by the program";
        window.display();
        EXPECT_EQ(window.control(entry)->screenText(), "/typed");

        if (c.focusTo >= 0)
            EXPECT_TRUE(window.inputFocus(c.focusTo));
        else
            EXPECT_TRUE(window.inputClick(entry, KeyCode::Enter));
        EXPECT_EQ(path, "/changed by the program") << "nothing is taken before the event is handled";
        std::string pathWhenAccepted;
        window.post(Event::CloseWindow);
        auto seen = runRecording(window, [&](const WindowEvent& e) {
            if (e.event == Event::Accepted)
                pathWhenAccepted = path;
            return Dispatch::Default;
        });
        std::vector<WindowEvent> expected { { Event::OpenWindow, 0, -1 }, { Event::Selected, entry, -1 },
            { Event::Accepted, entry, c.focusTo >= 0 ? -1 : KeyCode::Enter } };
        if (c.selects)
            expected.push_back({ Event::Selected, button, -1 });
        expected.push_back({ Event::CloseWindow, 0, -1 });
        EXPECT_EQ(seen, expected);
        EXPECT_EQ(pathWhenAccepted, "/typed");
        EXPECT_FALSE(window.control(entry)->editing());

        // Completed, the entry shows its variable again.
        path = "/next";
        window.display();
        EXPECT_EQ(window.control(entry)->screenText(), "/next");
    }

    // Leaving an entry nobody changed accepts nothing.
    Window window;
    int entry = window.add(ControlKind::Entry, "?E");
    int button = window.add(ControlKind::Button, "?B", "B");
    window.open();
    window.inputFocus(entry);
    window.inputFocus(button);
    window.post(Event::CloseWindow);
    auto seen = runRecording(window);
    EXPECT_EQ(std::count_if(
                  seen.begin(), seen.end(), [](const WindowEvent& e) { return e.event == Event::Accepted; }),
        0);
}

TEST_F(WindowTest, ALoopWithNothingLeftToDoGivesUpInsteadOfHanging)
{
    Window window;
    auto seen = runRecording(window);
    EXPECT_FALSE(finished);
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_TRUE(window.isOpen());

    // A handler that keeps itself busy forever hits the step limit.
    loop.setLimits(1h, 1000);
    runRecording(window, [&](const WindowEvent&) {
        window.post(Event::FeCallback);
        return Dispatch::Default;
    });
    EXPECT_FALSE(finished);
}

class RecordingView final : public WindowView {
public:
    explicit RecordingView(std::vector<std::string>& log)
        : m_log(log)
    {
        m_log.push_back("created");
    }
    ~RecordingView() override { m_log.push_back("destroyed"); }
    void windowChanged(WindowProperty p) override { m_log.push_back("window " + std::to_string(int(p))); }
    void controlChanged(int control, ControlProperty p) override
    {
        m_log.push_back("control " + std::to_string(control) + " " + std::to_string(int(p)));
    }
    void beep() override { m_log.push_back("beep"); }

private:
    std::vector<std::string>& m_log;
};

class RecordingFactory final : public WindowViewFactory {
public:
    std::unique_ptr<WindowView> createView(Window&) override { return std::make_unique<RecordingView>(log); }
    std::vector<std::string> log;
};

TEST_F(WindowTest, AnOpenWindowTellsItsViewEveryChangeOnce)
{
    RecordingFactory factory;
    ScopedWindowViewFactory installed { factory };
    {
        Window window;
        int b = window.add(ControlKind::Button, "?B", "B");
        window.control(b)->setText("Before"); // no view yet
        window.open();
        window.control(b)->setText("After");
        window.control(b)->setText("After");
        window.control(b)->setFontStyle(FontStyle::Bold | FontStyle::Underline);
        window.setCaption("Caption");
        window.beep();
        window.close();
        window.control(b)->setText("Closed");
    }
    std::vector<std::string> expected { "created", "control 1 0", "control 1 4", "window 0", "beep",
        "destroyed" };
    EXPECT_EQ(factory.log, expected);
}

} // namespace
} // namespace tvrn2
