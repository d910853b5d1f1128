#pragma once

#include "platform/FixedText.h"
#include "platform/Profile.h"

#include <algorithm>
#include <charconv>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tvrn2 {

// One entry of the INI manager's list of sectors.
struct SectorRecord {
    CString<100> FAMILY;
    CString<100> ITEM;
    CString<100> TYPE;
};

// Reads and writes single values of a settings file and keeps the list of
// sectors, loaded from a reserved section when it starts and saved there when
// it stops.
class IniManager {
public:
    static constexpr const char* reservedSection = "__Dont_Touch_Me__";
    static constexpr const char* sectorsName = "Sectors";
    // What a missing field reads as.
    static constexpr const char* unknownValue = "---Unknown---";

    static constexpr std::size_t sectionLimit = 63;
    static constexpr std::size_t keyLimit = 63;
    static constexpr std::size_t valueLimit = 1023;
    static constexpr std::size_t fileNameLimit = 259;
    static constexpr std::size_t fieldValueLimit = 999;
    static constexpr std::size_t listValueLimit = 4999;

    IniManager() = default;
    virtual ~IniManager() = default;
    IniManager(const IniManager&) = delete;
    IniManager& operator=(const IniManager&) = delete;

    // An empty file name addresses the main profile.
    virtual std::string ReadProfile(std::string_view section, std::string_view key,
        std::string_view defaultValue, std::string_view fileName);
    virtual void WriteProfile(
        std::string_view section, std::string_view key, std::string_view value, std::string_view fileName);
    virtual void OnOpened() { }
    virtual void OnClosing() { }

    void Init(std::string_view fileName);
    void Kill();

    std::string ReadEntry(std::string_view section, std::string_view key);
    // Field n (1-based) of a comma-separated value. A value with fewer commas
    // than asked for starts over at its beginning.
    std::string ReadEntryField(std::string_view section, std::string_view key, int n);
    void WriteEntry(std::string_view section, std::string_view key, std::string_view value);

    template <class Record, class Field>
    void LoadList(std::string_view section, std::string_view name, std::vector<Record>& list,
        Field Record::*first, Field Record::*second = nullptr, Field Record::*third = nullptr);
    template <class Record, class Field>
    void SaveList(std::string_view section, std::string_view name, const std::vector<Record>& list,
        Field Record::*first, Field Record::*second = nullptr, Field Record::*third = nullptr);

    // The count of a list as stored: a whole number, anything else counts as 0.
    static long parseCount(std::string_view text);

    const std::vector<SectorRecord>* sectors() const { return SECTORS.get(); }
    std::vector<SectorRecord>* sectors() { return SECTORS.get(); }

    CString<260> FILENAME;

    // The most records a list loads. A damaged count ("Sectors=2000000000")
    // would otherwise load placeholders until memory runs out, and write
    // them all back at Kill.
    static constexpr long listRecordLimit = 65'535;

private:
    static std::string numberedKey(std::string_view name, long n);

    // While a list of the manager's own file loads or saves, the file is read
    // once and written once, however long the list: ReadProfile answers from
    // the section as read, and WriteProfile gathers the section's changes,
    // written when the list is done.
    struct ListBatch {
        std::string fileName;
        std::string section;
        bool saving { false };
        std::unordered_map<std::string, std::string> values; // keys in lower case
        ProfileValues changes;
    };
    class ListScope {
    public:
        ListScope(IniManager& manager, std::string_view section, bool saving);
        ~ListScope();
        ListScope(const ListScope&) = delete;
        ListScope& operator=(const ListScope&) = delete;

    private:
        IniManager& m_manager;
    };
    ListBatch* batchFor(std::string_view section, std::string_view fileName);

    std::unique_ptr<std::vector<SectorRecord>> SECTORS;
    std::unique_ptr<ListBatch> m_batch;
};

template <class Record, class Field>
void IniManager::LoadList(std::string_view section, std::string_view name, std::vector<Record>& list,
    Field Record::*first, Field Record::*second, Field Record::*third)
{
    ListScope batch(*this, section, false);
    long count = std::min(parseCount(ReadEntry(section, name)), listRecordLimit);
    for (long n = 1; n <= count; ++n) {
        std::string key = numberedKey(name, n);
        Record record {};
        record.*first = ReadEntryField(section, key, 1);
        if (second)
            record.*second = ReadEntryField(section, key, 2);
        if (third)
            record.*third = ReadEntryField(section, key, 3);
        list.push_back(std::move(record));
    }
}

template <class Record, class Field>
void IniManager::SaveList(std::string_view section, std::string_view name, const std::vector<Record>& list,
    Field Record::*first, Field Record::*second, Field Record::*third)
{
    ListScope batch(*this, section, true);
    WriteEntry(section, name, std::to_string(list.size()));
    long n = 0;
    for (const auto& record : list) {
        std::string value = (record.*first).clipped();
        if (second)
            value += "," + (record.*second).clipped();
        if (third)
            value += "," + (record.*third).clipped();
        if (value.size() > listValueLimit)
            value.resize(listValueLimit);
        WriteEntry(section, numberedKey(name, ++n), value);
    }
}

} // namespace tvrn2
