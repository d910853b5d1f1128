#include "platform/gtk/WindowPicture.h"

#include <cstring>
#include <gtk/gtk.h>

namespace tvrn2 {

GObjectPtr<GdkPixbuf> readWindowPicture(GtkWidget* toplevel)
{
    GdkWindow* window = toplevel ? gtk_widget_get_window(toplevel) : nullptr;
    if (!window || !gdk_window_is_viewable(window))
        return {};
    return GObjectPtr<GdkPixbuf>::adopt(gdk_pixbuf_get_from_window(
        window, 0, 0, gdk_window_get_width(window), gdk_window_get_height(window)));
}

bool samePicture(GdkPixbuf* one, GdkPixbuf* other)
{
    if (!one || !other)
        return false;
    const int width = gdk_pixbuf_get_width(one);
    const int height = gdk_pixbuf_get_height(one);
    if (width != gdk_pixbuf_get_width(other) || height != gdk_pixbuf_get_height(other)
        || gdk_pixbuf_get_n_channels(one) != gdk_pixbuf_get_n_channels(other)
        || gdk_pixbuf_get_bits_per_sample(one) != gdk_pixbuf_get_bits_per_sample(other))
        return false;
    // Rows may carry padding past their last pixel: compare the pixels only.
    const auto rowBytes = static_cast<std::size_t>(width) * gdk_pixbuf_get_n_channels(one)
        * gdk_pixbuf_get_bits_per_sample(one) / 8;
    const guchar* a = gdk_pixbuf_read_pixels(one);
    const guchar* b = gdk_pixbuf_read_pixels(other);
    for (int row = 0; row < height; ++row) {
        if (std::memcmp(a + static_cast<std::size_t>(row) * gdk_pixbuf_get_rowstride(one),
                b + static_cast<std::size_t>(row) * gdk_pixbuf_get_rowstride(other), rowBytes)
            != 0)
            return false;
    }
    return true;
}

bool savePicture(GdkPixbuf* picture, const std::filesystem::path& file, std::string* error)
{
    GError* raw = nullptr;
    if (picture && gdk_pixbuf_save(picture, file.c_str(), "png", &raw, nullptr))
        return true;
    GErrorPtr saveError(raw);
    if (error)
        *error = saveError && saveError->message ? saveError->message : "there is no picture";
    return false;
}

bool saveWindowPicture(GtkWidget* toplevel, const std::filesystem::path& file, std::string* error)
{
    auto picture = readWindowPicture(toplevel);
    if (!picture) {
        if (error)
            *error = "the window is not on the screen";
        return false;
    }
    return savePicture(picture.get(), file, error);
}

} // namespace tvrn2
