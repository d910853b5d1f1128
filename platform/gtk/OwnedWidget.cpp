#include "platform/gtk/OwnedWidget.h"

#include <gtk/gtk.h>

namespace tvrn2 {

OwnedWidget::~OwnedWidget()
{
    if (m_widget)
        gtk_widget_destroy(m_widget.get());
}

OwnedWidget& OwnedWidget::operator=(OwnedWidget&& other) noexcept
{
    if (this != &other) {
        if (m_widget)
            gtk_widget_destroy(m_widget.get());
        m_widget = std::move(other.m_widget);
    }
    return *this;
}

} // namespace tvrn2
