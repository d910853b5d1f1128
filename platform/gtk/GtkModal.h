#pragma once

#include "platform/GObjectPtr.h"

#include <gtk/gtk.h>

namespace tvrn2 {

// A dialog for as long as it is asked: a reference taken at creation, and
// the dialog destroyed and released however the caller leaves.
class OwnedDialog {
public:
    explicit OwnedDialog(GtkWidget* dialog)
        : m_dialog(GObjectPtr<GtkWidget>::adopt(GTK_WIDGET(g_object_ref_sink(dialog))))
    { }
    ~OwnedDialog() { gtk_widget_destroy(m_dialog.get()); }
    OwnedDialog(const OwnedDialog&) = delete;
    OwnedDialog& operator=(const OwnedDialog&) = delete;

    GtkWidget* get() const { return m_dialog.get(); }

private:
    GObjectPtr<GtkWidget> m_dialog;
};

// Runs a dialog modally over the active window with every window's events
// held, and returns its response.
int runModal(GtkDialog* dialog);

// The icon name for a box icon kind.
const char* iconNameFor(int boxIcon);

} // namespace tvrn2
