#include "platform/Profile.h"

#include "platform/DebugOutput.h"
#include "platform/Files.h"
#include "platform/FixedText.h"
#include "platform/SystemInfo.h"
#include "platform/TextCase.h"
#include "platform/TextEncoding.h"

#include <cerrno>
#include <cstring>
#include <functional>
#include <vector>

namespace tvrn2 {
namespace {

std::string_view trimBlanks(std::string_view text)
{
    auto begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos)
        return {};
    auto end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

enum class LineKind { Blank, Header, Key, Comment, Other };

struct Line {
    std::size_t begin { 0 }; // first byte of the line
    std::size_t end { 0 }; // past its last byte before the line break
    std::size_t next { 0 }; // first byte of the following line
    LineKind kind { LineKind::Blank };
    std::string_view name; // section or key name, trimmed
    std::string_view value; // key value, trimmed
    bool terminated { false }; // ends with a line break
};

std::vector<Line> parseLines(std::string_view text)
{
    std::vector<Line> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        Line line;
        line.begin = at;
        auto newline = text.find('\n', at);
        line.terminated = newline != std::string_view::npos;
        line.next = line.terminated ? newline + 1 : text.size();
        std::string_view content = text.substr(at, (line.terminated ? newline : text.size()) - at);
        if (!content.empty() && content.back() == '\r')
            content.remove_suffix(1);
        line.end = at + content.size();
        std::string_view body = trimBlanks(content);
        if (body.empty()) {
            line.kind = LineKind::Blank;
        } else if (body.front() == '[') {
            line.kind = LineKind::Header;
            auto close = body.find(']');
            line.name
                = trimBlanks(body.substr(1, close == std::string_view::npos ? body.size() - 1 : close - 1));
        } else if (body.front() == ';') {
            line.kind = LineKind::Comment;
        } else if (auto equals = body.find('='); equals != std::string_view::npos) {
            line.kind = LineKind::Key;
            line.name = trimBlanks(body.substr(0, equals));
            line.value = trimBlanks(body.substr(equals + 1));
        } else {
            line.kind = LineKind::Other;
        }
        lines.push_back(line);
        at = line.next;
    }
    return lines;
}

// The lines [first, last) of the first section with that name.
struct SectionRange {
    std::size_t header;
    std::size_t first;
    std::size_t last;
};

std::optional<SectionRange> findSection(const std::vector<Line>& lines, std::string_view section)
{
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind != LineKind::Header || !equalsIgnoringCase(lines[i].name, section))
            continue;
        std::size_t end = i + 1;
        while (end < lines.size() && lines[end].kind != LineKind::Header)
            ++end;
        return SectionRange { i, i + 1, end };
    }
    return std::nullopt;
}

std::optional<std::size_t> findKey(
    const std::vector<Line>& lines, const SectionRange& range, std::string_view key)
{
    for (std::size_t i = range.first; i < range.last; ++i) {
        if (lines[i].kind == LineKind::Key && equalsIgnoringCase(lines[i].name, key))
            return i;
    }
    return std::nullopt;
}

std::string_view lineEnding(std::string_view text)
{
    auto newline = text.find('\n');
    return newline != std::string_view::npos && newline > 0 && text[newline - 1] == '\r' ? "\r\n" : "\n";
}

// Ends a last line that has no line break. A file cut after the CR of a CR LF
// only needs its LF: appending a whole CR LF would leave that CR inside the
// line, where it becomes part of a section name or a value.
void endLastLine(std::string& text, std::string_view eol)
{
    text += text.back() == '\r' ? std::string_view("\n") : eol;
}

bool breaksStructure(
    std::string_view section, std::optional<std::string_view> key, std::optional<std::string_view> value)
{
    auto hasLineBreak
        = [](std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; };
    if (hasLineBreak(section) || section.find(']') != std::string_view::npos)
        return true;
    if (key) {
        std::string_view name = trimBlanks(*key);
        if (hasLineBreak(name) || name.find('=') != std::string_view::npos)
            return true;
        if (!name.empty() && (name.front() == '[' || name.front() == ';'))
            return true;
    }
    return value && hasLineBreak(*value);
}

} // namespace

