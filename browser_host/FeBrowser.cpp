// FeBrowser, the browser object, is spread over four sources. This one:
// set-up and ending, addresses and navigation, the commands (stop, reload,
// print, ExecCommand) and the view's place. FeBrowserElements.cpp reads and
// fills page elements, FeBrowserEvents.cpp names and dispatches events, and
// FeBrowserInfo.cpp answers document queries.

#include "browser_host/FeBrowser.h"

#include "browser_host/FeSiteObjects.h"
#include "browser_host/WbEventHandler.h"
#include "platform/MessageBox.h"
#include "platform/TextCase.h"
#include "platform/Window.h"
#include "platform/webkit/WebView.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace tvrn2 {
namespace {

constexpr std::string_view pageSetupKey = "software\\microsoft\\internet explorer\\pagesetup";
constexpr std::string_view browserKey = "Software\\Microsoft\\Internet Explorer\\Main";

// The platform's command identifiers by ExecCommand's number; 0 is none.
enum Identifier : std::int32_t {
    NoCommand = 0,
    Save = 3,
    SaveAs = 4,
    PrintCommand = 6,
    PrintPreview = 7,
    PageSetup = 8,
    Properties = 10,
    Cut = 11,
    Copy = 12,
    Undo = 15,
    Redo = 16,
    SelectAll = 17,
    ClearSelection = 18,
    StopDownload = 30,
    Find = 32,
    Delete = 33,
    Close = 45,
};

// ExecCommand's command numbers 1 to 16, in order, as the commands they run.
constexpr Identifier commandIdentifiers[] = { NoCommand, Save, SaveAs, PrintCommand, PrintPreview, PageSetup,
    Properties, Cut, Copy, Undo, Redo, SelectAll, ClearSelection, Find, Delete, StopDownload, Close };
// The number of printing in that list.
constexpr std::int32_t printCommandNumber = 3;
static_assert(commandIdentifiers[printCommandNumber] == PrintCommand);

// What the control answers to a command it does not support.
constexpr std::int32_t notSupported = -2147221248; // 0x80040100

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && toLowerAscii(text.substr(0, prefix.size())) == prefix;
}

// "mailto:", "about:", "data:" ...: a scheme of two or more letters, so
// not a drive letter, names a complete address that no folder may prefix.
bool hasScheme(std::string_view address)
{
    auto colon = address.find(':');
    if (colon == std::string_view::npos || colon < 2)
        return false;
    for (std::size_t i = 0; i < colon; ++i) {
        char c = address[i];
        bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')
            || (i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'));
        if (!allowed)
            return false;
    }
    return address.substr(colon, 2) != ":\\";
}

} // namespace

std::string FeBrowser::resolveAddress(std::string_view url, std::string_view currentDirectory)
{
    std::string_view address = clip(url);
    if (address.empty())
        return "about:blank";
    std::string lower = toLowerAscii(address);
    if (address.front() == '!' || lower == "about:blank")
        return std::string(address);
    if (lower.find("www") != std::string::npos || lower.find("http") != std::string::npos
        || lower.find("ftp") != std::string::npos) {
        // The engine takes no address without a scheme, as a user types it
        // ("www.example.org/page"); a host with a port ("www.example.org:8080")
        // looks like a scheme but is none.
        const auto colon = address.find(':');
        const bool port = colon != std::string_view::npos && colon + 1 < address.size()
            && address[colon + 1] >= '0' && address[colon + 1] <= '9';
        if (hasScheme(address) && !port)
            return std::string(address);
        return (lower.starts_with("ftp.") ? "ftp://" : "http://") + std::string(address);
    }
    if (hasScheme(address))
        return std::string(address);

    // A Windows path names a drive (":\") or a share ("\\"); a POSIX one starts with "/".
    bool relative = address.size() <= 2
        || (address.find(":\\") == std::string_view::npos && address.substr(0, 2) != "\\\\"
            && address.front() != '/');
    if (address.front() == '/')
        relative = false;
    bool needsPrefix = !startsWithNoCase(address, "file:");

    std::string result(address);
    if (relative)
        result = std::string(currentDirectory) + "/" + result;
    // Exactly three slashes after "file:": a POSIX path gives up its own
    // leading ones ("//x/y" and a relative name under "/" are "/x/y"), a
    // Windows path gets the third slash itself.
    if (needsPrefix)
        result = "file:///" + result.substr(std::min(result.find_first_not_of('/'), result.size()));
    return result;
}

