#include "tests/support/MainLoopWait.h"

#include <glib.h>

namespace tvrn2::test {
namespace {

gboolean onTick(gpointer)
{
    return G_SOURCE_CONTINUE;
}

} // namespace

bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    // The tick only wakes the blocking iteration so the deadline is seen.
    guint tick = g_timeout_add(10, onTick, nullptr);
    auto deadline = std::chrono::steady_clock::now() + timeout;
    bool met = done();
    while (!met && std::chrono::steady_clock::now() < deadline) {
        g_main_context_iteration(nullptr, TRUE);
        met = done();
    }
    g_source_remove(tick);
    return met;
}

} // namespace tvrn2::test
