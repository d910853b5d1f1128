#pragma once

#include <memory>
#include <optional>
#include <sys/types.h>

namespace tvrn2::test {

// Acts on another program's windows on the test's X display the way a user
// does: a click of the mouse into a window, or a click on a window's close
// box (the window gets the window manager's delete request).
class ProgramWindows {
public:
    ProgramWindows();
    ~ProgramWindows();
    ProgramWindows(const ProgramWindows&) = delete;
    ProgramWindows& operator=(const ProgramWindows&) = delete;

    // Asks every visible top-level window of process `pid` to close; each
    // window is asked again when it is still there five seconds later, as a
    // user clicks the close box again. Does nothing without a display.
    void closeWindowsOf(pid_t pid);

    struct ScreenRect {
        int x, y, width, height;
    };
    // Whether the connection to the display opened; without it no window is
    // ever found and nothing is clicked or closed.
    bool connected() const;

    // Where the first visible top-level window of `pid` is on the screen.
    std::optional<ScreenRect> windowOf(pid_t pid);

    // A real left click at a point of the screen.
    void clickAt(int x, int y);
    // A real key press and release (an X keysym) where the keyboard focus
    // is, with a modifier key (the keysym of Shift_L) held when one is given.
    void pressKey(unsigned long keysym, unsigned long modifier = 0);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace tvrn2::test
