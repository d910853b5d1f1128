// GtkWindowView: the window and its layout, building and placing controls,
// their text, visibility and accessible names, focus and Tab order, and the
// user's input. The look of controls is in GtkControlLook.cpp, list
// controls in GtkListControl.cpp, key mapping in GtkKeys.cpp.

#include "platform/gtk/GtkWindowView.h"

#include "platform/AccessibleNaming.h"
#include "platform/GObjectPtr.h"
#include "platform/KeyCode.h"
#include "platform/MessageBoxLayout.h"
#include "platform/gtk/GtkControlLook.h"
#include "platform/gtk/GtkKeys.h"
#include "platform/gtk/GtkWindowViewItem.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <utility>
#include <vector>

namespace tvrn2 {

namespace {
std::vector<GtkWindowView*>& views()
{
    static std::vector<GtkWindowView*> list;
    return list;
}
} // namespace

GtkWindowView::GtkWindowView(Window& window)
    : m_window(window)
{
    installFormStyle();
    build();
    views().push_back(this);
}

GtkWindowView::~GtkWindowView()
{
    auto& list = views();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    m_destroying = true;
    gtk_widget_destroy(m_toplevel);
}

GtkWindowView* GtkWindowView::of(const Window& window)
{
    return dynamic_cast<GtkWindowView*>(window.view());
}

GtkWindowView* GtkWindowView::active()
{
    auto& list = views();
    for (auto* view : list) {
        if (gtk_window_is_active(view->toplevel()))
            return view;
    }
    return list.empty() ? nullptr : list.back();
}

void GtkWindowView::build()
{
    m_toplevel = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_style_context_add_class(gtk_widget_get_style_context(m_toplevel), "tvrn2-form");
    gtk_window_set_resizable(GTK_WINDOW(m_toplevel), FALSE);
    m_fixed = gtk_fixed_new();
    gtk_container_add(GTK_CONTAINER(m_toplevel), m_fixed);
    m_units = unitsFor(m_fixed);

    g_signal_connect(m_toplevel, "delete-event", G_CALLBACK(onDelete), this);
    g_signal_connect(m_toplevel, "focus-in-event", G_CALLBACK(onWindowFocus), this);
    g_signal_connect(m_toplevel, "focus-out-event", G_CALLBACK(onWindowFocus), this);
    g_signal_connect(m_toplevel, "set-focus", G_CALLBACK(onSetFocus), this);
    g_signal_connect(m_fixed, "size-allocate", G_CALLBACK(onFixedAllocate), this);
    // Tab goes by control number, where GTK's layouts go by place. It is
    // worked out at each step from what the layout holds then, rather than
    // set once as a focus chain (deprecated besides): a hosted web view joins
    // the layout later, from outside, and is none of the window's controls.
    g_signal_connect(m_fixed, "focus", G_CALLBACK(onFixedFocus), this);
    g_signal_connect(m_toplevel, "key-press-event", G_CALLBACK(onWindowKeyPress), this);

    windowChanged(WindowProperty::Caption);
    windowChanged(WindowProperty::Icon);
    applyWindowGeometry();
    for (int number : m_window.controls())
        buildControl(*m_window.control(number));
    // A prompt may be declared after the input it names.
    applyAccessibleNames();
    gtk_widget_show(m_fixed);
    for (auto& [number, item] : m_items)
        applyVisibility(*item);
    gtk_widget_show(m_toplevel);
    if (m_window.focus())
        windowChanged(WindowProperty::Focus);
}

DialogUnits GtkWindowView::unitsFor(GtkWidget* widget)
{
    auto layout = GObjectPtr<PangoLayout>::adopt(
        gtk_widget_create_pango_layout(widget, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    int width = 0;
    int height = 0;
    pango_layout_get_pixel_size(layout.get(), &width, &height);
    return { DialogUnits::averageCharWidth(width), height };
}

void GtkWindowView::applyWindowGeometry()
{
    const Rect& rect = m_window.rect();
    gtk_widget_set_size_request(m_fixed, rect.width > 0 ? m_units.toPixelsX(rect.width) : -1,
        rect.height > 0 ? m_units.toPixelsY(rect.height) : -1);
    if (rect.x >= 0 && rect.y >= 0)
        gtk_window_move(toplevel(), m_units.toPixelsX(rect.x), m_units.toPixelsY(rect.y));
    else
        gtk_window_set_position(toplevel(), GTK_WIN_POS_CENTER);
}

void GtkWindowView::buildControl(Control& control)
{
    auto item = std::make_unique<Item>();
    item->view = this;
    item->number = control.number();
    GtkWidget* input = nullptr; // the widget whose signals carry the user's input

    switch (control.kind()) {
    case ControlKind::String:
    case ControlKind::SingleLineString:
    case ControlKind::Prompt:
        item->widget = item->outer = gtk_label_new(nullptr);
        gtk_label_set_xalign(GTK_LABEL(item->widget), 0.0f);
        gtk_label_set_single_line_mode(GTK_LABEL(item->widget), control.kind() != ControlKind::String);
        break;
    case ControlKind::Entry:
        item->widget = item->outer = input = gtk_entry_new();
        gtk_entry_set_width_chars(GTK_ENTRY(item->widget), 1);
        if (control.maxLength() > 0)
            gtk_entry_set_max_length(GTK_ENTRY(item->widget), control.maxLength());
        g_signal_connect(item->widget, "activate", G_CALLBACK(onActivate), item.get());
        g_signal_connect(item->widget, "changed", G_CALLBACK(onChanged), item.get());
        break;
    case ControlKind::Combo:
        item->outer = input = gtk_combo_box_text_new_with_entry();
        item->widget = gtk_bin_get_child(GTK_BIN(item->outer));
        g_signal_connect(item->widget, "activate", G_CALLBACK(onActivate), item.get());
        g_signal_connect(item->widget, "changed", G_CALLBACK(onChanged), item.get());
        break;
    case ControlKind::Text: {
        item->outer = gtk_scrolled_window_new(nullptr, nullptr);
        gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(item->outer), GTK_SHADOW_IN);
        item->widget = input = gtk_text_view_new();
        gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(item->widget), GTK_WRAP_WORD_CHAR);
        gtk_container_add(GTK_CONTAINER(item->outer), item->widget);
        g_signal_connect(gtk_text_view_get_buffer(GTK_TEXT_VIEW(item->widget)), "changed",
            G_CALLBACK(onTextBufferChanged), item.get());
        break;
    }
    case ControlKind::Button:
        item->widget = item->outer = input = gtk_button_new();
        gtk_button_set_use_underline(GTK_BUTTON(item->widget), TRUE);
        g_signal_connect(item->widget, "clicked", G_CALLBACK(onClicked), item.get());
        break;
    case ControlKind::Region:
        item->widget = item->outer = input = gtk_event_box_new();
        gtk_event_box_set_visible_window(GTK_EVENT_BOX(item->widget), FALSE);
        gtk_event_box_set_above_child(GTK_EVENT_BOX(item->widget), TRUE);
        break;
    case ControlKind::List: {
        item->outer = gtk_scrolled_window_new(nullptr, nullptr);
        gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(item->outer), GTK_SHADOW_IN);
        item->widget = input = gtk_tree_view_new();
        gtk_container_add(GTK_CONTAINER(item->outer), item->widget);
        g_signal_connect(item->widget, "row-activated", G_CALLBACK(onRowActivated), item.get());
        g_signal_connect(gtk_tree_view_get_selection(GTK_TREE_VIEW(item->widget)), "changed",
            G_CALLBACK(onSelectionChanged), item.get());
        break;
    }
    case ControlKind::Container:
        item->outer = gtk_event_box_new();
        gtk_style_context_add_class(gtk_widget_get_style_context(item->outer), "tvrn2-container");
        item->widget = input = item->outer;
        item->box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
        gtk_container_add(GTK_CONTAINER(item->outer), item->box);
        break;
    case ControlKind::Image:
        item->widget = item->outer = gtk_image_new();
        break;
    case ControlKind::MenuItem:
        // Menus have no place in the form; the control lives in the model only.
        return;
    }

