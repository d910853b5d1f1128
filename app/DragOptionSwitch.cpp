#include "app/DragOptionSwitch.h"

#include "platform/DebugOutput.h"
#include "platform/Registry.h"
#include "platform/SystemParameters.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace tvrn2 {
namespace {

constexpr std::uint32_t updateFlags = SPIF_UPDATEINIFILE | SPIF_SENDCHANGE;

// The noted value, or empty when there is none (or it was cleared).
std::string readNote()
{
    HKEY key = 0;
    if (regOpenKeyEx(HKEY_CURRENT_USER, DragOptionSwitch::noteKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    char data[64] = {};
    std::uint32_t size = sizeof data - 1;
    std::uint32_t type = 0;
    std::int32_t result = regQueryValueEx(
        key, DragOptionSwitch::noteValue, &type, reinterpret_cast<std::uint8_t*>(data), &size);
    regCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ)
        return {};
    return std::string(data);
}

// Notes the value (a cleared note is an empty text); false when the store
// could not be written.
bool writeNote(std::string_view value)
{
    HKEY key = 0;
    if (regCreateKeyEx(
            HKEY_CURRENT_USER, DragOptionSwitch::noteKey, REG_OPTION_NON_VOLATILE, KEY_WRITE, &key, nullptr)
        != ERROR_SUCCESS)
        return false;
    std::string text(value);
    std::int32_t result = regSetValueEx(key, DragOptionSwitch::noteValue, REG_SZ,
        reinterpret_cast<const std::uint8_t*>(text.c_str()), static_cast<std::uint32_t>(text.size() + 1));
    regCloseKey(key);
    return result == ERROR_SUCCESS;
}

void warn(const std::string& text)
{
    outputWarning(text);
}

} // namespace

DragOptionSwitch::DragOptionSwitch()
{
    std::int32_t value = 0;
    if (!systemParametersInfo(SPI_GETDRAGFULLWINDOWS, 0, &value, 0))
        return;
    m_saved = value;
    if (m_saved != 1)
        return;
    // Noted before switching, so that a run killed at any later moment
    // leaves the note for the next start.
    if (!writeNote(std::to_string(m_saved))) {
        warn("the settings store cannot be written, so the option to show window contents while dragging "
             "is left on for this run");
        return;
    }
    // Registered before switching, so a halt at any later moment finds it.
    m_restorer.emplace([] { putBack(1); });
    if (!systemParametersInfo(SPI_SETDRAGFULLWINDOWS, 0, nullptr, updateFlags)) {
        m_restorer.reset(); // still on: nothing to put back
        writeNote("");
    }
}

DragOptionSwitch::~DragOptionSwitch()
{
    restore();
}

void DragOptionSwitch::restore()
{
    if (!m_restorer)
        return;
    m_restorer.reset();
    putBack(m_saved);
}

void DragOptionSwitch::restoreLeftOver()
{
    std::string note = readNote();
    if (note.empty())
        return;
    putBack(std::atoi(note.c_str()) != 0 ? 1 : 0);
}

void DragOptionSwitch::putBack(std::int32_t value)
{
    if (!systemParametersInfo(
            SPI_SETDRAGFULLWINDOWS, static_cast<std::uint32_t>(value), nullptr, updateFlags)) {
        warn("the option to show window contents while dragging could not be switched back on (the settings "
             "store "
            + registryStorePath() + " cannot be written); it is switched back on at the next start");
        return;
    }
    if (!writeNote(""))
        warn("the note that the option to show window contents while dragging was switched off could not be "
             "cleared in "
            + registryStorePath() + "; the next start switches it on again");
}

} // namespace tvrn2