std::optional<std::string> findProfileValue(
    std::string_view text, std::string_view section, std::string_view key)
{
    auto lines = parseLines(text);
    auto range = findSection(lines, trimBlanks(section));
    if (!range)
        return std::nullopt;
    auto found = findKey(lines, *range, trimBlanks(key));
    if (!found)
        return std::nullopt;
    std::string_view value = lines[*found].value;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

std::string changeProfileText(std::string_view text, std::string_view section,
    std::optional<std::string_view> key, std::optional<std::string_view> value)
{
    section = trimBlanks(section);
    auto lines = parseLines(text);
    auto range = findSection(lines, section);
    std::string_view eol = lineEnding(text);
    std::string result;

    if (!range) {
        if (!key || !value)
            return std::string(text);
        result = text;
        if (!result.empty() && result.back() != '\n')
            endLastLine(result, eol);
        result.append("[").append(section).append("]").append(eol);
        result.append(trimBlanks(*key)).append("=").append(trimBlanks(*value)).append(eol);
        return result;
    }

    auto offsetOf = [&](std::size_t line) { return line < lines.size() ? lines[line].begin : text.size(); };

    if (!key) {
        result = text.substr(0, offsetOf(range->header));
        result += text.substr(offsetOf(range->last));
        return result;
    }

    std::string_view name = trimBlanks(*key);
    if (auto found = findKey(lines, *range, name)) {
        const Line& line = lines[*found];
        result = text.substr(0, line.begin);
        if (value) {
            // The key keeps the spelling the file already has.
            result.append(line.name).append("=").append(trimBlanks(*value));
            result += text.substr(line.end, line.next - line.end);
        }
        result += text.substr(line.next);
        return result;
    }
    if (!value)
        return std::string(text);

    // A new key goes after the section's last line that is not blank.
    std::size_t after = range->header;
    for (std::size_t i = range->first; i < range->last; ++i) {
        if (lines[i].kind != LineKind::Blank)
            after = i;
    }
    std::size_t insertAt = lines[after].next;
    result = text.substr(0, insertAt);
    if (!lines[after].terminated)
        endLastLine(result, eol);
    result.append(name).append("=").append(trimBlanks(*value)).append(eol);
    result += text.substr(insertAt);
    return result;
}

std::unordered_map<std::string, std::string> findProfileSection(
    std::string_view text, std::string_view section)
{
    std::unordered_map<std::string, std::string> values;
    auto lines = parseLines(text);
    auto range = findSection(lines, trimBlanks(section));
    if (!range)
        return values;
    for (std::size_t i = range->first; i < range->last; ++i) {
        if (lines[i].kind != LineKind::Key)
            continue;
        std::string_view value = lines[i].value;
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'')
            && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        values.try_emplace(toLowerAscii(lines[i].name), value);
    }
    return values;
}

std::string changeProfileKeys(std::string_view text, std::string_view section, const ProfileValues& values)
{
    if (values.empty())
        return std::string(text);
    section = trimBlanks(section);
    auto lines = parseLines(text);
    auto range = findSection(lines, section);
    std::string_view eol = lineEnding(text);

    // The keys the section has, by their first line; new ones in the order given.
    std::unordered_map<std::string, std::size_t> existing;
    if (range) {
        for (std::size_t i = range->first; i < range->last; ++i) {
            if (lines[i].kind == LineKind::Key)
                existing.try_emplace(toLowerAscii(lines[i].name), i);
        }
    }
    std::unordered_map<std::size_t, std::string_view> replaced;
    std::vector<std::pair<std::string_view, std::string_view>> added;
    std::unordered_map<std::string, std::size_t> addedAt;
    for (const auto& [key, value] : values) {
        std::string_view name = trimBlanks(key);
        std::string folded = toLowerAscii(name);
        if (auto found = existing.find(folded); found != existing.end())
            replaced[found->second] = trimBlanks(value);
        else if (auto again = addedAt.find(folded); again != addedAt.end())
            added[again->second].second = trimBlanks(value);
        else {
            addedAt.emplace(std::move(folded), added.size());
            added.emplace_back(name, trimBlanks(value));
        }
    }
    auto appendAdded = [&](std::string& result) {
        for (const auto& [name, value] : added)
            result.append(name).append("=").append(value).append(eol);
    };

    std::string result;
    result.reserve(text.size() + added.size() * 32);
    if (!range) {
        result = text;
        if (!result.empty() && result.back() != '\n')
            endLastLine(result, eol);
        result.append("[").append(section).append("]").append(eol);
        appendAdded(result);
        return result;
    }
    // New keys go after the section's last line that is not blank.
    std::size_t after = range->header;
    for (std::size_t i = range->first; i < range->last; ++i) {
        if (lines[i].kind != LineKind::Blank)
            after = i;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (auto change = replaced.find(i); change != replaced.end()) {
            // The key keeps the spelling the file already has.
            result.append(line.name).append("=").append(change->second);
            result += text.substr(line.end, line.next - line.end);
        } else {
            result += text.substr(line.begin, line.next - line.begin);
        }
        if (i == after && !added.empty()) {
            if (!line.terminated)
                endLastLine(result, eol);
            appendAdded(result);
        }
    }
    return result;
}

