#pragma once

#include "diagnostics/pwutil/PwUtil.h"

namespace tvrn2 {

// The allocation and graphics-object functions the program calls, one
// pointer each. The program's own raw allocations of these kinds go through
// `imports()`, so that switching the table on leak tracking's activation
// puts every such call under tracking without touching the callers.
struct ImportTable {
    // Graphics objects and device contexts.
    decltype(&pw_CreateBitmap) CreateBitmap;
    decltype(&pw_CreatePalette) CreatePalette;
    decltype(&pw_CreateHalftonePalette) CreateHalftonePalette;
    decltype(&pw_CreateFont) CreateFont;
    decltype(&pw_CreateFontIndirect) CreateFontIndirect;
    decltype(&pw_CreatePen) CreatePen;
    decltype(&pw_CreatePenIndirect) CreatePenIndirect;
    decltype(&pw_CreateSolidBrush) CreateSolidBrush;
    decltype(&pw_DeleteObject) DeleteObject;
    decltype(&pw_CreateDCA) CreateDCA;
    decltype(&pw_CreateDCW) CreateDCW;
    decltype(&pw_DeleteDC) DeleteDC;
    decltype(&pw_GetDC) GetDC;
    decltype(&pw_ReleaseDC) ReleaseDC;
    // Task memory and counted strings.
    decltype(&pw_CoTaskMemAlloc) CoTaskMemAlloc;
    decltype(&pw_CoTaskMemRealloc) CoTaskMemRealloc;
    decltype(&pw_CoTaskMemFree) CoTaskMemFree;
    decltype(&pw_SysAllocString) SysAllocString;
    decltype(&pw_SysFreeString) SysFreeString;
    // Threads and heaps.
    decltype(&pw_ExitThread) ExitThread;
    decltype(&pw_HeapCreate) HeapCreate;
    decltype(&pw_HeapDestroy) HeapDestroy;
    decltype(&pw_HeapAlloc) HeapAlloc;
    decltype(&pw_HeapFree) HeapFree;
    decltype(&pw_HeapReAlloc) HeapReAlloc;
};

// The table the program calls through.
ImportTable& imports();

// The plain functions, untracked.
const ImportTable& plainImports();

} // namespace tvrn2
