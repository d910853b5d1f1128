#pragma once

#include <filesystem>
#include <string_view>

namespace tvrn2 {

// A folder as people write it in a setting: a leading "~" or "~/" stands for
// the home folder, and a relative path is taken relative to the home folder,
// as the desktop's own list of user folders takes it (never relative to the
// program's working folder). Empty stays empty: no folder is set.
std::filesystem::path userFolder(std::string_view written);

// Whether two paths name the same file, whether or not it exists yet:
// doubled separators, "." and ".." steps and links in the folders above
// make no difference.
bool samePath(const std::filesystem::path& a, const std::filesystem::path& b);

} // namespace tvrn2
