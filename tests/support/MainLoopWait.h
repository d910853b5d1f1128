#pragma once

#include <chrono>
#include <functional>

namespace tvrn2::test {

// Runs the default GLib main context until `done` holds or `timeout` passes
// (a watchdog: the test fails instead of hanging). Returns whether `done` held.
bool runUntil(
    const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(60));

// There is deliberately no "run for a while": to show that something does not
// happen, wait for a later event that must come after it.

} // namespace tvrn2::test
