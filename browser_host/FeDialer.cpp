#include "browser_host/FeDialer.h"

#include "browser_host/ConnectionLibrary.h"
#include "browser_host/FeProcess.h"
#include "browser_host/FeSiteObjects.h"
#include "browser_host/netconn/ConnectionEntryPoints.h"
#include "platform/FixedText.h"
#include "platform/Window.h"

#include <algorithm>
#include <array>

namespace tvrn2 {
namespace {

// Sizes of the name buffers the connected-state calls are given.
constexpr std::size_t stateNameBuffer = 20;
constexpr std::size_t queryNameBuffer = 254;

std::intptr_t callerWindowHandle()
{
    Window* window = Window::current();
    return window ? windowHandleOf(*window) : 0;
}

std::string number(std::int64_t value)
{
    return std::to_string(value);
}

// A DunQ record belongs to a name when the name, cut to the record's field,
// matches; so a name longer than the field still finds the record its dial made.
bool recordOf(const DunQRecord& record, std::string_view name)
{
    return record.CONNECTIONNAME == decltype(record.CONNECTIONNAME)(clip(name));
}

} // namespace

template <typename Function, typename Call>
std::uint8_t FeDialer::withEntryPoint(const char* name, Call&& call)
{
    auto& library = connectionLibrary();
    void* handle = library.open();
    if (!handle)
        return libraryMissing;
    std::uint8_t code = entryPointMissing;
    if (void* entry = library.symbol(handle, name))
        code = call(*reinterpret_cast<Function*>(entry));
    if (library.close(handle) != 0)
        code = releaseFailed;
    return code;
}

std::uint8_t FeDialer::DialDefaultInternetConnection()
{
    return withEntryPoint<netconn::AutodialFunction>("InternetAutodial", [this](auto& autodial) {
        auto window = callerWindowHandle();
        Trace("DialDefaultInternetConnection: Calling function with parms 1; " + number(window));
        int result = autodial(1, window);
        Trace("DialDefaultInternetConnection: Function returned " + number(result));
        return result ? std::uint8_t(0) : callFailed;
    });
}

std::uint8_t FeDialer::HangUpInternetConnection()
{
    return withEntryPoint<netconn::AutodialHangupFunction>("InternetAutodialHangup", [this](auto& hangup) {
        int result = hangup(0);
        Trace("HangUpInternetConnection: Function returned " + number(result));
        return result ? std::uint8_t(0) : callFailed;
    });
}

std::uint8_t FeDialer::GetConnectedState(std::string& nameOut, std::size_t nameSize)
{
    std::array<char, stateNameBuffer> name {};
    auto code = withEntryPoint<netconn::GetConnectedStateExFunction>(
        "InternetGetConnectedStateEx", [&](auto& getState) {
            std::uint32_t flags = 0;
            int result = getState(&flags, name.data(), static_cast<std::uint32_t>(name.size()), 0);
            name.back() = '\0';
            Trace("InternetGetConnectedStateEx: Function results...");
            Trace("InternetGetConnectedStateEx: Function returned " + number(result));
            Trace("InternetGetConnectedStateEx: Parm1 returned " + number(flags));
            Trace("InternetGetConnectedStateEx: Connection Name returned " + std::string(name.data()));
            return result ? std::uint8_t(0) : callFailed;
        });
    std::string_view returned(name.data());
    nameOut = returned.substr(0, std::min(returned.size(), nameSize));
    return code;
}

std::uint8_t FeDialer::HangUpNamedInternetConnection(std::string_view name)
{
    return withEntryPoint<netconn::HangUpFunction>("InternetHangUp", [&](auto& hangUp) {
        auto& queue = DunQ();
        if (!clip(name).empty()) {
            // The last record of the name wins, should there ever be more than one.
            auto found = std::find_if(queue.rbegin(), queue.rend(),
                [&](const DunQRecord& record) { return recordOf(record, name); });
            if (found == queue.rend()) {
                Trace("HangUpNamedInternetConnection: Could not resolve connection number.");
                return std::uint8_t(0);
            }
            Trace("HangUpNamedInternetConnection: Hanging up connection " + number(found->CONNECTIONNUMBER));
            auto result = hangUp(static_cast<std::uint32_t>(found->CONNECTIONNUMBER), 0);
            Trace("HangUpNamedInternetConnection: Function returned " + number(result));
            return result == netconn::success ? std::uint8_t(0) : callFailed;
        }

        // Every record goes, whether its hang-up worked or not, so the queue
        // ends empty; but one that failed must not be hidden by a later one
        // that worked: that connection may still be up.
        std::uint8_t code = 0;
        while (!queue.empty()) {
            auto connection = queue.front().CONNECTIONNUMBER;
            Trace(
                "HangUpNamedInternetConnection: Hanging up all connections, busy on: " + number(connection));
            auto result = hangUp(static_cast<std::uint32_t>(connection), 0);
            if (result != netconn::success)
                code = callFailed;
            Trace("HangUpNamedInternetConnection: Function returned " + number(result));
            queue.erase(queue.begin());
        }
        return code;
    });
}

std::uint8_t FeDialer::DialNamedInternetConnection(std::string_view name)
{
    return withEntryPoint<netconn::DialFunction>("InternetDial", [&](auto& dial) {
        CString<maxDialName + 1> dialName(clip(name));
        std::string dialled = dialName.clipped();
        std::uint32_t connection = 0;
        auto window = callerWindowHandle();
        Trace("DialNamedInternetConnection: Calling function with parms " + number(window) + "; " + dialled);
        auto result = dial(window, dialled.c_str(), 1, &connection, 0);
        std::uint8_t code = result == netconn::success ? 0 : callFailed;
        Trace("DialNamedInternetConnection: Function returned " + number(result) + "; Connection Number "
            + number(connection));

        if (connection != 0) {
            auto& queue = DunQ();
            std::erase_if(queue, [&](const DunQRecord& record) { return recordOf(record, name); });
            DunQRecord record;
            record.CONNECTIONNAME = clip(name);
            record.CONNECTIONNUMBER = static_cast<std::int32_t>(connection);
            queue.push_back(record);
            Trace("DialNamedInternetConnection: " + number(static_cast<std::int64_t>(queue.size()))
                + " records in DUN Q");
        }
        return code;
    });
}

std::uint8_t FeDialer::CloseInternetHandle(std::intptr_t handle)
{
    return withEntryPoint<netconn::CloseHandleFunction>("InternetCloseHandle", [&](auto& closeHandle) {
        int result = closeHandle(handle);
        Trace("InternetCloseHandle: Function returned " + number(result));
        return result ? std::uint8_t(0) : callFailed;
    });
}

std::uint8_t FeDialer::IsConnected()
{
    return ConnectedState(0);
}

std::uint8_t FeDialer::RedialCurrentConnection()
{
    std::string name;
    auto code = GetConnectedState(name, stateNameBuffer);
    if (!clip(name).empty())
        return DialNamedInternetConnection(name);
    return code;
}

std::uint8_t FeDialer::ConnectedState(std::uint8_t mode)
{
    std::uint32_t flags = 0;
    int online = 0;
    auto code = withEntryPoint<netconn::GetConnectedStateExFunction>(
        "InternetGetConnectedStateEx", [&](auto& getState) {
            std::array<char, queryNameBuffer> name {};
            online = getState(&flags, name.data(), static_cast<std::uint32_t>(name.size()), 0);
            return std::uint8_t(0);
        });
    if (mode > 4)
        return code;
    if (code == libraryMissing || code == entryPointMissing)
        return 0;
    switch (mode) {
    case 0:
        return online ? 1 : 0;
    case 1:
        return (flags & (netconn::connectionProxy | netconn::remoteAccessInstalled)) ? 1 : 0;
    case 2:
        return (flags & netconn::connectionModem) ? 1 : 0;
    case 3:
        return (flags & netconn::connectionLan) ? 1 : 0;
    default:
        return (flags & netconn::connectionProxy) ? 1 : 0;
    }
}

} // namespace tvrn2