    if (input)
        connectInput(*item, input);
    g_signal_connect_swapped(item->widget, "realize", G_CALLBACK(+[](gpointer data) {
        auto* it = static_cast<Item*>(data);
        if (it->live())
            it->view->applyCursor(*it);
    }),
        item.get());
    gtk_fixed_put(GTK_FIXED(m_fixed), item->outer, 0, 0);
    auto& stored = *item;
    m_items.emplace(control.number(), std::move(item));
    place(stored);
    applyText(stored);
    applyList(stored);
    applyLook(stored);
    applyAccessibleName(stored);
    gtk_widget_show_all(stored.outer);
    gtk_widget_set_sensitive(stored.outer, !control.disabled());
}

void GtkWindowView::connectInput(Item& item, GtkWidget* target)
{
    gtk_widget_add_events(target,
        GDK_ENTER_NOTIFY_MASK | GDK_LEAVE_NOTIFY_MASK | GDK_POINTER_MOTION_MASK | GDK_BUTTON_PRESS_MASK
            | GDK_KEY_PRESS_MASK);
    g_signal_connect(target, "enter-notify-event", G_CALLBACK(onCrossing), &item);
    g_signal_connect(target, "leave-notify-event", G_CALLBACK(onCrossing), &item);
    g_signal_connect(target, "motion-notify-event", G_CALLBACK(onMotion), &item);
    g_signal_connect(target, "button-press-event", G_CALLBACK(onButtonPress), &item);
    g_signal_connect(target, "key-press-event", G_CALLBACK(onKeyPress), &item);
    g_signal_connect(target, "focus-in-event", G_CALLBACK(onFocusIn), &item);
}

