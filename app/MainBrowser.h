#pragma once

#include "browser_host/FeBrowser.h"

namespace tvrn2 {

class Window;

// The main window's browser. Before every event it keeps the embedded browser
// hidden while the control it is placed over sits in a hidden parent, and
// shown again once the parent is visible.
class MainBrowser final : public FeBrowser {
public:
    // `container` is the placeholder control the browser will be placed over.
    MainBrowser(Window& window, int container);

    void TakeEvent() override;

private:
    Window& m_window;
    int m_container;
};

} // namespace tvrn2
