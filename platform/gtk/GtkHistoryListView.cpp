#include "platform/gtk/GtkHistoryListView.h"

#include "platform/MessageBoxLayout.h"
#include "platform/gtk/GtkModal.h"
#include "platform/gtk/GtkWindowView.h"

#include <gtk/gtk.h>

namespace tvrn2 {
int GtkHistoryListView::show(const HistoryListRequest& request)
{
    namespace L = HistoryWindowLayout;
    OwnedWidget owned(gtk_dialog_new());
    GtkWidget* dialog = owned.get();
    gtk_window_set_title(
        GTK_WINDOW(dialog), request.caption.empty() ? L::windowCaption : request.caption.c_str());
    DialogUnits units = GtkWindowView::unitsFor(dialog);

    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, units.toPixelsX(4));
    gtk_container_set_border_width(GTK_CONTAINER(row), static_cast<guint>(units.toPixelsY(4)));
    const char* iconName = iconNameFor(static_cast<int>(request.icon));
    GtkWidget* icon
        = gtk_image_new_from_icon_name(iconName ? iconName : "dialog-warning", GTK_ICON_SIZE_DIALOG);
    gtk_widget_set_valign(icon, GTK_ALIGN_START);
    gtk_box_pack_start(GTK_BOX(row), icon, FALSE, FALSE, 0);

    auto store = GObjectPtr<GtkListStore>::adopt(gtk_list_store_new(2, G_TYPE_STRING, G_TYPE_STRING));
    for (const auto& line : request.lines) {
        GtkTreeIter iter;
        gtk_list_store_append(store.get(), &iter);
        gtk_list_store_set(store.get(), &iter, 0, line.message.c_str(), 1, line.category.c_str(), -1);
    }
    GtkWidget* list = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store.get()));
    struct ColumnSpec {
        const char* heading;
        int width;
    };
    int index = 0;
    for (auto wanted : { ColumnSpec { L::messageColumn, L::messageColumnWidth },
             ColumnSpec { L::categoryColumn, L::categoryColumnWidth } }) {
        auto* renderer = gtk_cell_renderer_text_new();
        g_object_set(renderer, "ellipsize", PANGO_ELLIPSIZE_END, nullptr);
        auto* column
            = gtk_tree_view_column_new_with_attributes(wanted.heading, renderer, "text", index++, nullptr);
        gtk_tree_view_column_set_sizing(column, GTK_TREE_VIEW_COLUMN_FIXED);
        gtk_tree_view_column_set_fixed_width(column, units.toPixelsX(wanted.width));
        gtk_tree_view_column_set_resizable(column, TRUE);
        gtk_tree_view_append_column(GTK_TREE_VIEW(list), column);
    }
    GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroller), GTK_SHADOW_IN);
    gtk_widget_set_size_request(scroller, units.toPixelsX(L::listWidth), units.toPixelsY(L::listHeight));
    gtk_container_add(GTK_CONTAINER(scroller), list);
    gtk_box_pack_start(GTK_BOX(row), scroller, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), row, TRUE, TRUE, 0);

    if (!request.lines.empty()) {
        GHandle<GtkTreePath, gtk_tree_path_free> newest(
            gtk_tree_path_new_from_indices(static_cast<int>(request.lines.size()) - 1, -1));
        gtk_tree_selection_select_path(gtk_tree_view_get_selection(GTK_TREE_VIEW(list)), newest.get());
        gtk_tree_view_scroll_to_cell(GTK_TREE_VIEW(list), newest.get(), nullptr, FALSE, 0, 0);
    }

    GtkWidget* focus = nullptr;
    int closeAnswer = request.defaultButton;
    for (const auto& button : historyButtonLayout(request.buttons, request.defaultButton)) {
        GtkWidget* widget
            = gtk_dialog_add_button(GTK_DIALOG(dialog), mnemonicLabel(button.caption).c_str(), button.value);
        if (button.isDefault) {
            gtk_dialog_set_default_response(GTK_DIALOG(dialog), button.value);
            focus = widget;
        }
        if (button.value == Button::Cancel)
            closeAnswer = Button::Cancel;
    }
    gtk_widget_show_all(row);
    if (focus)
        gtk_widget_grab_focus(focus);

    int result = runModal(GTK_DIALOG(dialog));
    if (result <= 0)
        result = closeAnswer;
    return result;
}

} // namespace tvrn2
