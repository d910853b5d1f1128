#include "browser_host/WbEventHandler.h"
#include "tests/browser_host/BrowserPageFixture.h"
#include "tests/browser_host/DesktopBrowser.h"
#include "tests/support/gtk/OwnDisplay.h"
#include "tests/support/gtk/RealInput.h"

#include <algorithm>
#include <functional>
#include <utility>

namespace tvrn2 {
namespace {

using namespace std::chrono_literals;
using test::HttpRoute;
using test::runUntil;

// An application's browser: records every event with its texts and the
// hooks called, and answers with the action a test chooses.
class RecordingBrowser : public FeBrowser {
public:
    struct Seen {
        std::int32_t number;
        std::string p1, p2;
        friend bool operator==(const Seen&, const Seen&) = default;
        friend std::ostream& operator<<(std::ostream& out, const Seen& seen)
        {
            return out << seen.number << "(" << seen.p1 << "," << seen.p2 << ")";
        }
    };

    std::int32_t EventCallback(std::int32_t number, std::string_view p1, std::string_view p2,
        std::string_view p3, std::string_view p4, std::string_view p5, std::string_view p6,
        std::string_view p7) override
    {
        seen.push_back({ number, std::string(p1), std::string(p2) });
        all.push_back({ std::string(p1), std::string(p2), std::string(p3), std::string(p4), std::string(p5),
            std::string(p6), std::string(p7) });
        return answer ? answer(number, p2) : FeBrowser::EventCallback(number, p1, p2, p3, p4, p5, p6, p7);
    }
    void OnStatusTextChange(std::string_view text) override
    {
        hooks.push_back("status " + std::string(text));
    }
    void OnProgressChange(std::int32_t progress, std::int32_t maximum) override
    {
        hooks.push_back("progress " + std::to_string(progress) + "/" + std::to_string(maximum));
    }
    void OnCommandStateChange(std::int32_t command, std::int16_t enable) override
    {
        hooks.push_back("command " + std::to_string(command) + " " + std::to_string(enable));
    }
    void OnDownloadBegin() override { hooks.push_back("begin"); }
    void OnDownloadComplete() override { hooks.push_back("complete"); }
    void OnTitleChange(std::string_view text) override { hooks.push_back("title " + std::string(text)); }
    void OnPropertyChange(std::string_view name) override
    {
        hooks.push_back("property " + std::string(name));
    }
    void OnBeforeNavigate2(std::string_view url) override { hooks.push_back("before " + std::string(url)); }
    void OnNewWindow2() override { hooks.push_back("new window"); }
    std::uint8_t GoBack() override
    {
        commands.push_back("back");
        return FeBrowser::GoBack();
    }
    std::uint8_t GoForward() override
    {
        commands.push_back("forward");
        return FeBrowser::GoForward();
    }

    // The events without progress and pointer reports, whose number varies from run to run.
    std::vector<Seen> steady() const
    {
        std::vector<Seen> result;
        std::copy_if(seen.begin(), seen.end(), std::back_inserter(result), [](const Seen& s) {
            return s.number != BrowserEvent::ProgressChange && s.number != BrowserEvent::StatusTextChange;
        });
        return result;
    }
    bool saw(std::int32_t number) const
    {
        return std::any_of(seen.begin(), seen.end(), [&](const Seen& s) { return s.number == number; });
    }

