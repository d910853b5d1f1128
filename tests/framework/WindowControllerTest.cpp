#include "framework/WindowController.h"

#include "platform/HeadlessEventLoop.h"
#include "platform/KeyCode.h"

#include <gtest/gtest.h>

namespace tvrn2 {
namespace {

using namespace std::chrono_literals;

// Records what each slot saw and lets a test script the results.
class ScriptedController : public WindowController {
public:
    using WindowController::WindowController;

    int Init() override
    {
        int result = WindowController::Init();
        if (result == 0 && initResult == 0) {
            window().open();
            if (setUp)
                setUp();
        }
        return result ? result : initResult;
    }
    int OnAccepted() override
    {
        log.push_back("accepted " + std::to_string(window().field()));
        return acceptedResult ? acceptedResult : WindowController::OnAccepted();
    }
    int OnClose() override
    {
        log.push_back("close");
        return closeResults.empty() ? WindowController::OnClose() : takeFront(closeResults);
    }
    int OnFieldEvent() override
    {
        log.push_back("field " + std::to_string(static_cast<int>(window().event())));
        return 0;
    }
    int OnWindowEvent() override
    {
        log.push_back("window " + std::to_string(static_cast<int>(window().event())));
        return WindowController::OnWindowEvent();
    }
    void RecallField(int control) override
    {
        recalled.push_back(control);
        WindowController::RecallField(control);
    }
    int AcceptsEvent() override { return accepts; }

    std::function<void()> setUp;
    std::vector<std::string> log;
    std::vector<int> recalled;
    std::vector<int> closeResults;
    int acceptedResult { 0 };
    int initResult { 0 };
    int accepts { 1 };

private:
    static int takeFront(std::vector<int>& values)
    {
        int value = values.front();
        values.erase(values.begin());
        return value;
    }
};

class RecordingComponent : public WindowComponent {
public:
    int TakeEvent() override
    {
        ++events;
        return result;
    }
    bool ResetRequired() override { return needsReset; }
    void Reset(bool force) override { resets.push_back(force); }
    void SetAlerts() override { ++alerts; }
    void Kill() override { ++kills; }

