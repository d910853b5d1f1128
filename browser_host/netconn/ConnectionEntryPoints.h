#pragma once

// The calls of the connection library, as the browser host looks them up by
// name. Numbers follow the conventions of the dial-up calls they stand for:
// the BOOL calls answer 1 for success and 0 for failure, the dial and
// hang-up calls answer 0 for success and an error number otherwise.

#include <cstdint>

namespace tvrn2::netconn {

// The file name the library is built under and looked up by.
inline constexpr const char* libraryFileName = "libtvrn2_netconn.so";

// Connected-state flags.
inline constexpr std::uint32_t connectionModem = 0x01;
inline constexpr std::uint32_t connectionLan = 0x02;
inline constexpr std::uint32_t connectionProxy = 0x04;
inline constexpr std::uint32_t remoteAccessInstalled = 0x10;

// Answers of the dial and hang-up calls.
inline constexpr std::uint32_t success = 0;
inline constexpr std::uint32_t errorInvalidHandle = 6; // no active connection has that number
inline constexpr std::uint32_t errorInvalidParameter = 87;
inline constexpr std::uint32_t errorNoSuchConnection = 623; // no saved connection has that name
inline constexpr std::uint32_t errorConnectionFailed = 668; // activation failed or timed out
inline constexpr std::uint32_t errorServiceUnavailable = 1062; // the network service cannot be reached

using GetConnectedStateExFunction
    = int(std::uint32_t* flags, char* name, std::uint32_t nameSize, std::uint32_t reserved);
using AutodialFunction = int(std::uint32_t flags, std::intptr_t window);
using AutodialHangupFunction = int(std::uint32_t reserved);
using DialFunction = std::uint32_t(std::intptr_t window, const char* name, std::uint32_t flags,
    std::uint32_t* connection, std::uint32_t reserved);
using HangUpFunction = std::uint32_t(std::uint32_t connection, std::uint32_t reserved);
using CloseHandleFunction = int(std::intptr_t handle);

} // namespace tvrn2::netconn
