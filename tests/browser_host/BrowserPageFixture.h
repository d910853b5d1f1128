#pragma once

#include "browser_host/FeBrowser.h"
#include "browser_host/FeProcess.h"
#include "platform/Window.h"
#include "platform/gtk/GtkBackend.h"
#include "platform/webkit/WebView.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/MainLoopWait.h"
#include "tests/support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <webkit2/webkit2.h>

namespace tvrn2::test {

// A browser object over a container control of a window on the screen,
// showing pages of a loopback server. Every wait has a watchdog.
template <class Browser = FeBrowser> class BrowserPageFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        TVRN2_NEED_DISPLAY(GtkBackend::available());
        for (const char* folder : { "config", "data", "cache" })
            std::filesystem::create_directories(home.path() / folder);
        backend = std::make_unique<GtkBackend>();
        ObjectQ().clear();
        window = std::make_unique<Window>("Pages", Rect { -1, -1, 320, 220 });
        placeholder = window->add(ControlKind::Container, "?BROWSER", "", { 10, 10, 300, 180 });
        window->open();
    }

    void TearDown() override
    {
        if (browser.CORECONTROL != 0)
            browser.Kill(0);
        window.reset();
        ObjectQ().clear();
    }

    // Initialises the browser (callbacks disabled unless asked) and counts
    // the loads its view finishes, so a page shown twice is waited for twice.
    ::testing::AssertionResult start(std::uint8_t disableCallbacks = 1)
    {
        if (browser.Init(std::nullopt, placeholder, 0, 0, disableCallbacks) != 1)
            return ::testing::AssertionFailure() << "Init failed";
        g_signal_connect(browser.webView()->webKitView(), "load-changed",
            G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, BrowserPageFixture* self) {
                if (event == WEBKIT_LOAD_FINISHED)
                    ++self->finishedLoads;
            }),
            this);
        return ::testing::AssertionSuccess();
    }

    // Serves the markup at `path` and shows it.
    ::testing::AssertionResult show(
        const std::string& path, const std::string& title, const std::string& body)
    {
        server.route(path, htmlPage(title, body));
        if (browser.CORECONTROL == 0) {
            if (auto started = start(); !started)
                return started;
        }
        unsigned before = finishedLoads;
        browser.Load(server.url(path));
        WebView* view = browser.webView();
        if (runUntil([&] { return finishedLoads > before && view->title() == title && !view->loading(); }))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the page " << path << " never showed";
    }

    // A script's string answer, run beside the bridge (the DOM is shared).
    std::string evaluate(const std::string& script)
    {
        ScriptResult result = browser.webView()->scripts().run(script);
        return result.ok() ? result.value.text() : "error: " + result.error;
    }

    TempDir home;
    ScopedEnv configHome { "XDG_CONFIG_HOME", (home.path() / "config").string() };
    ScopedEnv dataHome { "XDG_DATA_HOME", (home.path() / "data").string() };
    ScopedEnv cacheHome { "XDG_CACHE_HOME", (home.path() / "cache").string() };
    HttpTestServer server;
    std::unique_ptr<GtkBackend> backend;
    std::unique_ptr<Window> window;
    int placeholder { 0 };
    unsigned finishedLoads { 0 };
    Browser browser;
};

} // namespace tvrn2::test
