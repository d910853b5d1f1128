#include "platform/webkit/WebView.h"

#include "tests/support/HttpTestServer.h"
#include "tests/support/MainLoopWait.h"
#include "tests/support/TestSupport.h"

#include <fstream>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

namespace tvrn2 {
namespace {

using namespace std::chrono_literals;
using test::htmlPage;
using test::HttpRoute;
using test::runUntil;

// Bytes that no text transformation leaves alone: every byte value, repeated.
std::string binaryBody(std::size_t size)
{
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        body[i] = static_cast<char>((i * 7 + i / 256) & 0xff);
    return body;
}

class WebViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        g_set_prgname("tvrn2");
        ASSERT_TRUE(gtk_init_check(nullptr, nullptr)) << "no display: run the tests under xvfb-run";
    }

    void SetUp() override
    {
        WebViewOptions options;
        options.dataStore = DataStore::Ephemeral;
        options.downloadFolder = [this] { return m_downloads.path() / "saved"; };
        view = std::make_unique<WebView>(std::move(options));
        view->onLoadChanged.add([this](LoadStage stage, const std::string&) {
            if (stage == LoadStage::Finished)
                ++loadsFinished;
        });
        view->downloads().onEvent
            = [this](const DownloadEvent& event) { downloadEvents.push_back(event.kind); };
        window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_default_size(GTK_WINDOW(window), 800, 600);
        gtk_container_add(GTK_CONTAINER(window), view->widget());
        gtk_widget_show_all(window);
    }

    void TearDown() override
    {
        view.reset();
        if (window)
            gtk_widget_destroy(window);
    }

    ::testing::AssertionResult load(const std::string& path)
    {
        int before = loadsFinished;
        view->load(server.url(path));
        if (!runUntil([&] { return loadsFinished > before; }))
            return ::testing::AssertionFailure() << "no load finished for " << path;
        return ::testing::AssertionSuccess();
    }

    // Waits for a download to reach the state the test expects next.
    ::testing::AssertionResult waitForDownload(DownloadEvent::Kind kind)
    {
        if (runUntil([&] {
                return std::find(downloadEvents.begin(), downloadEvents.end(), kind) != downloadEvents.end();
            }))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "download never reached state " << static_cast<int>(kind);
    }

    ::testing::AssertionResult waitForQuestion(DownloadBar::Button expected)
    {
        auto& bar = *view->downloadBar();
        if (runUntil([&] {
                auto buttons = bar.buttons();
                return bar.shown() && std::find(buttons.begin(), buttons.end(), expected) != buttons.end();
            }))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the bar never offered button " << static_cast<int>(expected);
    }

    std::filesystem::path saved(const std::string& name) const { return m_downloads.path() / "saved" / name; }

    JsValue eval(const std::string& script)
    {
        ScriptResult result = view->scripts().run(script);
        EXPECT_TRUE(result.ok()) << script << ": " << result.error;
        return result.value;
    }

    test::HttpTestServer server;
    test::TempDir m_downloads;
    std::unique_ptr<WebView> view;
    GtkWidget* window { nullptr };
    int loadsFinished { 0 };
    std::vector<DownloadEvent::Kind> downloadEvents;
};

using Kind = DownloadEvent::Kind;

TEST_F(WebViewTest, NavigatesBackForwardReloadsAndStops)
{
    server.route("/a", htmlPage("Page A", "a"));
    server.route("/b", htmlPage("Page B", "b"));
    // Answered only when the test lets it: a load of it ends by a stop or not at all.
    server.route("/slow", HttpRoute { .body = htmlPage("Slow", "s"), .held = true });

    ASSERT_TRUE(load("/a"));
    ASSERT_TRUE(load("/b"));
    EXPECT_TRUE(runUntil([&] { return view->title() == "Page B"; })) << view->title();
    EXPECT_FALSE(view->goForward()) << "nothing ahead yet";

    ASSERT_TRUE(view->goBack());
    ASSERT_TRUE(runUntil([&] { return view->title() == "Page A" && !view->loading(); }));
    ASSERT_TRUE(view->goForward());
    ASSERT_TRUE(runUntil([&] { return view->title() == "Page B" && !view->loading(); }));

    int before = server.requests("/b");
    int finished = loadsFinished;
    view->reload(ReloadMode::BypassCache);
    ASSERT_TRUE(runUntil([&] { return loadsFinished > finished; }));
    EXPECT_EQ(server.requests("/b"), before + 1);
    EXPECT_EQ(server.lastHeaders("/b")["cache-control"], "no-cache") << "a bypassing reload must say so";

    std::string failedUri;
    view->onLoadFailed = [&](const std::string& uri, const std::string&) { failedUri = uri; };
    view->load(server.url("/slow"));
    ASSERT_TRUE(runUntil([&] { return server.requests("/slow") == 1; }));
    view->stop();
    ASSERT_TRUE(runUntil([&] { return !view->loading(); })) << "stop did not end the load";
    EXPECT_EQ(view->title(), "Page B");
    server.release("/slow");
}

