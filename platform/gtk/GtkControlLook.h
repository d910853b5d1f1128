#pragma once

#include "platform/GObjectPtr.h"
#include "platform/Window.h"

#include <gtk/gtk.h>
#include <string>

namespace tvrn2 {

// The look every window's controls share, installed once for the screen.
void installFormStyle();
// A colour of the window model (0x00BBGGRR) for GTK.
GdkRGBA rgbaOf(Colour colour);
// An image linked into the program under its bare name (a GResource below
// /tvrn2/linked/), or null when the program carries none of that name.
GObjectPtr<GdkPixbuf> linkedImage(const std::string& name);

} // namespace tvrn2
