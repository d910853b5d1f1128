#include "browser_host/FeMaster.h"

namespace tvrn2 {

// FIXME: reads and writes arrive with the registry store. Until then every
// value reads blank, as a value that cannot be read does, and no key can be
// created.
std::string FeMaster::GetRegistryValue(std::string_view, std::string_view, std::string_view)
{
    return {};
}

std::uint8_t FeMaster::SetRegistryValue(
    std::string_view, std::string_view, std::string_view, std::string_view)
{
    return 1;
}

void FeMaster::GetIEPageSetup()
{
    static constexpr std::string_view hive = "hkey_current_user";
    static constexpr std::string_view key = "software\\microsoft\\internet explorer\\pagesetup";
    IEPRINTERHEADER = GetRegistryValue(hive, key, "header");
    IEPRINTERFOOTER = GetRegistryValue(hive, key, "footer");
    IEPRINTERORIENTATION = GetRegistryValue(hive, key, "orientation");
    if (IEPRINTERORIENTATION == "1")
        IEPRINTERORIENTATION = "portrait";
    else if (IEPRINTERORIENTATION == "2")
        IEPRINTERORIENTATION = "landscape";
}

} // namespace tvrn2