TEST_F(WebViewTest, ReportsLoadFailures)
{
    std::string failedUri, message;
    view->onLoadFailed = [&](const std::string& uri, const std::string& text) {
        failedUri = uri;
        message = text;
    };
    // A port nobody listens on: bind one and close it again.
    int freePort = [] {
        test::HttpTestServer scratch;
        return scratch.port();
    }();
    std::string target = "http://127.0.0.1:" + std::to_string(freePort) + "/";
    view->load(target);
    ASSERT_TRUE(runUntil([&] { return !failedUri.empty(); }));
    EXPECT_EQ(failedUri, target);
    EXPECT_FALSE(message.empty());
}

TEST_F(WebViewTest, AFailedLoadShowsAPageThatSaysWhatFailedAndTriesAgain)
{
    std::vector<std::string> failed;
    view->onLoadFailed = [&](const std::string& uri, const std::string&) { failed.push_back(uri); };
    int freePort = [] {
        test::HttpTestServer scratch;
        return scratch.port();
    }();
    const std::string missing = "file://" + (m_downloads.path() / "page.htm").string();
    struct Case {
        std::string address;
        const char* title;
    };
    for (const Case& c :
        { Case { "http://127.0.0.1:" + std::to_string(freePort) + "/", "The connection was refused" },
            Case { "http://no-such-host.invalid/", "The site cannot be reached" },
            Case { "tvrn2-unknown-scheme:page", "The address is not understood" },
            Case { missing, "The file was not found" } }) {
        SCOPED_TRACE(c.address);
        failed.clear();
        view->load(c.address);
        ASSERT_TRUE(runUntil([&] { return !failed.empty() && view->title() == c.title; })) << view->title();
        EXPECT_EQ(failed, std::vector<std::string> { c.address });
        EXPECT_EQ(eval("document.querySelector('.address').textContent").text(), c.address);
        EXPECT_EQ(eval("document.getElementById('try-again').textContent").text(), "Try Again");
    }

    // Once the file is there, Try Again shows it.
    m_downloads.write("page.htm", "<title>Found</title><p>here</p>");
    eval("document.getElementById('try-again').click()");
    ASSERT_TRUE(runUntil([&] { return view->title() == "Found"; })) << view->title();
    EXPECT_EQ(view->uri(), missing);
}

TEST_F(WebViewTest, BridgeReadsAndWritesFormFieldsByHandle)
{
    server.route("/form",
        htmlPage("Form",
            "<form><input id='user' name='user' value='first'>"
            "<input id='other' value='x'></form>"));
    ASSERT_TRUE(load("/form"));
    DocumentBridge& bridge = view->document();

    BridgeResult document = bridge.document();
    ASSERT_TRUE(document.ok()) << document.message;
    ASSERT_TRUE(document.value.isHandle());
    BridgeResult input
        = bridge.invoke(document.value.toHandle(), "getElementById", { JsValue::string("user") });
    ASSERT_TRUE(input.ok()) << input.message;
    ObjectHandle user = input.value.toHandle();

    EXPECT_EQ(bridge.get(user, "value").value, JsValue::string("first"));
    EXPECT_EQ(bridge.get(user, "tagName").value, JsValue::string("INPUT"));
    ASSERT_TRUE(bridge.put(user, "value", JsValue::string("quote \" and \\ and caf\xc3\xa9")).ok());
    EXPECT_EQ(
        eval("document.getElementById('user').value"), JsValue::string("quote \" and \\ and caf\xc3\xa9"))
        << "the page itself sees the new value";

    // The same node always comes back as the same handle; another node does not.
    BridgeResult again
        = bridge.invoke(document.value.toHandle(), "querySelector", { JsValue::string("#user") });
    EXPECT_EQ(again.value.toHandle(), user);
    BridgeResult other
        = bridge.invoke(document.value.toHandle(), "getElementById", { JsValue::string("other") });
    EXPECT_NE(other.value.toHandle(), user);

    // Handles travel as arguments too.
    BridgeResult form = bridge.get(user, "form");
    BridgeResult contains = bridge.invoke(form.value.toHandle(), "contains", { JsValue::handle(user) });
    EXPECT_EQ(contains.value, JsValue::boolean(true));

    // A lone surrogate, which the engine would end the answer at, comes as
    // U+FFFD with the rest after it.
    eval("document.getElementById('other').value = 'a\\ud800b'");
    EXPECT_EQ(bridge.get(other.value.toHandle(), "value").value,
        JsValue::string("a\xef\xbf\xbd"
                        "b"));

    // Numbers, booleans and null come back as values, not handles.
    EXPECT_EQ(bridge.get(user, "maxLength").value, JsValue::number(-1));
    EXPECT_EQ(bridge.get(user, "disabled").value, JsValue::boolean(false));
    EXPECT_EQ(bridge.get(user, "onclick").value, JsValue::null());
    EXPECT_TRUE(bridge.get(user, "noSuchProperty").value.isUndefined());

    ASSERT_TRUE(bridge.release(user).ok());
    EXPECT_EQ(bridge.get(user, "value").status, BridgeStatus::ReleasedHandle);
    BridgeResult fresh
        = bridge.invoke(document.value.toHandle(), "getElementById", { JsValue::string("user") });
    EXPECT_NE(fresh.value.toHandle(), user) << "a released node comes back under a new handle";
    EXPECT_EQ(bridge.get(fresh.value.toHandle(), "value").value,
        JsValue::string("quote \" and \\ and caf\xc3\xa9"));
}

