#pragma once

#include <gtk/gtk.h>

namespace tvrn2 {

// GTK's keys, buttons and modifier state as the window model's key codes
// (platform/KeyCode.h).

// The Shift, Ctrl and Alt bits of an event's state.
int modifierBits(guint state);
// A key press as a key code with its modifier bits; 0 for a key the model has no code for.
int keyCodeOf(const GdkEventKey* event);
// A mouse button's code; 0 for buttons other than the first three.
int buttonCode(guint button);

} // namespace tvrn2
