#pragma once

#include <gtk/gtk.h>

namespace tvrn2::test {

// A real left click: the X server moves the pointer onto the middle of the
// widget and presses and releases the button there.
void clickWidget(GtkWidget* widget);

// Moves the pointer to (x, y) pixels from the widget's top left corner.
void movePointer(GtkWidget* widget, int x, int y);

} // namespace tvrn2::test