TEST_F(WebViewTest, BridgeReportsErrorsAndStaleHandles)
{
    server.route("/one", htmlPage("One", "<p id='p'>text</p>"));
    server.route("/two", htmlPage("Two", "<p id='p'>text</p>"));
    ASSERT_TRUE(load("/one"));
    DocumentBridge& bridge = view->document();
    ObjectHandle document = bridge.document().value.toHandle();
    ObjectHandle paragraph
        = bridge.invoke(document, "getElementById", { JsValue::string("p") }).value.toHandle();

    BridgeResult notMethod = bridge.invoke(paragraph, "id");
    EXPECT_EQ(notMethod.status, BridgeStatus::NotCallable);
    BridgeResult thrown = bridge.invoke(document, "querySelector", { JsValue::string("[[[") });
    EXPECT_EQ(thrown.status, BridgeStatus::ScriptError);
    EXPECT_NE(thrown.message.find("SyntaxError"), std::string::npos) << thrown.message;
    EXPECT_EQ(bridge.get({ paragraph.generation, 99999 }, "id").status, BridgeStatus::ReleasedHandle);

    ASSERT_TRUE(load("/two"));
    BridgeResult stale = bridge.get(paragraph, "id");
    EXPECT_EQ(stale.status, BridgeStatus::StaleHandle);
    EXPECT_NE(stale.message.find("no longer loaded"), std::string::npos) << stale.message;
    ObjectHandle newDocument = bridge.document().value.toHandle();
    EXPECT_NE(newDocument.generation, document.generation);
    EXPECT_EQ(bridge.get(newDocument, "title").value, JsValue::string("Two"));
}

TEST_F(WebViewTest, BridgeIsOutOfThePagesReach)
{
    // A page that defines the same name cannot replace the bridge.
    server.route("/hostile",
        htmlPage("Hostile", "<script>window.__tvrn2Bridge = { document: () => 'sfake' };</script>"));
    ASSERT_TRUE(load("/hostile"));
    BridgeResult document = view->document().document();
    ASSERT_TRUE(document.ok()) << document.message;
    EXPECT_TRUE(document.value.isHandle());
}

TEST_F(WebViewTest, BridgeWorksOnTheFirstBlankDocument)
{
    // Nothing loaded yet: the bridge is installed on demand.
    BridgeResult document = view->document().document();
    ASSERT_TRUE(document.ok()) << document.message;
    EXPECT_TRUE(document.value.isHandle());
}

TEST_F(WebViewTest, AlertDuringACallIsAnsweredAndEventsAreHeld)
{
    server.route("/alerting",
        htmlPage("Alerting",
            "<button id='b' onclick=\"alert('hello'); this.textContent = confirm('sure?') ? 'yes' : "
            "'no';\">go</button>"));
    ASSERT_TRUE(load("/alerting"));

    struct CountingHold final : WaitHold {
        explicit CountingHold(int& held)
            : held(held)
        {
            ++held;
        }
        ~CountingHold() override { --held; }
        int& held;
    };
    int held = 0;
    std::vector<int> heldWhileDialog;
    view->scripts().holdEvents = [&] { return std::make_unique<CountingHold>(held); };
    view->scripts().onDialogAnswered = [&](const ScriptDialogSeen&) { heldWhileDialog.push_back(held); };

    DocumentBridge& bridge = view->document();
    ObjectHandle document = bridge.document().value.toHandle();
    ObjectHandle button
        = bridge.invoke(document, "getElementById", { JsValue::string("b") }).value.toHandle();
    BridgeResult click = bridge.invoke(button, "click");
    ASSERT_TRUE(click.ok()) << click.message;
    EXPECT_EQ(bridge.get(button, "textContent").value, JsValue::string("no")) << "a confirm is refused";

    const auto& dialogs = view->scripts().dialogsAnswered();
    ASSERT_EQ(dialogs.size(), 2U);
    EXPECT_EQ(dialogs[0].kind, ScriptDialogKind::Alert);
    EXPECT_EQ(dialogs[0].message, "hello");
    EXPECT_EQ(dialogs[1].kind, ScriptDialogKind::Confirm);
    EXPECT_EQ(heldWhileDialog, (std::vector<int> { 1, 1 }))
        << "the window's events stay held during the call";
    EXPECT_EQ(held, 0) << "and are let go after it";
}

TEST_F(WebViewTest, ScriptTimeoutSurvivesTheLateReply)
{
    server.route("/p", htmlPage("P", "p"));
    ASSERT_TRUE(load("/p"));
    ScriptResult slow
        = view->scripts().run("const end = Date.now() + 1000; while (Date.now() < end) {} 'late'", 100ms);
    EXPECT_EQ(slow.status, ScriptStatus::TimedOut);
    EXPECT_NE(slow.error.find("100 ms"), std::string::npos) << slow.error;
    // The late reply arrives into the abandoned state and must land safely.
    // The page runs one script at a time and answers in order, so the next
    // call's answer comes only after it.
    EXPECT_EQ(eval("6 * 7"), JsValue::number(42));
    EXPECT_EQ(eval("({a: [1, 'x']})"), JsValue::json("{\"a\":[1,\"x\"]}"));
    ScriptResult error = view->scripts().run("null.x");
    EXPECT_EQ(error.status, ScriptStatus::ScriptError);
    EXPECT_NE(error.error.find("TypeError"), std::string::npos) << error.error;
}

