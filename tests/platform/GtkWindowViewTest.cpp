#include "platform/gtk/GtkWindowView.h"

#include "platform/GLibEventLoop.h"
#include "platform/KeyCode.h"
#include "platform/MessageBox.h"
#include "platform/Window.h"
#include "platform/gtk/GtkBackend.h"
#include "tests/platform/RealClick.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

namespace tvrn2 {
namespace {

// Fails the test and closes the window instead of letting a loop hang.
class Watchdog {
public:
    Watchdog(Window& window, guint milliseconds)
        : m_window(window)
    {
        m_source = g_timeout_add(milliseconds, fire, this);
    }
    ~Watchdog()
    {
        if (m_source)
            g_source_remove(m_source);
    }
    bool fired() const { return m_fired; }

private:
    static gboolean fire(gpointer data)
    {
        auto* self = static_cast<Watchdog*>(data);
        self->m_fired = true;
        self->m_source = 0;
        ADD_FAILURE() << "watchdog fired";
        // Answer any open dialog so a nested loop ends too.
        GList* toplevels = gtk_window_list_toplevels();
        for (GList* at = toplevels; at; at = at->next) {
            if (GTK_IS_DIALOG(at->data) && gtk_widget_get_visible(GTK_WIDGET(at->data)))
                gtk_dialog_response(GTK_DIALOG(at->data), GTK_RESPONSE_DELETE_EVENT);
        }
        g_list_free(toplevels);
        self->m_window.close();
        return G_SOURCE_REMOVE;
    }

    Window& m_window;
    guint m_source { 0 };
    bool m_fired { false };
};

// Calls the action once the widget is on screen, polling the loop.
void whenMapped(GtkWidget* widget, std::function<void()> action)
{
    struct Wait {
        GtkWidget* widget;
        std::function<void()> action;
    };
    g_timeout_add_full(
        G_PRIORITY_DEFAULT, 20,
        [](gpointer data) -> gboolean {
            auto* wait = static_cast<Wait*>(data);
            if (!gtk_widget_get_mapped(wait->widget))
                return G_SOURCE_CONTINUE;
            wait->action();
            return G_SOURCE_REMOVE;
        },
        new Wait { widget, std::move(action) }, [](gpointer data) { delete static_cast<Wait*>(data); });
}

GtkDialog* openDialog()
{
    GtkDialog* found = nullptr;
    GList* toplevels = gtk_window_list_toplevels();
    for (GList* at = toplevels; at; at = at->next) {
        if (GTK_IS_DIALOG(at->data) && gtk_widget_get_visible(GTK_WIDGET(at->data)))
            found = GTK_DIALOG(at->data);
    }
    g_list_free(toplevels);
    return found;
}

class GtkWindowViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!GtkBackend::available())
            GTEST_SKIP() << "no display";
        backend = std::make_unique<GtkBackend>();
    }

    std::unique_ptr<GtkBackend> backend;
};

TEST_F(GtkWindowViewTest, RealClickAndTimerReachTheHandlerAndTheWindowClosesCleanly)
{
    Window window("Demo", { -1, -1, 200, 80 });
    int prompt = window.add(ControlKind::Prompt, "?NAME:PROMPT", "&Name:", { 6, 8, 0, 0 });
    int entry = window.add(ControlKind::Entry, "?NAME", "", { 40, 6, 150, 12 });
    int button = window.add(ControlKind::Button, "?GO", "&Go", { 150, 60, 40, 14 });
    int container = window.add(ControlKind::Container, "?VIEW", "", { 6, 24, 184, 30 });
    window.open();
    auto* view = GtkWindowView::of(window);
    ASSERT_NE(view, nullptr);
    Watchdog watchdog(window, 10000);

    std::vector<WindowEvent> accepted;
    int ticks = 0;
    whenMapped(view->widget(button), [&] {
        // Typing reaches the model as screen text before the click is handled.
        gtk_entry_set_text(GTK_ENTRY(view->widget(entry)), "typed");
        test::clickWidget(view->widget(button));
    });
    window.setTimer(5);
    bool finished = window.run([&](const WindowEvent& e) {
        if (e.event == Event::Accepted)
            accepted.push_back(e);
        if (e.event == Event::Timer)
            ++ticks;
        if (!accepted.empty() && ticks >= 2)
            window.post(Event::CloseWindow);
        return Dispatch::Default;
    });

    EXPECT_TRUE(finished);
    EXPECT_FALSE(watchdog.fired());
    ASSERT_FALSE(accepted.empty());
    EXPECT_EQ(accepted.front(), (WindowEvent { Event::Accepted, button, KeyCode::MouseLeft }));
    EXPECT_GE(ticks, 2);
    EXPECT_EQ(window.control(entry)->screenText(), "typed");
    EXPECT_FALSE(window.isOpen());
    EXPECT_EQ(GtkWindowView::of(window), nullptr);
    (void)prompt;
    (void)container;
}

