#pragma once

#include <string>
#include <string_view>

namespace tvrn2 {

class Window;

// The name assistive technology gives a control, when the control was not
// named outright: a button by its caption (or its tooltip when the caption is
// only marks such as "..."), a text by what it shows, an input by the prompt
// or text before it, anything else by its tooltip.
struct AccessibleNaming {
    std::string name;
    // The control whose text names this one, or 0.
    int labelledBy { 0 };
};

AccessibleNaming accessibleNaming(const Window& window, int control);

// A caption as it reads: mnemonic marks taken out ("&&" is a plain "&").
std::string plainCaption(std::string_view caption);

} // namespace tvrn2