FillPlan fillOf(const std::string& name, const std::string& value)
{
    FillPlan plan;
    plan.nameKey = name;
    plan.value = value;
    return plan;
}

TEST_F(WebViewTest, PostedFillsRunInOrderBeforeTheNextCallAndTheirDialogsAreAnswered)
{
    // Each change is logged on the page; the one of "b" raises an alert too.
    server.route("/form",
        htmlPage("Form",
            "<input name='a' onchange=\"document.body.dataset.log += 'a=' + this.value + ';'\">"
            "<input name='b' onchange=\"document.body.dataset.log += 'b=' + this.value + ';';"
            " alert('b is ' + this.value)\"><script>document.body.dataset.log = ''</script>"));
    ASSERT_TRUE(load("/form"));
    DocumentBridge& bridge = view->document();
    ASSERT_TRUE(bridge.document().ok());

    bridge.postFill(std::nullopt, { "input" }, fillOf("a", "1"));
    bridge.postFill(std::nullopt, { "input" }, fillOf("b", "2"));
    bridge.postFill(std::nullopt, { "input" }, fillOf("a", "3"));
    EXPECT_TRUE(view->scripts().waiting()) << "the fills were sent, not waited for";
    // No call waits meanwhile: the alert is answered because fills are out.
    // Shown instead, it would hold the page, and the fills' answers, up.
    EXPECT_TRUE(runUntil([&] { return !view->scripts().waiting(); }));
    const auto& dialogs = view->scripts().dialogsAnswered();
    ASSERT_EQ(dialogs.size(), 1U);
    EXPECT_EQ(dialogs[0].message, "b is 2");
    EXPECT_EQ(eval("document.body.dataset.log"), JsValue::string("a=1;b=2;a=3;"));

    // A call made at once after fills sees them done.
    bridge.postFill(std::nullopt, { "input" }, fillOf("a", "4"));
    bridge.postFill(std::nullopt, { "input" }, fillOf("a", "5"));
    EXPECT_EQ(eval("document.getElementsByName('a')[0].value"), JsValue::string("5"));
}

TEST_F(WebViewTest, AFillPostedToTheFirstBlankDocumentIsDoneBeforeTheNextCall)
{
    // Nothing loaded: the document lacks the bridge, and the first fill has
    // to install it before anything sent after it runs.
    eval("document.body.innerHTML = \"<input name='a'>\"; ''");
    view->document().postFill(std::nullopt, { "input" }, fillOf("a", "1"));
    view->document().postFill(std::nullopt, { "input" }, fillOf("a", "2"));
    EXPECT_EQ(eval("document.getElementsByName('a')[0].value"), JsValue::string("2"));
}

TEST_F(WebViewTest, EditingCommandsCutPasteUndoRedo)
{
    server.route("/edit", htmlPage("Edit", "<input id='from' value='hello'><input id='to' value=''>"));
    ASSERT_TRUE(load("/edit"));
    gtk_widget_grab_focus(GTK_WIDGET(view->webKitView()));
    auto value = [&](const char* id) {
        return eval(std::string("document.getElementById('") + id + "').value").text();
    };

    eval("document.getElementById('from').focus()");
    view->execute(EditCommand::SelectAll);
    view->execute(EditCommand::Cut);
    ASSERT_TRUE(runUntil([&] { return value("from").empty(); })) << "cut left " << value("from");
    view->execute(EditCommand::Undo);
    ASSERT_TRUE(runUntil([&] { return value("from") == "hello"; })) << "undo gave " << value("from");
    view->execute(EditCommand::Redo);
    ASSERT_TRUE(runUntil([&] { return value("from").empty(); })) << "redo gave " << value("from");

    eval("document.getElementById('to').focus()");
    view->execute(EditCommand::Paste);
    ASSERT_TRUE(runUntil([&] { return value("to") == "hello"; })) << "paste gave " << value("to");
}

TEST_F(WebViewTest, FindCountsMatches)
{
    server.route("/text", htmlPage("Text", "<p>needle one</p><p>Needle two</p><p>haystack needle</p>"));
    ASSERT_TRUE(load("/text"));
    std::optional<unsigned> matches;
    view->onFindResult = [&](unsigned count) { matches = count; };
    view->find("needle");
    ASSERT_TRUE(runUntil([&] { return matches.has_value(); }));
    EXPECT_EQ(*matches, 3U);
    matches.reset();
    view->find("absent words");
    ASSERT_TRUE(runUntil([&] { return matches.has_value(); }));
    EXPECT_EQ(*matches, 0U);
    view->findFinish();
}

TEST_F(WebViewTest, PrintsWithoutDialogIntoAFile)
{
    server.route("/print", htmlPage("Print", "<h1>Printed page</h1>"));
    ASSERT_TRUE(load("/print"));
    std::optional<bool> printed;
    std::string message;
    view->onPrintDone = [&](bool ok, const std::string& text) {
        printed = ok;
        message = text;
    };
    auto pdf = m_downloads.path() / "page.pdf";
    ASSERT_TRUE(view->print(PrintMode::WithoutDialog, { PageOrientation::Landscape, pdf }));
    ASSERT_TRUE(runUntil([&] { return printed.has_value(); }));
    EXPECT_TRUE(*printed) << message;
    EXPECT_EQ(test::TempDir::read(pdf).substr(0, 5), "%PDF-");
}

