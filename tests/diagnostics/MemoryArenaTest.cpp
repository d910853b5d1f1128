#include "diagnostics/MemoryArena.h"

#include "diagnostics/TraceLog.h"
#include "tests/support/TestSupport.h"

#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <set>

namespace tvrn2 {
namespace {

class MemoryArenaTest : public ::testing::Test {
protected:
    test::TempDir dir;
    TraceLog log { dir / "TRCLOG.TXT", [] { return std::string(); } };
};

TEST_F(MemoryArenaTest, FallsBackToAnyAddressWhenThePreferredOneIsTaken)
{
    std::vector<void*> asked;
    MemoryArena arena(log, [&](void* address, std::size_t size, int& error) -> void* {
        asked.push_back(address);
        EXPECT_EQ(size, 0x8000000u);
        if (address) {
            error = EEXIST;
            return nullptr;
        }
        return MemoryArena::reserveAddressSpace(address, size, error);
    });
    EXPECT_EQ(asked, (std::vector<void*> { reinterpret_cast<void*>(0x8000000), nullptr }));
    EXPECT_FALSE(arena.empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "TRCLOG.TXT"));
}

TEST_F(MemoryArenaTest, WhenNoReservationSucceedsTheFailureIsTracedAndTheArenaStaysEmpty)
{
    MemoryArena arena(log, [](void*, std::size_t, int& error) -> void* {
        error = ENOMEM;
        return nullptr;
    });
    EXPECT_TRUE(arena.empty());
    EXPECT_EQ(arena.allocate(8), nullptr);
    EXPECT_EQ(test::TempDir::read(dir / "TRCLOG.TXT"), "Memory failed: c\r\n");
}

TEST_F(MemoryArenaTest, SmallBlocksComeFromTheirSizeClassAndAreReused)
{
    MemoryArena arena(log);
    ASSERT_FALSE(arena.empty());
    auto* base = static_cast<const char*>(arena.base());
    struct Block {
        std::size_t bytes;
        char* at;
    };
    std::vector<Block> blocks;
    for (std::size_t bytes = 1; bytes <= 32; ++bytes) {
        for (int i = 0; i < 3; ++i) {
            auto* at = static_cast<char*>(arena.allocate(bytes));
            ASSERT_NE(at, nullptr) << bytes;
            ASSERT_GE(at, base);
            ASSERT_LT(at, base + MemoryArena::Size);
            EXPECT_EQ(
                reinterpret_cast<std::uintptr_t>(at) % (bytes > 12 && bytes != 24 && bytes != 16 ? 8 : 4), 0u)
                << bytes;
            std::memset(at, int(bytes), bytes);
            blocks.push_back({ bytes, at });
        }
    }
    // No block overlaps another: every byte still holds its block's size.
    for (const auto& block : blocks) {
        for (std::size_t i = 0; i < block.bytes; ++i)
            ASSERT_EQ(block.at[i], char(block.bytes)) << block.bytes;
    }

    EXPECT_EQ(arena.allocate(0), nullptr);
    EXPECT_EQ(arena.allocate(33), nullptr);

    // Released blocks come back first, within their own class only.
    arena.release(blocks[0].at, 1); // a 4-byte block
    arena.release(blocks[3].at, 2); // another 4-byte block
    arena.release(blocks.back().at, 32);
    EXPECT_EQ(arena.allocate(30), blocks.back().at);
    EXPECT_EQ(arena.allocate(3), blocks[3].at);
    EXPECT_EQ(arena.allocate(4), blocks[0].at);
    std::set<void*> fresh { arena.allocate(4), arena.allocate(12) };
    EXPECT_FALSE(fresh.contains(blocks[0].at));

    int outside = 0;
    arena.release(&outside, 4); // ignored
    arena.release(nullptr, 4);
    EXPECT_NE(arena.allocate(4), &outside);
}

} // namespace
} // namespace tvrn2