void FeBrowser::DebugTrace(std::string_view message, std::uint8_t level)
{
    std::uint8_t needed = level == 255 ? 2 : level;
    if (DEBUGGING >= needed)
        Trace("feBrowser:" + std::string(message));
}

WebView* FeBrowser::webView() const
{
    auto* wrapper = siteObject<WebBrowser2>(CORECONTROL);
    return wrapper ? wrapper->view() : nullptr;
}

DocumentBridge* FeBrowser::get_Document()
{
    WebView* view = webView();
    return view ? &view->document() : nullptr;
}

std::uint8_t FeBrowser::Init(std::optional<std::string_view> url, std::int32_t control,
    std::int32_t windowHandle, std::int32_t clientHandle, std::uint8_t disableCallbacks)
{
    FeMaster::Init();
    CURRENTCONTROL = control;
    DebugTrace("Init - self.CurrentControl == " + std::to_string(control) + " [passed]", 255);
    if (CURRENTCONTROL == 0) {
        DebugTrace("Init - Failed, problem with parm validation", 255);
        return 0;
    }
    OBJECTTYPE = "html3";
    if (InitOLE2(CURRENTCONTROL, windowHandle, clientHandle, "shell.explorer.2") != 0)
        return 0;
    if (CORECONTROL != 0) {
        // The user's keys and mouse buttons for back and forward take the
        // way of the browser's own commands, which a derived browser may replace.
        if (WebView* view = webView()) {
            view->onHistoryStepAsked
                = [this](HistoryStep step) { step == HistoryStep::Back ? GoBack() : GoForward(); };
        }
        if (disableCallbacks == 1) {
            DebugTrace("Init - Registering callbacks... -Disabled", 255);
        } else {
            DebugTrace("Init - Registering callbacks...", 255);
            auto handler = std::make_unique<WbEventHandler>(this);
            WebView* view = webView();
            if (!view || !handler->connect(*view))
                return 0;
            m_eventHandler = std::move(handler);
            DISPWBEVENTHANDLER = reinterpret_cast<std::intptr_t>(m_eventHandler.get());
            DebugTrace("Init - Registering callbacks... -done", 255);
        }
    }
    Load(url ? *url : "about:blank");
    return 1;
}

