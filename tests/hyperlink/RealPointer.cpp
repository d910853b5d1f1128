#include "tests/hyperlink/RealPointer.h"

// Kept apart from the tests: the X headers define macros (None, Status ...)
// that clash with the test framework's names.
#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>

namespace tvrn2::test {

void movePointerTo(GdkScreen* screen, int x, int y)
{
    Display* display = GDK_DISPLAY_XDISPLAY(gdk_screen_get_display(screen));
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    XFlush(display);
}

void movePointerOnto(GtkWidget* widget)
{
    GtkAllocation allocation;
    gtk_widget_get_allocation(widget, &allocation);
    int originX = 0;
    int originY = 0;
    gdk_window_get_origin(gtk_widget_get_window(widget), &originX, &originY);
    movePointerTo(gtk_widget_get_screen(widget), originX + allocation.x + allocation.width / 2,
        originY + allocation.y + allocation.height / 2);
}

} // namespace tvrn2::test
