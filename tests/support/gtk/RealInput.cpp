#include "tests/platform/RealClick.h"

// Kept apart from the tests: the X headers define macros (None, Status ...)
// that clash with the test framework's names.
#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>

namespace tvrn2::test {

void movePointer(GtkWidget* widget, int x, int y)
{
    GtkAllocation allocation;
    gtk_widget_get_allocation(widget, &allocation);
    int originX = 0;
    int originY = 0;
    gdk_window_get_origin(gtk_widget_get_window(widget), &originX, &originY);
    Display* display = GDK_DISPLAY_XDISPLAY(gtk_widget_get_display(widget));
    XTestFakeMotionEvent(display, -1, originX + allocation.x + x, originY + allocation.y + y, CurrentTime);
    XFlush(display);
}

void clickWidget(GtkWidget* widget)
{
    GtkAllocation allocation;
    gtk_widget_get_allocation(widget, &allocation);
    movePointer(widget, allocation.width / 2, allocation.height / 2);
    Display* display = GDK_DISPLAY_XDISPLAY(gtk_widget_get_display(widget));
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XFlush(display);
}

void pressKey(GtkWidget* widget, unsigned long keysym)
{
    Display* display = GDK_DISPLAY_XDISPLAY(gtk_widget_get_display(widget));
    KeyCode code = XKeysymToKeycode(display, keysym);
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    XFlush(display);
}

} // namespace tvrn2::test
