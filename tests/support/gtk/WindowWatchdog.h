#pragma once

#include "platform/Window.h"

#include <glib.h>

namespace tvrn2::test {

// The watchdog of a test that runs a window's own loop: once `milliseconds`
// pass it fails the test, answers every open dialog (so a nested loop ends
// too) and closes the window (when one is given), instead of letting the
// loop hang. Gone before it fires, it does nothing.
class WindowWatchdog {
public:
    WindowWatchdog(Window* window, guint milliseconds);
    ~WindowWatchdog();
    WindowWatchdog(const WindowWatchdog&) = delete;
    WindowWatchdog& operator=(const WindowWatchdog&) = delete;

    bool fired() const { return m_fired; }

private:
    static gboolean fire(gpointer data);

    Window* m_window;
    guint m_source { 0 };
    bool m_fired { false };
};

} // namespace tvrn2::test
