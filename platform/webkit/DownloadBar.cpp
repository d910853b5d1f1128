#include "platform/webkit/DownloadBar.h"

#include "platform/GObjectPtr.h"

#include <algorithm>
#include <gtk/gtk.h>
#include <utility>

namespace tvrn2 {
namespace {

std::string formatSize(std::uint64_t bytes)
{
    GCharPtr text(g_format_size(bytes));
    return text.get();
}

std::string quoted(const std::string& name)
{
    return "\u201c" + name + "\u201d";
}

} // namespace

void fitToBar(GtkWidget* label)
{
    gtk_label_set_xalign(GTK_LABEL(label), 0);
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_label_set_line_wrap_mode(GTK_LABEL(label), PANGO_WRAP_WORD_CHAR);
    gtk_label_set_lines(GTK_LABEL(label), 3);
    gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_MIDDLE);
    gtk_label_set_max_width_chars(GTK_LABEL(label), 60);
}

DownloadBar::DownloadBar()
    : m_revealer(gtk_revealer_new())
    , m_bar(gtk_info_bar_new())
    , m_label(gtk_label_new(""))
    , m_note(gtk_label_new(""))
    , m_progress(gtk_progress_bar_new())
{
    // Held here as well as by their parents: the host may destroy the window first.
    g_object_ref_sink(m_revealer);
    g_object_ref_sink(m_bar);
    g_object_ref_sink(m_label);
    g_object_ref_sink(m_note);
    g_object_ref_sink(m_progress);
    gtk_revealer_set_transition_type(GTK_REVEALER(m_revealer), GTK_REVEALER_TRANSITION_TYPE_NONE);
    fitToBar(m_label);
    GtkWidget* content = gtk_info_bar_get_content_area(GTK_INFO_BAR(m_bar));
    GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 4);
    gtk_box_pack_start(GTK_BOX(column), m_label, FALSE, FALSE, 0);
    fitToBar(m_note);
    gtk_box_pack_start(GTK_BOX(column), m_note, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(column), m_progress, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(content), column, TRUE, TRUE, 0);
    const std::pair<Button, const char*> labels[] = {
        { Button::Save, "_Save" },
        // Not "Cancel": the window beside it has a Cancel that closes it.
        { Button::Cancel, "_Don't Save" },
        { Button::Replace, "_Replace" },
        { Button::Keep, "_Keep Existing File" },
        { Button::Stop, "S_top" },
        { Button::Close, "_Close" },
    };
    for (auto [button, label] : labels) {
        GtkWidget* widget = gtk_info_bar_add_button(GTK_INFO_BAR(m_bar), label, static_cast<int>(button));
        m_buttons.emplace_back(button, GTK_WIDGET(g_object_ref(widget)));
    }
    // Two buttons of a question stand one above the other beside the text,
    // so their widths never add up past the window's.
    GtkWidget* actions = gtk_info_bar_get_action_area(GTK_INFO_BAR(m_bar));
    gtk_orientable_set_orientation(GTK_ORIENTABLE(actions), GTK_ORIENTATION_VERTICAL);
    gtk_widget_set_valign(actions, GTK_ALIGN_CENTER);
    g_signal_connect(m_bar, "response", G_CALLBACK(onResponse), this);
    gtk_container_add(GTK_CONTAINER(m_revealer), m_bar);
    gtk_widget_show_all(m_bar);
    gtk_widget_hide(m_note);
    gtk_widget_set_no_show_all(m_bar, TRUE);
    gtk_widget_show(m_revealer);
    gtk_revealer_set_reveal_child(GTK_REVEALER(m_revealer), FALSE);
}

DownloadBar::~DownloadBar()
{
    g_signal_handlers_disconnect_by_data(m_bar, this);
    gtk_widget_destroy(m_revealer);
    for (auto& [button, widget] : m_buttons)
        g_object_unref(widget);
    g_object_unref(m_progress);
    g_object_unref(m_note);
    g_object_unref(m_label);
    g_object_unref(m_bar);
    g_object_unref(m_revealer);
}

void DownloadBar::show(const std::string& text, int messageType, std::vector<Button> buttons, bool progress)
{
    gtk_label_set_text(GTK_LABEL(m_label), text.c_str());
    gtk_widget_set_tooltip_text(m_label, text.c_str());
    gtk_widget_set_visible(m_label, !text.empty());
    gtk_info_bar_set_message_type(GTK_INFO_BAR(m_bar), static_cast<GtkMessageType>(messageType));
    for (auto& [button, widget] : m_buttons) {
        bool wanted = std::find(buttons.begin(), buttons.end(), button) != buttons.end();
        gtk_widget_set_visible(widget, wanted);
    }
    gtk_widget_set_visible(m_progress, progress);
    gtk_widget_set_visible(m_bar, TRUE);
    gtk_revealer_set_reveal_child(GTK_REVEALER(m_revealer), TRUE);
}

