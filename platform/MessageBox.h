#pragma once

#include "platform/ScopedSlot.h"

#include <deque>
#include <string>
#include <vector>

namespace tvrn2 {

// Message-box buttons as a bit mask; a box returns the value of the button pressed.
namespace Button {
inline constexpr int Ok = 1;
inline constexpr int Yes = 2;
inline constexpr int No = 4;
inline constexpr int Abort = 8;
inline constexpr int Retry = 16;
inline constexpr int Ignore = 32;
inline constexpr int Cancel = 64;
inline constexpr int Help = 128;
} // namespace Button

enum class BoxIcon { None, Question, Exclamation, Stop, Information };

struct BoxRequest {
    std::string text; // "|" breaks the line
    std::string caption;
    BoxIcon icon { BoxIcon::None };
    int buttons { Button::Ok };
    int defaultButton { 0 };
    // When not empty, the buttons are these labels joined by "|" ("&Yes|&No|&Cancel")
    // and the result is the 1-based position of the label pressed.
    std::string customButtons;
};

// The button a box answers with when nobody presses one: the default, else
// the lowest button of the mask (OK for an empty mask).
int unattendedAnswer(int buttons, int defaultButton);

// The platform's modal message box.
class MessageBoxes {
public:
    virtual int show(const BoxRequest& request) = 0;

protected:
    ~MessageBoxes() = default;
};

// The message boxes in use; headless until a window system installs its own.
MessageBoxes& messageBoxes();
MessageBoxes* setMessageBoxes(MessageBoxes* boxes);
using ScopedMessageBoxes = ScopedSlot<MessageBoxes, setMessageBoxes>;

// The window system's stop box: the text under the caption "Stop" with
// Abort and Ignore. Abort ends the program at once; Ignore returns.
void stopBox(std::string text);

// Headless boxes: records every request and answers from a script, else with
// the default button (or the first button of the mask when there is none).
class ScriptedMessageBoxes final : public MessageBoxes {
public:
    int show(const BoxRequest& request) override;

    void answer(int button) { m_script.push_back(button); }
    const std::vector<BoxRequest>& shown() const { return m_shown; }
    void clear() { m_shown.clear(), m_script.clear(); }

private:
    std::vector<BoxRequest> m_shown;
    std::deque<int> m_script;
};

} // namespace tvrn2
