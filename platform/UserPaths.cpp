#include "platform/UserPaths.h"

#include <cstdlib>
#include <glib.h>
#include <string>
#include <system_error>

namespace tvrn2 {
namespace {

std::filesystem::path comparable(const std::filesystem::path& path)
{
    std::error_code error;
    auto resolved = std::filesystem::weakly_canonical(path, error);
    return error ? path.lexically_normal() : resolved.lexically_normal();
}

std::filesystem::path homeFolder()
{
    const char* home = std::getenv("HOME");
    return home && *home ? home : g_get_home_dir();
}

} // namespace

std::filesystem::path userFolder(std::string_view written)
{
    if (written.empty())
        return {};
    if (written == "~")
        return homeFolder();
    if (written.substr(0, 2) == "~/")
        return homeFolder() / std::string(written.substr(2));
    std::filesystem::path path { std::string(written) };
    return path.is_absolute() ? path : homeFolder() / path;
}

bool samePath(const std::filesystem::path& a, const std::filesystem::path& b)
{
    return comparable(a) == comparable(b);
}

} // namespace tvrn2
