// Heaps, task memory and counted strings over the C allocator. Each heap
// knows its live blocks, which lets a release check what it is handed and
// lets a heap be destroyed with everything still in it.

#include "diagnostics/pwutil/PwUtil.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>
#include <unordered_set>

namespace tvrn2::pw {

struct Heap {
    std::unordered_map<void*, std::size_t> blocks; // block -> size in bytes
};

namespace {

struct Heaps {
    std::mutex mutex;
    std::unordered_set<Heap*> live;
    Heap process;
    Heap task; // task memory
    Heap strings; // counted strings

    Heaps() { live.insert({ &process, &task, &strings }); }
};

// Never destroyed: static objects of the program may still release blocks
// while the process exits.
Heaps& heaps()
{
    static auto* instance = new Heaps;
    return *instance;
}

void* allocateLocked(Heap& heap, unsigned flags, std::size_t size)
{
    // A block of zero bytes is still a distinct block, as on Windows.
    std::size_t bytes = size ? size : 1;
    void* block = (flags & HeapZeroMemory) ? std::calloc(1, bytes) : std::malloc(bytes);
    if (!block)
        return nullptr;
    try {
        heap.blocks.emplace(block, size);
    } catch (const std::bad_alloc&) {
        std::free(block);
        return nullptr;
    }
    return block;
}

void* allocate(Heap* heap, unsigned flags, std::size_t size)
{
    auto& all = heaps();
    std::lock_guard lock(all.mutex);
    if (!all.live.contains(heap))
        return nullptr;
    return allocateLocked(*heap, flags, size);
}

Bool release(Heap* heap, void* block)
{
    if (!block)
        return 1;
    auto& all = heaps();
    std::lock_guard lock(all.mutex);
    if (!all.live.contains(heap))
        return 0;
    auto found = heap->blocks.find(block);
    if (found == heap->blocks.end())
        return 0;
    heap->blocks.erase(found);
    std::free(block);
    return 1;
}

void* reallocate(Heap* heap, unsigned flags, void* block, std::size_t size)
{
    if (!block)
        return allocate(heap, flags, size);
    if (!size) {
        release(heap, block);
        return nullptr;
    }
    auto& all = heaps();
    std::lock_guard lock(all.mutex);
    if (!all.live.contains(heap))
        return nullptr;
    auto found = heap->blocks.find(block);
    if (found == heap->blocks.end())
        return nullptr;
    std::size_t oldSize = found->second;
    void* moved = std::realloc(block, size);
    if (!moved)
        return nullptr;
    if ((flags & HeapZeroMemory) && size > oldSize)
        std::memset(static_cast<char*>(moved) + oldSize, 0, size - oldSize);
    auto node = heap->blocks.extract(found);
    node.key() = moved;
    node.mapped() = size;
    heap->blocks.insert(std::move(node));
    return moved;
}

} // namespace

} // namespace tvrn2::pw

using namespace tvrn2::pw;

HeapHandle pw_GetProcessHeap()
{
    return &heaps().process;
}

HeapHandle pw_HeapCreate(unsigned, std::size_t, std::size_t)
{
    auto* heap = new (std::nothrow) Heap;
    if (!heap)
        return nullptr;
    auto& all = heaps();
    std::lock_guard lock(all.mutex);
    try {
        all.live.insert(heap);
    } catch (const std::bad_alloc&) {
        delete heap;
        return nullptr;
    }
    return heap;
}

Bool pw_HeapDestroy(HeapHandle heap)
{
    auto& all = heaps();
    std::lock_guard lock(all.mutex);
    if (heap == &all.process || heap == &all.task || heap == &all.strings || !all.live.contains(heap))
        return 0;
    all.live.erase(heap);
    for (auto& [block, size] : heap->blocks)
        std::free(block);
    delete heap;
    return 1;
}

void* pw_HeapAlloc(HeapHandle heap, unsigned flags, std::size_t size)
{
    return allocate(heap, flags, size);
}

void* pw_HeapReAlloc(HeapHandle heap, unsigned flags, void* block, std::size_t size)
{
    return reallocate(heap, flags, block, size);
}

Bool pw_HeapFree(HeapHandle heap, unsigned, void* block)
{
    return release(heap, block);
}

void* pw_CoTaskMemAlloc(std::size_t size)
{
    return allocate(&heaps().task, 0, size);
}

void* pw_CoTaskMemRealloc(void* block, std::size_t size)
{
    return reallocate(&heaps().task, 0, block, size);
}

void pw_CoTaskMemFree(void* block)
{
    release(&heaps().task, block);
}

Bstr pw_SysAllocString(const OleChar* text)
{
    if (!text)
        return nullptr;
    std::size_t length = 0;
    while (text[length])
        ++length;
    std::uint32_t bytes = static_cast<std::uint32_t>(length * sizeof(OleChar));
    auto* block = static_cast<char*>(allocate(&heaps().strings, 0, sizeof bytes + bytes + sizeof(OleChar)));
    if (!block)
        return nullptr;
    std::memcpy(block, &bytes, sizeof bytes);
    std::memcpy(block + sizeof bytes, text, bytes + sizeof(OleChar));
    return reinterpret_cast<Bstr>(block + sizeof bytes);
}

void pw_SysFreeString(Bstr text)
{
    if (!text)
        return;
    // The length prefix sits in front of the text; the heap's own set of
    // blocks rejects anything that is not one of our strings.
    auto address = reinterpret_cast<std::uintptr_t>(text) - sizeof(std::uint32_t);
    release(&heaps().strings, reinterpret_cast<void*>(address));
}
