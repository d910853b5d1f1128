#include "platform/gtk/GtkWindowView.h"

#include "platform/Dialogs.h"
#include "platform/GLibEventLoop.h"
#include "platform/HistoryListView.h"
#include "platform/KeyCode.h"
#include "platform/MessageBox.h"
#include "platform/WaitCursor.h"
#include "platform/Window.h"
#include "platform/gtk/GtkBackend.h"
#include "tests/support/TestSupport.h"
#include "tests/support/gtk/OwnDisplay.h"
#include "tests/support/gtk/RealInput.h"
#include "tests/support/gtk/WindowWatchdog.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

namespace tvrn2 {
namespace {

// Calls the action once the widget is on screen and laid out, polling the loop.
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
            // A widget added to a shown window maps before it is laid out.
            if (!gtk_widget_get_mapped(wait->widget) || gtk_widget_get_allocated_width(wait->widget) <= 1)
                return G_SOURCE_CONTINUE;
            wait->action();
            return G_SOURCE_REMOVE;
        },
        new Wait { widget, std::move(action) }, [](gpointer data) { delete static_cast<Wait*>(data); });
}

GtkDialog* openDialog();

// Once a dialog is open, hands it to the action until the action says it
// has answered it.
void whenDialogOpens(std::function<bool(GtkDialog*)> action)
{
    g_timeout_add_full(
        G_PRIORITY_DEFAULT, 20,
        [](gpointer data) -> gboolean {
            GtkDialog* dialog = openDialog();
            if (!dialog || !gtk_widget_get_mapped(GTK_WIDGET(dialog)))
                return G_SOURCE_CONTINUE;
            bool done = (*static_cast<std::function<bool(GtkDialog*)>*>(data))(dialog);
            return done ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
        },
        new std::function<bool(GtkDialog*)>(std::move(action)),
        [](gpointer data) { delete static_cast<std::function<bool(GtkDialog*)>*>(data); });
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
        // Real clicks and key presses: no other test's window may take them.
        ASSERT_TRUE(test::useOwnDisplay());
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
    test::WindowWatchdog watchdog(&window, 30000);

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
        if (!accepted.empty() && accepted.back().control == button && ticks >= 2)
            window.post(Event::CloseWindow);
        return Dispatch::Default;
    });

    EXPECT_TRUE(finished);
    EXPECT_FALSE(watchdog.fired());
    // The click takes the focus from the changed entry, which completes it first.
    std::vector<WindowEvent> expected { { Event::Accepted, entry, -1 },
        { Event::Accepted, button, KeyCode::MouseLeft } };
    EXPECT_EQ(accepted, expected);
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
    test::WindowWatchdog watchdog(&window, 30000);

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
    test::WindowWatchdog watchdog(&window, 30000);
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

