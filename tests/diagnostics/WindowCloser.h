#pragma once

#include <memory>
#include <sys/types.h>

namespace tvrn2::test {

// Closes a program's windows on the test's X display the way a user's click
// on a window's close box does: the window gets the window manager's
// delete request.
class WindowCloser {
public:
    WindowCloser();
    ~WindowCloser();
    WindowCloser(const WindowCloser&) = delete;
    WindowCloser& operator=(const WindowCloser&) = delete;

    // Asks every visible top-level window of process `pid` to close; each
    // window is asked once. Does nothing without a display.
    void closeWindowsOf(pid_t pid);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace tvrn2::test