    std::vector<Seen> seen;
    std::vector<std::array<std::string, 7>> all;
    std::vector<std::string> hooks;
    // The back and forward commands as they were called.
    std::vector<std::string> commands;
    std::function<std::int32_t(std::int32_t, std::string_view url)> answer;
};

TEST(BrowserEvents, EventNamesCoverTheTableAndNameUnknownNumbers)
{
    struct Case {
        std::int32_t number;
        const char* name;
    };
    FeBrowser browser;
    for (const Case& c : { Case { 250, "fe:WBEvt_BEFORENAVIGATE2" }, Case { 100, "fe:WBEvt_BEFORENAVIGATE" },
             Case { 225, "fe:WBEvt_PRINTTEMPLATEINSTANTIATION" }, Case { 266, "fe:WBEvt_WINDOWSETWIDTH" },
             Case { 103, "fe:WBEvt_QUIT" }, Case { 999, "UNKNOWN EVENT NUMBER 999" },
             Case { -5, "UNKNOWN EVENT NUMBER -5" }, Case { 0, "UNKNOWN EVENT NUMBER 0" } })
        EXPECT_EQ(browser.EventName(c.number), c.name);
    int named = 0;
    for (std::int32_t number = 0; number < 1000; ++number) {
        std::string name = browser.EventName(number);
        EXPECT_LE(name.size(), 40u);
        named += name.starts_with("fe:WBEvt_") ? 1 : 0;
    }
    EXPECT_EQ(named, 43);
}

TEST(BrowserEvents, InvokeReadsArgumentsByPositionAndCallsTheHooks)
{
    RecordingBrowser browser;
    WbEventHandler handler(&browser);
    std::string longText = std::string(255, 'a') + std::string(45, 'b');
    handler.Invoke(BrowserEvent::StatusTextChange, { JsValue::string(longText) });
    handler.Invoke(BrowserEvent::ProgressChange, { JsValue::number(40), JsValue::number(100) });
    handler.Invoke(BrowserEvent::CommandStateChange, { JsValue::number(2), JsValue::boolean(true) });
    handler.Invoke(BrowserEvent::TitleChange, { JsValue::string("Title   ") });
    handler.Invoke(BrowserEvent::PropertyChange, { JsValue::string("prop") });
    handler.Invoke(
        BrowserEvent::BeforeNavigate2, { JsValue::null(), JsValue::string("http://x/"), JsValue::number(9) });
    handler.Invoke(BrowserEvent::BeforeNavigate2, {});
    handler.Invoke(BrowserEvent::NewWindow2, { JsValue::string("ignored") });
    handler.Invoke(BrowserEvent::DocumentComplete, { JsValue::string("ignored") });
    handler.Invoke(BrowserEvent::ProgressChange, { JsValue::string("not a number") });
    // Named but never dispatched, and unknown.
    for (std::int32_t number : { 100, 101, 103, 107, 109, 110, 111, 200, 201, 204, 261, 999 })
        EXPECT_EQ(handler.Invoke(number, {}), 0);

    using Row = std::array<std::string, 7>;
    const std::vector<Row> expected { { std::string(255, 'a'), "", "", "", "", "", "" },
        { "40", "100", "", "", "", "", "" }, { "2", "-1", "", "", "", "", "" },
        { "Title", "", "", "", "", "", "" }, { "prop", "", "", "", "", "", "" },
        { "0", "http://x/", "0", "", "", "", "0" }, { "0", "", "0", "", "", "", "0" },
        { "", "", "", "", "", "", "" }, { "", "", "", "", "", "", "" }, { "0", "0", "", "", "", "", "" } };
    EXPECT_EQ(browser.all, expected);
    const std::vector<std::string> hooks { "status " + std::string(255, 'a'), "progress 40/100",
        "command 2 -1", "title Title", "property prop", "before http://x/", "before ", "new window",
        "progress 0/0" };
    EXPECT_EQ(browser.hooks, hooks);

    // Without an owner every event is ignored.
    handler.PARENTBROWSERADDRESS = nullptr;
    handler.Invoke(BrowserEvent::StatusTextChange, { JsValue::string("x") });
    EXPECT_EQ(browser.all.size(), expected.size());
}

TEST(BrowserEvents, EventCallbackTracesOnlyAtTheHighestLevelAndActionsAreTraced)
{
    RecordingBrowser browser;
    WbEventHandler handler(&browser);
    test::CapturedDebugOutput output;
    browser.DEBUGGING = 1;
    handler.Invoke(BrowserEvent::DocumentComplete, {});
    EXPECT_TRUE(output.lines().empty());

    browser.DEBUGGING = 2;
    std::int32_t action = 0;
    browser.answer = [&](std::int32_t, std::string_view) { return action; };
    struct Case {
        std::int32_t action;
        const char* line; // the action's own trace, or none
    };
    for (const Case& c : { Case { 0, nullptr }, Case { 1, "_EventCallback - Cancelling Navigation" },
             Case { 2, "_EventCallback - Cancelling navigation, then posting event:feCallback..." },
             Case { 3, "_EventCallback - Preventing new IE window from opening..." }, Case { 7, nullptr } }) {
        output.clear();
        action = c.action;
        EXPECT_EQ(handler.Invoke(BrowserEvent::BeforeNavigate2, { JsValue::null(), JsValue::string("u") }),
            c.action);
        std::vector<std::string> expected { "_EventCallback - Event: 250; fe:WBEvt_BEFORENAVIGATE2",
            "_EventCallback - vir meth returned " + std::to_string(c.action), "_EventCallback - Evt: 250" };
        if (c.line)
            expected.emplace_back(c.line);
        ASSERT_EQ(output.lines().size(), expected.size()) << "action " << c.action;
        for (std::size_t i = 0; i < expected.size(); ++i)
            EXPECT_TRUE(output.lines()[i].ends_with("feBrowser:" + expected[i] + "\r\n"))
                << output.lines()[i];
    }
}

TEST(BrowserEvents, ADerivedBrowserReplacesTheDispatcherTheNamesAndShellOpen)
{
    // Seen through the handler and through a plain browser reference, as
    // the library's own code sees a derived browser.
    class Renaming final : public RecordingBrowser {
    public:
        std::string EventName(std::int32_t number) override { return "mine " + std::to_string(number); }
        std::int32_t _EventCallback(std::int32_t number, std::string_view p1, std::string_view p2,
            std::string_view p3, std::string_view p4, std::string_view p5, std::string_view p6,
            std::string_view p7) override
        {
            dispatched.push_back(number);
            return FeBrowser::_EventCallback(number, p1, p2, p3, p4, p5, p6, p7);
        }
        void ShellOpen(std::string_view target) override { opened.emplace_back(target); }
        std::vector<std::int32_t> dispatched;
        std::vector<std::string> opened;
    };
    Renaming browser;
    WbEventHandler handler(&browser);
    test::CapturedDebugOutput output;
    browser.DEBUGGING = 2;
    handler.Invoke(BrowserEvent::TitleChange, { JsValue::string("Title") });
    EXPECT_EQ(browser.dispatched, std::vector<std::int32_t> { BrowserEvent::TitleChange });
    EXPECT_EQ(
        browser.seen, (std::vector<RecordingBrowser::Seen> { { BrowserEvent::TitleChange, "Title", "" } }));
    ASSERT_FALSE(output.lines().empty());
    EXPECT_TRUE(output.lines()[0].ends_with("feBrowser:_EventCallback - Event: 113; mine 113\r\n"))
        << output.lines()[0];

    FeBrowser& plain = browser;
    plain.ShellOpen("http://example.invalid/");
    EXPECT_EQ(browser.opened, std::vector<std::string> { "http://example.invalid/" });
}

using EventsTest = test::BrowserPageFixture<RecordingBrowser>;

TEST_F(EventsTest, ANavigationReportsItsEventsInOrder)
{
    ASSERT_TRUE(start(0));
    EXPECT_NE(browser.DISPWBEVENTHANDLER, 0);
    ASSERT_TRUE(runUntil([&] { return browser.saw(BrowserEvent::DocumentComplete); }))
        << "the first blank page completes";
    server.route("/first", test::htmlPage("First", "<a id='l' href='/second'>next</a>"));
    server.route("/second", test::htmlPage("Second", "s"));

    browser.seen.clear();
    browser.hooks.clear();
    browser.Load(server.url("/first"));
    ASSERT_TRUE(runUntil([&] {
        return browser.saw(BrowserEvent::DocumentComplete) && browser.saw(BrowserEvent::TitleChange);
    }));
    using Seen = RecordingBrowser::Seen;
    // The history changes as the page commits, just before the committed report.
    // The title comes from the page's parser on a channel of its own: after the
    // commit, and before or after the load's end as the engine happens to send it.
    std::vector<Seen> steady = browser.steady();
    const Seen title { 113, "First", "" };
    auto titleAt = std::ranges::find(steady, title);
    ASSERT_NE(titleAt, steady.end()) << ::testing::PrintToString(steady);
    EXPECT_EQ(std::ranges::count(steady, title), 1);
    EXPECT_GT(titleAt - steady.begin(), 3)
        << "the title follows the commit: " << ::testing::PrintToString(steady);
    steady.erase(titleAt);
    const std::vector<Seen> first { { BrowserEvent::BeforeNavigate2, "0", server.url("/first") },
        { BrowserEvent::DownloadBegin, "", "" }, { BrowserEvent::CommandStateChange, "2", "-1" },
        { BrowserEvent::NavigateComplete2, "", "" }, { BrowserEvent::DownloadComplete, "", "" },
        { BrowserEvent::DocumentComplete, "", "" } };
    EXPECT_EQ(steady, first);
    auto lastProgress = std::find_if(browser.seen.rbegin(), browser.seen.rend(),
        [](const Seen& s) { return s.number == BrowserEvent::ProgressChange; });
    ASSERT_NE(lastProgress, browser.seen.rend());
    EXPECT_EQ(*lastProgress, (Seen { BrowserEvent::ProgressChange, "100", "100" }));
    EXPECT_NE(std::find(browser.hooks.begin(), browser.hooks.end(), "before " + server.url("/first")),
        browser.hooks.end());

    // A link followed from the page, then back: forward becomes possible.
    browser.seen.clear();
    browser.webView()->scripts().run("document.getElementById('l').click()");
    ASSERT_TRUE(runUntil([&] { return browser.saw(BrowserEvent::DocumentComplete); }));
    browser.seen.clear();
    EXPECT_EQ(browser.GoBack(), 1);
    ASSERT_TRUE(runUntil([&] { return browser.saw(BrowserEvent::DocumentComplete); }));
    EXPECT_NE(std::find(browser.seen.begin(), browser.seen.end(),
                  Seen { BrowserEvent::CommandStateChange, "1", "-1" }),
        browser.seen.end());

    // A failing address.
    browser.seen.clear();
    server.stop();
    browser.Load(server.url("/gone"));
    ASSERT_TRUE(runUntil([&] { return browser.saw(BrowserEvent::NavigateError); }));
}

TEST_F(EventsTest, ADownloadReportsItsEventsInOrder)
{
    server.route(
        "/file.bin", HttpRoute { .contentType = "application/octet-stream", .body = std::string(4096, 'x') });
    ASSERT_TRUE(start(0));
    ASSERT_TRUE(runUntil([&] { return browser.saw(BrowserEvent::DocumentComplete); }));
    bool ended = false;
    browser.webView()->downloads().onEvent = [&](const DownloadEvent& event) {
        ended = ended || event.kind == DownloadEvent::Kind::Cancelled
            || event.kind == DownloadEvent::Kind::Failed || event.kind == DownloadEvent::Kind::Finished;
    };
    browser.seen.clear();
    browser.Load(server.url("/file.bin"));
    ASSERT_TRUE(runUntil([&] {
        return browser.saw(BrowserEvent::FileDownload) && browser.saw(BrowserEvent::DownloadComplete);
    }));
    // A later navigation is the marker: whatever the first load still had to
    // report comes before it.
    using Seen = RecordingBrowser::Seen;
    const Seen marker { 250, "0", server.url("/marker") };
    server.route("/marker", test::htmlPage("Marker", "m"));
    browser.Load(server.url("/marker"));
    ASSERT_TRUE(runUntil([&] { return std::ranges::find(browser.seen, marker) != browser.seen.end(); }));
    // The load ends as it turns into a download, and no document completes;
    // whether the download's start or the load's end is reported first is a race.
    std::vector<Seen> steady = browser.steady();
    steady.erase(std::ranges::find(steady, marker), steady.end());
    ASSERT_EQ(steady.size(), 4u) << ::testing::PrintToString(steady);
    EXPECT_EQ(steady[0], (Seen { BrowserEvent::BeforeNavigate2, "0", server.url("/file.bin") }));
    EXPECT_EQ(steady[1], (Seen { BrowserEvent::DownloadBegin, "", "" }));
    std::vector<std::int32_t> last { steady[2].number, steady[3].number };
    std::sort(last.begin(), last.end());
    EXPECT_EQ(
        last, (std::vector<std::int32_t> { BrowserEvent::DownloadComplete, BrowserEvent::FileDownload }));

    browser.webView()->downloads().cancelAll();
    ASSERT_TRUE(runUntil([&] { return ended; }));
}

TEST_F(EventsTest, ActionCodesStopNavigations)
{
    ASSERT_TRUE(start(0));
    const std::string startPage = "<a id='link' href='/blocked'>b</a>";
    ASSERT_TRUE(show("/start", "Start", startPage));
    server.route("/blocked", test::htmlPage("Blocked", "b"));
    std::int32_t navigation = 1;
    browser.answer = [&](std::int32_t number, std::string_view) {
        return number == BrowserEvent::BeforeNavigate2 ? navigation : 0;
    };

    // Proves that nothing was loaded: a navigation let through afterwards
    // reports its end only after whatever the stopped ones would have done.
    server.route("/marker", test::htmlPage("Marker", "m"));
    auto withEverythingLetThrough = [&](const std::function<bool()>& step) {
        const std::int32_t keptNavigation = std::exchange(navigation, 0);
        const bool done = step();
        navigation = keptNavigation;
        return done;
    };
    auto passMarker = [&] {
        return withEverythingLetThrough([&] {
            browser.Load(server.url("/marker"));
            return runUntil([&] { return browser.webView()->title() == "Marker"; });
        });
    };
    using Seen = RecordingBrowser::Seen;
    const Seen blocked { 250, "0", server.url("/blocked") };

    // 1 and 2 stop a navigation; 2 also posts one feCallback to the window.
    browser.Load(server.url("/blocked"));
    browser.webView()->scripts().run("document.getElementById('link').click()");
    ASSERT_TRUE(runUntil([&] { return std::ranges::count(browser.seen, blocked) == 2; }));
    ASSERT_TRUE(passMarker());
    EXPECT_EQ(std::ranges::count(browser.seen, blocked), 2);
    EXPECT_EQ(server.requests("/blocked"), 0);
    ASSERT_TRUE(withEverythingLetThrough([&] { return show("/start", "Start", startPage); }));
    std::size_t posted = window->pending(Event::FeCallback);
    navigation = 2;
    browser.Load(server.url("/blocked"));
    ASSERT_TRUE(runUntil([&] { return std::ranges::count(browser.seen, blocked) == 3; }));
    EXPECT_EQ(window->pending(Event::FeCallback), posted + 1);
    // The address the refused load showed for a moment goes back.
    EXPECT_TRUE(runUntil([&] { return browser.webView()->uri() == server.url("/start"); }));
    ASSERT_TRUE(passMarker());
    EXPECT_EQ(server.requests("/blocked"), 0);
    EXPECT_EQ(window->pending(Event::FeCallback), posted + 1);

    // Other answers let it through.
    navigation = 0;
    browser.Load(server.url("/blocked"));
    ASSERT_TRUE(runUntil([&] { return browser.webView()->title() == "Blocked"; }));
}

TEST_F(EventsTest, NewWindowsOpenInTheDesktopsBrowserUnlessTheCallerAnswers3)
{
    test::DesktopBrowser::forget();
    ASSERT_TRUE(start(0));
    ASSERT_TRUE(show("/start", "Start", "<a id='blank' target='_blank' href='/linked'>l</a>"));
    // A script's window.open and click count as the user's own.
    webkit_settings_set_javascript_can_open_windows_automatically(
        webkit_web_view_get_settings(browser.webView()->webKitView()), TRUE);
    std::int32_t newWindow = 3;
    browser.answer = [&](std::int32_t number, std::string_view) {
        return number == BrowserEvent::NewWindow2 ? newWindow : 0;
    };
    const struct {
        const char* how;
        std::string path;
        std::string script;
    } cases[] = {
        { "window.open", "/opened", "window.open('/opened')" },
        { "a link aimed at a new window", "/linked", "document.getElementById('blank').click()" },
    };
    auto newWindows = [&] {
        return std::ranges::count_if(browser.seen,
            [](const RecordingBrowser::Seen& s) { return s.number == BrowserEvent::NewWindow2; });
    };

    // 3: each reaches the caller and opens nowhere.
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        const auto before = newWindows();
        browser.webView()->scripts().run(c.script);
        ASSERT_TRUE(runUntil([&] { return newWindows() == before + 1; }));
    }
    // Any other answer: each opens in the desktop's browser, one after the
    // other. Any launch of a refused one would have started before them.
    newWindow = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        browser.webView()->scripts().run(c.script);
        EXPECT_TRUE(test::DesktopBrowser::waitFor(server.url(c.path)));
    }
    EXPECT_EQ(test::DesktopBrowser::opened(),
        (std::vector<std::string> { server.url("/opened"), server.url("/linked") }));
    EXPECT_EQ(newWindows(), 4);
    EXPECT_EQ(std::ranges::count(browser.hooks, "new window"), 4);
    // This view stays on its page.
    EXPECT_EQ(browser.webView()->title(), "Start");
    EXPECT_FALSE(browser.webView()->loading());
    EXPECT_EQ(server.requests("/opened") + server.requests("/linked"), 0);
}

