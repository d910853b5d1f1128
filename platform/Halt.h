#pragma once

#include <functional>

namespace tvrn2 {

// Ends the program at once with the exit code, from anywhere (a stop box's
// Abort, a fatal error). The registered emergency restorers run first, newest
// first, so a setting the program changed for its run is put back on every way
// out, not only on a normal return from main.
[[noreturn]] void haltProgram(int exitCode = 0);

// Registers a restorer for the lifetime of this object. A halt runs it; the
// owner that restores on its normal path drops it (destroys this object or
// calls release()) so it never runs twice.
class EmergencyRestorer {
public:
    explicit EmergencyRestorer(std::function<void()> restore);
    ~EmergencyRestorer();
    EmergencyRestorer(const EmergencyRestorer&) = delete;
    EmergencyRestorer& operator=(const EmergencyRestorer&) = delete;

    // Unregisters without running the restorer.
    void release();

private:
    unsigned long m_id { 0 };
};

// Thrown by haltProgram instead of ending the process while a HaltInterceptor lives.
struct ProgramHalted {
    int exitCode;
};

// While alive, haltProgram runs the restorers and then throws ProgramHalted
// instead of ending the process, so tests can watch a halt happen.
class HaltInterceptor {
public:
    HaltInterceptor();
    ~HaltInterceptor();
    HaltInterceptor(const HaltInterceptor&) = delete;
    HaltInterceptor& operator=(const HaltInterceptor&) = delete;

private:
    bool m_previous;
};

} // namespace tvrn2
