#pragma once

#include "tests/support/TestSupport.h"

#include <cstdint>
#include <gio/gio.h>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace tvrn2::test {

// A message bus of the test's own standing in for the system bus: a private
// dbus-daemon listening in a temporary folder, with DBUS_SYSTEM_BUS_ADDRESS
// pointed at it while the object lives.
class PrivateSystemBus {
public:
    PrivateSystemBus();
    ~PrivateSystemBus();
    PrivateSystemBus(const PrivateSystemBus&) = delete;
    PrivateSystemBus& operator=(const PrivateSystemBus&) = delete;

    // Blank when the bus is up; otherwise what went wrong.
    const std::string& failure() const { return m_failure; }
    const std::string& address() const { return m_address; }
    // The test's own connection to the bus.
    GDBusConnection* connection() const { return m_connection; }

private:
    TempDir m_folder;
    std::string m_address;
    std::string m_failure;
    GSubprocess* m_daemon { nullptr };
    GDBusConnection* m_connection { nullptr };
    std::unique_ptr<ScopedEnv> m_systemBus;
};

// NetworkManager as python3-dbusmock's template plays it, on a private bus.
// The helpers drive the mock the way the service itself would change: add
// devices and saved connections, bring connections up, set its state.
class MockNetworkManager {
public:
    static constexpr const char* managerPath = "/org/freedesktop/NetworkManager";
    static constexpr std::uint32_t connectedGlobal = 70;
    static constexpr std::uint32_t disconnected = 20;

    MockNetworkManager();
    ~MockNetworkManager();
    MockNetworkManager(const MockNetworkManager&) = delete;
    MockNetworkManager& operator=(const MockNetworkManager&) = delete;

    // Blank when the service is up; otherwise what went wrong.
    const std::string& failure() const { return m_failure; }

    // A wired device; returns its path.
    std::string addEthernetDevice(const std::string& name);
    // A saved connection from its settings in GVariant text form, for
    // example "{'connection': {'id': <'Wired'>, 'type': <'802-3-ethernet'>}}";
    // returns its path.
    std::string addConnection(const std::string& settings);
    void setAvailable(const std::string& device, std::initializer_list<std::string> connections);
    // Brings a saved connection up as the service would on its own.
    std::string activate(const std::string& connection, const std::string& device);
    // Takes every active connection down.
    void deactivateAll();
    void setState(std::uint32_t state);
    void setPrimaryConnection(const std::string& activeConnection);

    std::vector<std::string> activeConnectionPaths();
    // The names of the active connections, in the service's order.
    std::vector<std::string> activeConnectionNames();
    // The first argument of every call of a method of the manager since the
    // last clearCalls(), as text.
    std::vector<std::string> callsOf(const std::string& method);
    void clearCalls();

    // Stops the service's process, so it answers nothing, and lets it go on.
    void pause();
    void resume();

private:
    GVariant* call(const std::string& path, const char* interface, const char* method, GVariant* arguments,
        const char* replyType);

    PrivateSystemBus m_bus;
    std::string m_failure;
    GSubprocess* m_service { nullptr };
};

} // namespace tvrn2::test
