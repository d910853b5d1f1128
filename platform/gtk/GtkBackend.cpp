#include "platform/gtk/GtkBackend.h"

#include "platform/Dialogs.h"
#include "platform/EventLoop.h"
#include "platform/GLibEventLoop.h"
#include "platform/GObjectPtr.h"
#include "platform/HistoryListView.h"
#include "platform/MessageBox.h"
#include "platform/ProgramEndRequests.h"
#include "platform/WaitCursor.h"
#include "platform/Window.h"
#include "platform/WindowView.h"
#include "platform/gtk/GtkDialogs.h"
#include "platform/gtk/GtkHistoryListView.h"
#include "platform/gtk/GtkMessageBoxes.h"
#include "platform/gtk/GtkWindowView.h"

#include <cstdio>
#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

namespace tvrn2 {
namespace {
class GtkViewFactory final : public WindowViewFactory {
public:
    std::unique_ptr<WindowView> createView(Window& window) override
    {
        return std::make_unique<GtkWindowView>(window);
    }
};

#ifdef GDK_WINDOWING_X11
// GDK ends the process on the spot when a connection to the X server breaks,
// and it cannot go on with a dead one. The program ends there too, but it
// first writes what its close would have written and puts back the desktop
// settings it changed for its run.
int onConnectionLost(Display*)
{
    std::fputs("tvrn2: the connection to the display was lost\n", stderr);
    ProgramEndRequests::displayLost();
}

void closeWhenTheDisplayGoes()
{
    GdkDisplay* display = gdk_display_get_default();
    if (display && GDK_IS_X11_DISPLAY(display))
        XSetIOErrorHandler(onConnectionLost);
}
#endif

void showWaitCursor(bool shown)
{
    GdkDisplay* display = gdk_display_get_default();
    if (!display)
        return;
    auto cursor = GObjectPtr<GdkCursor>::adopt(shown ? gdk_cursor_new_from_name(display, "wait") : nullptr);
    GHandle<GList, g_list_free> toplevels(gtk_window_list_toplevels());
    for (GList* at = toplevels.get(); at; at = at->next) {
        if (auto* window = gtk_widget_get_window(GTK_WIDGET(at->data)))
            gdk_window_set_cursor(window, cursor.get());
    }
    // The cursor must reach the screen before a long operation blocks the loop.
    gdk_display_flush(display);
}
} // namespace

// The GTK implementations of the platform's global services, each installed
// for the backend's lifetime and what was there before put back as it goes
// (the guards are declared after what they install, so they go first).
struct GtkBackend::InstalledServices {
    GLibEventLoop loop;
    GtkViewFactory factory;
    GtkMessageBoxes boxes;
    GtkDialogs dialogs;
    GtkHistoryListView history;

    ScopedEventLoop installedLoop { loop };
    ScopedWindowViewFactory installedFactory { factory };
    ScopedMessageBoxes installedBoxes { boxes };
    ScopedDialogs installedDialogs { dialogs };
    ScopedHistoryListView installedHistory { history };
    WaitCursor::ScopedListener installedCursor { showWaitCursor };
};

bool GtkBackend::available()
{
    static const bool initialised = [] {
        g_set_prgname("tvrn2");
        if (!gtk_init_check(nullptr, nullptr))
            return false;
#ifdef GDK_WINDOWING_X11
        closeWhenTheDisplayGoes();
#endif
        return true;
    }();
    return initialised;
}

GtkBackend::GtkBackend()
{
    available();
    m_services = std::make_unique<InstalledServices>();
}

GtkBackend::~GtkBackend() = default;

GLibEventLoop& GtkBackend::loop()
{
    return m_services->loop;
}

} // namespace tvrn2
