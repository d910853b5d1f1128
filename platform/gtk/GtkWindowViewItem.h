#pragma once

// What a GtkWindowView keeps for each control, shared by the view's sources
// (GtkWindowView.cpp, GtkControlLook.cpp, GtkListControl.cpp). Private to
// the view: nothing outside platform/gtk includes it.

#include "platform/KeyCode.h"
#include "platform/gtk/GtkWindowView.h"

namespace tvrn2 {

struct GtkWindowView::Item {
    GtkWindowView* view { nullptr };
    int number { 0 };
    GtkWidget* outer { nullptr }; // placed in the fixed layout; owned by it
    GtkWidget* widget { nullptr }; // the label, entry, button ... inside outer
    GtkWidget* box { nullptr }; // container controls: where an embedded view goes
    GtkListStore* store { nullptr }; // lists: owned by the tree view
    int pointerCode { -1 }; // mouse button behind a click in progress
    int keyCode { KeyCode::Enter }; // last key pressed on the control
    bool measuring { false };

    Control* control() const { return view->m_window.control(number); }
    Window& window() const { return view->m_window; }
    bool live() const { return !view->m_destroying; }
};

} // namespace tvrn2
