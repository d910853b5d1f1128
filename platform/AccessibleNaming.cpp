#include "platform/AccessibleNaming.h"

#include "platform/Control.h"
#include "platform/Window.h"

#include <algorithm>
#include <cctype>

namespace tvrn2 {
namespace {

bool isLabel(ControlKind kind)
{
    return kind == ControlKind::Prompt || kind == ControlKind::String
        || kind == ControlKind::SingleLineString;
}

bool isInput(ControlKind kind)
{
    return kind == ControlKind::Entry || kind == ControlKind::Combo || kind == ControlKind::Text
        || kind == ControlKind::List;
}

// What a label control reads as.
std::string labelText(const Control& label)
{
    const std::string& shown = label.screenText();
    return label.kind() == ControlKind::Prompt ? plainCaption(shown) : shown;
}

bool hasWords(std::string_view text)
{
    return std::any_of(
        text.begin(), text.end(), [](unsigned char c) { return std::isalnum(c) || c >= 0x80; });
}

// "Address:" names its entry "Address".
std::string withoutColon(std::string text)
{
    while (!text.empty() && (text.back() == ':' || text.back() == ' '))
        text.pop_back();
    return text;
}

// The label of an input: its own prompt ("?NAME:PROMPT" for "?NAME"), else a
// prompt or text declared just before it.
const Control* labelOf(const Window& window, const Control& input)
{
    if (!input.label().empty()) {
        if (const Control* prompt = window.control(window.byLabel(input.label() + ":PROMPT")))
            return prompt;
    }
    const Control* before = window.control(input.number() - 1);
    if (before && isLabel(before->kind()) && hasWords(labelText(*before)))
        return before;
    return nullptr;
}

} // namespace

std::string plainCaption(std::string_view caption)
{
    std::string plain;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size())
            ++i;
        else if (caption[i] == '&')
            continue;
        plain.push_back(caption[i]);
    }
    return plain;
}

AccessibleNaming accessibleNaming(const Window& window, int number)
{
    const Control* control = window.control(number);
    if (!control)
        return {};
    if (!control->accessibleName().empty())
        return { control->accessibleName() };
    const ControlKind kind = control->kind();
    if (kind == ControlKind::Button) {
        std::string caption = plainCaption(control->text());
        if (hasWords(caption) || control->tooltip().empty())
            return { caption };
    } else if (isLabel(kind)) {
        std::string shown = labelText(*control);
        if (!shown.empty() || control->tooltip().empty())
            return { shown };
    } else if (isInput(kind)) {
        if (const Control* label = labelOf(window, *control))
            return { withoutColon(labelText(*label)), label->number() };
    }
    return { control->tooltip() };
}

} // namespace tvrn2
