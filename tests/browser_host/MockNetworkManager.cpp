#include "tests/browser_host/MockNetworkManager.h"

#include "tests/support/PollWait.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <thread>

namespace tvrn2::test {
namespace {

constexpr const char* mockInterface = "org.freedesktop.DBus.Mock";
constexpr const char* mainPath = "/org/freedesktop";
constexpr const char* managerInterface = "org.freedesktop.NetworkManager";
constexpr const char* activeInterface = "org.freedesktop.NetworkManager.Connection.Active";
constexpr const char* deviceInterface = "org.freedesktop.NetworkManager.Device";
constexpr int callTimeoutMs = 10000;

void stop(GSubprocess*& process)
{
    if (!process)
        return;
    g_subprocess_force_exit(process);
    g_subprocess_wait(process, nullptr, nullptr);
    g_object_unref(process);
    process = nullptr;
}

std::string textOf(GVariant* value)
{
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_VARIANT)) {
        GVariant* inner = g_variant_get_variant(value);
        auto text = textOf(inner);
        g_variant_unref(inner);
        return text;
    }
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)
        || g_variant_is_of_type(value, G_VARIANT_TYPE_OBJECT_PATH))
        return g_variant_get_string(value, nullptr);
    char* printed = g_variant_print(value, FALSE);
    std::string text = printed;
    g_free(printed);
    return text;
}

// The text of a reply's first member; takes the reply over.
std::string firstText(GVariant* reply)
{
    if (!reply)
        return {};
    GVariant* first = g_variant_get_child_value(reply, 0);
    auto text = textOf(first);
    g_variant_unref(first);
    g_variant_unref(reply);
    return text;
}

} // namespace

PrivateSystemBus::PrivateSystemBus()
{
    auto socket = m_folder / "bus";
    auto config = m_folder.write("bus.conf",
        "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
        " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
        "<busconfig>\n"
        "  <listen>unix:path="
            + socket.string()
            + "</listen>\n"
              "  <auth>EXTERNAL</auth>\n"
              "  <policy context=\"default\">\n"
              "    <allow user=\"*\"/>\n"
              "    <allow own=\"*\"/>\n"
              "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
              "    <allow receive_sender=\"*\"/>\n"
              "  </policy>\n"
              "</busconfig>\n");
    GError* error = nullptr;
    // Its only complaint, that as root it may not raise its file limit, is noise here.
    m_daemon = g_subprocess_new(G_SUBPROCESS_FLAGS_STDERR_SILENCE, &error, "dbus-daemon", "--nofork",
        ("--config-file=" + config.string()).c_str(), nullptr);
    if (!m_daemon) {
        m_failure = std::string("dbus-daemon did not start: ") + error->message;
        g_error_free(error);
        return;
    }
    m_address = "unix:path=" + socket.string();
    // The socket file appears a moment before the daemon takes connections.
    std::string lastError;
    pollUntil(
        [&] {
            GError* refused = nullptr;
            m_connection = g_dbus_connection_new_for_address_sync(m_address.c_str(),
                static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT
                    | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                nullptr, nullptr, &refused);
            if (refused) {
                lastError = refused->message;
                g_error_free(refused);
            }
            return m_connection != nullptr;
        },
        std::chrono::seconds(30), std::chrono::milliseconds(20));
    if (!m_connection) {
        m_failure = "cannot connect to the test bus: " + lastError;
        return;
    }
    m_systemBus = std::make_unique<ScopedEnv>("DBUS_SYSTEM_BUS_ADDRESS", m_address);
}

PrivateSystemBus::~PrivateSystemBus()
{
    m_systemBus.reset();
    if (m_connection) {
        g_dbus_connection_close_sync(m_connection, nullptr, nullptr);
        g_object_unref(m_connection);
    }
    stop(m_daemon);
}