TEST_F(WebViewTest, SavesThePageAsOneFile)
{
    server.route("/save", htmlPage("Save me", "<p>unique words 4711</p>"));
    ASSERT_TRUE(load("/save"));
    std::optional<bool> saved;
    view->onSaveDone = [&](bool ok, const std::string&) { saved = ok; };
    auto file = m_downloads.path() / "page.mhtml";
    ASSERT_TRUE(view->saveAs(file));
    ASSERT_TRUE(runUntil([&] { return saved.has_value(); }));
    EXPECT_TRUE(*saved);
    std::string mhtml = test::TempDir::read(file);
    EXPECT_NE(mhtml.find("Subject: Save me"), std::string::npos) << mhtml;
    EXPECT_NE(mhtml.find("Content-Location: " + server.url("/save")), std::string::npos) << mhtml;
}

TEST_F(WebViewTest, DownloadsWhatItCannotShowByteForByte)
{
    const std::string body = binaryBody(3 * 1024 * 1024 + 17);
    server.route("/files/setup.exe", HttpRoute { .contentType = "application/octet-stream", .body = body });
    view->load(server.url("/files/setup.exe"));
    DownloadBar& bar = *view->downloadBar();
    ASSERT_TRUE(waitForQuestion(DownloadBar::Button::Save));
    EXPECT_NE(bar.text().find("setup.exe"), std::string::npos) << bar.text();
    EXPECT_NE(bar.text().find((m_downloads.path() / "saved").string()), std::string::npos) << bar.text();
    EXPECT_FALSE(std::filesystem::exists(saved("setup.exe"))) << "nothing is written before the answer";

    bar.press(DownloadBar::Button::Save);
    ASSERT_TRUE(waitForDownload(Kind::Finished));
    EXPECT_EQ(downloadEvents, (std::vector<Kind> { Kind::Started, Kind::Saving, Kind::Finished }));
    EXPECT_TRUE(test::TempDir::read(saved("setup.exe")) == body)
        << "the saved file differs from what was served";
    EXPECT_FALSE(std::filesystem::exists(saved("setup.exe.wkdownload")));
    EXPECT_TRUE(bar.shown());
    EXPECT_NE(bar.text().find("was saved"), std::string::npos) << bar.text();
}

TEST_F(WebViewTest, TheBarSaysWhenASavedFileIsGone)
{
    server.route(
        "/gone.bin", HttpRoute { .contentType = "application/octet-stream", .body = binaryBody(4096) });
    DownloadBar& bar = *view->downloadBar();
    view->load(server.url("/gone.bin"));
    ASSERT_TRUE(waitForQuestion(DownloadBar::Button::Save));
    bar.press(DownloadBar::Button::Save);
    ASSERT_TRUE(waitForDownload(Kind::Finished));
    EXPECT_NE(bar.text().find("was saved in"), std::string::npos) << bar.text();

    std::filesystem::remove(saved("gone.bin"));
    EXPECT_TRUE(runUntil([&] { return bar.text().find("is no longer there") != std::string::npos; }))
        << bar.text();
    EXPECT_EQ(bar.buttons(), std::vector<DownloadBar::Button> { DownloadBar::Button::Close });
}

TEST_F(WebViewTest, ShowsProgressAndStopsOnRequest)
{
    server.route("/big.bin",
        HttpRoute { .contentType = "application/octet-stream",
            .body = binaryBody(4 * 1024 * 1024),
            .chunkSize = 64 * 1024,
            .chunkPause = 50ms });
    view->load(server.url("/big.bin"));
    DownloadBar& bar = *view->downloadBar();
    ASSERT_TRUE(waitForQuestion(DownloadBar::Button::Save));
    bar.press(DownloadBar::Button::Save);
    ASSERT_TRUE(runUntil([&] { return bar.text().find("/s)") != std::string::npos; }))
        << "no progress with a speed: " << bar.text();
    EXPECT_NE(bar.text().find(" of 4.2\u00a0MB"), std::string::npos) << bar.text();
    EXPECT_EQ(bar.buttons(), std::vector<DownloadBar::Button> { DownloadBar::Button::Stop });

    bar.press(DownloadBar::Button::Stop);
    ASSERT_TRUE(waitForDownload(Kind::Cancelled));
    EXPECT_EQ(downloadEvents, (std::vector<Kind> { Kind::Started, Kind::Saving, Kind::Cancelled }));
    EXPECT_FALSE(std::filesystem::exists(saved("big.bin")));
    EXPECT_FALSE(std::filesystem::exists(saved("big.bin.wkdownload")));
    EXPECT_FALSE(bar.shown());
}

