#include "diagnostics/LeakTracker.h"

#include "diagnostics/AllocationSite.h"
#include "diagnostics/ProcessModules.h"
#include "platform/DebugOutput.h"
#include "platform/FixedText.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <dlfcn.h>
#include <link.h>
#include <mutex>
#include <new>
#include <sys/utsname.h>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace tvrn2 {
namespace {

using namespace pw;

constexpr std::size_t ReportLineCapacity = 127;

struct LeakRecord {
    const void* item = nullptr;
    std::size_t size = 0;
    std::string file; // copied: the site's text may not outlive the item
    long line = 0;
    const void* caller = nullptr;
    LeakType type = LeakType::Memory;
    Window window = nullptr; // the window a window's device context belongs to
    HeapHandle heap = nullptr; // the heap a memory block belongs to
    std::uint64_t sequence = 0;
};

struct PendingRelease {
    LeakType type;
    HeapHandle heap;
    Window window;
};

using TypeMask = unsigned;
constexpr TypeMask maskOf(LeakType type)
{
    return 1u << unsigned(type);
}
constexpr TypeMask GraphicsObjects = maskOf(LeakType::Bitmap) | maskOf(LeakType::Palette)
    | maskOf(LeakType::Font) | maskOf(LeakType::Brush) | maskOf(LeakType::Pen);
constexpr TypeMask ReleasedAfterReport = maskOf(LeakType::Memory) | maskOf(LeakType::Bitmap)
    | maskOf(LeakType::CreatedDc) | maskOf(LeakType::WindowDc) | maskOf(LeakType::Palette)
    | maskOf(LeakType::Font) | maskOf(LeakType::Brush);

// Set while this thread runs the tracker's own bookkeeping: the blocks the
// bookkeeping allocates and frees are never tracked, and never wait for a
// lock the thread already holds.
thread_local bool inBookkeeping = false;

class Bookkeeping {
public:
    Bookkeeping()
        : m_outer(std::exchange(inBookkeeping, true))
    { }
    ~Bookkeeping() { inBookkeeping = m_outer; }
    Bookkeeping(const Bookkeeping&) = delete;
    Bookkeeping& operator=(const Bookkeeping&) = delete;

private:
    bool m_outer;
};

// Report order across both tables.
constinit std::atomic<std::uint64_t> nextSequence { 0 };

// The program's own heap. Its hooks run inside every operator new and delete
// of the process, from before main to after exit, so they look only at these
// flags until tracking has built the table.
constinit std::atomic<bool> freeStoreReplaced { false };
constinit std::atomic<bool> trackingFreeStore { false };
constinit std::atomic<bool> freeStoreHasReported { false };

struct FreeStore {
    std::mutex mutex;
    std::unordered_map<const void*, LeakRecord> records;
    // Blocks the report handed over; freed at exit unless the program frees them first.
    std::unordered_set<const void*> reported;
    // The executable's code: an allocation is the program's when its caller lies here.
    std::vector<std::pair<std::uintptr_t, std::uintptr_t>> code;

    bool ownCode(const void* caller) const
    {
        auto at = reinterpret_cast<std::uintptr_t>(caller);
        return std::any_of(code.begin(), code.end(),
            [at](const auto& segment) { return at >= segment.first && at < segment.second; });
    }
};

// Never destroyed, and first built by activation.
FreeStore& freeStore()
{
    static auto* instance = new FreeStore;
    return *instance;
}

// The executable segments of the module holding this code.
std::vector<std::pair<std::uintptr_t, std::uintptr_t>> ownCodeSegments()
{
    struct Search {
        std::uintptr_t probe;
        std::vector<std::pair<std::uintptr_t, std::uintptr_t>> segments;
    } search { reinterpret_cast<std::uintptr_t>(&ownCodeSegments), {} };
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* data) {
            auto* search = static_cast<Search*>(data);
            std::vector<std::pair<std::uintptr_t, std::uintptr_t>> segments;
            bool holdsProbe = false;
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                const auto& header = info->dlpi_phdr[i];
                if (header.p_type != PT_LOAD || !(header.p_flags & PF_X))
                    continue;
                std::uintptr_t begin = info->dlpi_addr + header.p_vaddr;
                std::uintptr_t end = begin + header.p_memsz;
                segments.emplace_back(begin, end);
                holdsProbe = holdsProbe || (search->probe >= begin && search->probe < end);
            }
            if (!holdsProbe)
                return 0;
            search->segments = std::move(segments);
            return 1;
        },
        &search);
    return search.segments;
}

