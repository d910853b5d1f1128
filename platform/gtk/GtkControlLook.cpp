// The look of controls: the form's style, fonts and colours of text,
// cursors, and images linked into the program. GtkWindowView's applyLook
// and applyCursor are here too.

#include "platform/gtk/GtkControlLook.h"

#include "platform/gtk/GtkWindowViewItem.h"

#include <algorithm>
#include <cctype>

namespace tvrn2 {
namespace {

using PangoAttrListPtr = GHandle<PangoAttrList, pango_attr_list_unref>;

PangoAttrListPtr attributesFor(const Control& control)
{
    PangoAttrListPtr owned(pango_attr_list_new());
    PangoAttrList* attrs = owned.get();
    if (control.fontColour() >= 0) {
        Colour c = control.fontColour();
        pango_attr_list_insert(attrs,
            pango_attr_foreground_new(static_cast<guint16>((c & 0xFF) * 257),
                static_cast<guint16>(((c >> 8) & 0xFF) * 257),
                static_cast<guint16>(((c >> 16) & 0xFF) * 257)));
    }
    int style = control.fontStyle();
    if (int weight = style & FontStyle::WeightMask)
        pango_attr_list_insert(
            attrs, pango_attr_weight_new(static_cast<PangoWeight>(std::clamp(weight, 100, 1000))));
    if (style & FontStyle::Italic)
        pango_attr_list_insert(attrs, pango_attr_style_new(PANGO_STYLE_ITALIC));
    if (style & FontStyle::Underline)
        pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    if (style & FontStyle::Strikeout)
        pango_attr_list_insert(attrs, pango_attr_strikethrough_new(TRUE));
    return owned;
}

// The cursor a control names: hand and wait cursors by their usual names,
// a file linked into the program ("~hand2.cur") by what its name says.
GObjectPtr<GdkCursor> cursorFor(GdkDisplay* display, std::string name)
{
    if (name.empty())
        return {};
    if (name.front() == '~')
        name.erase(0, 1);
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    const char* css = nullptr;
    if (name.find("hand") != std::string::npos || name == "pointer")
        css = "pointer";
    else if (name.find("wait") != std::string::npos || name.find("hourglass") != std::string::npos)
        css = "wait";
    else if (name.find("ibeam") != std::string::npos || name == "text")
        css = "text";
    else if (name.find("cross") != std::string::npos)
        css = "crosshair";
    if (css)
        return GObjectPtr<GdkCursor>::adopt(gdk_cursor_new_from_name(display, css));
    if (auto* cursor = gdk_cursor_new_from_name(display, name.c_str()))
        return GObjectPtr<GdkCursor>::adopt(cursor);
    return GObjectPtr<GdkCursor>::adopt(gdk_cursor_new_from_name(display, "default"));
}

// Sets the cursor on the GDK windows that belong to a widget (an entry's
// text area, a button's input window, an event box's own window).
void setWidgetCursor(GtkWidget* widget, GdkCursor* cursor)
{
    if (!gtk_widget_get_realized(widget))
        return;
    if (gtk_widget_get_has_window(widget))
        gdk_window_set_cursor(gtk_widget_get_window(widget), cursor);
    GdkWindow* parent = gtk_widget_get_window(widget);
    if (!parent)
        return;
    GHandle<GList, g_list_free> children(gdk_window_get_children(parent));
    for (GList* at = children.get(); at; at = at->next) {
        auto* child = static_cast<GdkWindow*>(at->data);
        gpointer owner = nullptr;
        gdk_window_get_user_data(child, &owner);
        if (owner == widget)
            gdk_window_set_cursor(child, cursor);
    }
}

} // namespace

// Compact controls, so a control keeps to the few dialog units its
// rectangle gives it instead of the theme's generous padding.
void installFormStyle()
{
    static bool installed = false;
    if (installed || !gdk_screen_get_default())
        return;
    installed = true;
    auto css = GObjectPtr<GtkCssProvider>::adopt(gtk_css_provider_new());
    gtk_css_provider_load_from_data(css.get(),
        ".tvrn2-form button { padding: 0 6px; min-height: 0; min-width: 0; }\n"
        ".tvrn2-form entry { padding: 0 4px; min-height: 0; }\n"
        ".tvrn2-form .tvrn2-container { border: 1px solid alpha(currentColor, 0.3); }\n",
        -1, nullptr);
    gtk_style_context_add_provider_for_screen(
        gdk_screen_get_default(), GTK_STYLE_PROVIDER(css.get()), GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

GdkRGBA rgbaOf(Colour colour)
{
    return { (colour & 0xFF) / 255.0, ((colour >> 8) & 0xFF) / 255.0, ((colour >> 16) & 0xFF) / 255.0, 1.0 };
}

GObjectPtr<GdkPixbuf> linkedImage(const std::string& name)
{
    if (name.empty() || name.find('/') != std::string::npos)
        return {};
    std::string path = "/tvrn2/linked/" + name;
    return GObjectPtr<GdkPixbuf>::adopt(gdk_pixbuf_new_from_resource(path.c_str(), nullptr));
}

void GtkWindowView::applyLook(Item& item)
{
    const Control* control = item.control();
    if (!control)
        return;
    gtk_widget_set_tooltip_text(
        item.outer, control->tooltip().empty() ? nullptr : control->tooltip().c_str());
    GtkWidget* label = nullptr;
    if (GTK_IS_LABEL(item.widget))
        label = item.widget;
    else if (GTK_IS_BUTTON(item.widget))
        label = gtk_bin_get_child(GTK_BIN(item.widget));
    PangoAttrListPtr attrs = attributesFor(*control);
    if (label && GTK_IS_LABEL(label))
        gtk_label_set_attributes(GTK_LABEL(label), attrs.get());
    else if (GTK_IS_ENTRY(item.widget))
        gtk_entry_set_attributes(GTK_ENTRY(item.widget), attrs.get());
}

void GtkWindowView::applyCursor(Item& item)
{
    const Control* control = item.control();
    if (!control)
        return;
    GObjectPtr<GdkCursor> cursor = cursorFor(gtk_widget_get_display(item.widget), control->cursor());
    setWidgetCursor(item.widget, cursor.get());
}

} // namespace tvrn2
