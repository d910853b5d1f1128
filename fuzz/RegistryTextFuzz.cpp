// The registry store's text: whatever the file holds, reading never fails
// hard; a file read without problems is written back byte for byte when
// nothing changed, and with every value written anew it reads back the same.
#include "fuzz/FuzzFields.h"
#include "platform/RegistryText.h"

#include <string_view>

using namespace tvrn2;

namespace {

bool sameDocument(const RegistryDocument& a, const RegistryDocument& b)
{
    if (a.keys.size() != b.keys.size())
        return false;
    for (std::size_t k = 0; k < a.keys.size(); ++k) {
        const auto& x = a.keys[k];
        const auto& y = b.keys[k];
        if (x.path != y.path || x.values.size() != y.values.size())
            return false;
        for (std::size_t v = 0; v < x.values.size(); ++v) {
            if (x.values[v].name != y.values[v].name || x.values[v].type != y.values[v].type
                || x.values[v].data != y.values[v].data)
                return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<RegistryProblem> problems;
    RegistryDocument document = parseRegistryText(std::string(text), problems);
    for (const auto& problem : problems)
        FUZZ_CHECK(problem.line >= 1);

    if (problems.empty()) {
        FUZZ_CHECK(formatRegistryText(document) == text);
        for (auto& key : document.keys) {
            for (auto& value : key.values)
                value.changed = true;
        }
        std::string written = formatRegistryText(document);
        std::vector<RegistryProblem> again;
        RegistryDocument reread = parseRegistryText(written, again);
        FUZZ_CHECK(again.empty());
        FUZZ_CHECK(sameDocument(document, reread));
    }

    // The text conversions used for hex(2) and hex(7) data give back any bytes.
    std::string utf16 = utf8ToUtf16le(text);
    FUZZ_CHECK(utf16.size() % 2 == 0);
    FUZZ_CHECK(utf16leToUtf8(utf16) == text);
    (void)utf16leToUtf8(text);
    return 0;
}
