#include "browser_host/FeBrowser.h"
#include "browser_host/WbEventHandler.h"
#include "platform/Window.h"
#include "platform/webkit/WebView.h"

#include <array>
#include <utility>

namespace tvrn2 {
namespace {

constexpr std::array<std::pair<std::int32_t, std::string_view>, 43> eventNames { {
    { 100, "fe:WBEvt_BEFORENAVIGATE" },
    { 250, "fe:WBEvt_BEFORENAVIGATE2" },
    { 268, "fe:WBEvt_CLIENTTOHOSTWINDOW" },
    { 105, "fe:WBEvt_COMMANDSTATECHANGE" },
    { 259, "fe:WBEvt_DOCUMENTCOMPLETE" },
    { 106, "fe:WBEvt_DOWNLOADBEGIN" },
    { 104, "fe:WBEvt_DOWNLOADCOMPLETE" },
    { 270, "fe:WBEvt_FILEDOWNLOAD" },
    { 200, "fe:WBEvt_FRAMEBEFORENAVIGATE" },
    { 201, "fe:WBEvt_FRAMENAVIGATECOMPLETE" },
    { 204, "fe:WBEvt_FRAMENEWWINDOW" },
    { 101, "fe:WBEvt_NAVIGATECOMPLETE" },
    { 252, "fe:WBEvt_NAVIGATECOMPLETE2" },
    { 271, "fe:WBEvt_NAVIGATEERROR" },
    { 107, "fe:WBEvt_NEWWINDOW" },
    { 251, "fe:WBEvt_NEWWINDOW2" },
    { 261, "fe:WBEvt_ONADDRESSBAR" },
    { 258, "fe:WBEvt_ONFULLSCREEN" },
    { 256, "fe:WBEvt_ONMENUBAR" },
    { 253, "fe:WBEvt_ONQUIT" },
    { 257, "fe:WBEvt_ONSTATUSBAR" },
    { 260, "fe:WBEvt_ONTHEATERMODE" },
    { 255, "fe:WBEvt_ONTOOLBAR" },
    { 254, "fe:WBEvt_ONVISIBLE" },
    { 225, "fe:WBEvt_PRINTTEMPLATEINSTANTIATION" },
    { 226, "fe:WBEvt_PRINTTEMPLATETEARDOWN" },
    { 272, "fe:WBEvt_PRIVACYIMPACTEDSTATECHANGE" },
    { 108, "fe:WBEvt_PROGRESSCHANGE" },
    { 112, "fe:WBEvt_PROPERTYCHANGE" },
    { 269, "fe:WBEvt_SETSECURELOCKICON" },
    { 102, "fe:WBEvt_STATUSTEXTCHANGE" },
    { 103, "fe:WBEvt_QUIT" },
    { 113, "fe:WBEvt_TITLECHANGE" },
    { 227, "fe:WBEvt_UPDATEPAGESTATUS" },
    { 111, "fe:WBEvt_WINDOWACTIVATE" },
    { 263, "fe:WBEvt_WINDOWCLOSING" },
    { 109, "fe:WBEvt_WINDOWMOVE" },
    { 110, "fe:WBEvt_WINDOWRESIZE" },
    { 267, "fe:WBEvt_WINDOWSETHEIGHT" },
    { 264, "fe:WBEvt_WINDOWSETLEFT" },
    { 262, "fe:WBEvt_WINDOWSETRESIZABLE" },
    { 265, "fe:WBEvt_WINDOWSETTOP" },
    { 266, "fe:WBEvt_WINDOWSETWIDTH" },
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
