#include "browser_host/FeDialer.h"

#include "browser_host/ConnectionLibrary.h"
#include "browser_host/FeMaster.h"
#include "browser_host/FeProcess.h"
#include "platform/FixedText.h"
#include "tests/browser_host/MockNetworkManager.h"
#include "tests/support/TestSupport.h"

#include <chrono>
#include <csignal>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tvrn2 {
namespace {

using test::CapturedDebugOutput;
using test::MockNetworkManager;
using test::ScopedEnv;
using test::TempDir;

std::string line(std::string_view text)
{
    return std::string(text) + "\r\n";
}

// Loads the connection library from a path the test chooses, counting loads
// and releases; it can make every release report a failure (after really
// releasing the library).
class PointedConnectionLibrary final : public ConnectionLibrary {
public:
    explicit PointedConnectionLibrary(std::string path, bool failRelease = false)
        : m_path(std::move(path))
        , m_failRelease(failRelease)
    { }
    PointedConnectionLibrary(const PointedConnectionLibrary&) = delete;
    PointedConnectionLibrary& operator=(const PointedConnectionLibrary&) = delete;

    void* open() override
    {
        ++loads;
        return dlopen(m_path.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    int close(void* library) override
    {
        ++releases;
        int result = dlclose(library);
        return m_failRelease ? -1 : result;
    }

    int loads { 0 };
    int releases { 0 };

private:
    std::string m_path;
    bool m_failRelease;
    ScopedConnectionLibrary m_installed { *this };
};

// Every operation that takes the result code, as one table.
struct Operation {
    const char* name;
    std::function<std::uint8_t(FeDialer&)> run;
};

const std::vector<Operation>& everyOperation()
{
    static const std::vector<Operation> operations {
        { "DialDefaultInternetConnection", [](FeDialer& d) { return d.DialDefaultInternetConnection(); } },
        { "HangUpInternetConnection", [](FeDialer& d) { return d.HangUpInternetConnection(); } },
        { "GetConnectedState",
            [](FeDialer& d) {
                std::string name = "untouched";
                return d.GetConnectedState(name, 20);
            } },
        { "HangUpNamedInternetConnection by name",
            [](FeDialer& d) { return d.HangUpNamedInternetConnection("Mobile"); } },
        { "HangUpNamedInternetConnection all",
            [](FeDialer& d) { return d.HangUpNamedInternetConnection(""); } },
        { "DialNamedInternetConnection",
            [](FeDialer& d) { return d.DialNamedInternetConnection("Mobile"); } },
        { "CloseInternetHandle", [](FeDialer& d) { return d.CloseInternetHandle(1); } },
        { "RedialCurrentConnection", [](FeDialer& d) { return d.RedialCurrentConnection(); } },
    };
    return operations;
}

class DunQGuard : public ::testing::Test {
protected:
    void SetUp() override { DunQ().clear(); }
    void TearDown() override { DunQ().clear(); }

    static std::vector<std::pair<std::string, std::int32_t>> queue()
    {
        std::vector<std::pair<std::string, std::int32_t>> records;
        for (const auto& record : DunQ())
            records.emplace_back(record.CONNECTIONNAME.raw(), record.CONNECTIONNUMBER);
        return records;
    }
};

using FeDialerLibraryTest = DunQGuard;

TEST_F(FeDialerLibraryTest, MissingLibraryOrEntryPointChangesNothing)
{
    struct Case {
        const char* library;
        std::uint8_t code;
    } cases[] = {
        { "/nonexistent/libtvrn2_netconn.so", FeDialer::libraryMissing },
        { TVRN2_PARTIAL_NETCONN_LIBRARY, FeDialer::entryPointMissing },
    };
    const std::vector<std::pair<std::string, std::int32_t>> seeded { { "Mobile", 7 } };
    for (const auto& c : cases) {
        PointedConnectionLibrary library(c.library);
        for (const auto& operation : everyOperation()) {
            // The test library has the dial call; it is looked at below.
            if (c.code == FeDialer::entryPointMissing
                && operation.name == std::string("DialNamedInternetConnection"))
                continue;
            DunQ() = { { "Mobile", 7 } };
            FeDialer dialer;
            EXPECT_EQ(operation.run(dialer), c.code) << c.library << ": " << operation.name;
            EXPECT_EQ(queue(), seeded) << c.library << ": " << operation.name;
        }
        FeDialer dialer;
        for (std::uint8_t mode = 0; mode <= 4; ++mode)
            EXPECT_EQ(dialer.ConnectedState(mode), 0) << c.library << ": mode " << int(mode);
        EXPECT_EQ(dialer.ConnectedState(5), c.code) << c.library;
        EXPECT_EQ(dialer.IsConnected(), 0) << c.library;
        FeMaster master;
        EXPECT_EQ(master.IsOnline(), 0) << c.library;
        for (std::uint8_t action : { 1, 3, 4, 5 })
            EXPECT_EQ(master.ConnectionAction(action, "Mobile"), c.code)
                << c.library << ": action " << int(action);
        // A library that loaded was released after every call.
        EXPECT_EQ(library.releases, c.code == FeDialer::entryPointMissing ? library.loads : 0);
    }
}

TEST_F(FeDialerLibraryTest, DialAnsweredWithoutNumberLeavesTheQueueAlone)
{
    PointedConnectionLibrary library(TVRN2_PARTIAL_NETCONN_LIBRARY);
    DunQ() = { { "Mobile", 7 } };
    FeDialer dialer;
    dialer.DEBUGGING = 1;
    dialer.CLASSINSTANCENUMBER = 2;
    CapturedDebugOutput output;
    EXPECT_EQ(dialer.DialNamedInternetConnection("Mobile"), 0);
    EXPECT_EQ(queue(), (std::vector<std::pair<std::string, std::int32_t>> { { "Mobile", 7 } }));
    EXPECT_EQ(output.lines(),
        (std::vector<std::string> {
            line("FE [2] : DialNamedInternetConnection: Calling function with parms 0; Mobile"),
            line("FE [2] : DialNamedInternetConnection: Function returned 0; Connection Number 0") }));
}

TEST_F(FeDialerLibraryTest, FailedReleaseReplacesEveryEarlierCode)
{
    TempDir folder;
    ScopedEnv noBus("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + (folder / "no-bus").string());
    struct Case {
        const char* library;
        const char* what;
        std::function<std::uint8_t(FeDialer&)> run;
    } cases[] = {
        { TVRN2_PARTIAL_NETCONN_LIBRARY, "entry point missing",
            [](FeDialer& d) { return d.HangUpInternetConnection(); } },
        { TVRN2_PARTIAL_NETCONN_LIBRARY, "call succeeded",
            [](FeDialer& d) { return d.DialNamedInternetConnection("Mobile"); } },
        { TVRN2_NETCONN_LIBRARY, "call failed",
            [](FeDialer& d) { return d.DialNamedInternetConnection("Mobile"); } },
        { TVRN2_NETCONN_LIBRARY, "load code of the query", [](FeDialer& d) { return d.ConnectedState(9); } },
    };
    for (const auto& c : cases) {
        PointedConnectionLibrary library(c.library, true);
        FeDialer dialer;
        EXPECT_EQ(c.run(dialer), FeDialer::releaseFailed) << c.what;
        EXPECT_EQ(library.releases, 1) << c.what;
    }
}

// Run in a child process by the test below, with the real loader.
TEST(ConnectionLibraryLookup, DISABLED_LoadsTheLibrary)
{
    auto& library = connectionLibrary();
    void* handle = library.open();
    ASSERT_NE(handle, nullptr) << dlerror();
    EXPECT_NE(library.symbol(handle, "InternetDial"), nullptr);
    EXPECT_EQ(library.close(handle), 0);
}

// Runs the test above in a program, with LD_LIBRARY_PATH set to the folder
// given (or unset); answers the exit status, -1 when it did not end in time.
int runLookupChild(const std::filesystem::path& program, const std::string& searchPath)
{
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) {
        if (!std::string_view(*entry).starts_with("LD_LIBRARY_PATH="))
            environment.emplace_back(*entry);
    }
    if (!searchPath.empty())
        environment.push_back("LD_LIBRARY_PATH=" + searchPath);
    std::vector<char*> envp;
    for (auto& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string path = program.string();
    std::string filter = "--gtest_filter=ConnectionLibraryLookup.DISABLED_LoadsTheLibrary";
    std::string disabled = "--gtest_also_run_disabled_tests";
    char* argv[] = { path.data(), filter.data(), disabled.data(), nullptr };

    pid_t child = fork();
    if (child == 0) {
        int quiet = ::open("/dev/null", O_WRONLY);
        dup2(quiet, 1);
        execve(path.c_str(), argv, envp.data());
        _exit(127);
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ConnectionLibraryLookup, FindsTheLibraryBesideTheProgramOrOnTheSearchPath)
{
    auto program = std::filesystem::read_symlink("/proc/self/exe");
    std::filesystem::path built(TVRN2_NETCONN_LIBRARY);

    EXPECT_EQ(runLookupChild(program, ""), 1) << "found nowhere: beside the test program there is no library";
    EXPECT_EQ(runLookupChild(program, built.parent_path().string()), 0) << "on the search path";

    // A hard link keeps the program's own path, so it runs from the folder
    // that holds the link; the folder sits beside the program for that.
    std::string pattern = (program.parent_path() / "lookup-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    std::filesystem::path folder(pattern);
    std::error_code error;
    std::filesystem::create_hard_link(program, folder / program.filename(), error);
    ASSERT_FALSE(error) << error.message();
    std::filesystem::copy_file(built, folder / built.filename());
    EXPECT_EQ(runLookupChild(folder / program.filename(), ""), 0) << "beside the program";
    std::filesystem::remove_all(folder);
}

// The program's own connection library against a mock NetworkManager.
class FeDialerNetworkManagerTest : public DunQGuard {
protected:
    void SetUp() override
    {
        DunQGuard::SetUp();
        mock = std::make_unique<MockNetworkManager>();
        ASSERT_EQ(mock->failure(), "");
        // Connections first: the mock brings an automatic connection up at
        // once when a device is there.
        wired = mock->addConnection(
            "{'connection': {'id': <'Wired office'>, 'type': <'802-3-ethernet'>, 'autoconnect': <true>}}");
        mobile = mock->addConnection(
            "{'connection': {'id': <'Mobile'>, 'type': <'gsm'>, 'autoconnect': <false>}}");
        backup = mock->addConnection(
            "{'connection': {'id': <'Backup'>, 'type': <'cdma'>, 'autoconnect': <false>}}");
        // An automatic dial-up connection below the wired one in priority.
        dialUp = mock->addConnection("{'connection': {'id': <'Dial-up'>, 'type': <'pppoe'>, "
                                     "'autoconnect': <true>, 'autoconnect-priority': <-5>}}");
        device = mock->addEthernetDevice("eth0");
        mock->setAvailable(device, { wired, dialUp });
        mock->clearCalls();
    }
    void TearDown() override
    {
        mock.reset();
        DunQGuard::TearDown();
    }

    std::vector<std::string> active() { return mock->activeConnectionNames(); }

    // Proxies of the environment would change the flags.
    ScopedEnv m_proxies[6]
        = { { "http_proxy", std::nullopt }, { "HTTP_PROXY", std::nullopt }, { "https_proxy", std::nullopt },
              { "HTTPS_PROXY", std::nullopt }, { "all_proxy", std::nullopt }, { "ALL_PROXY", std::nullopt } };
    PointedConnectionLibrary library { TVRN2_NETCONN_LIBRARY };
    std::unique_ptr<MockNetworkManager> mock;
    std::string device, wired, mobile, backup, dialUp;
};

TEST_F(FeDialerNetworkManagerTest, ConnectedStateFollowsTheActiveConnections)
{
    using Names = std::vector<std::string>;
    struct Step {
        const char* what;
        std::function<void()> change;
        std::uint8_t modes[5]; // online, proxy or remote access, modem, LAN, proxy
        std::uint8_t code;
        std::uint32_t flags;
        const char* name;
    };
    std::unique_ptr<ScopedEnv> proxy;
    Step steps[] = {
        { "nothing up", [&] { mock->setState(MockNetworkManager::disconnected); }, { 0, 1, 0, 0, 0 }, 44, 16,
            "" },
        { "wired up",
            [&] {
                mock->activate(wired, device);
                mock->setState(MockNetworkManager::connectedGlobal);
            },
            { 1, 1, 0, 1, 0 }, 0, 18, "Wired office" },
        { "modem dialled as well, and primary",
            [&] { mock->setPrimaryConnection(mock->activate(mobile, "/")); }, { 1, 1, 1, 1, 0 }, 0, 19,
            "Mobile" },
        { "proxy in the environment",
            [&] { proxy = std::make_unique<ScopedEnv>("https_proxy", "http://proxy:3128"); },
            { 1, 1, 1, 1, 1 }, 0, 23, "Mobile" },
        { "wired down",
            [&] {
                proxy.reset();
                mock->deactivateAll();
                mock->activate(mobile, "/");
            },
            { 1, 1, 1, 0, 0 }, 0, 17, "Mobile" },
    };
    for (auto& step : steps) {
        step.change();
        FeDialer dialer;
        for (std::uint8_t mode = 0; mode < 5; ++mode)
            EXPECT_EQ(dialer.ConnectedState(mode), step.modes[mode]) << step.what << ": mode " << int(mode);
        EXPECT_EQ(dialer.ConnectedState(5), 0) << step.what;

        dialer.DEBUGGING = 1;
        dialer.CLASSINSTANCENUMBER = 4;
        CapturedDebugOutput output;
        std::string name = "old";
        EXPECT_EQ(dialer.GetConnectedState(name, 20), step.code) << step.what;
        EXPECT_EQ(name, step.name) << step.what;
        EXPECT_EQ(output.lines(),
            (Names { line("FE [4] : InternetGetConnectedStateEx: Function results..."),
                line("FE [4] : InternetGetConnectedStateEx: Function returned "
                    + std::to_string(step.code ? 0 : 1)),
                line("FE [4] : InternetGetConnectedStateEx: Parm1 returned " + std::to_string(step.flags)),
                line(clip("FE [4] : InternetGetConnectedStateEx: Connection Name returned "
                    + std::string(step.name))) }))
            << step.what;
    }
}

TEST_F(FeDialerNetworkManagerTest, ProxyOfTheConnectionSettingsCounts)
{
    auto proxied
        = mock->addConnection("{'connection': {'id': <'Office proxy'>, 'type': <'802-3-ethernet'>},"
                              " 'proxy': {'method': <int32 1>, 'pac-url': <'http://wpad/wpad.dat'>}}");
    mock->activate(proxied, device);
    FeDialer dialer;
    EXPECT_EQ(dialer.ConnectedState(4), 1);
    EXPECT_EQ(dialer.ConnectedState(3), 1);
}

TEST_F(FeDialerNetworkManagerTest, DialByNameKeepsOneRecordPerName)
{
    FeDialer dialer;
    dialer.DEBUGGING = 1;
    dialer.CLASSINSTANCENUMBER = 3;
    CapturedDebugOutput output;
    ASSERT_EQ(dialer.DialNamedInternetConnection("Mobile"), 0);
    ASSERT_EQ(DunQ().size(), 1u);
    auto first = DunQ()[0].CONNECTIONNUMBER;
    EXPECT_NE(first, 0);
    EXPECT_EQ(DunQ()[0].CONNECTIONNAME.padded(), "Mobile" + std::string(14, ' '));
    EXPECT_EQ(active(), (std::vector<std::string> { "Mobile" }));
    EXPECT_EQ(output.lines(),
        (std::vector<std::string> {
            line("FE [3] : DialNamedInternetConnection: Calling function with parms 0; Mobile"),
            line("FE [3] : DialNamedInternetConnection: Function returned 0; Connection Number "
                + std::to_string(first)),
            line("FE [3] : DialNamedInternetConnection: 1 records in DUN Q") }));

    ASSERT_EQ(dialer.DialNamedInternetConnection("Backup"), 0);
    ASSERT_EQ(dialer.DialNamedInternetConnection("Mobile  "), 0);
    ASSERT_EQ(DunQ().size(), 2u);
    EXPECT_EQ(DunQ()[0].CONNECTIONNAME, "Backup");
    EXPECT_EQ(DunQ()[1].CONNECTIONNAME, "Mobile");
    EXPECT_NE(DunQ()[1].CONNECTIONNUMBER, first) << "the second dial's number replaces the first";

    // A name the service does not know fails and leaves the queue alone.
    auto before = queue();
    output.clear();
    EXPECT_EQ(dialer.DialNamedInternetConnection("Nowhere"), FeDialer::callFailed);
    EXPECT_EQ(queue(), before);
    EXPECT_EQ(output.lines().back(),
        line("FE [3] : DialNamedInternetConnection: Function returned 623; Connection Number 0"));
}

TEST_F(FeDialerNetworkManagerTest, LongNameIsDialledAsNineteenAndStoredAsTwenty)
{
    const std::string name = "Northern Mobile Data Plan";
    ASSERT_EQ(name.size(), 25u);
    mock->addConnection("{'connection': {'id': <'" + name.substr(0, 19) + "'>, 'type': <'gsm'>}}");
    FeDialer dialer;
    ASSERT_EQ(dialer.DialNamedInternetConnection(name), 0);
    ASSERT_EQ(dialer.DialNamedInternetConnection(name), 0);
    EXPECT_EQ(active(), (std::vector<std::string> { name.substr(0, 19), name.substr(0, 19) }));
    ASSERT_EQ(DunQ().size(), 1u);
    EXPECT_EQ(DunQ()[0].CONNECTIONNAME.raw(), name.substr(0, 20));

    // The same long name finds the record again.
    EXPECT_EQ(dialer.HangUpNamedInternetConnection(name), 0);
    EXPECT_EQ(active(), (std::vector<std::string> { name.substr(0, 19) }))
        << "only the second dial is hung up";
}

TEST_F(FeDialerNetworkManagerTest, HangUpByNameAndOfAll)
{
    FeDialer dialer;
    ASSERT_EQ(dialer.DialNamedInternetConnection("Mobile"), 0);
    ASSERT_EQ(dialer.DialNamedInternetConnection("Backup"), 0);
    auto dialled = queue();
    auto paths = mock->activeConnectionPaths();
    mock->clearCalls();

    dialer.DEBUGGING = 1;
    dialer.CLASSINSTANCENUMBER = 5;
    CapturedDebugOutput output;
    EXPECT_EQ(dialer.HangUpNamedInternetConnection("Nowhere"), 0);
    EXPECT_EQ(output.lines(),
        (std::vector<std::string> {
            line("FE [5] : HangUpNamedInternetConnection: Could not resolve connection number.") }));
    EXPECT_TRUE(mock->callsOf("DeactivateConnection").empty());

    EXPECT_EQ(dialer.HangUpNamedInternetConnection("Mobile"), 0);
    EXPECT_EQ(active(), (std::vector<std::string> { "Backup" }));
    EXPECT_EQ(queue(), dialled) << "a hang-up by name keeps the record";

    // Mobile's connection is gone already, so its hang-up fails; Backup's
    // works after it. The failure is reported, and the queue ends empty.
    output.clear();
    mock->clearCalls();
    EXPECT_EQ(dialer.HangUpNamedInternetConnection(""), FeDialer::callFailed);
    EXPECT_TRUE(DunQ().empty());
    EXPECT_TRUE(active().empty());
    EXPECT_EQ(mock->callsOf("DeactivateConnection"), (std::vector<std::string> { paths[1] }));
    auto number = [&](int i) { return std::to_string(dialled[i].second); };
    EXPECT_EQ(output.lines(),
        (std::vector<std::string> {
            line("FE [5] : HangUpNamedInternetConnection: Hanging up all connections, busy on: " + number(0)),
            line("FE [5] : HangUpNamedInternetConnection: Function returned 6"),
            line("FE [5] : HangUpNamedInternetConnection: Hanging up all connections, busy on: " + number(1)),
            line("FE [5] : HangUpNamedInternetConnection: Function returned 0") }));

    // Nothing left: no call at all.
    mock->clearCalls();
    output.clear();
    EXPECT_EQ(dialer.HangUpNamedInternetConnection(""), 0);
    EXPECT_TRUE(mock->callsOf("DeactivateConnection").empty());
    EXPECT_TRUE(output.lines().empty());
}

TEST_F(FeDialerNetworkManagerTest, AutodialActsOnTheAutomaticConnection)
{
    FeDialer dialer;
    mock->setState(MockNetworkManager::disconnected);
    EXPECT_EQ(dialer.DialDefaultInternetConnection(), 0);
    // The wired connection ranks first but is no dial-up connection.
    EXPECT_EQ(mock->callsOf("ActivateConnection"), (std::vector<std::string> { dialUp }));
    EXPECT_EQ(active(), (std::vector<std::string> { "Dial-up" }));

    // Online already: nothing to dial.
    mock->setState(MockNetworkManager::connectedGlobal);
    mock->clearCalls();
    EXPECT_EQ(dialer.DialDefaultInternetConnection(), 0);
    EXPECT_TRUE(mock->callsOf("ActivateConnection").empty());

    ASSERT_EQ(dialer.DialNamedInternetConnection("Mobile"), 0);
    mock->activate(wired, device);
    EXPECT_EQ(dialer.HangUpInternetConnection(), 0);
    EXPECT_EQ(active(), (std::vector<std::string> { "Mobile", "Wired office" }))
        << "only the automatic dial-up connection goes; the user's network stays";

    // A wired connection is not dialled by its name either.
    mock->clearCalls();
    EXPECT_EQ(dialer.DialNamedInternetConnection("Wired office"), FeDialer::callFailed);
    EXPECT_TRUE(mock->callsOf("ActivateConnection").empty());

    // No dial-up connection the service would start by itself.
    mock->setAvailable(device, { wired });
    mock->setState(MockNetworkManager::disconnected);
    EXPECT_EQ(dialer.DialDefaultInternetConnection(), FeDialer::callFailed);
}

TEST_F(FeDialerNetworkManagerTest, ConnectionActionRunsAFreshSilentDialer)
{
    FeMaster master;
    master.DEBUGGING = 2;
    master.CLASSINSTANCENUMBER = 6;
    CapturedDebugOutput output;

    for (std::uint8_t action : { 0, 6, 9 })
        EXPECT_EQ(master.ConnectionAction(action, ""), 0) << int(action);
    EXPECT_EQ(library.loads, 0) << "an unknown action makes no call";

    EXPECT_EQ(master.ConnectionAction(2, "Mobile"), 0);
    ASSERT_EQ(DunQ().size(), 1u);
    auto first = DunQ()[0].CONNECTIONNUMBER;
    // Redial goes through the connection the machine is online through.
    EXPECT_EQ(master.ConnectionAction(5, ""), 0);
    ASSERT_EQ(DunQ().size(), 1u);
    EXPECT_NE(DunQ()[0].CONNECTIONNUMBER, first);
    EXPECT_EQ(master.IsOnline(), 1);
    EXPECT_EQ(master.ConnectionAction(4, "Mobile"), 0);
    EXPECT_EQ(active(), (std::vector<std::string> { "Mobile" })) << "the redial's connection is hung up";

    // Online through the wired network: a redial restarts nothing.
    mock->deactivateAll();
    DunQ().clear();
    mock->setPrimaryConnection(mock->activate(wired, device));
    mock->clearCalls();
    EXPECT_EQ(master.ConnectionAction(5, ""), FeDialer::callFailed);
    EXPECT_TRUE(mock->callsOf("ActivateConnection").empty());
    EXPECT_TRUE(mock->callsOf("DeactivateConnection").empty());
    EXPECT_EQ(active(), (std::vector<std::string> { "Wired office" }));
    EXPECT_TRUE(output.lines().empty());
    EXPECT_EQ(library.releases, library.loads);
}

TEST_F(FeDialerNetworkManagerTest, KillHangsUpExactlyAsConfigured)
{
    using Names = std::vector<std::string>;
    struct Case {
        std::uint8_t disconnect, dial;
        std::uint32_t state;
        Names left;
        std::size_t records;
    } cases[] = {
        { 0, 0, MockNetworkManager::connectedGlobal, { "Wired office", "Dial-up", "Mobile" }, 1 },
        { 1, 0, MockNetworkManager::disconnected, { "Wired office", "Dial-up", "Mobile" }, 1 },
        { 1, 1, MockNetworkManager::connectedGlobal, { "Wired office", "Mobile" }, 1 },
        { 1, 2, MockNetworkManager::connectedGlobal, { "Wired office", "Dial-up" }, 0 },
        { 1, 0, MockNetworkManager::connectedGlobal, { "Wired office" }, 0 },
    };
    // The wired connection is the user's own: no way out takes it down.
    for (const auto& c : cases) {
        mock->deactivateAll();
        DunQ().clear();
        mock->activate(wired, device);
        mock->activate(dialUp, device);
        FeMaster dialling;
        ASSERT_EQ(dialling.ConnectionAction(2, "Mobile"), 0);
        mock->setState(c.state);
        auto loads = library.loads;

        FeMaster master;
        master.AUTODISCONNECTDEFAULTINTERNETCONNECTION = c.disconnect;
        master.AUTODIALDEFAULTINTERNETCONNECTION = c.dial;
        master.Kill();
        EXPECT_EQ(active(), c.left) << int(c.disconnect) << "/" << int(c.dial);
        EXPECT_EQ(DunQ().size(), c.records) << int(c.disconnect) << "/" << int(c.dial);
        if (c.disconnect == 0) {
            EXPECT_EQ(library.loads, loads) << "no call without auto-disconnect";
        }
    }
}

// Where the service cannot answer, every call fails within its time-out.
TEST_F(FeDialerLibraryTest, UnreachableServiceFailsCleanly)
{
    PointedConnectionLibrary library(TVRN2_NETCONN_LIBRARY);
    TempDir folder;
    std::unique_ptr<ScopedEnv> noBus;
    std::unique_ptr<test::PrivateSystemBus> emptyBus;
    std::unique_ptr<MockNetworkManager> stuck;
    std::function<void()> arrangements[] = {
        [&] {
            noBus = std::make_unique<ScopedEnv>(
                "DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + (folder / "none").string());
        },
        [&] {
            noBus.reset();
            emptyBus = std::make_unique<test::PrivateSystemBus>();
            ASSERT_EQ(emptyBus->failure(), "");
        },
        [&] {
            emptyBus.reset();
            stuck = std::make_unique<MockNetworkManager>();
            ASSERT_EQ(stuck->failure(), "");
            stuck->pause();
        },
    };
    const char* names[] = { "no bus", "no service on the bus", "service not answering" };
    for (int i = 0; i < 3; ++i) {
        arrangements[i]();
        auto start = std::chrono::steady_clock::now();
        DunQ() = { { "Mobile", 7 } };
        FeDialer dialer;
        EXPECT_EQ(dialer.IsConnected(), 0) << names[i];
        EXPECT_EQ(dialer.DialNamedInternetConnection("Mobile"), FeDialer::callFailed) << names[i];
        EXPECT_EQ(dialer.HangUpNamedInternetConnection("Mobile"), FeDialer::callFailed) << names[i];
        EXPECT_EQ(dialer.CloseInternetHandle(1), FeDialer::callFailed) << names[i];
        EXPECT_EQ(queue(), (std::vector<std::pair<std::string, std::int32_t>> { { "Mobile", 7 } }))
            << names[i];
        // Three calls of one time-out each at most, with room for a loaded machine.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15)) << names[i];
    }
    stuck->resume();
}

} // namespace
} // namespace tvrn2
