#include "platform/RegistryText.h"

#include "platform/TextCase.h"

#include <algorithm>
#include <array>
#include <optional>
#include <unordered_map>
#include <utility>

namespace tvrn2 {
namespace {

constexpr std::string_view header = "Windows Registry Editor Version 5.00";
constexpr std::array<std::string_view, 4> hiveNames { "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
    "HKEY_LOCAL_MACHINE", "HKEY_USERS" };
constexpr std::size_t lineWidth = 80;

std::string_view trimBlanks(std::string_view text)
{
    auto begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos)
        return {};
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && equalsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A quoted text from its opening quote; `text` is left after the closing
// quote. As the registry editor writes them, "\\" stands for a backslash and
// "\"" for a quote; any other backslash is a backslash (a hand-typed path).
std::optional<std::string> readQuoted(std::string_view& text)
{
    if (text.empty() || text.front() != '"')
        return std::nullopt;
    auto escaped = [&](std::size_t i) {
        return text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"');
    };
    std::size_t close = 1;
    while (close < text.size() && text[close] != '"')
        close += escaped(close) ? 2 : 1;
    if (close >= text.size())
        return std::nullopt;
    std::string result;
    // Room for the NUL a text value ends with.
    result.reserve(close);
    for (std::size_t i = 1; i < close; ++i) {
        if (escaped(i))
            ++i;
        result.push_back(text[i]);
    }
    text.remove_prefix(close + 1);
    return result;
}

std::string quoted(std::string_view text)
{
    std::string result = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            result.push_back('\\');
        result.push_back(c);
    }
    result.push_back('"');
    return result;
}

std::optional<std::string> parseHexBytes(std::string_view list)
{
    std::string bytes;
    std::size_t at = 0;
    while (at < list.size()) {
        std::size_t comma = list.find(',', at);
        std::string_view item
            = trimBlanks(list.substr(at, comma == std::string_view::npos ? list.npos : comma - at));
        if (item.empty() && comma == std::string_view::npos)
            break; // a trailing comma
        if (item.size() != 2 || hexDigit(item[0]) < 0 || hexDigit(item[1]) < 0)
            return std::nullopt;
        bytes.push_back(static_cast<char>(hexDigit(item[0]) * 16 + hexDigit(item[1])));
        if (comma == std::string_view::npos)
            break;
        at = comma + 1;
    }
    return bytes;
}

// FNV-1a over the path folded to lower case, its bits then mixed (as
// splitmix64 does) for the index, which takes the low ones.
std::uint64_t foldedHash(std::string_view path)
{
    std::uint64_t hash = 14695981039346656037ULL;
    for (char c : path) {
        hash ^= static_cast<unsigned char>(lowerAscii(c));
        hash *= 1099511628211ULL;
    }
    hash ^= hash >> 30;
    hash *= 0xbf58476d1ce4e5b9ULL;
    hash ^= hash >> 27;
    hash *= 0x94d049bb133111ebULL;
    return hash ^ (hash >> 31);
}

bool isTextType(std::uint32_t type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// One line of the text: where its bytes are (line break included) and what
// it says (line break excluded), in UTF-8.
struct Line {
    std::size_t begin { 0 };
    std::size_t end { 0 };
    std::string_view text;
};

// Reads the text in one pass, line by line, with the lines seen in place in
// the document's bytes (a UTF-16 line decoded on its own).
class Parser {
public:
    Parser(std::string bytes, std::vector<RegistryProblem>& problems)
        : m_problems(problems)
    {
        m_document.source = std::move(bytes);
        m_document.encoding = detectTextEncoding(m_document.source);
        m_utf16 = m_document.encoding.form == TextEncoding::Form::Utf16le;
        m_next = byteOrderMark(m_document.encoding).size();
        // Room for the keys, so that they are not moved as the list of them
        // grows: as many as there are "[" in the text, but not more than one
        // in 64 bytes, so that a text of brackets takes little.
        const std::string& source = m_document.source;
        auto keys = std::min(
            static_cast<std::size_t>(std::count(source.begin(), source.end(), '[')), source.size() / 64);
        m_document.keys.reserve(keys);
        m_document.paths.reserve(keys);
    }

    RegistryDocument run()
    {
        bool sawHeader = false;
        while (nextLine()) {
            std::string_view line = trimBlanks(m_line.text);
            if (line.empty() || line.front() == ';')
                continue;
            if (!sawHeader) {
                sawHeader = true;
                if (line == header) {
                    m_document.hasHeader = true;
                    continue;
                }
                problem(std::string("the first line is not \"").append(header).append("\""));
                if (line.front() != '[' && line.front() != '"' && line.front() != '@')
                    continue;
            }
            if (line.front() == '[')
                readKey(line);
            else if (line.front() == '"' || line.front() == '@')
                readValue(line);
            else
                problem("a line that is neither a key nor a value");
        }
        if (m_utf16 && (m_document.source.size() - byteOrderMark(m_document.encoding).size()) % 2 != 0) {
            m_lineNumber = std::max<std::size_t>(m_lineNumber, 1);
            problem("UTF-16 text that ends in half a character");
        }
        return std::move(m_document);
    }

private:
    void problem(std::string reason) { m_problems.push_back({ m_lineNumber, std::move(reason) }); }

    // Moves m_line on to the next line; false past the last.
    bool nextLine()
    {
        std::string_view bytes = m_document.source;
        std::size_t at = m_next;
        if (m_utf16 ? at + 1 >= bytes.size() : at >= bytes.size())
            return false;
        std::size_t end = at;
        bool terminated = false;
        std::string_view content;
        if (!m_utf16) {
            std::size_t newline = bytes.find('\n', at);
            terminated = newline != bytes.npos;
            end = terminated ? newline + 1 : bytes.size();
            content = bytes.substr(at, (terminated ? newline : bytes.size()) - at);
        } else {
            while (end + 1 < bytes.size()) {
                bool newline = bytes[end] == '\n' && bytes[end + 1] == '\0';
                end += 2;
                if (newline) {
                    terminated = true;
                    break;
                }
            }
            m_decoded = utf16leToUtf8(bytes.substr(at, (terminated ? end - 2 : end) - at));
            content = m_decoded;
            // A last odd byte belongs to the last line's bytes.
            if (end + 1 == bytes.size())
                end = bytes.size();
        }
        if (terminated && !m_sawLineEnd) {
            m_sawLineEnd = true;
            m_document.lineEnding = !content.empty() && content.back() == '\r' ? "\r\n" : "\n";
        }
        if (!content.empty() && content.back() == '\r')
            content.remove_suffix(1);
        m_line = { at, end, content };
        m_next = end;
        ++m_lineNumber;
        return true;
    }

    void readKey(std::string_view line)
    {
        m_key = noKey;
        if (line.back() != ']')
            return problem("a key line without its closing \"]\"");
        std::string_view path = line.substr(1, line.size() - 2);
        if (!path.empty() && path.front() == '-')
            return problem("removing keys is not supported here");
        while (!path.empty() && path.back() == '\\')
            path.remove_suffix(1);
        std::string_view hive = path.substr(0, path.find('\\'));
        std::string_view canonical = canonicalHiveName(hive);
        if (canonical.empty())
            return problem("an unknown hive");
        std::string full;
        full.reserve(path.size() - hive.size() + canonical.size());
        full.append(canonical).append(path.substr(hive.size()));
        if (full.find("\\\\") != std::string::npos)
            return problem("an empty key name in the path");
        RegistryKey* key = m_document.findKey(full);
        if (!key)
            key = &m_document.addKey(std::move(full));
        m_key = static_cast<std::size_t>(key - m_document.keys.data());
        key->source = { m_line.begin, m_line.end };
    }

    void readValue(std::string_view line)
    {
        std::size_t firstByte = m_line.begin;
        std::string name;
        if (line.front() == '@') {
            line.remove_prefix(1);
        } else {
            auto quotedName = readQuoted(line);
            if (!quotedName)
                return problem("a value name without its closing quote");
            name = std::move(*quotedName);
        }
        line = trimBlanks(line);
        if (line.empty() || line.front() != '=')
            return problem("a value without \"=\"");
        line = trimBlanks(line.substr(1));
        if (m_key == noKey)
            return problem("a value outside a key");
        if (line.empty())
            return problem("a value without data");

        RegistryValue value { std::move(name), REG_SZ, {}, {}, false };
        if (line.front() == '"') {
            auto text = readQuoted(line);
            if (!text || !trimBlanks(line).empty())
                return problem("a text value that is not one quoted text");
            value.data = std::move(*text);
            value.data.push_back('\0');
        } else if (startsWithIgnoringCase(line, "dword:")) {
            std::string_view digits = line.substr(6);
            std::uint32_t number = 0;
            if (digits.empty() || digits.size() > 8)
                return problem("a dword value that is not 1 to 8 hexadecimal digits");
            for (char c : digits) {
                if (hexDigit(c) < 0)
                    return problem("a dword value that is not 1 to 8 hexadecimal digits");
                number = number * 16 + static_cast<std::uint32_t>(hexDigit(c));
            }
            value.type = REG_DWORD;
            for (int i = 0; i < 4; ++i)
                value.data.push_back(static_cast<char>((number >> (8 * i)) & 0xFF));
        } else if (startsWithIgnoringCase(line, "hex")) {
            if (!readHex(line.substr(3), value))
                return;
        } else if (line == "-") {
            return problem("removing values is not supported here");
        } else {
            return problem("a value of a form not understood");
        }
        RegistryKey& key = m_document.keys[m_key];
        value.source = { firstByte, m_line.end };
        key.source.end = value.source.end;
        // The last of several values of one name is the one that counts. Few
        // values are compared one by one; a key with many has an index.
        std::size_t at = key.values.size();
        if (key.values.size() < manyValues) {
            for (std::size_t i = 0; i < key.values.size(); ++i) {
                if (equalsIgnoringCase(key.values[i].name, value.name)) {
                    at = i;
                    break;
                }
            }
        } else {
            if (key.values.size() == manyValues) {
                for (std::size_t i = 0; i < key.values.size(); ++i)
                    m_valueIndex.try_emplace(valueIndexName(m_key, key.values[i].name), i);
            }
            at = m_valueIndex.try_emplace(valueIndexName(m_key, value.name), key.values.size()).first->second;
        }
        if (at == key.values.size()) {
            key.values.push_back(std::move(value));
            return;
        }
        RegistryValue& existing = key.values[at];
        existing.type = value.type;
        existing.data = std::move(value.data);
        existing.source = value.source;
    }

    // After "hex": ":" for binary data or "(type):", then the byte list,
    // which goes on over lines ending in "\".
    bool readHex(std::string_view rest, RegistryValue& value)
    {
        value.type = REG_BINARY;
        if (!rest.empty() && rest.front() == '(') {
            auto close = rest.find(')');
            std::string_view digits = rest.substr(1, close == rest.npos ? 0 : close - 1);
            if (close == rest.npos || digits.empty() || digits.size() > 8) {
                problem("a hex value with an unreadable type");
                return false;
            }
            std::uint32_t type = 0;
            for (char c : digits) {
                if (hexDigit(c) < 0) {
                    problem("a hex value with an unreadable type");
                    return false;
                }
                type = type * 16 + static_cast<std::uint32_t>(hexDigit(c));
            }
            value.type = type;
            rest = rest.substr(close + 1);
        }
        if (rest.empty() || rest.front() != ':') {
            problem("a hex value without \":\"");
            return false;
        }
        std::string list(trimBlanks(rest.substr(1)));
        while (!list.empty() && list.back() == '\\') {
            list.pop_back();
            if (!nextLine())
                break;
            list += trimBlanks(m_line.text);
        }
        auto bytes = parseHexBytes(list);
        if (!bytes) {
            problem("a hex value with a byte that is not two hexadecimal digits");
            return false;
        }
        if (isTextType(value.type)) {
            if (bytes->size() % 2) {
                problem("a text value in hex whose length is not a whole number of UTF-16 units");
                return false;
            }
            value.data = utf16leToUtf8(*bytes);
        } else {
            value.data = std::move(*bytes);
        }
        return true;
    }

    static std::string valueIndexName(std::size_t key, std::string_view name)
    {
        std::string indexName = std::to_string(key);
        indexName.push_back('\n');
        indexName += toLowerAscii(name);
        return indexName;
    }

    static constexpr std::size_t noKey = static_cast<std::size_t>(-1);
    static constexpr std::size_t manyValues = 16;

    std::vector<RegistryProblem>& m_problems;
    RegistryDocument m_document;
    bool m_utf16 { false };
    std::size_t m_next { 0 }; // where the next line's bytes begin
    Line m_line; // the line read last
    std::size_t m_lineNumber { 0 }; // its number, from 1
    std::string m_decoded; // the line read last of a UTF-16 text, in UTF-8
    bool m_sawLineEnd { false };
    std::size_t m_key { noKey };
    // Values by their key's number and name folded to lower case, for keys with many.
    std::unordered_map<std::string, std::size_t> m_valueIndex;
};

void appendHex(std::string& out, std::string_view prefix, std::string_view bytes)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string line(prefix);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        auto byte = static_cast<unsigned char>(bytes[i]);
        std::string piece { digits[byte >> 4], digits[byte & 0x0F] };
        if (i + 1 < bytes.size())
            piece.push_back(',');
        if (line.size() + piece.size() + 1 > lineWidth && line.size() > 2) {
            out += line;
            out += "\\\n";
            line = "  ";
        }
        line += piece;
    }
    out += line;
    out.push_back('\n');
}

