// Round trip of the document bridge: 1000 reads of an input's value by
// handle, against the same read as a bare script call in the page's world
// (one evaluate_javascript and a wait on the main context, nothing more).
// Prints median and 99th percentile of each and their ratio.

#include "platform/webkit/WebView.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <gtk/gtk.h>
#include <vector>
#include <webkit2/webkit2.h>

using namespace tvrn2;
using Clock = std::chrono::steady_clock;

namespace {

struct Figures {
    double median;
    double p99;
};

Figures measure(int rounds, const std::function<bool()>& call)
{
    std::vector<double> times;
    times.reserve(rounds);
    for (int i = 0; i < rounds; ++i) {
        auto start = Clock::now();
        if (!call()) {
            std::fprintf(stderr, "call %d failed\n", i);
            std::exit(1);
        }
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return { times[times.size() / 2], times[std::min(times.size() - 1, times.size() * 99 / 100)] };
}

} // namespace

int main(int argc, char** argv)
{
    int rounds = argc > 1 ? std::atoi(argv[1]) : 1000;
    g_set_prgname("tvrn2");
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "no display\n");
        return 1;
    }
    WebViewOptions options;
    options.dataStore = DataStore::Ephemeral;
    WebView view(options);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window), 800, 600);
    gtk_container_add(GTK_CONTAINER(window), view.widget());
    gtk_widget_show_all(window);

    bool loaded = false;
    view.onLoadChanged.add(
        [&](LoadStage stage, const std::string&) { loaded = loaded || stage == LoadStage::Finished; });
    webkit_web_view_load_html(view.webKitView(),
        "<html><body><form><input id='field' value='some value'></form></body></html>",
        "http://bench.invalid/");
    while (!loaded)
        g_main_context_iteration(nullptr, TRUE);

    ScriptRunner pageWorld(view.webKitView(), "");
    DocumentBridge& bridge = view.document();
    ObjectHandle document = bridge.document().value.toHandle();
    ObjectHandle field
        = bridge.invoke(document, "getElementById", { JsValue::string("field") }).value.toHandle();

    // Warm both paths up before measuring.
    measure(100, [&] { return bridge.get(field, "value").ok(); });
    measure(100, [&] { return pageWorld.run("document.getElementById('field').value").ok(); });

    Figures ours = measure(rounds, [&] { return bridge.get(field, "value").ok(); });
    Figures bare
        = measure(rounds, [&] { return pageWorld.run("document.getElementById('field').value").ok(); });

    std::printf("%d property reads\n", rounds);
    std::printf("%-28s median %.3f ms  p99 %.3f ms\n", "document bridge get", ours.median, ours.p99);
    std::printf("%-28s median %.3f ms  p99 %.3f ms\n", "bare evaluate_javascript", bare.median, bare.p99);
    std::printf(
        "ratio (bridge / bare): median %.2f  p99 %.2f\n", ours.median / bare.median, ours.p99 / bare.p99);
    std::printf("goal: bridge median <= 0.3 ms: %s\n", ours.median <= 0.3 ? "met" : "NOT met");
    gtk_widget_destroy(window);
    return 0;
}