// The tracking table. Every tracked call runs the library function and
// the bookkeeping under one lock, so that an address released on one
// thread and handed out again on another cannot lose or mix up records.
struct Tracker {
    std::mutex mutex;
    std::atomic<bool> active { false };
    std::unordered_map<const void*, LeakRecord> records;
    std::unordered_map<const void*, PendingRelease> pending;
    FixedText<260> path;
    Service* service = nullptr;
    void (*uninitialise)(Service*) = nullptr;

    // Caller holds the lock.
    void add(const void* item, std::size_t size, LeakType type, const void* caller, HeapHandle heap = nullptr,
        Window window = nullptr)
    {
        if (!item || !active.load(std::memory_order_relaxed))
            return;
        try {
            const char* file = AllocationSite::currentFile();
            LeakRecord record { item, size, file ? file : "", AllocationSite::currentLine(), caller, type,
                window, heap, nextSequence++ };
            records.insert_or_assign(item, std::move(record));
        } catch (const std::bad_alloc&) {
            // Only this record is lost.
        }
    }

    // Caller holds the lock. Drops the record (or the pending release) of
    // an item the program has released.
    void remove(const void* item, TypeMask types)
    {
        if (!item)
            return;
        if (auto found = records.find(item); found != records.end() && (maskOf(found->second.type) & types))
            records.erase(found);
        if (auto found = pending.find(item); found != pending.end() && (maskOf(found->second.type) & types))
            pending.erase(found);
    }

    void removeHeap(HeapHandle heap)
    {
        std::erase_if(records, [heap](const auto& entry) { return entry.second.heap == heap; });
        std::erase_if(pending, [heap](const auto& entry) { return entry.second.heap == heap; });
    }
};

// Never destroyed: static objects may call through the table while the
// process exits.
Tracker& tracker()
{
    static auto* instance = new Tracker;
    return *instance;
}

struct TableLock {
    Bookkeeping bookkeeping;
    std::unique_lock<std::mutex> lock { tracker().mutex };
};

TableLock lockTable()
{
    return {};
}

#define TVRN2_CALLER() __builtin_extract_return_addr(__builtin_return_address(0))

// Tracking forms of the functions that create an item (the result) or
// release one (the first argument, on success).
template <auto Function, LeakType Type> struct Creation;
template <typename Result, typename... Args, Result (*Function)(Args...), LeakType Type>
struct Creation<Function, Type> {
    __attribute__((noinline)) static Result call(Args... args)
    {
        const void* caller = TVRN2_CALLER();
        auto lock = lockTable();
        Result item = Function(args...);
        tracker().add(item, 0, Type, caller);
        return item;
    }
};

template <auto Function, TypeMask Types> struct Release;
template <typename Item, typename... Rest, Bool (*Function)(Item, Rest...), TypeMask Types>
struct Release<Function, Types> {
    static Bool call(Item item, Rest... rest)
    {
        auto lock = lockTable();
        Bool released = Function(item, rest...);
        if (released)
            tracker().remove(item, Types);
        return released;
    }
};
template <typename Item, void (*Function)(Item), TypeMask Types> struct Release<Function, Types> {
    static void call(Item item)
    {
        auto lock = lockTable();
        Function(item);
        tracker().remove(item, Types);
    }
};

// Reallocation: a null block is an allocation, size 0 a release, and a
// failed reallocation leaves the old block, and so its record, in place.
void reallocated(
    void* block, void* moved, std::size_t size, LeakType type, const void* caller, HeapHandle heap)
{
    auto& table = tracker();
    if (block && !size) {
        table.remove(block, maskOf(type));
    } else if (moved) {
        table.remove(block, maskOf(type));
        table.add(moved, size, type, caller, heap);
    }
}

__attribute__((noinline)) void* trackedHeapAlloc(HeapHandle heap, unsigned flags, std::size_t size)
{
    const void* caller = TVRN2_CALLER();
    auto lock = lockTable();
    void* block = pw_HeapAlloc(heap, flags, size);
    tracker().add(block, size, LeakType::Memory, caller, heap);
    return block;
}

