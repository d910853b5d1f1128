#include "platform/UserPaths.h"

#include <system_error>

namespace tvrn2 {
namespace {

std::filesystem::path comparable(const std::filesystem::path& path)
{
    std::error_code error;
    auto resolved = std::filesystem::weakly_canonical(path, error);
    return error ? path.lexically_normal() : resolved.lexically_normal();
}

} // namespace

bool samePath(const std::filesystem::path& a, const std::filesystem::path& b)
{
    return comparable(a) == comparable(b);
}

} // namespace tvrn2
