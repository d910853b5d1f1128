#include "browser_host/netconn/NetworkManager.h"

#include <thread>

namespace tvrn2::netconn {
namespace {

constexpr const char* serviceName = "org.freedesktop.NetworkManager";
constexpr const char* managerPath = "/org/freedesktop/NetworkManager";
constexpr const char* managerInterface = "org.freedesktop.NetworkManager";
constexpr const char* settingsPath = "/org/freedesktop/NetworkManager/Settings";
constexpr const char* settingsInterface = "org.freedesktop.NetworkManager.Settings";
constexpr const char* savedConnectionInterface = "org.freedesktop.NetworkManager.Settings.Connection";
constexpr const char* activeInterface = "org.freedesktop.NetworkManager.Connection.Active";
constexpr const char* deviceInterface = "org.freedesktop.NetworkManager.Device";
constexpr const char* propertiesInterface = "org.freedesktop.DBus.Properties";

[[noreturn]] void fail(const std::string& what, GError* error)
{
    GErrorPtr owned(error);
    throw NetworkManagerError(what + (owned ? ": " + std::string(owned->message) : std::string()));
}

// The outcome of connecting to the bus, filled in by the completion callback.
struct PendingConnection {
    GDBusConnection* connection { nullptr };
    GError* error { nullptr };
    bool done { false };
};

void onConnected(GObject*, GAsyncResult* result, gpointer data)
{
    auto* pending = static_cast<PendingConnection*>(data);
    pending->connection = g_dbus_connection_new_for_address_finish(result, &pending->error);
    pending->done = true;
}

gboolean onConnectTimeout(gpointer cancellable)
{
    g_cancellable_cancel(static_cast<GCancellable*>(cancellable));
    return G_SOURCE_REMOVE;
}

// Connects to the system bus on a main context of our own, so the caller's
// loop runs nothing of ours and a bus that does not answer is given up after
// the request time-out. The completion always runs before this returns
// (cancelling completes the request), so nothing refers to this library's
// code once the call is over.
GObjectPtr<GDBusConnection> connectToSystemBus()
{
    GError* error = nullptr;
    GCharPtr address(g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SYSTEM, nullptr, &error));
    if (!address)
        fail("no system bus address", error);

    PendingConnection pending;
    {
        GHandle<GMainContext, g_main_context_unref> context(g_main_context_new());
        g_main_context_push_thread_default(context.get());
        auto cancellable = GObjectPtr<GCancellable>::adopt(g_cancellable_new());
        g_dbus_connection_new_for_address(address.get(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT
                | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, cancellable.get(), onConnected, &pending);
        GHandle<GSource, g_source_unref> timeout(
            g_timeout_source_new(static_cast<guint>(NetworkManager::requestTimeout.count())));
        g_source_set_callback(timeout.get(), onConnectTimeout, cancellable.get(), nullptr);
        g_source_attach(timeout.get(), context.get());
        while (!pending.done)
            g_main_context_iteration(context.get(), TRUE);
        g_source_destroy(timeout.get());
        // Let the request's own clean-up run before the context goes.
        while (g_main_context_iteration(context.get(), FALSE)) { }
        g_main_context_pop_thread_default(context.get());
    }

    if (!pending.connection)
        fail("system bus not reachable", pending.error);
    return GObjectPtr<GDBusConnection>::adopt(pending.connection);
}

std::string stringOf(GVariant* value)
{
    if (value
        && (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)
            || g_variant_is_of_type(value, G_VARIANT_TYPE_OBJECT_PATH)))
        return g_variant_get_string(value, nullptr);
    return {};
}

// The paths of an "ao" value, or of the first member of a reply that carries one.
std::vector<std::string> pathsOf(GVariant* value)
{
    std::vector<std::string> paths;
    if (value && g_variant_is_of_type(value, G_VARIANT_TYPE_TUPLE) && g_variant_n_children(value) > 0) {
        GVariantPtr first(g_variant_get_child_value(value, 0));
        return pathsOf(first.get());
    }
    if (!value || !g_variant_is_of_type(value, G_VARIANT_TYPE_OBJECT_PATH_ARRAY))
        return paths;
    GVariantIter iter;
    g_variant_iter_init(&iter, value);
    const char* item = nullptr;
    while (g_variant_iter_next(&iter, "&o", &item))
        paths.emplace_back(item);
    return paths;
}

GVariantPtr lookup(GVariant* dictionary, const char* key)
{
    return GVariantPtr(dictionary ? g_variant_lookup_value(dictionary, key, nullptr) : nullptr);
}

} // namespace

NetworkManager::NetworkManager()
    : m_bus(connectToSystemBus())
{ }

NetworkManager::~NetworkManager()
{
    g_dbus_connection_close_sync(m_bus.get(), nullptr, nullptr);
}

GVariantPtr NetworkManager::call(const std::string& path, const char* interface, const char* method,
    GVariant* arguments, const char* replyType)
{
    GError* error = nullptr;
    // No auto-start: a program dialling out has no business starting the
    // system's network service, and starting it could outlast the time-out.
    GVariant* reply = g_dbus_connection_call_sync(m_bus.get(), serviceName, path.c_str(), interface, method,
        arguments, replyType ? G_VARIANT_TYPE(replyType) : nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START,
        static_cast<int>(requestTimeout.count()), nullptr, &error);
    if (!reply)
        fail(std::string(method) + " " + path, error);
    return GVariantPtr(reply);
}

GVariantPtr NetworkManager::property(const std::string& path, const char* interface, const char* name)
{
    auto reply = call(path, propertiesInterface, "Get", g_variant_new("(ss)", interface, name), "(v)");
    GVariant* value = nullptr;
    g_variant_get(reply.get(), "(v)", &value);
    return GVariantPtr(value);
}

