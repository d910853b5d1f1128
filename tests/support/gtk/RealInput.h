#pragma once

#include <gtk/gtk.h>

namespace tvrn2::test {

// A real left click: the X server moves the pointer onto the middle of the
// widget and presses and releases the button there.
void clickWidget(GtkWidget* widget);

// Presses and releases a key (an X keysym such as XK_Return) where the
// keyboard focus is.
void pressKey(GtkWidget* widget, unsigned long keysym);

// Moves the pointer to (x, y) pixels from the widget's top left corner.
void movePointer(GtkWidget* widget, int x, int y);

} // namespace tvrn2::test
