#include "diagnostics/LeakTracker.h"

#include "diagnostics/AllocationSite.h"
#include "diagnostics/ProcessModules.h"
#include "tests/support/TestSupport.h"

#include <cstdio>
#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pthread.h>

namespace tvrn2 {
namespace {

using namespace pw;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::string hex(const void* address)
{
    char text[32];
    std::snprintf(
        text, sizeof text, "%lx", static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(address)));
    return text;
}

class LeakTrackerTest : public ::testing::Test {
protected:
    void SetUp() override { path = ProcessModules::programPath().value(); }

    void TearDown() override
    {
        LeakTracker::deactivate();
        LeakTracker::releaseReported();
    }

    void activate()
    {
        ASSERT_TRUE(LeakTracker::activate());
        output.clear();
    }

    // The report lines between the caller's last look and deactivation.
    std::vector<std::string> report()
    {
        output.clear();
        LeakTracker::deactivate();
        return output.lines();
    }

    std::string inactive() const { return path + " : Torvane leak checking - Inactive\r\n"; }
    // A report line as the tracker writes it: cut to 127 characters, so that
    // how long the program's path is decides what is left of the end.
    std::string leakLine(const std::string& message) const
    {
        return (path + " : " + message + "\r\n").substr(0, 127);
    }

    std::string path;
    test::CapturedDebugOutput output;
};

TEST_F(LeakTrackerTest, ActivationAnnouncesItselfAndTheLoadedModules)
{
    ASSERT_TRUE(LeakTracker::activate());
    const auto& lines = output.lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], path + " : Torvane leak checking - Active\r\n");

    Dl_info library;
    ASSERT_TRUE(dladdr(reinterpret_cast<const void*>(&pw_HeapAlloc), &library));
    EXPECT_THAT(lines,
        ::testing::Contains(
            std::string(library.dli_fname) + " : Loaded at " + hex(library.dli_fbase) + "\r\n"));
    Dl_info program;
    ASSERT_TRUE(dladdr(reinterpret_cast<const void*>(&hex), &program));
    EXPECT_THAT(lines, ::testing::Contains(path + " : Loaded at " + hex(program.dli_fbase) + "\r\n"));
    // A sanitizer build says last that the program's heap is not tracked.
    for (std::size_t i = 1; i < lines.size(); ++i)
        EXPECT_THAT(lines[i],
            ::testing::AnyOf(::testing::MatchesRegex(".* : Loaded at [0-9a-f]+\r\n"),
                ::testing::EndsWith(" : Leak checking does not cover the program's heap in this build: the "
                                    "sanitizers' allocator keeps it\r\n")));
    EXPECT_LE(lines.size(), 1 + MaxModules);

    EXPECT_TRUE(LeakTracker::active());
    EXPECT_EQ(imports().HeapAlloc, LeakTracker::replacements().HeapAlloc);
}

TEST_F(LeakTrackerTest, WithNoLeaksOnlyTheInactiveLineIsWritten)
{
    activate();
    HeapHandle heap = pw_GetProcessHeap();
    imports().HeapFree(heap, 0, imports().HeapAlloc(heap, 0, 10));
    imports().DeleteObject(imports().CreateBitmap(4, 4, 1, 32, nullptr));
    imports().SysFreeString(imports().SysAllocString(u"x"));
    EXPECT_EQ(LeakTracker::outstanding(), 0u);
    EXPECT_THAT(report(), ElementsAre(inactive()));
    EXPECT_FALSE(LeakTracker::active());
}

TEST_F(LeakTrackerTest, LeakedBitmapIsReportedAndReleasedAfterwards)
{
    activate();
    HBITMAP bitmap = imports().CreateBitmap(8, 8, 1, 32, nullptr);
    ASSERT_NE(bitmap, nullptr);
    cairo_surface_reference(bitmap); // lets the test see the release
    EXPECT_THAT(report(),
        ElementsAre(leakLine("Resource Leak detected of type HBITMAP at " + hex(bitmap)), inactive()));
    EXPECT_EQ(cairo_surface_get_reference_count(bitmap), 2u) << "not released before the program's teardown";
    LeakTracker::releaseReported();
    EXPECT_EQ(cairo_surface_get_reference_count(bitmap), 1u);
    cairo_surface_destroy(bitmap);
}

