#pragma once

#include "platform/TextEncoding.h"

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

// A stretch of a document's text: whole lines, line breaks included.
struct TextSpan {
    std::size_t begin { 0 };
    std::size_t end { 0 };

    bool empty() const { return begin == end; }
};

struct RegistryValue {
    std::string name; // "" is the key's default value; never holds a line break
    std::uint32_t type { REG_NONE };
    std::string data;
    // The lines the value was read from (the last of them when the file
    // holds it more than once); empty for a value added since.
    TextSpan source {};
    // Set with every change of type or data, so that a rewrite writes these
    // lines anew; a value read and left alone keeps its lines byte for byte.
    bool changed { false };
};

struct RegistryKey {
    // Full path from the hive's name: "HKEY_CURRENT_USER\Control Panel\Desktop".
    // The file keeps the spelling it has; this path names the hive in capitals.
    std::string path;
    std::vector<RegistryValue> values;
    // Where values added to the key go: past the last key or value line of
    // its last section in the text. Empty for a key added since.
    TextSpan source {};
};

// The keys of a store and the text they were read from. A rewrite keeps that
// text: comments, blank lines, line endings, the byte order mark, the
// encoding, the spelling of names and the order of everything; only the
// lines of changed values are written anew, and added values and keys go
// after their key and at the end.
struct RegistryDocument {
    std::vector<RegistryKey> keys;
    // The file's bytes as read, and how they were written.
    std::string source;
    TextEncoding encoding {};
    std::string lineEnding { "\n" };
    bool hasHeader { false };
};

struct RegistryProblem {
    std::size_t line { 0 }; // 1-based
    std::string reason;
};

// The text of the registry editor's export format ("Windows Registry Editor
// Version 5.00", "[key]" sections, "name"="text", dword:, hex:, hex(n):, @ for
// the default value), in UTF-8 or UTF-16LE. In quoted texts "\\" stands for
// "\" and "\"" for a quote; any other backslash is itself. hex(n) data of the
// text types is UTF-16LE in the file and UTF-8 here. Reads as much as it
// understands; everything it does not understand is listed in `problems`.
// Pure functions over bytes.
RegistryDocument parseRegistryText(std::string_view bytes, std::vector<RegistryProblem>& problems);
std::string formatRegistryText(const RegistryDocument& document);

// The hive's canonical name for a name in any case ("hkey_current_user"), or
// empty when the name is not a hive.
std::string_view canonicalHiveName(std::string_view name);

} // namespace tvrn2
