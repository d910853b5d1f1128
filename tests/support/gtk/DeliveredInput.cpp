#include "tests/support/gtk/DeliveredInput.h"

#include <initializer_list>

namespace tvrn2::test {
namespace {

// Where a widget takes its pointer events: a button's input window, else its own.
GdkWindow* inputWindow(GtkWidget* widget)
{
    if (GTK_IS_BUTTON(widget))
        return gtk_button_get_event_window(GTK_BUTTON(widget));
    return gtk_widget_get_window(widget);
}

void deliver(GtkWidget* widget, GdkEvent* event, GdkDevice* device)
{
    gdk_event_set_device(event, device);
    gtk_widget_event(widget, event);
    gdk_event_free(event);
}

} // namespace

void deliverClick(GtkWidget* widget)
{
    GdkSeat* seat = gdk_display_get_default_seat(gtk_widget_get_display(widget));
    GdkDevice* pointer = gdk_seat_get_pointer(seat);
    GdkWindow* window = inputWindow(widget);
    const double x = gtk_widget_get_allocated_width(widget) / 2.0;
    const double y = gtk_widget_get_allocated_height(widget) / 2.0;

    GdkEvent* enter = gdk_event_new(GDK_ENTER_NOTIFY);
    enter->crossing.window = GDK_WINDOW(g_object_ref(window));
    enter->crossing.send_event = TRUE;
    enter->crossing.time = GDK_CURRENT_TIME;
    enter->crossing.x = x;
    enter->crossing.y = y;
    enter->crossing.mode = GDK_CROSSING_NORMAL;
    enter->crossing.detail = GDK_NOTIFY_ANCESTOR;
    deliver(widget, enter, pointer);

    for (GdkEventType type : { GDK_BUTTON_PRESS, GDK_BUTTON_RELEASE }) {
        GdkEvent* event = gdk_event_new(type);
        event->button.window = GDK_WINDOW(g_object_ref(window));
        event->button.send_event = TRUE;
        event->button.time = GDK_CURRENT_TIME;
        event->button.x = x;
        event->button.y = y;
        event->button.button = 1;
        deliver(widget, event, pointer);
    }
}

void deliverKeyPress(GtkWidget* widget, guint keyval)
{
    GdkSeat* seat = gdk_display_get_default_seat(gtk_widget_get_display(widget));
    GdkDevice* keyboard = gdk_seat_get_keyboard(seat);
    GdkKeymapKey* keys = nullptr;
    gint count = 0;
    guint16 hardware = 0;
    if (gdk_keymap_get_entries_for_keyval(
            gdk_keymap_get_for_display(gtk_widget_get_display(widget)), keyval, &keys, &count)
        && count > 0)
        hardware = static_cast<guint16>(keys[0].keycode);
    g_free(keys);
    // Keys reach the window first, which hands them to its focus widget and
    // then applies its own bindings (space activates the focused button).
    gtk_widget_grab_focus(widget);
    GtkWidget* toplevel = gtk_widget_get_toplevel(widget);
    for (GdkEventType type : { GDK_KEY_PRESS, GDK_KEY_RELEASE }) {
        GdkEvent* event = gdk_event_new(type);
        event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(toplevel)));
        event->key.send_event = TRUE;
        event->key.time = GDK_CURRENT_TIME;
        event->key.keyval = keyval;
        event->key.hardware_keycode = hardware;
        deliver(toplevel, event, keyboard);
    }
}

} // namespace tvrn2::test
