#pragma once

#include "browser_host/BrowserEvent.h"
#include "platform/webkit/JsValue.h"
#include "platform/webkit/WebView.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tvrn2 {

class FeBrowser;
class WebView;

// Turns what the web view reports into the browser's numbered events for
// the owning browser object: navigation decisions, load stages, progress,
// title, the link under the pointer, back and forward availability, new
// windows, failed loads, downloads and close requests. Action codes the
// owner returns act on the view: 1 and 2 stop a navigation, 3 a new window.
class WbEventHandler {
public:
    explicit WbEventHandler(FeBrowser* owner);
    ~WbEventHandler();
    WbEventHandler(const WbEventHandler&) = delete;
    WbEventHandler& operator=(const WbEventHandler&) = delete;

    bool connect(WebView& view);
    // False when it was not connected, or its view is gone.
    bool disconnect();
    bool connected() const { return !m_view.expired(); }

    // One event with its arguments by position (first argument at index 0).
    // Returns the owner's action code; 0 for an event that is ignored.
    std::int32_t Invoke(std::int32_t number, const std::vector<JsValue>& parameters);

    // The owner; null makes the handler ignore every event.
    FeBrowser* PARENTBROWSERADDRESS { nullptr };

private:
    void loadChanged(LoadStage stage);
    void linkHovered(const std::string& link);
    void commandStates(bool canGoBack, bool canGoForward);
    // Sets every hook of the view this handler uses; clearHooks undoes it.
    void setHooks(WebView& view);
    void clearHooks(WebView& view);

    std::weak_ptr<WebView*> m_view; // empty once the view has gone
    std::uint64_t m_loadListener { 0 };
    std::string m_statusText;
    int m_canGoBack { -1 };
    int m_canGoForward { -1 };
    bool m_becameDownload { false };
};

} // namespace tvrn2