NetworkManager::Overview NetworkManager::overview()
{
    auto reply
        = call(managerPath, propertiesInterface, "GetAll", g_variant_new("(s)", managerInterface), "(a{sv})");
    GVariantPtr properties(g_variant_get_child_value(reply.get(), 0));
    Overview overview;
    auto state = lookup(properties.get(), "State");
    if (!state || !g_variant_is_of_type(state.get(), G_VARIANT_TYPE_UINT32))
        throw NetworkManagerError("no State");
    overview.state = g_variant_get_uint32(state.get());
    // Older services do not have the property.
    overview.primaryConnection = stringOf(lookup(properties.get(), "PrimaryConnection").get());
    if (overview.primaryConnection == "/")
        overview.primaryConnection.clear();
    overview.activeConnections = pathsOf(lookup(properties.get(), "ActiveConnections").get());
    return overview;
}

ActiveConnection NetworkManager::activeConnection(const std::string& path)
{
    auto reply = call(path, propertiesInterface, "GetAll", g_variant_new("(s)", activeInterface), "(a{sv})");
    GVariantPtr properties(g_variant_get_child_value(reply.get(), 0));
    ActiveConnection active;
    active.path = path;
    active.id = stringOf(lookup(properties.get(), "Id").get());
    active.type = stringOf(lookup(properties.get(), "Type").get());
    active.savedConnection = stringOf(lookup(properties.get(), "Connection").get());
    if (auto state = lookup(properties.get(), "State");
        state && g_variant_is_of_type(state.get(), G_VARIANT_TYPE_UINT32))
        active.state = g_variant_get_uint32(state.get());
    for (const char* key : { "Default", "Default6" }) {
        auto value = lookup(properties.get(), key);
        if (value && g_variant_is_of_type(value.get(), G_VARIANT_TYPE_BOOLEAN)
            && g_variant_get_boolean(value.get()))
            active.carriesDefaultRoute = true;
    }
    return active;
}

std::vector<ActiveConnection> NetworkManager::activeConnections(const Overview& overview)
{
    std::vector<ActiveConnection> connections;
    for (const auto& path : overview.activeConnections)
        connections.push_back(activeConnection(path));
    return connections;
}

std::vector<std::string> NetworkManager::savedConnectionPaths()
{
    return pathsOf(call(settingsPath, settingsInterface, "ListConnections", nullptr, "(ao)").get());
}

SavedConnection NetworkManager::savedConnection(const std::string& path)
{
    auto reply = call(path, savedConnectionInterface, "GetSettings", nullptr, "(a{sa{sv}})");
    return { path, GVariantPtr(g_variant_get_child_value(reply.get(), 0)) };
}

std::vector<std::string> NetworkManager::devices()
{
    return pathsOf(call(managerPath, managerInterface, "GetDevices", nullptr, "(ao)").get());
}

std::vector<std::string> NetworkManager::availableConnections(const std::string& device)
{
    return pathsOf(property(device, deviceInterface, "AvailableConnections").get());
}

std::string NetworkManager::activate(const std::string& connection, const std::string& device)
{
    auto reply = call(managerPath, managerInterface, "ActivateConnection",
        g_variant_new("(ooo)", connection.c_str(), device.c_str(), "/"), "(o)");
    const char* active = nullptr;
    g_variant_get(reply.get(), "(&o)", &active);
    return active;
}

void NetworkManager::deactivate(const std::string& activeConnection)
{
    call(managerPath, managerInterface, "DeactivateConnection",
        g_variant_new("(o)", activeConnection.c_str()), nullptr);
}

bool NetworkManager::waitUntilActivated(const std::string& path, std::chrono::milliseconds limit)
{
    constexpr std::chrono::milliseconds pause { 100 };
    auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        std::uint32_t state = 0;
        try {
            auto value = property(path, activeInterface, "State");
            if (g_variant_is_of_type(value.get(), G_VARIANT_TYPE_UINT32))
                state = g_variant_get_uint32(value.get());
        } catch (const NetworkManagerError&) {
            return false; // the active connection is gone
        }
        if (state == ActiveConnection::activated)
            return true;
        if (state > ActiveConnection::activated || std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(pause);
    }
}

std::string SavedConnection::text(const char* section, const char* key) const
{
    return stringOf(lookup(lookup(settings.get(), section).get(), key).get());
}

std::optional<std::int64_t> SavedConnection::number(const char* section, const char* key) const
{
    auto value = lookup(lookup(settings.get(), section).get(), key);
    if (!value)
        return std::nullopt;
    if (g_variant_is_of_type(value.get(), G_VARIANT_TYPE_INT32))
        return g_variant_get_int32(value.get());
    if (g_variant_is_of_type(value.get(), G_VARIANT_TYPE_UINT32))
        return g_variant_get_uint32(value.get());
    if (g_variant_is_of_type(value.get(), G_VARIANT_TYPE_UINT64))
        return static_cast<std::int64_t>(g_variant_get_uint64(value.get()));
    if (g_variant_is_of_type(value.get(), G_VARIANT_TYPE_INT64))
        return g_variant_get_int64(value.get());
    return std::nullopt;
}

std::optional<bool> SavedConnection::flag(const char* section, const char* key) const
{
    auto value = lookup(lookup(settings.get(), section).get(), key);
    if (!value || !g_variant_is_of_type(value.get(), G_VARIANT_TYPE_BOOLEAN))
        return std::nullopt;
    return g_variant_get_boolean(value.get()) != FALSE;
}

} // namespace tvrn2::netconn