MockNetworkManager::MockNetworkManager()
{
    if (!m_bus.failure().empty()) {
        m_failure = m_bus.failure();
        return;
    }
    // Debian's python3-dbusmock belongs to the system's own interpreter,
    // whatever python3 comes first on the search path.
    GSubprocessLauncher* launcher = g_subprocess_launcher_new(G_SUBPROCESS_FLAGS_STDOUT_SILENCE);
    g_subprocess_launcher_setenv(launcher, "DBUS_SYSTEM_BUS_ADDRESS", m_bus.address().c_str(), TRUE);
    GError* error = nullptr;
    m_service = g_subprocess_launcher_spawn(launcher, &error, "/usr/bin/python3", "-m", "dbusmock",
        "--system", "--template", "networkmanager", nullptr);
    g_object_unref(launcher);
    if (!m_service) {
        m_failure = std::string("python3-dbusmock did not start: ") + error->message;
        g_error_free(error);
        return;
    }
    // Up once the manager answers for its state.
    bool up = pollUntil(
        [&] {
            // The identifier goes when the process has ended.
            if (!g_subprocess_get_identifier(m_service))
                return true;
            GVariant* reply = g_dbus_connection_call_sync(m_bus.connection(), managerInterface, managerPath,
                "org.freedesktop.DBus.Properties", "Get", g_variant_new("(ss)", managerInterface, "State"),
                nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, 1000, nullptr, nullptr);
            if (reply)
                g_variant_unref(reply);
            return reply != nullptr;
        },
        std::chrono::seconds(30), std::chrono::milliseconds(20));
    if (!up || !g_subprocess_get_identifier(m_service))
        m_failure = "the NetworkManager mock did not come up (is python3-dbusmock installed?)";
}

MockNetworkManager::~MockNetworkManager()
{
    stop(m_service);
}

GVariant* MockNetworkManager::call(const std::string& path, const char* interface, const char* method,
    GVariant* arguments, const char* replyType)
{
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(m_bus.connection(), managerInterface, path.c_str(),
        interface, method, arguments, replyType ? G_VARIANT_TYPE(replyType) : nullptr,
        G_DBUS_CALL_FLAGS_NO_AUTO_START, callTimeoutMs, nullptr, &error);
    if (!reply) {
        ADD_FAILURE() << "mock call " << method << " on " << path << ": " << error->message;
        g_error_free(error);
    }
    return reply;
}

std::string MockNetworkManager::addEthernetDevice(const std::string& name)
{
    constexpr std::int32_t deviceDisconnected = 30;
    return firstText(call(mainPath, mockInterface, "AddEthernetDevice",
        g_variant_new("(ssi)", name.c_str(), name.c_str(), deviceDisconnected), "(s)"));
}

std::string MockNetworkManager::addConnection(const std::string& settings)
{
    GError* error = nullptr;
    GVariant* value
        = g_variant_parse(G_VARIANT_TYPE("a{sa{sv}}"), settings.c_str(), nullptr, nullptr, &error);
    if (!value) {
        ADD_FAILURE() << "settings " << settings << ": " << error->message;
        g_error_free(error);
        return {};
    }
    return firstText(call("/org/freedesktop/NetworkManager/Settings",
        "org.freedesktop.NetworkManager.Settings", "AddConnection", g_variant_new_tuple(&value, 1), "(o)"));
}

void MockNetworkManager::setAvailable(
    const std::string& device, std::initializer_list<std::string> connections)
{
    GVariantBuilder paths;
    g_variant_builder_init(&paths, G_VARIANT_TYPE("ao"));
    for (const auto& connection : connections)
        g_variant_builder_add(&paths, "o", connection.c_str());
    GVariant* reply = call(mainPath, mockInterface, "SetProperty",
        g_variant_new(
            "(sssv)", device.c_str(), deviceInterface, "AvailableConnections", g_variant_builder_end(&paths)),
        nullptr);
    if (reply)
        g_variant_unref(reply);
}

std::string MockNetworkManager::activate(const std::string& connection, const std::string& device)
{
    return firstText(call(managerPath, managerInterface, "ActivateConnection",
        g_variant_new("(ooo)", connection.c_str(), device.c_str(), "/"), "(o)"));
}