std::string profilePath(std::string_view fileName)
{
    std::string name(clip(fileName));
    if (name.empty())
        name = "win.ini";
    if (name.find('/') != std::string::npos)
        return name;
    return settingsFolder() + "/" + name;
}

std::string getPrivateProfileString(
    std::string_view section, std::string_view key, std::string_view defaultValue, std::string_view fileName)
{
    if (auto bytes = readWholeFile(profilePath(fileName))) {
        std::string text = decodeText(*bytes, detectTextEncoding(*bytes));
        if (auto value = findProfileValue(text, section, key))
            return *value;
    }
    return std::string(clip(defaultValue));
}

std::optional<std::string> readProfileText(std::string_view fileName)
{
    auto bytes = readWholeFile(profilePath(fileName));
    if (!bytes)
        return std::nullopt;
    return decodeText(*bytes, detectTextEncoding(*bytes));
}

namespace {

// Reads the file, changes its text and writes it back all at once, keeping
// its encoding.
bool rewriteProfile(std::string_view fileName, const std::function<std::string(const std::string&)>& change)
{
    std::string path = profilePath(fileName);
    if (std::string(clip(fileName)).find('/') == std::string::npos) {
        if (int error = makeFolders(settingsFolder())) {
            errno = error;
            return false;
        }
    }
    // A file keeps the encoding it has (UTF-8, with or without a byte order
    // mark, or UTF-16LE); a new one is UTF-8.
    std::string old;
    TextEncoding encoding;
    if (auto bytes = readWholeFile(path)) {
        encoding = detectTextEncoding(*bytes);
        old = decodeText(*bytes, encoding);
    } else if (errno != ENOENT) {
        return false; // never replace a file that could not be read
    }
    std::string changed = change(old);
    if (changed == old && fileExists(path))
        return true;
    if (int error = writeFileAtomically(path, encodeText(changed, encoding))) {
        outputWarning("Settings file " + path + " could not be written: " + std::strerror(error)
            + (error == EACCES ? " (the file is read-only); it is left as it is."
                               : "; it is left as it was."));
        errno = error;
        return false;
    }
    return true;
}

} // namespace

bool writePrivateProfileString(std::string_view section, std::optional<std::string_view> key,
    std::optional<std::string_view> value, std::string_view fileName)
{
    if (breaksStructure(section, key, value)) {
        errno = EINVAL;
        return false;
    }
    return rewriteProfile(
        fileName, [&](const std::string& old) { return changeProfileText(old, section, key, value); });
}

bool writePrivateProfileKeys(std::string_view section, const ProfileValues& values, std::string_view fileName)
{
    for (const auto& [key, value] : values) {
        if (breaksStructure(section, std::string_view(key), std::string_view(value))) {
            errno = EINVAL;
            return false;
        }
    }
    return rewriteProfile(
        fileName, [&](const std::string& old) { return changeProfileKeys(old, section, values); });
}

std::string getProfileString(std::string_view section, std::string_view key, std::string_view defaultValue)
{
    return getPrivateProfileString(section, key, defaultValue, {});
}

bool writeProfileString(
    std::string_view section, std::optional<std::string_view> key, std::optional<std::string_view> value)
{
    return writePrivateProfileString(section, key, value, {});
}

} // namespace tvrn2
