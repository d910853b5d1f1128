#pragma once

#include <source_location>

namespace tvrn2 {

// Names the source position of the tracked allocations made on this thread
// while the object lives, so that a leak report can say where a leaked item
// came from:
//
//     AllocationSite here;
//     auto* buffer = imports().HeapAlloc(pw_GetProcessHeap(), 0, size);
//
// Sites nest; the innermost one wins.
class AllocationSite {
public:
    explicit AllocationSite(std::source_location where = std::source_location::current());
    AllocationSite(const char* file, long line);
    ~AllocationSite();
    AllocationSite(const AllocationSite&) = delete;
    AllocationSite& operator=(const AllocationSite&) = delete;

    // The calling thread's current position: a file name (null when none is
    // known) and a line.
    static const char* currentFile();
    static long currentLine();

private:
    const char* m_previousFile;
    long m_previousLine;
};

} // namespace tvrn2
