// GtkWindowView's list controls: columns with their headings, widths and
// styles, rows, and the selection both ways.

#include "platform/GObjectPtr.h"
#include "platform/gtk/GtkControlLook.h"
#include "platform/gtk/GtkWindowViewItem.h"

#include <algorithm>
#include <vector>

namespace tvrn2 {
namespace {
using TreePathPtr = GHandle<GtkTreePath, gtk_tree_path_free>;
} // namespace

void GtkWindowView::applyList(Item& item)
{
    const Control* control = item.control();
    if (!control || control->kind() != ControlKind::List)
        return;
    m_updating = true;
    auto* tree = GTK_TREE_VIEW(item.widget);
    while (auto* column = gtk_tree_view_get_column(tree, 0))
        gtk_tree_view_remove_column(tree, column);
    const auto& columns = control->columns();
    int count = std::max<int>(1, static_cast<int>(columns.size()));
    std::vector<GType> types(static_cast<std::size_t>(count), G_TYPE_STRING);
    auto store = GObjectPtr<GtkListStore>::adopt(gtk_list_store_newv(count, types.data()));
    item.store = store.get(); // the tree view holds it once it is set as the model
    for (int i = 0; i < count; ++i) {
        auto* renderer = gtk_cell_renderer_text_new();
        const ListColumn* model
            = i < static_cast<int>(columns.size()) ? &columns[static_cast<std::size_t>(i)] : nullptr;
        if (model && model->style) {
            ListStyle style = control->listStyle(model->style);
            if (style.colour >= 0) {
                GdkRGBA rgba = rgbaOf(style.colour);
                g_object_set(renderer, "foreground-rgba", &rgba, nullptr);
            }
            if (style.fontStyle & FontStyle::Underline)
                g_object_set(renderer, "underline", PANGO_UNDERLINE_SINGLE, nullptr);
            if (int weight = style.fontStyle & FontStyle::WeightMask)
                g_object_set(renderer, "weight", weight, nullptr);
        }
        auto* column = gtk_tree_view_column_new_with_attributes(
            model ? model->heading.c_str() : "", renderer, "text", i, nullptr);
        if (model && model->width > 0) {
            gtk_tree_view_column_set_sizing(column, GTK_TREE_VIEW_COLUMN_FIXED);
            gtk_tree_view_column_set_fixed_width(column, m_units.toPixelsX(model->width));
        }
        gtk_tree_view_column_set_resizable(column, TRUE);
        gtk_tree_view_append_column(tree, column);
    }
    for (const auto& row : control->rows()) {
        GtkTreeIter iter;
        gtk_list_store_append(item.store, &iter);
        for (int i = 0; i < count && i < static_cast<int>(row.size()); ++i)
            gtk_list_store_set(item.store, &iter, i, row[static_cast<std::size_t>(i)].c_str(), -1);
    }
    gtk_tree_view_set_model(tree, GTK_TREE_MODEL(item.store));
    gtk_tree_view_set_headers_visible(tree, !columns.empty());
    if (int row = control->selectedRow()) {
        TreePathPtr path(gtk_tree_path_new_from_indices(row - 1, -1));
        gtk_tree_selection_select_path(gtk_tree_view_get_selection(tree), path.get());
        gtk_tree_view_scroll_to_cell(tree, path.get(), nullptr, FALSE, 0, 0);
    }
    m_updating = false;
}

void GtkWindowView::onRowActivated(GtkTreeView*, GtkTreePath*, GtkTreeViewColumn*, gpointer data)
{
    auto* item = static_cast<Item*>(data);
    if (item->live())
        item->window().inputClick(item->number, KeyCode::Enter);
}

void GtkWindowView::onSelectionChanged(GtkTreeSelection* selection, gpointer data)
{
    auto* item = static_cast<Item*>(data);
    if (!item->live() || item->view->m_updating)
        return;
    GtkTreeModel* model = nullptr;
    GtkTreeIter iter;
    int row = 0;
    if (gtk_tree_selection_get_selected(selection, &model, &iter)) {
        TreePathPtr path(gtk_tree_model_get_path(model, &iter));
        row = gtk_tree_path_get_indices(path.get())[0] + 1;
    }
    auto* control = item->control();
    if (!control || !control->takesInput() || row == control->selectedRow())
        return;
    item->view->m_updating = true;
    control->setSelectedRow(row);
    item->view->m_updating = false;
    item->window().post(Event::NewSelection, item->number);
}

} // namespace tvrn2
