#include "platform/webkit/HostedWebView.h"

#include "platform/DialogUnits.h"
#include "platform/Window.h"
#include "platform/gtk/GtkWindowView.h"

#include <gtk/gtk.h>

namespace tvrn2 {
namespace {

// The event hold a waiting script call keeps for its window.
class WindowWaitHold final : public WaitHold {
public:
    explicit WindowWaitHold(Window& window)
        : m_hold(window)
    { }

private:
    EventHold m_hold;
};

// The dialog font a window starts with before GTK measured the real one.
const DialogUnits standardUnits { 6, 13 };

} // namespace

PixelRect controlPixelRect(const Window& window, int control)
{
    if (const GtkWindowView* view = GtkWindowView::of(window)) {
        GdkRectangle pixels = view->pixelRect(control);
        return { pixels.x, pixels.y, pixels.x + pixels.width, pixels.y + pixels.height };
    }
    const Control* placeholder = window.control(control);
    if (!placeholder)
        return {};
    Rect rect = placeholder->rect();
    int left = standardUnits.toPixelsX(rect.x);
    int top = standardUnits.toPixelsY(rect.y);
    return { left, top, left + standardUnits.toPixelsX(rect.width),
        top + standardUnits.toPixelsY(rect.height) };
}

std::unique_ptr<HostedWebView> HostedWebView::create(
    Window& window, const PixelRect& rect, WebViewOptions options)
{
    GtkWindowView* windowView = GtkWindowView::of(window);
    if (!windowView)
        return nullptr;
    GtkWidget* fixed = gtk_bin_get_child(GTK_BIN(windowView->toplevel()));
    if (!fixed || !GTK_IS_FIXED(fixed))
        return nullptr;
    std::unique_ptr<HostedWebView> hosted(
        new HostedWebView(window, fixed, std::make_unique<WebView>(std::move(options))));
    hosted->setRect(rect);
    return hosted;
}

HostedWebView::HostedWebView(Window& window, void* fixed, std::unique_ptr<WebView> view)
    : m_windowAlive(window.alive())
    , m_fixed(GObjectPtr<GtkWidget>::ref(static_cast<GtkWidget*>(fixed)))
    , m_view(std::move(view))
{
    gtk_fixed_put(GTK_FIXED(m_fixed.get()), m_view->widget(), 0, 0);
    auto alive = m_windowAlive;
    Window* host = &window;
    m_view->scripts().holdEvents = [alive, host]() -> std::unique_ptr<WaitHold> {
        if (alive.expired())
            return nullptr;
        return std::make_unique<WindowWaitHold>(*host);
    };
}

HostedWebView::~HostedWebView()
{
    GtkWidget* widget = m_view->widget();
    if (gtk_widget_get_parent(widget) == m_fixed.get())
        gtk_container_remove(GTK_CONTAINER(m_fixed.get()), widget);
    m_view.reset();
}

void HostedWebView::setRect(const PixelRect& rect)
{
    m_rect = rect;
    GtkWidget* widget = m_view->widget();
    if (gtk_widget_get_parent(widget) != m_fixed.get())
        return; // the window is gone
    if (rect.empty()) {
        gtk_widget_hide(widget);
        return;
    }
    gtk_fixed_move(GTK_FIXED(m_fixed.get()), widget, rect.left, rect.top);
    gtk_widget_set_size_request(widget, rect.right - rect.left, rect.bottom - rect.top);
    gtk_widget_show(widget);
}

bool HostedWebView::shown() const
{
    return gtk_widget_get_visible(m_view->widget());
}

void HostedWebView::focus()
{
    gtk_widget_grab_focus(GTK_WIDGET(m_view->webKitView()));
}

bool HostedWebView::hasFocus() const
{
    return gtk_widget_has_focus(GTK_WIDGET(m_view->webKitView()));
}

} // namespace tvrn2