void MockNetworkManager::deactivateAll()
{
    for (const auto& path : activeConnectionPaths()) {
        if (GVariant* done = call(managerPath, managerInterface, "DeactivateConnection",
                g_variant_new("(o)", path.c_str()), nullptr))
            g_variant_unref(done);
    }
}

void MockNetworkManager::setState(std::uint32_t state)
{
    if (GVariant* reply
        = call(mainPath, mockInterface, "SetGlobalConnectionState", g_variant_new("(u)", state), nullptr))
        g_variant_unref(reply);
}

void MockNetworkManager::setPrimaryConnection(const std::string& activeConnection)
{
    if (GVariant* reply = call(managerPath, mockInterface, "AddProperty",
            g_variant_new("(ssv)", managerInterface, "PrimaryConnection",
                g_variant_new_object_path(activeConnection.c_str())),
            nullptr))
        g_variant_unref(reply);
}

std::vector<std::string> MockNetworkManager::activeConnectionPaths()
{
    std::vector<std::string> paths;
    GVariant* reply = call(managerPath, "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", managerInterface, "ActiveConnections"), "(v)");
    if (!reply)
        return paths;
    GVariant* boxed = g_variant_get_child_value(reply, 0);
    GVariant* list = g_variant_get_variant(boxed);
    GVariantIter iter;
    g_variant_iter_init(&iter, list);
    const char* path = nullptr;
    while (g_variant_iter_next(&iter, "&o", &path))
        paths.emplace_back(path);
    g_variant_unref(list);
    g_variant_unref(boxed);
    g_variant_unref(reply);
    return paths;
}

std::vector<std::string> MockNetworkManager::activeConnectionNames()
{
    std::vector<std::string> names;
    for (const auto& path : activeConnectionPaths()) {
        names.push_back(firstText(call(path, "org.freedesktop.DBus.Properties", "Get",
            g_variant_new("(ss)", activeInterface, "Id"), "(v)")));
    }
    return names;
}

std::vector<std::string> MockNetworkManager::callsOf(const std::string& method)
{
    std::vector<std::string> calls;
    GVariant* reply = call(
        managerPath, mockInterface, "GetMethodCalls", g_variant_new("(s)", method.c_str()), "(a(tav))");
    if (!reply)
        return calls;
    GVariantIter* iter = nullptr;
    g_variant_get(reply, "(a(tav))", &iter);
    guint64 time = 0;
    GVariantIter* arguments = nullptr;
    while (g_variant_iter_next(iter, "(tav)", &time, &arguments)) {
        GVariant* first = nullptr;
        calls.push_back(g_variant_iter_next(arguments, "v", &first) ? textOf(first) : std::string());
        if (first)
            g_variant_unref(first);
        g_variant_iter_free(arguments);
    }
    g_variant_iter_free(iter);
    g_variant_unref(reply);
    return calls;
}

void MockNetworkManager::clearCalls()
{
    if (GVariant* reply = call(managerPath, mockInterface, "ClearCalls", nullptr, nullptr))
        g_variant_unref(reply);
}

// GSubprocess sends its signals later from a worker thread; the test must
// know the service is stopped before it makes its next call, so the signals
// go out here and now.
void MockNetworkManager::pause()
{
    const char* id = g_subprocess_get_identifier(m_service);
    ASSERT_NE(id, nullptr) << "the mock has ended";
    pid_t pid = std::stoi(id);
    ASSERT_EQ(kill(pid, SIGSTOP), 0);
    auto stopped = [&] {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        auto end = text.rfind(')');
        return end != std::string::npos && text.compare(end, 3, ") T") == 0;
    };
    EXPECT_TRUE(pollUntil(stopped, std::chrono::seconds(10)));
}

void MockNetworkManager::resume()
{
    if (const char* id = g_subprocess_get_identifier(m_service))
        kill(std::stoi(id), SIGCONT);
}

} // namespace tvrn2::test
