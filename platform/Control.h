#pragma once

#include "platform/Dialogs.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace tvrn2 {

class Window;

enum class ControlKind {
    String,
    SingleLineString,
    Prompt,
    Entry,
    Combo,
    Text,
    Button,
    MenuItem,
    Region,
    List,
    Container, // hosts an embedded view
    Image,
};

// Position and size in dialog units. A width or height of 0 asks for the
// size that fits the contents.
struct Rect {
    int x { 0 };
    int y { 0 };
    int width { 0 };
    int height { 0 };

    friend bool operator==(const Rect&, const Rect&) = default;
    bool contains(int px, int py) const { return px >= x && px <= x + width && py >= y && py <= y + height; }
};

// The window system's "no colour set": the control uses the theme's colour.
inline constexpr Colour ColourNone = -1;

namespace FontStyle {
inline constexpr int WeightMask = 0x0FFF;
inline constexpr int Regular = 400;
inline constexpr int Bold = 700;
inline constexpr int Italic = 0x1000;
inline constexpr int Underline = 0x2000;
inline constexpr int Strikeout = 0x4000;
} // namespace FontStyle

// What changed on a control, so a view repaints only that.
enum class ControlProperty {
    Text,
    ScreenText,
    Tooltip,
    FontColour,
    FontStyle,
    Cursor,
    Hidden,
    Disabled,
    Rect,
    Parent,
    Immediate,
    List,
    AccessibleName,
};

struct ListColumn {
    std::string heading;
    int width { 0 }; // dialog units
    std::string format; // the column's format string, as the list reports it
    int style { 0 }; // list style number, 0 = none

    friend bool operator==(const ListColumn&, const ListColumn&) = default;
};

struct ListStyle {
    Colour colour { ColourNone };
    int fontStyle { 0 };

    friend bool operator==(const ListStyle&, const ListStyle&) = default;
};

// Where the mouse is over a list: 1-based row and column, 0 when none; zone
// 0 is the cell area, 1 the header.
struct ListHit {
    int row { 0 };
    int column { 0 };
    int zone { 0 };
};

// One control of a window. Every change goes through the owning window, so
// an attached view sees it.
class Control {
public:
    static constexpr int AlertSlots = 255;

    Control(Window& window, int number, ControlKind kind, std::string label, std::string text, Rect rect);
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    int number() const { return m_number; }
    ControlKind kind() const { return m_kind; }
    const std::string& label() const { return m_label; }
    Window& window() const { return m_window; }

    // The control's text property: a button's or prompt's caption, or the
    // format of a control that shows a variable. Setting it shows it as well.
    const std::string& text() const { return m_text; }
    void setText(std::string text);
    // What the screen shows: for an entry, what the user has typed.
    const std::string& screenText() const { return m_screenText; }
    void setScreenText(std::string text);
    // The user's own change to the screen text. From then until update()
    // takes it into the variable, or the program sets the screen text itself,
    // the control is being edited and display() leaves it as the user has it.
    void typeScreenText(std::string text);
    bool editing() const { return m_editing; }

    const std::string& tooltip() const { return m_tooltip; }
    void setTooltip(std::string tooltip);
    // What assistive technology calls the control; empty lets the view name
    // it from its caption, the label before it or its tooltip.
    const std::string& accessibleName() const { return m_accessibleName; }
    void setAccessibleName(std::string name);
    Colour fontColour() const { return m_fontColour; }
    void setFontColour(Colour colour);
    // Weight in the low 12 bits, plus the italic, underline and strike-out bits; 0 = the window's font.
    int fontStyle() const { return m_fontStyle; }
    void setFontStyle(int style);
    // Empty for the default cursor; a "~"-prefixed name for a cursor linked
    // into the program ("~hand2.cur"), or a standard name ("hand", "wait").
    const std::string& cursor() const { return m_cursor; }
    void setCursor(std::string cursor);
    bool hidden() const { return m_hidden; }
    void setHidden(bool hidden);
    bool disabled() const { return m_disabled; }
    void setDisabled(bool disabled);
    // The control takes no input while it or one of its parents is hidden or disabled.
    bool takesInput() const;

    // The rectangle as it stands: a size asked to fit the contents reads as
    // the size the view measured (or an estimate without a view).
    Rect rect() const;
    const Rect& requestedRect() const { return m_rect; }
    void setRect(Rect rect);
    void setMeasuredSize(int width, int height);

    int parent() const { return m_parent; }
    void setParent(int parent);
    // A region that reports mouse in, out and move.
    bool immediate() const { return m_immediate; }
    void setImmediate(bool immediate);
    // Entries: most characters the user may type; 0 = no limit.
    int maxLength() const { return m_maxLength; }
    void setMaxLength(int length) { m_maxLength = length; }

    // Alerted keys: pressing one of these in the control raises the alert-key
    // event for it instead of the key's usual effect. Slots are 1 to 255; 0 is empty.
    int alertKey(int slot) const;
    void setAlertKey(int slot, int key);
    bool alert(int key); // into the first empty slot unless already there; false when full
    void unalert(int key); // clears every slot holding the key
    bool alerted(int key) const;

    // A variable the control shows: display() puts its value on the screen,
    // update() takes the screen text back into it.
    void bind(std::function<std::string()> get, std::function<void(const std::string&)> set);
    void display();
    void update();

    // Lists.
    const std::vector<ListColumn>& columns() const { return m_columns; }
    void setColumns(std::vector<ListColumn> columns);
    const std::vector<std::vector<std::string>>& rows() const { return m_rows; }
    void setRows(std::vector<std::vector<std::string>> rows);
    int selectedRow() const { return m_selectedRow; }
    void setSelectedRow(int row);
    ListStyle listStyle(int style) const;
    void setListStyle(int style, ListStyle value);
    void setColumnStyle(int column, int style);
    const ListHit& mouseHit() const { return m_mouseHit; }
    void setMouseHit(ListHit hit) { m_mouseHit = hit; }
    // Where the mouse button last went down over the list.
    const ListHit& mouseDownHit() const { return m_mouseDownHit; }
    void setMouseDownHit(ListHit hit) { m_mouseDownHit = hit; }

private:
    void changed(ControlProperty property);
    // Stores the value and tells the window, unless nothing changes.
    template <typename T> void store(T& field, T value, ControlProperty property);

    Window& m_window;
    int m_number;
    ControlKind m_kind;
    std::string m_label;
    std::string m_text;
    std::string m_screenText;
    bool m_editing { false };
    std::string m_tooltip;
    std::string m_accessibleName;
    Colour m_fontColour { ColourNone };
    int m_fontStyle { 0 };
    std::string m_cursor;
    bool m_hidden { false };
    bool m_disabled { false };
    Rect m_rect;
    int m_measuredWidth { 0 };
    int m_measuredHeight { 0 };
    int m_parent { 0 };
    bool m_immediate { false };
    int m_maxLength { 0 };
    std::array<int, AlertSlots> m_alertKeys {};
    std::function<std::string()> m_get;
    std::function<void(const std::string&)> m_set;
    std::vector<ListColumn> m_columns;
    std::vector<std::vector<std::string>> m_rows;
    std::vector<std::pair<int, ListStyle>> m_listStyles;
    int m_selectedRow { 0 };
    ListHit m_mouseHit;
    ListHit m_mouseDownHit;
};

} // namespace tvrn2
