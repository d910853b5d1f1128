#pragma once

#include <memory>

namespace tvrn2 {

class GLibEventLoop;

// Puts windows on the screen for its lifetime: initialises GTK, and installs
// the GLib event loop, the window views, message boxes, file and colour
// dialogs, the history window and the wait cursor. Everything installed
// before is put back when it goes.
class GtkBackend {
public:
    GtkBackend();
    ~GtkBackend();
    GtkBackend(const GtkBackend&) = delete;
    GtkBackend& operator=(const GtkBackend&) = delete;

    // False when there is no display to show windows on.
    static bool available();
    GLibEventLoop& loop();

private:
    struct InstalledServices;
    std::unique_ptr<InstalledServices> m_services;
};

} // namespace tvrn2