TEST_F(GtkWindowViewTest, FileAndColourDialogsAnswerWhatTheUserChose)
{
    test::WindowWatchdog watchdog(nullptr, 30000);
    test::TempDir temp;
    auto chosen = temp.write("pages/page.htm", "<p>x</p>");
    auto start = std::filesystem::current_path();
    std::filesystem::current_path(temp.path());

    whenDialogOpens([&](GtkDialog* dialog) {
        // The chooser loads folders in the background; answer once the file is selected.
        auto* chooser = GTK_FILE_CHOOSER(dialog);
        gchar* current = gtk_file_chooser_get_filename(chooser);
        bool ready = current && chosen == current;
        g_free(current);
        if (!ready) {
            gtk_file_chooser_select_filename(chooser, chosen.c_str());
            return false;
        }
        gtk_dialog_response(dialog, GTK_RESPONSE_ACCEPT);
        return true;
    });
    std::string path = dialogs().openFile(
        { "Choose File to View", "page.htm", "HTML Files|*.htm|All Files|*.*", FileFlag::LongNames });
    EXPECT_EQ(path, chosen.string());
    EXPECT_EQ(std::filesystem::current_path(), chosen.parent_path());

    whenDialogOpens([](GtkDialog* dialog) {
        gtk_dialog_response(dialog, GTK_RESPONSE_CANCEL);
        return true;
    });
    EXPECT_EQ(dialogs().openFile({ "Cancel me", "", "", 0 }), "");
    std::filesystem::current_path(start);

    // Colours travel as 0x00BBGGRR both ways.
    GdkRGBA shown {};
    whenDialogOpens([&](GtkDialog* dialog) {
        gtk_color_chooser_get_rgba(GTK_COLOR_CHOOSER(dialog), &shown);
        GdkRGBA orange { 1.0, 0.5, 0.0, 1.0 };
        gtk_color_chooser_set_rgba(GTK_COLOR_CHOOSER(dialog), &orange);
        gtk_dialog_response(dialog, GTK_RESPONSE_OK);
        return true;
    });
    auto colour = dialogs().chooseColour({ "Choose a Color", 0x0000FF });
    EXPECT_DOUBLE_EQ(shown.red, 1.0);
    EXPECT_DOUBLE_EQ(shown.blue, 0.0);
    EXPECT_EQ(colour, Colour { 0x0080FF });
    whenDialogOpens([](GtkDialog* dialog) {
        gtk_dialog_response(dialog, GTK_RESPONSE_CANCEL);
        return true;
    });
    EXPECT_EQ(dialogs().chooseColour({ "Choose a Color", 0 }), std::nullopt);
    EXPECT_FALSE(watchdog.fired());
}

TEST_F(GtkWindowViewTest, HistoryWindowSelectsTheNewestLineAndAnswersTheButton)
{
    test::WindowWatchdog watchdog(nullptr, 30000);
    std::vector<std::string> labels;
    std::string selected;
    int focusedResponse = 0;
    whenDialogOpens([&](GtkDialog* dialog) {
        GList* buttons = gtk_container_get_children(GTK_CONTAINER(gtk_dialog_get_action_area(dialog)));
        for (GList* at = buttons; at; at = at->next)
            labels.push_back(gtk_button_get_label(GTK_BUTTON(at->data)));
        g_list_free(buttons);
        if (auto* focused = gtk_window_get_focus(GTK_WINDOW(dialog)))
            focusedResponse = gtk_dialog_get_response_for_widget(dialog, focused);
        // The list is the only tree view in the window.
        std::function<void(GtkWidget*)> find = [&](GtkWidget* widget) {
            if (GTK_IS_TREE_VIEW(widget)) {
                GtkTreeModel* model = nullptr;
                GtkTreeIter iter;
                if (gtk_tree_selection_get_selected(
                        gtk_tree_view_get_selection(GTK_TREE_VIEW(widget)), &model, &iter)) {
                    gchar* text = nullptr;
                    gtk_tree_model_get(model, &iter, 0, &text, -1);
                    selected = text ? text : "";
                    g_free(text);
                }
            } else if (GTK_IS_CONTAINER(widget)) {
                GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
                for (GList* at = children; at; at = at->next)
                    find(GTK_WIDGET(at->data));
                g_list_free(children);
            }
        };
        find(GTK_WIDGET(dialog));
        gtk_dialog_response(dialog, Button::Help);
        return true;
    });
    HistoryListRequest request { "Errors History", BoxIcon::None, Button::Ok | Button::Help, Button::Ok,
        { { "first", "ABC" }, { "newest", "ABC" } } };
    EXPECT_EQ(historyListView().show(request), Button::Help);
    EXPECT_EQ(labels, (std::vector<std::string> { "O_k", "_Help" }));
    EXPECT_EQ(focusedResponse, Button::Ok);
    EXPECT_EQ(selected, "newest");
    EXPECT_FALSE(watchdog.fired());
}

