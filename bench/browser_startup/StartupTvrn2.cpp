// The program's way to the same page: the GTK window runtime, a window with
// a container control, the browser host's process start and a browser object
// created over the container by the control sites. Prints "loaded" when the
// page finished, then the view's size in pixels and the memory of its
// processes.
#include "ProcessMemory.h"
#include "browser_host/FeBrowser.h"
#include "browser_host/FeProcess.h"
#include "platform/Window.h"
#include "platform/gtk/GtkBackend.h"
#include "platform/webkit/WebView.h"

#include <cstdio>
#include <glib.h>
#include <gtk/gtk.h>

using namespace tvrn2;

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    g_set_prgname("tvrn2");
    GtkBackend backend;
    feProcessStart();
    Window window("tvrn2", { -1, -1, 533, 300 });
    int container = window.add(ControlKind::Container, "?BROWSER", "", { 0, 0, 533, 300 });
    window.open();
    FeBrowser browser;
    if (browser.Init(argv[1], container, 0, 0, 1) != 1 || !browser.webView())
        return 1;
    bool loaded = false;
    browser.webView()->onLoadChanged.add([&](LoadStage stage, const std::string& uri) {
        loaded = loaded || (stage == LoadStage::Finished && uri == argv[1]);
    });
    while (!loaded)
        g_main_context_iteration(nullptr, TRUE);
    std::printf("loaded\n");
    std::fflush(stdout);
    gint64 settle = g_get_monotonic_time() + 500000;
    while (g_get_monotonic_time() < settle) {
        if (!g_main_context_iteration(nullptr, FALSE))
            g_usleep(1000);
    }
    GtkAllocation area;
    gtk_widget_get_allocation(GTK_WIDGET(browser.webView()->webKitView()), &area);
    std::printf("size %d %d\n", area.width, area.height);
    int processes = 0;
    long kb = treeResidentKb(processes);
    std::printf("rss %ld %d\n", kb, processes);
    std::fflush(stdout);
    browser.Kill(0);
    feProcessEnd();
    return 0;
}
