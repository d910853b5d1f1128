#pragma once

#include <gtk/gtk.h>

namespace tvrn2::test {

// Moves the X server's pointer, as a user's hand would: onto the middle of
// a widget, or to a point of the screen.
void movePointerOnto(GtkWidget* widget);
void movePointerTo(GdkScreen* screen, int x, int y);

} // namespace tvrn2::test
