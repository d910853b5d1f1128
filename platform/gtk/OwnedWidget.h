#pragma once

#include "platform/GObjectPtr.h"

typedef struct _GtkWidget GtkWidget;

namespace tvrn2 {

// A widget this object keeps whoever else holds it: a reference taken at
// construction (sinking a floating one), and the widget destroyed and then
// released at the end, so it leaves its parent and lets go of its children
// even when the host's window still holds it. For the top of a group of
// widgets, or a dialog for as long as it is asked.
class OwnedWidget {
public:
    OwnedWidget() = default;
    explicit OwnedWidget(GtkWidget* widget)
        : m_widget(GObjectPtr<GtkWidget>::refSink(widget))
    { }
    ~OwnedWidget();
    OwnedWidget(OwnedWidget&&) noexcept = default;
    OwnedWidget& operator=(OwnedWidget&& other) noexcept;
    OwnedWidget(const OwnedWidget&) = delete;
    OwnedWidget& operator=(const OwnedWidget&) = delete;

    GtkWidget* get() const { return m_widget.get(); }

private:
    GObjectPtr<GtkWidget> m_widget;
};

} // namespace tvrn2
