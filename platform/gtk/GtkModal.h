#pragma once

#include "platform/gtk/OwnedWidget.h"

#include <gtk/gtk.h>

namespace tvrn2 {

// Runs a dialog modally over the active window with every window's events
// held, and returns its response.
int runModal(GtkDialog* dialog);

// The icon name for a box icon kind.
const char* iconNameFor(int boxIcon);

} // namespace tvrn2