std::string typeInHex(std::uint32_t type)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), digits[type & 0x0F]);
        type >>= 4;
    } while (type);
    return text;
}

void appendValue(std::string& out, const RegistryValue& value)
{
    std::string prefix = value.name.empty() ? "@" : quoted(value.name);
    prefix.push_back('=');
    const std::string& data = value.data;
    // A text with a line break has no quoted form in the format: it goes in hex(1).
    bool plainText = !data.empty() && data.back() == '\0' && data.find('\0') == data.size() - 1
        && data.find_first_of("\r\n") == std::string::npos;
    if (value.type == REG_SZ && plainText) {
        out += prefix + quoted(std::string_view(data).substr(0, data.size() - 1)) + "\n";
    } else if (value.type == REG_DWORD && data.size() == 4) {
        static constexpr char digits[] = "0123456789abcdef";
        out += prefix + "dword:";
        for (int i = 3; i >= 0; --i) {
            auto byte = static_cast<unsigned char>(data[static_cast<std::size_t>(i)]);
            out.push_back(digits[byte >> 4]);
            out.push_back(digits[byte & 0x0F]);
        }
        out.push_back('\n');
    } else if (value.type == REG_BINARY) {
        appendHex(out, prefix + "hex:", data);
    } else {
        std::string bytes = isTextType(value.type) ? utf8ToUtf16le(data) : data;
        appendHex(out, prefix + "hex(" + typeInHex(value.type) + "):", bytes);
    }
}

