#include "tests/browser_host/HeapMeter.h"

#include <atomic>
#include <cstdlib>
#include <malloc.h>
#include <new>

// The program's operator new and delete are replaced by ones that keep count,
// over malloc and free so that the sanitizers still see every block. Each
// block counts at its usable size, which both sides can ask for.

namespace {

std::atomic<std::size_t> inUse { 0 };
std::atomic<std::size_t> peak { 0 };

void* allocate(std::size_t size) noexcept
{
    void* block = std::malloc(size == 0 ? 1 : size);
    if (!block)
        return nullptr;
    std::size_t now
        = inUse.fetch_add(malloc_usable_size(block), std::memory_order_relaxed) + malloc_usable_size(block);
    std::size_t highest = peak.load(std::memory_order_relaxed);
    while (now > highest && !peak.compare_exchange_weak(highest, now, std::memory_order_relaxed)) { }
    return block;
}

void* allocateOrThrow(std::size_t size)
{
    void* block = allocate(size);
    if (!block)
        throw std::bad_alloc();
    return block;
}

void release(void* block) noexcept
{
    if (!block)
        return;
    inUse.fetch_sub(malloc_usable_size(block), std::memory_order_relaxed);
    std::free(block);
}

} // namespace

void* operator new(std::size_t size)
{
    return allocateOrThrow(size);
}
void* operator new[](std::size_t size)
{
    return allocateOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return allocate(size);
}
void operator delete(void* block) noexcept
{
    release(block);
}
void operator delete[](void* block) noexcept
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
void operator delete(void* block, const std::nothrow_t&) noexcept
{
    release(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept
{
    release(block);
}

namespace tvrn2::test {

HeapMeter::HeapMeter()
    : m_base(inUse.load())
{
    peak.store(m_base);
}

std::size_t HeapMeter::peakGrowth() const
{
    std::size_t highest = peak.load();
    return highest > m_base ? highest - m_base : 0;
}

} // namespace tvrn2::test