void GtkWindowView::place(Item& item)
{
    const Control* control = item.control();
    if (!control)
        return;
    const Rect& rect = control->requestedRect();
    gtk_fixed_move(GTK_FIXED(m_fixed), item.outer, m_units.toPixelsX(rect.x), m_units.toPixelsY(rect.y));
    gtk_widget_set_size_request(item.outer, rect.width > 0 ? m_units.toPixelsX(rect.width) : -1,
        rect.height > 0 ? m_units.toPixelsY(rect.height) : -1);
    if ((rect.width <= 0 || rect.height <= 0) && !item.measuring) {
        // Auto-sized: report the size GTK gives it, so reading the control's
        // size answers what the user sees.
        item.measuring = true;
        g_signal_connect(item.outer, "size-allocate",
            G_CALLBACK(+[](GtkWidget*, GdkRectangle* a, gpointer data) {
                auto* it = static_cast<Item*>(data);
                if (!it->live())
                    return;
                if (auto* c = it->control())
                    c->setMeasuredSize(
                        it->view->m_units.toUnitsX(a->width), it->view->m_units.toUnitsY(a->height));
            }),
            &item);
    }
}

void GtkWindowView::applyText(Item& item)
{
    const Control* control = item.control();
    if (!control)
        return;
    m_updating = true;
    const std::string& shown = control->screenText();
    switch (control->kind()) {
    case ControlKind::Prompt:
        gtk_label_set_text_with_mnemonic(GTK_LABEL(item.widget), mnemonicLabel(shown).c_str());
        break;
    case ControlKind::String:
    case ControlKind::SingleLineString:
        gtk_label_set_text(GTK_LABEL(item.widget), shown.c_str());
        break;
    case ControlKind::Entry:
    case ControlKind::Combo:
        if (shown != gtk_entry_get_text(GTK_ENTRY(item.widget)))
            gtk_entry_set_text(GTK_ENTRY(item.widget), shown.c_str());
        break;
    case ControlKind::Text: {
        auto* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(item.widget));
        GtkTextIter start, end;
        gtk_text_buffer_get_bounds(buffer, &start, &end);
        GCharPtr current(gtk_text_buffer_get_text(buffer, &start, &end, FALSE));
        if (shown != current.get())
            gtk_text_buffer_set_text(buffer, shown.c_str(), -1);
        break;
    }
    case ControlKind::Button:
        gtk_button_set_label(GTK_BUTTON(item.widget), mnemonicLabel(shown).c_str());
        applyLook(item); // the button made a new label
        break;
    case ControlKind::Image:
        gtk_image_set_from_icon_name(
            GTK_IMAGE(item.widget), shown.empty() ? "dialog-warning" : shown.c_str(), GTK_ICON_SIZE_DIALOG);
        break;
    case ControlKind::Region:
    case ControlKind::List:
    case ControlKind::Container:
    case ControlKind::MenuItem:
        break;
    }
    m_updating = false;
}