TEST_F(EventsTest, ALoadOnAPageThatNeverAnswersReportsTheUsualEventsOnceThePageIsEnded)
{
    ASSERT_TRUE(start(0));
    // Once loaded, the page tells the server it goes into its endless
    // script, and from then on answers nothing.
    server.route("/looping", "");
    server.route("/next", test::htmlPage("Next", "n"));
    ASSERT_TRUE(show("/loop", "Looping",
        "<script>onload = () => setTimeout(() => { const r = new XMLHttpRequest(); "
        "r.open('GET', '/looping', false); r.send(); for (;;) { } })</script>"));
    ASSERT_TRUE(runUntil([&] { return server.requests("/looping") == 1; }));
    WebView* view = browser.webView();

    browser.seen.clear();
    EXPECT_EQ(browser.Load(server.url("/next")), 1);
    ASSERT_TRUE(runUntil([&] { return view->unresponsivePageBar().shown(); }));
    EXPECT_EQ(server.requests("/next"), 0);
    view->unresponsivePageBar().press(UnresponsivePageBar::Answer::EndPage);
    ASSERT_TRUE(runUntil([&] {
        return view->title() == "Next" && browser.saw(BrowserEvent::DocumentComplete) && !view->loading();
    }));
    EXPECT_EQ(server.requests("/next"), 1);

    // The ended page takes its title with it; then the load goes as any other.
    using Seen = RecordingBrowser::Seen;
    std::vector<Seen> events = browser.steady();
    EXPECT_EQ(std::erase(events, Seen { BrowserEvent::TitleChange, "Next", "" }), 1u)
        << ::testing::PrintToString(events);
    const std::vector<Seen> asUsual { { BrowserEvent::TitleChange, "", "" },
        { BrowserEvent::BeforeNavigate2, "0", server.url("/next") }, { BrowserEvent::DownloadBegin, "", "" },
        { BrowserEvent::NavigateComplete2, "", "" }, { BrowserEvent::DownloadComplete, "", "" },
        { BrowserEvent::DocumentComplete, "", "" } };
    EXPECT_EQ(events, asUsual);
}

