#include "platform/webkit/UnresponsivePageBar.h"

#include "platform/webkit/DownloadBar.h"

#include <gtk/gtk.h>

namespace tvrn2 {

UnresponsivePageBar::UnresponsivePageBar()
    : m_revealer(gtk_revealer_new())
    , m_bar(GObjectPtr<GtkWidget>::refSink(gtk_info_bar_new()))
    , m_label(GObjectPtr<GtkWidget>::refSink(gtk_label_new("")))
{
    gtk_revealer_set_transition_type(GTK_REVEALER(m_revealer.get()), GTK_REVEALER_TRANSITION_TYPE_NONE);
    // Over the top of the page, which keeps its size: a bar that comes and
    // goes never lays the page out anew.
    gtk_widget_set_valign(m_revealer.get(), GTK_ALIGN_START);
    fitToBar(m_label.get());
    gtk_box_pack_start(
        GTK_BOX(gtk_info_bar_get_content_area(GTK_INFO_BAR(m_bar.get()))), m_label.get(), TRUE, TRUE, 0);
    gtk_info_bar_set_message_type(GTK_INFO_BAR(m_bar.get()), GTK_MESSAGE_WARNING);
    m_endPage = GObjectPtr<GtkWidget>::ref(
        gtk_info_bar_add_button(GTK_INFO_BAR(m_bar.get()), "_End Page", static_cast<int>(Answer::EndPage)));
    m_wait = GObjectPtr<GtkWidget>::ref(
        gtk_info_bar_add_button(GTK_INFO_BAR(m_bar.get()), "_Wait", static_cast<int>(Answer::Wait)));
    g_signal_connect(m_bar.get(), "response", G_CALLBACK(onResponse), this);
    gtk_container_add(GTK_CONTAINER(m_revealer.get()), m_bar.get());
    gtk_widget_show_all(m_bar.get());
    gtk_widget_set_no_show_all(m_revealer.get(), TRUE);
    gtk_revealer_set_reveal_child(GTK_REVEALER(m_revealer.get()), FALSE);
}

UnresponsivePageBar::~UnresponsivePageBar()
{
    g_signal_handlers_disconnect_by_data(m_bar.get(), this);
}

void UnresponsivePageBar::show(const std::string& page)
{
    const std::string text
        = "The page \u201c" + page + "\u201d is not responding. End it to go on, or wait for it to answer.";
    gtk_label_set_text(GTK_LABEL(m_label.get()), text.c_str());
    gtk_widget_set_tooltip_text(m_label.get(), text.c_str());
    // Hidden while not asking, so nothing of it is there to find or reach.
    gtk_widget_show(m_revealer.get());
    gtk_revealer_set_reveal_child(GTK_REVEALER(m_revealer.get()), TRUE);
}

void UnresponsivePageBar::hide()
{
    gtk_revealer_set_reveal_child(GTK_REVEALER(m_revealer.get()), FALSE);
    gtk_widget_hide(m_revealer.get());
}

bool UnresponsivePageBar::shown() const
{
    return gtk_widget_get_visible(m_revealer.get())
        && gtk_revealer_get_reveal_child(GTK_REVEALER(m_revealer.get()));
}

std::string UnresponsivePageBar::text() const
{
    return gtk_label_get_text(GTK_LABEL(m_label.get()));
}

void UnresponsivePageBar::press(Answer answer)
{
    gtk_button_clicked(GTK_BUTTON(answer == Answer::EndPage ? m_endPage.get() : m_wait.get()));
}

void UnresponsivePageBar::onResponse(GtkWidget*, int response, UnresponsivePageBar* self)
{
    // Closed any other way, it only goes: the page may still answer.
    const Answer answer = response == static_cast<int>(Answer::EndPage) ? Answer::EndPage : Answer::Wait;
    self->hide();
    if (self->onAnswer)
        self->onAnswer(answer);
}

} // namespace tvrn2
