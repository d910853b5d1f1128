#pragma once

namespace tvrn2 {

class MemoryArena;

// The program's diagnostics around its run. `startDiagnostics` comes first at
// start-up, before the application's objects exist: it switches leak tracking
// on, reserves the memory arena and sends uncaught exceptions to the trace log. `stopDiagnostics` comes last
// at shut-down, after the application's own teardown: it switches leak tracking off and writes the leak
// report.
void startDiagnostics();
void stopDiagnostics();

// The arena reserved by `startDiagnostics`; null before.
MemoryArena* memoryArena();

} // namespace tvrn2
