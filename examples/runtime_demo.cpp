// A small window on the window runtime and its controller: an address line
// with a file picker, a container where an embedded view would sit, a link
// styled string, a status line kept current by the window timer, and buttons.
//
//   build/examples/runtime_demo                     shows the window
//   build/examples/runtime_demo --screenshot a.png  saves it as a picture and ends

#include "framework/FileSelectDialog.h"
#include "framework/WindowController.h"
#include "platform/Window.h"
#include "platform/gtk/GtkBackend.h"
#include "platform/gtk/GtkWindowView.h"
#include "platform/gtk/WindowPicture.h"

#include <cstdio>
#include <cstring>
#include <gtk/gtk.h>
#include <string>

namespace {

using namespace tvrn2;

class DemoWindow final : public WindowController {
public:
    DemoWindow(Window& window, const char* screenshot)
        : WindowController(window)
        , m_screenshot(screenshot)
    { }

    int Init() override
    {
        if (int result = WindowController::Init())
            return result;
        Window& w = window();
        w.setCaption("Runtime demo");
        w.setRect({ -1, -1, 260, 150 });
        w.add(ControlKind::Prompt, "?ADDRESS:PROMPT", "&Address:", { 6, 8, 0, 0 });
        m_address = w.add(ControlKind::Entry, "?ADDRESS", "", { 44, 6, 192, 12 });
        m_pick = w.add(ControlKind::Button, "?PICK", "...", { 240, 6, 14, 12 });
        m_view = w.add(ControlKind::Container, "?VIEW", "", { 6, 22, 248, 82 });
        m_link = w.add(ControlKind::String, "?LINK", "Support page", { 6, 110, 0, 0 });
        m_status = w.add(ControlKind::String, "?STATUS", "", { 110, 110, 144, 10 });
        m_ok = w.add(ControlKind::Button, "?OK", "&Download", { 140, 128, 56, 15 });
        int cancel = w.add(ControlKind::Button, "?CANCEL", "Cancel", { 200, 128, 54, 15 });

        w.control(m_address)->setText("https://example.org/start.htm");
        w.control(m_address)->alert(13);
        w.control(m_pick)->setTooltip("Pick a file to view");
        w.control(m_link)->setFontColour(0xCC6600); // 0x00BBGGRR: a link blue
        w.control(m_link)->setFontStyle(FontStyle::Regular | FontStyle::Underline);
        w.control(m_link)->setCursor("~hand2.cur");
        w.control(m_status)->bind([this] { return m_statusText; }, {});
        FIRSTFIELD = m_address;
        AddButton(cancel, 2);
        m_files.Init("Choose File to View", FileFlag::LongNames);
        m_files.SetMask("HTML Files", "*.htm;*.html");
        m_files.AddMask("All Files", "*.*");
        w.open();

        if (auto* view = GtkWindowView::of(w)) {
            GtkWidget* inside = gtk_label_new("The embedded view sits here.");
            gtk_widget_set_sensitive(inside, FALSE);
            gtk_box_pack_start(GTK_BOX(view->containerWidget(m_view)), inside, TRUE, TRUE, 0);
            gtk_widget_show(inside);
        }
        return 0;
    }

    int OnWindowEvent() override
    {
        int result = WindowController::OnWindowEvent();
        Window& w = window();
        if (w.event() == Event::OpenWindow) {
            m_statusText = "** Idle **";
            Redisplay(false);
            if (m_screenshot)
                w.setTimer(50); // the window is drawn by the first tick
        } else if (w.event() == Event::Timer) {
            if (m_screenshot) {
                save();
                w.post(Event::CloseWindow);
            } else {
                m_statusText = "Waiting " + std::to_string(++m_ticks) + " s";
                Redisplay(false);
            }
        }
        return result;
    }

    int OnAccepted() override
    {
        Window& w = window();
        if (w.field() == m_pick) {
            std::string chosen = m_files.Ask(RestoreDirectory::Yes);
            if (!chosen.empty())
                w.control(m_address)->setText("file://" + chosen);
        } else if (w.field() == m_ok) {
            w.setTimer(100);
            m_ticks = 0;
            m_statusText = "*** Download in Progress ***";
            Redisplay(false);
        }
        return WindowController::OnAccepted();
    }

    int OnFieldEvent() override
    {
        Window& w = window();
        if (w.event() == Event::AlertKey && w.field() == m_address && w.lastKeyCode() == 13) {
            m_statusText = "Loading " + w.control(m_address)->screenText();
            Redisplay(false);
        }
        return 0;
    }

private:
    void save()
    {
        auto* view = GtkWindowView::of(window());
        std::string error;
        if (!saveWindowPicture(GTK_WIDGET(view->toplevel()), m_screenshot, &error))
            std::fprintf(stderr, "cannot save %s: %s\n", m_screenshot, error.c_str());
    }

    const char* m_screenshot;
    FileSelectDialog m_files;
    std::string m_statusText;
    int m_ticks { 0 };
    int m_address { 0 };
    int m_pick { 0 };
    int m_view { 0 };
    int m_link { 0 };
    int m_status { 0 };
    int m_ok { 0 };
};

} // namespace

int main(int argc, char** argv)
{
    const char* screenshot = argc == 3 && std::strcmp(argv[1], "--screenshot") == 0 ? argv[2] : nullptr;
    if (!tvrn2::GtkBackend::available()) {
        std::fprintf(stderr, "runtime_demo: no display\n");
        return 1;
    }
    tvrn2::GtkBackend backend;
    tvrn2::Window window;
    DemoWindow demo(window, screenshot);
    return demo.Execute() == 2 ? 0 : 1;
}
