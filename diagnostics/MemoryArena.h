#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>

namespace tvrn2 {

class TraceLog;

// A reserved range of address space that hands out small blocks of 4, 8, 12,
// 16, 24 and 32 bytes, each size with its own free list. Pages are committed
// by the system as they are first touched.
class MemoryArena {
public:
    static constexpr std::size_t Size = 0x8000000;
    static constexpr std::uintptr_t PreferredAddress = 0x8000000;
    static constexpr std::array<std::size_t, 6> BlockSizes { 4, 8, 12, 16, 24, 32 };

    // Reserves `size` bytes of read-write address space, exactly at `address`
    // when one is given, else anywhere; on failure answers nullptr and sets
    // `error` to the system's error code. The arena unmaps what it gets.
    using Reserve = std::function<void*(void* address, std::size_t size, int& error)>;
    static void* reserveAddressSpace(void* address, std::size_t size, int& error);

    // Reserves the arena, at the preferred address when it is free; when no
    // reservation succeeds, writes "Memory failed: <code>" to `log` and stays
    // empty.
    explicit MemoryArena(TraceLog& log, const Reserve& reserve = reserveAddressSpace);
    ~MemoryArena();
    MemoryArena(const MemoryArena&) = delete;
    MemoryArena& operator=(const MemoryArena&) = delete;

    const void* base() const { return m_base; }
    bool empty() const { return !m_base; }

    // A block of at least `bytes` (1 to 32), or nullptr when the size is out
    // of range or the arena is full or empty.
    void* allocate(std::size_t bytes);
    // Returns a block obtained with the same `bytes`; a null block or one
    // outside the arena is ignored.
    void release(void* block, std::size_t bytes);

private:
    static constexpr std::uint32_t NoBlock = UINT32_MAX;

    // The free lists link blocks by their 32-bit offset into the arena, which
    // fits even in the 4-byte blocks.
    std::size_t sizeClass(std::size_t bytes) const;

    char* m_base = nullptr;
    std::size_t m_used = 0;
    std::array<std::uint32_t, BlockSizes.size()> m_freeLists;
    std::mutex m_mutex;
};

} // namespace tvrn2
