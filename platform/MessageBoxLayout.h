#pragma once

#include "platform/MessageBox.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvrn2 {

// One button of a message box as shown: its label ("&" marks the access key)
// and the value the box returns when it is pressed.
struct BoxChoice {
    std::string label;
    int value;

    friend bool operator==(const BoxChoice&, const BoxChoice&) = default;
};

// The buttons of a box, left to right: the custom labels when given (valued
// 1, 2, ... by position), else the buttons of the mask in ascending order.
// A request with neither gets OK.
std::vector<BoxChoice> boxChoices(const BoxRequest& request);

// The value the box answers when it is closed without a button (Escape or
// the title bar): Cancel when offered, the only button when there is one,
// else nothing: then the box stays until a button is pressed.
std::optional<int> boxCloseResult(const BoxRequest& request);

// The button that starts focused: the default when it is one of the choices,
// else the first.
int boxDefaultChoice(const BoxRequest& request);

// The text with each "|" turned into a line break.
std::string boxText(std::string_view text);

// "&Yes" in the window system's mnemonic form "_Yes"; "&&" is a literal "&"
// and a literal "_" is doubled.
std::string mnemonicLabel(std::string_view label);

} // namespace tvrn2
