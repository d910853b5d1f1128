// The peer: a bare WebKitGTK window loading one page, nothing else.
// Prints "loaded" when the page finished, then the memory of its processes.
// Usage: browser_startup_bare URL [WIDTH HEIGHT]: the view's size in pixels
// (default 800 by 600), so that it draws the same area as the other program.
#include "ProcessMemory.h"

#include <cstdio>
#include <cstdlib>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

static void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer)
{
    if (event != WEBKIT_LOAD_FINISHED)
        return;
    std::printf("loaded\n");
    std::fflush(stdout);
    // Let the page settle as the other program does before measuring.
    g_timeout_add(
        500,
        [](gpointer) -> gboolean {
            int processes = 0;
            long kb = treeResidentKb(processes);
            std::printf("rss %ld %d\n", kb, processes);
            std::fflush(stdout);
            gtk_main_quit();
            return G_SOURCE_REMOVE;
        },
        nullptr);
}

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    gtk_init(&argc, &argv);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(
        GTK_WINDOW(window), argc > 3 ? std::atoi(argv[2]) : 800, argc > 3 ? std::atoi(argv[3]) : 600);
    GtkWidget* view = webkit_web_view_new();
    gtk_container_add(GTK_CONTAINER(window), view);
    g_signal_connect(view, "load-changed", G_CALLBACK(onLoadChanged), nullptr);
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), argv[1]);
    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}
