// The program asked for a picture of its window: it waits for the home page
// (or the browser's error page for it), saves the window as it is on the
// screen, and closes through its normal way out.

#include "app/MainWindow.h"
#include "app/Program.h"
#include "platform/GObjectPtr.h"
#include "platform/gtk/GtkBackend.h"
#include "platform/gtk/GtkWindowView.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TestSupport.h"
#include "tests/support/VirtualDisplay.h"

#include <filesystem>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

namespace tvrn2 {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

struct Colour {
    int red, green, blue;
};

// Counts the pixels inside `area` for which `matches` holds.
int countPixels(GdkPixbuf* picture, const GdkRectangle& area, const std::function<bool(Colour)>& matches)
{
    const int channels = gdk_pixbuf_get_n_channels(picture);
    const int stride = gdk_pixbuf_get_rowstride(picture);
    const guchar* pixels = gdk_pixbuf_read_pixels(picture);
    int count = 0;
    for (int y = area.y; y < area.y + area.height; ++y) {
        for (int x = area.x; x < area.x + area.width; ++x) {
            const guchar* p
                = pixels + static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x) * channels;
            count += matches({ p[0], p[1], p[2] }) ? 1 : 0;
        }
    }
    return count;
}

class LoadedPageSnapshotTest : public testing::Test {
protected:
    void SetUp() override
    {
        TVRN2_NEED_DISPLAY(GtkBackend::available());
        // The window's layout in pixels, measured with the desktop font as the program's view does.
        GtkWidget* probe = gtk_fixed_new();
        g_object_ref_sink(probe);
        units = GtkWindowView::unitsFor(probe);
        g_object_unref(probe);
    }

    GdkRectangle pixels(int x, int y, int width, int height) const
    {
        return { units.toPixelsX(x), units.toPixelsY(y), units.toPixelsX(width), units.toPixelsY(height) };
    }

    // Runs the program with "--screenshot" as the run command does without a
    // display (on a virtual display of its own, where its window cannot get in
    // the way of other tests' pointers), and reads the picture back.
    GObjectPtr<GdkPixbuf> runWithScreenshot(const fs::path& file)
    {
        test::VirtualDisplay display;
        EXPECT_FALSE(display.name().empty()) << "no virtual display";
        test::ScopedEnv onDisplay { "DISPLAY", display.name() };
        run = test::runProgram({ TVRN2_PROGRAM, "--screenshot", file.string() }, 90s);
        EXPECT_TRUE(run.finished) << "the program had to be killed\n" << run.errors;
        if (!fs::exists(file))
            return {};
        GError* error = nullptr;
        auto picture = GObjectPtr<GdkPixbuf>::adopt(gdk_pixbuf_new_from_file(file.c_str(), &error));
        EXPECT_TRUE(picture) << (error ? error->message : "");
        g_clear_error(&error);
        return picture;
    }

    // The picture has the window's size, and the program ended as it does
    // when the user closes the window: exit code 0, settings written back.
    void expectWindowPictureAndCleanEnd(GdkPixbuf* picture, const fs::path& file)
    {
        EXPECT_EQ(run.exitCode, 0) << run.errors;
        EXPECT_THAT(run.output, testing::HasSubstr("saved to " + file.string()));
        ASSERT_NE(picture, nullptr);
        const GdkRectangle window = pixels(0, 0, 397, 269);
        EXPECT_EQ(gdk_pixbuf_get_width(picture), window.width);
        EXPECT_EQ(gdk_pixbuf_get_height(picture), window.height);
        EXPECT_TRUE(fs::exists(dir / "config" / "tvrn2" / Program::iniFileName));
    }

    test::TempDir dir;
    test::ScopedEnv config { "XDG_CONFIG_HOME", (dir / "config").string() };
    test::ScopedEnv data { "XDG_DATA_HOME", (dir / "data").string() };
    test::ScopedEnv cache { "XDG_CACHE_HOME", (dir / "cache").string() };
    test::ScopedEnv noProxy { "no_proxy", std::nullopt };
    DialogUnits units { 1, 1 };
    test::ProgramRun run;
};

TEST_F(LoadedPageSnapshotTest, PictureShowsTheLoadedHomePageInTheWindow)
{
    // The program's fixed home page comes through a proxy on loopback.
    test::HttpTestServer proxy;
    const std::string home = MainAddresses().homePage;
    proxy.route(home, test::htmlPage("Tavrin", "home") + "<style>html,body{background:#1a4f9c}</style>");
    test::ScopedEnv httpProxy { "http_proxy", proxy.url() };
    const fs::path file = dir / "window.png";

    auto picture = runWithScreenshot(file);
    expectWindowPictureAndCleanEnd(picture.get(), file);
    ASSERT_TRUE(picture);
    EXPECT_EQ(proxy.requests(home), 1);
    // The browser's area shows the page's colour; the controls around it do not.
    const GdkRectangle browser = pixels(10, 22, 380, 206);
    const int pageColoured = countPixels(
        picture.get(), browser, [](Colour c) { return c.red == 0x1a && c.green == 0x4f && c.blue == 0x9c; });
    EXPECT_GT(pageColoured, browser.width * browser.height * 9 / 10);
    const GdkRectangle buttons = pixels(4, 252, 122, 14);
    EXPECT_GT(countPixels(picture.get(), buttons, [](Colour c) { return c.red + c.green + c.blue < 200; }), 0)
        << "no caption drawn on the download button";
}

TEST_F(LoadedPageSnapshotTest, UnreachableHomePageIsPicturedWithTheBrowsersErrorPage)
{
    test::ScopedEnv httpProxy { "http_proxy", test::HttpTestServer::closedUrl() };
    const fs::path file = dir / "offline.png";

    auto picture = runWithScreenshot(file);
    expectWindowPictureAndCleanEnd(picture.get(), file);
    ASSERT_TRUE(picture);
    // The error page is text on a light ground: dark pixels in the browser's area.
    const GdkRectangle browser = pixels(10, 22, 380, 206);
    EXPECT_GT(
        countPixels(picture.get(), browser, [](Colour c) { return c.red + c.green + c.blue < 200; }), 100);
}

TEST_F(LoadedPageSnapshotTest, PictureThatCannotBeWrittenEndsTheRunAsAFailure)
{
    test::ScopedEnv httpProxy { "http_proxy", test::HttpTestServer::closedUrl() };
    const fs::path file = dir / "no such folder" / "window.png";

    auto picture = runWithScreenshot(file);
    EXPECT_FALSE(picture);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.errors, testing::HasSubstr("cannot save the window picture " + file.string()));
    EXPECT_THAT(run.output, testing::Not(testing::HasSubstr("saved to")));
}

} // namespace
} // namespace tvrn2
