#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tvrn2 {

// Settings files in the INI format: "[section]" lines, each followed by
// "key=value" lines, in UTF-8 or UTF-16LE (the files' bytes are read as text
// and written back in the encoding they had; see TextEncoding.h). Section and key names compare without
// regard to case; blanks around names and values do not count; a value enclosed in a pair of matching quotes
// is read without them. Lines starting with ";" are comments.

// The value of the key in the first section of that name, if there is one.
// A pure function over the file's text.
std::optional<std::string> findProfileValue(
    std::string_view text, std::string_view section, std::string_view key);

// The file's text after one change; every other byte stays as it was.
// With a value, the key is set (section and key are added at the end when
// missing, using the file's own line ending); without a value the key is
// removed; without a key the whole section is removed.
std::string changeProfileText(std::string_view text, std::string_view section,
    std::optional<std::string_view> key, std::optional<std::string_view> value);

// Every value of one section at once, as findProfileValue reads each one:
// the first section of that name, the first line of each key. The keys are
// folded to lower case.
std::unordered_map<std::string, std::string> findProfileSection(
    std::string_view text, std::string_view section);

// Several keys of one section set in one pass: the same text as setting each
// in turn, in order, with changeProfileText.
using ProfileValues = std::vector<std::pair<std::string, std::string>>;
std::string changeProfileKeys(std::string_view text, std::string_view section, const ProfileValues& values);

// Where a profile file lives: a bare name in the settings folder, an empty
// name is the main profile "win.ini" there, a name with a "/" stays as given.
std::string profilePath(std::string_view fileName);

// The value of the key, or the default (trailing blanks removed) when the
// file, section or key is missing. An empty file name reads the main profile.
std::string getPrivateProfileString(
    std::string_view section, std::string_view key, std::string_view defaultValue, std::string_view fileName);

// Sets (value given), removes (no value) a key, or removes a section (no key),
// creating the file and the settings folder as needed. The file is replaced
// all at once, so a failed write leaves the old file intact; it keeps its
// encoding (UTF-8 with or without a byte order mark, or UTF-16LE), a link
// to it stays a link, and a read-only file is not written. Returns false
// (with errno set) when the file could not be written, or when a name or the
// value would break the file's structure (line breaks, "]" in a section name,
// "=" in a key name).
bool writePrivateProfileString(std::string_view section, std::optional<std::string_view> key,
    std::optional<std::string_view> value, std::string_view fileName);

// The file's text, decoded; nothing when it is missing or unreadable.
std::optional<std::string> readProfileText(std::string_view fileName);

// writePrivateProfileString for several keys of one section, with one read
// and one write of the file however many keys there are.
bool writePrivateProfileKeys(
    std::string_view section, const ProfileValues& values, std::string_view fileName);

// The main profile forms.
std::string getProfileString(std::string_view section, std::string_view key, std::string_view defaultValue);
bool writeProfileString(
    std::string_view section, std::optional<std::string_view> key, std::optional<std::string_view> value);

} // namespace tvrn2
