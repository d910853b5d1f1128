#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace tvrn2 {

// The address range of a thread's stack.
struct StackBounds {
    std::uintptr_t low = 0;
    std::uintptr_t high = 0;
};

// The calling thread's stack, or nothing when the system cannot say.
std::optional<StackBounds> currentStackBounds();

// Collects up to `limit` return addresses by following the chain of saved
// frame pointers from `frame`. Each frame holds the caller's frame pointer
// followed by the return address. The walk stops at a frame that lies outside
// `stack` (so is not known to be readable), is misaligned, or does not lie
// above the previous one, and at a null return address.
std::vector<std::uintptr_t> walkFrames(const void* frame, StackBounds stack, std::size_t limit);

} // namespace tvrn2
