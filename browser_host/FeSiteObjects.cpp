#include "browser_host/FeSiteObjects.h"

#include "browser_host/FeMaster.h"
#include "platform/TextCase.h"
#include "platform/UserPaths.h"
#include "platform/Window.h"

#include <map>

namespace tvrn2 {
namespace {

struct HandleEntry {
    Window* window { nullptr };
    std::weak_ptr<bool> windowAlive;
    std::weak_ptr<HostedWebView> control;
};

std::map<std::intptr_t, HandleEntry>& handles()
{
    static std::map<std::intptr_t, HandleEntry> table;
    return table;
}

std::int32_t nextHandle = 0x100;

std::map<std::intptr_t, std::unique_ptr<SiteObject>>& siteTable()
{
    static std::map<std::intptr_t, std::unique_ptr<SiteObject>> table;
    return table;
}

std::intptr_t nextReference = 0x10000;

// The download folder of every hosted browser, read when each download starts.
std::filesystem::path registryDownloadFolder()
{
    // Whole: a folder cut at 255 characters would be another folder.
    return userFolder(FeMaster::wholeRegistryValue(
        "HKEY_CURRENT_USER", "Software\\Microsoft\\Internet Explorer", "Download Directory"));
}

} // namespace

std::int32_t windowHandleOf(Window& window)
{
    for (auto& [handle, entry] : handles()) {
        if (entry.window == &window && !entry.windowAlive.expired())
            return static_cast<std::int32_t>(handle);
    }
    std::int32_t handle = nextHandle;
    nextHandle += 2;
    handles()[handle] = { &window, window.alive(), {} };
    return handle;
}

Window* windowOfHandle(std::intptr_t handle)
{
    auto found = handles().find(handle);
    if (found == handles().end() || !found->second.window || found->second.windowAlive.expired())
        return nullptr;
    return found->second.window;
}

bool focusHandle(std::intptr_t handle)
{
    auto found = handles().find(handle);
    if (found == handles().end())
        return false;
    if (auto control = found->second.control.lock()) {
        control->focus();
        return true;
    }
    // A window handle: its controls keep their own focus; nothing to move here.
    return windowOfHandle(handle) != nullptr;
}

std::intptr_t addSiteObject(std::unique_ptr<SiteObject> object)
{
    std::intptr_t reference = nextReference;
    nextReference += 0x10;
    siteTable()[reference] = std::move(object);
    return reference;
}

void releaseSiteObject(std::intptr_t reference)
{
    siteTable().erase(reference);
}

SiteObject* findSiteObject(std::intptr_t reference)
{
    auto found = siteTable().find(reference);
    return found == siteTable().end() ? nullptr : found->second.get();
}

std::size_t liveSiteObjects()
{
    return siteTable().size();
}

bool OleFrame::IsInitialized(std::intptr_t windowHandle, std::intptr_t container)
{
    m_window = windowOfHandle(windowHandle);
    m_container = container;
    return m_window != nullptr && siteObject<OleContainer>(container) != nullptr;
}

bool OleContainer::Init(std::intptr_t frame)
{
    m_frame = frame;
    return siteObject<OleFrame>(frame) != nullptr;
}

bool OleDoc::Init(std::intptr_t clientHandle)
{
    m_window = windowOfHandle(clientHandle);
    return m_window != nullptr;
}

bool ClientSite::Init(std::intptr_t clientHandle, std::intptr_t document, std::intptr_t frame)
{
    m_window = windowOfHandle(clientHandle);
    m_document = document;
    m_frame = frame;
    return m_window && siteObject<OleDoc>(document) && siteObject<OleFrame>(frame);
}

bool ClientSite::SetObjectRect(const PixelRect& rect)
{
    m_rect = rect;
    if (m_control)
        m_control->setRect(rect);
    return true;
}

std::shared_ptr<HostedWebView> ClientSite::CreateControl(int, std::string_view identifier, std::string_view)
{
    if (!m_window || toLowerAscii(identifier) != "shell.explorer.2")
        return nullptr;
    WebViewOptions options;
    options.downloadFolder = registryDownloadFolder;
    std::shared_ptr<HostedWebView> control = HostedWebView::create(*m_window, m_rect, std::move(options));
    if (!control)
        return nullptr;
    m_control = control;
    m_controlHandle = nextHandle;
    nextHandle += 2;
    handles()[m_controlHandle] = { nullptr, {}, control };
    return control;
}

WebBrowser2::WebBrowser2(std::weak_ptr<HostedWebView> control)
    : m_control(std::move(control))
{ }

HostedWebView* WebBrowser2::hosted() const
{
    return m_control.lock().get();
}

WebView* WebBrowser2::view() const
{
    auto control = m_control.lock();
    return control ? &control->view() : nullptr;
}

} // namespace tvrn2
