#include "diagnostics/StackWalk.h"

#include <pthread.h>

namespace tvrn2 {

std::optional<StackBounds> currentStackBounds()
{
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0)
        return std::nullopt;
    void* low = nullptr;
    std::size_t size = 0;
    int status = pthread_attr_getstack(&attributes, &low, &size);
    pthread_attr_destroy(&attributes);
    if (status != 0)
        return std::nullopt;
    auto start = reinterpret_cast<std::uintptr_t>(low);
    return StackBounds { start, start + size };
}

std::vector<std::uintptr_t> walkFrames(const void* frame, StackBounds stack, std::size_t limit)
{
    std::vector<std::uintptr_t> addresses;
    auto current = reinterpret_cast<std::uintptr_t>(frame);
    constexpr std::uintptr_t frameBytes = 2 * sizeof(std::uintptr_t);
    while (addresses.size() < limit) {
        if (stack.high < frameBytes || current < stack.low || current > stack.high - frameBytes
            || current % alignof(std::uintptr_t))
            break;
        auto* words = reinterpret_cast<const std::uintptr_t*>(current);
        std::uintptr_t returnAddress = words[1];
        if (!returnAddress)
            break;
        addresses.push_back(returnAddress);
        std::uintptr_t next = words[0];
        if (next <= current)
            break;
        current = next;
    }
    return addresses;
}

} // namespace tvrn2
