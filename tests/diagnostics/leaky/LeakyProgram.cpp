// A small program with deliberate leaks, run by the leak tracking tests. It
// tracks its own heap as the real program does, leaks a block under a named
// source position and one without, frees what it should, keeps a block a
// library allocated, and prints on standard output what the report must say:
//
//     site FILE LINE ADDRESS
//     anonymous ADDRESS
//
// The report itself goes to the debugger output, on standard error when
// G_MESSAGES_DEBUG asks for it.
#include "diagnostics/AllocationSite.h"
#include "diagnostics/LeakTracker.h"
#include "platform/DebugOutput.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

extern "C" std::int32_t* leakyLibraryKeep();

namespace {

// Out of line, so the compiler cannot drop the allocations it can see through.
[[gnu::noinline]] void* keep(void* block)
{
    asm volatile("" : : "r"(block) : "memory");
    return block;
}

} // namespace

int main()
{
    tvrn2::startDebugOutput();
    if (!tvrn2::LeakTracker::activate())
        return 2;

    std::int32_t* withSite = nullptr;
    int siteLine = 0;
    {
        tvrn2::AllocationSite here;
        siteLine = __LINE__ - 1;
        withSite = static_cast<std::int32_t*>(keep(new std::int32_t[6]));
    }
    auto* anonymous = static_cast<char*>(keep(new char[40]));

    // What the program gives back is never reported, however it goes.
    delete[] static_cast<double*>(keep(new double[3]));
    {
        std::vector<std::string> grown;
        for (int i = 0; i < 100; ++i)
            grown.emplace_back(64, 'x');
        auto shared = std::make_shared<std::string>(200, 'y');
        keep(shared.get());
    }
    std::int32_t* fromLibrary = leakyLibraryKeep();
    keep(fromLibrary);

    std::printf("site %s %d %p\n", __FILE__, siteLine, static_cast<void*>(withSite));
    std::printf("anonymous %p\n", static_cast<void*>(anonymous));
    std::fflush(stdout);
    tvrn2::LeakTracker::deactivate();

    // A reported block the program frees after the report is not freed again at exit.
    delete[] anonymous;
    return 0;
}
