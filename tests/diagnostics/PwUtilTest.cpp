#include "diagnostics/pwutil/PwUtil.h"

#include <algorithm>
#include <cstring>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>
#include <string>
#include <vector>

namespace tvrn2 {
namespace {

using namespace pw;

TEST(PwUtilHeap, ReleasesOnlyLiveBlocksOfTheGivenHeap)
{
    HeapHandle heap = pw_HeapCreate(0, 0, 0);
    ASSERT_NE(heap, nullptr);
    void* block = pw_HeapAlloc(heap, HeapZeroMemory, 64);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::string(static_cast<char*>(block), 64), std::string(64, '\0'));

    EXPECT_EQ(pw_HeapFree(pw_GetProcessHeap(), 0, block), 0) << "a block of another heap";
    EXPECT_EQ(pw_HeapFree(heap, 0, block), 1);
    EXPECT_EQ(pw_HeapFree(heap, 0, block), 0) << "a second release";
    EXPECT_EQ(pw_HeapFree(heap, 0, nullptr), 1);
    EXPECT_EQ(pw_HeapDestroy(heap), 1);
    EXPECT_EQ(pw_HeapAlloc(heap, 0, 8), nullptr) << "a destroyed heap";
    EXPECT_EQ(pw_HeapDestroy(heap), 0);
    EXPECT_EQ(pw_HeapDestroy(pw_GetProcessHeap()), 0) << "the process heap lives for the whole run";
}

TEST(PwUtilHeap, DestroyReleasesTheBlocksStillInTheHeap)
{
    // Run under the address sanitizer, a block left behind shows as a leak.
    HeapHandle heap = pw_HeapCreate(0, 0, 0);
    ASSERT_NE(pw_HeapAlloc(heap, 0, 100), nullptr);
    ASSERT_NE(pw_HeapAlloc(heap, 0, 200), nullptr);
    EXPECT_EQ(pw_HeapDestroy(heap), 1);
}

TEST(PwUtilHeap, ReallocationRules)
{
    HeapHandle heap = pw_GetProcessHeap();
    void* block = pw_HeapReAlloc(heap, 0, nullptr, 4);
    ASSERT_NE(block, nullptr) << "a null block is allocated";
    std::memcpy(block, "abc", 4);

    void* grown = pw_HeapReAlloc(heap, HeapZeroMemory, block, 4096);
    ASSERT_NE(grown, nullptr);
    EXPECT_STREQ(static_cast<char*>(grown), "abc");
    EXPECT_EQ(static_cast<char*>(grown)[4095], '\0') << "the grown part is zeroed";

    EXPECT_EQ(pw_HeapReAlloc(heap, 0, grown, SIZE_MAX / 2), nullptr);
    EXPECT_STREQ(static_cast<char*>(grown), "abc") << "a failed reallocation keeps the block";

    EXPECT_EQ(pw_HeapReAlloc(heap, 0, grown, 0), nullptr);
    EXPECT_EQ(pw_HeapFree(heap, 0, grown), 0) << "size 0 released the block";

    int unknown = 0;
    EXPECT_EQ(pw_HeapReAlloc(heap, 0, &unknown, 16), nullptr);
}

TEST(PwUtilTaskMemory, AllocatesReallocatesAndFrees)
{
    auto* block = static_cast<char*>(pw_CoTaskMemRealloc(nullptr, 3));
    ASSERT_NE(block, nullptr);
    std::memcpy(block, "ok", 3);
    block = static_cast<char*>(pw_CoTaskMemRealloc(block, 1000));
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(block, "ok");
    EXPECT_EQ(pw_CoTaskMemRealloc(block, 0), nullptr);
    pw_CoTaskMemFree(block); // already released: must be ignored
    pw_CoTaskMemFree(pw_CoTaskMemAlloc(0));
}

TEST(PwUtilStrings, CountedStringCarriesItsLength)
{
    Bstr text = pw_SysAllocString(u"h\u00e9llo");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(sysStringLen(text), 5u);
    EXPECT_EQ(sysStringByteLen(text), 10u);
    EXPECT_EQ(std::u16string(text), u"h\u00e9llo");
    pw_SysFreeString(text);

    Bstr empty = pw_SysAllocString(u"");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(sysStringLen(empty), 0u);
    EXPECT_EQ(empty[0], u'\0');
    pw_SysFreeString(empty);

    EXPECT_EQ(pw_SysAllocString(nullptr), nullptr);
    EXPECT_EQ(sysStringLen(nullptr), 0u);
    char16_t notOurs[] = u"xxxx";
    pw_SysFreeString(notOurs + 2); // not one of ours: must be ignored
    pw_SysFreeString(nullptr);
}

std::uint32_t pixel(cairo_surface_t* surface, int x, int y)
{
    cairo_surface_flush(surface);
    auto* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    return reinterpret_cast<std::uint32_t*>(row)[x];
}

TEST(PwUtilGraphics, BitmapBitsBecomeOpaquePixels)
{
    // 3x2 pixels; rows padded to an even number of bytes.
    struct Case {
        unsigned bitsPerPixel;
        std::vector<std::uint8_t> bits;
    };
    const std::uint32_t expected[2][3]
        = { { 0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF }, { 0xFF000000, 0xFF000000, 0xFFFFFFFF } };
    const Case cases[] = {
        { 1, { 0b10100000, 0, 0b00100000, 0 } },
        { 24,
            { 0xFF, 0xFF, 0xFF, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0, //
                0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0 } },
        { 32,
            { 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0, //
                0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0 } },
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.bitsPerPixel);
        HBITMAP bitmap = pw_CreateBitmap(3, 2, 1, test.bitsPerPixel, test.bits.data());
        ASSERT_NE(bitmap, nullptr);
        EXPECT_EQ(cairo_image_surface_get_width(bitmap), 3);
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 3; ++x)
                EXPECT_EQ(pixel(bitmap, x, y), expected[y][x]) << x << "," << y;
        }
        EXPECT_EQ(pw_DeleteObject(bitmap), 1);
    }
    // A 24-bit colour keeps its channels apart.
    const std::uint8_t blueGreenRed[] = { 0x11, 0x22, 0x33, 0 };
    HBITMAP colour = pw_CreateBitmap(1, 1, 1, 24, blueGreenRed);
    EXPECT_EQ(pixel(colour, 0, 0), 0xFF332211u);
    pw_DeleteObject(colour);
}

