#pragma once

#include "browser_host/BrowserEvent.h"
#include "platform/webkit/JsValue.h"

#include <cstdint>
#include <string>
#include <vector>

typedef struct _WebKitWebView WebKitWebView;

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
    bool connected() const { return m_view != nullptr; }

    // One event with its arguments by position (first argument at index 0).
    // Returns the owner's action code; 0 for an event that is ignored.
    std::int32_t Invoke(std::int32_t number, const std::vector<JsValue>& parameters);

    // The owner; null makes the handler ignore every event.
    FeBrowser* PARENTBROWSERADDRESS { nullptr };

private:
    static void onLoadChanged(WebKitWebView*, int event, WbEventHandler* self);
    static void onTitle(WebKitWebView*, void*, WbEventHandler* self);
    static void onProgress(WebKitWebView*, void*, WbEventHandler* self);
    static void onMouseTarget(WebKitWebView*, void* hit, unsigned modifiers, WbEventHandler* self);
    static void onClose(WebKitWebView*, WbEventHandler* self);
    static int onEnterFullScreen(WebKitWebView*, WbEventHandler* self);
    static void onHistoryChanged(void* list, void*, void*, WbEventHandler* self);
    static void onDownloadStarted(void* context, void* download, WbEventHandler* self);
    void commandStates();

    WebView* m_webView { nullptr };
    WebKitWebView* m_view { nullptr }; // weak: cleared when the view goes
    void* m_context { nullptr };
    void* m_history { nullptr };
    std::vector<unsigned long> m_viewHandlers;
    unsigned long m_historyHandler { 0 };
    unsigned long m_downloadHandler { 0 };
    std::string m_statusText;
    int m_canGoBack { -1 };
    int m_canGoForward { -1 };
    bool m_becameDownload { false };
};

} // namespace tvrn2
