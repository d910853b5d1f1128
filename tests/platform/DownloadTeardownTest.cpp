// A web view that goes while one of its downloads is being stopped.

#include "platform/webkit/WebView.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/MainLoopWait.h"
#include "tests/support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

namespace tvrn2 {
namespace {

using test::HttpRoute;
using test::runUntil;

class DownloadTeardownTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        g_set_prgname("tvrn2");
        ASSERT_TRUE(gtk_init_check(nullptr, nullptr)) << "no display: run the tests under xvfb-run";
    }

    void TearDown() override
    {
        if (window)
            close();
        server.stop();
    }

    // A view with its own download folder, in a window of its own.
    void open()
    {
        WebViewOptions options;
        options.dataStore = DataStore::Ephemeral;
        options.downloadFolder = [this] { return folder.path(); };
        view = std::make_unique<WebView>(std::move(options));
        window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_container_add(GTK_CONTAINER(window), view->widget());
        gtk_widget_show_all(window);
    }

    // Destroys the window first, as a closing window does, then the view.
    void close()
    {
        gtk_widget_destroy(std::exchange(window, nullptr));
        view.reset();
    }

    bool asked(const std::string& name)
    {
        auto* bar = view->downloadBar();
        return bar->shown() && bar->text().find(name) != std::string::npos;
    }

    test::HttpTestServer server;
    test::TempDir folder;
    std::unique_ptr<WebView> view;
    GtkWidget* window { nullptr };
};

TEST_F(DownloadTeardownTest, AViewClosedBeforeItsStopIsAnsweredStopsEachDownloadOnce)
{
    const std::string body(256 << 10, 'x');
    server.route("/held.bin",
        HttpRoute { .contentType = "application/octet-stream", .body = body, .holdAfter = body.size() / 2 });
    server.route("/after.bin", HttpRoute { .contentType = "application/octet-stream", .body = "after" });
    const auto partial = folder.path() / "held.bin.wkdownload";

    open();
    view->load(server.url("/held.bin"));
    ASSERT_TRUE(runUntil([&] { return asked("held.bin"); }));
    view->downloadBar()->press(DownloadBar::Button::Save);
    ASSERT_TRUE(runUntil([&] {
        std::error_code ignored;
        return std::filesystem::file_size(partial, ignored) >= body.size() / 2;
    }));
    // Stopped, and gone before the engine has answered the stop.
    view->downloads().cancelAll();
    close();
    EXPECT_TRUE(runUntil([&] { return std::filesystem::is_empty(folder.path()); }))
        << "the stopped download left files behind";
    server.release("/held.bin");

    // The engine's answers about the stopped download come before anything
    // about a later one.
    open();
    view->load(server.url("/after.bin"));
    EXPECT_TRUE(runUntil([&] { return asked("after.bin"); }));
}

} // namespace
} // namespace tvrn2