void GtkWindowView::applyAccessibleName(Item& item)
{
    const AccessibleNaming naming = accessibleNaming(m_window, item.number);
    AtkObject* accessible = gtk_widget_get_accessible(item.widget);
    const char* current = atk_object_get_name(accessible);
    if (!current || naming.name != current)
        atk_object_set_name(accessible, naming.name.c_str());
    auto label = m_items.find(naming.labelledBy);
    if (label != m_items.end()) {
        // Already related pairs are left as they are.
        AtkObject* labelAccessible = gtk_widget_get_accessible(label->second->widget);
        atk_object_add_relationship(accessible, ATK_RELATION_LABELLED_BY, labelAccessible);
        atk_object_add_relationship(labelAccessible, ATK_RELATION_LABEL_FOR, accessible);
    }
}

void GtkWindowView::applyAccessibleNames()
{
    for (auto& [number, item] : m_items)
        applyAccessibleName(*item);
}

void GtkWindowView::applyVisibility(Item& item)
{
    const Control* control = item.control();
    if (!control)
        return;
    bool visible = true;
    const Control* at = control;
    for (int depth = 0; at && depth < 64; ++depth) {
        if (at->hidden()) {
            visible = false;
            break;
        }
        at = at->parent() ? m_window.control(at->parent()) : nullptr;
    }
    gtk_widget_set_visible(item.outer, visible);
}

void GtkWindowView::windowChanged(WindowProperty property)
{
    switch (property) {
    case WindowProperty::Caption:
        gtk_window_set_title(toplevel(), m_window.caption().c_str());
        break;
    case WindowProperty::Icon: {
        std::string icon = m_window.icon();
        if (!icon.empty() && icon.front() == '~')
            icon.erase(0, 1);
        std::error_code missing;
        if (!icon.empty() && std::filesystem::is_regular_file(icon, missing)) {
            gtk_window_set_icon_from_file(toplevel(), icon.c_str(), nullptr);
        } else if (auto linked = linkedImage(icon); linked) {
            gtk_window_set_icon(toplevel(), linked.get());
        } else {
            gtk_window_set_icon_name(toplevel(), icon.empty() ? nullptr : icon.c_str());
        }
        break;
    }
    case WindowProperty::Rect:
        applyWindowGeometry();
        break;
    case WindowProperty::Font:
        // The desktop's font sets the dialog units; a font named for another
        // system would only be substituted by a look-alike.
        break;
    case WindowProperty::Focus:
        if (auto* target = widget(m_window.focus()))
            gtk_widget_grab_focus(target);
        break;
    case WindowProperty::Controls:
        for (int number : m_window.controls()) {
            if (!m_items.count(number)) {
                buildControl(*m_window.control(number));
                if (auto found = m_items.find(number); found != m_items.end())
                    applyVisibility(*found->second);
            }
        }
        break;
    }
}

