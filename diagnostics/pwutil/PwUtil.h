#pragma once

// The leak-tracking library's interface: the allocation and graphics-object
// functions of the platform, each under a "pw_" name, plus the service object
// handed out by Initialise. The program links the library at load time, so it
// does not start where the library is missing.
//
// The functions keep the calling conventions of the Windows functions they
// stand in for (a heap handle first, TRUE/FALSE results, NULL on failure);
// the objects behind the handles are the ones the GTK side draws with:
// bitmaps are cairo image surfaces, device contexts cairo contexts, fonts
// Pango font descriptions, brushes cairo patterns. Every release checks the
// handle against the library's live objects, so releasing an unknown or an
// already released handle fails instead of corrupting memory.

#include <cairo.h>
#include <cstddef>
#include <cstdint>
#include <pango/pango-font.h>

#define PW_EXPORT __attribute__((visibility("default")))

namespace tvrn2::pw {

using Bool = int; // TRUE (1) or FALSE (0), as the Windows functions answer.

// A heap: a set of blocks that can be destroyed at once.
struct Heap;
using HeapHandle = Heap*;
constexpr unsigned HeapZeroMemory = 0x8;

// Counted strings: UTF-16 text preceded by its length in bytes (4 bytes) and
// followed by a NUL; the handle points at the text.
using OleChar = char16_t;
using Bstr = OleChar*;
inline std::uint32_t sysStringByteLen(const OleChar* text)
{
    if (!text)
        return 0;
    std::uint32_t bytes;
    __builtin_memcpy(&bytes, reinterpret_cast<const char*>(text) - sizeof bytes, sizeof bytes);
    return bytes;
}
inline std::uint32_t sysStringLen(const OleChar* text)
{
    return sysStringByteLen(text) / sizeof(OleChar);
}

// Colours as the Windows functions take them: 0x00BBGGRR.
using ColourRef = std::uint32_t;

struct PaletteEntry {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
    std::uint8_t flags;
};

// A palette description: `count` entries follow the header.
struct LogPalette {
    std::uint16_t version;
    std::uint16_t count;
    PaletteEntry entries[1];
};

struct LogFont {
    std::int32_t height; // < 0: character height in pixels; > 0: cell height; 0: default
    std::int32_t width;
    std::int32_t escapement;
    std::int32_t orientation;
    std::int32_t weight; // 0 = default, else 100..900
    std::uint8_t italic;
    std::uint8_t underline;
    std::uint8_t strikeOut;
    std::uint8_t charSet;
    std::uint8_t outPrecision;
    std::uint8_t clipPrecision;
    std::uint8_t quality;
    std::uint8_t pitchAndFamily;
    char faceName[32];
};

struct LogPen {
    std::uint32_t style;
    std::int32_t width;
    ColourRef colour;
};

// A palette: its entries.
struct Palette {
    std::uint16_t count;
    PaletteEntry* entries;
};

// A pen: how lines are stroked.
struct Pen {
    std::uint32_t style;
    std::int32_t width;
    cairo_pattern_t* source;
};

using HBITMAP = cairo_surface_t*;
using HDC = cairo_t*;
using HPALETTE = Palette*;
using HFONT = PangoFontDescription*;
using HBRUSH = cairo_pattern_t*;
using HPEN = Pen*;
using HGDIOBJ = void*;
using Window = void*;

// One loaded module: the address its image starts at.
using ModuleHandle = const void*;
constexpr std::size_t MaxModules = 128;

// The service object handed out by Initialise.
class Service {
public:
    // Writes `value` in `radix` (2..36, lower-case digits) into `buffer`;
    // false (and an empty buffer where it has room) when the radix is out of
    // range or the text does not fit.
    virtual bool numberToText(std::uint64_t value, char* buffer, std::size_t capacity, int radix) = 0;

    // Fills `modules` with the modules loaded in the process, at most
    // min(capacity, MaxModules), and sets `count`.
    virtual bool loadedModules(ModuleHandle* modules, std::size_t capacity, std::size_t* count) = 0;

protected:
    ~Service() = default;
};

} // namespace tvrn2::pw

