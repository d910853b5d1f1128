#include "platform/gtk/GtkMessageBoxes.h"

#include "platform/MessageBoxLayout.h"
#include "platform/gtk/GtkModal.h"

#include <gtk/gtk.h>

namespace tvrn2 {

int GtkMessageBoxes::show(const BoxRequest& request)
{
    auto choices = boxChoices(request);
    auto onClose = boxCloseResult(request);

    OwnedWidget owned(gtk_dialog_new());
    GtkWidget* dialog = owned.get();
    gtk_window_set_title(GTK_WINDOW(dialog), request.caption.c_str());
    gtk_window_set_resizable(GTK_WINDOW(dialog), FALSE);
    gtk_window_set_deletable(GTK_WINDOW(dialog), onClose.has_value());
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER_ON_PARENT);

    GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 16);
    gtk_container_set_border_width(GTK_CONTAINER(row), 12);
    if (const char* icon = iconNameFor(static_cast<int>(request.icon))) {
        GtkWidget* image = gtk_image_new_from_icon_name(icon, GTK_ICON_SIZE_DIALOG);
        gtk_widget_set_valign(image, GTK_ALIGN_START);
        gtk_box_pack_start(GTK_BOX(row), image, FALSE, FALSE, 0);
    }
    GtkWidget* label = gtk_label_new(boxText(request.text).c_str());
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_label_set_max_width_chars(GTK_LABEL(label), 60);
    gtk_label_set_selectable(GTK_LABEL(label), TRUE);
    gtk_widget_set_can_focus(label, FALSE);
    gtk_box_pack_start(GTK_BOX(row), label, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(content), row, TRUE, TRUE, 0);

    // Responses are the buttons' values, which are all positive.
    for (const auto& choice : choices)
        gtk_dialog_add_button(GTK_DIALOG(dialog), mnemonicLabel(choice.label).c_str(), choice.value);
    int focused = boxDefaultChoice(request);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), focused);
    gtk_widget_show_all(content);
    if (auto* button = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), focused))
        gtk_widget_grab_focus(button);

    int result = 0;
    for (;;) {
        result = runModal(GTK_DIALOG(dialog));
        if (result > 0)
            break;
        // Destroyed from outside (the program is going): answer as closing would.
        if (result == GTK_RESPONSE_NONE) {
            result = onClose ? *onClose : focused;
            break;
        }
        // Closed without a button: answer as the box allows, else ask again.
        if (onClose) {
            result = *onClose;
            break;
        }
    }
    return result;
}

} // namespace tvrn2
