#include "diagnostics/MemoryArena.h"

#include "diagnostics/TraceLog.h"

#include <cerrno>
#include <cstring>
#include <sys/mman.h>

namespace tvrn2 {

void* MemoryArena::reserveAddressSpace(void* address, std::size_t size, int& error)
{
    int flags = MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | (address ? MAP_FIXED_NOREPLACE : 0);
    void* reserved = mmap(address, size, PROT_READ | PROT_WRITE, flags, -1, 0);
    if (reserved == MAP_FAILED) {
        error = errno;
        return nullptr;
    }
    // Kernels that predate the no-replace flag take the address as a hint.
    if (address && reserved != address) {
        munmap(reserved, size);
        error = EEXIST;
        return nullptr;
    }
    return reserved;
}

MemoryArena::MemoryArena(TraceLog& log, const Reserve& reserve)
{
    m_freeLists.fill(NoBlock);
    int error = 0;
    void* reserved = reserve(reinterpret_cast<void*>(PreferredAddress), Size, error);
    if (!reserved)
        reserved = reserve(nullptr, Size, error);
    if (!reserved) {
        log.write("Memory failed: %lx\r\n", static_cast<unsigned long>(error));
        return;
    }
    m_base = static_cast<char*>(reserved);
}

MemoryArena::~MemoryArena()
{
    if (m_base)
        munmap(m_base, Size);
}

std::size_t MemoryArena::sizeClass(std::size_t bytes) const
{
    for (std::size_t i = 0; i < BlockSizes.size(); ++i) {
        if (bytes <= BlockSizes[i])
            return i;
    }
    return BlockSizes.size();
}

void* MemoryArena::allocate(std::size_t bytes)
{
    std::size_t index = sizeClass(bytes);
    if (!bytes || index == BlockSizes.size() || !m_base)
        return nullptr;
    std::lock_guard lock(m_mutex);
    if (std::uint32_t offset = m_freeLists[index]; offset != NoBlock) {
        std::memcpy(&m_freeLists[index], m_base + offset, sizeof offset);
        return m_base + offset;
    }
    std::size_t size = BlockSizes[index];
    std::size_t alignment = size % 8 ? 4 : 8;
    std::size_t start = (m_used + alignment - 1) / alignment * alignment;
    if (start + size > Size)
        return nullptr;
    m_used = start + size;
    return m_base + start;
}

void MemoryArena::release(void* block, std::size_t bytes)
{
    std::size_t index = sizeClass(bytes);
    auto* at = static_cast<char*>(block);
    if (!bytes || index == BlockSizes.size() || !m_base || at < m_base || at >= m_base + Size)
        return;
    std::lock_guard lock(m_mutex);
    auto offset = static_cast<std::uint32_t>(at - m_base);
    if (offset >= m_used)
        return;
    std::memcpy(at, &m_freeLists[index], sizeof offset);
    m_freeLists[index] = offset;
}

} // namespace tvrn2
