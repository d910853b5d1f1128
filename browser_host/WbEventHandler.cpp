#include "browser_host/WbEventHandler.h"

#include "browser_host/FeBrowser.h"
#include "platform/FixedText.h"
#include "platform/webkit/WebView.h"

#include <cmath>

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
    case JsValue::Kind::Undefined:
    case JsValue::Kind::Null:
    case JsValue::Kind::Json:
    case JsValue::Kind::Handle:
        return {};
    }
    return {};
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
    if (connected())
        return false;
    m_view = view.weak();
    setHooks(view);
    return true;
}

bool WbEventHandler::disconnect()
{
    auto view = m_view.lock();
    if (!view)
        return false;
    clearHooks(**view);
    m_view.reset();
    return true;
}

void WbEventHandler::clearHooks(WebView& view)
{
    view.onLoadChanged.remove(m_loadListener);
    view.onTitleChanged = nullptr;
    view.onProgressChanged = nullptr;
    view.onLinkHovered = nullptr;
    view.onCloseRequested = nullptr;
    view.onFullScreenEntered = nullptr;
    view.onBackForwardChanged = nullptr;
    view.onDownloadStarted = nullptr;
    view.onNavigationRequest = nullptr;
    view.onLoadEndedWithoutPage = nullptr;
}

void WbEventHandler::setHooks(WebView& view)
{
    m_loadListener
        = view.onLoadChanged.add([this](LoadStage stage, const std::string&) { loadChanged(stage); });
    view.onTitleChanged
        = [this](const std::string& title) { Invoke(BrowserEvent::TitleChange, { JsValue::string(title) }); };
    view.onProgressChanged = [this](double progress) {
        Invoke(BrowserEvent::ProgressChange,
            { JsValue::number(std::round(progress * 100)), JsValue::number(100) });
    };
    view.onLinkHovered = [this](const std::string& link) { linkHovered(link); };
    view.onCloseRequested = [this] { Invoke(BrowserEvent::WindowClosing, {}); };
    view.onFullScreenEntered = [this] { Invoke(BrowserEvent::OnFullScreen, {}); };
    view.onBackForwardChanged = [this](bool back, bool forward) { commandStates(back, forward); };
    view.onDownloadStarted = [this] { Invoke(BrowserEvent::FileDownload, {}); };
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

void WbEventHandler::loadChanged(LoadStage stage)
{
    switch (stage) {
    case LoadStage::Started:
        m_becameDownload = false;
        Invoke(BrowserEvent::DownloadBegin, {});
        break;
    case LoadStage::Committed:
        Invoke(BrowserEvent::NavigateComplete2, {});
        break;
    case LoadStage::Finished:
        Invoke(BrowserEvent::DownloadComplete, {});
        // A load that turned into a download leaves the shown document as it was.
        if (!m_becameDownload)
            Invoke(BrowserEvent::DocumentComplete, {});
        break;
    case LoadStage::Redirected:
        break;
    }
}

void WbEventHandler::linkHovered(const std::string& link)
{
    if (link == m_statusText)
        return;
    m_statusText = link;
    Invoke(BrowserEvent::StatusTextChange, { JsValue::string(link) });
}

void WbEventHandler::commandStates(bool canGoBack, bool canGoForward)
{
    int back = canGoBack ? -1 : 0;
    int forward = canGoForward ? -1 : 0;
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

} // namespace tvrn2
