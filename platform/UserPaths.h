#pragma once

#include <filesystem>

namespace tvrn2 {

// Whether two paths name the same file, whether or not it exists yet:
// doubled separators, "." and ".." steps and links in the folders above
// make no difference.
bool samePath(const std::filesystem::path& a, const std::filesystem::path& b);

} // namespace tvrn2
