#include "diagnostics/ImportTable.h"

namespace tvrn2 {

namespace {

constexpr ImportTable plain {
    pw_CreateBitmap,
    pw_CreatePalette,
    pw_CreateHalftonePalette,
    pw_CreateFont,
    pw_CreateFontIndirect,
    pw_CreatePen,
    pw_CreatePenIndirect,
    pw_CreateSolidBrush,
    pw_DeleteObject,
    pw_CreateDCA,
    pw_CreateDCW,
    pw_DeleteDC,
    pw_GetDC,
    pw_ReleaseDC,
    pw_CoTaskMemAlloc,
    pw_CoTaskMemRealloc,
    pw_CoTaskMemFree,
    pw_SysAllocString,
    pw_SysFreeString,
    pw_ExitThread,
    pw_HeapCreate,
    pw_HeapDestroy,
    pw_HeapAlloc,
    pw_HeapFree,
    pw_HeapReAlloc,
};

} // namespace

const ImportTable& plainImports()
{
    return plain;
}

ImportTable& imports()
{
    // Constant-initialised, so calls made by other static objects before or
    // after main find the plain functions in place.
    static constinit ImportTable table = plain;
    return table;
}

} // namespace tvrn2
