#include "framework/IniManager.h"

#include "platform/Files.h"
#include "platform/Profile.h"
#include "platform/TextCase.h"

#include <new>

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
    std::string value;
    if (auto* batch = batchFor(s, f); batch && !batch->saving) {
        auto found = batch->values.find(toLowerAscii(trim(k)));
        value = found != batch->values.end() ? found->second : std::string(d);
    } else {
        value = f.empty() ? getProfileString(s, k, d) : getPrivateProfileString(s, k, d, f);
    }
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
    if (auto* batch = batchFor(s, f); batch && batch->saving) {
        batch->changes.emplace_back(k, v);
        return;
    }
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

IniManager::ListScope::ListScope(IniManager& manager, std::string_view section, bool saving)
    : m_manager(manager)
{
    auto fileName = limited(manager.FILENAME.raw(), fileNameLimit);
    if (fileName.empty() || manager.m_batch)
        return;
    auto batch = std::make_unique<ListBatch>();
    batch->fileName = fileName;
    batch->section = limited(section, sectionLimit);
    batch->saving = saving;
    if (!saving) {
        if (auto text = readProfileText(fileName))
            batch->values = findProfileSection(*text, batch->section);
    }
    manager.m_batch = std::move(batch);
}

IniManager::ListScope::~ListScope()
{
    auto batch = std::move(m_manager.m_batch);
    if (!batch || batch->changes.empty())
        return;
    // A settings file that cannot be written is not worth interrupting the user for.
    try {
        writePrivateProfileKeys(batch->section, batch->changes, batch->fileName);
    } catch (const std::bad_alloc&) { }
}

IniManager::ListBatch* IniManager::batchFor(std::string_view section, std::string_view fileName)
{
    if (!m_batch || fileName != m_batch->fileName || !equalsIgnoringCase(section, m_batch->section))
        return nullptr;
    return m_batch.get();
}

std::string IniManager::numberedKey(std::string_view name, long n)
{
    return std::string(name) + "_" + std::to_string(n);
}

} // namespace tvrn2