TEST_F(GtkWindowViewTest, AnOverlayRegionReportsThePointerAndCarriesTheHandCursor)
{
    Window window("Links", { -1, -1, 160, 60 });
    int link = window.add(ControlKind::String, "?LINK", "Support page", { 10, 10, 0, 0 });
    window.control(link)->setFontColour(0xCC6600);
    window.control(link)->setFontStyle(FontStyle::Regular | FontStyle::Underline);
    window.open();
    auto* view = GtkWindowView::of(window);
    ASSERT_NE(view, nullptr);
    test::WindowWatchdog watchdog(&window, 30000);
    // As a link manager does it: a region over the string, made after the window opened.
    auto& region = window.create(link + 2800, ControlKind::Region);
    region.setRect(window.control(link)->rect());
    region.setCursor("~hand2.cur");
    region.setImmediate(true);

    std::vector<WindowEvent> mouse;
    std::pair<int, int> insideAt;
    GdkCursor* cursor = nullptr;
    GtkWidget* box = view->widget(region.number());
    whenMapped(box, [&] {
        // The region's own input window carries the cursor.
        GList* children = gdk_window_get_children(gtk_widget_get_window(box));
        for (GList* at = children; at; at = at->next) {
            gpointer owner = nullptr;
            gdk_window_get_user_data(GDK_WINDOW(at->data), &owner);
            if (owner == box)
                cursor = gdk_window_get_cursor(GDK_WINDOW(at->data));
        }
        g_list_free(children);
    });
    // The X server may place the region's window a moment after GTK maps it,
    // so the pointer keeps going in (then out) until the window reports it.
    struct Mover {
        GtkWidget* box;
        std::vector<WindowEvent>* mouse;
        int step;
    } mover { box, &mouse, 0 };
    guint nudging = g_timeout_add(
        50,
        [](gpointer data) -> gboolean {
            auto* m = static_cast<Mover*>(data);
            if (!gtk_widget_get_mapped(m->box))
                return G_SOURCE_CONTINUE;
            int wobble = ++m->step % 2;
            if (m->mouse->empty())
                test::movePointer(m->box, 3 + wobble, 3);
            else
                test::movePointer(m->box, -40 - wobble, 60);
            return G_SOURCE_CONTINUE;
        },
        &mover);
    window.run([&](const WindowEvent& e) {
        if (e.control != region.number())
            return Dispatch::Default;
        mouse.push_back(e);
        if (e.event == Event::MouseIn)
            insideAt = { window.mouseX(), window.mouseY() };
        if (e.event == Event::MouseOut)
            window.post(Event::CloseWindow);
        return Dispatch::Default;
    });
    g_source_remove(nudging);
    EXPECT_FALSE(watchdog.fired());
    ASSERT_FALSE(mouse.empty());
    EXPECT_EQ(mouse.front().event, Event::MouseIn);
    EXPECT_EQ(mouse.back().event, Event::MouseOut);
    EXPECT_TRUE(window.control(link)->rect().contains(insideAt.first, insideAt.second))
        << insideAt.first << "," << insideAt.second;
    EXPECT_NE(cursor, nullptr);
}

TEST_F(GtkWindowViewTest, KeysRaiseAlertsOnEntriesAndAcceptButtonsWithTheirOwnCode)
{
    Window window("Keys", { -1, -1, 160, 40 });
    int entry = window.add(ControlKind::Entry, "?ADDRESS", "", { 6, 6, 100, 12 });
    int button = window.add(ControlKind::Button, "?GO", "Go", { 110, 6, 40, 14 });
    window.control(entry)->alert(KeyCode::Enter);
    window.open();
    auto* view = GtkWindowView::of(window);
    ASSERT_NE(view, nullptr);
    test::WindowWatchdog watchdog(&window, 30000);

    std::vector<WindowEvent> seen;
    whenMapped(view->widget(entry), [&] {
        // Without a window manager the keyboard follows the pointer.
        test::movePointer(view->widget(entry), 5, 5);
        window.select(entry);
        test::pressKey(view->widget(entry), 0xff0d); // Return
    });
    window.run([&](const WindowEvent& e) {
        if (e.event == Event::AlertKey || e.event == Event::Accepted)
            seen.push_back(e);
        if (e.event == Event::AlertKey) {
            window.select(button);
            test::pressKey(view->widget(button), 0xff0d);
        }
        if (e.event == Event::Accepted)
            window.post(Event::CloseWindow);
        return Dispatch::Default;
    });
    EXPECT_FALSE(watchdog.fired());
    // Enter in the entry is only the alert, never the entry's own activation;
    // Enter on the button accepts it with the key's code, not the mouse's.
    std::vector<WindowEvent> expected { { Event::AlertKey, entry, KeyCode::Enter },
        { Event::Accepted, button, KeyCode::Enter } };
    EXPECT_EQ(seen, expected);
}