// The lines for `text` (UTF-8 with "\n" line breaks) in the document's own
// line ending and encoding.
std::string encodeLines(const RegistryDocument& document, std::string_view text)
{
    std::string lines;
    if (document.lineEnding == "\n") {
        lines = text;
    } else {
        lines.reserve(text.size() + text.size() / 16);
        for (char c : text) {
            if (c == '\n')
                lines += document.lineEnding;
            else
                lines.push_back(c);
        }
    }
    if (document.encoding.form == TextEncoding::Form::Utf16le)
        return utf8ToUtf16le(lines);
    return lines;
}

// Reads a text's characters from the end backwards, in either encoding.
class Tail {
public:
    Tail(std::string_view bytes, TextEncoding encoding)
        : m_bytes(bytes)
        , m_unit(encoding.form == TextEncoding::Form::Utf16le ? 2 : 1)
        , m_start(bytes.starts_with(byteOrderMark(encoding)) ? byteOrderMark(encoding).size() : 0)
        , m_at(m_start + (bytes.size() - m_start) / m_unit * m_unit)
    { }

    bool empty() const { return m_at == m_start; }
    // The last character, or 0 at the start: only ASCII ones are ever asked for.
    char32_t last() const
    {
        if (empty())
            return 0;
        if (m_unit == 1)
            return static_cast<unsigned char>(m_bytes[m_at - 1]);
        return static_cast<unsigned char>(m_bytes[m_at - 2])
            | (static_cast<unsigned char>(m_bytes[m_at - 1]) << 8);
    }
    void drop() { m_at -= m_unit; }

private:
    std::string_view m_bytes;
    std::size_t m_unit;
    std::size_t m_start;
    std::size_t m_at;
};

