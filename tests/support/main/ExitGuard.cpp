// Linked into every test program. A test process that ends through exit() in
// the middle of a test (a stop box answered with its default, a halt that no
// test intercepts) would otherwise hand ctest a success for a test that never
// finished. Such an exit now fails the run and names the test.

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace {

std::string running;
pid_t owner = 0;

class ExitGuard final : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo& test) override
    {
        running = std::string(test.test_suite_name()) + "." + test.name();
        owner = ::getpid();
    }
    void OnTestEnd(const ::testing::TestInfo&) override { running.clear(); }
};

void onExit()
{
    // Death tests exit in a child of their own, as they should.
    if (running.empty() || ::getpid() != owner)
        return;
    std::fprintf(stderr, "\nThe process ended through exit() in the middle of %s.\n", running.c_str());
    std::fflush(stderr);
    ::_exit(1);
}

const bool installed = [] {
    std::atexit(onExit);
    ::testing::UnitTest::GetInstance()->listeners().Append(new ExitGuard);
    return true;
}();

} // namespace