TEST_F(GtkWindowViewTest, TypedTextOutlivesASwitchToAnotherWindowAndLeavingTheEntryTakesIt)
{
    std::string address = "old";
    Window window("Focus", { -1, -1, 160, 40 });
    int entry = window.add(ControlKind::Entry, "?ADDRESS", "", { 6, 6, 100, 12 });
    int button = window.add(ControlKind::Button, "?GO", "Go", { 110, 6, 40, 14 });
    window.control(entry)->bind([&] { return address; }, [&](const std::string& value) { address = value; });
    window.open();
    window.display();
    auto* view = GtkWindowView::of(window);
    ASSERT_NE(view, nullptr);
    test::WindowWatchdog watchdog(&window, 30000);

    // Another program's window, away from ours.
    GtkWidget* other = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(other), 60, 60);
    gtk_window_move(GTK_WINDOW(other), 0, 0);
    gtk_widget_show(other);

    whenMapped(view->widget(entry), [&] {
        // Without a window manager the keyboard follows the pointer.
        test::movePointer(view->widget(entry), 5, 5);
        window.select(entry);
        gtk_editable_set_position(GTK_EDITABLE(view->widget(entry)), -1);
        test::pressKey(view->widget(entry), 0x78); // x
        test::pressKey(view->widget(entry), 0x79); // y
    });
    enum class Stage { Typing, Away, Back, Leaving } stage = Stage::Typing;
    std::vector<WindowEvent> completion;
    std::string addressWhenAccepted;
    std::string shownAfterReturn;
    // Once the typing has reached the window, the pointer takes the focus away.
    std::function<bool()> typed = [&] {
        if (window.control(entry)->screenText() != "oldxy" || !gtk_widget_get_mapped(other))
            return false;
        stage = Stage::Away;
        test::movePointerOnto(other);
        return true;
    };
    guint poll = g_timeout_add(
        20,
        [](gpointer data) -> gboolean {
            return (*static_cast<std::function<bool()>*>(data))() ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
        },
        &typed);
    window.run([&](const WindowEvent& e) {
        if (stage == Stage::Away && e.event == Event::LoseFocus) {
            stage = Stage::Back;
            test::movePointer(view->widget(entry), 5, 5);
        } else if (stage == Stage::Back && e.event == Event::GainFocus) {
            // What a controller does when its window comes back.
            window.display();
            shownAfterReturn = gtk_entry_get_text(GTK_ENTRY(view->widget(entry)));
            stage = Stage::Leaving;
            test::pressKey(view->widget(entry), 0xff09); // Tab
        } else if (stage == Stage::Leaving && (e.event == Event::Accepted || e.event == Event::Selected)) {
            completion.push_back(e);
            if (e.event == Event::Accepted)
                addressWhenAccepted = address;
            if (e.event == Event::Selected)
                window.post(Event::CloseWindow);
        }
        return Dispatch::Default;
    });
    if (stage == Stage::Typing)
        g_source_remove(poll);
    gtk_widget_destroy(other);

    EXPECT_FALSE(watchdog.fired());
    EXPECT_EQ(shownAfterReturn, "oldxy");
    std::vector<WindowEvent> expected { { Event::Accepted, entry, -1 }, { Event::Selected, button, -1 } };
    EXPECT_EQ(completion, expected);
    EXPECT_EQ(addressWhenAccepted, "oldxy");
}

