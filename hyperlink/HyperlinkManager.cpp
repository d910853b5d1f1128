#include "hyperlink/HyperlinkManager.h"

#include "hyperlink/LinkText.h"
#include "platform/DebugOutput.h"
#include "platform/MessageBox.h"
#include "platform/SystemInfo.h"
#include "platform/Window.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

namespace tvrn2 {
namespace {

// Looking a record up by key: 0 when found, else the queue's "Entry Not Found".
constexpr int EntryNotFound = 30;

bool isList(ControlKind kind)
{
    return kind == ControlKind::List;
}

bool isStringKind(ControlKind kind)
{
    return kind == ControlKind::String || kind == ControlKind::SingleLineString;
}

bool isEntryLike(ControlKind kind)
{
    return kind == ControlKind::Entry || kind == ControlKind::Combo || kind == ControlKind::Text;
}

bool isButtonLike(ControlKind kind)
{
    return kind == ControlKind::Button || kind == ControlKind::MenuItem;
}

// Controls that take their own mouse events; every other kind is
// text-like and has them taken by an overlay region.
bool takesOwnMouse(ControlKind kind)
{
    return kind == ControlKind::Region || isButtonLike(kind) || isEntryLike(kind);
}

int numberFrom(std::string_view text)
{
    text = trim(text);
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

std::string decimal(long long value)
{
    return std::to_string(value);
}

} // namespace

HyperlinkManager::HyperlinkManager(Window& window, const LinkDesktop& desktop)
    : m_window(window)
    , m_desktop(desktop)
{ }

void HyperlinkManager::Init(std::optional<int> trackEvent, int options)
{
    ItemQ.clear();
    TrackerQ.clear();
    m_current.reset();
    if (trackEvent)
        HandCursor = *trackEvent;
    lookUpPrograms();
    Inited = true;
}

std::optional<std::size_t> HyperlinkManager::findItem(int control) const
{
    auto at = std::find_if(
        ItemQ.begin(), ItemQ.end(), [control](const HyperlinkItem& item) { return item.Control == control; });
    if (at == ItemQ.end())
        return std::nullopt;
    return static_cast<std::size_t>(at - ItemQ.begin());
}

std::optional<std::size_t> HyperlinkManager::findItem(int control, int column) const
{
    auto at = std::find_if(ItemQ.begin(), ItemQ.end(),
        [&](const HyperlinkItem& item) { return item.Control == control && item.Column == column; });
    if (at == ItemQ.end())
        return std::nullopt;
    return static_cast<std::size_t>(at - ItemQ.begin());
}

std::size_t HyperlinkManager::insertItem(HyperlinkItem item)
{
    auto at = std::upper_bound(
        ItemQ.begin(), ItemQ.end(), item, [](const HyperlinkItem& a, const HyperlinkItem& b) {
            return a.Control != b.Control ? a.Control < b.Control : a.Column < b.Column;
        });
    auto inserted = ItemQ.insert(at, std::move(item));
    return static_cast<std::size_t>(inserted - ItemQ.begin());
}

void HyperlinkManager::sortItems()
{
    std::stable_sort(ItemQ.begin(), ItemQ.end(), [](const HyperlinkItem& a, const HyperlinkItem& b) {
        return a.Control != b.Control ? a.Control < b.Control : a.Column < b.Column;
    });
}

HyperlinkItem HyperlinkManager::freshItem(int control, StylePair styles) const
{
    HyperlinkItem item;
    item.Control = control;
    if (styles == StylePair::NextFree) {
        // Each further linked column of a list gets its own pair of styles.
        int largest = 0;
        for (const auto& other : ItemQ) {
            if (other.Control == control)
                largest = std::max(largest, other.Style);
        }
        item.Style = largest != 0 ? largest + 2 : 0;
    }
    if (const auto* c = m_window.control(control))
        item.InactiveColor = c->fontColour();
    return item;
}

void HyperlinkManager::AddItem(int control, std::optional<std::string_view> url, std::optional<Colour> normal,
    std::optional<Colour> bright, std::optional<int> underlineEvent, int stdAction)
{
    auto* c = m_window.control(control);
    if (!c)
        return;
    HyperlinkItem item = freshItem(control, StylePair::NextFree);
    ModTempType = c->kind();

    if (isList(ModTempType)) {
        if (url)
            item.Column = numberFrom(*url);
        if (normal && *normal != -1)
            item.Normal = *normal;
        if (bright && *bright != -1)
            item.Bright = *bright;
        if (underlineEvent) {
            int style = std::abs(*underlineEvent);
            if (style > item.Style && style > 1)
                item.Style = style;
            else if (item.Style == 0 && item.Normal != 0)
                item.Style = 2;
            if (*underlineEvent < 0)
                item.HandCursor = 1;
        } else if (item.Style == 0 && item.Normal != 0) {
            item.Style = 2;
        }
    } else {
        if (url)
            item.URL = *url;
        if (normal) {
            item.Normal = *normal;
            c->setFontColour(*normal);
        } else if (isStringKind(ModTempType)) {
            item.Normal = c->fontColour();
        }
        if (bright)
            item.Bright = *bright;
        if (underlineEvent) {
            item.Underline = static_cast<std::uint8_t>(*underlineEvent & 1);
            item.UseEvent = static_cast<std::int32_t>(static_cast<std::uint32_t>(*underlineEvent) >> 1);
            if (item.Underline)
                c->setFontStyle(c->fontStyle() | FontStyle::Underline);
        }
        if (stdAction != 0 && ModTempType == ControlKind::Entry) {
            c->alert(stdAction);
            item.UseStdAction = stdAction;
            c->setCursor(HandCursorToUse.clipped());
            item.UseEvent = static_cast<int>(Event::AlertKey);
        }
    }

    m_current = insertItem(item);
    Trace("In AddItem: " + decimal(control) + " URL: " + item.URL.clipped() + " Norm: " + decimal(item.Normal)
        + " Brt: " + decimal(item.Bright) + " InActCol: " + decimal(item.InactiveColor) + " Style: "
        + decimal(item.Style) + " Col: " + decimal(item.Column) + " UnderLine: " + decimal(item.Underline)
        + " Event: " + decimal(item.UseEvent) + " Cur: " + decimal(item.HandCursor) + " NStl: "
        + decimal(item.NormalStyle) + decimal(item.BrightStyle) + " StdA: " + decimal(item.UseStdAction));
    Display(control, true);
}

void HyperlinkManager::AddStyledItem(int control, std::string_view url, bool useControlText,
    std::optional<Colour> normal, std::optional<Colour> bright, std::optional<int> normalStyle,
    std::optional<int> brightStyle)
{
    auto* c = m_window.control(control);
    if (!c)
        return;
    HyperlinkItem item = freshItem(control, StylePair::First);
    ModTempType = c->kind();
    if (isStringKind(ModTempType) || ModTempType == ControlKind::Prompt) {
        item.URL = !useControlText && !clip(url).empty() ? url : std::string_view(c->screenText());
        if (normal) {
            item.Normal = *normal;
            c->setFontColour(*normal);
        } else {
            item.Normal = c->fontColour();
        }
        if (bright)
            item.Bright = *bright;
        if (normalStyle) {
            item.NormalStyle = *normalStyle;
            c->setFontStyle(*normalStyle);
        } else {
            item.NormalStyle = c->fontStyle();
        }
        if (brightStyle)
            item.BrightStyle = *brightStyle;
    }
    m_current = insertItem(item);
    Display(control, true);
}

void HyperlinkManager::Display(int control, bool create)
{
    std::optional<std::size_t> index = m_current;
    if (!index || *index >= ItemQ.size() || ItemQ[*index].Control != control)
        index = findItem(control);
    if (index)
        displayItem(*index, create);
}

void HyperlinkManager::displayItem(std::size_t index, bool create)
{
    const HyperlinkItem& item = ItemQ[index];
    auto* c = m_window.control(item.Control);
    if (!c)
        return;
    ModTempType = c->kind();
    std::string cursor = HandCursorToUse.clipped();

    if (isButtonLike(ModTempType))
        return;

    if (isEntryLike(ModTempType)) {
        if (item.Active) {
            c->setFontColour(item.Normal);
            if (item.Underline)
                c->setFontStyle(c->fontStyle() | FontStyle::Underline);
            if (item.UseStdAction != 0) {
                c->setCursor(cursor);
                c->alert(item.UseStdAction);
            }
        } else {
            c->setFontColour(item.InactiveColor);
            c->setFontStyle(c->fontStyle() & ~FontStyle::Underline);
            if (item.UseStdAction != 0) {
                c->setCursor({});
                c->unalert(item.UseStdAction);
            }
        }
        return;
    }

    if (ModTempType == ControlKind::Region) {
        if (create) {
            c->setCursor(cursor);
            c->setImmediate(true);
        } else if (!item.Active) {
            c->setCursor({});
            c->setDisabled(true);
        } else {
            // Switching the link back on takes the region back into use:
            // only this manager disabled it.
            c->setCursor(cursor);
            c->setDisabled(false);
        }
        return;
    }

    if (isList(ModTempType)) {
        if (item.Normal != 0) {
            c->setListStyle(item.Style, { item.Normal, FontStyle::Underline });
            c->setColumnStyle(item.Column, item.Style);
            if (item.Bright != 0)
                c->setListStyle(item.Style + 1, { item.Bright, FontStyle::Underline });
        }
        return;
    }

    displayTextLike(index, create);
}

void HyperlinkManager::displayTextLike(std::size_t index, bool create)
{
    const HyperlinkItem& item = ItemQ[index];
    Control& c = *m_window.control(item.Control);
    std::string cursor = HandCursorToUse.clipped();
    int overlayNumber = item.Control + OverlayOffset;

    if (create) {
        if (isStringKind(ModTempType) || ModTempType == ControlKind::Prompt) {
            auto found = findItem(item.Control);
            if (found && ItemQ[*found].Active) {
                if (ItemQ[*found].Underline)
                    c.setFontStyle(c.fontStyle() | FontStyle::Underline);
                if (ItemQ[*found].NormalStyle != 0)
                    c.setFontStyle(ItemQ[*found].NormalStyle);
            } else {
                c.setFontStyle(FontStyle::Regular);
            }
            Trace("Setting control properties: \r\nError getting from queue: "
                + decimal(found ? 0 : EntryNotFound) + "\r\nStyle: " + decimal(c.fontStyle()));
        }
        Control& overlay = m_window.create(overlayNumber, ControlKind::Region, c.parent());
        overlay.setCursor(cursor);
        overlay.setImmediate(true);
    }

    Control& overlay = m_window.create(overlayNumber, ControlKind::Region, c.parent());
    if (!create) {
        if (!item.Active) {
            overlay.setCursor({});
            overlay.setDisabled(true);
        } else {
            overlay.setCursor(cursor);
            overlay.setDisabled(c.disabled());
        }
    }

    if (!c.disabled()) {
        const Control* parent = c.parent() ? m_window.control(c.parent()) : nullptr;
        if (parent && parent->disabled()) {
            c.setFontColour(parent->fontColour());
        } else if (!item.Active) {
            // Greyed as the text around it: the parent's look, or the window's own.
            c.setFontColour(parent ? parent->fontColour() : ColourNone);
            c.setFontStyle(parent ? parent->fontStyle() : 0);
        } else if (item.Working == 1) {
            c.setFontColour(item.Bright);
            c.setFontStyle(item.BrightStyle);
        } else if (item.Working == 0) {
            c.setFontColour(item.Normal);
            c.setFontStyle(item.NormalStyle);
        }
    }

    overlay.setRect(c.rect());
    overlay.setHidden(c.hidden());
}

void HyperlinkManager::Refresh(int control)
{
    if (control == 0) {
        for (std::size_t i = 0; i < ItemQ.size(); ++i)
            refreshItem(i);
        return;
    }
    m_window.display(control);
    if (auto index = findItem(control))
        refreshItem(*index);
}

std::string HyperlinkManager::targetOf(const HyperlinkItem& item) const
{
    const auto* c = m_window.control(item.Control);
    if (!c)
        return {};
    if (c->kind() == ControlKind::Entry)
        return c->screenText();
    if (!item.URL.blank())
        return item.URL.clipped();
    if (isStringKind(c->kind()) || c->kind() == ControlKind::Combo)
        return c->screenText();
    return c->text();
}

void HyperlinkManager::refreshItem(std::size_t index)
{
    m_current = index;
    const auto* c = m_window.control(ItemQ[index].Control);
    if (!c)
        return;
    ModTempType = c->kind();
    if (isButtonLike(ModTempType) || isList(ModTempType) || ModTempType == ControlKind::Combo
        || ModTempType == ControlKind::Text)
        return;
    if (ModTempType == ControlKind::Entry)
        ItemQ[index].URL = c->screenText();
    if (CheckURLs) {
        // What a click would launch is what must be openable: a link without
        // a target of its own launches its control's text.
        std::string target = targetOf(ItemQ[index]);
        bool found = FindProgram(target);
        ItemQ[index].Active = found ? 1 : 0;
        if (!found)
            Trace("Failed Reg Check on: " + target);
    }
    m_current = index;
    Display(ItemQ[index].Control, false);
}

void HyperlinkManager::TakeEvent()
{
    int ctl = m_window.field();
    const Control* c = m_window.control(ctl);

    if (c && (takesOwnMouse(c->kind()))) {
        if (c->kind() == ControlKind::Region && ctl > OverlayOffset)
            ctl -= OverlayOffset;
        // The record found first is handled, once, however often the
        // control was registered.
        if (auto index = findItem(ctl))
            handleItem(*index, ctl);
    } else if (c && isList(c->kind())) {
        if (m_window.event() == Event::Accepted) {
            m_window.display();
            Refresh(0);
        }
        int column = c->mouseDownHit().column;
        auto index = findItem(ctl, column);
        if (commandLine().find("/LVDebugList") != std::string::npos)
            Trace("UpField: " + decimal(column) + " error: " + (index ? "" : "Entry Not Found"));
        if (index)
            handleItem(*index, ctl);
    } else if (ctl > OverlayOffset) {
        if (auto index = findItem(ctl - OverlayOffset))
            handleItem(*index, ctl - OverlayOffset);
    }

    if (m_window.event() == Event::Selected)
        LastFieldSelected = m_window.field();
    else if (m_window.event() == Event::Sized)
        Refresh(0);
    TrackMouse();
}

void HyperlinkManager::handleItem(std::size_t index, int ctl)
{
    const Control* c = m_window.control(ItemQ[index].Control);
    if (!c)
        return;
    ModTempType = c->kind();
    ControlKind kind = ModTempType;
    if (kind == ControlKind::Entry && CheckURLs && ItemQ[index].URL.clipped() != c->screenText())
        Refresh(ItemQ[index].Control);

    int code = static_cast<int>(m_window.event());
    Trace("In TakeEvent: Ctrl: " + decimal(ctl) + "(" + decimal(ItemQ[index].Control)
        + ") Event: " + decimal(code) + " UseEvent: " + decimal(ItemQ[index].UseEvent)
        + " LastSel: " + decimal(LastFieldSelected));
    if (!ItemQ[index].Active || code == 0)
        return;

    HyperlinkItem& item = ItemQ[index];
    switch (m_window.event()) {
    case Event::MouseIn:
    case Event::MouseMove:
        if (item.Bright > 0 && isStringKind(kind) && item.Working == 0 && item.Normal < 1)
            item.Normal = c->fontColour();
        if (!isList(kind) && item.Working == 0) {
            item.Working = 1;
            Refresh(item.Control);
        }
        break;
    case Event::MouseOut:
        if (!isList(kind)) {
            item.Working = 0;
            Refresh(item.Control);
        }
        break;
    default:
        break;
    }

    HyperlinkItem& now = ItemQ[index];
    if (m_window.event() == Event::Accepted) {
        // One launch per click, also when the launching event is the accepted one.
        if (!m_window.acceptAll() && (now.UseEvent == 0 || now.UseEvent == 1))
            launchItem(index);
    } else if (code == now.UseEvent) {
        if (LastFieldSelected != ctl && now.UseStdAction == 1)
            m_window.select(ctl); // the first click places the caret
        else
            launchItem(index);
    }
}

void HyperlinkManager::launchItem(std::size_t index)
{
    const HyperlinkItem& item = ItemQ[index];
    const Control* c = m_window.control(item.Control);
    if (!c)
        return;
    std::string target;
    if (isList(c->kind())) {
        if (c->mouseDownHit().column != item.Column)
            return;
        target = GetListURL(item.Control, item.Column);
    } else {
        target = targetOf(item);
    }
    URLToRun = clip(target);
    if (!URLToRun.blank())
        RunURL(ItemQ[index].Control, 0);
}

void HyperlinkManager::TrackMouse()
{
    if (HandCursor == 0 || static_cast<int>(m_window.event()) != HandCursor)
        return;
    int mouseX = m_window.mouseX();
    int mouseY = m_window.mouseY();
    std::string cursor = HandCursorToUse.clipped();
    bool listGotCursor = false;
    int listWithCursor = 0;

    for (std::size_t i = 0; i < ItemQ.size(); ++i) {
        Control* c = m_window.control(ItemQ[i].Control);
        if (!c)
            continue;
        if (!isList(c->kind())) {
            if (ItemQ[i].Working == 0)
                continue;
            int tracked = takesOwnMouse(c->kind()) ? ItemQ[i].Control : ItemQ[i].Control + OverlayOffset;
            const Control* t = m_window.control(tracked);
            if (t && !t->rect().contains(mouseX, mouseY))
                m_window.post(Event::MouseOut, tracked);
            continue;
        }

        const ListHit& hit = c->mouseHit();
        if (hit.column == ItemQ[i].Column && hit.zone == 0 && ItemQ[i].HandCursor == 1) {
            if (c->cursor() != cursor)
                c->setCursor(cursor);
            listGotCursor = true;
        } else if (!c->cursor().empty()) {
            listWithCursor = c->number();
        }
        if (ItemQ[i].Style == 0)
            continue;
        Rect r = c->rect();
        bool overColumn = hit.column == ItemQ[i].Column && r.x < mouseX && mouseX < r.x + r.width;
        int control = ItemQ[i].Control;
        int column = ItemQ[i].Column;
        int style = ItemQ[i].Style;
        if (overColumn && hit.row != ItemQ[i].Working) {
            ListRowHover(control, column, ItemQ[i].Working, style);
            ItemQ[i].Working = hit.row;
            ListRowHover(control, column, hit.row, style + 1);
        } else if (!overColumn && ItemQ[i].Working != 0) {
            ListRowHover(control, column, ItemQ[i].Working, style);
            ItemQ[i].Working = 0;
        }
    }

    if (!listGotCursor && listWithCursor != 0) {
        if (auto* list = m_window.control(listWithCursor))
            list->setCursor({});
    }
}

void HyperlinkManager::ListRowHover(int, int, int, int)
{ }

std::string HyperlinkManager::GetListURL(int, int)
{
    return {};
}

void HyperlinkManager::SetURL(int control, std::optional<std::string_view> url)
{
    sortItems();
    auto index = findItem(control);
    if (!index)
        return;
    const auto* c = m_window.control(control);
    if (c && isList(c->kind()))
        return;
    std::string_view wanted = url ? clip(*url) : std::string_view {};
    HyperlinkItem& item = ItemQ[*index];
    if (!wanted.empty() && item.URL.clipped() != wanted) {
        item.URL = wanted;
        Refresh(control);
    } else if (wanted.empty() && !item.URL.blank()) {
        item.URL.clear();
        Refresh(control);
    }
}

bool HyperlinkManager::SetActive(int control, bool active)
{
    auto index = findItem(control);
    if (!index)
        return false;
    ItemQ[*index].Active = active ? 1 : 0;
    return true;
}

std::optional<std::size_t> HyperlinkManager::findTracker(int list, int columnNo) const
{
    auto at = std::find_if(TrackerQ.begin(), TrackerQ.end(),
        [&](const ColumnTracker& t) { return t.Control == list && t.ColumnNo == columnNo; });
    return at == TrackerQ.end() ? std::nullopt
                                : std::optional(static_cast<std::size_t>(at - TrackerQ.begin()));
}

std::optional<std::size_t> HyperlinkManager::findTracker(int list, std::string_view format) const
{
    auto at = std::find_if(TrackerQ.begin(), TrackerQ.end(),
        [&](const ColumnTracker& t) { return t.Control == list && t.OldFormatCol == format; });
    return at == TrackerQ.end() ? std::nullopt
                                : std::optional(static_cast<std::size_t>(at - TrackerQ.begin()));
}

void HyperlinkManager::SaveColumnFormats(int list, int options)
{
    const auto* c = m_window.control(list);
    if (!c)
        return;
    if (options & 2) {
        // Forget only this list: the other lists of the window keep theirs.
        std::erase_if(TrackerQ, [list](const ColumnTracker& t) { return t.Control == list; });
    }
    const auto& columns = c->columns();
    int count = static_cast<int>(std::min<std::size_t>(columns.size(), 1024));
    for (int position = 1; position <= count; ++position) {
        ColumnTracker record;
        record.Control = list;
        record.OldFormatCol = columns[static_cast<std::size_t>(position - 1)].format;
        record.ColumnNo = position;
        if (options & 3) {
            TrackerQ.push_back(record);
        } else if (auto found = findTracker(list, record.OldFormatCol.clipped())) {
            TrackerQ[*found].ColumnNo = position;
        } else {
            TrackerQ.push_back(record);
        }
    }
}

int HyperlinkManager::MoveColumns(
    int list, std::optional<ColumnTable> oldCols, std::optional<ColumnTable> newCols)
{
    ColumnTable oldColumns {};
    ColumnTable newColumns {};
    std::string debug;
    if (oldCols && newCols) {
        oldColumns = *oldCols;
        newColumns = *newCols;
    } else if (const auto* c = m_window.control(list)) {
        // Where each column's format was last seen, against where it is now.
        std::string pairs;
        std::size_t k = 0;
        const auto& columns = c->columns();
        for (std::size_t p = 1; p <= columns.size() && k < newColumns.size(); ++p) {
            std::string_view format = columns[p - 1].format;
            auto saved = findTracker(list, static_cast<int>(p));
            if (!saved || TrackerQ[*saved].OldFormatCol == format)
                continue;
            oldColumns[k] = static_cast<std::int32_t>(p);
            if (auto moved = findTracker(list, clip(format))) {
                newColumns[k] = TrackerQ[*moved].ColumnNo;
                pairs += decimal(newColumns[k]) + " to " + decimal(oldColumns[k]) + ";";
                ++k;
            }
        }
        for (; k < oldColumns.size(); ++k)
            oldColumns[k] = 0;
        debug = "Which Cols: " + pairs + "\r\nTemp Change: ";
    }

    for (auto& column : newColumns) {
        if (column != 0 && column <= 4096 && !findItem(list, column))
            column = 0;
    }

    // Two passes, so that a column moving onto the number of another that
    // has not moved yet never meets it: first everything to numbers above
    // any real column, then everything to its place.
    std::array<std::int32_t, 64> previous {};
    std::array<bool, 64> marked {};
    int examined = 0;
    int temporary = 1024;
    for (std::size_t n = 0; n < newColumns.size(); ++n) {
        if (newColumns[n] < 1 || newColumns[n] > 4095)
            continue;
        ++examined;
        ++temporary;
        auto index = findItem(list, newColumns[n]);
        if (!index) {
            newColumns[n] = 0;
            continue;
        }
        previous[n] = newColumns[n];
        ItemQ[*index].Column = temporary;
        newColumns[n] = temporary;
        marked[n] = true;
        debug += decimal(previous[n]) + " to " + decimal(temporary) + ";";
    }
    debug += "\r\nPerm Change: ";

    int handled = 0;
    for (std::size_t n = 0; n < newColumns.size(); ++n) {
        if (!marked[n])
            continue;
        debug += decimal(newColumns[n]) + " to " + decimal(oldColumns[n]) + ";";
        auto index = findItem(list, newColumns[n]);
        if (!index)
            continue;
        HyperlinkItem& item = ItemQ[*index];
        if (oldColumns[n] != 0) {
            item.Column = oldColumns[n];
            ++handled;
        } else {
            // No place to go: the column keeps its number rather than a
            // temporary one that names no column.
            item.Column = previous[n];
        }
        Trace("Color(" + decimal(item.Column) + "): " + decimal(item.Bright) + " " + decimal(item.Normal)
            + " Style: " + decimal(item.Style));
    }
    sortItems();

    for (std::size_t i = 0; i < ItemQ.size(); ++i) {
        if (ItemQ[i].Control == list) {
            m_current = i;
            Display(list, false);
        }
    }
    if (commandLine().find("/XPCheck") != std::string::npos)
        stopBox(debug);
    return handled == examined ? 0 : 2;
}

std::string HyperlinkManager::TextBetween(std::string_view text, std::string_view delimiter)
{
    return textBetween(text, delimiter);
}

void HyperlinkManager::ErrorMessage(std::string_view text, std::string_view caption, int code)
{
    BoxRequest box;
    box.text = "(" + decimal(code) + ") " + std::string(text);
    box.caption = std::string(caption) + decimal(code);
    box.icon = BoxIcon::Information;
    box.buttons = Button::Ok;
    messageBoxes().show(box);
}

void HyperlinkManager::Trace(std::string_view text)
{
    if (commandLine().find("/LVDebug") == std::string::npos)
        return;
    std::string_view clipped = clip(text);
    outputDebugString(
        "Lantivo: " + std::string(clipped.substr(0, std::min<std::size_t>(clipped.size(), 1023))));
}

} // namespace tvrn2
