#pragma once

#include "platform/TextEncoding.h"

#include <cstddef>
#include <cstdint>
#include <optional>
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

// Where paths are among a document's keys, by a hash of the path folded to
// lower case: a table of places in one block, open addressed, that the
// document checks against its keys' paths. A large store is indexed without
// an allocation or a copy of a name per key.
class RegistryPathIndex {
public:
    struct Place {
        std::uint32_t key; // the key's number
        // How much of its path: all of it, or the part that names a key
        // above it. Never 0, as a path begins with a hive.
        std::uint32_t length;
    };

    // The first place stored under `hash` that `wanted` accepts.
    template <typename Wanted> std::optional<Place> find(std::uint64_t hash, Wanted wanted) const
    {
        if (m_slots.empty())
            return std::nullopt;
        for (std::size_t at = hash & mask(); m_slots[at].place.length; at = (at + 1) & mask()) {
            if (m_slots[at].hash == hash && wanted(m_slots[at].place))
                return m_slots[at].place;
        }
        return std::nullopt;
    }

    void add(std::uint64_t hash, Place place);
    // Room for that many places in all.
    void reserve(std::size_t places);

private:
    struct Slot {
        std::uint64_t hash { 0 };
        Place place { 0, 0 }; // of length 0 in an empty slot
    };

    std::size_t mask() const { return m_slots.size() - 1; }

    std::vector<Slot> m_slots; // a power of two of them, at most three quarters used
    std::size_t m_used { 0 };
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

    // The paths of the keys and of the keys above them, found in any case.
    // Filled as keys are read and as addKey adds them; a document put
    // together by hand has none.
    RegistryPathIndex paths;

    // The key of that path, in any case; null when there is none.
    RegistryKey* findKey(std::string_view path);
    // Whether the key is stored, or lies above a key that is (and so exists
    // without a section of its own).
    bool holdsKey(std::string_view path) const;
    // Adds a key (of a path not stored yet) after the others.
    RegistryKey& addKey(std::string path);
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
// Pure functions over bytes; the document keeps the bytes it was read from.
RegistryDocument parseRegistryText(std::string bytes, std::vector<RegistryProblem>& problems);
std::string formatRegistryText(const RegistryDocument& document);

// The hive's canonical name for a name in any case ("hkey_current_user"), or
// empty when the name is not a hive.
std::string_view canonicalHiveName(std::string_view name);

} // namespace tvrn2