TEST_F(WebViewTest, BrokenDownloadLeavesNothingUnderTheFinalName)
{
    server.route("/broken.zip",
        HttpRoute { .contentType = "application/zip",
            .body = binaryBody(2 * 1024 * 1024),
            .chunkSize = 256 * 1024,
            .chunkPause = 20ms,
            .breakAfter = 1024 * 1024 });
    view->load(server.url("/broken.zip"));
    DownloadBar& bar = *view->downloadBar();
    ASSERT_TRUE(waitForQuestion(DownloadBar::Button::Save));
    bar.press(DownloadBar::Button::Save);
    ASSERT_TRUE(waitForDownload(Kind::Failed));
    EXPECT_EQ(downloadEvents, (std::vector<Kind> { Kind::Started, Kind::Saving, Kind::Failed }));
    // The engine may still be removing its files as the failure is reported.
    EXPECT_TRUE(test::runUntil([&] {
        return !std::filesystem::exists(saved("broken.zip"))
            && !std::filesystem::exists(saved("broken.zip.wkdownload"));
    })) << "a broken download left a file behind";
    EXPECT_TRUE(bar.shown());
    EXPECT_NE(bar.text().find("could not be saved"), std::string::npos) << bar.text();
    EXPECT_EQ(bar.buttons(), std::vector<DownloadBar::Button> { DownloadBar::Button::Close });
}

TEST_F(WebViewTest, AVeryLongOfferedNameNeitherWidensTheWindowNorHidesTheButtons)
{
    const std::string offered = std::string(300, 'n') + ".exe";
    server.route("/long",
        HttpRoute { .contentType = "application/octet-stream",
            .body = "payload",
            .headers = { { "Content-Disposition", "attachment; filename=\"" + offered + "\"" } } });
    ASSERT_TRUE(runUntil([&] { return gtk_widget_get_allocated_width(window) > 1; }));
    const int width = gtk_widget_get_allocated_width(window);
    view->load(server.url("/long"));
    ASSERT_TRUE(waitForQuestion(DownloadBar::Button::Save));
    DownloadBar& bar = *view->downloadBar();
    EXPECT_NE(bar.text().find(std::string(240, 'n') + ".exe"), std::string::npos)
        << "shortened, extension kept";

    // Once the bar is laid out, its buttons lie inside the window, which
    // kept its width.
    GtkWidget* buttons = nullptr;
    ASSERT_TRUE(runUntil([&] {
        GtkWidget* info = gtk_bin_get_child(GTK_BIN(bar.widget()));
        buttons = info ? gtk_info_bar_get_action_area(GTK_INFO_BAR(info)) : nullptr;
        return buttons && gtk_widget_get_mapped(buttons) && gtk_widget_get_allocated_width(buttons) > 1;
    }));
    GList* children = gtk_container_get_children(GTK_CONTAINER(buttons));
    int shown = 0;
    for (GList* at = children; at; at = at->next) {
        GtkWidget* button = GTK_WIDGET(at->data);
        if (!gtk_widget_get_visible(button))
            continue;
        ++shown;
        int x = 0;
        int y = 0;
        ASSERT_TRUE(gtk_widget_translate_coordinates(button, window, 0, 0, &x, &y));
        EXPECT_LE(x + gtk_widget_get_allocated_width(button), width)
            << gtk_button_get_label(GTK_BUTTON(button));
    }
    g_list_free(children);
    EXPECT_EQ(shown, 2) << "Save and Cancel";
    EXPECT_EQ(gtk_widget_get_allocated_width(window), width);
    bar.press(DownloadBar::Button::Cancel);
}

TEST_F(WebViewTest, ExistingFileIsReplacedOnlyWhenTheUserSaysSo)
{
    auto attachment = HttpRoute { .contentType = "text/plain",
        .body = "new contents",
        .headers = { { "Content-Disposition", "attachment; filename=\"../notes.txt\"" } } };
    server.route("/notes", attachment);
    std::filesystem::create_directories(saved(""));
    std::ofstream(saved("notes.txt")) << "old contents";
    DownloadBar& bar = *view->downloadBar();

    // Keep: the old file stays as it was.
    view->load(server.url("/notes"));
    ASSERT_TRUE(waitForQuestion(DownloadBar::Button::Save));
    bar.press(DownloadBar::Button::Save);
    ASSERT_TRUE(waitForQuestion(DownloadBar::Button::Replace));
    EXPECT_NE(bar.text().find("already exists"), std::string::npos) << bar.text();
    bar.press(DownloadBar::Button::Keep);
    ASSERT_TRUE(waitForDownload(Kind::Cancelled));
    EXPECT_EQ(test::TempDir::read(saved("notes.txt")), "old contents");

    // Replace: the new contents arrive under the same name.
    downloadEvents.clear();
    view->load(server.url("/notes"));
    ASSERT_TRUE(waitForQuestion(DownloadBar::Button::Save));
    bar.press(DownloadBar::Button::Save);
    ASSERT_TRUE(waitForQuestion(DownloadBar::Button::Replace));
    bar.press(DownloadBar::Button::Replace);
    ASSERT_TRUE(waitForDownload(Kind::Finished));
    EXPECT_EQ(test::TempDir::read(saved("notes.txt")), "new contents");

    // Cancel at the first question: nothing written, nothing asked further.
    downloadEvents.clear();
    view->load(server.url("/notes"));
    ASSERT_TRUE(waitForQuestion(DownloadBar::Button::Save));
    bar.press(DownloadBar::Button::Cancel);
    ASSERT_TRUE(waitForDownload(Kind::Cancelled));
    EXPECT_EQ(downloadEvents, (std::vector<Kind> { Kind::Started, Kind::Cancelled }));
    EXPECT_EQ(test::TempDir::read(saved("notes.txt")), "new contents");
    EXPECT_FALSE(std::filesystem::exists(m_downloads.path() / "notes.txt")) << "the server's ../ was obeyed";
}

