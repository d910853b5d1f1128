// The download name a server suggests, reduced to one safe file name in the
// download folder: whatever the input, the name is never empty, ".", ".."
// or hidden, holds no separator, NUL or other control character, stays
// valid UTF-8 when the suggestion was, and fits 244 bytes so that the
// engine's NAME.wkdownload still fits NAME_MAX (255). A name that had to
// be cut keeps its short extension and as much of its stem as fits.
#include "fuzz/FuzzFields.h"
#include "platform/webkit/DownloadController.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <string>
#include <string_view>

using namespace tvrn2;

namespace {

constexpr std::string_view partSuffix = ".wkdownload";
constexpr std::size_t nameMax = 255; // NAME_MAX on Linux
constexpr std::size_t nameLimit = nameMax - partSuffix.size(); // 244
// An extension is kept when it is at most this long, its dot included.
constexpr std::size_t shortExtension = 16;

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool validUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
        unsigned char lead = byte(i);
        std::size_t length = 0;
        if (lead < 0x80)
            length = 1;
        else if (lead >= 0xC2 && lead <= 0xDF)
            length = 2;
        else if (lead >= 0xE0 && lead <= 0xEF)
            length = 3;
        else if (lead >= 0xF0 && lead <= 0xF4)
            length = 4;
        if (length == 0 || i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((byte(i + k) & 0xC0) != 0x80)
                return false;
        }
        unsigned char second = length > 1 ? byte(i + 1) : 0;
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F)
            || (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
            return false;
        i += length;
    }
    return true;
}

bool control(char c)
{
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view suggested(reinterpret_cast<const char*>(data), size);
    const std::string name = DownloadController::safeFileName(suggested);

    FUZZ_CHECK(!name.empty());
    FUZZ_CHECK(name != "." && name != "..");
    FUZZ_CHECK(name.front() != '.'); // no hidden file from a server's say-so
    FUZZ_CHECK(name.find_first_of("/\\") == std::string::npos);
    FUZZ_CHECK(name.find('\0') == std::string::npos);
    for (char c : name)
        FUZZ_CHECK(!control(c));
    FUZZ_CHECK(name.size() <= nameLimit);
    FUZZ_CHECK(name.size() + partSuffix.size() <= nameMax);
    static_assert(nameMax <= NAME_MAX);
    if (validUtf8(suggested))
        FUZZ_CHECK(validUtf8(name));

    // What the name was offered as: the last part of a path, without the
    // leading dots and blanks and the trailing blanks.
    std::string_view offered
        = suggested.substr(std::min(suggested.find_last_of("/\\") + 1, suggested.size()));
    offered.remove_prefix(std::min(offered.find_first_not_of(". "), offered.size()));
    offered = offered.substr(0, offered.find_last_not_of(' ') + 1);
    if (offered.empty()) {
        FUZZ_CHECK(name == "download");
        return 0;
    }
    // Control characters each become one '_'; nothing else changes.
    FUZZ_CHECK(name.size() <= offered.size());
    auto same
        = [](char kept, char offeredChar) { return kept == (control(offeredChar) ? '_' : offeredChar); };
    if (offered.size() <= nameLimit) {
        // A name that fits is never cut.
        FUZZ_CHECK(name.size() == offered.size());
        for (std::size_t k = 0; k < name.size(); ++k)
            FUZZ_CHECK(same(name[k], offered[k]));
        return 0;
    }

    // Cut: a short extension survives whole, the stem keeps its beginning
    // and loses no more than the bytes of one split character (up to 3).
    std::size_t dot = offered.rfind('.');
    bool hasExtension = dot != std::string_view::npos && dot > 0 && offered.size() - dot <= shortExtension;
    std::size_t extension = hasExtension ? offered.size() - dot : 0;
    if (hasExtension) {
        FUZZ_CHECK(name.size() > extension);
        for (std::size_t k = 0; k < extension; ++k)
            FUZZ_CHECK(same(name[name.size() - extension + k], offered[dot + k]));
    }
    std::size_t stem = name.size() - extension;
    FUZZ_CHECK(stem + 3 >= nameLimit - extension);
    for (std::size_t k = 0; k < stem; ++k)
        FUZZ_CHECK(same(name[k], offered[k]));
    return 0;
}