struct Ending {
    bool lineBreak; // the text is empty or ends with a line break
    bool blankLine; // the text is empty or its last line is blank
};

Ending endingOf(std::string_view bytes, TextEncoding encoding)
{
    Tail tail(bytes, encoding);
    if (tail.empty())
        return { true, true };
    if (tail.last() != '\n')
        return { false, false };
    tail.drop();
    while (!tail.empty() && (tail.last() == '\r' || tail.last() == ' ' || tail.last() == '\t'))
        tail.drop();
    return { true, tail.empty() || tail.last() == '\n' };
}

std::string valueLines(const RegistryValue& value, bool lineBreak)
{
    std::string text;
    appendValue(text, value);
    if (!lineBreak)
        text.pop_back();
    return text;
}

} // namespace

std::string_view canonicalHiveName(std::string_view name)
{
    for (std::string_view hive : hiveNames) {
        if (equalsIgnoringCase(hive, name))
            return hive;
    }
    return {};
}

void RegistryPathIndex::add(std::uint64_t hash, Place place)
{
    if ((m_used + 1) * 4 > m_slots.size() * 3)
        reserve(2 * (m_used + 1));
    std::size_t at = hash & mask();
    while (m_slots[at].place.length)
        at = (at + 1) & mask();
    m_slots[at] = { hash, place };
    ++m_used;
}

