#include "tests/support/gtk/OwnDisplay.h"

#include "platform/gtk/GtkBackend.h"
#include "tests/support/VirtualDisplay.h"

#include <cstdlib>
#include <gtk/gtk.h>
#include <memory>
#include <string>

namespace tvrn2::test {

::testing::AssertionResult useOwnDisplay()
{
    // One server for the whole process: GTK cannot let go of a display it
    // has opened, so a second test in the same process reuses it.
    static std::unique_ptr<VirtualDisplay> server;
    if (!server) {
        server = std::make_unique<VirtualDisplay>();
        if (server->name().empty()) {
            server.reset();
            return ::testing::AssertionFailure() << "Xvfb did not start";
        }
        setenv("DISPLAY", server->name().c_str(), 1);
    }
    const std::string& name = server->name();
    // Before GTK starts, DISPLAY decides; once it runs on another display
    // (an earlier test of this process), the new one becomes the default.
    if (!GtkBackend::available())
        return ::testing::AssertionFailure() << "GTK could not open the display " << name;
    GdkDisplay* current = gdk_display_get_default();
    if (current && name == gdk_display_get_name(current))
        return ::testing::AssertionSuccess();
    GdkDisplay* own = gdk_display_open(name.c_str());
    if (!own)
        return ::testing::AssertionFailure() << "the display " << name << " could not be opened";
    gdk_display_manager_set_default_display(gdk_display_manager_get(), own);
    return ::testing::AssertionSuccess();
}

} // namespace tvrn2::test
