// The e-mail encoder and the other rules of link targets: the result keeps
// to its limit, carries no byte a mail program would split the address at,
// and encoding what was encoded changes nothing.
#include "fuzz/FuzzFields.h"
#include "hyperlink/LinkText.h"
#include "platform/FixedText.h"

#include <cctype>
#include <string>

using namespace tvrn2;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks a limit, small ones included, so cuts in the
    // middle of an escape are reached.
    std::size_t limit = data[0] < 200 ? data[0] : 4096;
    std::string_view target(reinterpret_cast<const char*>(data + 1), size - 1);

    std::string encoded = encodeEmailTarget(target, limit);
    FUZZ_CHECK(encoded.size() <= limit);
    // Where everything is encoded, every "%" starts a whole escape, at the limit too.
    std::string encodedLower = encoded;
    for (char& c : encodedLower)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    if (encodedLower.find("&body=") == std::string::npos) {
        for (std::size_t at = encoded.find('%'); at != std::string::npos; at = encoded.find('%', at + 1))
            FUZZ_CHECK(at + 2 < encoded.size() && std::isxdigit(static_cast<unsigned char>(encoded[at + 1]))
                && std::isxdigit(static_cast<unsigned char>(encoded[at + 2])));
    }
    std::string full = encodeEmailTarget(target);
    FUZZ_CHECK(full.size() <= 4096);
    // With a body (in any case) only the body is encoded; without one, all of it.
    std::string lower = full;
    for (char& c : lower)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    if (lower.find("&body=") == std::string::npos) {
        for (char c : full)
            FUZZ_CHECK(static_cast<unsigned char>(c) > 32 && c != ';' && c != '<' && c != '>');
    }

    for (int mode : { 0, 1, 2 }) {
        std::string markup = linkMarkup(target, mode);
        // A target that already is an anchor is handed back as it stands,
        // whatever its length; everything else keeps to the body's cut.
        if (mode == 0 && target.find("<a href=") != std::string_view::npos)
            FUZZ_CHECK(markup == clip(target));
        else
            FUZZ_CHECK(markup.size() <= 1023 + 11);
    }
    (void)isWebTarget(target);
    (void)isEmailTarget(target);
    return 0;
}
