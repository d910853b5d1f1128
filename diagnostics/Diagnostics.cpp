#include "diagnostics/Diagnostics.h"

#include "diagnostics/LeakTracker.h"
#include "diagnostics/MemoryArena.h"
#include "diagnostics/TraceLog.h"

namespace tvrn2 {
namespace {

// Lives until the process ends: small blocks may be in use until then.
MemoryArena* arena = nullptr;

} // namespace

void startDiagnostics()
{
    LeakTracker::activate();
    if (!arena)
        arena = new MemoryArena(traceLog());
}

void stopDiagnostics()
{
    LeakTracker::deactivate();
}

MemoryArena* memoryArena()
{
    return arena;
}

} // namespace tvrn2
