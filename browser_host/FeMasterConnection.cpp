// FeMaster (see FeMaster.cpp for the whole): whether the machine is online,
// and dialling and hanging up connections.

#include "browser_host/FeDialer.h"
#include "browser_host/FeMaster.h"

namespace tvrn2 {

std::uint8_t FeMaster::IsOnline()
{
    FeDialer dialer;
    return dialer.ConnectedState(0);
}

std::uint8_t FeMaster::ConnectionAction(std::uint8_t action, std::string_view name)
{
    // A fresh dialer for the one operation: number 0 and debugging off, so
    // its own trace lines stay silent on this path.
    FeDialer dialer;
    switch (action) {
    case 1:
        return dialer.DialDefaultInternetConnection();
    case 2:
        return dialer.DialNamedInternetConnection(name);
    case 3:
        return dialer.HangUpInternetConnection();
    case 4:
        return dialer.HangUpNamedInternetConnection(name);
    case 5:
        return dialer.RedialCurrentConnection();
    default:
        return 0;
    }
}

} // namespace tvrn2
