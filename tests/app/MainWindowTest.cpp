#include "app/MainWindow.h"

#include "app/MainBrowser.h"
#include "app/MainLinks.h"
#include "framework/ErrorManager.h"
#include "framework/RegistryReader.h"
#include "hyperlink/LinkDesktop.h"
#include "platform/Dialogs.h"
#include "platform/HeadlessEventLoop.h"
#include "platform/KeyCode.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "platform/SystemInfo.h"
#include "platform/TextCase.h"
#include "platform/WaitCursor.h"
#include "tests/app/MainWindowFixture.h"
#include "tests/app/WindowScript.h"
#include "tests/support/TestSupport.h"

#include <deque>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <thread>

namespace tvrn2 {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Takes every launch the links hand to the desktop.
class RecordingDesktop final : public LinkDesktop {
public:
    int open(std::string_view target) const override
    {
        opened.emplace_back(target);
        return 42;
    }
    mutable std::vector<std::string> opened;
};

// Open-file dialogs answered from a script, remembering each request and the
// working directory it was shown in. An empty answer is a cancel.
class RecordingDialogs final : public Dialogs {
public:
    std::string openFile(const OpenFileRequest& request) override
    {
        requests.push_back(request);
        std::error_code ignored;
        folders.push_back(fs::current_path(ignored).string());
        std::string answer;
        if (!answers.empty()) {
            answer = answers.front();
            answers.pop_front();
        }
        if (!answer.empty())
            enterChosenFolder(answer, request.flags);
        return answer;
    }
    std::optional<Colour> chooseColour(const ColourRequest&) override { return std::nullopt; }

