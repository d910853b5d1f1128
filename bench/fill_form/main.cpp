// The browser object's element operations on pages of a loopback server
// (compare.py serves them and runs the other side):
//
//   fill_form_bench fill URL ROUNDS FIELDS BOXES
//     Loads the form at URL once per round and fills it by name: text inputs
//     "field000".. with "value 000".. through SetValueByName, then ticks the
//     check boxes "box00".. with the value 1. Prints "round MS" per round,
//     timing only the filling. Every round checks the form was blank before
//     and holds every value afterwards, read back from the page.
//
//   fill_form_bench walk URL ROUNDS
//     Walks the page at URL with GetElementQ over all tags into a queue,
//     ROUNDS times. Prints "round MS ROWS" per round and the peak memory of
//     this process and of the web process before and after the walks. The
//     queue must hold exactly the page's elements of the walked tags, in the
//     walk's order.
//
// Exits 1 with a message on standard error when a check fails.

#include "bench/browser_startup/ProcessMemory.h"
#include "browser_host/FeBrowser.h"
#include "browser_host/FeProcess.h"
#ifdef TVRN2_BENCH_LEAK_TRACKING
#include "diagnostics/Diagnostics.h"
#endif
#include "platform/Window.h"
#include "platform/gtk/GtkBackend.h"
#include "platform/webkit/ScriptRunner.h"
#include "platform/webkit/WebView.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <glib.h>
#include <string>
#include <webkit2/webkit2.h>

using namespace tvrn2;
using Clock = std::chrono::steady_clock;

namespace {

[[noreturn]] void fail(const std::string& message)
{
    std::fprintf(stderr, "fill_form_bench: %s\n", message.c_str());
    std::exit(1);
}

// Runs the main context until `done` holds; a page that never arrives ends
// the run instead of hanging it.
void runUntil(const std::function<bool()>& done, const std::string& what, int seconds = 60)
{
    gint64 deadline = g_get_monotonic_time() + gint64(seconds) * G_USEC_PER_SEC;
    guint wake = g_timeout_add(
        50, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
    while (!done()) {
        if (g_get_monotonic_time() > deadline)
            fail("timed out waiting for " + what);
        g_main_context_iteration(nullptr, TRUE);
    }
    g_source_remove(wake);
}

std::string numbered(const char* format, int number)
{
    char text[32];
    std::snprintf(text, sizeof text, format, number);
    return text;
}

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A browser object over a container control of a window on the screen.
class PageBrowser {
public:
    PageBrowser()
    {
        m_window.open();
        if (m_browser.Init(std::nullopt, m_container, 0, 0, 1) != 1 || !m_browser.webView())
            fail("the browser object could not be created");
        g_signal_connect(m_browser.webView()->webKitView(), "load-changed",
            G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, unsigned* finished) {
                if (event == WEBKIT_LOAD_FINISHED)
                    ++*finished;
            }),
            &m_finishedLoads);
    }

    ~PageBrowser()
    {
        m_browser.Kill(0);
        feProcessEnd();
    }

    void show(const std::string& url)
    {
        unsigned before = m_finishedLoads;
        m_browser.Load(url);
        WebView* view = m_browser.webView();
        runUntil([&] { return m_finishedLoads > before && !view->loading() && view->uri() == url; }, url);
        // The fresh page's first drawing belongs to its load, not to the
        // fills timed next.
        bool painted = false;
        view->whenPainted([&] { painted = true; });
        runUntil([&] { return painted; }, "the page drawn");
    }

    // A script's text answer, run in the page beside the browser object's own
    // script (the document is shared).
    std::string evaluate(const std::string& script)
    {
        ScriptResult result = m_browser.webView()->scripts().run(script, std::chrono::seconds(30));
        if (!result.ok())
            fail("script failed: " + result.error);
        return result.value.text();
    }

    FeBrowser& browser() { return m_browser; }

private:
    // The browser host's process start runs before any window or browser object.
    struct ProcessStart {
        ProcessStart() { feProcessStart(); }
    };

    GtkBackend m_backend;
    ProcessStart m_processStart;
    Window m_window { "fill_form_bench", { -1, -1, 533, 300 } };
    int m_container { m_window.add(ControlKind::Container, "?BROWSER", "", { 0, 0, 533, 300 }) };
    FeBrowser m_browser;
    unsigned m_finishedLoads { 0 };
};

