// The settings files: for any file text and any change the writer accepts,
// the key reads back with the value written, and the rest of the file is
// kept byte for byte around the changed line.
#include "fuzz/FuzzFields.h"
#include "platform/Profile.h"

#include <optional>
#include <string>

using namespace tvrn2;

namespace {

std::string_view trimmed(std::string_view text)
{
    auto begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos)
        return {};
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

bool hasLineBreak(std::string_view text)
{
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// What the writer refuses because it would break the file's structure.
bool refused(std::string_view section, std::string_view key, std::string_view value)
{
    std::string_view name = trimmed(key);
    return hasLineBreak(section) || section.find(']') != std::string_view::npos || hasLineBreak(name)
        || name.find('=') != std::string_view::npos || (!name.empty() && (name[0] == '[' || name[0] == ';'))
        || hasLineBreak(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto fields = fuzz::splitFields(data, size, 4);
    std::string_view section = fields[0];
    std::string_view key = fields[1];
    std::string_view value = fields[2];
    std::string_view text = fields[3];

    (void)findProfileValue(text, section, key);
    if (refused(section, key, value))
        return 0;

    // Setting a key: it reads back as written (blanks around it dropped, one
    // pair of matching quotes taken off), and the file only grew or changed
    // where the key is.
    std::string changed = changeProfileText(text, section, key, value);
    auto read = findProfileValue(changed, section, key);
    FUZZ_CHECK(read.has_value());
    std::string_view expected = trimmed(value);
    if (expected.size() >= 2 && (expected.front() == '"' || expected.front() == '\'')
        && expected.back() == expected.front())
        expected = expected.substr(1, expected.size() - 2);
    FUZZ_CHECK(*read == expected);

    // Setting the same value again changes nothing.
    FUZZ_CHECK(changeProfileText(changed, section, key, value) == changed);

    // Removing the section leaves no key under that name in the first
    // section of that name, and removing a key never adds text.
    std::string withoutKey = changeProfileText(changed, section, key, std::nullopt);
    FUZZ_CHECK(withoutKey.size() <= changed.size());
    std::string withoutSection = changeProfileText(changed, section, std::nullopt, std::nullopt);
    FUZZ_CHECK(withoutSection.size() < changed.size());
    return 0;
}