TEST_F(EventsTest, KillClosesTheHandlerFirstAndNoEventFollows)
{
    ASSERT_TRUE(start(0));
    browser.DEBUGGING = 2;
    test::CapturedDebugOutput output;
    EXPECT_EQ(browser.Kill(0), 1);
    EXPECT_EQ(browser.DISPWBEVENTHANDLER, 0);
    std::vector<std::string> steps;
    for (const std::string& line : output.lines()) {
        for (const char* step : { "Closing EventHandler... -Cool", "dispose(WebBrowser2)",
                 "calling parent.KillOLE2 - done", "dispose(WbEh) -done" })
            if (line.find(step) != std::string::npos)
                steps.emplace_back(step);
    }
    const std::vector<std::string> order { "Closing EventHandler... -Cool", "dispose(WebBrowser2)",
        "calling parent.KillOLE2 - done", "dispose(WbEh) -done" };
    EXPECT_EQ(steps, order);

    // With callbacks disabled there is no handler to close.
    browser.seen.clear();
    ASSERT_TRUE(start(1));
    EXPECT_EQ(browser.DISPWBEVENTHANDLER, 0);
    output.clear();
    // The page's end is the marker: every event of its load would have come before.
    server.route("/none", test::htmlPage("None", "n"));
    browser.Load(server.url("/none"));
    ASSERT_TRUE(
        runUntil([&] { return browser.webView()->title() == "None" && !browser.webView()->loading(); }));
    EXPECT_TRUE(browser.seen.empty());
    EXPECT_EQ(browser.Kill(0), 1);
    for (const std::string& line : output.lines())
        EXPECT_EQ(line.find("EventHandler"), std::string::npos) << line;
}