void DownloadBar::askSave(const DownloadOffer& offer, std::function<void(SaveAnswer)> answer)
{
    m_saveAnswer = std::move(answer);
    std::string text = "Save " + quoted(offer.fileName);
    if (offer.totalBytes)
        text += " (" + formatSize(*offer.totalBytes) + ")";
    text += " in " + offer.folder.string() + "?";
    show(text, GTK_MESSAGE_QUESTION, { Button::Save, Button::Cancel }, false);
}

void DownloadBar::askReplace(const DownloadOffer& offer, std::function<void(ReplaceAnswer)> answer)
{
    m_replaceAnswer = std::move(answer);
    show(quoted(offer.fileName) + " already exists in " + offer.folder.string() + ". Replace it?",
        GTK_MESSAGE_WARNING, { Button::Replace, Button::Keep }, false);
}

std::string DownloadBar::progressText(const DownloadProgress& progress)
{
    std::string text = "Saving " + quoted(progress.fileName) + ": " + formatSize(progress.receivedBytes);
    if (progress.totalBytes)
        text += " of " + formatSize(*progress.totalBytes);
    if (progress.bytesPerSecond > 0)
        text += " (" + formatSize(static_cast<std::uint64_t>(progress.bytesPerSecond)) + "/s)";
    return text;
}

void DownloadBar::showProgress(const DownloadProgress& progress)
{
    show(progressText(progress), GTK_MESSAGE_INFO, { Button::Stop }, true);
    if (progress.totalBytes && *progress.totalBytes > 0) {
        double fraction
            = static_cast<double>(progress.receivedBytes) / static_cast<double>(*progress.totalBytes);
        gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(m_progress), std::min(fraction, 1.0));
    } else {
        gtk_progress_bar_pulse(GTK_PROGRESS_BAR(m_progress));
    }
}

void DownloadBar::showFinished(const std::filesystem::path& file)
{
    show(quoted(file.filename().string()) + " was saved in " + file.parent_path().string() + ".",
        GTK_MESSAGE_INFO, { Button::Close }, false);
}

void DownloadBar::showRemoved(const std::filesystem::path& file)
{
    show(quoted(file.filename().string()) + " was saved in " + file.parent_path().string()
            + " but is no longer there.",
        GTK_MESSAGE_WARNING, { Button::Close }, false);
}

void DownloadBar::showFailed(const std::string& fileName, const std::string& reason)
{
    show(quoted(fileName) + " could not be saved: " + reason, GTK_MESSAGE_ERROR, { Button::Close }, false);
}

void DownloadBar::showRefused(const std::string& fileName)
{
    // Under the question or the progress that stays on, which it must not replace.
    std::string note = "A download of " + quoted(fileName)
        + " from the same address is already under way; it was not started a second time.";
    gtk_label_set_text(GTK_LABEL(m_note), note.c_str());
    gtk_widget_set_tooltip_text(m_note, note.c_str());
    gtk_widget_set_visible(m_note, TRUE);
    if (!shown())
        show({}, GTK_MESSAGE_INFO, { Button::Close }, false);
}

void DownloadBar::dismiss()
{
    m_saveAnswer = nullptr;
    m_replaceAnswer = nullptr;
    gtk_label_set_text(GTK_LABEL(m_note), "");
    gtk_widget_set_visible(m_note, FALSE);
    gtk_revealer_set_reveal_child(GTK_REVEALER(m_revealer), FALSE);
}

bool DownloadBar::shown() const
{
    return gtk_revealer_get_reveal_child(GTK_REVEALER(m_revealer));
}

std::string DownloadBar::text() const
{
    return gtk_label_get_text(GTK_LABEL(m_label));
}

std::string DownloadBar::note() const
{
    return gtk_widget_get_visible(m_note) ? gtk_label_get_text(GTK_LABEL(m_note)) : "";
}

std::vector<DownloadBar::Button> DownloadBar::buttons() const
{
    std::vector<Button> visible;
    for (auto& [button, widget] : m_buttons) {
        if (gtk_widget_get_visible(widget))
            visible.push_back(button);
    }
    return visible;
}

void DownloadBar::press(Button button)
{
    gtk_info_bar_response(GTK_INFO_BAR(m_bar), static_cast<int>(button));
}

void DownloadBar::onResponse(GtkWidget*, int response, DownloadBar* self)
{
    // While a question is open every way of closing the bar answers it, the
    // safe way unless the user chose otherwise. The answer is taken out
    // first, since it may ask the next question at once.
    auto button = static_cast<Button>(response);
    if (auto save = std::exchange(self->m_saveAnswer, nullptr)) {
        self->dismiss();
        save(button == Button::Save ? SaveAnswer::Save : SaveAnswer::Cancel);
        return;
    }
    if (auto replace = std::exchange(self->m_replaceAnswer, nullptr)) {
        self->dismiss();
        replace(button == Button::Replace ? ReplaceAnswer::Replace : ReplaceAnswer::Keep);
        return;
    }
    if (button == Button::Stop && self->onStop) {
        self->onStop();
        return;
    }
    self->dismiss();
}

} // namespace tvrn2
