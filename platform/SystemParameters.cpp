#include "platform/SystemParameters.h"

#include "platform/Registry.h"

#include <atomic>
#include <cstdlib>
#include <string>

namespace tvrn2 {
namespace {

constexpr std::string_view desktopKey = "Control Panel\\Desktop";
constexpr std::string_view dragValue = "DragFullWindows";

// -1: none; else the value set for this process only.
std::atomic<int> sessionDrag { -1 };

bool readStoredDrag(int& on)
{
    on = 0;
    HKEY key = 0;
    std::int32_t opened = regOpenKeyEx(HKEY_CURRENT_USER, desktopKey, 0, KEY_READ, &key);
    if (opened == ERROR_FILE_NOT_FOUND)
        return true;
    if (opened != ERROR_SUCCESS)
        return false;
    std::uint32_t type = 0;
    std::string data(64, '\0');
    auto size = static_cast<std::uint32_t>(data.size() - 1);
    std::int32_t result
        = regQueryValueEx(key, dragValue, &type, reinterpret_cast<std::uint8_t*>(data.data()), &size);
    regCloseKey(key);
    if (result == ERROR_FILE_NOT_FOUND)
        return true;
    if (result != ERROR_SUCCESS)
        return false;
    if (type == REG_DWORD || type == REG_DWORD_BIG_ENDIAN)
        on = data.find_first_not_of('\0', 0) < size ? 1 : 0;
    else
        on = std::atoi(data.c_str()) != 0 ? 1 : 0;
    return true;
}

bool storeDrag(bool on)
{
    HKEY key = 0;
    if (regCreateKeyEx(HKEY_CURRENT_USER, desktopKey, REG_OPTION_NON_VOLATILE, KEY_WRITE, &key, nullptr))
        return false;
    const char* text = on ? "1" : "0";
    std::int32_t result
        = regSetValueEx(key, dragValue, REG_SZ, reinterpret_cast<const std::uint8_t*>(text), 2);
    regCloseKey(key);
    return result == ERROR_SUCCESS;
}

} // namespace

bool systemParametersInfo(std::uint32_t action, std::uint32_t uiParam, void* pvParam, std::uint32_t winIni)
{
    switch (action) {
    case SPI_GETDRAGFULLWINDOWS: {
        if (!pvParam)
            return false;
        int on = sessionDrag.load();
        if (on < 0 && !readStoredDrag(on))
            return false;
        *static_cast<std::int32_t*>(pvParam) = on;
        return true;
    }
    case SPI_SETDRAGFULLWINDOWS:
        if (winIni & SPIF_UPDATEINIFILE) {
            if (!storeDrag(uiParam != 0))
                return false;
            sessionDrag = -1;
        } else {
            sessionDrag = uiParam != 0 ? 1 : 0;
        }
        return true;
    default:
        return false;
    }
}

} // namespace tvrn2
