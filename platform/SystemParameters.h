#pragma once

#include <cstdint>

namespace tvrn2 {

inline constexpr std::uint32_t SPI_SETDRAGFULLWINDOWS = 37;
inline constexpr std::uint32_t SPI_GETDRAGFULLWINDOWS = 38;

inline constexpr std::uint32_t SPIF_UPDATEINIFILE = 1;
inline constexpr std::uint32_t SPIF_SENDCHANGE = 2;

// The desktop options of the program's world, with the shape of the system
// call. The drag option (window contents shown while dragging) is the value
// "DragFullWindows" ("1" or "0") under HKEY_CURRENT_USER\Control Panel\Desktop
// in the registry store; a missing value means off.
//  - SPI_GETDRAGFULLWINDOWS: *pvParam (a 32-bit int) receives 1 or 0.
//  - SPI_SETDRAGFULLWINDOWS: uiParam non-zero switches it on. With
//    SPIF_UPDATEINIFILE the setting is stored; without it, it holds for this
//    process only. SPIF_SENDCHANGE has no one to notify.
// Returns false when the action is unknown, pvParam is missing, or the store
// could not be read or written.
bool systemParametersInfo(std::uint32_t action, std::uint32_t uiParam, void* pvParam, std::uint32_t winIni);

} // namespace tvrn2