void GtkWindowView::controlChanged(int number, ControlProperty property)
{
    auto found = m_items.find(number);
    if (found == m_items.end())
        return;
    Item& item = *found->second;
    switch (property) {
    case ControlProperty::Text:
    case ControlProperty::ScreenText:
        applyText(item);
        // What a text or caption reads as names it, and may name the input after it.
        if (const Control* control = item.control(); control
            && (property == ControlProperty::Text || control->kind() == ControlKind::String
                || control->kind() == ControlKind::SingleLineString
                || control->kind() == ControlKind::Prompt))
            applyAccessibleNames();
        break;
    case ControlProperty::Tooltip:
        applyLook(item);
        applyAccessibleNames();
        break;
    case ControlProperty::AccessibleName:
        applyAccessibleName(item);
        break;
    case ControlProperty::FontColour:
    case ControlProperty::FontStyle:
        applyLook(item);
        break;
    case ControlProperty::Cursor:
        applyCursor(item);
        break;
    case ControlProperty::Hidden:
    case ControlProperty::Parent:
        for (auto& [n, each] : m_items)
            applyVisibility(*each);
        break;
    case ControlProperty::Disabled:
        if (const Control* control = item.control())
            gtk_widget_set_sensitive(item.outer, !control->disabled());
        break;
    case ControlProperty::Rect:
        place(item);
        break;
    case ControlProperty::Immediate:
        break;
    case ControlProperty::List:
        // A selection the user just made comes back here; the list already shows it.
        if (!m_updating)
            applyList(item);
        break;
    }
}

void GtkWindowView::beep()
{
    gtk_widget_error_bell(m_toplevel);
}

GtkWidget* GtkWindowView::widget(int control) const
{
    auto found = m_items.find(control);
    return found == m_items.end() ? nullptr : found->second->widget;
}

GtkWidget* GtkWindowView::containerWidget(int control) const
{
    auto found = m_items.find(control);
    return found == m_items.end() ? nullptr : found->second->box;
}

GdkRectangle GtkWindowView::pixelRect(int number) const
{
    const Control* control = m_window.control(number);
    if (!control)
        return { 0, 0, 0, 0 };
    Rect rect = control->rect();
    return { m_units.toPixelsX(rect.x), m_units.toPixelsY(rect.y), m_units.toPixelsX(rect.width),
        m_units.toPixelsY(rect.height) };
}

