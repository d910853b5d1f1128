#include "app/LoadedPageSnapshot.h"

#include "app/MainWindow.h"
#include "browser_host/FeBrowser.h"
#include "platform/gtk/GtkWindowView.h"
#include "platform/gtk/WindowPicture.h"
#include "platform/webkit/WebView.h"

namespace tvrn2 {
namespace {

// How often the window is read back while its page is being painted.
constexpr std::chrono::milliseconds settlePoll { 150 };

} // namespace

LoadedPageSnapshot::LoadedPageSnapshot(
    MainWindow& window, std::filesystem::path file, std::chrono::milliseconds patience)
    : m_window(window)
    , m_file(std::move(file))
{
    m_window.onBrowserOpened = [this](FeBrowser& browser) { watch(browser); };
    m_patience = eventLoop().startTimer(patience, [this] {
        GtkWindowView* view = GtkWindowView::of(m_window.window());
        auto picture = readWindowPicture(view ? GTK_WIDGET(view->toplevel()) : nullptr);
        take(picture.get());
    });
}

LoadedPageSnapshot::~LoadedPageSnapshot()
{
    stopTimers();
    m_window.onBrowserOpened = nullptr;
    // The view goes with the browser when the window closes; only a live one
    // still holds the hooks.
    if (m_view && m_window.browser() && m_window.browser()->webView() == m_view)
        m_view->onLoadChanged.remove(m_loadListener);
}

void LoadedPageSnapshot::watch(FeBrowser& browser)
{
    m_view = browser.webView();
    if (!m_view)
        return;
    m_loadListener = m_view->onLoadChanged.add([this](LoadStage stage, const std::string& uri) {
        switch (stage) {
        case LoadStage::Started:
            m_committed = false;
            break;
        case LoadStage::Redirected:
            break;
        case LoadStage::Committed:
            m_committed = true;
            break;
        case LoadStage::Finished:
            // The browser starts on a blank page, and a load that could not
            // reach its page finishes without committing before the error
            // page for it loads: neither is the page the window opened with.
            if (m_committed && uri != "about:blank")
                pageShown();
            break;
        }
    });
}

void LoadedPageSnapshot::pageShown()
{
    if (m_shown || m_outcome != Outcome::Waiting)
        return;
    m_shown = true;
    std::weak_ptr<bool> alive = m_alive;
    m_view->whenPainted([this, alive] {
        if (alive.lock())
            pagePainted();
    });
}

void LoadedPageSnapshot::pagePainted()
{
    if (m_outcome != Outcome::Waiting || m_settle)
        return;
    // The window draws the page's frame some time after the page has: the
    // picture is taken once two reads in a row come back the same.
    m_settle = eventLoop().startTimer(settlePoll, [this] { compare(); });
}

void LoadedPageSnapshot::compare()
{
    GtkWindowView* view = GtkWindowView::of(m_window.window());
    auto picture = readWindowPicture(view ? GTK_WIDGET(view->toplevel()) : nullptr);
    if (!picture || !samePicture(picture.get(), m_last.get())) {
        m_last = std::move(picture);
        return;
    }
    take(picture.get());
}

void LoadedPageSnapshot::take(GdkPixbuf* picture)
{
    stopTimers();
    if (!picture)
        m_error = "the window is not on the screen";
    if (picture && savePicture(picture, m_file, &m_error))
        m_outcome = m_shown ? Outcome::Saved : Outcome::SavedBeforeLoad;
    else
        m_outcome = Outcome::Failed;
    m_window.window().post(Event::CloseWindow);
}

void LoadedPageSnapshot::stopTimers()
{
    for (EventLoop::TimerId* timer : { &m_patience, &m_settle }) {
        if (*timer)
            eventLoop().stopTimer(*timer);
        *timer = 0;
    }
}

} // namespace tvrn2
