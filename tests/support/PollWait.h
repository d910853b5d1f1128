#pragma once

#include <chrono>
#include <functional>

namespace tvrn2::test {

// Checks `done` every `interval` until it holds or `limit` passes (the
// watchdog), without running any main loop: for waiting on what another
// program or thread does. Returns whether `done` held. A test whose wait
// needs this process's loop to run uses runUntil (MainLoopWait.h).
bool pollUntil(const std::function<bool()>& done, std::chrono::milliseconds limit,
    std::chrono::milliseconds interval = std::chrono::milliseconds(50));

} // namespace tvrn2::test
