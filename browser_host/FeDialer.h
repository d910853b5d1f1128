#pragma once

#include "browser_host/FeBase.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tvrn2 {

// Dials and hangs up Internet connections and tells whether the machine is
// online, through the connection library, which every operation loads for
// its one call and releases after it. Named connections it dialled are kept
// in the process-wide DunQ so they can be hung up by name or all at once.
// Nothing is shown to the user: every problem is a result code, traced when
// the dialer's debugging is on.
class FeDialer : public FeBase {
public:
    // Result codes of every dial, hang-up and close operation (0 is success,
    // or nothing to do). A later step's code replaces an earlier one.
    static constexpr std::uint8_t libraryMissing = 41;
    static constexpr std::uint8_t entryPointMissing = 42;
    static constexpr std::uint8_t releaseFailed = 43;
    static constexpr std::uint8_t callFailed = 44;

    // Longest connection name handed to the dial call.
    static constexpr std::size_t maxDialName = 19;

    FeDialer() = default;
    ~FeDialer() override = default;

    virtual std::uint8_t DialDefaultInternetConnection(); // 1
    virtual std::uint8_t HangUpInternetConnection(); // 2
    virtual std::uint8_t GetConnectedState(std::string& nameOut, std::size_t nameSize); // 3
    // A blank name hangs up every connection in the DunQ and empties it.
    virtual std::uint8_t HangUpNamedInternetConnection(std::string_view name); // 4
    virtual std::uint8_t DialNamedInternetConnection(std::string_view name); // 5
    virtual std::uint8_t CloseInternetHandle(std::intptr_t handle); // 6
    virtual std::uint8_t IsConnected(); // 7
    // Dials again the connection the machine is online through.
    virtual std::uint8_t RedialCurrentConnection(); // 8

    // The connected-state query. Modes 0 to 4 answer 1 or 0: 0 whether the
    // machine is online, 1 whether a proxy or remote access is there, 2 a
    // modem connection, 3 a LAN connection, 4 a proxy; 0 as well when the
    // library or its entry point is missing. Any other mode answers the
    // load code (0, 41, 42 or 43).
    std::uint8_t ConnectedState(std::uint8_t mode);

private:
    template <typename Function, typename Call> std::uint8_t withEntryPoint(const char* name, Call&& call);
};

} // namespace tvrn2
