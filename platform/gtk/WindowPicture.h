#pragma once

#include "platform/GObjectPtr.h"

#include <filesystem>
#include <string>

typedef struct _GdkPixbuf GdkPixbuf;
typedef struct _GtkWidget GtkWidget;

namespace tvrn2 {

// What a realised toplevel shows on the screen, read back from the window
// system, so it includes what other processes drew into it (a web view's
// page). Null while the window is not on the screen.
GObjectPtr<GdkPixbuf> readWindowPicture(GtkWidget* toplevel);

// Same size and the same pixels.
bool samePicture(GdkPixbuf* one, GdkPixbuf* other);

// Writes the picture as a PNG file; false with the reason in `error`.
bool savePicture(GdkPixbuf* picture, const std::filesystem::path& file, std::string* error = nullptr);

// Reads the toplevel's picture and saves it.
bool saveWindowPicture(GtkWidget* toplevel, const std::filesystem::path& file, std::string* error = nullptr);

} // namespace tvrn2