std::uint8_t FeBrowser::Load(std::string_view url, std::int32_t, std::optional<std::string_view> flags,
    std::optional<std::string_view> targetFrameName, std::optional<std::string_view> postData,
    std::optional<std::string_view> headers)
{
    WebView* view = webView();
    if (!view)
        return 0;
    if (clip(url).empty()) {
        LASTLOADEDDOC = "about:blank";
        view->load(*LASTLOADEDDOC);
        return 0;
    }
    std::error_code error;
    std::string directory = std::filesystem::current_path(error).string();
    LASTLOADEDDOC = resolveAddress(url, directory);

    // Of the optional arguments WebKit takes the headers; the target frame is
    // always this view, and navigation flags have no counterpart.
    // FIXME: post data is not sent: WebKitGTK has no way to load a request with a body.
    (void)flags;
    (void)targetFrameName;
    if (postData && !clip(*postData).empty())
        DebugTrace("Load - post data ignored", 255);
    std::vector<std::string> headerLines;
    if (headers) {
        std::string_view rest = clip(*headers);
        while (!rest.empty()) {
            auto end = rest.find('\n');
            std::string_view line = rest.substr(0, end);
            while (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            if (!line.empty())
                headerLines.emplace_back(line);
            rest = end == std::string_view::npos ? std::string_view {} : rest.substr(end + 1);
        }
    }
    return view->load(*LASTLOADEDDOC, headerLines) ? 1 : 0;
}

std::uint8_t FeBrowser::LoadWithTarget(std::string_view url, std::string_view, std::int32_t control)
{
    return Load(url, control);
}

std::uint8_t FeBrowser::LoadOnControl(std::string_view url, std::int32_t control)
{
    return Load(url, control);
}

std::uint8_t FeBrowser::Kill(std::uint8_t flag)
{
    FeMaster::Kill();
    std::uint8_t result = 1;
    if (CORECONTROL != 0) {
        if (WebView* view = webView())
            view->onHistoryStepAsked = nullptr;
        DebugTrace("Kill - Disposing Per-Object Objects...  - !WebBrowser2::Stop...", 255);
        DebugTrace("Kill - Disposing Per-Object Objects...  - !WebBrowser2::Stop... hr=0", 255);
        DebugTrace("Kill - Disposing Per-Object Objects...  - !WebBrowser2::Quit...", 255);
        DebugTrace("Kill - Disposing Per-Object Objects...  - !WebBrowser2::Quit... hr=0", 255);
        if (DISPWBEVENTHANDLER != 0) {
            DebugTrace("Kill - Disposing Per-Object Objects...  - Closing EventHandler...", 255);
            if (m_eventHandler && m_eventHandler->disconnect()) {
                DebugTrace("Kill - Disposing Per-Object Objects...  - Closing EventHandler... -Cool", 255);
            } else {
                DebugTrace("Kill - Disposing Per-Object Objects...  - Closing EventHandler... -FAILED", 255);
                result = 0;
            }
            DebugTrace("Kill - Disposing Per-Object Objects...  - Closing EventHandler... -done", 255);
        }
        DebugTrace("Kill - !release(WebBrowser2)", 255);
        DebugTrace("Kill - dispose(WebBrowser2)", 255);
        releaseSiteObject(CORECONTROL);
        DebugTrace("Kill - Disposing Per-Object Objects...  - WebBrowser2...  - done", 255);
        CORECONTROL = 0;
    }
    DebugTrace("Kill - Top, calling parent.KillOLE2", 255);
    (void)flag; // KillOLE2 takes no argument here
    KillOLE2();
    DebugTrace("Kill - Top, calling parent.KillOLE2 - done", 255);

    DebugTrace("Kill - dispose(self.Locals)...", 255);
    LASTLOADEDDOC.reset();
    GETELEMENTQRESULT.reset();
    for (std::string* text : { &GETINFO_LOCATIONURL, &GETINFO_PAGETITLE, &GETINFO_DOCUMENTTYPE,
             &GETINFO_INNERTEXT, &GETINFO_OUTERTEXT, &GETINFO_INNERHTML, &GETINFO_OUTERHTML,
             &GETINFO_CLASSNAME, &GETINFO_ID, &GETINFO_TAGNAME, &GETINFO_LANGUAGE, &GETINFO_LANG })
        text->clear();
    DebugTrace("Kill - dispose(self.Locals)... done", 255);

    if (DISPWBEVENTHANDLER != 0) {
        DebugTrace("Kill - Disposing Per-Object Objects...  - dispose(WbEh)", 255);
        m_eventHandler.reset();
        DISPWBEVENTHANDLER = 0;
        DebugTrace("Kill - Disposing Per-Object Objects...  - dispose(WbEh) -done", 255);
    }
    return result;
}

void FeBrowser::KillControl()
{
    Kill(0);
}

void FeBrowser::SetPosition(std::int16_t x, std::int16_t y, std::int16_t width, std::int16_t height)
{
    // The placeholder takes the new place and the control follows it.
    if (auto* site = siteObject<ClientSite>(CLIENTSITE); site && site->window()) {
        if (Control* placeholder = site->window()->control(CURRENTCONTROL))
            placeholder->setRect({ x, y, width, height });
    }
    Resize(0, 1, 0, 0, 0, 0);
}

std::string FeBrowser::homeAddress(std::string_view valueName)
{
    return GetRegistryValue("HKEY_CURRENT_USER", browserKey, valueName);
}

std::uint8_t FeBrowser::navigate(Step step)
{
    WebView* view = webView();
    if (!view)
        return 0;
    switch (step) {
    case Step::Back:
        return view->goBack() ? 1 : 0;
    case Step::Forward:
        return view->goForward() ? 1 : 0;
    case Step::Home: {
        // The user's start page; a blank page when none is set.
        std::string home = homeAddress("Start Page");
        return view->load(home.empty() ? "about:blank" : home) ? 1 : 0;
    }
    case Step::Search: {
        std::string search = homeAddress("Search Page");
        return !search.empty() && view->load(search) ? 1 : 0;
    }
    case Step::Refresh:
        return view->reload(ReloadMode::Normal) ? 1 : 0;
    case Step::Stop:
        return view->stop() ? 1 : 0;
    }
    return 0;
}

std::uint8_t FeBrowser::GoBack()
{
    return navigate(Step::Back);
}
std::uint8_t FeBrowser::GoForward()
{
    return navigate(Step::Forward);
}
std::uint8_t FeBrowser::GoHome()
{
    return navigate(Step::Home);
}
std::uint8_t FeBrowser::GoSearch()
{
    return navigate(Step::Search);
}
std::uint8_t FeBrowser::Stop()
{
    return navigate(Step::Stop);
}

void FeBrowser::ShellOpen(std::string_view target)
{
    tvrn2::ShellOpen(target);
}

std::uint8_t FeBrowser::RefreshPage(std::uint8_t level)
{
    if (level == 0)
        return navigate(Step::Refresh);
    WebView* view = webView();
    if (!view)
        return 0;
    // Level 3 refreshes completely, past every cache; the others as a plain refresh.
    return view->reload(level == 3 ? ReloadMode::BypassCache : ReloadMode::Normal) ? 1 : 0;
}

void FeBrowser::Reload(std::optional<std::int32_t> control)
{
    std::int32_t target = control.value_or(CURRENTCONTROL);
    if (target != 0 && LASTLOADEDDOC && !LASTLOADEDDOC->empty()) {
        std::string address = *LASTLOADEDDOC;
        Load(address, target);
    }
}

void FeBrowser::Print(std::uint8_t prompt)
{
    ExecCommand(printCommandNumber, prompt != 0 ? 1 : 2);
}

void FeBrowser::PrintText(std::string_view, std::uint8_t prompt)
{
    Print(prompt);
}

std::uint8_t FeBrowser::ExecCommand(std::int32_t command, std::int32_t option)
{
    std::int32_t identifier = command >= 1 && command <= 16 ? commandIdentifiers[command] : 0;
    return execWB(identifier, option) == 0 ? 1 : 0;
}

std::int32_t FeBrowser::execWB(std::int32_t identifier, std::int32_t option)
{
    WebView* view = webView();
    if (!view)
        return notSupported;
    auto edit = [&](EditCommand command) {
        view->execute(command);
        return 0;
    };
    switch (identifier) {
    case SaveAs:
        return view->saveAsWithDialog() ? 0 : 1;
    case PrintCommand: {
        GetIEPageSetup();
        PrintSetup setup;
        if (IEPRINTERORIENTATION == "landscape")
            setup.orientation = PageOrientation::Landscape;
        else if (IEPRINTERORIENTATION == "portrait")
            setup.orientation = PageOrientation::Portrait;
        // FIXME: WebKit prints its own header and footer; the page-setup texts are not applied.
        bool started = view->print(option == 2 ? PrintMode::WithoutDialog : PrintMode::WithDialog, setup);
        return started ? 0 : 1;
    }
    case PageSetup: {
        // The orientation chosen goes where printing reads it, or the stored
        // one would override the choice at the next print.
        GetIEPageSetup();
        std::optional<PageOrientation> stored;
        if (IEPRINTERORIENTATION == "landscape")
            stored = PageOrientation::Landscape;
        else if (IEPRINTERORIENTATION == "portrait")
            stored = PageOrientation::Portrait;
        const PageOrientation chosen = view->runPageSetupDialog(stored);
        SetRegistryValue("hkey_current_user", pageSetupKey, "orientation",
            chosen == PageOrientation::Landscape ? "2" : "1");
        return 0;
    }
    case Cut:
        return edit(EditCommand::Cut);
    case Copy:
        return edit(EditCommand::Copy);
    case Undo:
        return edit(EditCommand::Undo);
    case Redo:
        return edit(EditCommand::Redo);
    case SelectAll:
        return edit(EditCommand::SelectAll);
    case ClearSelection:
        return edit(EditCommand::ClearSelection);
    case Delete:
        return edit(EditCommand::Delete);
    case Find:
        return view->runFindDialog() ? 0 : 1;
    case StopDownload:
        view->stop();
        view->downloads().cancelAll();
        return 0;
    case Close:
        // The browser asks its host window to close, as its own close would.
        if (auto* site = siteObject<ClientSite>(CLIENTSITE); site && site->window()) {
            site->window()->post(Event::CloseWindow);
            return 0;
        }
        return notSupported;
    case Save: // a shown page has no file of its own to save to
    case PrintPreview: // WebKit has no print preview
    case Properties:
    default:
        return notSupported;
    }
}

void FeBrowser::Update(std::string_view property, std::string_view value)
{
    std::string name = toLowerAscii(clip(property));
    std::string setting = toLowerAscii(clip(value));
    DebugTrace("Update - Top [" + std::string(clip(property)) + " | " + std::string(clip(value)), 255);

    auto write = [&](std::string_view valueName, std::string_view text) {
        std::uint8_t result = SetRegistryValue("hkey_current_user", pageSetupKey, valueName, text);
        if (result > 0) {
            BoxRequest box;
            box.text = "Error accessing the registry.  Error number is " + std::to_string(result) + ".";
            box.caption = "FE Error";
            box.buttons = Button::Ok;
            messageBoxes().show(box);
        }
        return result;
    };
    if (name == "html1printerheader" || name == "printerheader") {
        write("header", clip(value));
    } else if (name == "html1printerfooter" || name == "printerfooter") {
        write("footer", clip(value));
    } else if (name == "html1printerorientation" || name == "printerorientation") {
        if (setting == "landscape") {
            if (write("orientation", "2") == 0)
                DebugTrace("Update - Printing in landscape", 255);
        } else if (setting == "portrait") {
            write("orientation", "1");
        }
    }

    WebView* view = webView();
    if (!view) {
        DebugTrace("Update, Failed - a", 255);
        return;
    }
    bool on = setting == "1" || setting == "true";
    if (name == "htmlsilentmode" || name == "silentmode") {
        view->scripts().setSilent(on);
        SILENTMODE = on ? 1 : 0;
        DebugTrace("Update, putSilent passed", 255);
    } else if (name == "addressbar") {
        // A hosted browser has no bars of its own; the setting is kept for the host to read.
        m_addressBar = on;
        DebugTrace("Update, putAddressBar passed", 255);
    } else if (name == "statusbar") {
        m_statusBar = on;
        DebugTrace("Update, putStatusBar passed", 255);
    } else if (name == "menubar") {
        m_menuBar = on;
        DebugTrace("Update, putMenuBar passed", 255);
    } else if (name == "outerhtml") {
        // The value becomes the page.
        view->loadHtml(std::string(value));
    } else {
        DebugTrace("Update, Failed - c", 255);
    }
}

} // namespace tvrn2
