#pragma once

#include <string>
#include <string_view>

namespace tvrn2 {

// How a settings file was written, so that a rewrite keeps it: UTF-8 (with
// or without a byte order mark) or UTF-16LE (as the registry editor exports
// and the profile functions write wide files). The program works on UTF-8
// text; these turn a file's bytes into that text and back.
struct TextEncoding {
    enum class Form { Utf8, Utf16le };
    Form form { Form::Utf8 };
    bool byteOrderMark { false };

    bool operator==(const TextEncoding&) const = default;
};

// The encoding of a file's bytes: a byte order mark decides; without one,
// text whose second byte is NUL and first is not is taken for UTF-16LE.
TextEncoding detectTextEncoding(std::string_view bytes);

// The text of the file's bytes, without its byte order mark.
std::string decodeText(std::string_view bytes, TextEncoding encoding);
// The bytes of the text in that encoding, with its byte order mark when it has one.
std::string encodeText(std::string_view text, TextEncoding encoding);
// The bytes of the encoding's byte order mark (empty without one).
std::string_view byteOrderMark(TextEncoding encoding);

// UTF-8 and UTF-16LE conversions that give back whatever they were given:
//  - a byte that is not part of valid UTF-8 becomes the lone surrogate
//    U+DC00 + byte and turns back into that byte;
//  - any other lone surrogate of UTF-16 becomes the three bytes its code
//    point would have in UTF-8 (ED A0 80 for U+D800), which turn back into
//    that surrogate.
std::string utf8ToUtf16le(std::string_view text);
std::string utf16leToUtf8(std::string_view bytes);

} // namespace tvrn2
