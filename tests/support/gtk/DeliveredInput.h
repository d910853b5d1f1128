#pragma once

#include <gtk/gtk.h>

namespace tvrn2::test {

// Input delivered to a widget through GTK's own event path (the pointer
// entering, the button pressed and released, a key pressed and released),
// as GTK hands on what the X server reports. It does not go through the X
// server's shared pointer and keyboard focus, which another test's window
// on the same display could take.
void deliverClick(GtkWidget* widget);
// Gives the widget the focus and presses the key in its window. `keyval` is
// a GDK key value (GDK_KEY_Return).
void deliverKeyPress(GtkWidget* widget, guint keyval);

} // namespace tvrn2::test
