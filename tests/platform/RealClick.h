#pragma once

#include <gtk/gtk.h>

namespace tvrn2::test {

// A real left click: the X server moves the pointer onto the middle of the
// widget and presses and releases the button there.
void clickWidget(GtkWidget* widget);

} // namespace tvrn2::test
