#include "app/MainBrowser.h"

#include "platform/Window.h"

namespace tvrn2 {

MainBrowser::MainBrowser(Window& window, int container)
    : m_window(window)
    , m_container(container)
{ }

void MainBrowser::TakeEvent()
{
    const Control* container = m_window.control(m_container);
    if (const Control* parent = container ? m_window.control(container->parent()) : nullptr) {
        // Only a change is passed on: every hide or unhide places the control anew.
        if (parent->hidden() && !CONTROLSETTOHIDDEN)
            HideControl();
        else if (!parent->hidden() && CONTROLSETTOHIDDEN)
            UnhideControl();
    }
    FeBrowser::TakeEvent();
}

} // namespace tvrn2