__attribute__((noinline)) void* trackedHeapReAlloc(
    HeapHandle heap, unsigned flags, void* block, std::size_t size)
{
    const void* caller = TVRN2_CALLER();
    auto lock = lockTable();
    void* moved = pw_HeapReAlloc(heap, flags, block, size);
    reallocated(block, moved, size, LeakType::Memory, caller, heap);
    return moved;
}

Bool trackedHeapFree(HeapHandle heap, unsigned flags, void* block)
{
    auto lock = lockTable();
    Bool freed = pw_HeapFree(heap, flags, block);
    if (freed)
        tracker().remove(block, maskOf(LeakType::Memory));
    return freed;
}

Bool trackedHeapDestroy(HeapHandle heap)
{
    // Destroying a heap frees its blocks, so their records go with it.
    auto lock = lockTable();
    Bool destroyed = pw_HeapDestroy(heap);
    if (destroyed)
        tracker().removeHeap(heap);
    return destroyed;
}

__attribute__((noinline)) void* trackedCoTaskMemAlloc(std::size_t size)
{
    const void* caller = TVRN2_CALLER();
    auto lock = lockTable();
    void* block = pw_CoTaskMemAlloc(size);
    tracker().add(block, size, LeakType::TaskMemory, caller);
    return block;
}

__attribute__((noinline)) void* trackedCoTaskMemRealloc(void* block, std::size_t size)
{
    const void* caller = TVRN2_CALLER();
    auto lock = lockTable();
    void* moved = pw_CoTaskMemRealloc(block, size);
    reallocated(block, moved, size, LeakType::TaskMemory, caller, nullptr);
    return moved;
}

__attribute__((noinline)) HDC trackedGetDC(Window window)
{
    const void* caller = TVRN2_CALLER();
    auto lock = lockTable();
    HDC dc = pw_GetDC(window);
    tracker().add(dc, 0, LeakType::WindowDc, caller, nullptr, window);
    return dc;
}

int trackedReleaseDC(Window window, HDC dc)
{
    auto lock = lockTable();
    int released = pw_ReleaseDC(window, dc);
    if (released)
        tracker().remove(dc, maskOf(LeakType::WindowDc));
    return released;
}

[[noreturn]] void trackedExitThread(std::uint32_t exitCode)
{
    outputDebugString("Exiting Thread");
    pw_ExitThread(exitCode);
}

constexpr ImportTable trackingTable {
    Creation<pw_CreateBitmap, LeakType::Bitmap>::call,
    Creation<pw_CreatePalette, LeakType::Palette>::call,
    Creation<pw_CreateHalftonePalette, LeakType::Palette>::call,
    Creation<pw_CreateFont, LeakType::Font>::call,
    Creation<pw_CreateFontIndirect, LeakType::Font>::call,
    Creation<pw_CreatePen, LeakType::Pen>::call,
    Creation<pw_CreatePenIndirect, LeakType::Pen>::call,
    Creation<pw_CreateSolidBrush, LeakType::Brush>::call,
    Release<pw_DeleteObject, GraphicsObjects>::call,
    Creation<pw_CreateDCA, LeakType::CreatedDc>::call,
    Creation<pw_CreateDCW, LeakType::CreatedDc>::call,
    Release<pw_DeleteDC, maskOf(LeakType::CreatedDc)>::call,
    trackedGetDC,
    trackedReleaseDC,
    trackedCoTaskMemAlloc,
    trackedCoTaskMemRealloc,
    Release<pw_CoTaskMemFree, maskOf(LeakType::TaskMemory)>::call,
    Creation<pw_SysAllocString, LeakType::String>::call,
    Release<pw_SysFreeString, maskOf(LeakType::String)>::call,
    trackedExitThread,
    pw_HeapCreate,
    trackedHeapDestroy,
    trackedHeapAlloc,
    trackedHeapFree,
    trackedHeapReAlloc,
};

#undef TVRN2_CALLER

std::string hex(Service* service, const void* address)
{
    char text[32];
    if (!service->numberToText(reinterpret_cast<std::uintptr_t>(address), text, sizeof text, 16))
        return {};
    return text;
}

