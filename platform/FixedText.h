#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace tvrn2 {

// Trailing blanks removed: how every value of a fixed-length text field is used.
inline std::string_view clip(std::string_view text)
{
    auto end = text.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string_view {} : text.substr(0, end + 1);
}

// Leading and trailing blanks removed.
inline std::string_view trim(std::string_view text)
{
    auto begin = text.find_first_not_of(' ');
    if (begin == std::string_view::npos)
        return {};
    return clip(text.substr(begin));
}

// The length of the longest prefix of `text` within `limit` bytes that ends
// on a whole UTF-8 character: a cut never leaves half a character behind.
// Text that is not UTF-8 where the cut falls is cut at the limit.
inline std::size_t wholeCharacterCut(std::string_view text, std::size_t limit)
{
    if (text.size() <= limit)
        return text.size();
    auto continuation = [&](std::size_t at) { return (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80; };
    // The first byte left out continues a character: back up to its lead
    // byte (a character has at most three continuation bytes).
    std::size_t start = limit;
    while (start > 0 && limit - start < 3 && continuation(start))
        --start;
    const bool lead = (static_cast<unsigned char>(text[start]) & 0xC0) == 0xC0;
    return start < limit && lead ? start : limit;
}

// The same cut as a view.
inline std::string_view cutAtCharacter(std::string_view text, std::size_t limit)
{
    return text.substr(0, wholeCharacterCut(text, limit));
}

// A text field of fixed capacity. Values longer than the capacity are cut on
// assignment, at the last whole character, so a field never holds more than
// its record layout allows.
template <std::size_t Capacity> class FixedText {
public:
    static constexpr std::size_t capacity = Capacity;

    FixedText() = default;
    FixedText(std::string_view value) { assign(value); } // NOLINT(google-explicit-constructor)
    FixedText(const char* value) { assign(value ? std::string_view(value) : std::string_view {}); } // NOLINT
    FixedText(const std::string& value) { assign(value); } // NOLINT(google-explicit-constructor)

    FixedText& operator=(std::string_view value)
    {
        assign(value);
        return *this;
    }
    FixedText& operator=(const char* value) { return *this = std::string_view(value ? value : ""); }
    FixedText& operator=(const std::string& value) { return *this = std::string_view(value); }

    void assign(std::string_view value) { m_text.assign(cutAtCharacter(value, Capacity)); }
    void clear() { m_text.clear(); }

    // The value as stored (cut to the capacity, trailing blanks kept).
    const std::string& raw() const { return m_text; }
    // The value as the program uses it: trailing blanks removed.
    std::string clipped() const { return std::string(clip(m_text)); }
    bool blank() const { return clip(m_text).empty(); }

    // The field as laid out in a blank-padded record: exactly Capacity bytes.
    std::string padded() const { return m_text + std::string(Capacity - m_text.size(), ' '); }

    friend bool operator==(const FixedText& a, const FixedText& b)
    {
        return clip(a.m_text) == clip(b.m_text);
    }
    friend bool operator==(const FixedText& a, std::string_view b) { return clip(a.m_text) == clip(b); }
    friend bool operator==(const FixedText& a, const char* b) { return a == std::string_view(b ? b : ""); }

private:
    std::string m_text;
};

// STRING(n): n bytes padded with blanks.
template <std::size_t Bytes> using PaddedString = FixedText<Bytes>;

// CSTRING(n): n bytes holding NUL-terminated text, so at most n - 1 characters.
template <std::size_t Bytes> using CString = FixedText<Bytes - 1>;

} // namespace tvrn2
