#pragma once

#include "platform/FixedText.h"

#include <cstdint>
#include <vector>

namespace tvrn2 {

// One registered set of site objects: the thread and window of a control and
// the document, frame and container it uses.
struct ObjectQRecord {
    std::int32_t ACTIVETHREAD { 0 };
    std::intptr_t WINHANDLE { 0 };
    std::intptr_t WINCLIENTHANDLE { 0 };
    std::intptr_t OLEDOC { 0 };
    std::intptr_t OLEFRAME { 0 };
    std::intptr_t OLECONTAINER { 0 };
};

// One dialled named connection.
struct DunQRecord {
    PaddedString<20> CONNECTIONNAME;
    std::int32_t CONNECTIONNUMBER { 0 };
};

// The process-wide registers of site objects and of dialled connections,
// in insertion order. They belong to the user-interface thread.
std::vector<ObjectQRecord>& ObjectQ();
std::vector<DunQRecord>& DunQ();

// Run once by the program before its first browser object: empties both
// registers and writes the library's start banner and version line to the
// debugger output, whatever the debug level.
void feProcessStart();

// Run once by the program after its last browser object: the end banner,
// feDispose::Kill, and both registers emptied.
void feProcessEnd();

namespace feDispose {
// Releases whatever site objects the current thread still has
// registered. Harmless when nothing is left, so it may run more than once.
void Kill();
} // namespace feDispose

} // namespace tvrn2
