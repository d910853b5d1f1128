#include "diagnostics/StackWalk.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tvrn2 {
namespace {

using ::testing::ElementsAre;

// A made-up stack: frame i sits at words[2 * i] and holds the next frame's
// address and return address 0x1000 + i.
class FakeStack {
public:
    explicit FakeStack(std::size_t frames)
        : words(2 * frames + 2, 0)
    {
        for (std::size_t i = 0; i < frames; ++i) {
            words[2 * i] = address(i + 1);
            words[2 * i + 1] = 0x1000 + i;
        }
    }
    std::uintptr_t address(std::size_t frame) const
    {
        return reinterpret_cast<std::uintptr_t>(&words[2 * frame]);
    }
    StackBounds bounds() const { return { address(0), address(0) + words.size() * sizeof(std::uintptr_t) }; }
    const void* top() const { return &words[0]; }

    std::vector<std::uintptr_t> words;
};

TEST(StackWalk, FollowsTheChainUntilANullReturnAddress)
{
    FakeStack stack(3);
    EXPECT_THAT(walkFrames(stack.top(), stack.bounds(), 10), ElementsAre(0x1000, 0x1001, 0x1002));
}

TEST(StackWalk, StopsAtTheLimit)
{
    FakeStack stack(20);
    auto addresses = walkFrames(stack.top(), stack.bounds(), 10);
    ASSERT_EQ(addresses.size(), 10u);
    EXPECT_EQ(addresses.back(), 0x1009u);
}

TEST(StackWalk, StopsAtFramesItCannotTrust)
{
    struct Case {
        const char* what;
        std::size_t brokenFrame; // frame whose link is replaced
        std::function<std::uintptr_t(const FakeStack&)> link;
    };
    const Case cases[] = {
        { "not above the previous frame", 1, [](const FakeStack& s) { return s.address(0); } },
        { "the same frame again", 1, [](const FakeStack& s) { return s.address(1); } },
        { "outside the stack", 1, [](const FakeStack& s) { return s.bounds().high + 64; } },
        { "straddling the stack's end", 1,
            [](const FakeStack& s) { return s.bounds().high - sizeof(std::uintptr_t); } },
        { "misaligned", 1, [](const FakeStack& s) { return s.address(2) + 1; } },
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        FakeStack stack(5);
        stack.words[2 * test.brokenFrame] = test.link(stack);
        EXPECT_THAT(walkFrames(stack.top(), stack.bounds(), 10), ElementsAre(0x1000, 0x1001));
    }
    FakeStack stack(2);
    EXPECT_THAT(walkFrames(nullptr, stack.bounds(), 10), ::testing::IsEmpty());
}

TEST(StackWalk, CurrentStackHoldsTheCallersFrame)
{
    auto bounds = currentStackBounds();
    ASSERT_TRUE(bounds);
    int local = 0;
    auto here = reinterpret_cast<std::uintptr_t>(&local);
    EXPECT_GE(here, bounds->low);
    EXPECT_LT(here, bounds->high);
}

} // namespace
} // namespace tvrn2
