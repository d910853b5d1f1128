#include "tests/browser_host/BrowserPageFixture.h"

#include <cstring>

namespace tvrn2 {
namespace {

using namespace std::chrono_literals;
using test::HttpRoute;
using test::runUntil;

using InfoTest = test::BrowserPageFixture<>;

TEST_F(InfoTest, RequestCodesAnswerFromTheBrowserAndTheRootElement)
{
    server.route("/inner", test::htmlPage("Inner", "<p>inside the frame</p>"));
    ASSERT_TRUE(show("/info", "Info page",
        "<p>Hello</p><iframe src='/inner'></iframe>"
        "<script>document.documentElement.id = 'root'; document.documentElement.lang = 'en';"
        "document.documentElement.className = 'c1 c2';</script>"));
    ASSERT_TRUE(runUntil([&] { return evaluate("frames[0] ? frames[0].document.title : ''") == "Inner"; }));

    struct Case {
        const char* request;
        std::string expected;
    };
    const std::vector<Case> cases { { "1", server.url("/info") }, { "2", "Info page" }, { "3", "text/html" },
        { "4", "0" }, { "8", evaluate("document.documentElement.outerHTML") },
        { "7", evaluate("document.documentElement.innerHTML") }, { "9", "c1 c2" }, { "10", "root" },
        { "11", "HTML" }, { "16", "en" }, { "15", "" },
        { "19", evaluate("String(document.documentElement.offsetWidth)") }, { " 18 ", "0" },
        { "12", "No data to return" }, { "14", "No data to return" }, { "x", "No data to return" },
        { "", "No data to return" }, { "1x", "No data to return" } };
    for (const Case& c : cases)
        EXPECT_EQ(browser.GetInfo(c.request), c.expected) << "request \"" << c.request << "\"";
    EXPECT_TRUE(browser.GETINFO_OUTERHTML.starts_with("<html")) << "the whole page, not its body";
    EXPECT_EQ(browser.URL.clipped(), server.url("/info"));
    EXPECT_EQ(browser.GETINFO_TAGNAME, "HTML");

    // A frame's root element; a frame that does not exist leaves the last text.
    EXPECT_NE(browser.GetInfo("5", 1).find("inside the frame"), std::string::npos);
    EXPECT_EQ(browser.GetInfo("5", 7), browser.GETINFO_INNERTEXT);
    EXPECT_NE(browser.GETINFO_INNERTEXT.find("inside the frame"), std::string::npos);
    EXPECT_EQ(browser.GetInfo("10", 1), "");
    EXPECT_EQ(browser.TEMPDISPOBJECTHOLDER, 0);

    EXPECT_EQ(browser.GetInfoText("8").size(), 255u);
    EXPECT_EQ(browser.GetInfoText("8"), browser.GETINFO_OUTERHTML.substr(0, 255));
}

TEST_F(InfoTest, BusyFollowsTheLoad)
{
    ASSERT_TRUE(start());
    server.route("/slow", HttpRoute { .body = test::htmlPage("Slow", "s"), .held = true });
    browser.Load(server.url("/slow"));
    // Busy from the moment the address is accepted, before the engine has
    // reported anything, and still while the server holds the answer.
    EXPECT_EQ(browser.GetInfo("4"), "1");
    ASSERT_TRUE(runUntil([&] { return server.requests("/slow") == 1; }));
    EXPECT_EQ(browser.GetInfo("4"), "1");
    browser.RefreshDocumentInfo();
    EXPECT_EQ(browser.BUSY, 1);
    server.release("/slow");
    // The title may be reported just after the load ends.
    ASSERT_TRUE(runUntil([&] { return browser.GetInfo("4") == "0" && browser.GetInfo("2") == "Slow"; }));
    browser.RefreshDocumentInfo();
    EXPECT_EQ(browser.BUSY, 0);
    EXPECT_EQ(browser.URL.clipped(), server.url("/slow"));
    EXPECT_EQ(browser.PAGETITLE, "Slow");
    EXPECT_EQ(browser.DOCUMENTTYPE, "text/html");
}

TEST_F(InfoTest, BusyEndsWithEveryWayALoadEnds)
{
    ASSERT_TRUE(show("/page", "Page", "<p id='here'>x</p>"));
    server.route("/moved", HttpRoute { .status = 302, .headers = { { "Location", "/page" } } });
    server.route("/held", HttpRoute { .body = test::htmlPage("Held", "h"), .held = true });
    server.route(
        "/file.bin", HttpRoute { .contentType = "application/octet-stream", .body = std::string(1024, 'x') });
    bool downloadEnded = false;
    browser.webView()->downloads().onEvent = [&](const DownloadEvent& event) {
        downloadEnded = downloadEnded || event.kind != DownloadEvent::Kind::Started;
        if (event.kind == DownloadEvent::Kind::Started)
            browser.webView()->downloads().cancelAll();
    };

    struct Case {
        const char* what;
        std::function<void()> begin;
    };
    const std::vector<Case> cases {
        { "stopped",
            [&] {
                browser.Load(server.url("/held"));
                browser.Stop();
            } },
        { "failed", [&] { browser.Load(test::HttpTestServer::closedUrl("/gone")); } },
        { "turned into a download", [&] { browser.Load(server.url("/file.bin")); } },
        { "a jump within the page", [&] { browser.Load(server.url("/page#here")); } },
        { "a reload", [&] { browser.RefreshPage(); } },
        { "a redirect", [&] { browser.Load(server.url("/moved")); } },
        { "back", [&] { browser.GoBack(); } },
    };
    for (const Case& c : cases) {
        c.begin();
        EXPECT_TRUE(runUntil([&] { return browser.GetInfo("4") == "0"; })) << c.what;
    }
    // The loads that followed came after it: a load stopped at once never
    // reached the server.
    EXPECT_EQ(server.requests("/held"), 0);
    server.release("/held");
}

TEST_F(InfoTest, GraphicsOfALocalPageAreListedByTheirFullPaths)
{
    std::string page = "<html><body background=\"/w/b.jpg\"><img src=\"pics/a.gif\"><p>x</p></body></html>";
    home.write("site/index.htm", page);
    ASSERT_TRUE(start());
    std::string address = "file://" + (home.path() / "site" / "index.htm").string();
    browser.Load(address);
    ASSERT_TRUE(
        runUntil([&] { return browser.webView()->uri() == address && !browser.webView()->loading(); }));
    browser.ROOTFOLDER = "";

    browser.GetHtmlGraphicsInfo(browser.GetInfo("8"));
    EXPECT_EQ(
        browser.GRAPHICSLIST.clipped(), "/w/b.jpg," + (home.path() / "site" / "pics" / "a.gif").string());
    EXPECT_NE(browser.SOURCE.raw().find("<body background=\"cid:b.jpg\"><img src=\"cid:a.gif\">"),
        std::string::npos)
        << browser.SOURCE.raw();
    EXPECT_FALSE(browser.ROOTFOLDER.blank()) << "a blank root folder becomes the current directory";

    // The buffer form: the same lists, and the buffer keeps only what follows the last reference.
    std::vector<char> buffer(page.size() + 1);
    std::memcpy(buffer.data(), page.c_str(), page.size() + 1);
    browser.GRAPHICSLIST = "";
    browser.GetHtmlGraphicsInfo(buffer.data(), static_cast<std::int32_t>(buffer.size()));
    EXPECT_EQ(
        browser.GRAPHICSLIST.clipped(), "/w/b.jpg," + (home.path() / "site" / "pics" / "a.gif").string());
    EXPECT_STREQ(buffer.data(), "\"><p>x</p></body></html>");

    // Blank text leaves everything as it was.
    browser.GetHtmlGraphicsInfo("   ");
    EXPECT_FALSE(browser.GRAPHICSLIST.blank());
}

TEST_F(InfoTest, SelectionRangeSelectsAndReplaces)
{
    ASSERT_TRUE(show("/select", "Select", "<p id='p'>hello world</p>"));
    std::string selectWorld
        = "(() => { const t = document.getElementById('p').firstChild;"
          "const r = document.createRange(); r.setStart(t, 6); r.setEnd(t, 11);"
          "const s = getSelection(); s.removeAllRanges(); s.addRange(r); return s.toString(); })()";
    ASSERT_EQ(evaluate(selectWorld), "world");
    browser.SelectionRange(1);
    EXPECT_EQ(evaluate("getSelection().toString()"), "world");
    browser.SelectionRange(2, "   ");
    EXPECT_EQ(evaluate("document.getElementById('p').innerHTML"), "hello world")
        << "blank markup changes nothing";
    browser.SelectionRange(2, "<b>there</b>");
    EXPECT_EQ(evaluate("document.getElementById('p').innerHTML"), "hello <b>there</b>");

    // Without a selection nothing happens.
    evaluate("getSelection().removeAllRanges(), ''");
    browser.SelectionRange(2, "<i>no</i>");
    EXPECT_EQ(evaluate("document.getElementById('p').innerHTML"), "hello <b>there</b>");
}

TEST(InfoWithoutControl, AnswersNoData)
{
    FeBrowser browser;
    for (const char* request : { "1", "4", "8", "19" })
        EXPECT_EQ(browser.GetInfo(request), "No data to return") << request;
    browser.RefreshDocumentInfo();
    EXPECT_EQ(browser.URL, "No data to return");
    browser.SelectionRange(2, "<b>x</b>");
}

} // namespace
} // namespace tvrn2