TEST_F(WebViewTest, EachButtonActsOnTheDownloadTheBarShows)
{
    const std::string first = binaryBody(256 * 1024);
    // Half at once, the rest slowly once the test lets it go on.
    server.route("/first.bin",
        HttpRoute { .contentType = "application/octet-stream",
            .body = first,
            .chunkSize = 4 * 1024,
            .chunkPause = 100ms,
            .holdAfter = first.size() / 2 });
    server.route("/second.bin",
        HttpRoute { .contentType = "application/octet-stream",
            .body = binaryBody(256 * 1024),
            .holdAfter = 128 * 1024 });
    DownloadBar& bar = *view->downloadBar();
    auto partial = [&](const std::string& name) {
        std::error_code ignored;
        return std::filesystem::file_size(saved(name + ".wkdownload"), ignored);
    };

    view->load(server.url("/first.bin"));
    ASSERT_TRUE(waitForQuestion(DownloadBar::Button::Save));
    bar.press(DownloadBar::Button::Save);
    ASSERT_TRUE(runUntil([&] { return partial("first.bin") >= first.size() / 2; }));
    ASSERT_TRUE(waitForQuestion(DownloadBar::Button::Stop));

    // A second download asks while the first runs on: the first one's
    // progress must not take the question's place.
    view->load(server.url("/second.bin"));
    ASSERT_TRUE(runUntil([&] { return bar.text().find("second.bin") != std::string::npos; })) << bar.text();
    const std::uintmax_t before = partial("first.bin");
    server.release("/first.bin");
    // Until the first download has moved on, or ended.
    ASSERT_TRUE(runUntil([&] {
        return partial("first.bin") > before || !std::filesystem::exists(saved("first.bin.wkdownload"));
    }));
    EXPECT_NE(bar.text().find("second.bin"), std::string::npos) << bar.text();
    EXPECT_EQ(bar.buttons(), (std::vector { DownloadBar::Button::Save, DownloadBar::Button::Cancel }));

    // Stop stops the download it shows, and only that one.
    bar.press(DownloadBar::Button::Save);
    ASSERT_TRUE(runUntil([&] {
        return bar.text().find("Saving \u201csecond.bin\u201d") != std::string::npos
            && partial("second.bin") > 0;
    })) << bar.text();
    bar.press(DownloadBar::Button::Stop);
    ASSERT_TRUE(waitForDownload(Kind::Cancelled));
    EXPECT_TRUE(runUntil([&] {
        return !std::filesystem::exists(saved("second.bin"))
            && !std::filesystem::exists(saved("second.bin.wkdownload"));
    }));
    ASSERT_TRUE(waitForDownload(Kind::Finished)) << "the first download was stopped too";
    EXPECT_TRUE(test::TempDir::read(saved("first.bin")) == first);
    EXPECT_EQ(std::count(downloadEvents.begin(), downloadEvents.end(), Kind::Cancelled), 1);
    EXPECT_TRUE(runUntil([&] {
        return bar.text().find("\u201cfirst.bin\u201d was saved") != std::string::npos;
    })) << bar.text();
    server.release("/second.bin");
}

TEST_F(WebViewTest, ASecondDownloadOfTheSameAddressIsRefusedAndTheBarSaysSo)
{
    const std::string body = binaryBody(64 * 1024);
    server.route("/setup.exe", HttpRoute { .contentType = "application/octet-stream", .body = body });
    DownloadBar& bar = *view->downloadBar();
    view->load(server.url("/setup.exe"));
    ASSERT_TRUE(waitForQuestion(DownloadBar::Button::Save));
    const std::string question = bar.text();

    view->load(server.url("/setup.exe"));
    ASSERT_TRUE(waitForDownload(Kind::Cancelled));
    EXPECT_EQ(downloadEvents, (std::vector<Kind> { Kind::Started, Kind::Started, Kind::Cancelled }));
    EXPECT_EQ(server.requests("/setup.exe"), 2);
    EXPECT_EQ(view->downloads().running(), 1U);
    // The first download's question stays, with a word about the second.
    EXPECT_TRUE(bar.shown());
    EXPECT_EQ(bar.text(), question);
    EXPECT_EQ(bar.buttons(), (std::vector { DownloadBar::Button::Save, DownloadBar::Button::Cancel }));
    EXPECT_NE(bar.note().find("\u201csetup.exe\u201d from the same address is already under way"),
        std::string::npos)
        << bar.note();

    bar.press(DownloadBar::Button::Save);
    ASSERT_TRUE(waitForDownload(Kind::Finished));
    EXPECT_TRUE(test::TempDir::read(saved("setup.exe")) == body);
    EXPECT_EQ(bar.note(), "");
    EXPECT_EQ(view->downloads().running(), 0U);
}