TEST_F(GtkWindowViewTest, ControlsSitAtTheirDialogUnitRectanglesAndContainersHostWidgets)
{
    Window window("Layout", { -1, -1, 200, 80 });
    int button = window.add(ControlKind::Button, "?GO", "Go", { 150, 60, 40, 14 });
    int container = window.add(ControlKind::Container, "?VIEW", "", { 6, 24, 184, 30 });
    window.open();
    auto* view = GtkWindowView::of(window);
    ASSERT_NE(view, nullptr);
    Watchdog watchdog(window, 10000);

    GtkWidget* guest = gtk_label_new("embedded");
    gtk_box_pack_start(GTK_BOX(view->containerWidget(container)), guest, TRUE, TRUE, 0);
    gtk_widget_show(guest);
    EXPECT_EQ(view->containerWidget(button), nullptr);

    GtkAllocation buttonAt {};
    GtkAllocation guestAt {};
    GdkRectangle buttonRect {};
    GdkRectangle containerRect {};
    int movedX = -1;
    whenMapped(guest, [&] {
        gtk_widget_get_allocation(view->widget(button), &buttonAt);
        gtk_widget_get_allocation(guest, &guestAt);
        // Where the embedded widget sits in the window's client area.
        gtk_widget_translate_coordinates(
            guest, gtk_widget_get_parent(view->widget(button)), 0, 0, &guestAt.x, &guestAt.y);
        buttonRect = view->pixelRect(button);
        containerRect = view->pixelRect(container);
        window.control(button)->setRect({ 100, 60, 40, 14 });
        gtk_container_child_get(GTK_CONTAINER(gtk_widget_get_parent(view->widget(button))),
            view->widget(button), "x", &movedX, nullptr);
        window.post(Event::CloseWindow);
    });
    const DialogUnits units = view->units();
    window.run([](const WindowEvent&) { return Dispatch::Default; });
    EXPECT_FALSE(watchdog.fired());

    EXPECT_EQ(buttonRect.x, units.toPixelsX(150));
    EXPECT_EQ(buttonRect.height, units.toPixelsY(14));
    EXPECT_EQ(buttonAt.x, buttonRect.x);
    EXPECT_EQ(buttonAt.y, buttonRect.y);
    EXPECT_EQ(buttonAt.width, buttonRect.width);
    EXPECT_EQ(buttonAt.height, buttonRect.height);
    // The embedded widget fills the container but for its one-pixel border.
    EXPECT_NEAR(guestAt.width, containerRect.width, 2);
    EXPECT_NEAR(guestAt.height, containerRect.height, 2);
    EXPECT_NEAR(guestAt.x, containerRect.x, 2);
    EXPECT_EQ(movedX, units.toPixelsX(100));
}

TEST_F(GtkWindowViewTest, MessageBoxHoldsTheTimerAndAnswersWithThePressedButton)
{
    Window window("Boxes", { -1, -1, 120, 40 });
    window.open();
    Watchdog watchdog(window, 10000);
    window.setTimer(2); // ticks every 20 ms, many times while the box is open

    int depth = 0;
    int maxDepth = 0;
    int ticks = 0;
    int answer = 0;
    std::size_t waitingAfterBox = 0;
    std::vector<std::string> labels;
    int defaultResponse = 0;
    window.run([&](const WindowEvent& e) {
        if (e.event != Event::Timer)
            return Dispatch::Default;
        ++ticks;
        maxDepth = std::max(maxDepth, ++depth);
        if (ticks == 1) {
            g_timeout_add(
                300,
                [](gpointer data) -> gboolean {
                    auto* out = static_cast<std::pair<std::vector<std::string>*, int*>*>(data);
                    GtkDialog* dialog = openDialog();
                    if (!dialog)
                        return G_SOURCE_CONTINUE;
                    GList* buttons
                        = gtk_container_get_children(GTK_CONTAINER(gtk_dialog_get_action_area(dialog)));
                    for (GList* at = buttons; at; at = at->next)
                        out->first->push_back(gtk_button_get_label(GTK_BUTTON(at->data)));
                    g_list_free(buttons);
                    if (auto* focused = gtk_window_get_focus(GTK_WINDOW(dialog)))
                        *out->second = gtk_dialog_get_response_for_widget(dialog, focused);
                    gtk_dialog_response(dialog, Button::No);
                    delete out;
                    return G_SOURCE_REMOVE;
                },
                new std::pair<std::vector<std::string>*, int*>(&labels, &defaultResponse));
            answer = messageBoxes().show({ "Replace the file?|It exists.", "Question", BoxIcon::Question,
                Button::Yes | Button::No | Button::Cancel, Button::No, "" });
            waitingAfterBox = window.pending(Event::Timer);
        }
        if (ticks == 2)
            window.post(Event::CloseWindow);
        --depth;
        return Dispatch::Default;
    });
    EXPECT_FALSE(watchdog.fired());
    EXPECT_EQ(answer, Button::No);
    EXPECT_EQ(maxDepth, 1);
    EXPECT_EQ(waitingAfterBox, 1u); // a dozen ticks during the box folded into one event
    EXPECT_EQ(labels, (std::vector<std::string> { "_Yes", "_No", "Cancel" }));
    EXPECT_EQ(defaultResponse, Button::No);
}

} // namespace
} // namespace tvrn2
