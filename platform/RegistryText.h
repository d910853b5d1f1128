#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tvrn2 {

// Value types and their byte layouts (as the "A" registry calls hand them over).
inline constexpr std::uint32_t REG_NONE = 0;
inline constexpr std::uint32_t REG_SZ = 1; // text + NUL
inline constexpr std::uint32_t REG_EXPAND_SZ = 2; // text + NUL
inline constexpr std::uint32_t REG_BINARY = 3; // bytes
inline constexpr std::uint32_t REG_DWORD = 4; // 4 bytes, little-endian
inline constexpr std::uint32_t REG_DWORD_BIG_ENDIAN = 5; // 4 bytes, big-endian
inline constexpr std::uint32_t REG_MULTI_SZ = 7; // texts each + NUL, then NUL

struct RegistryValue {
    std::string name; // "" is the key's default value
    std::uint32_t type { REG_NONE };
    std::string data;
};

struct RegistryKey {
    // Full path from the hive's name: "HKEY_CURRENT_USER\Control Panel\Desktop".
    std::string path;
    std::vector<RegistryValue> values;
};

struct RegistryDocument {
    std::vector<RegistryKey> keys;
};

struct RegistryProblem {
    std::size_t line { 0 }; // 1-based
    std::string reason;
};

// The text of the registry editor's export format ("Windows Registry Editor
// Version 5.00", "[key]" sections, "name"="text", dword:, hex:, hex(n):, @ for
// the default value; hex(n) data of the text types is UTF-16LE there and
// UTF-8 here). Reads as much as it understands; everything it does not
// understand is listed in `problems`. Pure functions over text.
RegistryDocument parseRegistryText(std::string_view text, std::vector<RegistryProblem>& problems);
std::string formatRegistryText(const RegistryDocument& document);

// The hive's canonical name for a name in any case ("hkey_current_user"), or
// empty when the name is not a hive.
std::string_view canonicalHiveName(std::string_view name);

// UTF-8 and UTF-16LE conversions. A byte that is not part of valid UTF-8
// becomes the lone surrogate U+DC00 + byte and turns back into that byte, so
// any bytes survive the round trip; other lone surrogates become U+FFFD.
std::string utf8ToUtf16le(std::string_view text);
std::string utf16leToUtf8(std::string_view bytes);

} // namespace tvrn2
