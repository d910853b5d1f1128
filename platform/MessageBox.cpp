#include "platform/MessageBox.h"

namespace tvrn2 {
namespace {
    ScriptedMessageBoxes headless;
    MessageBoxes* installed = nullptr;
} // namespace

MessageBoxes& messageBoxes() { return installed ? *installed : headless; }

MessageBoxes* setMessageBoxes(MessageBoxes* boxes)
{
    auto* previous = installed;
    installed = boxes;
    return previous;
}

int ScriptedMessageBoxes::show(const BoxRequest& request)
{
    m_shown.push_back(request);
    if (!m_script.empty()) {
        int answer = m_script.front();
        m_script.pop_front();
        return answer;
    }
    if (!request.defaultButton && !request.customButtons.empty())
        return 1;
    return unattendedAnswer(request.buttons, request.defaultButton);
}

int unattendedAnswer(int buttons, int defaultButton)
{
    if (defaultButton)
        return defaultButton;
    for (int bit = Button::Ok; bit <= Button::Help; bit <<= 1) {
        if (buttons & bit)
            return bit;
    }
    return Button::Ok;
}

} // namespace tvrn2
