#pragma once

#include <string>

namespace tvrn2::test {

// The bytes converted by the system's iconv tool from one encoding to another
// ("UTF-8", "UTF-16LE"), so a fixture in another encoding is made by a tool
// that is not under test. Fails the test and returns empty when iconv fails.
std::string iconv(const std::string& bytes, const std::string& from, const std::string& to);

} // namespace tvrn2::test
