#pragma once

namespace tvrn2 {

class MemoryArena;

// The program's diagnostics around its run. `startDiagnostics` comes first at
// start-up, before the application's objects exist: it reserves the memory
// arena, switches leak tracking on and sends uncaught exceptions to the trace
// log. `stopDiagnostics` comes last at shut-down, after the application's own
// teardown: leak tracking goes off and writes its report as the process exits,
// once the program's static objects are gone.
void startDiagnostics();
void stopDiagnostics();

// The arena reserved by `startDiagnostics`; null before.
MemoryArena* memoryArena();

} // namespace tvrn2
