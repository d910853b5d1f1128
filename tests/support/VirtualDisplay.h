#pragma once

#include "tests/support/ProgramRun.h"

#include <string>

namespace tvrn2::test {

// An X server (Xvfb) of its own for a program a test starts. The server picks
// a free display number itself, so tests running side by side never end up
// on one display (and one test's server never takes another's program down).
class VirtualDisplay {
public:
    VirtualDisplay();

    // ":N", or empty when the server did not start.
    const std::string& name() const { return m_name; }
    // The server's process, for a test that takes the display away.
    pid_t pid() const { return m_server.pid(); }

private:
    RunningProgram m_server;
    std::string m_name;
};

} // namespace tvrn2::test