// Real keys and mouse buttons, on an X server of the test's own.
class RealInputEventsTest : public EventsTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(test::useOwnDisplay());
        EventsTest::SetUp();
    }
};

TEST_F(RealInputEventsTest, KeysAndMouseButtonsGoBackAndForwardAsTheCommandsDo)
{
    ASSERT_TRUE(start(0));
    ASSERT_TRUE(show("/a", "A", "a"));
    ASSERT_TRUE(show("/b", "B", "b"));
    WebView* view = browser.webView();
    GtkWidget* page = GTK_WIDGET(view->webKitView());
    // Without a window manager the keyboard follows the pointer.
    test::movePointerOnto(page);
    gtk_widget_grab_focus(page);

    // One step through the history, and the events it reported, without
    // those whose number or place varies from run to run.
    using Seen = RecordingBrowser::Seen;
    auto step = [&](const std::function<void()>& act, const std::string& title) {
        browser.seen.clear();
        act();
        EXPECT_TRUE(runUntil([&] {
            return browser.saw(BrowserEvent::DocumentComplete) && view->title() == title && !view->loading();
        })) << "never reached "
            << title;
        std::vector<Seen> events = browser.steady();
        std::erase_if(events, [](const Seen& s) { return s.number == BrowserEvent::TitleChange; });
        return events;
    };
    struct Case {
        const char* input;
        bool back;
        std::function<void()> give;
    };
    const Case cases[] = {
        { "Alt+Left", true, [&] { test::pressKey(page, GDK_KEY_Left, GDK_KEY_Alt_L); } },
        { "Alt+Right", false, [&] { test::pressKey(page, GDK_KEY_Right, GDK_KEY_Alt_L); } },
        { "mouse button 8", true, [&] { test::clickWidget(page, 8); } },
        { "mouse button 9", false, [&] { test::clickWidget(page, 9); } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        const std::string from = c.back ? "B" : "A";
        const std::string to = c.back ? "A" : "B";
        auto command = [&] { c.back ? browser.GoBack() : browser.GoForward(); };
        auto undo = [&] { c.back ? browser.GoForward() : browser.GoBack(); };
        const std::vector<Seen> byCommand = step(command, to);
        ASSERT_FALSE(byCommand.empty());
        step(undo, from);

        const std::size_t commandsBefore = browser.commands.size();
        EXPECT_EQ(step(c.give, to), byCommand);
        const std::vector<std::string> called(
            browser.commands.begin() + commandsBefore, browser.commands.end());
        EXPECT_EQ(called, std::vector<std::string> { c.back ? "back" : "forward" });
    }
}

// The context menu shown on the screen, or null.
GtkWidget* shownMenu()
{
    GtkWidget* menu = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* window = windows; window; window = window->next) {
        GtkWidget* child = gtk_bin_get_child(GTK_BIN(window->data));
        if (child && GTK_IS_MENU(child) && gtk_widget_get_mapped(child))
            menu = child;
    }
    g_list_free(windows);
    return menu;
}

