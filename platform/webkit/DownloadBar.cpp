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
    , m_bar(GObjectPtr<GtkWidget>::refSink(gtk_info_bar_new()))
    , m_label(GObjectPtr<GtkWidget>::refSink(gtk_label_new("")))
    , m_note(GObjectPtr<GtkWidget>::refSink(gtk_label_new("")))
    , m_progress(GObjectPtr<GtkWidget>::refSink(gtk_progress_bar_new()))
{
    gtk_revealer_set_transition_type(GTK_REVEALER(m_revealer.get()), GTK_REVEALER_TRANSITION_TYPE_NONE);
    fitToBar(m_label.get());
    GtkWidget* content = gtk_info_bar_get_content_area(GTK_INFO_BAR(m_bar.get()));
    GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 4);
    gtk_box_pack_start(GTK_BOX(column), m_label.get(), FALSE, FALSE, 0);
    fitToBar(m_note.get());
    gtk_box_pack_start(GTK_BOX(column), m_note.get(), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(column), m_progress.get(), FALSE, FALSE, 0);
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
        GtkWidget* widget
            = gtk_info_bar_add_button(GTK_INFO_BAR(m_bar.get()), label, static_cast<int>(button));
        m_buttons.emplace_back(button, GObjectPtr<GtkWidget>::ref(widget));
    }
    // Two buttons of a question stand one above the other beside the text,
    // so their widths never add up past the window's.
    GtkWidget* actions = gtk_info_bar_get_action_area(GTK_INFO_BAR(m_bar.get()));
    gtk_orientable_set_orientation(GTK_ORIENTABLE(actions), GTK_ORIENTATION_VERTICAL);
    gtk_widget_set_valign(actions, GTK_ALIGN_CENTER);
    g_signal_connect(m_bar.get(), "response", G_CALLBACK(onResponse), this);
    gtk_container_add(GTK_CONTAINER(m_revealer.get()), m_bar.get());
    gtk_widget_show_all(m_bar.get());
    gtk_widget_hide(m_note.get());
    gtk_widget_set_no_show_all(m_bar.get(), TRUE);
    gtk_widget_show(m_revealer.get());
    gtk_revealer_set_reveal_child(GTK_REVEALER(m_revealer.get()), FALSE);
}

DownloadBar::~DownloadBar()
{
    g_signal_handlers_disconnect_by_data(m_bar.get(), this);
}

void DownloadBar::show(const std::string& text, int messageType, std::vector<Button> buttons, bool progress)
{
    gtk_label_set_text(GTK_LABEL(m_label.get()), text.c_str());
    gtk_widget_set_tooltip_text(m_label.get(), text.c_str());
    gtk_widget_set_visible(m_label.get(), !text.empty());
    gtk_info_bar_set_message_type(GTK_INFO_BAR(m_bar.get()), static_cast<GtkMessageType>(messageType));
    for (auto& [button, widget] : m_buttons) {
        bool wanted = std::find(buttons.begin(), buttons.end(), button) != buttons.end();
        gtk_widget_set_visible(widget.get(), wanted);
    }
    gtk_widget_set_visible(m_progress.get(), progress);
    gtk_widget_set_visible(m_bar.get(), TRUE);
    gtk_revealer_set_reveal_child(GTK_REVEALER(m_revealer.get()), TRUE);
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
        gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(m_progress.get()), std::min(fraction, 1.0));
    } else {
        gtk_progress_bar_pulse(GTK_PROGRESS_BAR(m_progress.get()));
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
    gtk_label_set_text(GTK_LABEL(m_note.get()), note.c_str());
    gtk_widget_set_tooltip_text(m_note.get(), note.c_str());
    gtk_widget_set_visible(m_note.get(), TRUE);
    if (!shown())
        show({}, GTK_MESSAGE_INFO, { Button::Close }, false);
}

void DownloadBar::dismiss()
{
    m_saveAnswer = nullptr;
    m_replaceAnswer = nullptr;
    gtk_label_set_text(GTK_LABEL(m_note.get()), "");
    gtk_widget_set_visible(m_note.get(), FALSE);
    gtk_revealer_set_reveal_child(GTK_REVEALER(m_revealer.get()), FALSE);
}

bool DownloadBar::shown() const
{
    return gtk_revealer_get_reveal_child(GTK_REVEALER(m_revealer.get()));
}

std::string DownloadBar::text() const
{
    return gtk_label_get_text(GTK_LABEL(m_label.get()));
}

std::string DownloadBar::note() const
{
    return gtk_widget_get_visible(m_note.get()) ? gtk_label_get_text(GTK_LABEL(m_note.get())) : "";
}

std::vector<DownloadBar::Button> DownloadBar::buttons() const
{
    std::vector<Button> visible;
    for (auto& [button, widget] : m_buttons) {
        if (gtk_widget_get_visible(widget.get()))
            visible.push_back(button);
    }
    return visible;
}

void DownloadBar::press(Button button)
{
    gtk_info_bar_response(GTK_INFO_BAR(m_bar.get()), static_cast<int>(button));
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
