#pragma once

#include "browser_host/ElementRecords.h"
#include "browser_host/FeMaster.h"
#include "platform/FixedText.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tvrn2 {

class DocumentBridge;
class WbEventHandler;
class WebView;

// One embedded web browser in one window: created over a placeholder control
// through the control sites, navigated by address rules, told its display and
// page-setup options, driven by the browser's commands, and released again.
class FeBrowser : public FeMaster {
public:
    FeBrowser();
    ~FeBrowser() override;

    using FeMaster::Init;
    using FeMaster::Kill;

    // How Load rewrites an address before handing it to the browser, given
    // the current directory (no trailing separator).
    static std::string resolveAddress(std::string_view url, std::string_view currentDirectory);

    // The operations, in their slot order after the master's. The reserved
    // slots keep each operation in its place; they do nothing.
    //
    // Browser events: the handler calls _EventCallback, which asks the
    // application's EventCallback for an action code (0 none, 1 stop the
    // navigation, 2 stop it and post feCallback to the window, 3 stop a new
    // window) and carries it out.
    //
    // The page's elements (GetElementQ, the ...ByName and ...ByID operations,
    // SubmitForm, the frames) are walked tag by tag, read, filled, clicked and
    // submitted, in the page itself (frame 0) or in its n-th frame.
    virtual std::uint8_t GoBack();
    // Trace with the prefix "feBrowser:" when DEBUGGING is at least level (255 means 2).
    virtual void DebugTrace(std::string_view message, std::uint8_t level);
    virtual std::uint8_t ExecCommand(std::int32_t command, std::int32_t option);
    virtual std::int32_t EventCallback(std::int32_t number, std::string_view p1, std::string_view p2,
        std::string_view p3, std::string_view p4, std::string_view p5, std::string_view p6,
        std::string_view p7);
    virtual std::uint8_t GoForward();
    virtual std::string GetElementQ(std::string_view tagName, std::string_view name, std::string_view value,
        std::string_view dupNumber, ElementQueue* queue, std::uint8_t allTags, std::int32_t frame,
        std::uint8_t noDupTarget, std::uint8_t returnValue, std::uint8_t matchAll);
    virtual void Reserved1(std::string_view) { }
    // Lists the page text's pictures in GRAPHICSLIST and rewrites them to
    // content ids in SOURCE. This one works over a caller's buffer of
    // `length` bytes (text up to its NUL), which keeps only the part after
    // the last rewritten reference.
    virtual void GetHtmlGraphicsInfo(char* address, std::int32_t length);
    virtual void GetHtmlGraphicsInfo(std::string_view text);
    // What the document is: request codes 1 to 4 ask the browser (address,
    // title, type, busy), 5 to 20 the root element of the page or of frame n.
    virtual std::string GetInfo(std::string_view request, std::int32_t frame = 0);
    virtual void RefreshDocumentInfo();
    virtual std::string GetInfoText(std::string_view request, std::int32_t frame = 0);
    virtual std::string GetValueByID(std::string_view id);
    virtual std::string GetValueByName(std::string_view name, std::int32_t frame = 0);
    virtual std::uint8_t GoHome();
    virtual void Reserved2(
        std::string_view, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t)
    { }
    virtual void KillControl();
    virtual void SetPosition(std::int16_t x, std::int16_t y, std::int16_t width, std::int16_t height);
    virtual std::uint8_t Init(std::optional<std::string_view> url, std::int32_t control,
        std::int32_t windowHandle, std::int32_t clientHandle, std::uint8_t disableCallbacks);
    virtual std::uint8_t Kill(std::uint8_t flag);
    virtual std::uint8_t Load(std::string_view url, std::int32_t control = 0,
        std::optional<std::string_view> flags = std::nullopt,
        std::optional<std::string_view> targetFrameName = std::nullopt,
        std::optional<std::string_view> postData = std::nullopt,
        std::optional<std::string_view> headers = std::nullopt);
    virtual std::uint8_t LoadWithTarget(
        std::string_view url, std::string_view target, std::int32_t control = 0);
    virtual std::uint8_t LoadOnControl(std::string_view url, std::int32_t control = 0);
    virtual std::string FrameName(std::int32_t frame);
    virtual std::int32_t FrameCount();
    virtual void PrintText(std::string_view text, std::uint8_t prompt);
    virtual void Print(std::uint8_t prompt);
    virtual std::uint8_t RefreshPage(std::uint8_t level = 0);
    virtual void Reload(std::optional<std::int32_t> control = std::nullopt);
    virtual void Reserved3(std::string_view) { }
    virtual std::uint8_t GoSearch();
    virtual void SetValueByID(std::string_view id, std::string_view value);
    virtual void SetValueByName(
        std::string_view name, std::string_view value, std::int32_t frame = 0, std::int32_t dupNumber = 0);
    // Opens an address or a file with the desktop's default application.
    virtual void ShellOpen(std::string_view target);
    virtual std::uint8_t Stop();
    virtual void SubmitForm(std::string_view formName, std::uint8_t all, std::int32_t frame = 0);
    // The event's name in the fixed table ("fe:WBEvt_..."), or a name made from the number.
    virtual std::string EventName(std::int32_t number);
    virtual void Update(std::string_view property, std::string_view value);
    virtual std::int32_t _EventCallback(std::int32_t number, std::string_view p1, std::string_view p2,
        std::string_view p3, std::string_view p4, std::string_view p5, std::string_view p6,
        std::string_view p7);
    virtual void Reserved4() { }
    // 1 selects the current selection's range again, 2 puts `html` in its place.
    virtual void SelectionRange(std::uint8_t mode, std::optional<std::string_view> html = std::nullopt);
    virtual std::uint8_t ClickByName(
        std::string_view name, std::int32_t frame = 0, std::int32_t dupNumber = 0);
    virtual std::uint8_t ClickByRecordID(std::int32_t recordId, std::int32_t frame = 0);
    virtual void OnStatusTextChange(std::string_view) { }
    virtual void OnProgressChange(std::int32_t, std::int32_t) { }
    virtual void OnCommandStateChange(std::int32_t, std::int16_t) { }
    virtual void OnDownloadBegin() { }
    virtual void OnDownloadComplete() { }
    virtual void OnTitleChange(std::string_view) { }
    virtual void OnPropertyChange(std::string_view) { }
    virtual void OnBeforeNavigate2(std::string_view) { }
    virtual void OnNewWindow2() { }