TEST_F(RealInputEventsTest, TheContextMenuOpensLinksInNewWindowsOnlyWhereTheyCanGo)
{
    test::DesktopBrowser::forget();
    ASSERT_TRUE(start(0));
    const std::string fill = "style='display:block;height:100vh'";
    ASSERT_TRUE(show("/web", "Web", "<a " + fill + " href='/linked'>web</a>"));
    WebView* view = browser.webView();
    GtkWidget* page = GTK_WIDGET(view->webKitView());
    // The entries as the menu offers them, after the view's own choice.
    std::vector<WebKitContextMenuAction> offered;
    g_signal_connect(view->webKitView(), "context-menu",
        G_CALLBACK(+[](WebKitWebView*, WebKitContextMenu* menu, GdkEvent*, WebKitHitTestResult*,
                        std::vector<WebKitContextMenuAction>* offered) {
            offered->clear();
            for (GList* item = webkit_context_menu_get_items(menu); item; item = item->next)
                offered->push_back(
                    webkit_context_menu_item_get_stock_action(WEBKIT_CONTEXT_MENU_ITEM(item->data)));
            return FALSE;
        }),
        &offered);
    auto rightClick = [&] {
        offered.clear();
        test::clickWidget(page, 3);
        return runUntil([&] { return !offered.empty() && shownMenu(); });
    };
    auto offers = [&](WebKitContextMenuAction action) { return std::ranges::count(offered, action) == 1; };

    // A web address: the entry reaches the caller and the desktop's browser.
    ASSERT_TRUE(rightClick());
    ASSERT_TRUE(offers(WEBKIT_CONTEXT_MENU_ACTION_OPEN_LINK));
    auto entry = std::ranges::find(offered, WEBKIT_CONTEXT_MENU_ACTION_OPEN_LINK_IN_NEW_WINDOW);
    ASSERT_NE(entry, offered.end());
    for (auto item = offered.begin(); item <= entry; ++item) {
        if (*item != WEBKIT_CONTEXT_MENU_ACTION_NO_ACTION) // separators take no key
            test::pressKey(page, GDK_KEY_Down);
    }
    test::pressKey(page, GDK_KEY_Return);
    EXPECT_TRUE(test::DesktopBrowser::waitFor(server.url("/linked")));
    EXPECT_TRUE(browser.saw(BrowserEvent::NewWindow2));
    EXPECT_EQ(view->title(), "Web");

    // An address no program of the desktop takes: no such entry.
    ASSERT_TRUE(runUntil([] { return !shownMenu(); }));
    ASSERT_TRUE(show("/script", "Script", "<a " + fill + " href='javascript:void 0'>script</a>"));
    ASSERT_TRUE(rightClick());
    EXPECT_TRUE(offers(WEBKIT_CONTEXT_MENU_ACTION_OPEN_LINK));
    EXPECT_FALSE(offers(WEBKIT_CONTEXT_MENU_ACTION_OPEN_LINK_IN_NEW_WINDOW));
    test::pressKey(page, GDK_KEY_Escape);
    EXPECT_TRUE(runUntil([] { return !shownMenu(); }));
    EXPECT_EQ(test::DesktopBrowser::opened(), std::vector<std::string> { server.url("/linked") });
}

