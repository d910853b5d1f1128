#include "hyperlink/HyperlinkManager.h"
#include "platform/Window.h"
#include "platform/gtk/GtkBackend.h"
#include "platform/gtk/GtkWindowView.h"
#include "tests/support/TestSupport.h"
#include "tests/support/gtk/OwnDisplay.h"
#include "tests/support/gtk/RealInput.h"
#include "tests/support/gtk/WindowWatchdog.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <optional>

namespace tvrn2 {
namespace {

constexpr Colour Red = 0x0000FF;
constexpr Colour Blue = 0xFF0000;

// The foreground colour GTK paints a label with, as 0x00BBGGRR.
std::optional<Colour> paintedColour(GtkWidget* label)
{
    PangoAttrList* attrs = gtk_label_get_attributes(GTK_LABEL(label));
    if (!attrs)
        return std::nullopt;
    std::optional<Colour> colour;
    PangoAttrIterator* at = pango_attr_list_get_iterator(attrs);
    if (auto* attr = pango_attr_iterator_get(at, PANGO_ATTR_FOREGROUND)) {
        const PangoColor& c = reinterpret_cast<PangoAttrColor*>(attr)->color;
        colour = (c.red >> 8) | ((c.green >> 8) << 8) | ((c.blue >> 8) << 16);
    }
    pango_attr_iterator_destroy(at);
    return colour;
}

TEST(HyperlinkGtk, RealPointerOverALinkTurnsItBrightAndLeavingTurnsItBack)
{
    // The real pointer moves: no other test's window may lie under it.
    ASSERT_TRUE(test::useOwnDisplay());
    GtkBackend backend;

    Window window("Links", { -1, -1, 200, 80 });
    int link = window.add(ControlKind::String, "?LINK", "www.example.com", { 10, 10, 80, 10 });
    int away = window.add(ControlKind::Button, "?AWAY", "Away", { 120, 50, 60, 14 });
    HyperlinkManager manager(window);
    manager.HandCursorToUse = "~hand2.cur";
    manager.Init(static_cast<int>(Event::Timer));
    manager.AddItem(link, std::nullopt, Red, Blue);
    manager.Refresh(0);

    // Start with the pointer well away from where the window will appear.
    GdkRectangle screen;
    gdk_monitor_get_geometry(gdk_display_get_monitor(gdk_display_get_default(), 0), &screen);
    test::movePointerTo(gdk_screen_get_default(), screen.x + screen.width - 1, screen.y + screen.height - 1);
    window.open();
    auto* view = GtkWindowView::of(window);
    ASSERT_NE(view, nullptr);
    GtkWidget* label = view->widget(link);
    GtkWidget* overlay = view->widget(link + HyperlinkManager::OverlayOffset);
    ASSERT_NE(overlay, nullptr);
    EXPECT_EQ(paintedColour(label), Red);

    // A pointer that never arrives fails the test instead of hanging it.
    test::WindowWatchdog watchdog(&window, 30000);

    enum class Phase { Mapping, GoingOver, GoingAway, Done } phase = Phase::Mapping;
    std::vector<Colour> painted;
    auto step = [&] {
        auto colour = paintedColour(label);
        if (colour && (painted.empty() || painted.back() != *colour))
            painted.push_back(*colour);
        if (phase == Phase::Mapping && gtk_widget_get_mapped(overlay)) {
            phase = Phase::GoingOver;
            test::movePointerOnto(overlay);
        } else if (phase == Phase::GoingOver && colour == Blue) {
            phase = Phase::GoingAway;
            test::movePointerOnto(view->widget(away));
        } else if (phase == Phase::GoingAway && colour == Red) {
            phase = Phase::Done;
            window.post(Event::CloseWindow);
        }
    };
    // Mapping and painting happen between events: look again now and then.
    window.setTimer(5);
    bool finished = window.run([&](const WindowEvent&) {
        manager.TakeEvent();
        step();
        return Dispatch::Default;
    });
    EXPECT_TRUE(finished);
    EXPECT_FALSE(watchdog.fired()) << "the pointer's moves never reached the link";
    EXPECT_EQ(phase, Phase::Done);
    EXPECT_EQ(painted, (std::vector<Colour> { Red, Blue, Red }));
}

} // namespace
} // namespace tvrn2