TEST_F(LeakTrackerTest, ReportLineForms)
{
    activate();
    HeapHandle heap = pw_GetProcessHeap();
    void* anonymous = imports().HeapAlloc(heap, 0, 48);
    int window = 0;
    HDC dc = imports().GetDC(&window);
    void *placed, *task;
    HFONT font;
    long line;
    {
        AllocationSite site;
        line = __LINE__ - 1;
        placed = imports().HeapAlloc(heap, 0, 7);
        font = imports().CreateFont(-9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Sans");
    }
    task = imports().CoTaskMemAlloc(5);
    HBRUSH brush = imports().CreateSolidBrush(0);
    HDC created = imports().CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    HPALETTE palette = imports().CreateHalftonePalette(nullptr);
    std::string at = std::string(" : Leak detected in file ") + __FILE__ + ", line " + std::to_string(line);
    std::string resourceAt
        = std::string(" : Resource Leak detected in file ") + __FILE__ + ", line " + std::to_string(line);
    auto cut = [](std::string text) { return text.substr(0, 127); };
    EXPECT_THAT(report(),
        ElementsAre(leakLine("Leak detected of 48 bytes at " + hex(anonymous)),
            leakLine("Resource Leak detected of type HDC GetDC() at " + hex(dc)),
            cut(path + at + " of 7 bytes\r\n"), cut(path + resourceAt + " of type HFONT\r\n"),
            leakLine("Resource Leak detected of type COTASKMEMALLOC at " + hex(task)),
            leakLine("Resource Leak detected of type HBRUSH at " + hex(brush)),
            leakLine("Resource Leak detected of type HDC at " + hex(created)),
            leakLine("Resource Leak detected of type HPALETTE at " + hex(palette)), inactive()));
    LeakTracker::releaseReported();
    EXPECT_EQ(pw_HeapFree(heap, 0, anonymous), 0) << "memory is released";
    EXPECT_EQ(pw_HeapFree(heap, 0, placed), 0);
    EXPECT_EQ(pw_ReleaseDC(&window, dc), 0) << "a window's context goes back to it";
    EXPECT_EQ(pw_DeleteObject(font), 0);
    EXPECT_EQ(pw_DeleteObject(brush), 0);
    EXPECT_EQ(pw_DeleteDC(created), 0);
    EXPECT_EQ(pw_DeleteObject(palette), 0);
    pw_CoTaskMemFree(task);
}

TEST_F(LeakTrackerTest, LongReportLinesAreCutTo127Characters)
{
    activate();
    std::string longName = "/src/" + std::string(200, 'd') + "/Leaky.cpp";
    {
        AllocationSite site(longName.c_str(), 12);
        imports().HeapAlloc(pw_GetProcessHeap(), 0, 3);
    }
    auto lines = report();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], (path + " : Leak detected in file " + longName).substr(0, 127));
}

TEST_F(LeakTrackerTest, ReallocationRules)
{
    activate();
    HeapHandle heap = pw_GetProcessHeap();

    void* fromNull = imports().HeapReAlloc(heap, 0, nullptr, 12);
    ASSERT_NE(fromNull, nullptr);
    EXPECT_EQ(LeakTracker::outstanding(), 1u) << "a null block is an allocation";

    EXPECT_EQ(imports().HeapReAlloc(heap, 0, fromNull, 0), nullptr);
    EXPECT_EQ(LeakTracker::outstanding(), 0u) << "size 0 is a release";

    void* block = imports().HeapAlloc(heap, 0, 16);
    EXPECT_EQ(imports().HeapReAlloc(heap, 0, block, SIZE_MAX / 2), nullptr);
    void* moved = imports().HeapReAlloc(heap, 0, block, 20000);
    ASSERT_NE(moved, nullptr);

    void* task = imports().CoTaskMemRealloc(nullptr, 4);
    task = imports().CoTaskMemRealloc(task, 0);
    EXPECT_EQ(task, nullptr);

    EXPECT_THAT(report(), ElementsAre(leakLine("Leak detected of 20000 bytes at " + hex(moved)), inactive()));
}

TEST_F(LeakTrackerTest, FailedReallocationKeepsTheOldRecord)
{
    activate();
    HeapHandle heap = pw_GetProcessHeap();
    void* block = imports().HeapAlloc(heap, 0, 16);
    EXPECT_EQ(imports().HeapReAlloc(heap, 0, block, SIZE_MAX / 2), nullptr);
    EXPECT_THAT(report(), ElementsAre(leakLine("Leak detected of 16 bytes at " + hex(block)), inactive()));
}

TEST_F(LeakTrackerTest, ReleasesMatchTheKindOfTheRecordAndSucceed)
{
    activate();
    HeapHandle heap = imports().HeapCreate(0, 0, 0);
    void* block = imports().HeapAlloc(heap, 0, 8);
    HBITMAP bitmap = imports().CreateBitmap(1, 1, 1, 32, nullptr);
    int window = 0, otherWindow = 0;
    HDC dc = imports().GetDC(&window);

    EXPECT_EQ(imports().HeapFree(pw_GetProcessHeap(), 0, block), 0) << "wrong heap";
    imports().CoTaskMemFree(bitmap); // not task memory
    EXPECT_EQ(imports().ReleaseDC(&otherWindow, dc), 0);
    EXPECT_EQ(imports().DeleteObject(dc), 0);
    EXPECT_EQ(LeakTracker::outstanding(), 3u);

    // Destroying a heap frees its blocks: no record may outlive it.
    EXPECT_EQ(imports().HeapDestroy(heap), 1);
    EXPECT_EQ(imports().DeleteObject(bitmap), 1);
    EXPECT_EQ(imports().ReleaseDC(&window, dc), 1);
    EXPECT_THAT(report(), ElementsAre(inactive()));
}

