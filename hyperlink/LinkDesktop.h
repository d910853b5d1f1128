#pragma once

#include "platform/OsVersion.h"

#include <optional>
#include <string>
#include <string_view>

namespace tvrn2 {

// What the hyperlink manager asks of the system besides the registry: the
// system's version (old systems limit an e-mail command's length), the
// Windows directory (its drive stands for %SystemDrive%) and the launch of a
// target by the desktop's own association. The defaults ask the running
// system; a test may answer one of them differently.
class LinkDesktop {
public:
    virtual ~LinkDesktop() = default;

    virtual OsVersion version() const;
    // Empty when the directory cannot be had.
    virtual std::optional<std::string> windowsDirectory() const;
    // One of the ShellResult codes: above 32 when an application took it.
    virtual int open(std::string_view target) const;
};

// The running system.
const LinkDesktop& systemLinkDesktop();

} // namespace tvrn2