    // The page's document, reached by late binding; null without a control.
    DocumentBridge* get_Document();
    // The control's web view; null without a control.
    WebView* webView() const;

    // Fields after the master's, in their order.
    std::string GETINFO_LOCATIONURL, GETINFO_PAGETITLE, GETINFO_DOCUMENTTYPE, GETINFO_INNERTEXT,
        GETINFO_OUTERTEXT, GETINFO_INNERHTML, GETINFO_OUTERHTML, GETINFO_CLASSNAME, GETINFO_ID,
        GETINFO_TAGNAME, GETINFO_LANGUAGE, GETINFO_LANG;
    std::uint8_t BUSY { 0 };
    PaddedString<255> URL;
    std::string& PAGETITLE { GETINFO_PAGETITLE };
    std::string& DOCUMENTTYPE { GETINFO_DOCUMENTTYPE };
    PaddedString<8192> GRAPHICSLIST;
    std::uint8_t NEWWINDOW { 0 };
    CString<50000> OUTERTEXT;
    PaddedString<255> ROOTFOLDER;
    CString<100000> SOURCE;
    std::uint8_t DONTADDTOHISTORY { 0 };
    std::uint8_t SILENTMODE { 0 };
    // Older names; the large ones share storage with the fields above.
    CString<100000>& HTML2SOURCE { SOURCE };
    PaddedString<255> HTMLURL;
    std::uint8_t& HTMLBUSY { BUSY };
    std::string HTMLDOCUMENTTYPE;
    PaddedString<8192>& HTMLGRAPHICSLIST { GRAPHICSLIST };
    std::uint8_t& HTMLNEWWINDOW { NEWWINDOW };
    CString<50000>& HTMLOUTERTEXT { OUTERTEXT };
    PaddedString<255>& HTMLROOTFOLDER { ROOTFOLDER };
    CString<100000>& HTMLSOURCE { SOURCE };
    PaddedString<255> HTMLTITLE;
    PaddedString<255> HTMLURL2;
    std::uint8_t HTMLDONTADDTOHISTORY { 0 };
    std::uint8_t HTMLSILENTMODE { 0 };
    std::int32_t OLEINITER { 0 };
    std::int32_t OLECONTROLSITE { 0 };
    std::intptr_t DISPWBEVENTHANDLER { 0 };
    std::intptr_t TEMPDISPOBJECTHOLDER { 0 };
    std::int16_t COMPARENTCONTROL { 0 };
    std::optional<std::string> LASTLOADEDDOC;
    std::optional<std::string> GETELEMENTQRESULT;

    // Display options as last set through Update.
    bool addressBar() const { return m_addressBar; }
    bool statusBar() const { return m_statusBar; }
    bool menuBar() const { return m_menuBar; }

private:
    // The six navigation commands share one dispatcher: 1 back, 2 forward,
    // 3 home, 4 search, 5 refresh, 6 stop; anything else fails.
    enum class Step { Back, Forward, Home, Search, Refresh, Stop };
    std::uint8_t navigate(Step step);
    // The control's command by its platform identifier: 0 done, else rejected.
    std::int32_t execWB(std::int32_t identifier, std::int32_t option);
    std::string homeAddress(std::string_view valueName);

    bool m_addressBar { false };
    bool m_statusBar { false };
    bool m_menuBar { false };
    std::size_t m_graphicsConsumed { 0 };
    std::unique_ptr<WbEventHandler> m_eventHandler;
};

} // namespace tvrn2
