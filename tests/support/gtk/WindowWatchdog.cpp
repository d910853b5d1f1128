#include "tests/support/gtk/WindowWatchdog.h"

#include "platform/GObjectPtr.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

namespace tvrn2::test {

WindowWatchdog::WindowWatchdog(Window* window, guint milliseconds)
    : m_window(window)
{
    m_source = g_timeout_add(milliseconds, fire, this);
}

WindowWatchdog::~WindowWatchdog()
{
    if (m_source)
        g_source_remove(m_source);
}

gboolean WindowWatchdog::fire(gpointer data)
{
    auto* self = static_cast<WindowWatchdog*>(data);
    self->m_fired = true;
    self->m_source = 0;
    ADD_FAILURE() << "watchdog fired";
    GHandle<GList, g_list_free> toplevels(gtk_window_list_toplevels());
    for (GList* at = toplevels.get(); at; at = at->next) {
        if (GTK_IS_DIALOG(at->data) && gtk_widget_get_visible(GTK_WIDGET(at->data)))
            gtk_dialog_response(GTK_DIALOG(at->data), GTK_RESPONSE_DELETE_EVENT);
    }
    if (self->m_window)
        self->m_window->close();
    return G_SOURCE_REMOVE;
}

} // namespace tvrn2::test
