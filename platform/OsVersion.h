#pragma once

#include <cstdint>
#include <string_view>

namespace tvrn2 {

// The running system's version in the shape of the Windows version record.
// Linux reports a platform id that names no Windows family, and the kernel
// release for major, minor and build.
struct OsVersion {
    static constexpr std::uint32_t linuxPlatformId = 0x4C4E5800; // no Windows family uses it

    std::uint32_t platformId { linuxPlatformId };
    std::uint32_t major { 0 };
    std::uint32_t minor { 0 };
    std::uint32_t build { 0 };
};

// The version of the running kernel (uname).
OsVersion osVersion();

// Major, minor and build from a kernel release such as "6.1.0-18-amd64":
// the leading dot-separated numbers, 0 for any that is missing.
OsVersion parseKernelRelease(std::string_view release);

} // namespace tvrn2
