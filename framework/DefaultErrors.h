#pragma once

#include <cstdint>
#include <span>

namespace tvrn2 {

// The framework's built-in message table as one packed block: a 16-bit entry
// count, then per entry the 16-bit number (little-endian), the level byte, the
// title and the text, each as a string with one length byte in front.
std::span<const std::uint8_t> defaultErrors();

} // namespace tvrn2
