#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tvrn2 {

// The root of the browser host's class tree: an object number and a debug
// level, and the one diagnostic channel every operation of the library writes to.
class FeBase {
public:
    // Longest message a trace line carries; longer ones are cut, never rejected.
    static constexpr std::size_t maxTraceMessage = 1010;

    FeBase() = default;
    virtual ~FeBase() = default;
    FeBase(const FeBase&) = delete;
    FeBase& operator=(const FeBase&) = delete;

    // Emits at most one debugger-output line. Silent while DEBUGGING is 0
    // unless forced. With raw set the message goes out as it is; otherwise it
    // is prefixed "FE [n] : " with n the object's own number (useOwnNumber) or
    // the number given, "?" standing for 0.
    virtual void Trace(std::string_view message, std::int32_t number = 0, std::uint8_t raw = 0,
        std::uint8_t force = 0, std::uint8_t useOwnNumber = 1);

    // The text of a trace line, CR LF included, without the level check.
    static std::string traceLine(std::string_view message, std::int32_t number, bool raw);

    std::int32_t CLASSINSTANCENUMBER { 0 };
    std::uint8_t DEBUGGING { 0 }; // 0 off, 1 minimum, 2 maximum
};

} // namespace tvrn2
