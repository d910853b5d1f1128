// The program's own heap: this executable's replacement of the global
// operator new and delete. Every form of them in the process lands here;
// each takes its block from the C allocator and tells leak tracking who
// asked for it, which keeps the blocks the program's own code allocates.
//
// Linked into the program's executables only, never into a library. A
// sanitizer build keeps the sanitizers' allocator and leaves this empty.
#include "diagnostics/LeakTracker.h"

#if !defined(__SANITIZE_ADDRESS__)

#include <cstdlib>
#include <new>

namespace {

using tvrn2::LeakTracker;

// Registers the replacement before main, so that activation tracks the heap.
[[gnu::constructor]] void announce()
{
    LeakTracker::useFreeStore();
}

void* plainBlock(std::size_t size, std::size_t alignment)
{
    if (size == 0)
        size = 1;
    if (alignment <= alignof(std::max_align_t))
        return std::malloc(size);
    // aligned_alloc wants a size that is a multiple of the alignment.
    size = (size + alignment - 1) / alignment * alignment;
    return std::aligned_alloc(alignment, size);
}

// The throwing forms: the new-handler is given its chance, as the standard asks.
void* block(std::size_t size, std::size_t alignment, const void* caller)
{
    void* result = plainBlock(size, alignment);
    while (!result) {
        std::new_handler handler = std::get_new_handler();
        if (!handler)
            throw std::bad_alloc();
        handler();
        result = plainBlock(size, alignment);
    }
    LeakTracker::freeStoreAllocated(result, size, caller);
    return result;
}

void* blockOrNull(std::size_t size, std::size_t alignment, const void* caller) noexcept
{
    try {
        return block(size, alignment, caller);
    } catch (...) {
        return nullptr;
    }
}

void release(void* block) noexcept
{
    if (!block)
        return;
    LeakTracker::freeStoreReleased(block);
    std::free(block);
}

constexpr std::size_t plain = alignof(std::max_align_t);

} // namespace

// Each form reads its own return address: the caller is the code that wrote `new`.
#define TVRN2_CALLER __builtin_extract_return_addr(__builtin_return_address(0))

[[gnu::noinline]] void* operator new(std::size_t size)
{
    return block(size, plain, TVRN2_CALLER);
}

[[gnu::noinline]] void* operator new[](std::size_t size)
{
    return block(size, plain, TVRN2_CALLER);
}

[[gnu::noinline]] void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return blockOrNull(size, plain, TVRN2_CALLER);
}

[[gnu::noinline]] void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return blockOrNull(size, plain, TVRN2_CALLER);
}

[[gnu::noinline]] void* operator new(std::size_t size, std::align_val_t alignment)
{
    return block(size, static_cast<std::size_t>(alignment), TVRN2_CALLER);
}

[[gnu::noinline]] void* operator new[](std::size_t size, std::align_val_t alignment)
{
    return block(size, static_cast<std::size_t>(alignment), TVRN2_CALLER);
}

[[gnu::noinline]] void* operator new(
    std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
    return blockOrNull(size, static_cast<std::size_t>(alignment), TVRN2_CALLER);
}

[[gnu::noinline]] void* operator new[](
    std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
    return blockOrNull(size, static_cast<std::size_t>(alignment), TVRN2_CALLER);
}

#undef TVRN2_CALLER

void operator delete(void* block) noexcept
{
    release(block);
}

void operator delete[](void* block) noexcept
{
    release(block);
}

void operator delete(void* block, const std::nothrow_t&) noexcept
{
    release(block);
}

void operator delete[](void* block, const std::nothrow_t&) noexcept
{
    release(block);
}

void operator delete(void* block, std::size_t) noexcept
{
    release(block);
}

void operator delete[](void* block, std::size_t) noexcept
{
    release(block);
}

void operator delete(void* block, std::align_val_t) noexcept
{
    release(block);
}

void operator delete[](void* block, std::align_val_t) noexcept
{
    release(block);
}

void operator delete(void* block, std::size_t, std::align_val_t) noexcept
{
    release(block);
}

void operator delete[](void* block, std::size_t, std::align_val_t) noexcept
{
    release(block);
}

void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept
{
    release(block);
}

void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept
{
    release(block);
}

#endif
