#pragma once

#include <gtest/gtest.h>

namespace tvrn2::test {

// Puts this test process's windows on an X server of its own (Xvfb), started
// at the first call and kept until the process ends, and makes it GTK's
// default display; DISPLAY names it for the programs the test starts. Tests
// that move the real pointer or press real keys call it first: no window of
// another test running beside them can then take their input. Fails when the
// server cannot be started or opened.
::testing::AssertionResult useOwnDisplay();

} // namespace tvrn2::test
