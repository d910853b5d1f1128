#pragma once

#include "platform/webkit/HostedWebView.h"

#include <cstdint>
#include <memory>
#include <string_view>

namespace tvrn2 {

class Window;
class WebView;

// Handles of windows as the site records keep them: small numbers, handed
// out on first use and never reused. A window's client area has the same
// handle as the window. 0 names no window.
std::int32_t windowHandleOf(Window& window);
Window* windowOfHandle(std::intptr_t handle);

// Every site object lives in one table and is referred to by its number
// there, which is what the master's OLE fields and the ObjectQ hold.
// Releasing a reference erases the object; a released or unknown reference
// finds nothing instead of freed memory.
class SiteObject {
public:
    virtual ~SiteObject() = default;
};

std::intptr_t addSiteObject(std::unique_ptr<SiteObject> object);
void releaseSiteObject(std::intptr_t reference);
SiteObject* findSiteObject(std::intptr_t reference);
template <typename T> T* siteObject(std::intptr_t reference)
{
    return dynamic_cast<T*>(findSiteObject(reference));
}
std::size_t liveSiteObjects();

// The in-place frame of a thread: the hosting window itself.
class OleFrame final : public SiteObject {
public:
    bool IsInitialized(std::intptr_t windowHandle, std::intptr_t container);
    Window* window() const { return m_window; }

private:
    Window* m_window { nullptr };
    std::intptr_t m_container { 0 };
};

// The container of a thread's controls.
class OleContainer final : public SiteObject {
public:
    bool Init(std::intptr_t frame);

private:
    std::intptr_t m_frame { 0 };
};

// The document of one window: bound to its client area.
class OleDoc final : public SiteObject {
public:
    bool Init(std::intptr_t clientHandle);
    Window* window() const { return m_window; }

private:
    Window* m_window { nullptr };
};

// The site of one control: creates it, places it and keeps it.
class ClientSite final : public SiteObject {
public:
    bool Init(std::intptr_t clientHandle, std::intptr_t document, std::intptr_t frame);
    bool SetObjectRect(const PixelRect& rect);
    // Only "shell.explorer.2" has an engine here, and only in a window on the
    // screen; it answers with the control, or null.
    std::shared_ptr<HostedWebView> CreateControl(
        int flag, std::string_view identifier, std::string_view extra);

    Window* window() const { return m_window; }
    const PixelRect& rect() const { return m_rect; }
    std::int32_t controlHandle() const { return m_controlHandle; }
    HostedWebView* control() const { return m_control.get(); }
    std::uint8_t EDITMODE { 0 };

private:
    Window* m_window { nullptr };
    std::intptr_t m_document { 0 };
    std::intptr_t m_frame { 0 };
    PixelRect m_rect;
    std::shared_ptr<HostedWebView> m_control;
    std::int32_t m_controlHandle { 0 };
};

// The control wrapper of object type "html3": the web browser of a client
// site, for as long as that site keeps it.
class WebBrowser2 final : public SiteObject {
public:
    explicit WebBrowser2(std::weak_ptr<HostedWebView> control);
    WebView* view() const;
    HostedWebView* hosted() const;

private:
    std::weak_ptr<HostedWebView> m_control;
};

// Focuses what a handle names: a hosted control or a window. False when it names nothing.
bool focusHandle(std::intptr_t handle);

} // namespace tvrn2
