#include "diagnostics/Diagnostics.h"

#include "diagnostics/LeakTracker.h"
#include "diagnostics/MemoryArena.h"
#include "diagnostics/TraceLog.h"

#include <cstdlib>
#include <exception>
#include <string>

namespace tvrn2 {
namespace {

// Lives until the process ends: small blocks may be in use until then.
MemoryArena* arena = nullptr;

// An exception nobody caught is an internal error: it goes to the trace log
// with the stack it was thrown through before the program ends.
[[noreturn]] void reportAndAbort()
{
    std::string what = "Program terminated";
    if (auto current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const std::exception& exception) {
            what = exception.what();
        } catch (...) {
            what = "Unknown exception";
        }
    }
    traceLog().reportError(what.c_str());
    std::abort();
}

} // namespace

void startDiagnostics()
{
    // The trace log and the arena live as long as the process, so they are
    // made before leak tracking starts.
    if (!arena)
        arena = new MemoryArena(traceLog());
    LeakTracker::activate();
    std::set_terminate(reportAndAbort);
}

void stopDiagnostics()
{
    LeakTracker::deactivateAtExit();
}

MemoryArena* memoryArena()
{
    return arena;
}

} // namespace tvrn2
