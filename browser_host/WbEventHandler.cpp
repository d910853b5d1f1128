#include "browser_host/WbEventHandler.h"

#include "browser_host/FeBrowser.h"
#include "platform/FixedText.h"
#include "platform/webkit/WebView.h"

#include <cmath>
#include <webkit2/webkit2.h>

namespace tvrn2 {
namespace {

// An argument as text: cut to 255 and clipped; missing or of no plain kind, empty.
std::string textArgument(const std::vector<JsValue>& parameters, std::size_t position)
{
    if (position >= parameters.size())
        return {};
    const JsValue& value = parameters[position];
    switch (value.kind()) {
    case JsValue::Kind::String:
        return std::string(clip(cutAtCharacter(value.text(), 255)));
    case JsValue::Kind::Number:
        return std::to_string(static_cast<long long>(value.toNumber()));
    case JsValue::Kind::Boolean:
        return value.toBoolean() ? "-1" : "0";
    default:
        return {};
    }
}

// An argument as a whole number of the given width; 0 when missing or not a number.
template <class Integer> Integer numberArgument(const std::vector<JsValue>& parameters, std::size_t position)
{
    if (position >= parameters.size())
        return 0;
    const JsValue& value = parameters[position];
    if (value.kind() == JsValue::Kind::Boolean)
        return value.toBoolean() ? -1 : 0;
    if (value.kind() != JsValue::Kind::Number || !std::isfinite(value.toNumber()))
        return 0;
    return static_cast<Integer>(static_cast<long long>(value.toNumber()));
}

bool dispatched(std::int32_t number)
{
    switch (number) {
    case BrowserEvent::StatusTextChange:
    case BrowserEvent::DownloadComplete:
    case BrowserEvent::CommandStateChange:
    case BrowserEvent::DownloadBegin:
    case BrowserEvent::ProgressChange:
    case BrowserEvent::PropertyChange:
    case BrowserEvent::TitleChange:
    case BrowserEvent::PrintTemplateInstantiation:
    case BrowserEvent::PrintTemplateTeardown:
    case BrowserEvent::UpdatePageStatus:
    case BrowserEvent::BeforeNavigate2:
    case BrowserEvent::NewWindow2:
    case BrowserEvent::NavigateComplete2:
    case BrowserEvent::OnQuit:
    case BrowserEvent::OnVisible:
    case BrowserEvent::OnToolBar:
    case BrowserEvent::OnMenuBar:
    case BrowserEvent::OnStatusBar:
    case BrowserEvent::OnFullScreen:
    case BrowserEvent::DocumentComplete:
    case BrowserEvent::OnTheaterMode:
    case BrowserEvent::WindowSetResizable:
    case BrowserEvent::WindowClosing:
    case BrowserEvent::WindowSetLeft:
    case BrowserEvent::WindowSetTop:
    case BrowserEvent::WindowSetWidth:
    case BrowserEvent::WindowSetHeight:
    case BrowserEvent::ClientToHostWindow:
    case BrowserEvent::SetSecureLockIcon:
    case BrowserEvent::FileDownload:
    case BrowserEvent::NavigateError:
    case BrowserEvent::PrivacyImpactedStateChange:
        return true;
    default:
        return false;
    }
}

} // namespace

WbEventHandler::WbEventHandler(FeBrowser* owner)
    : PARENTBROWSERADDRESS(owner)
{ }

WbEventHandler::~WbEventHandler()
{
    disconnect();
}

bool WbEventHandler::connect(WebView& view)
{
    if (m_view)
        return false;
    m_webView = &view;
    m_view = view.webKitView();
    g_object_add_weak_pointer(G_OBJECT(m_view), reinterpret_cast<gpointer*>(&m_view));
    auto on = [&](const char* signal, GCallback callback) {
        m_viewHandlers.push_back(g_signal_connect(m_view, signal, callback, this));
    };
    on("load-changed", G_CALLBACK(onLoadChanged));
    on("notify::title", G_CALLBACK(onTitle));
    on("notify::estimated-load-progress", G_CALLBACK(onProgress));
    on("mouse-target-changed", G_CALLBACK(onMouseTarget));
    on("close", G_CALLBACK(onClose));
    on("enter-fullscreen", G_CALLBACK(onEnterFullScreen));
    m_history = webkit_web_view_get_back_forward_list(m_view);
    m_historyHandler = g_signal_connect(m_history, "changed", G_CALLBACK(onHistoryChanged), this);
    m_context = webkit_web_view_get_context(m_view);
    m_downloadHandler = g_signal_connect(m_context, "download-started", G_CALLBACK(onDownloadStarted), this);

    // A load the user stopped, or one that became a download, did not fail.
    view.onLoadEndedWithoutPage = [this](const std::string&, WebView::LoadEnd how) {
        if (how == WebView::LoadEnd::BecameDownload)
            m_becameDownload = true;
        else if (how == WebView::LoadEnd::Failed && !m_becameDownload)
            Invoke(BrowserEvent::NavigateError, {});
    };
    view.onNavigationRequest = [this](const std::string& uri, bool newWindow) {
        std::int32_t action = newWindow
            ? Invoke(BrowserEvent::NewWindow2, {})
            : Invoke(BrowserEvent::BeforeNavigate2, { JsValue::null(), JsValue::string(uri) });
        return newWindow ? action != 3 : action != 1 && action != 2;
    };
    return true;
}

bool WbEventHandler::disconnect()
{
    if (!m_view)
        return false;
    for (unsigned long handler : m_viewHandlers)
        g_signal_handler_disconnect(m_view, handler);
    m_viewHandlers.clear();
    // The list and the context live as long as the view.
    g_signal_handler_disconnect(m_history, m_historyHandler);
    g_signal_handler_disconnect(m_context, m_downloadHandler);
    m_webView->onNavigationRequest = nullptr;
    m_webView->onLoadEndedWithoutPage = nullptr;
    g_object_remove_weak_pointer(G_OBJECT(m_view), reinterpret_cast<gpointer*>(&m_view));
    m_view = nullptr;
    m_webView = nullptr;
    return true;
}

std::int32_t WbEventHandler::Invoke(std::int32_t number, const std::vector<JsValue>& parameters)
{
    FeBrowser* owner = PARENTBROWSERADDRESS;
    if (!owner || !dispatched(number))
        return 0;
    std::string p[7];
    switch (number) {
    case BrowserEvent::StatusTextChange:
    case BrowserEvent::TitleChange:
    case BrowserEvent::PropertyChange:
        p[0] = textArgument(parameters, 0);
        break;
    case BrowserEvent::ProgressChange:
        p[0] = std::to_string(numberArgument<std::int32_t>(parameters, 0));
        p[1] = std::to_string(numberArgument<std::int32_t>(parameters, 1));
        break;
    case BrowserEvent::CommandStateChange:
        p[0] = std::to_string(numberArgument<std::int32_t>(parameters, 0));
        p[1] = std::to_string(numberArgument<std::int16_t>(parameters, 1));
        break;
    case BrowserEvent::BeforeNavigate2:
        p[0] = "0";
        p[1] = textArgument(parameters, 1);
        p[2] = "0";
        p[6] = "0";
        break;
    default:
        break;
    }
    std::int32_t action = owner->_EventCallback(number, p[0], p[1], p[2], p[3], p[4], p[5], p[6]);

    switch (number) {
    case BrowserEvent::StatusTextChange:
        owner->OnStatusTextChange(p[0]);
        break;
    case BrowserEvent::ProgressChange:
        owner->OnProgressChange(
            numberArgument<std::int32_t>(parameters, 0), numberArgument<std::int32_t>(parameters, 1));
        break;
    case BrowserEvent::CommandStateChange:
        owner->OnCommandStateChange(
            numberArgument<std::int32_t>(parameters, 0), numberArgument<std::int16_t>(parameters, 1));
        break;
    case BrowserEvent::DownloadBegin:
        owner->OnDownloadBegin();
        break;
    case BrowserEvent::DownloadComplete:
        owner->OnDownloadComplete();
        break;
    case BrowserEvent::TitleChange:
        owner->OnTitleChange(p[0]);
        break;
    case BrowserEvent::PropertyChange:
        owner->OnPropertyChange(p[0]);
        break;
    case BrowserEvent::BeforeNavigate2:
        owner->OnBeforeNavigate2(p[1]);
        break;
    case BrowserEvent::NewWindow2:
        owner->OnNewWindow2();
        break;
    default:
        break;
    }
    return action;
}

void WbEventHandler::onLoadChanged(WebKitWebView*, int event, WbEventHandler* self)
{
    switch (static_cast<WebKitLoadEvent>(event)) {
    case WEBKIT_LOAD_STARTED:
        self->m_becameDownload = false;
        self->Invoke(BrowserEvent::DownloadBegin, {});
        break;
    case WEBKIT_LOAD_COMMITTED:
        self->Invoke(BrowserEvent::NavigateComplete2, {});
        break;
    case WEBKIT_LOAD_FINISHED:
        self->Invoke(BrowserEvent::DownloadComplete, {});
        // A load that turned into a download leaves the shown document as it was.
        if (!self->m_becameDownload)
            self->Invoke(BrowserEvent::DocumentComplete, {});
        break;
    case WEBKIT_LOAD_REDIRECTED:
        break;
    }
}

void WbEventHandler::onTitle(WebKitWebView* view, void*, WbEventHandler* self)
{
    const char* title = webkit_web_view_get_title(view);
    self->Invoke(BrowserEvent::TitleChange, { JsValue::string(title ? title : "") });
}

void WbEventHandler::onProgress(WebKitWebView* view, void*, WbEventHandler* self)
{
    double progress = webkit_web_view_get_estimated_load_progress(view);
    self->Invoke(
        BrowserEvent::ProgressChange, { JsValue::number(std::round(progress * 100)), JsValue::number(100) });
}

void WbEventHandler::onMouseTarget(WebKitWebView*, void* hitPointer, unsigned, WbEventHandler* self)
{
    auto* hit = static_cast<WebKitHitTestResult*>(hitPointer);
    const char* link
        = webkit_hit_test_result_context_is_link(hit) ? webkit_hit_test_result_get_link_uri(hit) : nullptr;
    std::string text = link ? link : "";
    if (text == self->m_statusText)
        return;
    self->m_statusText = text;
    self->Invoke(BrowserEvent::StatusTextChange, { JsValue::string(text) });
}

void WbEventHandler::onClose(WebKitWebView*, WbEventHandler* self)
{
    self->Invoke(BrowserEvent::WindowClosing, {});
}

int WbEventHandler::onEnterFullScreen(WebKitWebView*, WbEventHandler* self)
{
    self->Invoke(BrowserEvent::OnFullScreen, {});
    return FALSE;
}

void WbEventHandler::onHistoryChanged(void*, void*, void*, WbEventHandler* self)
{
    self->commandStates();
}

void WbEventHandler::commandStates()
{
    if (!m_view)
        return;
    int back = webkit_web_view_can_go_back(m_view) ? -1 : 0;
    int forward = webkit_web_view_can_go_forward(m_view) ? -1 : 0;
    if (forward != m_canGoForward) {
        m_canGoForward = forward;
        Invoke(BrowserEvent::CommandStateChange,
            { JsValue::number(navigateForwardCommand), JsValue::number(forward) });
    }
    if (back != m_canGoBack) {
        m_canGoBack = back;
        Invoke(BrowserEvent::CommandStateChange,
            { JsValue::number(navigateBackCommand), JsValue::number(back) });
    }
}

void WbEventHandler::onDownloadStarted(void*, void* downloadPointer, WbEventHandler* self)
{
    auto* download = static_cast<WebKitDownload*>(downloadPointer);
    if (self->m_view && webkit_download_get_web_view(download) == self->m_view)
        self->Invoke(BrowserEvent::FileDownload, {});
}

} // namespace tvrn2