    int result { 0 };
    bool needsReset { false };
    int events { 0 };
    int alerts { 0 };
    int kills { 0 };
    std::vector<bool> resets;
};

class WindowControllerTest : public ::testing::Test {
protected:
    WindowControllerTest()
    {
        loop.setLimits(1h, 10'000);
        ok = window.add(ControlKind::Button, "?OK", "OK");
        entry = window.add(ControlKind::Entry, "?NAME");
    }

    HeadlessEventLoop loop;
    ScopedEventLoop installed { loop };
    Window window { "Test", {}, loop };
    int ok { 0 };
    int entry { 0 };
};

TEST_F(WindowControllerTest, AButtonWithAResponseEndsTheWindowWithIt)
{
    ScriptedController controller(window);
    controller.setUp = [&] {
        controller.AddButton(ok, 7);
        window.inputClick(ok);
    };
    EXPECT_EQ(controller.Execute(), 7);
    EXPECT_EQ(controller.DEAD, 1);
    EXPECT_FALSE(window.isOpen());
    EXPECT_EQ(controller.CL, nullptr);
    std::vector<std::string> expected { "window 515", "accepted 1", "window 513", "close" };
    EXPECT_EQ(controller.log, expected);
}

TEST_F(WindowControllerTest, InitSetsTheDefaultsAndARefusingInitSkipsTheLoopButNotKill)
{
    ScriptedController controller(window);
    controller.REQUEST = 2;
    controller.initResult = 4;
    EXPECT_EQ(controller.Execute(), WindowController::RequestCancelled);
    EXPECT_TRUE(controller.log.empty());
    EXPECT_EQ(controller.DEAD, 1);
    EXPECT_EQ(controller.ORIGINALREQUEST, 2);
    EXPECT_EQ(controller.INSERTACTION, 2);
    EXPECT_EQ(controller.DELETEACTION, 2);
    EXPECT_EQ(controller.CHANGEACTION, 1);
    EXPECT_EQ(controller.CANCELACTION, 3);
    EXPECT_EQ(controller.AUTOREFRESH, 1);
    EXPECT_EQ(controller.AUTOTOOLBAR, 1);

    // Only a right click is cleared from the last key code.
    for (auto [key, after] : { std::pair { KeyCode::MouseRight, 0 }, std::pair { KeyCode::MouseRightUp, 0 },
             std::pair { KeyCode::MouseLeft, KeyCode::MouseLeft },
             std::pair { KeyCode::Enter, KeyCode::Enter } }) {
        Window other;
        other.setLastKeyCode(key);
        WindowController plain(other);
        plain.Init();
        EXPECT_EQ(other.lastKeyCode(), after) << key;
    }
}

TEST_F(WindowControllerTest, OnlyTheSecondAndLaterSizeEventsRedisplay)
{
    ScriptedController controller(window);
    RecordingComponent component;
    controller.setUp = [&] {
        controller.AddItem(component);
        controller.RESETONGAINFOCUS = 1;
        window.inputWindowEvent(Event::Sized);
        window.post(Event::FeCallback); // keeps the two size events apart
        window.inputWindowEvent(Event::Sized);
        window.inputWindowEvent(Event::LoseFocus);
        window.inputWindowEvent(Event::GainFocus);
        window.post(Event::CloseWindow);
    };
    controller.Execute();
    // Open shows the window once; the first size event only records itself;
    // the second redisplays; focus regained after a loss forces one.
    EXPECT_EQ(component.resets, (std::vector<bool> { false, false, true }));
    EXPECT_EQ(controller.INITED, WindowController::Shown | WindowController::FirstSizeSeen);
    EXPECT_EQ(controller.FORCEDRESET, 0);
    EXPECT_EQ(component.kills, 1);
}

TEST_F(WindowControllerTest, RedisplayWaitsWhileTheWindowTakesAllValues)
{
    ScriptedController controller(window);
    RecordingComponent component;
    controller.Init();
    controller.AddItem(component);
    controller.FORCEDRESET = 1;
    window.setAcceptAll(true);
    controller.Redisplay(false);
    EXPECT_TRUE(component.resets.empty());
    EXPECT_EQ(controller.FORCEDRESET, 1);
    window.setAcceptAll(false);
    controller.Redisplay(false);
    EXPECT_EQ(component.resets, std::vector<bool> { true });
    controller.Kill();
}

TEST_F(WindowControllerTest, TheHistoryKeyRecallsOnlyWhenSetAndPressed)
{
    struct Case {
        int historyKey;
        int pressed;
        bool recalls;
    };
    const Case cases[] = {
        { 0, 0, false }, // with no history key nothing ever recalls
        { KeyCode::F1 + 2, KeyCode::F1 + 2, true },
        { KeyCode::F1 + 2, KeyCode::F1 + 3, false },
    };
    for (const auto& c : cases) {
        Window form("Form", {}, loop);
        int name = form.add(ControlKind::Entry, "?NAME");
        ScriptedController controller(form);
        controller.setUp = [&] {
            controller.HISTORYKEY = c.historyKey;
            controller.AddHistoryField(name, "previous");
            controller.RegisterAlertKeys();
            form.select(name);
            form.inputScreenText(name, "typed");
            form.post(Event::AlertKey, name, c.pressed);
            form.post(Event::CloseWindow);
        };
        controller.Execute();
        EXPECT_EQ(form.control(name)->screenText(), c.recalls ? "previous" : "typed") << c.pressed;
        EXPECT_EQ(controller.recalled.size(), c.recalls ? 1u : 0u) << c.pressed;
        EXPECT_EQ(form.control(name)->alerted(KeyCode::F1 + 2), c.historyKey != 0);
    }
}

TEST_F(WindowControllerTest, LevelFiveSkipsTheRuntimesHandlingAndLevelThreeEndsTheWindow)
{
    ScriptedController refusing(window);
    refusing.closeResults = { WindowController::LevelSkip, 0 };
    refusing.setUp = [&] {
        window.post(Event::CloseWindow);
        window.post(Event::CloseWindow);
    };
    refusing.Init();
    refusing.EventLoop();
    // The first close was skipped, so the window stayed for the second.
    EXPECT_EQ(std::count(refusing.log.begin(), refusing.log.end(), "close"), 2);
    EXPECT_FALSE(window.isOpen());
    refusing.Kill();

    Window second("Second", {}, loop);
    int button = second.add(ControlKind::Button, "?B", "B");
    ScriptedController leaving(second);
    leaving.acceptedResult = WindowController::LevelLeave;
    leaving.setUp = [&] {
        second.inputClick(button);
        second.post(Event::FeCallback);
    };
    leaving.Init();
    leaving.EventLoop();
    EXPECT_TRUE(second.isOpen());
    EXPECT_EQ(second.pending(Event::FeCallback), 1u); // the loop ended before it
    EXPECT_EQ(leaving.Kill(), 0);
    EXPECT_FALSE(second.isOpen());
    EXPECT_EQ(leaving.RESPONSE, 0);
}

TEST_F(WindowControllerTest, KillRunsOnceThenAnswersFive)
{
    ScriptedController controller(window);
    EXPECT_EQ(controller.Kill(), WindowController::LevelSkip); // nothing made yet
    RecordingComponent component;
    int handedBack = 0;
    controller.Init();
    controller.AddItem(component);
    controller.FILES = std::make_unique<std::vector<WindowController::FileUse>>();
    controller.FILES->push_back({ "a", [&] { ++handedBack; } });
    controller.PRIMARY = WindowController::FileUse { "p", [&] { ++handedBack; } };
    EXPECT_EQ(controller.Kill(), 0);
    EXPECT_EQ(controller.Kill(), WindowController::LevelSkip);
    EXPECT_EQ(component.kills, 1);
    EXPECT_EQ(handedBack, 2);
    EXPECT_EQ(controller.DEAD, 1);
    EXPECT_EQ(controller.BUTTONS, nullptr);
    // A dead controller runs no loop.
    controller.EventLoop();
    EXPECT_TRUE(controller.log.empty());
}

TEST_F(WindowControllerTest, FieldHandlersComeBeforeComponentsAndTheFirstAnswerWins)
{
    ScriptedController controller(window);
    RecordingComponent first;
    RecordingComponent second;
    RecordingComponent third;
    second.result = 9;
    first.needsReset = true;
    controller.Init();
    controller.AddItem(first);
    controller.AddItem(second);
    controller.AddItem(third);
    window.open();
    int answer = -1;
    window.inputClick(ok);
    window.run([&](const WindowEvent& e) {
        if (e.event == Event::Accepted) {
            answer = controller.HandleEvent();
            return Dispatch::Leave;
        }
        return Dispatch::Default;
    });
    EXPECT_EQ(answer, 9);
    EXPECT_EQ(controller.log, (std::vector<std::string> { "accepted 1", "field 1" }));
    EXPECT_EQ(first.events, 1);
    EXPECT_EQ(second.events, 1);
    EXPECT_EQ(third.events, 0);
    EXPECT_TRUE(first.resets.empty()); // an answer ends the event before the refresh

    second.result = 0;
    controller.log.clear();
    window.post(Event::FeCallback);
    window.run([&](const WindowEvent&) {
        answer = controller.HandleEvent();
        return Dispatch::Leave;
    });
    EXPECT_EQ(answer, 0);
    EXPECT_EQ(controller.log, std::vector<std::string> { "window 1030" });
    EXPECT_EQ(first.resets.size(), 1u); // one redisplay however many components want one
    EXPECT_EQ(third.events, 1);
    controller.RegisterAlertKeys();
    EXPECT_EQ(third.alerts, 1);
    controller.Kill();
}

TEST_F(WindowControllerTest, RefusedEventsArePassedOverAndRejectedOnesBeepAndRefocus)
{
    ScriptedController controller(window);
    controller.accepts = 0;
    controller.setUp = [&] { window.post(Event::CloseWindow); };
    controller.Init();
    controller.EventLoop(); // nothing it accepts can end it; the headless loop gives up
    EXPECT_TRUE(controller.log.empty());
    EXPECT_TRUE(window.isOpen());

    controller.accepts = 1;
    window.post(Event::Rejected, entry);
    window.post(Event::CloseWindow);
    controller.EventLoop();
    EXPECT_EQ(window.beeps(), 1);
    EXPECT_EQ(window.focus(), entry);
    EXPECT_FALSE(window.isOpen());
    controller.Kill();
}

TEST_F(WindowControllerTest, EndWithCancelClearsThePendingNavigation)
{
    ScriptedController controller(window);
    controller.Init();
    window.open();
    controller.VCRREQUEST = 3;
    controller.EndWithResponse(1);
    EXPECT_TRUE(controller.VCRREQUEST.has_value());
    controller.EndWithResponse(WindowController::RequestCancelled);
    EXPECT_FALSE(controller.VCRREQUEST.has_value());
    EXPECT_EQ(controller.RESPONSE, WindowController::RequestCancelled);
    EXPECT_EQ(window.pending(Event::CloseWindow), 2u);
    controller.Kill();
}

} // namespace
} // namespace tvrn2
