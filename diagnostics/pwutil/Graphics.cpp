// Graphics objects over cairo and Pango. The library remembers the kind of
// every object it hands out, so that the generic delete can destroy each one
// the right way and refuse handles it never made.

#include "diagnostics/pwutil/PwUtil.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <strings.h>
#include <unordered_map>

namespace tvrn2::pw {
namespace {

enum class Kind { Bitmap, Palette, Font, Pen, Brush, CreatedDc, WindowDc };

struct Entry {
    Kind kind;
    Window window; // the window a window context belongs to
};

struct Objects {
    std::mutex mutex;
    std::unordered_map<void*, Entry> live;
};

Objects& objects()
{
    static auto* instance = new Objects;
    return *instance;
}

bool remember(void* object, Kind kind, Window window = nullptr)
{
    auto& all = objects();
    std::lock_guard lock(all.mutex);
    try {
        all.live.emplace(object, Entry { kind, window });
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// Removes `object` when it is live and `accept` agrees with its entry.
template <typename Accept> bool forget(void* object, Accept accept, Kind* kind = nullptr)
{
    auto& all = objects();
    std::lock_guard lock(all.mutex);
    auto found = all.live.find(object);
    if (found == all.live.end() || !accept(found->second))
        return false;
    if (kind)
        *kind = found->second.kind;
    all.live.erase(found);
    return true;
}

cairo_pattern_t* solidColour(ColourRef colour)
{
    return cairo_pattern_create_rgb(
        (colour & 0xFF) / 255.0, ((colour >> 8) & 0xFF) / 255.0, ((colour >> 16) & 0xFF) / 255.0);
}

// Reads pixel `x` of a row of a device-dependent bitmap as opaque ARGB.
std::uint32_t pixelAt(const std::uint8_t* row, std::size_t x, unsigned bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 1:
        return (row[x / 8] & (0x80 >> (x % 8))) ? 0xFFFFFFFFu : 0xFF000000u;
    case 24:
        return 0xFF000000u | (row[x * 3 + 2] << 16) | (row[x * 3 + 1] << 8) | row[x * 3];
    default:
        return 0xFF000000u | (row[x * 4 + 2] << 16) | (row[x * 4 + 1] << 8) | row[x * 4];
    }
}

HDC newContext(Kind kind, Window window)
{
    // A 1x1 target: the context measures text and carries drawing state;
    // a window's own pixels are painted by the toolkit in its draw cycle.
    cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t* context = cairo_create(target);
    cairo_surface_destroy(target);
    if (cairo_status(context) != CAIRO_STATUS_SUCCESS || !remember(context, kind, window)) {
        cairo_destroy(context);
        return nullptr;
    }
    return context;
}

bool isDisplay(const char* driver)
{
    return driver && strcasecmp(driver, "DISPLAY") == 0;
}

} // namespace
} // namespace tvrn2::pw

using namespace tvrn2::pw;

HBITMAP pw_CreateBitmap(int width, int height, unsigned planes, unsigned bitsPerPixel, const void* bits)
{
    if (width <= 0 || height <= 0 || planes != 1
        || (bitsPerPixel != 1 && bitsPerPixel != 24 && bitsPerPixel != 32))
        return nullptr;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    if (bits) {
        cairo_surface_flush(surface);
        auto* pixels = cairo_image_surface_get_data(surface);
        int stride = cairo_image_surface_get_stride(surface);
        std::size_t rowBytes = ((static_cast<std::size_t>(width) * bitsPerPixel + 15) / 16) * 2;
        for (int y = 0; y < height; ++y) {
            auto* source = static_cast<const std::uint8_t*>(bits) + y * rowBytes;
            auto* target = reinterpret_cast<std::uint32_t*>(pixels + static_cast<std::ptrdiff_t>(y) * stride);
            for (std::size_t x = 0; x < std::size_t(width); ++x)
                target[x] = pixelAt(source, x, bitsPerPixel);
        }
        cairo_surface_mark_dirty(surface);
    }
    if (!remember(surface, Kind::Bitmap)) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    return surface;
}

namespace {

HPALETTE newPalette(const PaletteEntry* entries, std::uint16_t count)
{
    auto* palette = new (std::nothrow) Palette { count, new (std::nothrow) PaletteEntry[count] };
    if (!palette || !palette->entries || !remember(palette, Kind::Palette)) {
        if (palette)
            delete[] palette->entries;
        delete palette;
        return nullptr;
    }
    std::copy(entries, entries + count, palette->entries);
    return palette;
}

} // namespace

HPALETTE pw_CreatePalette(const LogPalette* description)
{
    if (!description || !description->count)
        return nullptr;
    return newPalette(description->entries, description->count);
}

HPALETTE pw_CreateHalftonePalette(HDC)
{
    // A 6x6x6 colour cube followed by a ramp of 40 greys.
    PaletteEntry entries[256];
    int index = 0;
    for (int red = 0; red < 6; ++red) {
        for (int green = 0; green < 6; ++green) {
            for (int blue = 0; blue < 6; ++blue)
                entries[index++]
                    = { std::uint8_t(red * 51), std::uint8_t(green * 51), std::uint8_t(blue * 51), 0 };
        }
    }
    for (int grey = 0; index < 256; ++grey, ++index) {
        auto level = std::uint8_t(grey * 255 / 39);
        entries[index] = { level, level, level, 0 };
    }
    return newPalette(entries, 256);
}

HFONT pw_CreateFont(int height, int width, int escapement, int orientation, int weight, unsigned italic,
    unsigned underline, unsigned strikeOut, unsigned charSet, unsigned outPrecision, unsigned clipPrecision,
    unsigned quality, unsigned pitchAndFamily, const char* faceName)
{
    // Underline and strike-out are attributes of a Pango layout rather than of
    // a font description; the text's drawer applies them.
    PangoFontDescription* font = pango_font_description_new();
    if (faceName && *faceName)
        pango_font_description_set_family(font, faceName);
    if (height)
        pango_font_description_set_absolute_size(font, double(height < 0 ? -height : height) * PANGO_SCALE);
    pango_font_description_set_weight(font, PangoWeight(weight ? std::clamp(weight, 100, 1000) : 400));
    if (italic)
        pango_font_description_set_style(font, PANGO_STYLE_ITALIC);
    if (!remember(font, Kind::Font)) {
        pango_font_description_free(font);
        return nullptr;
    }
    return font;
}

HFONT pw_CreateFontIndirect(const LogFont* description)
{
    if (!description)
        return nullptr;
    char faceName[sizeof description->faceName + 1] = {};
    std::memcpy(
        faceName, description->faceName, strnlen(description->faceName, sizeof description->faceName));
    return pw_CreateFont(description->height, description->width, description->escapement,
        description->orientation, description->weight, description->italic, description->underline,
        description->strikeOut, description->charSet, description->outPrecision, description->clipPrecision,
        description->quality, description->pitchAndFamily, faceName);
}

HPEN pw_CreatePen(int style, int width, ColourRef colour)
{
    auto* pen
        = new (std::nothrow) Pen { std::uint32_t(style), width < 0 ? -width : width, solidColour(colour) };
    if (!pen)
        return nullptr;
    if (cairo_pattern_status(pen->source) != CAIRO_STATUS_SUCCESS || !remember(pen, Kind::Pen)) {
        cairo_pattern_destroy(pen->source);
        delete pen;
        return nullptr;
    }
    return pen;
}

HPEN pw_CreatePenIndirect(const LogPen* description)
{
    if (!description)
        return nullptr;
    return pw_CreatePen(int(description->style), description->width, description->colour);
}

HBRUSH pw_CreateSolidBrush(ColourRef colour)
{
    cairo_pattern_t* brush = solidColour(colour);
    if (cairo_pattern_status(brush) != CAIRO_STATUS_SUCCESS || !remember(brush, Kind::Brush)) {
        cairo_pattern_destroy(brush);
        return nullptr;
    }
    return brush;
}

Bool pw_DeleteObject(HGDIOBJ object)
{
    Kind kind;
    auto notContext
        = [](const Entry& entry) { return entry.kind != Kind::CreatedDc && entry.kind != Kind::WindowDc; };
    if (!object || !forget(object, notContext, &kind))
        return 0;
    switch (kind) {
    case Kind::Bitmap:
        cairo_surface_destroy(static_cast<cairo_surface_t*>(object));
        break;
    case Kind::Palette:
        delete[] static_cast<Palette*>(object)->entries;
        delete static_cast<Palette*>(object);
        break;
    case Kind::Font:
        pango_font_description_free(static_cast<PangoFontDescription*>(object));
        break;
    case Kind::Pen:
        cairo_pattern_destroy(static_cast<Pen*>(object)->source);
        delete static_cast<Pen*>(object);
        break;
    case Kind::Brush:
        cairo_pattern_destroy(static_cast<cairo_pattern_t*>(object));
        break;
    case Kind::CreatedDc:
    case Kind::WindowDc:
        break;
    }
    return 1;
}

HDC pw_CreateDCA(const char* driver, const char*, const char*, const void*)
{
    if (!isDisplay(driver))
        return nullptr;
    return newContext(Kind::CreatedDc, nullptr);
}

HDC pw_CreateDCW(const OleChar* driver, const OleChar*, const OleChar*, const void*)
{
    if (!driver)
        return nullptr;
    char narrow[16] = {};
    for (std::size_t i = 0; driver[i]; ++i) {
        if (i + 1 >= sizeof narrow || driver[i] > 0x7F)
            return nullptr;
        narrow[i] = char(driver[i]);
    }
    return pw_CreateDCA(narrow, nullptr, nullptr, nullptr);
}

Bool pw_DeleteDC(HDC dc)
{
    if (!dc || !forget(dc, [](const Entry& entry) { return entry.kind == Kind::CreatedDc; }))
        return 0;
    cairo_destroy(dc);
    return 1;
}

HDC pw_GetDC(Window window)
{
    return newContext(Kind::WindowDc, window);
}

int pw_ReleaseDC(Window window, HDC dc)
{
    auto ownedByWindow
        = [window](const Entry& entry) { return entry.kind == Kind::WindowDc && entry.window == window; };
    if (!dc || !forget(dc, ownedByWindow))
        return 0;
    cairo_destroy(dc);
    return 1;
}