std::string reportLine(const std::string& path, const LeakRecord& record, Service* service)
{
    bool memory = record.type == LeakType::Memory;
    std::string line = path;
    if (!record.file.empty() && record.line) {
        line += memory ? " : Leak detected in file " : " : Resource Leak detected in file ";
        line += record.file;
        line += ", line " + std::to_string(record.line);
        line += memory ? " of " + std::to_string(record.size) + " bytes"
                       : std::string(" of type ") + leakTypeName(record.type);
    } else if (memory) {
        line += " : Leak detected of " + std::to_string(record.size) + " bytes at "
            + hex(service, record.item);
    } else {
        line += std::string(" : Resource Leak detected of type ") + leakTypeName(record.type) + " at "
            + hex(service, record.item);
    }
    line += "\r\n";
    return line.substr(0, ReportLineCapacity);
}

void release(const void* item, const PendingRelease& pending)
{
    auto* object = const_cast<void*>(item);
    switch (pending.type) {
    case LeakType::Memory:
        pw_HeapFree(pending.heap, 0, object);
        break;
    case LeakType::CreatedDc:
        pw_DeleteDC(static_cast<HDC>(object));
        break;
    case LeakType::WindowDc:
        pw_ReleaseDC(pending.window, static_cast<HDC>(object));
        break;
    case LeakType::Bitmap:
    case LeakType::Palette:
    case LeakType::Font:
    case LeakType::Brush:
    case LeakType::Pen:
        pw_DeleteObject(object);
        break;
    case LeakType::TaskMemory:
    case LeakType::String:
        // Never released after a report (not in ReleasedAfterReport).
        break;
    }
}

constinit std::atomic<bool> reportAtExit { false };

// Registered before any other static object of the program is built, so
// they run after all of them are destroyed: first the report asked for at
// exit, then the release of what it handed over.
__attribute__((constructor(101))) void atExit()
{
    std::atexit([] { LeakTracker::releaseReported(); });
    std::atexit([] {
        if (reportAtExit.exchange(false))
            LeakTracker::deactivate();
    });
}

bool readVersion()
{
    utsname name;
    return uname(&name) == 0;
}

const void* programModule()
{
    Dl_info info;
    if (!dladdr(reinterpret_cast<const void*>(&programModule), &info))
        return nullptr;
    return info.dli_fbase;
}

} // namespace

const char* leakTypeName(LeakType type)
{
    switch (type) {
    case LeakType::Memory:
        return "";
    case LeakType::Bitmap:
        return "HBITMAP";
    case LeakType::CreatedDc:
        return "HDC";
    case LeakType::WindowDc:
        return "HDC GetDC()";
    case LeakType::Palette:
        return "HPALETTE";
    case LeakType::Font:
        return "HFONT";
    case LeakType::Brush:
        return "HBRUSH";
    case LeakType::Pen:
        return "HPEN";
    case LeakType::TaskMemory:
        return "COTASKMEMALLOC";
    case LeakType::String:
        return "BSTR";
    }
    return "";
}

LeakTracker::System LeakTracker::systemCalls()
{
    return { readVersion, ProcessModules::programPath, programModule, Initialise, UnInitialise };
}

bool LeakTracker::activate(const System& system)
{
    auto& table = tracker();
    if (table.active)
        return true;
    if (!system.readVersion())
        return false;
    auto path = system.programPath();
    if (!path || path->empty() || !system.programModule())
        return false;
    Service* service = system.initialise();
    if (!service)
        return false;
    {
        auto lock = lockTable();
        table.path = *path;
        table.service = service;
        table.uninitialise = system.uninitialise;
        table.active = true;
    }
    std::string programPath = table.path.raw();
    outputDebugString(programPath + " : Torvane leak checking - Active\r\n");
    ModuleHandle modules[MaxModules];
    std::size_t count = 0;
    if (service->loadedModules(modules, MaxModules, &count)) {
        for (std::size_t i = 0; i < count; ++i)
            outputDebugString(
                ProcessModules::pathOf(modules[i]) + " : Loaded at " + hex(service, modules[i]) + "\r\n");
    }
    if (freeStoreTracked()) {
        Bookkeeping bookkeeping;
        auto& store = freeStore();
        std::lock_guard lock(store.mutex);
        store.code = ownCodeSegments();
        trackingFreeStore = !store.code.empty();
    }
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizers keep their own allocator, and report leaks themselves.
    outputDebugString(programPath
        + " : Leak checking does not cover the program's heap in this build: the sanitizers' allocator"
          " keeps it\r\n");
#endif
    imports() = trackingTable;
    return true;
}

