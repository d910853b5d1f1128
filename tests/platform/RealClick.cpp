#include "tests/platform/RealClick.h"

// Kept apart from the tests: the X headers define macros (None, Status ...)
// that clash with the test framework's names.
#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>

namespace tvrn2::test {

void clickWidget(GtkWidget* widget)
{
    GtkAllocation allocation;
    gtk_widget_get_allocation(widget, &allocation);
    int originX = 0;
    int originY = 0;
    gdk_window_get_origin(gtk_widget_get_window(widget), &originX, &originY);
    Display* display = GDK_DISPLAY_XDISPLAY(gtk_widget_get_display(widget));
    XTestFakeMotionEvent(display, -1, originX + allocation.x + allocation.width / 2,
        originY + allocation.y + allocation.height / 2, CurrentTime);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XFlush(display);
}

} // namespace tvrn2::test
