#include "browser_host/FeBrowser.h"
#include "browser_host/FeProcess.h"
#include "browser_host/FeSiteObjects.h"
#include "platform/GObjectPtr.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "platform/Window.h"
#include "platform/gtk/GtkBackend.h"
#include "platform/gtk/GtkWindowView.h"
#include "platform/webkit/HostedWebView.h"
#include "platform/webkit/WebView.h"
#include "tests/browser_host/BrowserPageFixture.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/MainLoopWait.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <gtk/gtkunixprint.h>
#include <optional>

namespace tvrn2 {
namespace {

using namespace std::chrono_literals;
using test::htmlPage;
using test::HttpRoute;
using test::runUntil;

// A window on the screen with a browser over its container control, as
// the program's main window has one.
class FeBrowserGtkTest : public test::BrowserPageFixture<> {
protected:
    HostedWebView* hosted() const
    {
        auto* wrapper = siteObject<WebBrowser2>(browser.CORECONTROL);
        return wrapper ? wrapper->hosted() : nullptr;
    }

    ::testing::AssertionResult showsTitle(const std::string& title)
    {
        WebView* view = browser.webView();
        if (view && runUntil([&] { return view->title() == title && !view->loading(); }))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the page titled " << title << " never showed; title is "
                                             << (view ? view->title() : "(no view)");
    }
};

TEST_F(FeBrowserGtkTest, InitShowsThePageOverThePlaceholderAndLoadNavigates)
{
    server.route("/home", htmlPage("Home", "<p>welcome</p>"));
    server.route("/next", htmlPage("Next", "<p>next</p>"));
    server.route("/slow", HttpRoute { .body = htmlPage("Slow", "s"), .delay = 5s });

    ASSERT_EQ(browser.Init(server.url("/home"), placeholder, 0, 0, 1), 1);
    ASSERT_NE(browser.CORECONTROL, 0);
    ASSERT_TRUE(showsTitle("Home"));
    EXPECT_TRUE(window->control(placeholder)->hidden());
    ASSERT_NE(hosted(), nullptr);
    EXPECT_TRUE(hosted()->shown());
    EXPECT_EQ(hosted()->rect(), controlPixelRect(*window, placeholder));
    GtkAllocation allocation;
    ASSERT_TRUE(runUntil([&] {
        gtk_widget_get_allocation(browser.webView()->widget(), &allocation);
        return allocation.width == hosted()->rect().right - hosted()->rect().left;
    })) << "the view never got the placeholder's width";
    EXPECT_EQ(allocation.height, hosted()->rect().bottom - hosted()->rect().top);

    EXPECT_EQ(browser.Load(server.url("/next")), 1);
    EXPECT_EQ(browser.LASTLOADEDDOC, server.url("/next"));
    ASSERT_TRUE(showsTitle("Next"));
    EXPECT_EQ(browser.GoBack(), 1);
    ASSERT_TRUE(showsTitle("Home"));
    EXPECT_EQ(browser.GoForward(), 1);
    ASSERT_TRUE(showsTitle("Next"));
    EXPECT_EQ(browser.GoForward(), 0) << "nothing ahead";

    int requests = server.requests("/next");
    EXPECT_EQ(browser.RefreshPage(0), 1);
    ASSERT_TRUE(runUntil([&] { return server.requests("/next") == requests + 1; }));
    ASSERT_TRUE(showsTitle("Next"));
    EXPECT_EQ(browser.RefreshPage(3), 1);
    ASSERT_TRUE(runUntil([&] { return server.requests("/next") == requests + 2; }));
    EXPECT_EQ(server.lastHeaders("/next")["cache-control"], "no-cache");
    ASSERT_TRUE(showsTitle("Next"));

    // Reload loads the last document again: the server is asked once more,
    // and what the page was given since it loaded is gone.
    EXPECT_EQ(evaluate("document.title = 'Marked'"), "Marked");
    requests = server.requests("/next");
    browser.Reload();
    ASSERT_TRUE(runUntil([&] { return server.requests("/next") == requests + 1; }));
    ASSERT_TRUE(showsTitle("Next"));
    EXPECT_EQ(browser.LASTLOADEDDOC, server.url("/next"));

    browser.Load(server.url("/slow"));
    ASSERT_TRUE(runUntil([&] { return server.requests("/slow") == 1; }));
    EXPECT_EQ(browser.Stop(), 1);
    ASSERT_TRUE(runUntil([&] { return !browser.webView()->loading(); }, 3s));
    EXPECT_EQ(browser.webView()->title(), "Next");

    // An empty address shows a blank page and reports 0.
    EXPECT_EQ(browser.Load("   "), 0);
    EXPECT_EQ(browser.LASTLOADEDDOC, "about:blank");
    ASSERT_TRUE(runUntil([&] { return browser.webView()->uri() == "about:blank"; }));
}

TEST_F(FeBrowserGtkTest, LocalFilesLoadByTheAddressRules)
{
    home.write("site/local.htm", htmlPage("Local file", "<p>from disk</p>"));
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(home.path() / "site");
    ASSERT_EQ(browser.Init(std::nullopt, placeholder, 0, 0, 1), 1);
    EXPECT_EQ(browser.Load("local.htm"), 1);
    std::filesystem::current_path(previous);
    EXPECT_EQ(browser.LASTLOADEDDOC, "file://" + (home.path() / "site" / "local.htm").string());
    EXPECT_TRUE(showsTitle("Local file"));
}

TEST_F(FeBrowserGtkTest, HideResizeAndUnhideMoveTheView)
{
    ASSERT_EQ(browser.Init(std::nullopt, placeholder, 0, 0, 1), 1);
    ASSERT_NE(hosted(), nullptr);
    PixelRect placed = hosted()->rect();
    browser.HideControl();
    EXPECT_FALSE(hosted()->shown());
    browser.Resize(0, 1, 0, 0, 0, 0);
    EXPECT_FALSE(hosted()->shown()) << "a resize while hidden shows nothing";
    browser.UnhideControl();
    EXPECT_TRUE(hosted()->shown());
    EXPECT_EQ(hosted()->rect(), placed);
    browser.Resize(0, 1, 0, 0, -20, -30);
    EXPECT_EQ(
        hosted()->rect(), (PixelRect { placed.left, placed.top, placed.right - 20, placed.bottom - 30 }));
    browser.TakeFocus(0);
    EXPECT_TRUE(runUntil([&] { return hosted()->hasFocus(); }, 20s)) << "the view never took the focus";
}

TEST_F(FeBrowserGtkTest, DownloadsIntoTheRegistryDownloadDirectory)
{
    std::string body(512 * 1024, '\0');
    for (std::size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>(i * 31 % 251);
    server.route("/WindowsXP-KB835935-SP2-ENU.exe",
        HttpRoute { .contentType = "application/octet-stream", .body = body });
    auto folder = home.path() / "chosen downloads";
    ASSERT_EQ(browser.SetRegistryValue("HKEY_CURRENT_USER", "Software\\Microsoft\\Internet Explorer",
                  "Download Directory", folder.string()),
        0);

    ASSERT_EQ(browser.Init(std::nullopt, placeholder, 0, 0, 1), 1);
    std::vector<DownloadEvent::Kind> events;
    browser.webView()->downloads().onEvent
        = [&](const DownloadEvent& event) { events.push_back(event.kind); };
    EXPECT_EQ(browser.Load(server.url("/WindowsXP-KB835935-SP2-ENU.exe")), 1);
    DownloadBar& bar = *browser.webView()->downloadBar();
    ASSERT_TRUE(runUntil([&] {
        return bar.shown() && !bar.buttons().empty() && bar.buttons()[0] == DownloadBar::Button::Save;
    }));
    bar.press(DownloadBar::Button::Save);
    ASSERT_TRUE(runUntil([&] { return !events.empty() && events.back() == DownloadEvent::Kind::Finished; }));
    EXPECT_TRUE(test::TempDir::read(folder / "WindowsXP-KB835935-SP2-ENU.exe") == body);
}

TEST_F(FeBrowserGtkTest, DocumentBridgeSetsAnInputAndSurvivesAnAlert)
{
    server.route("/form",
        htmlPage("Form",
            "<input id='q' value='old'>"
            "<button id='b' onclick=\"alert('hi'); document.title = 'clicked'\">b</button>"));
    ASSERT_EQ(browser.Init(server.url("/form"), placeholder, 0, 0, 1), 1);
    ASSERT_TRUE(showsTitle("Form"));
    DocumentBridge* document = browser.get_Document();
    ASSERT_NE(document, nullptr);
    ObjectHandle root = document->document().value.toHandle();
    ObjectHandle input = document->invoke(root, "getElementById", { JsValue::string("q") }).value.toHandle();
    EXPECT_EQ(document->get(input, "value").value, JsValue::string("old"));
    ASSERT_TRUE(document->put(input, "value", JsValue::string("new")).ok());
    EXPECT_EQ(document->get(input, "value").value, JsValue::string("new"));

    bool windowEventsHeld = false;
    browser.webView()->scripts().onDialogAnswered
        = [&](const ScriptDialogSeen&) { windowEventsHeld = window->held(); };
    ObjectHandle button = document->invoke(root, "getElementById", { JsValue::string("b") }).value.toHandle();
    BridgeResult click = document->invoke(button, "click");
    ASSERT_TRUE(click.ok()) << click.message;
    EXPECT_TRUE(windowEventsHeld) << "the window's events wait while a call into the page runs";
    EXPECT_FALSE(window->held());
    EXPECT_EQ(document->get(root, "title").value, JsValue::string("clicked"));
}

// Answers every modal dialog that opens while it lives, noting each one as
// "type: title": Save As with a file name, Find with a text, every other one
// with Cancel. A dialog left open would hold the command forever.
class DialogAnswers {
public:
    DialogAnswers(std::filesystem::path saveAs, std::string find)
        : m_saveAs(std::move(saveAs))
        , m_find(std::move(find))
        , m_timer(g_timeout_add(50, &DialogAnswers::look, this))
    { }
    ~DialogAnswers() { g_source_remove(m_timer); }
    DialogAnswers(const DialogAnswers&) = delete;
    DialogAnswers& operator=(const DialogAnswers&) = delete;

    std::vector<std::string> seen;

private:
    static gboolean look(gpointer data)
    {
        auto* self = static_cast<DialogAnswers*>(data);
        GList* toplevels = gtk_window_list_toplevels();
        for (GList* item = toplevels; item; item = item->next) {
            if (!GTK_IS_DIALOG(item->data) || !gtk_widget_get_visible(GTK_WIDGET(item->data)))
                continue;
            GtkDialog* dialog = GTK_DIALOG(item->data);
            const char* title = gtk_window_get_title(GTK_WINDOW(dialog));
            // A dialog may refuse an answer for a while (a file chooser still
            // reading its folder); it is answered again but counted once.
            if (std::find(self->m_answered.begin(), self->m_answered.end(), dialog)
                == self->m_answered.end()) {
                self->m_answered.push_back(dialog);
                self->seen.push_back(std::string(G_OBJECT_TYPE_NAME(dialog)) + ": " + (title ? title : ""));
            }
            int response = GTK_RESPONSE_CANCEL;
            if (GTK_IS_FILE_CHOOSER(dialog)) {
                gtk_file_chooser_set_current_folder(
                    GTK_FILE_CHOOSER(dialog), self->m_saveAs.parent_path().c_str());
                gtk_file_chooser_set_current_name(
                    GTK_FILE_CHOOSER(dialog), self->m_saveAs.filename().c_str());
                response = GTK_RESPONSE_ACCEPT;
            } else if (title && std::string_view(title) == "Find") {
                GList* children
                    = gtk_container_get_children(GTK_CONTAINER(gtk_dialog_get_content_area(dialog)));
                for (GList* child = children; child; child = child->next) {
                    if (GTK_IS_ENTRY(child->data))
                        gtk_entry_set_text(GTK_ENTRY(child->data), self->m_find.c_str());
                }
                g_list_free(children);
                response = GTK_RESPONSE_ACCEPT;
            }
            gtk_dialog_response(dialog, response);
        }
        g_list_free(toplevels);
        return G_SOURCE_CONTINUE;
    }

    std::filesystem::path m_saveAs;
    std::string m_find;
    std::vector<GtkDialog*> m_answered;
    guint m_timer;
};

TEST_F(FeBrowserGtkTest, ExecCommandRunsEachNumberedCommandOrRejectsIt)
{
    server.route("/edit", htmlPage("Edit", "<input id='f' value='abc'><p id='t'>some words</p>"));
    server.route("/slow", HttpRoute { .body = htmlPage("Slow", "s"), .delay = 5s });
    ASSERT_EQ(browser.Init(server.url("/edit"), placeholder, 0, 0, 1), 1);
    ASSERT_TRUE(showsTitle("Edit"));
    // Boxes are answered from a script (the registry key for the page setup
    // is created when first written: Yes).
    ScriptedMessageBoxes boxes;
    ScopedMessageBoxes scriptedBoxes { boxes };
    browser.Update("PrinterOrientation", "portrait");
    WebView& view = *browser.webView();

    auto page = [&](const std::string& script) { return view.scripts().run(script).value.text(); };
    auto value = [&] { return page("document.getElementById('f').value"); };
    GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
    auto clipboardText = [&] {
        GCharPtr text(gtk_clipboard_wait_for_text(clipboard));
        return std::string(text ? text.get() : "");
    };
    // The field holds "abc", all of it selected, and the clipboard "none".
    auto fieldSelected = [&] {
        page("(f => { f.value = 'abc'; f.focus(); f.select(); })(document.getElementById('f'))");
        gtk_clipboard_set_text(clipboard, "none", -1);
    };
    // As fieldSelected, then "abc" typed over with "typed", an edit that can be undone.
    auto typedOver = [&] {
        fieldSelected();
        page("document.execCommand('insertText', false, 'typed')");
    };
    int found = 0;
    g_signal_connect(webkit_web_view_get_find_controller(view.webKitView()), "found-text",
        G_CALLBACK(+[](WebKitFindController*, guint, int* count) { ++*count; }), &found);
    const std::filesystem::path saved = home.path() / "saved page.mhtml";
    const std::size_t windowEvents = window->pending(Event::CloseWindow);

    struct Row {
        int command;
        const char* name; // the control's command it stands for
        std::uint8_t result;
        const char* dialog; // the dialog it opens, "" for none
        std::function<void()> before;
        std::function<bool()> done; // what it did, waited for
    };
    auto unchanged = [&] { return value() == "abc"; };
    const Row table[] = {
        { 1, "OLECMDID_SAVE", 0, "", fieldSelected, unchanged },
        { 2, "OLECMDID_SAVEAS", 1, "GtkFileChooserDialog: Save Page As", {},
            [&] { return std::filesystem::exists(saved) && std::filesystem::file_size(saved) > 0; } },
        // A print whose dialog is cancelled is not done.
        { 3, "OLECMDID_PRINT", 0, "GtkPrintUnixDialog: Print", {}, {} },
        { 4, "OLECMDID_PRINTPREVIEW", 0, "", fieldSelected, unchanged },
        { 5, "OLECMDID_PAGESETUP", 1, "GtkPageSetupUnixDialog: Page Setup", {}, {} },
        { 6, "OLECMDID_PROPERTIES", 0, "", fieldSelected, unchanged },
        { 7, "OLECMDID_CUT", 1, "", fieldSelected,
            [&] { return value().empty() && clipboardText() == "abc"; } },
        { 8, "OLECMDID_COPY", 1, "", fieldSelected,
            [&] { return value() == "abc" && clipboardText() == "abc"; } },
        { 9, "OLECMDID_UNDO", 1, "", typedOver, [&] { return value() == "abc"; } },
        { 10, "OLECMDID_REDO", 1, "", [&] { typedOver(), page("document.execCommand('undo')"); },
            [&] { return value() == "typed"; } },
        { 11, "OLECMDID_SELECTALL", 1, "",
            [&] { fieldSelected(), page("document.getElementById('f').setSelectionRange(0, 0)"); },
            [&] {
                return page("(f => f.selectionStart + '-' + f.selectionEnd)(document.getElementById('f'))")
                    == "0-3";
            } },
        { 12, "OLECMDID_CLEARSELECTION", 1, "",
            [&] {
                page("document.activeElement.blur(); "
                     "getSelection().selectAllChildren(document.getElementById('t'))");
                ASSERT_EQ(page("getSelection().toString()"), "some words");
            },
            [&] { return page("getSelection().toString()").empty(); } },
        { 13, "OLECMDID_FIND", 1, "GtkDialog: Find", {}, [&] { return found > 0; } },
        { 14, "OLECMDID_DELETE", 1, "", fieldSelected,
            [&] { return value().empty() && clipboardText() == "none"; } },
        { 15, "OLECMDID_STOPDOWNLOAD", 1, "",
            [&] {
                browser.Load(server.url("/slow"));
                ASSERT_TRUE(runUntil([&] { return server.requests("/slow") == 1; }));
            },
            [&] { return !view.loading() && view.title() == "Edit"; } },
        { 16, "OLECMDID_CLOSE", 1, "", {},
            [&] { return window->pending(Event::CloseWindow) == windowEvents + 1; } },
        { 17, "(none)", 0, "", fieldSelected, unchanged },
    };

    for (const Row& row : table) {
        SCOPED_TRACE(std::to_string(row.command) + " " + row.name);
        if (row.before)
            row.before();
        // The print command prompts with option 1.
        std::vector<std::string> dialogs;
        std::uint8_t result = 0;
        {
            DialogAnswers answers(saved, "words");
            result = browser.ExecCommand(row.command, row.command == 3 ? 1 : 0);
            dialogs = answers.seen;
        }
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(
            dialogs, row.dialog[0] ? std::vector<std::string> { row.dialog } : std::vector<std::string> {});
        if (row.done) {
            EXPECT_TRUE(runUntil(row.done, 20s)) << "the command was not seen to run";
        }
    }
    EXPECT_EQ(browser.ExecCommand(0, 0), 0);
    EXPECT_EQ(browser.ExecCommand(99, 0), 0);
}

TEST_F(FeBrowserGtkTest, KillReleasesTheControlAndItsSites)
{
    auto before = liveSiteObjects();
    ASSERT_EQ(browser.Init(std::nullopt, placeholder, 0, 0, 1), 1);
    GtkWidget* shown = browser.webView()->widget();
    g_object_ref(shown);
    browser.LASTLOADEDDOC = "x";
    browser.GETINFO_PAGETITLE = "t";
    EXPECT_EQ(browser.Kill(0), 1);
    EXPECT_EQ(browser.CORECONTROL, 0);
    EXPECT_EQ(browser.CLIENTSITE, 0);
    EXPECT_TRUE(ObjectQ().empty());
    EXPECT_EQ(liveSiteObjects(), before);
    EXPECT_EQ(gtk_widget_get_parent(shown), nullptr) << "the view left the window";
    EXPECT_FALSE(browser.LASTLOADEDDOC.has_value());
    EXPECT_TRUE(browser.PAGETITLE.empty());
    g_object_unref(shown);
}

TEST_F(FeBrowserGtkTest, UpdateSetsDisplayOptionsSilenceAndMarkup)
{
    server.route("/alerting", htmlPage("Alerting", "<script>alert('on load')</script>"));
    ASSERT_EQ(browser.Init(std::nullopt, placeholder, 0, 0, 1), 1);
    browser.DEBUGGING = 2;
    test::CapturedDebugOutput output;

    browser.Update("statusbar", "TRUE");
    EXPECT_TRUE(browser.statusBar());
    browser.Update("StatusBar", "yes");
    EXPECT_FALSE(browser.statusBar()) << "only 1 and true switch an option on";
    EXPECT_TRUE(output.lines().back().ends_with("feBrowser:Update, putStatusBar passed\r\n"));
    browser.Update("nosuchoption", "1");
    EXPECT_TRUE(output.lines().back().ends_with("feBrowser:Update, Failed - c\r\n"));

    // Silent: a page's own alert is answered instead of shown.
    browser.Update("silentmode", "1");
    EXPECT_EQ(browser.SILENTMODE, 1);
    browser.Load(server.url("/alerting"));
    const auto& answered = browser.webView()->scripts().dialogsAnswered();
    ASSERT_TRUE(runUntil([&] { return !answered.empty(); })) << "the alert was not answered";
    EXPECT_EQ(answered.back().message, "on load");

    browser.Update("outerhtml", "<html><head><title>Given markup</title></head></html>");
    EXPECT_TRUE(showsTitle("Given markup"));
}

TEST_F(FeBrowserGtkTest, PrintWithPromptShowsTheDialogAndHoldsTheWindow)
{
    server.route("/print", htmlPage("Print", "<h1>to paper</h1>"));
    ASSERT_EQ(browser.Init(server.url("/print"), placeholder, 0, 0, 1), 1);
    ASSERT_TRUE(showsTitle("Print"));

    // Answers the print dialog once it is up: Cancel, noting what the window did meanwhile.
    struct Watch {
        Window* window;
        bool sawDialog { false };
        bool heldWhileOpen { false };
    } watch { window.get() };
    guint timer = g_timeout_add(
        50,
        [](gpointer data) -> gboolean {
            auto* watch = static_cast<Watch*>(data);
            GList* toplevels = gtk_window_list_toplevels();
            for (GList* item = toplevels; item; item = item->next) {
                if (GTK_IS_DIALOG(item->data) && gtk_widget_get_visible(GTK_WIDGET(item->data))
                    && g_str_has_prefix(G_OBJECT_TYPE_NAME(item->data), "GtkPrint")) {
                    watch->sawDialog = true;
                    watch->heldWhileOpen = watch->window->held();
                    gtk_dialog_response(GTK_DIALOG(item->data), GTK_RESPONSE_CANCEL);
                }
            }
            g_list_free(toplevels);
            return G_SOURCE_CONTINUE;
        },
        &watch);
    std::uint8_t printed = browser.ExecCommand(3, 1);
    g_source_remove(timer);
    EXPECT_TRUE(watch.sawDialog);
    EXPECT_TRUE(watch.heldWhileOpen) << "the window's events wait while the dialog is open";
    EXPECT_FALSE(window->held());
    EXPECT_EQ(printed, 0) << "a cancelled print is not done";
}

} // namespace
} // namespace tvrn2

namespace tvrn2 {
namespace {

TEST_F(FeBrowserGtkTest, PageSetupOrientationIsWhatTheNextPrintUses)
{
    server.route("/setup", htmlPage("Setup", "<p>paper</p>"));
    ASSERT_EQ(browser.Init(server.url("/setup"), placeholder, 0, 0, 1), 1);
    ASSERT_TRUE(showsTitle("Setup"));
    // The page setup's key exists, so no box asks to create it.
    HKEY key = 0;
    ASSERT_EQ(regCreateKeyEx(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\PageSetup", 0,
                  KEY_WRITE, &key, nullptr),
        ERROR_SUCCESS);
    regCloseKey(key);
    browser.Update("PrinterOrientation", "portrait");

    // Answers the page-setup dialog once it is up: with the orientation
    // asked for, or cancelled.
    struct Answer {
        std::optional<GtkPageOrientation> orientation;
        bool seen { false };
        GtkPageOrientation shown { GTK_PAGE_ORIENTATION_PORTRAIT };
        int ticks { 0 };
    };
    auto setUp = [&](Answer& answer) {
        guint timer = g_timeout_add(
            50,
            [](gpointer data) -> gboolean {
                auto* answer = static_cast<Answer*>(data);
                GList* toplevels = gtk_window_list_toplevels();
                // The watchdog: after a minute any dialog is cancelled and the test fails.
                if (++answer->ticks == 1200) {
                    ADD_FAILURE() << "no page-setup dialog to answer";
                    for (GList* item = toplevels; item; item = item->next) {
                        if (GTK_IS_DIALOG(item->data))
                            gtk_dialog_response(GTK_DIALOG(item->data), GTK_RESPONSE_CANCEL);
                    }
                }
                for (GList* item = toplevels; item; item = item->next) {
                    if (!GTK_IS_PAGE_SETUP_UNIX_DIALOG(item->data)
                        || !gtk_widget_get_visible(GTK_WIDGET(item->data)))
                        continue;
                    auto* dialog = GTK_PAGE_SETUP_UNIX_DIALOG(item->data);
                    answer->seen = true;
                    answer->shown
                        = gtk_page_setup_get_orientation(gtk_page_setup_unix_dialog_get_page_setup(dialog));
                    if (answer->orientation) {
                        auto setup = GObjectPtr<GtkPageSetup>::adopt(gtk_page_setup_new());
                        gtk_page_setup_set_orientation(setup.get(), *answer->orientation);
                        gtk_page_setup_unix_dialog_set_page_setup(dialog, setup.get());
                    }
                    gtk_dialog_response(
                        GTK_DIALOG(dialog), answer->orientation ? GTK_RESPONSE_OK : GTK_RESPONSE_CANCEL);
                }
                g_list_free(toplevels);
                return G_SOURCE_CONTINUE;
            },
            &answer);
        std::uint8_t done = browser.ExecCommand(5, 0);
        g_source_remove(timer);
        return done;
    };
    auto stored = [&] {
        browser.GetIEPageSetup();
        return browser.IEPRINTERORIENTATION;
    };

    Answer landscape { GTK_PAGE_ORIENTATION_LANDSCAPE };
    EXPECT_EQ(setUp(landscape), 1);
    ASSERT_TRUE(landscape.seen);
    EXPECT_EQ(landscape.shown, GTK_PAGE_ORIENTATION_PORTRAIT) << "the dialog opens on the stored orientation";
    EXPECT_EQ(stored(), "landscape");

    // A cancelled dialog changes nothing, also when the stored value changed meanwhile.
    browser.Update("PrinterOrientation", "portrait");
    Answer cancelled;
    EXPECT_EQ(setUp(cancelled), 1);
    ASSERT_TRUE(cancelled.seen);
    EXPECT_EQ(cancelled.shown, GTK_PAGE_ORIENTATION_PORTRAIT);
    EXPECT_EQ(stored(), "portrait");
}

} // namespace
} // namespace tvrn2
