#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace tvrn2::test {

// How a program run by runProgram ended.
struct ProgramRun {
    // False when the watchdog had to kill it.
    bool finished { false };
    // The exit code, or -1 when it did not exit normally.
    int exitCode { -1 };
    std::string output; // standard output
    std::string errors; // standard error
};

// Runs a program (arguments[0] is its path, or a name looked up on PATH) with
// the test's environment and collects what it writes. A run that outlasts
// `limit` is killed with everything it started, so a program that hangs fails
// the test instead of holding it up.
ProgramRun runProgram(const std::vector<std::string>& arguments, std::chrono::milliseconds limit);

} // namespace tvrn2::test
