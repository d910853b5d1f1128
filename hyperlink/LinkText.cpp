#include "hyperlink/LinkText.h"

#include "platform/FixedText.h"
#include "platform/TextCase.h"

namespace tvrn2 {
namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && toLowerAscii(text.substr(0, prefix.size())) == prefix;
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// A "?" or "&" that opens one of the headers a mail program knows.
bool opensHeader(std::string_view rest)
{
    for (std::string_view header : { "body", "subject", "cc", "bcc" }) {
        if (startsWithNoCase(rest, header))
            return true;
    }
    return false;
}

bool needsEscape(std::string_view text, std::size_t at)
{
    auto c = static_cast<unsigned char>(text[at]);
    if (c <= 32)
        return true;
    switch (c) {
    case ';':
    case '<':
    case '>':
        return true;
    case '%':
        return !(at + 2 < text.size() && isHexDigit(text[at + 1]) && isHexDigit(text[at + 2]));
    case '?':
    case '&':
        return !opensHeader(text.substr(at + 1));
    default:
        return false;
    }
}

bool hasWebScheme(std::string_view target)
{
    return target.find("http://") != std::string_view::npos
        || target.find("https://") != std::string_view::npos;
}

} // namespace

bool isWebTarget(std::string_view target)
{
    return target.starts_with("www.") || target.starts_with("http://") || target.starts_with("https://");
}

bool isEmailTarget(std::string_view target)
{
    return target.find('@') != std::string_view::npos;
}

std::string encodeEmailTarget(std::string_view target, std::size_t limit)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string text(clip(target));
    if (text.size() > limit)
        text.resize(limit);

    // With a body, the address, the subject and the "&" before "body=" are
    // left as they are; the scan starts at the "b".
    auto body = toLowerAscii(text).find("&body=");
    std::size_t at = body == std::string::npos ? 0 : body + 1;
    while (at < text.size()) {
        if (!needsEscape(text, at)) {
            ++at;
            continue;
        }
        // An escape that does not fit goes whole, with what follows it: a
        // cut one ("%2") would read as a different character or none.
        if (at + 3 > limit) {
            text.resize(at);
            break;
        }
        auto c = static_cast<unsigned char>(text[at]);
        const char escape[] = { '%', hex[c >> 4], hex[c & 0x0F] };
        text.replace(at, 1, escape, 3);
        at += 3;
        if (text.size() > limit)
            text.resize(limit);
    }

    auto last = text.find_last_not_of(' ');
    if (!text.empty() && text.front() == '"' && last != std::string::npos && text[last] == '"')
        text = last == 0 ? std::string() : text.substr(1, last - 1);
    return text;
}

std::string linkMarkup(std::string_view target, int mode)
{
    std::string_view clipped = clip(target);
    if (mode == 0 && target.find("<a href=") != std::string_view::npos)
        return std::string(clipped);

    std::string prefix;
    std::string suffix;
    if (mode == 0) {
        bool quoted = !target.empty() && target.front() == '"';
        prefix = quoted ? "<a href=" : "<a href=\"";
        suffix = quoted ? ">" : "\">";
    } else if (mode == 1) {
        prefix = suffix = "\"";
    }

    std::string body;
    if (isEmailTarget(target))
        body = target.find("mailto:") == std::string_view::npos ? "mailto:" + std::string(clipped)
                                                                : std::string(clipped);
    else
        body = hasWebScheme(target) ? std::string(clipped) : "http://" + std::string(clipped);
    if (body.size() > 1023)
        body.resize(1023);
    return prefix + body + suffix;
}

std::string textBetween(std::string_view text, std::string_view delimiter)
{
    if (delimiter.empty())
        return {};
    auto first = text.find(delimiter);
    if (first == std::string_view::npos)
        return {};
    auto start = first + delimiter.size();
    auto second = text.find(delimiter, start);
    if (second == std::string_view::npos)
        return {};
    return std::string(text.substr(start, second - start));
}

} // namespace tvrn2
