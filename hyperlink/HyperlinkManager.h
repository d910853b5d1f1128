#pragma once

#include "hyperlink/HyperlinkRecords.h"
#include "hyperlink/LinkDesktop.h"
#include "platform/Control.h"
#include "platform/FixedText.h"
#include "platform/Registry.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvrn2 {

class Window;

// Turns controls of one window, and columns of its lists, into links: paints
// them normal, bright under the mouse or greyed when switched off, shows the
// hand cursor over them and hands their target to the desktop on a click.
//
// Strings and prompts take no mouse events; each gets an invisible region of
// its own at control number + OverlayOffset that takes them instead.
//
// The owner constructs it, sets HandCursorToUse (and CheckURLs, EncodeEmails),
// calls Init with its periodic event, AddItem once per link and Refresh(0),
// and then passes every event of the window to TakeEvent.
class HyperlinkManager {
public:
    static constexpr int OverlayOffset = 2800;
    // Column numbers passed to MoveColumns: 64 slots, 0 for an empty one.
    using ColumnTable = std::array<std::int32_t, 64>;

    explicit HyperlinkManager(Window& window, const LinkDesktop& desktop = systemLinkDesktop());
    virtual ~HyperlinkManager() = default;
    HyperlinkManager(const HyperlinkManager&) = delete;
    HyperlinkManager& operator=(const HyperlinkManager&) = delete;

    // Registers a link. For a list, `url` is the column number as text. An
    // omitted argument is not the same as 0. `underlineEvent`: for a list,
    // the normal list style (negative: show the hand cursor too); otherwise
    // bit 0 asks for an underline and the bits above name the launching event.
    virtual void AddItem(int control, std::optional<std::string_view> url = std::nullopt,
        std::optional<Colour> normal = std::nullopt, std::optional<Colour> bright = std::nullopt,
        std::optional<int> underlineEvent = std::nullopt, int stdAction = 0);
    // Starts the lists and looks up the web browser and the e-mail program.
    // `trackEvent` is the periodic event on which TrackMouse checks the mouse.
    // Bit 0 of `options` would keep the window system's display buffering as
    // it is; the views always draw double-buffered, so nothing is switched.
    virtual void Init(std::optional<int> trackEvent = std::nullopt, int options = 0);
    // On the tracking event: returns links the mouse has left to normal even
    // when the window system reported no mouse-out, and follows list rows.
    virtual void TrackMouse();
    // 0: every link; otherwise one control.
    virtual void Refresh(int control);
    // Hands URLToRun to the desktop. maxLength limits an e-mail command: -1
    // asks for the system's limit, any other value of 0 or less means none.
    virtual void RunURL(int control, int maxLength);
    // The row under the mouse in a linked list column changed: called for
    // the old row with the normal style and for the new one with the bright one.
    virtual void ListRowHover(int control, int column, int row, int style);
    // Handles the window's current event; the owner calls it for every event.
    virtual void TakeEvent();
    // The target behind the clicked cell of a linked list column; the owner
    // supplies it, the manager knows none.
    virtual std::string GetListURL(int control, int column);
    virtual void SetURL(int control, std::optional<std::string_view> url = std::nullopt);
    virtual std::string MakeLink(std::string_view text, std::string_view target, int mode);
    // Keeps linked list columns in step after the list's columns moved.
    // Returns 0 when every moved column found its place, else 2.
    virtual int MoveColumns(int list, std::optional<ColumnTable> oldCols = std::nullopt,
        std::optional<ColumnTable> newCols = std::nullopt);
    // Applies the link's state to its control; `create` on the first display.
    virtual void Display(int control, bool create);
    // Bit 1 of `options` forgets what was saved for the list first; bit 0 or
    // bit 1 appends every column instead of matching saved formats.
    virtual void SaveColumnFormats(int list, int options = 0);
    virtual void AddStyledItem(int control, std::string_view url, bool useControlText,
        std::optional<Colour> normal = std::nullopt, std::optional<Colour> bright = std::nullopt,
        std::optional<int> normalStyle = std::nullopt, std::optional<int> brightStyle = std::nullopt);
    // True when the desktop has a program for the target; its command is left in OpenProgram.
    virtual bool FindProgram(std::string_view target);
    // False when the control has no link. The owner refreshes afterwards.
    virtual bool SetActive(int control, bool active);
    // Debug output, only with "/LVDebug" on the command line.
    virtual void Trace(std::string_view text);
    virtual std::string TextBetween(std::string_view text, std::string_view delimiter);
    virtual void ErrorMessage(std::string_view text, std::string_view caption, int code);

    // Rewrites URLToRun so a mail program takes it as one address with its query.
    void MakeEmailURLSafe();

    Window& window() const { return m_window; }

    std::vector<HyperlinkItem> ItemQ;
    CString<256> HyperBrowser; // command of the desktop's web browser, or empty
    CString<256> HyperEmail; // command of the desktop's e-mail program, or empty
    std::int32_t HandCursor { 0 }; // the event on which TrackMouse checks the mouse
    PaddedString<4096> ListURL; // free for the owner; the manager never reads it
    bool Inited { false };
    PaddedString<4096> URLToRun;
    std::vector<ColumnTracker> TrackerQ;
    CString<256> OpenProgram; // the last program found
    bool CheckURLs { false }; // switch off links that no program can open
    bool EncodeEmails { false };
    std::int32_t LastFieldSelected { 0 };
    PaddedString<255> HandCursorToUse;
    HKEY RegQueryHandle { 0 };
    CString<4096> RegSubkeyName;
    std::int32_t RegBufferSize { 0 };
    CString<4096> pszPath; // the Windows directory, fetched for %SystemDrive%
    std::uint32_t pszBuffer { 4096 };
    ControlKind ModTempType { ControlKind::String };

private:
    // Positions in ItemQ; std::nullopt when there is none.
    std::optional<std::size_t> findItem(int control) const;
    std::optional<std::size_t> findItem(int control, int column) const;
    std::size_t insertItem(HyperlinkItem item);
    void sortItems();
    // Which styles a new item of a list takes: the next free pair after the
    // list's other linked columns, or the first.
    enum class StylePair { NextFree, First };
    HyperlinkItem freshItem(int control, StylePair styles) const;

    void refreshItem(std::size_t index);
    void displayItem(std::size_t index, bool create);
    void displayTextLike(std::size_t index, bool create);
    void handleItem(std::size_t index, int ctl);
    void launchItem(std::size_t index);
    // The target a click on the link would launch.
    std::string targetOf(const HyperlinkItem& item) const;

    void lookUpPrograms();
    int queryClassesRoot(std::string_view key, CString<256>& into);
    bool lookUpEmailProgram();
    enum class FailureTrace { Quiet, Traced };
    void expandSystemDrive(FailureTrace failure);
    void reportShellResult(int code, std::string_view command);

    std::optional<std::size_t> findTracker(int list, int columnNo) const;
    std::optional<std::size_t> findTracker(int list, std::string_view format) const;

    Window& m_window;
    const LinkDesktop& m_desktop;
    // The record Display works on when asked for a control by number: the
    // one just added, refreshed or moved.
    std::optional<std::size_t> m_current;
};

} // namespace tvrn2
