#include "platform/OsVersion.h"

#include <sys/utsname.h>

namespace tvrn2 {

OsVersion parseKernelRelease(std::string_view release)
{
    OsVersion version;
    std::uint32_t* parts[] = { &version.major, &version.minor, &version.build };
    std::size_t at = 0;
    for (auto* part : parts) {
        if (at >= release.size() || release[at] < '0' || release[at] > '9')
            break;
        std::uint64_t value = 0;
        while (at < release.size() && release[at] >= '0' && release[at] <= '9') {
            value = value * 10 + static_cast<std::uint64_t>(release[at++] - '0');
            if (value > UINT32_MAX)
                value = UINT32_MAX;
        }
        *part = static_cast<std::uint32_t>(value);
        if (at >= release.size() || release[at] != '.')
            break;
        ++at;
    }
    return version;
}

OsVersion osVersion()
{
    utsname name {};
    if (::uname(&name) != 0)
        return {};
    return parseKernelRelease(name.release);
}

} // namespace tvrn2
