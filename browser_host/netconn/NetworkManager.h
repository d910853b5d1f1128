#pragma once

#include "platform/GObjectPtr.h"

#include <chrono>
#include <cstdint>
#include <gio/gio.h>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tvrn2::netconn {

// Raised when the network service cannot be reached or refuses a request.
// It never leaves the library: every entry point turns it into its failure
// answer.
class NetworkManagerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One connection the service has brought up (or is bringing up).
struct ActiveConnection {
    std::string path;
    std::string id;
    std::string type;
    std::string savedConnection; // path of the saved connection it runs
    std::uint32_t state { 0 };
    bool carriesDefaultRoute { false };

    static constexpr std::uint32_t activating = 1;
    static constexpr std::uint32_t activated = 2;
};

// A saved connection: its path and settings (a{sa{sv}}).
struct SavedConnection {
    std::string path;
    GVariantPtr settings;

    std::string text(const char* section, const char* key) const;
    std::optional<std::int64_t> number(const char* section, const char* key) const;
    std::optional<bool> flag(const char* section, const char* key) const;
};

// A private connection to NetworkManager on the system bus, made for one
// call of the library and closed after it. Private, because the library is
// unloaded after every call and must leave nothing behind in the process:
// the shared bus connection would outlive it and end the process when the
// bus goes away. Every request has a short time-out, so an absent or stuck
// service makes a call fail instead of hanging the caller.
class NetworkManager {
public:
    static constexpr std::chrono::milliseconds requestTimeout { 2000 };
    static constexpr std::uint32_t connectedSite = 60; // a default route exists
    static constexpr std::uint32_t connectedGlobal = 70;

    // Raises NetworkManagerError when the bus cannot be reached in time.
    NetworkManager();
    ~NetworkManager();
    NetworkManager(const NetworkManager&) = delete;
    NetworkManager& operator=(const NetworkManager&) = delete;

    // The service's own state, read in one request.
    struct Overview {
        std::uint32_t state { 0 };
        // The active connection that carries the default route; blank when
        // there is none or the service does not say.
        std::string primaryConnection;
        std::vector<std::string> activeConnections;
    };
    Overview overview();
    ActiveConnection activeConnection(const std::string& path);
    std::vector<ActiveConnection> activeConnections(const Overview& overview);
    std::vector<std::string> savedConnectionPaths();
    SavedConnection savedConnection(const std::string& path);
    std::vector<std::string> devices();
    std::vector<std::string> availableConnections(const std::string& device);

    // Starts a saved connection ("/" lets the service choose the device);
    // returns the path of the active connection.
    std::string activate(const std::string& connection, const std::string& device);
    void deactivate(const std::string& activeConnection);
    // Waits until the active connection is up. False when it went down or
    // vanished instead, or did not come up within the time given.
    bool waitUntilActivated(const std::string& activeConnection, std::chrono::milliseconds limit);

private:
    GVariantPtr call(const std::string& path, const char* interface, const char* method, GVariant* arguments,
        const char* replyType);
    GVariantPtr property(const std::string& path, const char* interface, const char* name);

    GObjectPtr<GDBusConnection> m_bus;
};

} // namespace tvrn2::netconn
