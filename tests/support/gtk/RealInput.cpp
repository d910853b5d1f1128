#include "tests/support/gtk/RealInput.h"

// Kept apart from the tests: the X headers define macros (None, Status ...)
// that clash with the test framework's names.
#include "tests/support/gtk/XTestKey.h"

#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>

namespace tvrn2::test {

void movePointerTo(GdkScreen* screen, int x, int y)
{
    Display* display = GDK_DISPLAY_XDISPLAY(gdk_screen_get_display(screen));
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    XFlush(display);
}

void movePointer(GtkWidget* widget, int x, int y)
{
    GtkAllocation allocation;
    gtk_widget_get_allocation(widget, &allocation);
    int originX = 0;
    int originY = 0;
    gdk_window_get_origin(gtk_widget_get_window(widget), &originX, &originY);
    movePointerTo(gtk_widget_get_screen(widget), originX + allocation.x + x, originY + allocation.y + y);
}

void movePointerOnto(GtkWidget* widget)
{
    GtkAllocation allocation;
    gtk_widget_get_allocation(widget, &allocation);
    movePointer(widget, allocation.width / 2, allocation.height / 2);
}

void clickWidget(GtkWidget* widget, unsigned button)
{
    movePointerOnto(widget);
    Display* display = GDK_DISPLAY_XDISPLAY(gtk_widget_get_display(widget));
    XTestFakeButtonEvent(display, button, True, CurrentTime);
    XTestFakeButtonEvent(display, button, False, CurrentTime);
    XFlush(display);
}

void pressKey(GtkWidget* widget, unsigned long keysym, unsigned long modifier)
{
    fakeKeyPress(GDK_DISPLAY_XDISPLAY(gtk_widget_get_display(widget)), keysym, modifier);
}

} // namespace tvrn2::test
