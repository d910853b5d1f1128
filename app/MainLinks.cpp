#include "app/MainLinks.h"

#include "platform/KeyCode.h"
#include "platform/Window.h"

namespace tvrn2 {

MainLinks::MainLinks(Window& window, int browserLink, Loader load, const LinkDesktop& desktop)
    : HyperlinkManager(window, desktop)
    , m_browserLink(browserLink)
    , m_load(std::move(load))
{ }

void MainLinks::RunURL(int control, int maxLength)
{
    // A button pressed from the keyboard launches nothing.
    if (KeyCode::withoutModifiers(window().lastKeyCode()) != KeyCode::MouseLeft)
        return;
    if (control == m_browserLink) {
        if (m_load)
            m_load(URLToRun.clipped());
        return;
    }
    HyperlinkManager::RunURL(control, -1);
}

std::string MainLinks::GetListURL(int, int)
{
    return {};
}

} // namespace tvrn2