TEST(PwUtilGraphics, RejectsBitmapsItCannotMake)
{
    EXPECT_EQ(pw_CreateBitmap(0, 5, 1, 32, nullptr), nullptr);
    EXPECT_EQ(pw_CreateBitmap(5, -1, 1, 32, nullptr), nullptr);
    EXPECT_EQ(pw_CreateBitmap(5, 5, 2, 32, nullptr), nullptr);
    EXPECT_EQ(pw_CreateBitmap(5, 5, 1, 8, nullptr), nullptr);
    EXPECT_EQ(pw_CreateBitmap(100000, 100000, 1, 32, nullptr), nullptr);
}

TEST(PwUtilGraphics, DeleteObjectDestroysEachKindOnceAndRefusesOthers)
{
    LogPalette palette { 0x300, 1, { { 1, 2, 3, 0 } } };
    LogFont font {};
    font.height = -12;
    font.weight = 700;
    font.italic = 1;
    std::memcpy(font.faceName, "Sans", 5);
    LogPen pen { 0, 2, 0x0000FF };
    std::vector<HGDIOBJ> objects = {
        pw_CreateBitmap(2, 2, 1, 32, nullptr),
        pw_CreatePalette(&palette),
        pw_CreateHalftonePalette(nullptr),
        pw_CreateFont(-10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Serif"),
        pw_CreateFontIndirect(&font),
        pw_CreatePen(0, 1, 0),
        pw_CreatePenIndirect(&pen),
        pw_CreateSolidBrush(0x00FF00),
    };
    for (std::size_t i = 0; i < objects.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_NE(objects[i], nullptr);
        EXPECT_EQ(pw_DeleteObject(objects[i]), 1);
        EXPECT_EQ(pw_DeleteObject(objects[i]), 0) << "a second delete";
    }
    int unknown = 0;
    EXPECT_EQ(pw_DeleteObject(&unknown), 0);
    EXPECT_EQ(pw_DeleteObject(nullptr), 0);
    EXPECT_EQ(pw_CreatePalette(nullptr), nullptr);
    EXPECT_EQ(pw_CreateFontIndirect(nullptr), nullptr);
}

TEST(PwUtilGraphics, ObjectsCarryTheirDescription)
{
    LogFont description {};
    description.height = -14;
    description.weight = 700;
    description.italic = 1;
    std::memset(description.faceName, 'x', sizeof description.faceName); // no terminator
    HFONT font = pw_CreateFontIndirect(&description);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(std::string(pango_font_description_get_family(font)), std::string(32, 'x'));
    EXPECT_EQ(pango_font_description_get_size(font), 14 * PANGO_SCALE);
    EXPECT_TRUE(pango_font_description_get_size_is_absolute(font));
    EXPECT_EQ(pango_font_description_get_weight(font), PANGO_WEIGHT_BOLD);
    EXPECT_EQ(pango_font_description_get_style(font), PANGO_STYLE_ITALIC);
    pw_DeleteObject(font);

    HPALETTE halftone = pw_CreateHalftonePalette(nullptr);
    ASSERT_EQ(halftone->count, 256);
    EXPECT_EQ(halftone->entries[215].red, 255);
    EXPECT_EQ(halftone->entries[255].green, 255);
    pw_DeleteObject(halftone);

    HBRUSH brush = pw_CreateSolidBrush(0x00336699); // red 0x99, green 0x66, blue 0x33
    double red, green, blue, alpha;
    ASSERT_EQ(cairo_pattern_get_rgba(brush, &red, &green, &blue, &alpha), CAIRO_STATUS_SUCCESS);
    EXPECT_DOUBLE_EQ(red, 0x99 / 255.0);
    EXPECT_DOUBLE_EQ(blue, 0x33 / 255.0);
    pw_DeleteObject(brush);

    HPEN pen = pw_CreatePen(2, -3, 0);
    EXPECT_EQ(pen->style, 2u);
    EXPECT_EQ(pen->width, 3);
    pw_DeleteObject(pen);
}

TEST(PwUtilGraphics, DeviceContextsAreReleasedTheWayTheyWereObtained)
{
    EXPECT_EQ(pw_CreateDCA("WINSPOOL", nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(pw_CreateDCA(nullptr, nullptr, nullptr, nullptr), nullptr);
    HDC created = pw_CreateDCA("display", nullptr, nullptr, nullptr);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(cairo_status(created), CAIRO_STATUS_SUCCESS);
    HDC wide = pw_CreateDCW(u"DISPLAY", nullptr, nullptr, nullptr);
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(pw_CreateDCW(u"DISPLAY\u00e9", nullptr, nullptr, nullptr), nullptr);

    int window = 0, otherWindow = 0;
    HDC fromWindow = pw_GetDC(&window);
    ASSERT_NE(fromWindow, nullptr);

    EXPECT_EQ(pw_DeleteObject(created), 0) << "a context is not a graphics object";
    EXPECT_EQ(pw_DeleteDC(fromWindow), 0) << "a window's context goes back to its window";
    EXPECT_EQ(pw_ReleaseDC(&otherWindow, fromWindow), 0);
    EXPECT_EQ(pw_ReleaseDC(&window, created), 0);
    EXPECT_EQ(pw_ReleaseDC(&window, fromWindow), 1);
    EXPECT_EQ(pw_ReleaseDC(&window, fromWindow), 0);
    EXPECT_EQ(pw_DeleteDC(created), 1);
    EXPECT_EQ(pw_DeleteDC(created), 0);
    EXPECT_EQ(pw_DeleteDC(wide), 1);
}

TEST(PwUtilService, WritesNumbersInARadix)
{
    Service* service = Initialise();
    ASSERT_NE(service, nullptr);
    struct Case {
        std::uint64_t value;
        int radix;
        const char* text;
    };
    const Case cases[] = {
        { 0, 16, "0" },
        { 0x7ffd1234abcd, 16, "7ffd1234abcd" },
        { UINT64_MAX, 16, "ffffffffffffffff" },
        { 255, 2, "11111111" },
        { 1295, 36, "zz" },
        { 1234567890, 10, "1234567890" },
    };
    for (const auto& test : cases) {
        char buffer[70];
        EXPECT_TRUE(service->numberToText(test.value, buffer, sizeof buffer, test.radix));
        EXPECT_STREQ(buffer, test.text);
    }
    char small[4] = "xyz";
    EXPECT_FALSE(service->numberToText(0x1234, small, sizeof small, 16));
    EXPECT_STREQ(small, "");
    char buffer[8];
    EXPECT_FALSE(service->numberToText(5, buffer, sizeof buffer, 1));
    EXPECT_FALSE(service->numberToText(5, buffer, sizeof buffer, 37));
    UnInitialise(service);
    UnInitialise(service); // a second release is ignored
}

TEST(PwUtilService, ListsTheLoadedModulesByTheirStartAddress)
{
    Service* service = Initialise();
    ASSERT_NE(service, nullptr);
    ModuleHandle modules[MaxModules + 10];
    std::size_t count = 0;
    ASSERT_TRUE(service->loadedModules(modules, std::size(modules), &count));
    ASSERT_GT(count, 2u);
    EXPECT_LE(count, MaxModules);

    // The library's own image starts with an ELF header, as does the program's.
    Dl_info self;
    ASSERT_TRUE(dladdr(reinterpret_cast<const void*>(&pw_HeapAlloc), &self));
    EXPECT_NE(std::find(modules, modules + count, self.dli_fbase), modules + count);
    EXPECT_EQ(std::memcmp(modules[0],
                  "\x7f"
                  "ELF",
                  4),
        0);

    ModuleHandle two[2];
    std::size_t few = 0;
    ASSERT_TRUE(service->loadedModules(two, 2, &few));
    EXPECT_EQ(few, 2u);
    EXPECT_EQ(two[0], modules[0]);
    EXPECT_FALSE(service->loadedModules(nullptr, 2, &few));
    UnInitialise(service);
}

} // namespace
} // namespace tvrn2

// Some tests make a reallocation fail on purpose with an impossible size;
// under the address sanitizer that must answer null rather than abort.
extern "C" const char* __asan_default_options()
{
    return "allocator_may_return_null=1";
}
