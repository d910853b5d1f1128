#include "platform/RegistryText.h"

#include "platform/TextCase.h"

#include <array>
#include <optional>

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

// A quoted text from its opening quote; `text` is left after the closing quote.
std::optional<std::string> readQuoted(std::string_view& text)
{
    if (text.empty() || text.front() != '"')
        return std::nullopt;
    std::string result;
    for (std::size_t i = 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') {
            text.remove_prefix(i + 1);
            return result;
        }
        if (c == '\\' && i + 1 < text.size()) {
            char next = text[++i];
            switch (next) {
            case '\\':
            case '"':
                result.push_back(next);
                break;
            case 'n':
                result.push_back('\n');
                break;
            case 'r':
                result.push_back('\r');
                break;
            default: // kept as written, as a hand-typed path expects
                result.push_back('\\');
                result.push_back(next);
                break;
            }
            continue;
        }
        result.push_back(c);
    }
    return std::nullopt;
}

std::string quoted(std::string_view text)
{
    std::string result = "\"";
    for (char c : text) {
        switch (c) {
        case '\\':
            result += "\\\\";
            break;
        case '"':
            result += "\\\"";
            break;
        case '\n':
            result += "\\n";
            break;
        case '\r':
            result += "\\r";
            break;
        default:
            result.push_back(c);
        }
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

bool isTextType(std::uint32_t type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

class Parser {
public:
    Parser(std::string_view text, std::vector<RegistryProblem>& problems)
        : m_problems(problems)
    {
        if (text.substr(0, 3) == "\xEF\xBB\xBF")
            text.remove_prefix(3);
        std::size_t at = 0;
        while (at < text.size()) {
            std::size_t newline = text.find('\n', at);
            std::string_view line = text.substr(at, newline == text.npos ? text.npos : newline - at);
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            m_lines.push_back(line);
            at = newline == text.npos ? text.size() : newline + 1;
        }
    }

    RegistryDocument run()
    {
        bool sawHeader = false;
        for (m_at = 0; m_at < m_lines.size(); ++m_at) {
            std::string_view line = trimBlanks(m_lines[m_at]);
            if (line.empty() || line.front() == ';')
                continue;
            if (!sawHeader) {
                sawHeader = true;
                if (line == header)
                    continue;
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
        return std::move(m_document);
    }

private:
    void problem(std::string reason) { m_problems.push_back({ m_at + 1, std::move(reason) }); }

    void readKey(std::string_view line)
    {
        m_key = nullptr;
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
        std::string full(canonical);
        full += path.substr(hive.size());
        if (full.find("\\\\") != std::string::npos)
            return problem("an empty key name in the path");
        for (auto& key : m_document.keys) {
            if (equalsIgnoringCase(key.path, full)) {
                m_key = &key;
                return;
            }
        }
        m_document.keys.push_back({ std::move(full), {} });
        m_key = &m_document.keys.back();
    }

    void readValue(std::string_view line)
    {
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
        if (!m_key)
            return problem("a value outside a key");
        if (line.empty())
            return problem("a value without data");

        RegistryValue value { std::move(name), REG_SZ, {} };
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
        for (auto& existing : m_key->values) {
            if (equalsIgnoringCase(existing.name, value.name)) {
                existing.type = value.type;
                existing.data = std::move(value.data);
                return;
            }
        }
        m_key->values.push_back(std::move(value));
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
            if (m_at + 1 >= m_lines.size())
                break;
            list += trimBlanks(m_lines[++m_at]);
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

    std::vector<RegistryProblem>& m_problems;
    std::vector<std::string_view> m_lines;
    std::size_t m_at { 0 };
    RegistryDocument m_document;
    RegistryKey* m_key { nullptr };
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
    bool plainText = !data.empty() && data.back() == '\0' && data.find('\0') == data.size() - 1;
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

void appendUtf8(std::string& out, char32_t code)
{
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

void appendUtf16(std::string& out, char32_t code)
{
    auto unit = [&](char32_t u) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>((u >> 8) & 0xFF));
    };
    if (code < 0x10000) {
        unit(code);
    } else {
        code -= 0x10000;
        unit(0xD800 + (code >> 10));
        unit(0xDC00 + (code & 0x3FF));
    }
}

constexpr char32_t replacement = 0xFFFD;

} // namespace

std::string_view canonicalHiveName(std::string_view name)
{
    for (std::string_view hive : hiveNames) {
        if (equalsIgnoringCase(hive, name))
            return hive;
    }
    return {};
}

RegistryDocument parseRegistryText(std::string_view text, std::vector<RegistryProblem>& problems)
{
    return Parser(text, problems).run();
}

std::string formatRegistryText(const RegistryDocument& document)
{
    std::string out(header);
    out += "\n\n";
    for (const auto& key : document.keys) {
        out += "[" + key.path + "]\n";
        for (const auto& value : key.values)
            appendValue(out, value);
        out.push_back('\n');
    }
    return out;
}

std::string utf8ToUtf16le(std::string_view text)
{
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80 ? 1
            : (lead >> 5) == 0x6         ? 2
            : (lead >> 4) == 0xE         ? 3
            : (lead >> 3) == 0x1E        ? 4
                                         : 0;
        char32_t code = length == 1 ? lead
            : length == 2           ? lead & 0x1F
            : length == 3           ? lead & 0x0F
                                    : lead & 0x07;
        bool valid = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not text.
        static constexpr char32_t smallest[] = { 0, 0, 0x80, 0x800, 0x10000 };
        if (valid && (code < smallest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF))
            valid = false;
        // A byte that starts no valid sequence (always 0x80 or above) is kept
        // as the lone surrogate U+DC00 + byte, so text in another code page
        // survives the file unchanged.
        appendUtf16(out, valid ? code : 0xDC00 + lead);
        i += valid ? length : 1;
    }
    return out;
}

std::string utf16leToUtf8(std::string_view bytes)
{
    std::string out;
    auto unitAt = [&](std::size_t i) {
        return static_cast<char32_t>(
            static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8));
    };
    std::size_t units = bytes.size() / 2;
    for (std::size_t u = 0; u < units; ++u) {
        char32_t code = unitAt(2 * u);
        if (code >= 0xD800 && code <= 0xDBFF && u + 1 < units) {
            char32_t low = unitAt(2 * (u + 1));
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00));
                ++u;
                continue;
            }
        }
        if (code >= 0xDC80 && code <= 0xDCFF) {
            out.push_back(static_cast<char>(code - 0xDC00)); // a byte kept by utf8ToUtf16le
            continue;
        }
        appendUtf8(out, code >= 0xD800 && code <= 0xDFFF ? replacement : code);
    }
    return out;
}

} // namespace tvrn2
