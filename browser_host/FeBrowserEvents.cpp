// FeBrowser (see FeBrowser.cpp for the whole): the events: their names, and
// the callback every event passes through.

#include "browser_host/BrowserEvent.h"
#include "browser_host/FeBrowser.h"
#include "browser_host/WbEventHandler.h"
#include "platform/Window.h"
#include "platform/webkit/WebView.h"

#include <array>
#include <utility>

namespace tvrn2 {
namespace {

constexpr std::array<std::pair<std::int32_t, std::string_view>, 43> eventNames { {
    { BrowserEvent::BeforeNavigate, "fe:WBEvt_BEFORENAVIGATE" },
    { BrowserEvent::BeforeNavigate2, "fe:WBEvt_BEFORENAVIGATE2" },
    { BrowserEvent::ClientToHostWindow, "fe:WBEvt_CLIENTTOHOSTWINDOW" },
    { BrowserEvent::CommandStateChange, "fe:WBEvt_COMMANDSTATECHANGE" },
    { BrowserEvent::DocumentComplete, "fe:WBEvt_DOCUMENTCOMPLETE" },
    { BrowserEvent::DownloadBegin, "fe:WBEvt_DOWNLOADBEGIN" },
    { BrowserEvent::DownloadComplete, "fe:WBEvt_DOWNLOADCOMPLETE" },
    { BrowserEvent::FileDownload, "fe:WBEvt_FILEDOWNLOAD" },
    { BrowserEvent::FrameBeforeNavigate, "fe:WBEvt_FRAMEBEFORENAVIGATE" },
    { BrowserEvent::FrameNavigateComplete, "fe:WBEvt_FRAMENAVIGATECOMPLETE" },
    { BrowserEvent::FrameNewWindow, "fe:WBEvt_FRAMENEWWINDOW" },
    { BrowserEvent::NavigateComplete, "fe:WBEvt_NAVIGATECOMPLETE" },
    { BrowserEvent::NavigateComplete2, "fe:WBEvt_NAVIGATECOMPLETE2" },
    { BrowserEvent::NavigateError, "fe:WBEvt_NAVIGATEERROR" },
    { BrowserEvent::NewWindow, "fe:WBEvt_NEWWINDOW" },
    { BrowserEvent::NewWindow2, "fe:WBEvt_NEWWINDOW2" },
    { BrowserEvent::OnAddressBar, "fe:WBEvt_ONADDRESSBAR" },
    { BrowserEvent::OnFullScreen, "fe:WBEvt_ONFULLSCREEN" },
    { BrowserEvent::OnMenuBar, "fe:WBEvt_ONMENUBAR" },
    { BrowserEvent::OnQuit, "fe:WBEvt_ONQUIT" },
    { BrowserEvent::OnStatusBar, "fe:WBEvt_ONSTATUSBAR" },
    { BrowserEvent::OnTheaterMode, "fe:WBEvt_ONTHEATERMODE" },
    { BrowserEvent::OnToolBar, "fe:WBEvt_ONTOOLBAR" },
    { BrowserEvent::OnVisible, "fe:WBEvt_ONVISIBLE" },
    { BrowserEvent::PrintTemplateInstantiation, "fe:WBEvt_PRINTTEMPLATEINSTANTIATION" },
    { BrowserEvent::PrintTemplateTeardown, "fe:WBEvt_PRINTTEMPLATETEARDOWN" },
    { BrowserEvent::PrivacyImpactedStateChange, "fe:WBEvt_PRIVACYIMPACTEDSTATECHANGE" },
    { BrowserEvent::ProgressChange, "fe:WBEvt_PROGRESSCHANGE" },
    { BrowserEvent::PropertyChange, "fe:WBEvt_PROPERTYCHANGE" },
    { BrowserEvent::SetSecureLockIcon, "fe:WBEvt_SETSECURELOCKICON" },
    { BrowserEvent::StatusTextChange, "fe:WBEvt_STATUSTEXTCHANGE" },
    { BrowserEvent::Quit, "fe:WBEvt_QUIT" },
    { BrowserEvent::TitleChange, "fe:WBEvt_TITLECHANGE" },
    { BrowserEvent::UpdatePageStatus, "fe:WBEvt_UPDATEPAGESTATUS" },
    { BrowserEvent::WindowActivate, "fe:WBEvt_WINDOWACTIVATE" },
    { BrowserEvent::WindowClosing, "fe:WBEvt_WINDOWCLOSING" },
    { BrowserEvent::WindowMove, "fe:WBEvt_WINDOWMOVE" },
    { BrowserEvent::WindowResize, "fe:WBEvt_WINDOWRESIZE" },
    { BrowserEvent::WindowSetHeight, "fe:WBEvt_WINDOWSETHEIGHT" },
    { BrowserEvent::WindowSetLeft, "fe:WBEvt_WINDOWSETLEFT" },
    { BrowserEvent::WindowSetResizable, "fe:WBEvt_WINDOWSETRESIZABLE" },
    { BrowserEvent::WindowSetTop, "fe:WBEvt_WINDOWSETTOP" },
    { BrowserEvent::WindowSetWidth, "fe:WBEvt_WINDOWSETWIDTH" },
} };

} // namespace

FeBrowser::FeBrowser() = default;
FeBrowser::~FeBrowser()
{
    // A browser that goes without Kill leaves its view to the site table.
    if (WebView* view = webView())
        view->onHistoryStepAsked = nullptr;
}

std::string FeBrowser::EventName(std::int32_t number)
{
    for (const auto& [known, name] : eventNames) {
        if (known == number)
            return std::string(name);
    }
    return ("UNKNOWN EVENT NUMBER " + std::to_string(number)).substr(0, 40);
}

std::int32_t FeBrowser::EventCallback(std::int32_t number, std::string_view, std::string_view,
    std::string_view, std::string_view, std::string_view, std::string_view, std::string_view)
{
    DebugTrace("EventCallback - EventID " + std::to_string(number), 2);
    return 0;
}

std::int32_t FeBrowser::_EventCallback(std::int32_t number, std::string_view p1, std::string_view p2,
    std::string_view p3, std::string_view p4, std::string_view p5, std::string_view p6, std::string_view p7)
{
    bool tracing = DEBUGGING == 2;
    if (tracing)
        DebugTrace(
            "_EventCallback - Event: " + std::to_string(number) + "; " + std::string(clip(EventName(number))),
            2);
    std::int32_t result = EventCallback(number, p1, p2, p3, p4, p5, p6, p7);
    if (tracing) {
        DebugTrace("_EventCallback - vir meth returned " + std::to_string(result), 2);
        DebugTrace("_EventCallback - Evt: " + std::to_string(number), 2);
    }
    switch (result) {
    case 1:
        DebugTrace("_EventCallback - Cancelling Navigation", 2);
        break;
    case 2:
        DebugTrace("_EventCallback - Cancelling navigation, then posting event:feCallback...", 2);
        if (Window* window = Window::current())
            window->post(Event::FeCallback);
        break;
    case 3:
        DebugTrace("_EventCallback - Preventing new IE window from opening...", 2);
        break;
    default:
        break;
    }
    return result;
}

} // namespace tvrn2
