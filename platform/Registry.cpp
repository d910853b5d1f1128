#include "platform/Registry.h"

#include "platform/DebugOutput.h"
#include "platform/Files.h"
#include "platform/FixedText.h"
#include "platform/LiveRegistry.h"
#include "platform/SystemInfo.h"
#include "platform/TextCase.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <optional>
#include <sys/stat.h>

namespace tvrn2 {
namespace {

// What identifies one state of the file on disk.
struct Stamp {
    bool exists { false };
    dev_t device { 0 };
    ino_t inode { 0 };
    off_t size { 0 };
    std::int64_t modifiedNs { 0 };
    std::int64_t changedNs { 0 };

    bool operator==(const Stamp&) const = default;
};

Stamp stampOf(const std::string& path)
{
    struct stat info { };
    if (::stat(path.c_str(), &info) != 0)
        return {};
    auto ns = [](const timespec& t) { return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec; };
    return { true, info.st_dev, info.st_ino, info.st_size, ns(info.st_mtim), ns(info.st_ctim) };
}

// Modified less than two seconds ago (or in the future): another change
// within the same timestamp tick could still be invisible to stat.
bool recentlyModified(const Stamp& stamp)
{
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    std::int64_t nowNs = static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
    return nowNs - stamp.modifiedNs < 2000000000;
}

std::string_view hiveOf(HKEY key)
{
    switch (key) {
    case HKEY_CLASSES_ROOT:
        return "HKEY_CLASSES_ROOT";
    case HKEY_CURRENT_USER:
        return "HKEY_CURRENT_USER";
    case HKEY_LOCAL_MACHINE:
        return "HKEY_LOCAL_MACHINE";
    case HKEY_USERS:
        return "HKEY_USERS";
    default:
        return {};
    }
}

struct OpenKey {
    std::string path;
    std::uint32_t access { 0 };
};

// Copies `bytes` out the way the registry calls do: the size alone when
// there is no buffer, ERROR_MORE_DATA and the size needed when it is too small.
std::int32_t copyData(std::string_view bytes, std::uint8_t* data, std::uint32_t* dataSize)
{
    if (!dataSize)
        return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    auto needed = static_cast<std::uint32_t>(bytes.size());
    if (data && *dataSize < needed) {
        *dataSize = needed;
        return ERROR_MORE_DATA;
    }
    if (data && needed)
        std::memcpy(data, bytes.data(), needed);
    *dataSize = needed;
    return ERROR_SUCCESS;
}

class Store {
public:
    std::int32_t open(HKEY parent, std::string_view subKey, std::uint32_t access, HKEY* result, bool create,
        std::uint32_t* disposition)
    {
        std::lock_guard lock(m_mutex);
        if (!result)
            return ERROR_INVALID_PARAMETER;
        refresh();
        std::string path;
        std::uint32_t parentAccess = 0;
        if (auto error = resolve(parent, subKey, path, parentAccess))
            return error;
        if (!keyExists(path)) {
            if (!create)
                return ERROR_FILE_NOT_FOUND;
            if (!(parentAccess & KEY_CREATE_SUB_KEY))
                return ERROR_ACCESS_DENIED;
            if (m_damaged)
                return ERROR_BADDB;
            m_document.addKey(path);
            if (auto error = save())
                return error;
            if (disposition)
                *disposition = REG_CREATED_NEW_KEY;
        } else if (disposition) {
            *disposition = REG_OPENED_EXISTING_KEY;
        }
        HKEY handle = m_nextHandle;
        m_nextHandle += 4;
        m_handles[handle] = { std::move(path), access };
        *result = handle;
        return ERROR_SUCCESS;
    }

