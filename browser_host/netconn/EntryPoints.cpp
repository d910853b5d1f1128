// The six calls of the connection library, over NetworkManager.
//
// The library is loaded for a single call and unloaded after it, so it keeps
// no state: a connection number is derived from the path of the active
// connection it names, and every call opens and closes its own bus
// connection. No call raises past its C boundary.

#include "browser_host/netconn/ConnectionEntryPoints.h"
#include "browser_host/netconn/NetworkManager.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>
#include <tuple>

#define TVRN2_NETCONN_EXPORT extern "C" __attribute__((visibility("default")))

namespace tvrn2::netconn {
namespace {

// How long a dial waits for the service to bring a connection up; a modem
// may need most of it.
constexpr std::chrono::seconds activationLimit { 60 };

constexpr std::string_view activePathPrefix = "/org/freedesktop/NetworkManager/ActiveConnection/";

// The connection number of an active connection: its object number plus
// one, so that 0 never names a connection. 0 for a path of another form.
std::uint32_t numberOfActivePath(std::string_view path)
{
    if (!path.starts_with(activePathPrefix))
        return 0;
    auto digits = path.substr(activePathPrefix.size());
    if (digits.empty() || digits.size() > 10
        || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    auto number = std::strtoull(std::string(digits).c_str(), nullptr, 10) + 1;
    // Callers keep the number in a signed 32-bit field.
    return number <= INT32_MAX ? static_cast<std::uint32_t>(number) : 0;
}

std::string activePathOfNumber(std::uint32_t number)
{
    return std::string(activePathPrefix) + std::to_string(number - 1);
}

bool oneOf(std::string_view value, std::initializer_list<std::string_view> list)
{
    return std::find(list.begin(), list.end(), value) != list.end();
}

// Modem for mobile broadband, dial-up over a phone and the PPP links; LAN for
// wired and wireless networks and what is built on them. Tunnels, VPNs and
// the loopback count as neither.
std::uint32_t kindOf(const ActiveConnection& active, const SavedConnection* saved)
{
    if (oneOf(active.type, { "gsm", "cdma", "pppoe", "adsl" }))
        return connectionModem;
    if (active.type == "bluetooth")
        return saved && saved->text("bluetooth", "type") == "dun" ? connectionModem : connectionLan;
    if (oneOf(active.type,
            { "802-3-ethernet", "802-11-wireless", "bond", "bridge", "team", "vlan", "infiniband" }))
        return connectionLan;
    return 0;
}

// What the library dials and hangs up: dial-up kinds only. A wired or
// wireless network, and whatever is built on one, is the user's own and never
// taken down or started here.
bool isDialUp(const SavedConnection& saved)
{
    const std::string type = saved.text("connection", "type");
    if (oneOf(type, { "gsm", "cdma", "pppoe", "adsl" }))
        return true;
    return type == "bluetooth" && saved.text("bluetooth", "type") == "dun";
}

bool proxyInEnvironment()
{
    for (const char* name :
        { "http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY" }) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

struct ConnectedState {
    bool connected { false };
    std::uint32_t flags { 0 };
    std::string name;
};

ConnectedState connectedState(NetworkManager& manager)
{
    constexpr std::int64_t proxyAutomatic = 1;

    ConnectedState result;
    result.flags = remoteAccessInstalled;
    if (proxyInEnvironment())
        result.flags |= connectionProxy;

    auto overview = manager.overview();
    std::string primaryName, defaultRouteName;
    for (const auto& active : manager.activeConnections(overview)) {
        if (active.state != ActiveConnection::activated)
            continue;
        std::optional<SavedConnection> saved;
        if (!active.savedConnection.empty() && active.savedConnection != "/") {
            // A connection whose settings this user may not read still counts by its type.
            try {
                saved = manager.savedConnection(active.savedConnection);
            } catch (const NetworkManagerError&) { }
        }
        result.flags |= kindOf(active, saved ? &*saved : nullptr);
        if (saved && saved->number("proxy", "method") == proxyAutomatic)
            result.flags |= connectionProxy;
        if (active.path == overview.primaryConnection)
            primaryName = active.id;
        else if (defaultRouteName.empty() && active.carriesDefaultRoute)
            defaultRouteName = active.id;
    }
    result.name = primaryName.empty() ? defaultRouteName : primaryName;
    result.connected = overview.state >= NetworkManager::connectedSite;
    return result;
}

struct AutodialChoice {
    std::string connection;
    std::string device;
};

// The dial-up connection the service would bring up by itself: of those a
// device can carry and that may start automatically, the one of highest
// priority, then the one used last.
std::optional<AutodialChoice> autodialChoice(NetworkManager& manager)
{
    std::optional<AutodialChoice> best;
    std::tuple<std::int64_t, std::int64_t> bestRank { 0, 0 };
    for (const auto& device : manager.devices()) {
        for (const auto& path : manager.availableConnections(device)) {
            auto saved = manager.savedConnection(path);
            if (!isDialUp(saved) || !saved.flag("connection", "autoconnect").value_or(true))
                continue;
            std::tuple<std::int64_t, std::int64_t> rank {
                saved.number("connection", "autoconnect-priority").value_or(0),
                saved.number("connection", "timestamp").value_or(0)
            };
            if (!best || rank > bestRank) {
                best = AutodialChoice { path, device };
                bestRank = rank;
            }
        }
    }
    return best;
}

// Brings a saved connection up and waits for it; one that does not come up
// in time is taken down again, so a failed dial leaves nothing running.
bool bringUp(NetworkManager& manager, const std::string& connection, const std::string& device,
    std::string& activePath)
{
    activePath = manager.activate(connection, device);
    if (manager.waitUntilActivated(activePath, activationLimit))
        return true;
    try {
        manager.deactivate(activePath);
    } catch (const NetworkManagerError&) { }
    return false;
}

} // namespace
} // namespace tvrn2::netconn

using namespace tvrn2::netconn;

// TRUE when the machine has a route out; the flags and the name of the
// primary connection are filled in either way (when the service answers).
TVRN2_NETCONN_EXPORT int InternetGetConnectedStateEx(
    std::uint32_t* flags, char* name, std::uint32_t nameSize, std::uint32_t)
{
    if (flags)
        *flags = 0;
    if (name && nameSize)
        name[0] = '\0';
    try {
        NetworkManager manager;
        auto state = connectedState(manager);
        if (flags)
            *flags = state.flags;
        if (name && nameSize) {
            auto length = std::min<std::size_t>(state.name.size(), nameSize - 1);
            std::memcpy(name, state.name.data(), length);
            name[length] = '\0';
        }
        return state.connected ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

// Brings up the connection the service would start by itself, unless the
// machine is online already.
TVRN2_NETCONN_EXPORT int InternetAutodial(std::uint32_t, std::intptr_t)
{
    try {
        NetworkManager manager;
        if (manager.overview().state >= NetworkManager::connectedSite)
            return 1;
        auto choice = autodialChoice(manager);
        if (!choice)
            return 0;
        std::string active;
        return bringUp(manager, choice->connection, choice->device, active) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

// Takes down the dial-up connection the service would start by itself;
// TRUE also when it is not running or there is none.
TVRN2_NETCONN_EXPORT int InternetAutodialHangup(std::uint32_t)
{
    try {
        NetworkManager manager;
        auto choice = autodialChoice(manager);
        if (!choice)
            return 1;
        for (const auto& active : manager.activeConnections(manager.overview())) {
            if (active.savedConnection == choice->connection)
                manager.deactivate(active.path);
        }
        return 1;
    } catch (...) {
        return 0;
    }
}

// Brings up the saved dial-up connection of the given name and answers its
// number; another kind of connection of that name is not found.
TVRN2_NETCONN_EXPORT std::uint32_t InternetDial(
    std::intptr_t, const char* name, std::uint32_t, std::uint32_t* connection, std::uint32_t)
{
    if (!name || !*name || !connection)
        return errorInvalidParameter;
    *connection = 0;
    try {
        NetworkManager manager;
        std::string found;
        for (const auto& path : manager.savedConnectionPaths()) {
            auto saved = manager.savedConnection(path);
            if (saved.text("connection", "id") == name && isDialUp(saved)) {
                found = path;
                break;
            }
        }
        if (found.empty())
            return errorNoSuchConnection;
        std::string active;
        if (!bringUp(manager, found, "/", active))
            return errorConnectionFailed;
        auto number = numberOfActivePath(active);
        if (number == 0)
            return errorConnectionFailed;
        *connection = number;
        return success;
    } catch (...) {
        return errorServiceUnavailable;
    }
}

// Takes down the active dial-up connection of the given number; the number
// of any other connection is no handle of this library's.
TVRN2_NETCONN_EXPORT std::uint32_t InternetHangUp(std::uint32_t connection, std::uint32_t)
{
    if (connection == 0 || connection > INT32_MAX)
        return errorInvalidHandle;
    try {
        NetworkManager manager;
        auto path = activePathOfNumber(connection);
        for (const auto& active : manager.activeConnections(manager.overview())) {
            if (active.path != path)
                continue;
            std::optional<SavedConnection> saved;
            if (!active.savedConnection.empty() && active.savedConnection != "/")
                saved = manager.savedConnection(active.savedConnection);
            if (!saved || !isDialUp(*saved))
                return errorInvalidHandle;
            manager.deactivate(path);
            return success;
        }
        return errorInvalidHandle;
    } catch (...) {
        return errorServiceUnavailable;
    }
}

// The library hands out no handles, so there is none to close: every handle
// is refused.
TVRN2_NETCONN_EXPORT int InternetCloseHandle(std::intptr_t)
{
    return 0;
}