extern "C" {

// Prepares the library: the service object, or nullptr on failure.
PW_EXPORT tvrn2::pw::Service* Initialise();
// Releases a service object handed out by Initialise.
PW_EXPORT void UnInitialise(tvrn2::pw::Service* service);

// The process's own heap, which exists for the whole run.
PW_EXPORT tvrn2::pw::HeapHandle pw_GetProcessHeap();
PW_EXPORT tvrn2::pw::HeapHandle pw_HeapCreate(
    unsigned options, std::size_t initialSize, std::size_t maximumSize);
PW_EXPORT tvrn2::pw::Bool pw_HeapDestroy(tvrn2::pw::HeapHandle heap);
PW_EXPORT void* pw_HeapAlloc(tvrn2::pw::HeapHandle heap, unsigned flags, std::size_t size);
// A null block is allocated; size 0 releases the block and answers nullptr;
// on failure the old block stays as it was.
PW_EXPORT void* pw_HeapReAlloc(tvrn2::pw::HeapHandle heap, unsigned flags, void* block, std::size_t size);
PW_EXPORT tvrn2::pw::Bool pw_HeapFree(tvrn2::pw::HeapHandle heap, unsigned flags, void* block);

PW_EXPORT void* pw_CoTaskMemAlloc(std::size_t size);
PW_EXPORT void* pw_CoTaskMemRealloc(void* block, std::size_t size);
PW_EXPORT void pw_CoTaskMemFree(void* block);

PW_EXPORT tvrn2::pw::Bstr pw_SysAllocString(const tvrn2::pw::OleChar* text);
PW_EXPORT void pw_SysFreeString(tvrn2::pw::Bstr text);

// Supported depths: 1 (set bits white), 24 (B, G, R) and 32 (B, G, R, unused),
// rows padded to an even number of bytes; the result is opaque. `bits` may be
// null, which leaves the bitmap cleared.
PW_EXPORT tvrn2::pw::HBITMAP pw_CreateBitmap(
    int width, int height, unsigned planes, unsigned bitsPerPixel, const void* bits);
PW_EXPORT tvrn2::pw::HPALETTE pw_CreatePalette(const tvrn2::pw::LogPalette* description);
PW_EXPORT tvrn2::pw::HPALETTE pw_CreateHalftonePalette(tvrn2::pw::HDC dc);
PW_EXPORT tvrn2::pw::HFONT pw_CreateFont(int height, int width, int escapement, int orientation, int weight,
    unsigned italic, unsigned underline, unsigned strikeOut, unsigned charSet, unsigned outPrecision,
    unsigned clipPrecision, unsigned quality, unsigned pitchAndFamily, const char* faceName);
PW_EXPORT tvrn2::pw::HFONT pw_CreateFontIndirect(const tvrn2::pw::LogFont* description);
PW_EXPORT tvrn2::pw::HPEN pw_CreatePen(int style, int width, tvrn2::pw::ColourRef colour);
PW_EXPORT tvrn2::pw::HPEN pw_CreatePenIndirect(const tvrn2::pw::LogPen* description);
PW_EXPORT tvrn2::pw::HBRUSH pw_CreateSolidBrush(tvrn2::pw::ColourRef colour);
// Deletes a bitmap, palette, font, pen or brush.
PW_EXPORT tvrn2::pw::Bool pw_DeleteObject(tvrn2::pw::HGDIOBJ object);

// Only the display driver ("DISPLAY") exists.
PW_EXPORT tvrn2::pw::HDC pw_CreateDCA(
    const char* driver, const char* device, const char* output, const void* mode);
PW_EXPORT tvrn2::pw::HDC pw_CreateDCW(const tvrn2::pw::OleChar* driver, const tvrn2::pw::OleChar* device,
    const tvrn2::pw::OleChar* output, const void* mode);
PW_EXPORT tvrn2::pw::Bool pw_DeleteDC(tvrn2::pw::HDC dc);
PW_EXPORT tvrn2::pw::HDC pw_GetDC(tvrn2::pw::Window window);
// 1 when `dc` was obtained for `window` and is now released, else 0.
PW_EXPORT int pw_ReleaseDC(tvrn2::pw::Window window, tvrn2::pw::HDC dc);

[[noreturn]] PW_EXPORT void pw_ExitThread(std::uint32_t exitCode);

} // extern "C"
