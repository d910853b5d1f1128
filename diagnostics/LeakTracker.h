#pragma once

#include "diagnostics/ImportTable.h"

#include <cstddef>
#include <optional>
#include <string>

namespace tvrn2 {

// The kinds of tracked items, with the codes the leak records carry.
enum class LeakType : int {
    Memory = 2,
    Bitmap = 3,
    CreatedDc = 4,
    WindowDc = 5,
    Palette = 6,
    Font = 7,
    Brush = 8,
    Pen = 9,
    TaskMemory = 10,
    String = 11,
};

// The name a leak report gives a kind ("HBITMAP", ...); empty for memory,
// which is reported in bytes.
const char* leakTypeName(LeakType type);

// Leak tracking: from activation to deactivation every item obtained through
// `imports()` is recorded with its caller, and whatever is outstanding at
// deactivation is reported on the debugger output, one line per item.
//
// Reported items of the kinds that are released (memory, bitmaps, device
// contexts, palettes, fonts, brushes) are not released on the spot: static
// objects of the program may still hold them. They are released when the
// process exits, after the program's static objects are gone, unless the
// program released them itself in the meantime.
class LeakTracker {
public:
    // What activation asks of the system and of the tracking library.
    struct System {
        bool (*readVersion)();
        std::optional<std::string> (*programPath)();
        const void* (*programModule)();
        pw::Service* (*initialise)();
        void (*uninitialise)(pw::Service*);
    };
    static System systemCalls();

    // Switches tracking on and redirects `imports()` to the tracking
    // functions. Any failure leaves tracking off, silently.
    static bool activate(const System& system = systemCalls());
    // Switches tracking off and writes the report.
    static void deactivate();
    // The same, as the process exits after the program's static objects are
    // gone: what they hold until then is not a leak.
    static void deactivateAtExit();
    static bool active();

    // The number of live records.
    static std::size_t outstanding();

    // Releases what the report handed over and the program has not released
    // since. Runs by itself when the process exits.
    static void releaseReported();

    // The table of tracking functions that activation installs.
    static const ImportTable& replacements();

    // The program's own heap. An executable that links the free-store
    // replacement (FreeStore.cpp) reports every operator new and delete of
    // the process here. While tracking is active, a block is recorded when
    // the code that asked for it lies in the program's own executable; the
    // libraries' blocks (GTK, WebKit, the C++ runtime) never are. Any release
    // drops the record it matches. Both are safe to call at any time, from
    // any thread, before main and after exit.
    static void freeStoreAllocated(void* block, std::size_t size, const void* caller) noexcept;
    static void freeStoreReleased(void* block) noexcept;
    // Called by the replacement as the process starts; without it (as in a
    // build that keeps the sanitizers' allocator) the program's heap is not
    // tracked, and activation says so.
    static void useFreeStore() noexcept;
    static bool freeStoreTracked() noexcept;
};

} // namespace tvrn2
