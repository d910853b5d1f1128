#include "platform/TextEncoding.h"

namespace tvrn2 {
namespace {

constexpr std::string_view utf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view utf16Mark = "\xFF\xFE";

// One step of reading UTF-8: a scalar value, the three-byte form of a
// surrogate, or a byte that starts no sequence.
struct Step {
    enum class Kind { Scalar, Surrogate, Invalid };
    Kind kind;
    char32_t code;
    std::size_t length;
};

Step stepAt(std::string_view text, std::size_t i)
{
    auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80 ? 1
        : (lead >> 5) == 0x6         ? 2
        : (lead >> 4) == 0xE         ? 3
        : (lead >> 3) == 0x1E        ? 4
                                     : 0;
    char32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    bool valid = length > 0 && i + length <= text.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
        auto next = static_cast<unsigned char>(text[i + k]);
        valid = (next & 0xC0) == 0x80;
        code = (code << 6) | (next & 0x3F);
    }
    static constexpr char32_t smallest[] = { 0, 0, 0x80, 0x800, 0x10000 };
    if (!valid || code < smallest[length] || code > 0x10FFFF)
        return { Step::Kind::Invalid, lead, 1 };
    if (code >= 0xD800 && code <= 0xDFFF) {
        // U+DC80 to U+DCFF stand for single bytes; their own three-byte
        // forms are bytes like any other invalid ones.
        if (code >= 0xDC80 && code <= 0xDCFF)
            return { Step::Kind::Invalid, lead, 1 };
        return { Step::Kind::Surrogate, code, 3 };
    }
    return { Step::Kind::Scalar, code, length };
}

// A run of high surrogates in UTF-8 from `i` on: where it ends, and whether
// what follows it becomes a low surrogate unit (a byte kept as one, or a low
// surrogate). Then every high surrogate of the run travels as bytes, since
// the last one would pair with what follows and each one before it with the
// first byte of the next.
struct HighRun {
    std::size_t end;
    bool keptAsBytes;
};

HighRun highRunAt(std::string_view text, std::size_t i)
{
    while (i < text.size()) {
        Step step = stepAt(text, i);
        if (step.kind == Step::Kind::Invalid)
            return { i, true };
        if (step.kind != Step::Kind::Surrogate)
            return { i, false };
        if (step.code >= 0xDC00)
            return { i, true };
        i += step.length;
    }
    return { i, false };
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

void appendUnit(std::string& out, char32_t unit)
{
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>((unit >> 8) & 0xFF));
}

} // namespace

TextEncoding detectTextEncoding(std::string_view bytes)
{
    if (bytes.starts_with(utf16Mark))
        return { TextEncoding::Form::Utf16le, true };
    if (bytes.starts_with(utf8Mark))
        return { TextEncoding::Form::Utf8, true };
    if (bytes.size() >= 2 && bytes[0] != '\0' && bytes[1] == '\0')
        return { TextEncoding::Form::Utf16le, false };
    return {};
}

std::string_view byteOrderMark(TextEncoding encoding)
{
    if (!encoding.byteOrderMark)
        return {};
    return encoding.form == TextEncoding::Form::Utf16le ? utf16Mark : utf8Mark;
}

std::string decodeText(std::string_view bytes, TextEncoding encoding)
{
    std::string_view mark = byteOrderMark(encoding);
    if (!mark.empty() && bytes.starts_with(mark))
        bytes.remove_prefix(mark.size());
    if (encoding.form == TextEncoding::Form::Utf16le)
        return utf16leToUtf8(bytes);
    return std::string(bytes);
}

std::string encodeText(std::string_view text, TextEncoding encoding)
{
    std::string out(byteOrderMark(encoding));
    if (encoding.form == TextEncoding::Form::Utf16le)
        out += utf8ToUtf16le(text);
    else
        out += text;
    return out;
}

std::string utf8ToUtf16le(std::string_view text)
{
    std::string out;
    out.reserve(text.size() * 2);
    std::size_t i = 0;
    HighRun run { 0, false }; // the run of high surrogates last looked at
    while (i < text.size()) {
        Step step = stepAt(text, i);
        // A high surrogate followed by something that becomes a low one would
        // make a pair, which reads back as another character: its bytes
        // then travel one by one.
        if (step.kind == Step::Kind::Surrogate && step.code < 0xDC00) {
            if (i >= run.end)
                run = highRunAt(text, i);
            if (run.keptAsBytes)
                step = { Step::Kind::Invalid, static_cast<unsigned char>(text[i]), 1 };
        }
        switch (step.kind) {
        case Step::Kind::Scalar:
            if (step.code < 0x10000) {
                appendUnit(out, step.code);
            } else {
                char32_t code = step.code - 0x10000;
                appendUnit(out, 0xD800 + (code >> 10));
                appendUnit(out, 0xDC00 + (code & 0x3FF));
            }
            break;
        case Step::Kind::Surrogate:
            appendUnit(out, step.code);
            break;
        case Step::Kind::Invalid:
            // Always 0x80 or above: text in another code page survives unchanged.
            appendUnit(out, 0xDC00 + step.code);
            break;
        }
        i += step.length;
    }
    return out;
}

std::string utf16leToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() / 2 + bytes.size() / 8);
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
        appendUtf8(out, code); // lone surrogates too, in their three-byte form
    }
    return out;
}

} // namespace tvrn2
