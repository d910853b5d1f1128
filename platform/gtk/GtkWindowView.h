#pragma once

#include "platform/DialogUnits.h"
#include "platform/Window.h"

#include <gtk/gtk.h>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace tvrn2 {

// The GTK face of one open window: a toplevel with a fixed layout in which
// every control sits at its dialog-unit rectangle, converted with the dialog
// font's metrics. What the user does comes back as the window's input.
class GtkWindowView final : public WindowView {
public:
    explicit GtkWindowView(Window& window);
    ~GtkWindowView() override;
    GtkWindowView(const GtkWindowView&) = delete;
    GtkWindowView& operator=(const GtkWindowView&) = delete;

    // The view of an open window shown by GTK, or null.
    static GtkWindowView* of(const Window& window);
    // The view whose window was active last: the parent for modal dialogs.
    static GtkWindowView* active();
    // Dialog units as the widget's font measures them.
    static DialogUnits unitsFor(GtkWidget* widget);

    void windowChanged(WindowProperty property) override;
    void controlChanged(int control, ControlProperty property) override;
    void beep() override;

    GtkWindow* toplevel() const { return GTK_WINDOW(m_toplevel); }
    const DialogUnits& units() const { return m_units; }
    // The control's main widget (the label, entry, button ...), or null.
    GtkWidget* widget(int control) const;
    // A container control's box: an embedded view is packed into it and
    // follows its size. Null for other kinds.
    GtkWidget* containerWidget(int control) const;
    // The control's rectangle in pixels within the window's client area.
    GdkRectangle pixelRect(int control) const;

private:
    struct Item;

    void build();
    void buildControl(Control& control);
    void place(Item& item);
    void applyText(Item& item);
    void applyLook(Item& item);
    void applyAccessibleName(Item& item);
    void applyAccessibleNames();
    void applyCursor(Item& item);
    void applyVisibility(Item& item);
    void applyList(Item& item);
    void applyWindowGeometry();
    void connectInput(Item& item, GtkWidget* target);
    void measureAutoSize(Item& item);
    // What Tab goes through: every control's widget in control-number order,
    // a view embedded straight into the layout at the number of the
    // container control it covers (after all of them when it covers none).
    std::vector<GtkWidget*> focusChain() const;
    // Within a view embedded in the window: one put straight into the
    // layout, or one in a container control's box.
    bool embedded(GtkWidget* widget) const;

    static gboolean onDelete(GtkWidget*, GdkEvent*, gpointer view);
    static gboolean onWindowFocus(GtkWidget*, GdkEventFocus*, gpointer view);
    static gboolean onWindowKeyPress(GtkWidget*, GdkEventKey*, gpointer view);
    static void onSetFocus(GtkWindow*, GtkWidget*, gpointer view);
    static void onFixedAllocate(GtkWidget*, GdkRectangle*, gpointer view);
    static gboolean onFixedFocus(GtkWidget*, GtkDirectionType, gpointer view);
    static void onClicked(GtkButton*, gpointer item);
    static gboolean onButtonPress(GtkWidget*, GdkEventButton*, gpointer item);
    static gboolean onKeyPress(GtkWidget*, GdkEventKey*, gpointer item);
    static void onActivate(GtkEntry*, gpointer item);
    static void onChanged(GtkEditable*, gpointer item);
    static void onTextBufferChanged(GtkTextBuffer*, gpointer item);
    static gboolean onCrossing(GtkWidget*, GdkEventCrossing*, gpointer item);
    static gboolean onMotion(GtkWidget*, GdkEventMotion*, gpointer item);
    static gboolean onFocusIn(GtkWidget*, GdkEventFocus*, gpointer item);
    static void onRowActivated(GtkTreeView*, GtkTreePath*, GtkTreeViewColumn*, gpointer item);
    static void onSelectionChanged(GtkTreeSelection*, gpointer item);

    Window& m_window;
    GtkWidget* m_toplevel { nullptr }; // owned by GTK's toplevel list; destroyed with the view
    GtkWidget* m_fixed { nullptr }; // owned by the toplevel
    DialogUnits m_units { 6, 13 };
    std::map<int, std::unique_ptr<Item>> m_items;
    int m_allocatedWidth { 0 };
    int m_allocatedHeight { 0 };
    bool m_destroying { false };
    bool m_updating { false }; // set while the view writes to widgets, so it does not hear itself
    // The last Tab press that went to an embedded view, known again when the
    // view hands it back unused, and where the focus was then (compared only).
    struct KeyStamp {
        guint32 time;
        guint16 keycode;
        guint state;
        friend bool operator==(const KeyStamp&, const KeyStamp&) = default;
    };
    struct EmbeddedTab {
        KeyStamp key;
        const GtkWidget* focus;
    };
    std::optional<EmbeddedTab> m_embeddedTab;
};

} // namespace tvrn2
