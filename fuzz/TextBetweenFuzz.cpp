// Text between two delimiters: the answer is a piece of the text that the
// delimiter encloses.
#include "fuzz/FuzzFields.h"
#include "hyperlink/LinkText.h"

#include <string>

using namespace tvrn2;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto fields = fuzz::splitFields(data, size, 2);
    std::string_view delimiter = fields[0];
    std::string_view text = fields[1];
    std::string between = textBetween(text, delimiter);
    if (delimiter.empty()) {
        FUZZ_CHECK(between.empty());
        return 0;
    }
    auto first = text.find(delimiter);
    if (first == std::string_view::npos) {
        FUZZ_CHECK(between.empty());
        return 0;
    }
    std::string enclosed = std::string(delimiter) + between + std::string(delimiter);
    if (!between.empty() || text.find(delimiter, first + delimiter.size()) != std::string_view::npos)
        FUZZ_CHECK(text.substr(first).starts_with(enclosed));
    FUZZ_CHECK(between.find(delimiter) == std::string::npos);
    return 0;
}
