#include "platform/gtk/GtkModal.h"

#include "platform/MessageBox.h"
#include "platform/Window.h"
#include "platform/gtk/GtkWindowView.h"

namespace tvrn2 {

int runModal(GtkDialog* dialog)
{
    if (auto* parent = GtkWindowView::active())
        gtk_window_set_transient_for(GTK_WINDOW(dialog), parent->toplevel());
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    EventHold hold;
    return gtk_dialog_run(dialog);
}

const char* iconNameFor(int boxIcon)
{
    switch (static_cast<BoxIcon>(boxIcon)) {
    case BoxIcon::Question:
        return "dialog-question";
    case BoxIcon::Exclamation:
        return "dialog-warning";
    case BoxIcon::Stop:
        return "dialog-error";
    case BoxIcon::Information:
        return "dialog-information";
    case BoxIcon::None:
        break;
    }
    return nullptr;
}

} // namespace tvrn2
