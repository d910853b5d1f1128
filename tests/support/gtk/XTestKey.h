#pragma once

// Only for sources that already work with Xlib: its macros (None, Status ...)
// clash with the test framework's names.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace tvrn2::test {

// A real key press and release (an X keysym) through the X server's test
// extension, with a modifier key (XK_Shift_L) held down when one is given.
inline void fakeKeyPress(Display* display, unsigned long keysym, unsigned long modifier = 0)
{
    KeyCode held = modifier ? XKeysymToKeycode(display, modifier) : 0;
    KeyCode code = XKeysymToKeycode(display, keysym);
    if (held)
        XTestFakeKeyEvent(display, held, True, CurrentTime);
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    if (held)
        XTestFakeKeyEvent(display, held, False, CurrentTime);
    XFlush(display);
}

} // namespace tvrn2::test