    std::deque<std::string> answers;
    std::vector<OpenFileRequest> requests;
    std::vector<std::string> folders;
};

class MainWindowTest : public test::MainWindowFixture {
protected:
    MainWindowTest()
    {
        settings.addresses = { "http://home.invalid/tvrn2tavrin.htm", "http://files.invalid/setup.exe",
            "mailto:\"Help\"%20<help@home.invalid>?subject=Tavrin%20Support" };
        loop.setLimits(std::chrono::hours(1), 200'000);
    }
    void TearDown() override
    {
        MainWindowFixture::TearDown();
        std::error_code ignored;
        fs::current_path(m_startFolder, ignored);
    }

    MainWindow& make() { return MainWindowFixture::make(&desktop); }

    // Runs the window to its end with the script driving it.
    void run(test::WindowScript& script)
    {
        script.start();
        main->Execute();
        EXPECT_TRUE(script.finished());
    }
    test::WindowScript script(std::chrono::milliseconds timeout = 60s)
    {
        return test::WindowScript(window(), 100ms, timeout);
    }

    HeadlessEventLoop loop;
    ScopedEventLoop scopedLoop { loop };
    RecordingDialogs dialogs;
    ScopedDialogs installedDialogs { dialogs };
    ScriptedMessageBoxes boxes;
    ScopedMessageBoxes installedBoxes { boxes };
    RecordingDesktop desktop;

private:
    fs::path m_startFolder = fs::current_path();
};

TEST_F(MainWindowTest, WindowAndControlsAreLaidOutInDeclarationOrder)
{
    struct Expected {
        int number;
        const char* label;
        ControlKind kind;
        const char* text;
        Rect rect;
    };
    const Expected table[] = {
        { 1, "?LOOKUPFILE", ControlKind::Button, "...", { 192, 236, 12, 12 } },
        { 2, "?FILECHECKSUM", ControlKind::String, "", { 210, 236, 0, 0 } },
        { 3, "?FEPATHSTRING", ControlKind::String, "Address:", { 10, 6, 34, 10 } },
        { 4, "?FEPATH", ControlKind::Entry, "", { 44, 6, 208, 10 } },
        { 5, "?FEFILELOOKUP", ControlKind::Button, "...", { 256, 6, 12, 10 } },
        { 6, "?VALIDSTRING", ControlKind::String, "** File Not Tested **", { 218, 254, 0, 0 } },
        { 7, "?FECONTROL", ControlKind::Container, "", { 8, 20, 384, 210 } },
        { 8, "?TAVRINSUPPORTBTN", ControlKind::Button, "Tavrin Support", { 134, 252, 70, 14 } },
        { 9, "?OKBUTTON", ControlKind::Button, "Download XP SP2 from Microsoft", { 4, 252, 122, 14 } },
        { 10, "?CSFILEPATH:PROMPT", ControlKind::Prompt, "XP SP2 File:", { 6, 236, 0, 0 } },
        { 11, "?CSFILEPATH", ControlKind::Entry, "", { 50, 236, 138, 10 } },
        { 12, "?CANCELBUTTON", ControlKind::Button, "Cancel", { 356, 252, 36, 14 } },
    };
    make();
    EXPECT_EQ(window().caption(),
        "XP SP2 Tavrin - Okelby & Associates, LLC. - http://www.okelby-associates.example");
    EXPECT_EQ(window().icon(), "~tvrn2tavrin.ico");
    EXPECT_EQ(window().rect(), (Rect { -1, -1, 397, 269 }));
    ASSERT_EQ(window().controls().size(), std::size(table));
    for (const auto& expected : table) {
        SCOPED_TRACE(expected.label);
        const Control* c = window().control(expected.number);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->label(), expected.label);
        EXPECT_EQ(c->kind(), expected.kind);
        EXPECT_EQ(c->text(), expected.text);
        EXPECT_EQ(c->requestedRect(), expected.rect);
    }
    EXPECT_EQ(window().control(MainWindow::FEFILELOOKUP)->tooltip(), "Lookup a fe file to view");
    EXPECT_EQ(window().control(MainWindow::FEPATH)->maxLength(), 255);
    EXPECT_EQ(window().control(MainWindow::CSFILEPATH)->maxLength(), 255);
}

TEST_F(MainWindowTest, OpensIdleOnTheHomePageAndEndsOnCancel)
{
    // The caller's own procedure name is there before the window and after it.
    errors.PushProcedure("Caller");
    make();
    auto s = script();
    s.step(
        "the window opened", [&] { return window().isOpen() && screen(MainWindow::FEPATH) != ""; },
        [&] {
            EXPECT_EQ(window().timer(), 0);
            EXPECT_EQ(text(MainWindow::VALIDSTRING), "** File Not Tested **");
            EXPECT_EQ(screen(MainWindow::FEPATH), settings.addresses.homePage);
            EXPECT_EQ(window().focus(), MainWindow::LOOKUPFILE);
            EXPECT_EQ(errors.CurrentProcedure(), "Main");
            EXPECT_EQ(MainWindow::programBrowser(), main->browser());
            EXPECT_TRUE(window().control(MainWindow::FEPATH)->alerted(KeyCode::Enter));
            // Both buttons are links with the hand cursor.
            EXPECT_EQ(main->links().ItemQ.size(), 2u);
            EXPECT_EQ(main->links().HandCursorToUse.clipped(), "~hand2.cur");
            EXPECT_TRUE(main->links().CheckURLs);
            window().inputClick(MainWindow::CANCELBUTTON, KeyCode::MouseLeft);
        });
    run(s);
    EXPECT_FALSE(window().isOpen());
    EXPECT_EQ(main->browser(), nullptr);
    EXPECT_EQ(MainWindow::programBrowser(), nullptr);
    EXPECT_EQ(errors.CurrentProcedure(), "Caller");
}

TEST_F(MainWindowTest, WatchGoesFromAwaitedToVerdictAndStartsAgain)
{
    const std::string good(5000, 'x');
    settings.target
        = { "setup.exe", static_cast<std::int64_t>(good.size()), toUpperAscii(test::Md5::of(good)) };
    const fs::path file = downloads / "setup.exe";
    make();
    auto s = script();
    int ticksSeen = 0;
    s.step(
         "the window opened", [&] { return window().isOpen(); },
         [&] { window().inputClick(MainWindow::OKBUTTON, KeyCode::Space); })
        .step(
            "the watch started", [&] { return window().timer() != 0; },
            [&] {
                EXPECT_EQ(window().timer(), 1000);
                EXPECT_EQ(text(MainWindow::VALIDSTRING), "*** Download in Progress ***");
                ticksSeen = 0;
            })
        // No file, then one a byte short: the watch keeps waiting.
        .step(
            "a tick with no file", [&] { return loop.now() >= 11s; },
            [&] {
                EXPECT_EQ(text(MainWindow::VALIDSTRING), "*** Download in Progress ***");
                EXPECT_EQ(window().timer(), 1000);
                EXPECT_EQ(main->verification().FILECHECKSUM().clipped(), "");
                EXPECT_EQ(filePath.clipped(), (downloads / "setup.exe").string());
                dir.write("downloads/setup.exe", good.substr(1));
            })
        .step(
            "a tick with a short file", [&] { return loop.now() >= 21s; },
            [&] {
                EXPECT_EQ(text(MainWindow::VALIDSTRING), "*** Download in Progress ***");
                EXPECT_EQ(window().timer(), 1000);
                dir.write("downloads/setup.exe", good);
            })
        .step(
            "the verdict", [&] { return window().timer() == 0; },
            [&] {
                EXPECT_EQ(text(MainWindow::VALIDSTRING), "XP Service Pack 2 file is valid!");
                EXPECT_EQ(screen(MainWindow::FILECHECKSUM), test::Md5::of(good));
                EXPECT_EQ(screen(MainWindow::CSFILEPATH), file.string());
                EXPECT_TRUE(fs::exists(file));
                EXPECT_FALSE(WaitCursor::shown());
                // Pressing again starts a new watch from any state.
                window().inputClick(MainWindow::OKBUTTON, KeyCode::Space);
            })
        .step(
            "the second watch started", [&] { return window().timer() != 0; },
            [&] {
                EXPECT_EQ(text(MainWindow::VALIDSTRING), "*** Download in Progress ***");
                dir.write("downloads/setup.exe", std::string(good.size(), 'y'));
            })
        .step(
            "the second verdict", [&] { return window().timer() == 0; },
            [&] {
                EXPECT_EQ(text(MainWindow::VALIDSTRING), "XP Service Pack 2 file is NOT valid!");
                EXPECT_EQ(screen(MainWindow::FILECHECKSUM), test::Md5::of(std::string(good.size(), 'y')));
                EXPECT_FALSE(fs::exists(file));
            });
    run(s);
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(MainWindowTest, LookupFileFillsThePathWithoutStartingACheck)
{
    const std::string chosen = (dir / "picked" / "WindowsXP-KB835935-SP2-ENU.exe").string();
    dir.write("picked/WindowsXP-KB835935-SP2-ENU.exe", "x");
    const std::string longPath = "/" + std::string(300, 'p');
    dialogs.answers = { chosen, "", longPath };
    make();
    const std::string start = fs::current_path().string();
    auto s = script();
    s.step(
         "the window opened", [&] { return window().isOpen(); },
         [&] { window().inputClick(MainWindow::LOOKUPFILE, KeyCode::MouseLeft); })
        .step(
            "a file was chosen", [&] { return dialogs.requests.size() == 1 && !filePath.blank(); },
            [&] {
                EXPECT_EQ(filePath.clipped(), chosen);
                EXPECT_EQ(screen(MainWindow::CSFILEPATH), chosen);
                EXPECT_EQ(window().timer(), 0);
                EXPECT_EQ(text(MainWindow::VALIDSTRING), "** File Not Tested **");
                EXPECT_EQ(fs::current_path().string(), start);
                window().inputClick(MainWindow::LOOKUPFILE, KeyCode::MouseLeft);
            })
        .step(
            "the dialog was cancelled", [&] { return dialogs.requests.size() == 2; },
            [&] {
                EXPECT_EQ(filePath.clipped(), "");
                EXPECT_EQ(screen(MainWindow::CSFILEPATH), "");
                window().inputClick(MainWindow::LOOKUPFILE, KeyCode::MouseLeft);
            })
        .step(
            "a long path was chosen", [&] { return dialogs.requests.size() == 3; },
            [&] { EXPECT_EQ(filePath.clipped(), longPath.substr(0, 255)); });
    run(s);
    ASSERT_EQ(dialogs.requests.size(), 3u);
    const OpenFileRequest& request = dialogs.requests[0];
    EXPECT_EQ(request.title, "XP SP2 File Selection");
    EXPECT_EQ(request.initialName, "WindowsXP-KB835935-SP2-ENU.exe");
    EXPECT_EQ(request.filters, "All Files|*.*");
    EXPECT_EQ(request.flags, FileFlag::LongNames);
}

TEST_F(MainWindowTest, LocalFileViewerRestoresTheAddressWhenCancelled)
{
    const fs::path page = dir.write("pages/page.htm", "<p>local</p>");
    dialogs.answers = { "", page.string(), "" };
    make();
    const std::string start = fs::current_path().string();
    auto s = script();
    s.step(
         "the window opened", [&] { return screen(MainWindow::FEPATH) != ""; },
         [&] { window().inputClick(MainWindow::FEFILELOOKUP, KeyCode::MouseLeft); })
        .step(
            "the viewer was cancelled", [&] { return dialogs.requests.size() == 1; },
            [&] {
                EXPECT_EQ(main->browser()->FE_PATH.clipped(), settings.addresses.homePage);
                EXPECT_EQ(screen(MainWindow::FEPATH), settings.addresses.homePage);
                EXPECT_EQ(fs::current_path().string(), start);
                window().inputClick(MainWindow::FEFILELOOKUP, KeyCode::MouseLeft);
            })
        .step(
            "a file was chosen", [&] { return dialogs.requests.size() == 2; },
            [&] {
                EXPECT_EQ(main->browser()->FE_PATH.clipped(), page.string());
                EXPECT_EQ(screen(MainWindow::FEPATH), page.string());
                EXPECT_EQ(main->browser()->FE_LASTPATH.clipped(), page.parent_path().string());
                EXPECT_EQ(fs::current_path().string(), start);
                window().inputClick(MainWindow::FEFILELOOKUP, KeyCode::MouseLeft);
            })
        .step(
            "the viewer was cancelled again", [&] { return dialogs.requests.size() == 3; },
            [&] { EXPECT_EQ(main->browser()->FE_PATH.clipped(), page.string()); });
    run(s);
    ASSERT_EQ(dialogs.requests.size(), 3u);
    const OpenFileRequest& request = dialogs.requests[0];
    EXPECT_EQ(request.title, "Choose File to View");
    EXPECT_EQ(request.initialName, "");
    EXPECT_EQ(request.filters, MainWindow::localFileFilters);
    EXPECT_EQ(request.flags, FileFlag::LongNames);
    // The viewer starts where the last file was chosen.
    EXPECT_EQ(dialogs.folders[0], start);
    EXPECT_EQ(dialogs.folders[2], page.parent_path().string());
}

TEST_F(MainWindowTest, EnterInTheAddressLineTakesTheTypedAddress)
{
    make();
    auto s = script();
    s.step(
         "the window opened", [&] { return screen(MainWindow::FEPATH) != ""; },
         [&] {
             window().inputScreenText(MainWindow::FEPATH, "http://typed.invalid/page.htm");
             // Typing alone changes nothing.
             EXPECT_EQ(main->browser()->FE_PATH.clipped(), settings.addresses.homePage);
             EXPECT_TRUE(window().inputKey(MainWindow::FEPATH, KeyCode::Enter));
         })
        .step("the address was taken",
            [&] { return main->browser()->FE_PATH.clipped() == "http://typed.invalid/page.htm"; });
    run(s);
}

TEST_F(MainWindowTest, AnAddressBeingTypedOutlivesARedisplayAndLeavingTheLineTakesIt)
{
    make();
    const std::string typed = "http://typed.invalid/left.htm";
    auto s = script();
    s.step(
         "the window opened", [&] { return screen(MainWindow::FEPATH) != ""; },
         [&] {
             window().inputFocus(MainWindow::FEPATH);
             window().inputScreenText(MainWindow::FEPATH, typed);
             window().inputWindowEvent(Event::LoseFocus);
             window().inputWindowEvent(Event::GainFocus);
         })
        .step(
            "the window came back", [&] { return window().pending(Event::GainFocus) == 0; },
            [&] {
                EXPECT_EQ(screen(MainWindow::FEPATH), typed);
                EXPECT_EQ(main->browser()->FE_PATH.clipped(), settings.addresses.homePage);
                window().inputFocus(MainWindow::OKBUTTON);
            })
        .step(
            "leaving the line took the address", [&] { return main->browser()->FE_PATH.clipped() == typed; });
    run(s);
}

TEST_F(MainWindowTest, OnlyALeftClickLaunchesALink)
{
    struct Case {
        const char* what;
        int control;
        int keyCode;
        bool launches;
    };
    const Case cases[] = {
        { "left click on support", MainWindow::TAVRINSUPPORTBTN, KeyCode::MouseLeft, true },
        { "shifted left click on support", MainWindow::TAVRINSUPPORTBTN, KeyCode::MouseLeft | KeyCode::Shift,
            true },
        { "space on support", MainWindow::TAVRINSUPPORTBTN, KeyCode::Space, false },
        { "enter on support", MainWindow::TAVRINSUPPORTBTN, KeyCode::Enter, false },
        // The download link goes to the window's own browser, never the desktop's.
        { "left click on download", MainWindow::OKBUTTON, KeyCode::MouseLeft, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        desktop.opened.clear();
        make();
        auto s = script();
        s.step(
             "the window opened", [&] { return window().isOpen(); },
             [&] { window().inputClick(c.control, c.keyCode); })
            .step("the click was handled", [&] { return window().pending() == 0; });
        run(s);
        if (c.launches)
            EXPECT_EQ(desktop.opened, std::vector<std::string> { settings.addresses.support });
        else
            EXPECT_TRUE(desktop.opened.empty());
    }
}

TEST_F(MainWindowTest, EventsAreTakenOnlyOnTheThreadThatOpenedTheWindow)
{
    make();
    std::uint32_t otherThread = 0;
    auto s = script();
    s.step(
         "the window opened and settled", [&] { return window().isOpen() && window().pending() == 0; },
         [&] {
             EXPECT_EQ(main->ownerThread(), currentThreadId());
             // A click on Cancel, delivered on another thread: the loop runs
             // there and hands the event to the window, which passes it over.
             // This thread waits meanwhile, so the two never share the loop.
             std::thread other([&] {
                 otherThread = currentThreadId();
                 window().inputClick(MainWindow::CANCELBUTTON, KeyCode::MouseLeft);
                 eventLoop().pump();
             });
             other.join();
             EXPECT_NE(otherThread, main->ownerThread());
             EXPECT_EQ(window().pending(), 0u) << "the click was delivered";
             EXPECT_TRUE(window().isOpen()) << "a click delivered on another thread closed the window";
         })
        // The same click on the window's own thread is taken.
        .act("click Cancel here", [&] { window().inputClick(MainWindow::CANCELBUTTON, KeyCode::MouseLeft); })
        .closes("Cancel closed the window");
    run(s);
    EXPECT_FALSE(window().isOpen());
}

// The addresses the program runs with. Host names are the program's own
// choice; the rest of each address is fixed: the scheme, the path, and for
// the support link the quoted display name, "%20", the mailbox in angle
// brackets and the subject.
TEST(MainAddressesTest, TheProgramShipsTheFixedAddresses)
{
    const MainAddresses shipped = MainSettings().addresses;
    const struct {
        const char* what;
        std::string address;
        const char* form;
    } table[] = {
        { "home page", shipped.homePage, R"(http://[A-Za-z0-9.-]+/tvrn2tavrin\.htm)" },
        { "installer", shipped.installer,
            R"(http://[A-Za-z0-9.-]+/download/1/6/5/165b076b-aaa9-443d-84f0-73cf11fdcdf8/WindowsXP-KB835935-SP2-ENU\.exe)" },
        { "support", shipped.support,
            R"(mailto:"[^"]+"%20<[^<>@ ]+@[A-Za-z0-9.-]+>\?subject=Tavrin%20Support)" },
    };
    for (const auto& row : table)
        EXPECT_TRUE(std::regex_match(row.address, std::regex(row.form))) << row.what << ": " << row.address;
}

TEST(MainBrowserTest, BrowserFollowsItsPlaceholdersParentBetweenHiddenAndShown)
{
    HeadlessEventLoop loop;
    ScopedEventLoop scoped(loop);
    Window window("parent");
    int group = window.add(ControlKind::Region, "?GROUP", {}, { 0, 0, 100, 100 });
    int container = window.add(ControlKind::Container, "?BROWSER", {}, { 5, 5, 50, 50 });
    window.control(container)->setParent(group);
    MainBrowser browser(window, container);

    const struct {
        bool parentHidden;
        int hidden;
    } steps[] = { { false, 0 }, { true, 1 }, { true, 1 }, { false, 0 } };
    for (const auto& step : steps) {
        window.control(group)->setHidden(step.parentHidden);
        browser.TakeEvent();
        EXPECT_EQ(browser.CONTROLSETTOHIDDEN, step.hidden) << "parent hidden: " << step.parentHidden;
    }
}

} // namespace
} // namespace tvrn2
