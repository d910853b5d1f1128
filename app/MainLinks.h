#pragma once

#include "hyperlink/HyperlinkManager.h"

#include <functional>
#include <string>

namespace tvrn2 {

// The main window's links: only a left click launches one, and the download
// link opens in the window's own browser instead of the desktop's.
class MainLinks final : public HyperlinkManager {
public:
    using Loader = std::function<void(const std::string& address)>;

    // `browserLink` is the control whose target goes to `load`.
    MainLinks(Window& window, int browserLink, Loader load, const LinkDesktop& desktop = systemLinkDesktop());

    void RunURL(int control, int maxLength) override;
    // The window has no linked list.
    std::string GetListURL(int control, int column) override;

private:
    int m_browserLink;
    Loader m_load;
};

} // namespace tvrn2