int fill(const std::string& url, int rounds, int fields, int boxes)
{
    PageBrowser page;
    // Every text input and check box of the page as "name=value" lines.
    const std::string readForm = "Array.from(document.querySelectorAll('input')).map(e => e.name + '=' +"
                                 " (e.type === 'checkbox' ? String(e.checked) : e.value)).join('\\n')";
    std::string blank, filled;
    for (int i = 0; i < fields; ++i) {
        blank += numbered("field%03d=\n", i);
        filled += numbered("field%03d=", i) + numbered("value %03d\n", i);
    }
    for (int i = 0; i < boxes; ++i) {
        blank += numbered("box%02d=false\n", i);
        filled += numbered("box%02d=true\n", i);
    }
    blank.pop_back();
    filled.pop_back();

    for (int round = 0; round < rounds; ++round) {
        page.show(url);
        if (std::string before = page.evaluate(readForm); before != blank)
            fail("the form was not blank before round " + std::to_string(round) + ": "
                + before.substr(0, 200));
        FeBrowser& browser = page.browser();
        auto start = Clock::now();
        for (int i = 0; i < fields; ++i)
            browser.SetValueByName(numbered("field%03d", i), numbered("value %03d", i));
        for (int i = 0; i < boxes; ++i)
            browser.SetValueByName(numbered("box%02d", i), "1");
        // Fills go to the page without a wait for each; the round ends once
        // the page has done them all, which the answer of the next call
        // into it (coming after theirs) shows.
        page.evaluate("''");
        double elapsed = millisecondsSince(start);
        if (page.evaluate(readForm) != filled)
            fail("the form does not hold the values after round " + std::to_string(round));
        std::printf("round %.3f\n", elapsed);
        std::fflush(stdout);
    }
    return 0;
}

// Peak resident memory of this process and the largest of the processes
// below it (the web process, which holds the page), in kB.
struct Peaks {
    long self { 0 };
    long child { 0 };
};

Peaks peaks()
{
    Peaks result;
    int self = getpid();
    for (int pid : processTree()) {
        long kb = statusKb(pid, "VmHWM:");
        if (pid == self)
            result.self = kb;
        else
            result.child = std::max(result.child, kb);
    }
    return result;
}

int walk(const std::string& url, int rounds)
{
    PageBrowser page;
    page.show(url);
    // Let the page finish painting, so the peaks before the walks are the
    // page's own.
    gint64 settled = g_get_monotonic_time() + G_USEC_PER_SEC / 2;
    runUntil([&] { return g_get_monotonic_time() > settled; }, "the page to settle");
    // The walk's order: tag by tag, each tag's elements in document order.
    const std::string expected = page.evaluate(
        "['body', 'div', 'form', 'input', 'meta', 'select', 'textarea', 'img'].flatMap(tag =>"
        " Array.from(document.getElementsByTagName(tag)).map(e => e.tagName + '#' + e.id)).join('\\n')");
    const long pageElements
        = std::atol(page.evaluate("String(document.getElementsByTagName('*').length)").c_str());

    Peaks before = peaks();
    ElementQueue queue;
    for (int round = 0; round < rounds; ++round) {
        auto start = Clock::now();
        std::string result = page.browser().GetElementQ("", "", "", "", &queue, 1, 0, 1, 0, 0);
        double elapsed = millisecondsSince(start);
        std::string seen;
        for (const ElementQueueRow& row : queue) {
            if (row.RecordID != static_cast<std::int32_t>(&row - queue.data()) + 1)
                fail("record ids out of order at row " + std::to_string(row.RecordID));
            seen += row.ElementTagName.clipped() + "#" + row.ElementID.clipped() + "\n";
        }
        if (!seen.empty())
            seen.pop_back();
        if (seen != expected || result != "No data to return")
            fail("the queue does not hold the page's elements in walk order (" + std::to_string(queue.size())
                + " rows)");
        std::printf("round %.3f %zu\n", elapsed, queue.size());
        std::fflush(stdout);
    }
    Peaks after = peaks();
    std::printf("elements %ld\n", pageElements);
    std::printf("peak-self %ld %ld\n", before.self, after.self);
    std::printf("peak-web %ld %ld\n", before.child, after.child);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    g_set_prgname("tvrn2");
#ifdef TVRN2_BENCH_LEAK_TRACKING
    tvrn2::startDiagnostics();
    tvrn2::stopDiagnostics(); // the report comes as the process exits
#endif
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "fill" && argc == 6)
        return fill(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
    if (mode == "walk" && argc == 4)
        return walk(argv[2], std::atoi(argv[3]));
    std::fprintf(stderr, "usage: %s fill URL ROUNDS FIELDS BOXES | walk URL ROUNDS\n", argv[0]);
    return 2;
}
