#include "framework/IniManager.h"

#include "platform/Files.h"
#include "platform/Profile.h"

namespace tvrn2 {
namespace {

std::string_view limited(std::string_view text, std::size_t limit)
{
    return clip(text.substr(0, std::min(text.size(), limit)));
}

} // namespace

std::string IniManager::ReadProfile(
    std::string_view section, std::string_view key, std::string_view defaultValue, std::string_view fileName)
{
    auto s = limited(section, sectionLimit);
    auto k = limited(key, keyLimit);
    auto d = limited(defaultValue, valueLimit);
    auto f = limited(fileName, fileNameLimit);
    std::string value = f.empty() ? getProfileString(s, k, d) : getPrivateProfileString(s, k, d, f);
    if (value.size() > valueLimit)
        value.resize(valueLimit);
    return value;
}

void IniManager::WriteProfile(
    std::string_view section, std::string_view key, std::string_view value, std::string_view fileName)
{
    auto s = limited(section, sectionLimit);
    auto k = limited(key, keyLimit);
    auto v = limited(value, valueLimit);
    auto f = limited(fileName, fileNameLimit);
    // A settings file that cannot be written is not worth interrupting the user for.
    if (f.empty())
        writeProfileString(s, k, v);
    else
        writePrivateProfileString(s, k, v, f);
}

void IniManager::Init(std::string_view fileName)
{
    FILENAME = fileName;
    SECTORS = std::make_unique<std::vector<SectorRecord>>();
    OnOpened();
    LoadList(reservedSection, sectorsName, *SECTORS, &SectorRecord::FAMILY, &SectorRecord::ITEM,
        &SectorRecord::TYPE);
}

void IniManager::Kill()
{
    if (!SECTORS)
        return;
    SaveList(reservedSection, sectorsName, *SECTORS, &SectorRecord::FAMILY, &SectorRecord::ITEM,
        &SectorRecord::TYPE);
    SECTORS.reset();
}

std::string IniManager::ReadEntry(std::string_view section, std::string_view key)
{
    return ReadProfile(section, key, "", FILENAME.raw());
}

std::string IniManager::ReadEntryField(std::string_view section, std::string_view key, int n)
{
    std::string value = ReadProfile(section, key, unknownValue, FILENAME.raw());
    if (value.size() > fieldValueLimit)
        value.resize(fieldValueLimit);
    // A missing entry reads as the placeholder in every field.
    std::size_t start = 0;
    for (int skip = 1; skip < n; ++skip) {
        auto comma = value.find(',', start);
        start = comma == std::string::npos ? 0 : comma + 1;
    }
    auto comma = value.find(',', start);
    auto end = comma == std::string::npos ? value.size() : comma;
    return value.substr(start, end - start);
}

void IniManager::WriteEntry(std::string_view section, std::string_view key, std::string_view value)
{
    WriteProfile(section, key, value, FILENAME.raw());
}

long IniManager::parseCount(std::string_view text)
{
    text = trim(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    long count = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
    if (text.empty() || error != std::errc {} || end != text.data() + text.size())
        return 0;
    return count;
}

long IniManager::recordLimit() const
{
    auto fileName = limited(FILENAME.raw(), fileNameLimit);
    auto text = readWholeFile(profilePath(fileName));
    if (!text)
        return 0;
    return static_cast<long>(std::count(text->begin(), text->end(), '\n')) + 1;
}

std::string IniManager::numberedKey(std::string_view name, long n)
{
    return std::string(name) + "_" + std::to_string(n);
}

} // namespace tvrn2
