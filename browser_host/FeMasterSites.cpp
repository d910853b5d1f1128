#include "browser_host/FeMaster.h"

namespace tvrn2 {

// FIXME: the control sites are not built yet. Nothing registers site
// objects, so there is nothing to place, move, focus or release: creating a
// control reports one error and leaves every site field at 0.

std::uint8_t FeMaster::InitOLE2(std::int32_t, std::int32_t, std::int32_t, std::string_view)
{
    return 1;
}

std::uint8_t FeMaster::KillOLE2()
{
    return 0;
}

void FeMaster::Resize(std::int32_t, std::uint8_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t)
{ }

void FeMaster::TakeFocus(std::int32_t)
{ }

void FeMaster::HideControl()
{
    Resize(0, 1, -1, -1, -1, -1);
    CONTROLSETTOHIDDEN = 1;
}

void FeMaster::UnhideControl()
{
    CONTROLSETTOHIDDEN = 0;
    Resize(0, 1, 0, 0, 0, 0);
}

} // namespace tvrn2
