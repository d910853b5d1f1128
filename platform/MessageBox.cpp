#include "platform/MessageBox.h"

#include "platform/Halt.h"

namespace tvrn2 {
namespace {
ScriptedMessageBoxes headless;
MessageBoxes* installed = nullptr;
} // namespace

MessageBoxes& messageBoxes()
{
    return installed ? *installed : headless;
}

MessageBoxes* setMessageBoxes(MessageBoxes* boxes)
{
    auto* previous = installed;
    installed = boxes;
    return previous;
}

void stopBox(std::string text)
{
    BoxRequest request;
    request.text = std::move(text);
    request.caption = "Stop";
    request.icon = BoxIcon::Stop;
    request.buttons = Button::Abort | Button::Ignore;
    request.defaultButton = Button::Abort;
    if (messageBoxes().show(request) == Button::Abort)
        haltProgram(0);
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
