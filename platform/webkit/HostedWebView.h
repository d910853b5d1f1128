#pragma once

#include "platform/webkit/WebView.h"

#include <cstdint>
#include <memory>

namespace tvrn2 {

class Window;

// A rectangle in pixels of a window's client area, by its edges.
struct PixelRect {
    std::int32_t left { 0 };
    std::int32_t top { 0 };
    std::int32_t right { 0 };
    std::int32_t bottom { 0 };

    bool empty() const { return right <= left || bottom <= top; }
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// Where a control of the window sits, in pixels: as the window's GTK view
// lays it out, or by the standard dialog font when the window has no view.
PixelRect controlPixelRect(const Window& window, int control);

// A web view shown in a window over a rectangle of its client area, above
// the window's own controls. While a synchronous script call waits, the
// window's events are held back.
class HostedWebView {
public:
    // Null when the window is not on the screen: there is nothing to show a page in.
    static std::unique_ptr<HostedWebView> create(
        Window& window, const PixelRect& rect, WebViewOptions options);
    ~HostedWebView();
    HostedWebView(const HostedWebView&) = delete;
    HostedWebView& operator=(const HostedWebView&) = delete;

    WebView& view() { return *m_view; }

    // An empty rectangle hides the view until it gets a real one again.
    void setRect(const PixelRect& rect);
    PixelRect rect() const { return m_rect; }
    bool shown() const;

    void focus();
    bool hasFocus() const;

private:
    HostedWebView(Window& window, void* fixed, std::unique_ptr<WebView> view);

    std::weak_ptr<bool> m_windowAlive;
    GObjectPtr<GtkWidget> m_fixed; // the window's layout
    std::unique_ptr<WebView> m_view;
    PixelRect m_rect;
};

} // namespace tvrn2