// Tab goes through the controls by their numbers whatever their places,
// from the first that takes the focus when the window opens. Texts, hidden
// and disabled controls are passed over; a view embedded over a container
// control is reached at the container's number. Shift+Tab goes back the same
// way, and both wrap around.
TEST_F(GtkWindowViewTest, TabFollowsTheControlNumbersBothWays)
{
    Window window("Order", { -1, -1, 200, 100 });
    window.add(ControlKind::Prompt, "?NAME:PROMPT", "Name:", { 6, 40, 0, 0 });
    int name = window.add(ControlKind::Entry, "?NAME", "", { 40, 40, 100, 12 });
    int top = window.add(ControlKind::Button, "?TOP", "Top", { 6, 6, 40, 14 });
    int page = window.add(ControlKind::Container, "?PAGE", "", { 6, 60, 120, 30 });
    int hidden = window.add(ControlKind::Button, "?HIDDEN", "Hidden", { 150, 6, 40, 14 });
    int off = window.add(ControlKind::Button, "?OFF", "Off", { 150, 24, 40, 14 });
    int right = window.add(ControlKind::Button, "?RIGHT", "Right", { 100, 6, 40, 14 });
    window.control(hidden)->setHidden(true);
    window.control(off)->setDisabled(true);
    window.open();
    auto* view = GtkWindowView::of(window);
    ASSERT_NE(view, nullptr);
    test::WindowWatchdog watchdog(&window, 30000);

    // Put straight into the layout over its container control, as a hosted web view is.
    GtkWidget* fixed = gtk_bin_get_child(GTK_BIN(view->toplevel()));
    GtkWidget* embedded = gtk_entry_new();
    GdkRectangle place = view->pixelRect(page);
    gtk_fixed_put(GTK_FIXED(fixed), embedded, place.x, place.y);
    gtk_widget_set_size_request(embedded, place.width, place.height);
    gtk_widget_show(embedded);

    auto focused = [&] {
        GtkWidget* focus = gtk_window_get_focus(view->toplevel());
        if (focus && focus == embedded)
            return page;
        for (int number : window.controls()) {
            if (focus && view->widget(number) == focus)
                return number;
        }
        return 0;
    };
    const bool back[] = { false, false, false, false, true, true, true, true };
    std::size_t pressed = 0;
    bool done = false;
    std::vector<int> reached;
    // Once the keyboard is on the window: where the focus is after each key.
    std::function<bool()> next = [&] {
        if (!gtk_window_has_toplevel_focus(view->toplevel()))
            return false;
        int now = focused();
        if (!reached.empty() && now == reached.back())
            return false;
        reached.push_back(now);
        if (now != page) {
            EXPECT_EQ(window.focus(), now) << "the window was told";
        }
        if (pressed == std::size(back)) {
            done = true;
            window.post(Event::CloseWindow);
            return true;
        }
        test::pressKey(fixed, 0xff09, back[pressed++] ? 0xffe1 : 0); // Tab, Shift
        return false;
    };
    guint poll = 0;
    whenMapped(embedded, [&] {
        // Without a window manager the keyboard follows the pointer: onto a bare corner.
        test::movePointer(fixed, 2, 2);
        poll = g_timeout_add(
            20,
            [](gpointer data) -> gboolean {
                return (*static_cast<std::function<bool()>*>(data))() ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
            },
            &next);
    });
    window.run([](const WindowEvent&) { return Dispatch::Default; });
    if (poll && !done)
        g_source_remove(poll);

    EXPECT_FALSE(watchdog.fired());
    std::vector<int> expected { name, top, page, right, name, right, page, top, name };
    EXPECT_EQ(reached, expected);
}

TEST_F(GtkWindowViewTest, TheWaitCursorCoversEveryWindowWhileShown)
{
    Window window("Wait", { -1, -1, 80, 30 });
    window.open();
    auto* view = GtkWindowView::of(window);
    ASSERT_NE(view, nullptr);
    GdkWindow* surface = gtk_widget_get_window(GTK_WIDGET(view->toplevel()));
    ASSERT_NE(surface, nullptr);
    {
        WaitCursor::Guard busy;
        EXPECT_NE(gdk_window_get_cursor(surface), nullptr);
    }
    EXPECT_EQ(gdk_window_get_cursor(surface), nullptr);
}

} // namespace
} // namespace tvrn2