TEST_F(WebViewTest, OutlivesTheWindowItWasShownIn)
{
    // Windows close before their browser objects let go of the view.
    server.route("/p", htmlPage("P", "p"));
    ASSERT_TRUE(load("/p"));
    int complaints = 0;
    auto count
        = [](const gchar*, GLogLevelFlags, const gchar*, gpointer counter) { ++*static_cast<int*>(counter); };
    auto levels = GLogLevelFlags(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING);
    guint gobject = g_log_set_handler("GLib-GObject", levels, count, &complaints);
    guint gtk = g_log_set_handler("Gtk", levels, count, &complaints);
    guint plain = g_log_set_handler(nullptr, levels, count, &complaints);
    gtk_widget_destroy(std::exchange(window, nullptr));
    view->downloadBar()->showFailed("late.bin", "a download ending after the window");
    view.reset();
    g_log_remove_handler("GLib-GObject", gobject);
    g_log_remove_handler("Gtk", gtk);
    g_log_remove_handler(nullptr, plain);
    EXPECT_EQ(complaints, 0);
}

// Once loaded, the page tells the server it goes into its endless script,
// and from then on its web process answers nothing.
const std::string loopingPage = htmlPage("Looping",
    "<script>onload = () => setTimeout(() => { const r = new XMLHttpRequest(); "
    "r.open('GET', '/looping', false); r.send(); for (;;) { } })</script>");

TEST_F(WebViewTest, APageThatNeverAnswersIsEndedFromTheBarAndTheCallGoesOnInAFreshProcess)
{
    server.route("/loop", loopingPage);
    server.route("/looping", "");
    server.route("/next", htmlPage("Next", "n"));
    UnresponsivePageBar& bar = view->unresponsivePageBar();
    auto showLooping = [&] {
        const int before = server.requests("/looping");
        return load("/loop") && runUntil([&] { return server.requests("/looping") > before; });
    };

    // The engine notices as the load waits on the page: the bar asks, and
    // waiting leaves the load pending.
    ASSERT_TRUE(showLooping());
    EXPECT_FALSE(bar.shown());
    view->load(server.url("/next"));
    ASSERT_TRUE(runUntil([&] { return bar.shown(); }));
    EXPECT_NE(bar.text().find("\u201cLooping\u201d is not responding"), std::string::npos) << bar.text();
    bar.press(UnresponsivePageBar::Answer::Wait);
    EXPECT_FALSE(bar.shown());
    EXPECT_TRUE(view->loading());

    // A stop asks at once; the page ended, nothing waits any more and no
    // load follows: the next one is the first to reach the server.
    view->stop();
    ASSERT_TRUE(bar.shown());
    bar.press(UnresponsivePageBar::Answer::EndPage);
    EXPECT_FALSE(bar.shown());
    EXPECT_FALSE(view->loading());
    ASSERT_TRUE(load("/next"));
    EXPECT_EQ(server.requests("/next"), 1);
    EXPECT_TRUE(runUntil([&] { return view->title() == "Next"; })) << view->title();

    // Each call that waits on such a page, ended from the bar, is made again
    // in a fresh process.
    struct Case {
        const char* call;
        std::function<void()> make;
        const char* arrives;
        const char* title;
    };
    const Case cases[] = {
        { "back", [&] { view->goBack(); }, "/next", "Next" },
        { "load", [&] { view->load(server.url("/next")); }, "/next", "Next" },
        { "reload", [&] { view->reload(); }, "/loop", "Looping" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        ASSERT_TRUE(showLooping());
        const int before = server.requests(c.arrives);
        c.make();
        ASSERT_TRUE(runUntil([&] { return bar.shown(); }));
        EXPECT_EQ(server.requests(c.arrives), before);
        bar.press(UnresponsivePageBar::Answer::EndPage);
        EXPECT_TRUE(runUntil([&] { return view->title() == c.title && !view->loading(); })) << view->title();
        EXPECT_EQ(server.requests(c.arrives), before + 1);
        EXPECT_FALSE(bar.shown());
    }
}

TEST_F(WebViewTest, ThePageAnsweringAgainTakesTheBarAwayAndTheLoadGoesOn)
{
    // The page's script waits for the server's answer, which the test holds.
    server.route("/stuck",
        htmlPage("Stuck",
            "<script>onload = () => setTimeout(() => { const r = new XMLHttpRequest(); "
            "r.open('GET', '/held', false); r.send(); })</script>"));
    server.route("/held", HttpRoute { .body = "", .held = true });
    server.route("/next", htmlPage("Next", "n"));
    UnresponsivePageBar& bar = view->unresponsivePageBar();
    ASSERT_TRUE(load("/stuck"));
    ASSERT_TRUE(runUntil([&] { return server.requests("/held") == 1; }));

    view->load(server.url("/next"));
    ASSERT_TRUE(runUntil([&] { return bar.shown(); }));
    EXPECT_EQ(server.requests("/next"), 0);
    server.release("/held");
    ASSERT_TRUE(runUntil([&] { return !bar.shown(); }));
    EXPECT_TRUE(runUntil([&] { return view->title() == "Next" && !view->loading(); })) << view->title();
    EXPECT_EQ(server.requests("/next"), 1);
}

} // namespace
} // namespace tvrn2