void RegistryPathIndex::reserve(std::size_t places)
{
    std::size_t size = 16;
    while (size * 3 < places * 4)
        size *= 2;
    if (size <= m_slots.size())
        return;
    std::vector<Slot> old = std::exchange(m_slots, std::vector<Slot>(size));
    m_used = 0;
    for (const Slot& slot : old) {
        if (slot.place.length)
            add(slot.hash, slot.place);
    }
}

RegistryKey* RegistryDocument::findKey(std::string_view path)
{
    auto place = paths.find(foldedHash(path), [&](RegistryPathIndex::Place place) {
        const std::string& stored = keys[place.key].path;
        return place.length == stored.size() && equalsIgnoringCase(stored, path);
    });
    return place ? &keys[place->key] : nullptr;
}

bool RegistryDocument::holdsKey(std::string_view path) const
{
    auto held = [&](RegistryPathIndex::Place place) {
        return equalsIgnoringCase(std::string_view(keys[place.key].path).substr(0, place.length), path);
    };
    return paths.find(foldedHash(path), held).has_value();
}

RegistryKey& RegistryDocument::addKey(std::string path)
{
    auto number = static_cast<std::uint32_t>(keys.size());
    keys.push_back({ std::move(path), {}, {} });
    std::string_view added = keys.back().path;
    // The keys above a path already held are held too: the walk up stops at
    // the first of them.
    for (auto slash = added.rfind('\\'); slash != std::string_view::npos && slash > 0;
         slash = added.rfind('\\', slash - 1)) {
        std::string_view above = added.substr(0, slash);
        if (holdsKey(above))
            break;
        paths.add(foldedHash(above), { number, static_cast<std::uint32_t>(slash) });
    }
    paths.add(foldedHash(added), { number, static_cast<std::uint32_t>(added.size()) });
    return keys.back();
}

RegistryDocument parseRegistryText(std::string bytes, std::vector<RegistryProblem>& problems)
{
    return Parser(std::move(bytes), problems).run();
}

std::string formatRegistryText(const RegistryDocument& document)
{
    const std::string& source = document.source;
    // Lines to put in place of source[begin, end), in UTF-8 with "\n".
    struct Edit {
        std::size_t begin;
        std::size_t end;
        std::string text;
    };
    std::vector<Edit> edits;
    const Ending ending = endingOf(source, document.encoding);
    std::string_view mark = byteOrderMark(document.encoding);
    auto breakBefore = [&](std::size_t at) { return at == source.size() && !ending.lineBreak; };
    bool addedAtEnd = false;
    std::string newKeys;
    for (const auto& key : document.keys) {
        if (key.source.empty()) {
            newKeys += "[" + key.path + "]\n";
            for (const auto& value : key.values)
                appendValue(newKeys, value);
            newKeys.push_back('\n');
            continue;
        }
        std::string added;
        for (const auto& value : key.values) {
            if (value.source.empty()) {
                appendValue(added, value);
            } else if (value.changed) {
                bool lineBreak = !breakBefore(value.source.end);
                edits.push_back({ value.source.begin, value.source.end, valueLines(value, lineBreak) });
            }
        }
        if (added.empty())
            continue;
        if (breakBefore(key.source.end))
            added.insert(added.begin(), '\n');
        addedAtEnd = addedAtEnd || key.source.end == source.size();
        edits.push_back({ key.source.end, key.source.end, std::move(added) });
    }
    if (!newKeys.empty()) {
        // Keys are set apart by a blank line.
        if (!addedAtEnd && !ending.blankLine)
            newKeys.insert(0, ending.lineBreak ? "\n" : "\n\n");
        else if (addedAtEnd)
            newKeys.insert(newKeys.begin(), '\n');
        edits.push_back({ source.size(), source.size(), std::move(newKeys) });
    }
    if (edits.empty())
        return source;
    if (!document.hasHeader) {
        std::size_t start = source.starts_with(mark) ? mark.size() : 0;
        edits.insert(edits.begin(), { start, start, std::string(header) + "\n\n" });
    }

    std::stable_sort(
        edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.begin < b.begin; });
    std::string out;
    out.reserve(source.size() + source.size() / 64 + 256);
    std::size_t at = 0;
    for (const auto& edit : edits) {
        out.append(source, at, edit.begin - at);
        out += encodeLines(document, edit.text);
        at = edit.end;
    }
    out.append(source, at, std::string::npos);
    return out;
}

} // namespace tvrn2