std::vector<GtkWidget*> GtkWindowView::focusChain() const
{
    std::vector<std::pair<int, GtkWidget*>> links;
    for (const auto& [number, item] : m_items)
        links.emplace_back(number, item->outer);
    // A view embedded straight into the layout (a hosted web view) stands
    // for the container control it covers; one over none comes last.
    GHandle<GList, g_list_free> children(gtk_container_get_children(GTK_CONTAINER(m_fixed)));
    for (GList* at = children.get(); at; at = at->next) {
        auto* child = static_cast<GtkWidget*>(at->data);
        bool own = std::any_of(m_items.begin(), m_items.end(),
            [child](const auto& entry) { return entry.second->outer == child; });
        if (own)
            continue;
        int x = 0;
        int y = 0;
        gtk_container_child_get(GTK_CONTAINER(m_fixed), child, "x", &x, "y", &y, nullptr);
        x += gtk_widget_get_allocated_width(child) / 2;
        y += gtk_widget_get_allocated_height(child) / 2;
        int covered = std::numeric_limits<int>::max();
        for (const auto& [number, item] : m_items) {
            const Control* control = item->control();
            GdkRectangle rect = pixelRect(number);
            if (control && control->kind() == ControlKind::Container && x >= rect.x && x < rect.x + rect.width
                && y >= rect.y && y < rect.y + rect.height) {
                covered = number;
                break;
            }
        }
        links.emplace_back(covered, child);
    }
    std::stable_sort(
        links.begin(), links.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<GtkWidget*> chain;
    chain.reserve(links.size());
    for (const auto& link : links)
        chain.push_back(link.second);
    return chain;
}

bool GtkWindowView::embedded(GtkWidget* widget) const
{
    if (!widget || !gtk_widget_is_ancestor(widget, m_fixed))
        return false;
    for (const auto& [number, item] : m_items) {
        if (widget == item->outer || gtk_widget_is_ancestor(widget, item->outer))
            return item->box && gtk_widget_is_ancestor(widget, item->box);
    }
    return true;
}

gboolean GtkWindowView::onDelete(GtkWidget*, GdkEvent*, gpointer data)
{
    auto* view = static_cast<GtkWindowView*>(data);
    if (!view->m_destroying)
        view->m_window.inputWindowEvent(Event::CloseWindow);
    return TRUE; // the window model decides whether it closes
}

gboolean GtkWindowView::onWindowFocus(GtkWidget*, GdkEventFocus* event, gpointer data)
{
    auto* view = static_cast<GtkWindowView*>(data);
    if (view->m_destroying)
        return FALSE;
    if (event->in) {
        auto& list = views();
        list.erase(std::remove(list.begin(), list.end(), view), list.end());
        list.push_back(view);
    }
    view->m_window.inputWindowEvent(event->in ? Event::GainFocus : Event::LoseFocus);
    return FALSE;
}

gboolean GtkWindowView::onWindowKeyPress(GtkWidget*, GdkEventKey* event, gpointer data)
{
    // A web page takes Tab while it has the focus. When its own stops run
    // out, the engine moves the focus on through the window itself and then
    // still hands the key back unused: let through, the key would move the
    // focus a second time and pass over the control after the page.
    auto* view = static_cast<GtkWindowView*>(data);
    if (view->m_destroying
        || (event->keyval != GDK_KEY_Tab && event->keyval != GDK_KEY_ISO_Left_Tab
            && event->keyval != GDK_KEY_KP_Tab))
        return FALSE;
    KeyStamp key { event->time, event->hardware_keycode, event->state };
    GtkWidget* focus = gtk_window_get_focus(view->toplevel());
    std::optional<EmbeddedTab> handedOn = std::exchange(view->m_embeddedTab, std::nullopt);
    if (handedOn && handedOn->key == key)
        return focus != handedOn->focus; // where the focus has not moved yet, the key moves it
    if (view->embedded(focus))
        view->m_embeddedTab = EmbeddedTab { key, focus };
    return FALSE;
}

void GtkWindowView::onSetFocus(GtkWindow*, GtkWidget* widget, gpointer data)
{
    // A control taking the focus says so itself; the focus going anywhere
    // else in the window (an embedded browser, or nothing) leaves the control.
    auto* view = static_cast<GtkWindowView*>(data);
    if (view->m_destroying)
        return;
    for (auto& [number, item] : view->m_items) {
        if (widget && (widget == item->outer || gtk_widget_is_ancestor(widget, item->outer)))
            return;
    }
    view->m_window.inputFocus(0);
}

void GtkWindowView::onFixedAllocate(GtkWidget*, GdkRectangle* allocation, gpointer data)
{
    auto* view = static_cast<GtkWindowView*>(data);
    if (view->m_destroying)
        return;
    if (allocation->width == view->m_allocatedWidth && allocation->height == view->m_allocatedHeight)
        return;
    view->m_allocatedWidth = allocation->width;
    view->m_allocatedHeight = allocation->height;
    view->m_window.inputWindowEvent(Event::Sized);
}

gboolean GtkWindowView::onFixedFocus(GtkWidget* fixed, GtkDirectionType direction, gpointer data)
{
    auto* view = static_cast<GtkWindowView*>(data);
    // Arrow keys move by place, as GTK has it.
    if (view->m_destroying || (direction != GTK_DIR_TAB_FORWARD && direction != GTK_DIR_TAB_BACKWARD))
        return FALSE;
    std::vector<GtkWidget*> chain = view->focusChain();
    if (direction == GTK_DIR_TAB_BACKWARD)
        std::reverse(chain.begin(), chain.end());
    GtkWidget* focus = gtk_window_get_focus(view->toplevel());
    auto at = std::find_if(chain.begin(), chain.end(),
        [focus](GtkWidget* link) { return focus && (focus == link || gtk_widget_is_ancestor(focus, link)); });
    if (at == chain.end()) {
        at = chain.begin();
    } else {
        // A control with stops of its own (a page's download bar) goes through them first.
        if (gtk_widget_child_focus(*at, direction))
            return TRUE;
        ++at;
    }
    for (; at != chain.end(); ++at) {
        if (gtk_widget_child_focus(*at, direction))
            return TRUE;
    }
    // Past the last control: the window starts again at the first, through
    // this handler again, and not by GTK's order of places.
    g_signal_stop_emission_by_name(fixed, "focus");
    return FALSE;
}

void GtkWindowView::onClicked(GtkButton*, gpointer data)
{
    auto* item = static_cast<Item*>(data);
    if (!item->live())
        return;
    int code = item->pointerCode >= 0 ? item->pointerCode : item->keyCode;
    item->pointerCode = -1;
    item->window().inputClick(item->number, code);
}

gboolean GtkWindowView::onButtonPress(GtkWidget*, GdkEventButton* event, gpointer data)
{
    auto* item = static_cast<Item*>(data);
    if (!item->live() || event->type != GDK_BUTTON_PRESS)
        return FALSE;
    int code = buttonCode(event->button);
    if (!code)
        return FALSE;
    code |= modifierBits(event->state);
    item->pointerCode = code;
    // An alerted mouse button raises the alert event in place of its usual effect.
    return item->window().inputKey(item->number, code);
}

gboolean GtkWindowView::onKeyPress(GtkWidget*, GdkEventKey* event, gpointer data)
{
    auto* item = static_cast<Item*>(data);
    if (!item->live())
        return FALSE;
    int code = keyCodeOf(event);
    if (!code)
        return FALSE;
    item->pointerCode = -1;
    item->keyCode = code;
    return item->window().inputKey(item->number, code);
}

void GtkWindowView::onActivate(GtkEntry*, gpointer data)
{
    auto* item = static_cast<Item*>(data);
    if (item->live())
        item->window().inputClick(item->number, KeyCode::Enter);
}

void GtkWindowView::onChanged(GtkEditable* editable, gpointer data)
{
    auto* item = static_cast<Item*>(data);
    if (!item->live() || item->view->m_updating)
        return;
    item->window().inputScreenText(item->number, gtk_entry_get_text(GTK_ENTRY(editable)));
}

void GtkWindowView::onTextBufferChanged(GtkTextBuffer* buffer, gpointer data)
{
    auto* item = static_cast<Item*>(data);
    if (!item->live() || item->view->m_updating)
        return;
    GtkTextIter start, end;
    gtk_text_buffer_get_bounds(buffer, &start, &end);
    GCharPtr text(gtk_text_buffer_get_text(buffer, &start, &end, FALSE));
    item->window().inputScreenText(item->number, text.get());
}

namespace {
// The pointer in dialog units from the window's client origin.
std::pair<int, int> pointerUnits(GtkWidget* fixed, const DialogUnits& units, double rootX, double rootY)
{
    int originX = 0;
    int originY = 0;
    if (auto* window = gtk_widget_get_window(fixed))
        gdk_window_get_origin(window, &originX, &originY);
    GtkAllocation allocation;
    gtk_widget_get_allocation(fixed, &allocation);
    if (!gtk_widget_get_has_window(fixed)) {
        originX += allocation.x;
        originY += allocation.y;
    }
    return { units.toUnitsX(static_cast<int>(rootX) - originX),
        units.toUnitsY(static_cast<int>(rootY) - originY) };
}
} // namespace

gboolean GtkWindowView::onCrossing(GtkWidget*, GdkEventCrossing* event, gpointer data)
{
    auto* item = static_cast<Item*>(data);
    if (!item->live() || event->detail == GDK_NOTIFY_INFERIOR)
        return FALSE;
    auto [x, y] = pointerUnits(item->view->m_fixed, item->view->m_units, event->x_root, event->y_root);
    item->window().inputMouse(
        item->number, event->type == GDK_ENTER_NOTIFY ? Event::MouseIn : Event::MouseOut, x, y);
    return FALSE;
}

gboolean GtkWindowView::onMotion(GtkWidget*, GdkEventMotion* event, gpointer data)
{
    auto* item = static_cast<Item*>(data);
    if (!item->live())
        return FALSE;
    auto [x, y] = pointerUnits(item->view->m_fixed, item->view->m_units, event->x_root, event->y_root);
    item->window().inputMouse(item->number, Event::MouseMove, x, y);
    return FALSE;
}

gboolean GtkWindowView::onFocusIn(GtkWidget*, GdkEventFocus*, gpointer data)
{
    auto* item = static_cast<Item*>(data);
    if (item->live())
        item->window().inputFocus(item->number);
    return FALSE;
}

} // namespace tvrn2