TEST(BrowserEvents, EveryEventNumberHasItsNameAndNoOtherNumberHasOne)
{
    const struct {
        std::int32_t number;
        std::string name;
    } names[] = {
        { 100, "fe:WBEvt_BEFORENAVIGATE" },
        { 257, "fe:WBEvt_ONSTATUSBAR" },
        { 250, "fe:WBEvt_BEFORENAVIGATE2" },
        { 260, "fe:WBEvt_ONTHEATERMODE" },
        { 268, "fe:WBEvt_CLIENTTOHOSTWINDOW" },
        { 255, "fe:WBEvt_ONTOOLBAR" },
        { 105, "fe:WBEvt_COMMANDSTATECHANGE" },
        { 254, "fe:WBEvt_ONVISIBLE" },
        { 259, "fe:WBEvt_DOCUMENTCOMPLETE" },
        { 225, "fe:WBEvt_PRINTTEMPLATEINSTANTIATION" },
        { 106, "fe:WBEvt_DOWNLOADBEGIN" },
        { 226, "fe:WBEvt_PRINTTEMPLATETEARDOWN" },
        { 104, "fe:WBEvt_DOWNLOADCOMPLETE" },
        { 272, "fe:WBEvt_PRIVACYIMPACTEDSTATECHANGE" },
        { 270, "fe:WBEvt_FILEDOWNLOAD" },
        { 108, "fe:WBEvt_PROGRESSCHANGE" },
        { 200, "fe:WBEvt_FRAMEBEFORENAVIGATE" },
        { 112, "fe:WBEvt_PROPERTYCHANGE" },
        { 201, "fe:WBEvt_FRAMENAVIGATECOMPLETE" },
        { 269, "fe:WBEvt_SETSECURELOCKICON" },
        { 204, "fe:WBEvt_FRAMENEWWINDOW" },
        { 102, "fe:WBEvt_STATUSTEXTCHANGE" },
        { 101, "fe:WBEvt_NAVIGATECOMPLETE" },
        { 103, "fe:WBEvt_QUIT" },
        { 252, "fe:WBEvt_NAVIGATECOMPLETE2" },
        { 113, "fe:WBEvt_TITLECHANGE" },
        { 271, "fe:WBEvt_NAVIGATEERROR" },
        { 227, "fe:WBEvt_UPDATEPAGESTATUS" },
        { 107, "fe:WBEvt_NEWWINDOW" },
        { 111, "fe:WBEvt_WINDOWACTIVATE" },
        { 251, "fe:WBEvt_NEWWINDOW2" },
        { 263, "fe:WBEvt_WINDOWCLOSING" },
        { 261, "fe:WBEvt_ONADDRESSBAR" },
        { 109, "fe:WBEvt_WINDOWMOVE" },
        { 258, "fe:WBEvt_ONFULLSCREEN" },
        { 110, "fe:WBEvt_WINDOWRESIZE" },
        { 256, "fe:WBEvt_ONMENUBAR" },
        { 267, "fe:WBEvt_WINDOWSETHEIGHT" },
        { 253, "fe:WBEvt_ONQUIT" },
        { 264, "fe:WBEvt_WINDOWSETLEFT" },
        { 262, "fe:WBEvt_WINDOWSETRESIZABLE" },
        { 265, "fe:WBEvt_WINDOWSETTOP" },
        { 266, "fe:WBEvt_WINDOWSETWIDTH" },
    };
    ASSERT_EQ(std::size(names), 43u);
    FeBrowser browser;
    for (std::int32_t number = -1; number <= 1100; ++number) {
        auto named = std::find_if(
            std::begin(names), std::end(names), [number](const auto& row) { return row.number == number; });
        EXPECT_EQ(browser.EventName(number),
            named != std::end(names) ? named->name : "UNKNOWN EVENT NUMBER " + std::to_string(number));
    }
}

} // namespace
} // namespace tvrn2
