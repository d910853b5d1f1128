#pragma once

#include <chrono>
#include <functional>

namespace tvrn2::test {

// Runs the default GLib main context until `done` holds or `timeout` passes
// (a watchdog: the test fails instead of hanging). Returns whether `done` held.
bool runUntil(
    const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(20));

// Runs the default main context for a while, for things that must not happen.
void runFor(std::chrono::milliseconds duration);

} // namespace tvrn2::test
