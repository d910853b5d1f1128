#include "browser_host/FeMaster.h"

namespace tvrn2 {
namespace {

// FIXME: the connection control is not built yet. Until it is, the
// master behaves as on a machine without the connection library: the
// connected-state query answers "not connected" and every dial or
// hang-up reports the library missing (41).
constexpr std::uint8_t connectionLibraryMissing = 41;

std::uint8_t connectedStateWithoutConnectionControl()
{
    return 0;
}

} // namespace

std::uint8_t FeMaster::IsOnline()
{
    return connectedStateWithoutConnectionControl();
}

std::uint8_t FeMaster::ConnectionAction(std::uint8_t action, std::string_view)
{
    if (action >= 1 && action <= 5)
        return connectionLibraryMissing;
    return 0;
}

} // namespace tvrn2
