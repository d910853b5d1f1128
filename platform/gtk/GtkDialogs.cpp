#include "platform/gtk/GtkDialogs.h"

#include "platform/gtk/GtkModal.h"

#include <filesystem>
#include <gtk/gtk.h>

namespace tvrn2 {
namespace {
GtkFileChooserAction actionFor(int flags)
{
    if (flags & FileFlag::Directory)
        return GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER;
    if (flags & FileFlag::Save)
        return GTK_FILE_CHOOSER_ACTION_SAVE;
    return GTK_FILE_CHOOSER_ACTION_OPEN;
}
} // namespace

std::string GtkDialogs::openFile(const OpenFileRequest& request)
{
    auto action = actionFor(request.flags);
    OwnedWidget owned(
        gtk_file_chooser_dialog_new(request.title.c_str(), nullptr, action, "_Cancel", GTK_RESPONSE_CANCEL,
            action == GTK_FILE_CHOOSER_ACTION_SAVE ? "_Save" : "_Open", GTK_RESPONSE_ACCEPT, nullptr));
    GtkWidget* dialog = owned.get();
    auto* chooser = GTK_FILE_CHOOSER(dialog);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);

    // The dialog starts in the working directory, or in the folder of an
    // initial name that carries one; an existing initial file is selected.
    std::error_code ignored;
    std::filesystem::path initial = request.initialName;
    std::filesystem::path folder
        = initial.has_parent_path() ? initial.parent_path() : std::filesystem::current_path(ignored);
    folder = std::filesystem::absolute(folder, ignored);
    gtk_file_chooser_set_current_folder(chooser, folder.c_str());
    if (action == GTK_FILE_CHOOSER_ACTION_SAVE && initial.has_filename())
        gtk_file_chooser_set_current_name(chooser, initial.filename().c_str());
    else if (initial.has_filename() && std::filesystem::exists(folder / initial.filename(), ignored))
        gtk_file_chooser_set_filename(chooser, (folder / initial.filename()).c_str());

    for (const auto& filter : parseFilterList(request.filters)) {
        GtkFileFilter* gtkFilter = gtk_file_filter_new();
        gtk_file_filter_set_name(gtkFilter, filter.description.c_str());
        for (const auto& pattern : filter.patterns)
            gtk_file_filter_add_pattern(gtkFilter, pattern == "*.*" ? "*" : pattern.c_str());
        gtk_file_chooser_add_filter(chooser, gtkFilter); // the chooser takes the floating filter
    }

    // The choice is read as the user answers: the chooser may refresh its
    // folder (and drop its selection) before the modal loop has ended.
    std::string chosen;
    auto readChoice = +[](GtkDialog* answered, int response, std::string* choice) {
        if (response != GTK_RESPONSE_ACCEPT)
            return;
        if (GCharPtr name { gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(answered)) })
            *choice = name.get();
    };
    g_signal_connect(dialog, "response", G_CALLBACK(readChoice), &chosen);
    if (runModal(GTK_DIALOG(dialog)) != GTK_RESPONSE_ACCEPT)
        chosen.clear();
    g_signal_handlers_disconnect_by_data(dialog, &chosen);
    enterChosenFolder(chosen, request.flags);
    return chosen;
}

std::optional<Colour> GtkDialogs::chooseColour(const ColourRequest& request)
{
    OwnedWidget owned(gtk_color_chooser_dialog_new(request.title.c_str(), nullptr));
    GtkWidget* dialog = owned.get();
    auto* chooser = GTK_COLOR_CHOOSER(dialog);
    gtk_color_chooser_set_use_alpha(chooser, FALSE);
    Colour initial = request.initial < 0 ? 0 : request.initial;
    GdkRGBA rgba { (initial & 0xFF) / 255.0, ((initial >> 8) & 0xFF) / 255.0,
        ((initial >> 16) & 0xFF) / 255.0, 1.0 };
    gtk_color_chooser_set_rgba(chooser, &rgba);

    std::optional<Colour> chosen;
    if (runModal(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK) {
        gtk_color_chooser_get_rgba(chooser, &rgba);
        auto byte = [](double v) { return static_cast<Colour>(v * 255.0 + 0.5) & 0xFF; };
        chosen = byte(rgba.red) | (byte(rgba.green) << 8) | (byte(rgba.blue) << 16);
    }
    return chosen;
}

} // namespace tvrn2
