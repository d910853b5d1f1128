#include "diagnostics/LeakTracker.h"

#include "diagnostics/AllocationSite.h"
#include "diagnostics/ProcessModules.h"
#include "platform/DebugOutput.h"
#include "platform/FixedText.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <dlfcn.h>
#include <mutex>
#include <new>
#include <sys/utsname.h>
#include <unordered_map>
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

// The tracking table. Every tracked call runs the library function and
// the bookkeeping under one lock, so that an address released on one
// thread and handed out again on another cannot lose or mix up records.
struct Tracker {
    std::mutex mutex;
    std::atomic<bool> active { false };
    std::unordered_map<const void*, LeakRecord> records;
    std::unordered_map<const void*, PendingRelease> pending;
    std::uint64_t nextSequence = 0;
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

std::unique_lock<std::mutex> lockTable()
{
    return std::unique_lock(tracker().mutex);
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
    default:
        pw_DeleteObject(object);
        break;
    }
}

// Registered before any other static object of the program is built, so
// it runs after all of them are destroyed.
__attribute__((constructor(101))) void releaseReportedAtExit()
{
    std::atexit([] { LeakTracker::releaseReported(); });
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
    std::sort(
        leaks.begin(), leaks.end(), [](const auto& a, const auto& b) { return a.sequence < b.sequence; });
    std::string path = table.path.raw();
    for (const auto& leak : leaks)
        outputDebugString(reportLine(path, leak, table.service));
    outputDebugString(path + " : Torvane leak checking - Inactive\r\n");
    table.uninitialise(table.service);
    table.service = nullptr;
}

bool LeakTracker::active()
{
    return tracker().active;
}

std::size_t LeakTracker::outstanding()
{
    auto lock = lockTable();
    return tracker().records.size();
}

void LeakTracker::releaseReported()
{
    auto lock = lockTable();
    auto& pending = tracker().pending;
    for (const auto& [item, what] : pending)
        release(item, what);
    pending.clear();
}

const ImportTable& LeakTracker::replacements()
{
    return trackingTable;
}

} // namespace tvrn2
