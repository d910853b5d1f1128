#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
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

// A program started with the test's environment (arguments[0] is its path,
// or a name looked up on PATH) in a process group of its own, with what it
// writes collected. Whatever is still running when this goes is killed with
// everything it started.
class RunningProgram {
public:
    explicit RunningProgram(const std::vector<std::string>& arguments);
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool started() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }
    // Collects output until a whole line has arrived on standard output and
    // returns it without its line end; empty when none came within `limit`.
    std::string firstLine(std::chrono::milliseconds limit);
    // Waits for the program to end; past `limit` it is killed (the watchdog).
    ProgramRun wait(std::chrono::milliseconds limit);

private:
    void collect(std::chrono::milliseconds wait);
    bool streamsOpen() const { return m_streams[0] >= 0 || m_streams[1] >= 0; }
    void closeStreams();

    pid_t m_pid { 0 };
    int m_streams[2] { -1, -1 }; // standard output, standard error
    ProgramRun m_run;
};

// Runs a program to its end and collects what it writes. A run that outlasts
// `limit` is killed, so a program that hangs fails the test instead of
// holding it up.
ProgramRun runProgram(const std::vector<std::string>& arguments, std::chrono::milliseconds limit);

} // namespace tvrn2::test