TEST_F(LeakTrackerTest, ItemsReleasedByTheProgramAfterTheReportAreNotReleasedAgain)
{
    // A static object may release what the report listed once the report
    // is written; the address may then be handed out again.
    activate();
    HeapHandle heap = pw_GetProcessHeap();
    void* block = imports().HeapAlloc(heap, 0, 40);
    ASSERT_EQ(report().size(), 2u);
    EXPECT_EQ(imports().HeapFree(heap, 0, block), 1);
    void* reused = imports().HeapAlloc(heap, 0, 40); // most likely the same address
    LeakTracker::releaseReported();
    EXPECT_EQ(imports().HeapFree(heap, 0, reused), 1) << "the new block must still be live";
}

// Holds a tracked block in a static object, as a program-wide queue might,
// and releases it when static objects are destroyed at exit.
struct StaticHolder {
    void* block = nullptr;
    ~StaticHolder()
    {
        std::fprintf(stderr, "holder released: %d\n", imports().HeapFree(pw_GetProcessHeap(), 0, block));
    }
};

TEST(LeakTrackerExitTest, ReportedItemsAreReleasedOnlyAfterStaticObjectsAreGone)
{
    EXPECT_EXIT(
        {
            static StaticHolder holder;
            test::debugOutputToStandardError();
            LeakTracker::activate();
            holder.block = imports().HeapAlloc(pw_GetProcessHeap(), 0, 24);
            LeakTracker::deactivate();
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "Leak detected of 24 bytes(.|\n)*holder released: 1");
}

TEST_F(LeakTrackerTest, PensTaskMemoryAndStringsAreReportedButNotReleased)
{
    activate();
    HPEN pen = imports().CreatePen(0, 1, 0);
    Bstr text = imports().SysAllocString(u"kept");
    void* task = imports().CoTaskMemAlloc(9);
    EXPECT_THAT(report(),
        ElementsAre(leakLine("Resource Leak detected of type HPEN at " + hex(pen)),
            leakLine("Resource Leak detected of type BSTR at " + hex(text)),
            leakLine("Resource Leak detected of type COTASKMEMALLOC at " + hex(task)), inactive()));
    LeakTracker::releaseReported();
    EXPECT_EQ(std::u16string(text), u"kept");
    EXPECT_EQ(pw_DeleteObject(pen), 1);
    pw_SysFreeString(text);
    pw_CoTaskMemFree(task);
}

TEST_F(LeakTrackerTest, OnlyItemsObtainedWhileActiveAreTracked)
{
    HeapHandle heap = pw_GetProcessHeap();
    void* before = imports().HeapAlloc(heap, 0, 4);
    activate();
    imports().HeapFree(heap, 0, before);
    void* during = imports().HeapAlloc(heap, 0, 4);
    imports().HeapFree(heap, 0, during);
    EXPECT_EQ(LeakTracker::outstanding(), 0u);
    EXPECT_THAT(report(), ElementsAre(inactive()));
    void* after = imports().HeapAlloc(heap, 0, 4);
    EXPECT_EQ(LeakTracker::outstanding(), 0u);
    imports().HeapFree(heap, 0, after);
}

TEST_F(LeakTrackerTest, AnyActivationFailureLeavesTrackingOffSilently)
{
    struct Failure {
        const char* what;
        LeakTracker::System system;
    };
    auto working = LeakTracker::systemCalls();
    auto with = [&](auto change) {
        auto system = working;
        change(system);
        return system;
    };
    const Failure failures[] = {
        { "version", with([](auto& s) { s.readVersion = [] { return false; }; }) },
        { "path", with([](auto& s) {
             s.programPath = []() -> std::optional<std::string> { return std::nullopt; };
         }) },
        { "module", with([](auto& s) { s.programModule = []() -> const void* { return nullptr; }; }) },
        { "Initialise", with([](auto& s) { s.initialise = []() -> Service* { return nullptr; }; }) },
    };
    for (const auto& failure : failures) {
        SCOPED_TRACE(failure.what);
        imports() = plainImports(); // as at start-up
        output.clear();
        EXPECT_FALSE(LeakTracker::activate(failure.system));
        EXPECT_FALSE(LeakTracker::active());
        EXPECT_EQ(imports().HeapAlloc, plainImports().HeapAlloc);
        void* block = imports().HeapAlloc(pw_GetProcessHeap(), 0, 4);
        EXPECT_EQ(LeakTracker::outstanding(), 0u);
        imports().HeapFree(pw_GetProcessHeap(), 0, block);
        LeakTracker::deactivate();
        EXPECT_THAT(output.lines(), ::testing::IsEmpty());
    }
}

TEST_F(LeakTrackerTest, ExitThreadSaysSoBeforeTheThreadEnds)
{
    activate();
    pthread_t thread;
    ASSERT_EQ(pthread_create(
                  &thread, nullptr,
                  [](void*) -> void* {
                      imports().ExitThread(7);
                      return nullptr;
                  },
                  nullptr),
        0);
    void* result = nullptr;
    ASSERT_EQ(pthread_join(thread, &result), 0);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(result), 7u);
    EXPECT_THAT(output.lines(), ElementsAre("Exiting Thread"));
}

} // namespace
} // namespace tvrn2
