#pragma once

#include <gtk/gtk.h>

namespace tvrn2::test {

// Input through the X server's test extension, as a user's hand gives it:
// it goes wherever the server's one pointer and keyboard focus are, so a test
// that uses it runs on a display of its own (OwnDisplay.h).

// A real click, left unless another button is given (X numbers them: 3 is
// the right button, 8 and 9 a mouse's back and forward buttons): the
// pointer moves onto the middle of the widget and the button is pressed and
// released there.
void clickWidget(GtkWidget* widget, unsigned button = 1);

// Presses and releases a key (an X keysym such as XK_Return) where the
// keyboard focus is, with a modifier key (XK_Shift_L) held down when one is
// given.
void pressKey(GtkWidget* widget, unsigned long keysym, unsigned long modifier = 0);

// Moves the pointer to (x, y) pixels from the widget's top left corner.
void movePointer(GtkWidget* widget, int x, int y);

// Moves the pointer onto the middle of a widget, or to a point of the screen.
void movePointerOnto(GtkWidget* widget);
void movePointerTo(GdkScreen* screen, int x, int y);

} // namespace tvrn2::test