    std::int32_t close(HKEY key)
    {
        std::lock_guard lock(m_mutex);
        if (!hiveOf(key).empty())
            return ERROR_SUCCESS;
        return m_handles.erase(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
    }

    std::int32_t query(
        HKEY key, std::string_view name, std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize)
    {
        std::lock_guard lock(m_mutex);
        refresh();
        const OpenKey* open = handle(key);
        if (!open)
            return ERROR_INVALID_HANDLE;
        if (!(open->access & KEY_QUERY_VALUE))
            return ERROR_ACCESS_DENIED;
        auto value = findValue(open->path, name);
        if (!value)
            return ERROR_FILE_NOT_FOUND;
        if (type)
            *type = value->type;
        return copyData(value->data, data, dataSize);
    }

    std::int32_t enumerate(HKEY key, std::uint32_t index, char* name, std::uint32_t* nameSize,
        std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize)
    {
        std::lock_guard lock(m_mutex);
        refresh();
        const OpenKey* open = handle(key);
        if (!open)
            return ERROR_INVALID_HANDLE;
        if (!name || !nameSize)
            return ERROR_INVALID_PARAMETER;
        if (!(open->access & KEY_QUERY_VALUE))
            return ERROR_ACCESS_DENIED;
        auto values = allValues(open->path);
        if (index >= values.size())
            return ERROR_NO_MORE_ITEMS;
        const RegistryValue& value = values[index];
        if (value.name.size() + 1 > *nameSize)
            return ERROR_MORE_DATA;
        std::memcpy(name, value.name.c_str(), value.name.size() + 1);
        *nameSize = static_cast<std::uint32_t>(value.name.size());
        if (type)
            *type = value.type;
        return copyData(value.data, data, dataSize);
    }

    std::int32_t set(
        HKEY key, std::string_view name, std::uint32_t type, const std::uint8_t* data, std::uint32_t dataSize)
    {
        std::lock_guard lock(m_mutex);
        refresh();
        const OpenKey* open = handle(key);
        if (!open)
            return ERROR_INVALID_HANDLE;
        // The file's value lines have no way to hold a line break in a name.
        if ((!data && dataSize)
            || name.find_first_of(std::string_view("\0\r\n", 3)) != std::string_view::npos)
            return ERROR_INVALID_PARAMETER;
        if (!(open->access & KEY_SET_VALUE))
            return ERROR_ACCESS_DENIED;
        if (m_damaged)
            return ERROR_BADDB;
        std::string bytes = data ? std::string(reinterpret_cast<const char*>(data), dataSize) : std::string();
        RegistryKey* stored = m_document.findKey(open->path);
        if (!stored)
            stored = &m_document.addKey(open->path);
        auto existing = std::find_if(stored->values.begin(), stored->values.end(),
            [&](const RegistryValue& v) { return equalsIgnoringCase(v.name, name); });
        if (existing == stored->values.end()) {
            stored->values.push_back({ std::string(name), type, std::move(bytes) });
        } else if (existing->type != type || existing->data != bytes) {
            // The value keeps the spelling it was created with and its place in the file.
            existing->type = type;
            existing->data = std::move(bytes);
            existing->changed = true;
        }
        return save();
    }

private:
    // Loads the file again when it is not the one loaded last, in name or on disk.
    void refresh()
    {
        std::string path = registryStorePath();
        Stamp now = stampOf(path);
        bool same = m_loaded && path == m_path && now == m_stamp;
        // File times are coarse: an edit that keeps the size within the
        // same tick shows only in the bytes.
        if (same && (!recentlyModified(now) || (now.exists && fileHolds(path, m_document.source))))
            return readWritten();
        std::optional<std::string> text;
        if (now.exists)
            text = readWholeFile(path);
        m_path = std::move(path);
        m_stamp = now;
        m_loaded = true;
        m_document = {};
        m_written = false;
        m_damaged = false;
        if (!now.exists)
            return;
        std::vector<RegistryProblem> problems;
        if (text) {
            m_document = parseRegistryText(std::move(*text), problems);
        } else {
            problems.push_back({ 0, std::string("it cannot be read: ") + std::strerror(errno) });
        }
        if (problems.empty())
            return;
        m_damaged = true;
        if (m_reportedPath == m_path && m_reportedStamp == m_stamp)
            return;
        m_reportedPath = m_path;
        m_reportedStamp = m_stamp;
        std::string report = "Registry store " + m_path + " is damaged";
        if (problems.front().line)
            report += " at line " + std::to_string(problems.front().line);
        report += ": " + problems.front().reason;
        if (problems.size() > 1)
            report += " (and " + std::to_string(problems.size() - 1) + " more)";
        report += "; it is read as far as it is understood and not written until it is repaired.";
        outputWarning(report);
    }

    std::int32_t save()
    {
        int error = makeFolders(settingsFolder());
        std::string text = formatRegistryText(m_document);
        if (!error)
            error = writeFileAtomically(m_path, text);
        if (error) {
            m_loaded = false; // what is in memory now differs from the file: read it again
            outputWarning("Registry store " + m_path + " could not be written: " + std::strerror(error)
                + (error == EACCES ? " (the file is read-only); it is left as it is."
                                   : "; it is left as it was."));
            if (error == ENOSPC)
                return ERROR_DISK_FULL;
            return error == EACCES || error == EPERM || error == EROFS ? ERROR_ACCESS_DENIED
                                                                       : ERROR_REGISTRY_IO_FAILED;
        }
        m_stamp = stampOf(m_path);
        // The places of lines in the new text are worked out when the store
        // is next used, so that a run of changes reads the text once.
        m_document.source = std::move(text);
        m_written = true;
        return ERROR_SUCCESS;
    }

    // Reads the text this process wrote last, for the places of its lines.
    void readWritten()
    {
        if (!m_written)
            return;
        m_written = false;
        std::vector<RegistryProblem> problems;
        m_document = parseRegistryText(std::move(m_document.source), problems);
        m_damaged = !problems.empty();
    }

    const OpenKey* handle(HKEY key)
    {
        if (auto hive = hiveOf(key); !hive.empty()) {
            m_hiveKey = { std::string(hive), KEY_ALL_ACCESS };
            return &m_hiveKey;
        }
        auto found = m_handles.find(key);
        return found == m_handles.end() ? nullptr : &found->second;
    }

    std::int32_t resolve(HKEY parent, std::string_view subKey, std::string& path, std::uint32_t& parentAccess)
    {
        const OpenKey* open = handle(parent);
        if (!open)
            return ERROR_INVALID_HANDLE;
        parentAccess = open->access;
        while (!subKey.empty() && subKey.back() == '\\')
            subKey.remove_suffix(1);
        path = open->path;
        if (subKey.empty())
            return ERROR_SUCCESS;
        if (subKey.front() == '\\' || subKey.find("\\\\") != std::string_view::npos
            || subKey.find_first_of("\r\n]") != std::string_view::npos)
            return ERROR_INVALID_PARAMETER;
        // A key already stored keeps the spelling it was created with.
        std::string wanted = path + "\\" + std::string(subKey);
        if (const RegistryKey* stored = m_document.findKey(wanted))
            path = stored->path;
        else
            path = std::move(wanted);
        return ERROR_SUCCESS;
    }

    bool keyExists(const std::string& path)
    {
        if (path.find('\\') == std::string::npos)
            return true; // a hive
        return m_document.holdsKey(path) || !liveRegistryValues(path).empty();
    }

    // The stored values in their order, then the live ones the file does not hold.
    std::vector<RegistryValue> allValues(const std::string& path)
    {
        std::vector<RegistryValue> values;
        if (const RegistryKey* stored = m_document.findKey(path))
            values = stored->values;
        for (auto& live : liveRegistryValues(path)) {
            bool shadowed = std::any_of(values.begin(), values.end(),
                [&](const RegistryValue& v) { return equalsIgnoringCase(v.name, live.name); });
            if (!shadowed)
                values.push_back(std::move(live));
        }
        return values;
    }

    std::optional<RegistryValue> findValue(const std::string& path, std::string_view name)
    {
        if (const RegistryKey* stored = m_document.findKey(path)) {
            for (const auto& value : stored->values) {
                if (equalsIgnoringCase(value.name, name))
                    return value;
            }
        }
        for (auto& live : liveRegistryValues(path)) {
            if (equalsIgnoringCase(live.name, name))
                return std::move(live);
        }
        return std::nullopt;
    }

    std::mutex m_mutex;
    std::string m_path;
    Stamp m_stamp;
    bool m_loaded { false };
    bool m_damaged { false };
    // The document's source is the text written last, and its keys still
    // have the places of their lines in the text before.
    bool m_written { false };
    // The file's keys and its bytes as last read or written.
    RegistryDocument m_document;
    std::string m_reportedPath;
    Stamp m_reportedStamp;
    std::map<HKEY, OpenKey> m_handles;
    HKEY m_nextHandle { 0x100 };
    OpenKey m_hiveKey;
};

Store& store()
{
    static Store instance;
    return instance;
}

} // namespace

HKEY hiveFromName(std::string_view name)
{
    std::string_view hive = canonicalHiveName(trim(name));
    for (HKEY key : { HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS }) {
        if (!hive.empty() && hiveOf(key) == hive)
            return key;
    }
    return 0;
}

std::string registryStorePath()
{
    return settingsFolder() + "/registry.reg";
}

std::int32_t regOpenKeyEx(
    HKEY key, std::string_view subKey, std::uint32_t, std::uint32_t access, HKEY* result)
{
    return store().open(key, subKey, access, result, false, nullptr);
}

std::int32_t regCreateKeyEx(HKEY key, std::string_view subKey, std::uint32_t, std::uint32_t access,
    HKEY* result, std::uint32_t* disposition)
{
    return store().open(key, subKey, access, result, true, disposition);
}

std::int32_t regCloseKey(HKEY key)
{
    return store().close(key);
}

std::int32_t regQueryValueEx(
    HKEY key, std::string_view valueName, std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize)
{
    return store().query(key, valueName, type, data, dataSize);
}

std::int32_t regSetValueEx(HKEY key, std::string_view valueName, std::uint32_t type, const std::uint8_t* data,
    std::uint32_t dataSize)
{
    return store().set(key, valueName, type, data, dataSize);
}

std::int32_t regEnumValue(HKEY key, std::uint32_t index, char* name, std::uint32_t* nameSize,
    std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize)
{
    return store().enumerate(key, index, name, nameSize, type, data, dataSize);
}

std::int32_t regQueryValue(HKEY key, std::string_view subKey, char* value, std::int32_t* valueSize)
{
    HKEY opened = 0;
    if (auto error = regOpenKeyEx(key, subKey, 0, KEY_QUERY_VALUE, &opened))
        return error;
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    std::string text;
    std::int32_t error = regQueryValueEx(opened, "", &type, nullptr, &size);
    if (error == ERROR_SUCCESS) {
        text.resize(size);
        error = regQueryValueEx(opened, "", &type, reinterpret_cast<std::uint8_t*>(text.data()), &size);
        text.resize(size);
    }
    regCloseKey(opened);
    if (error == ERROR_FILE_NOT_FOUND)
        text.clear(); // a key without a default value reads as an empty text
    else if (error != ERROR_SUCCESS)
        return error;
    if (text.empty() || text.back() != '\0')
        text.push_back('\0');
    if (!valueSize)
        return value ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    std::uint32_t capacity = *valueSize < 0 ? 0 : static_cast<std::uint32_t>(*valueSize);
    std::int32_t result = copyData(text, reinterpret_cast<std::uint8_t*>(value), &capacity);
    *valueSize = static_cast<std::int32_t>(capacity);
    return result;
}

} // namespace tvrn2
