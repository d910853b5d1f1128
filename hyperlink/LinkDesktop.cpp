#include "hyperlink/LinkDesktop.h"

#include "platform/Shell.h"
#include "platform/SystemInfo.h"

namespace tvrn2 {

OsVersion LinkDesktop::version() const
{
    return osVersion();
}

std::optional<std::string> LinkDesktop::windowsDirectory() const
{
    auto folder = tvrn2::windowsDirectory();
    if (folder.empty())
        return std::nullopt;
    return folder;
}

int LinkDesktop::open(std::string_view target) const
{
    return shellOpen(target);
}

const LinkDesktop& systemLinkDesktop()
{
    static const LinkDesktop desktop;
    return desktop;
}

} // namespace tvrn2
