#include "platform/Control.h"

#include "platform/FixedText.h"
#include "platform/Window.h"

#include <algorithm>

namespace tvrn2 {

Control::Control(Window& window, int number, ControlKind kind, std::string label, std::string text, Rect rect)
    : m_window(window)
    , m_number(number)
    , m_kind(kind)
    , m_label(std::move(label))
    , m_text(std::move(text))
    , m_screenText(m_text)
    , m_rect(rect)
{ }

void Control::changed(ControlProperty property)
{
    m_window.controlChanged(m_number, property);
}

template <typename T> void Control::store(T& field, T value, ControlProperty property)
{
    if (field == value)
        return;
    field = std::move(value);
    changed(property);
}

void Control::setText(std::string text)
{
    if (text == m_text && text == m_screenText)
        return;
    m_text = std::move(text);
    m_screenText = m_text;
    m_editing = false;
    changed(ControlProperty::Text);
}

void Control::setScreenText(std::string text)
{
    m_editing = false;
    if (m_maxLength > 0 && static_cast<int>(text.size()) > m_maxLength)
        text.resize(wholeCharacterCut(text, static_cast<std::size_t>(m_maxLength)));
    if (text == m_screenText)
        return;
    m_screenText = std::move(text);
    changed(ControlProperty::ScreenText);
}

void Control::typeScreenText(std::string text)
{
    bool edited = text != m_screenText;
    setScreenText(std::move(text));
    m_editing = m_editing || edited;
}

void Control::setTooltip(std::string tooltip)
{
    store(m_tooltip, std::move(tooltip), ControlProperty::Tooltip);
}

void Control::setAccessibleName(std::string name)
{
    store(m_accessibleName, std::move(name), ControlProperty::AccessibleName);
}

void Control::setFontColour(Colour colour)
{
    store(m_fontColour, std::move(colour), ControlProperty::FontColour);
}

void Control::setFontStyle(int style)
{
    store(m_fontStyle, std::move(style), ControlProperty::FontStyle);
}

void Control::setCursor(std::string cursor)
{
    store(m_cursor, std::move(cursor), ControlProperty::Cursor);
}

void Control::setHidden(bool hidden)
{
    store(m_hidden, std::move(hidden), ControlProperty::Hidden);
}

void Control::setDisabled(bool disabled)
{
    store(m_disabled, std::move(disabled), ControlProperty::Disabled);
}

bool Control::takesInput() const
{
    // Parents are followed a bounded number of steps, so a parent loop set up
    // by mistake cannot hang the window.
    const Control* at = this;
    for (int depth = 0; at && depth < 64; ++depth) {
        if (at->m_hidden || at->m_disabled)
            return false;
        at = at->m_parent ? m_window.control(at->m_parent) : nullptr;
    }
    return true;
}

Rect Control::rect() const
{
    Rect effective = m_rect;
    if (effective.width <= 0) {
        // A dialog unit is a quarter of an average character, plus a little
        // room for the frame of controls that have one.
        effective.width
            = m_measuredWidth > 0 ? m_measuredWidth : static_cast<int>(m_screenText.size()) * 4 + 4;
    }
    if (effective.height <= 0)
        effective.height = m_measuredHeight > 0 ? m_measuredHeight : 10;
    return effective;
}

void Control::setRect(Rect rect)
{
    store(m_rect, std::move(rect), ControlProperty::Rect);
}

void Control::setMeasuredSize(int width, int height)
{
    m_measuredWidth = width;
    m_measuredHeight = height;
}

void Control::setParent(int parent)
{
    if (parent == m_parent || parent == m_number)
        return;
    m_parent = parent;
    changed(ControlProperty::Parent);
}

void Control::setImmediate(bool immediate)
{
    store(m_immediate, std::move(immediate), ControlProperty::Immediate);
}

int Control::alertKey(int slot) const
{
    if (slot < 1 || slot > AlertSlots)
        return 0;
    return m_alertKeys[static_cast<std::size_t>(slot - 1)];
}

void Control::setAlertKey(int slot, int key)
{
    if (slot >= 1 && slot <= AlertSlots)
        m_alertKeys[static_cast<std::size_t>(slot - 1)] = key;
}

bool Control::alert(int key)
{
    if (key == 0 || alerted(key))
        return key != 0;
    auto empty = std::find(m_alertKeys.begin(), m_alertKeys.end(), 0);
    if (empty == m_alertKeys.end())
        return false;
    *empty = key;
    return true;
}

void Control::unalert(int key)
{
    if (key != 0)
        std::replace(m_alertKeys.begin(), m_alertKeys.end(), key, 0);
}

bool Control::alerted(int key) const
{
    return key != 0 && std::find(m_alertKeys.begin(), m_alertKeys.end(), key) != m_alertKeys.end();
}

void Control::bind(std::function<std::string()> get, std::function<void(const std::string&)> set)
{
    m_get = std::move(get);
    m_set = std::move(set);
}

void Control::display()
{
    if (m_get && !m_editing)
        setScreenText(m_get());
}

void Control::update()
{
    m_editing = false;
    if (m_set)
        m_set(m_screenText);
}

void Control::setColumns(std::vector<ListColumn> columns)
{
    m_columns = std::move(columns);
    changed(ControlProperty::List);
}

void Control::setRows(std::vector<std::vector<std::string>> rows)
{
    m_rows = std::move(rows);
    if (m_selectedRow > static_cast<int>(m_rows.size()))
        m_selectedRow = static_cast<int>(m_rows.size());
    changed(ControlProperty::List);
}

void Control::setSelectedRow(int row)
{
    row = std::clamp(row, 0, static_cast<int>(m_rows.size()));
    if (row == m_selectedRow)
        return;
    m_selectedRow = row;
    changed(ControlProperty::List);
}

ListStyle Control::listStyle(int style) const
{
    for (const auto& [number, value] : m_listStyles) {
        if (number == style)
            return value;
    }
    return {};
}

void Control::setListStyle(int style, ListStyle value)
{
    for (auto& [number, existing] : m_listStyles) {
        if (number == style) {
            existing = value;
            changed(ControlProperty::List);
            return;
        }
    }
    m_listStyles.emplace_back(style, value);
    changed(ControlProperty::List);
}

void Control::setColumnStyle(int column, int style)
{
    if (column < 1 || column > static_cast<int>(m_columns.size()))
        return;
    m_columns[static_cast<std::size_t>(column - 1)].style = style;
    changed(ControlProperty::List);
}

} // namespace tvrn2
