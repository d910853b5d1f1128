#pragma once

#include "platform/RegistryText.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tvrn2 {

// The registry: keys and values kept in the settings folder's
// "registry.reg" (in the registry editor's export format, so a person can
// read and edit it), with the semantics of the system's registry calls.
// Key and value names compare without regard to case and a trailing "\" in
// a key path is accepted. The file is re-read whenever it changed on disk
// and replaced all at once on every change. A damaged file is reported once
// on the debug output, read as far as it is understood and never written:
// changes then fail with ERROR_BADDB. A few values the desktop knows are
// answered live while the file holds none (see LiveRegistry.h).

using HKEY = std::uint32_t;

inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002;
inline constexpr HKEY HKEY_USERS = 0x80000003;

inline constexpr std::uint32_t KEY_QUERY_VALUE = 0x0001;
inline constexpr std::uint32_t KEY_SET_VALUE = 0x0002;
inline constexpr std::uint32_t KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr std::uint32_t KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr std::uint32_t KEY_READ = 0x20019;
inline constexpr std::uint32_t KEY_WRITE = 0x20006;
inline constexpr std::uint32_t KEY_ALL_ACCESS = 0xF003F;

inline constexpr std::uint32_t REG_OPTION_NON_VOLATILE = 0;
inline constexpr std::uint32_t REG_CREATED_NEW_KEY = 1;
inline constexpr std::uint32_t REG_OPENED_EXISTING_KEY = 2;

inline constexpr std::int32_t ERROR_SUCCESS = 0;
inline constexpr std::int32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr std::int32_t ERROR_ACCESS_DENIED = 5;
inline constexpr std::int32_t ERROR_INVALID_HANDLE = 6;
inline constexpr std::int32_t ERROR_INVALID_PARAMETER = 87;
inline constexpr std::int32_t ERROR_DISK_FULL = 112;
inline constexpr std::int32_t ERROR_MORE_DATA = 234;
inline constexpr std::int32_t ERROR_NO_MORE_ITEMS = 259;
inline constexpr std::int32_t ERROR_BADDB = 1009;
inline constexpr std::int32_t ERROR_REGISTRY_IO_FAILED = 1016;

// The hive of a name such as "HKEY_CURRENT_USER" (blanks around it and case
// do not count), or 0 when it names no hive.
HKEY hiveFromName(std::string_view name);

// Where the store lives: settingsFolder() + "/registry.reg".
std::string registryStorePath();

// Opens an existing key below `key` ("" opens `key` again) for the access asked.
std::int32_t regOpenKeyEx(
    HKEY key, std::string_view subKey, std::uint32_t options, std::uint32_t access, HKEY* result);

// Opens the key, creating it (and the keys above it) when missing.
std::int32_t regCreateKeyEx(HKEY key, std::string_view subKey, std::uint32_t options, std::uint32_t access,
    HKEY* result, std::uint32_t* disposition);

std::int32_t regCloseKey(HKEY key);

// Reads a value ("" is the default value). With no buffer only the size is
// given; with a buffer too small the answer is ERROR_MORE_DATA and *dataSize
// is the size needed.
std::int32_t regQueryValueEx(
    HKEY key, std::string_view valueName, std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize);

std::int32_t regSetValueEx(HKEY key, std::string_view valueName, std::uint32_t type, const std::uint8_t* data,
    std::uint32_t dataSize);

// The value at `index` in the key's order. *nameSize holds the name buffer's
// size in characters and receives the name's length without its NUL.
// ERROR_NO_MORE_ITEMS past the last value.
std::int32_t regEnumValue(HKEY key, std::uint32_t index, char* name, std::uint32_t* nameSize,
    std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize);

// The default value of `subKey` as text, NUL included in *valueSize. A key
// without a default value gives an empty text.
std::int32_t regQueryValue(HKEY key, std::string_view subKey, char* value, std::int32_t* valueSize);

} // namespace tvrn2