void LeakTracker::deactivate()
{
    auto& table = tracker();
    std::vector<LeakRecord> leaks;
    {
        auto lock = lockTable();
        if (!table.active)
            return;
        table.active = false;
        for (auto& [item, record] : table.records) {
            leaks.push_back(record);
            if (maskOf(record.type) & ReleasedAfterReport)
                table.pending.insert_or_assign(
                    item, PendingRelease { record.type, record.heap, record.window });
        }
        table.records.clear();
    }
    if (trackingFreeStore.exchange(false)) {
        Bookkeeping bookkeeping;
        auto& store = freeStore();
        std::lock_guard lock(store.mutex);
        for (auto& [item, record] : store.records) {
            leaks.push_back(std::move(record));
            store.reported.insert(item);
        }
        store.records.clear();
        freeStoreHasReported = !store.reported.empty();
    }
    std::sort(
        leaks.begin(), leaks.end(), [](const auto& a, const auto& b) { return a.sequence < b.sequence; });
    std::string path = table.path.raw();
    for (const auto& leak : leaks)
        outputDebugString(reportLine(path, leak, table.service));
    outputDebugString(path + " : Torvane leak checking - Inactive\r\n");
    table.uninitialise(table.service);
    table.service = nullptr;
}

void LeakTracker::deactivateAtExit()
{
    reportAtExit = true;
}

bool LeakTracker::active()
{
    return tracker().active;
}

std::size_t LeakTracker::outstanding()
{
    std::size_t count = 0;
    if (trackingFreeStore) {
        Bookkeeping bookkeeping;
        std::lock_guard lock(freeStore().mutex);
        count = freeStore().records.size();
    }
    auto lock = lockTable();
    return count + tracker().records.size();
}

void LeakTracker::releaseReported()
{
    {
        auto lock = lockTable();
        auto& pending = tracker().pending;
        for (const auto& [item, what] : pending)
            release(item, what);
        pending.clear();
    }
    if (freeStoreHasReported.exchange(false)) {
        Bookkeeping bookkeeping;
        auto& store = freeStore();
        std::lock_guard lock(store.mutex);
        for (const void* block : store.reported)
            std::free(const_cast<void*>(block));
        store.reported.clear();
    }
}

void LeakTracker::freeStoreAllocated(void* block, std::size_t size, const void* caller) noexcept
{
    if (!block || inBookkeeping || !trackingFreeStore.load(std::memory_order_relaxed))
        return;
    auto& store = freeStore();
    if (!store.ownCode(caller))
        return;
    Bookkeeping bookkeeping;
    try {
        const char* file = AllocationSite::currentFile();
        LeakRecord record { block, size, file ? file : "", AllocationSite::currentLine(), caller,
            LeakType::Memory, nullptr, nullptr, nextSequence++ };
        std::lock_guard lock(store.mutex);
        if (trackingFreeStore.load(std::memory_order_relaxed))
            store.records.insert_or_assign(block, std::move(record));
    } catch (const std::bad_alloc&) {
        // Only this record is lost.
    }
}

void LeakTracker::freeStoreReleased(void* block) noexcept
{
    if (!block || inBookkeeping)
        return;
    if (!trackingFreeStore.load(std::memory_order_relaxed)
        && !freeStoreHasReported.load(std::memory_order_relaxed))
        return;
    Bookkeeping bookkeeping;
    auto& store = freeStore();
    std::lock_guard lock(store.mutex);
    if (!store.records.erase(block) && store.reported.erase(block))
        freeStoreHasReported = !store.reported.empty();
}

void LeakTracker::useFreeStore() noexcept
{
    freeStoreReplaced = true;
}

bool LeakTracker::freeStoreTracked() noexcept
{
    return freeStoreReplaced;
}

const ImportTable& LeakTracker::replacements()
{
    return trackingTable;
}

} // namespace tvrn2
