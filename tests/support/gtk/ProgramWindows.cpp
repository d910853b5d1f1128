#include "tests/support/gtk/ProgramWindows.h"

#include "tests/support/gtk/XTestKey.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <chrono>
#include <map>
#include <vector>

namespace tvrn2::test {

struct ProgramWindows::State {
    Display* display = nullptr;
    std::map<::Window, std::chrono::steady_clock::time_point> asked;

    // The visible top-level windows that process `pid` says are its own.
    std::vector<::Window> windowsOf(pid_t pid)
    {
        std::vector<::Window> found;
        // Interned, not looked up: a look-up made before the program's
        // first window names the atom is remembered as missing for good by the
        // connection, and the windows would never be found.
        Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
        ::Window root, parent, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
            return found;
        for (unsigned i = 0; i < count; ++i) {
            ::Window window = children[i];
            XWindowAttributes attributes;
            if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable)
                continue;
            Atom type;
            int format;
            unsigned long items, after;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(
                    display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after, &data)
                    != Success
                || !data)
                continue;
            if (items == 1 && *reinterpret_cast<unsigned long*>(data) == static_cast<unsigned long>(pid))
                found.push_back(window);
            XFree(data);
        }
        if (children)
            XFree(children);
        return found;
    }
};

ProgramWindows::ProgramWindows()
    : m_state(std::make_unique<State>())
{
    // Windows may vanish while they are looked at; that is no error here.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    m_state->display = XOpenDisplay(nullptr);
}

ProgramWindows::~ProgramWindows()
{
    if (m_state->display)
        XCloseDisplay(m_state->display);
}

bool ProgramWindows::connected() const
{
    return m_state->display != nullptr;
}

void ProgramWindows::closeWindowsOf(pid_t pid)
{
    Display* display = m_state->display;
    if (!display)
        return;
    Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    const auto now = std::chrono::steady_clock::now();
    for (::Window window : m_state->windowsOf(pid)) {
        // A window still there a while after it was asked is asked again, as
        // a user clicks the close box again.
        auto [found, first] = m_state->asked.try_emplace(window, now);
        if (now < found->second)
            continue;
        found->second = now + std::chrono::seconds(5);
        XEvent event {};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = protocols;
        event.xclient.format = 32;
        event.xclient.data.l[0] = long(deleteWindow);
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &event);
    }
    XFlush(display);
}

std::optional<ProgramWindows::ScreenRect> ProgramWindows::windowOf(pid_t pid)
{
    Display* display = m_state->display;
    if (!display)
        return std::nullopt;
    std::vector<::Window> windows = m_state->windowsOf(pid);
    XWindowAttributes attributes;
    if (windows.empty() || !XGetWindowAttributes(display, windows.front(), &attributes))
        return std::nullopt;
    int x = 0;
    int y = 0;
    ::Window child;
    XTranslateCoordinates(display, windows.front(), DefaultRootWindow(display), 0, 0, &x, &y, &child);
    return ScreenRect { x, y, attributes.width, attributes.height };
}

void ProgramWindows::clickAt(int x, int y)
{
    Display* display = m_state->display;
    if (!display)
        return;
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XFlush(display);
}

void ProgramWindows::pressKey(unsigned long keysym, unsigned long modifier)
{
    if (m_state->display)
        fakeKeyPress(m_state->display, keysym, modifier);
}

} // namespace tvrn2::test
