#include "tests/diagnostics/WindowCloser.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <set>

namespace tvrn2::test {

struct WindowCloser::State {
    Display* display = nullptr;
    std::set<::Window> asked;
};

WindowCloser::WindowCloser()
    : m_state(std::make_unique<State>())
{
    // Windows may vanish while they are looked at; that is no error here.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    m_state->display = XOpenDisplay(nullptr);
}

WindowCloser::~WindowCloser()
{
    if (m_state->display)
        XCloseDisplay(m_state->display);
}

void WindowCloser::closeWindowsOf(pid_t pid)
{
    Display* display = m_state->display;
    if (!display)
        return;
    Atom pidAtom = XInternAtom(display, "_NET_WM_PID", True);
    if (pidAtom == None)
        return;
    Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    ::Window root, parent, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return;
    for (unsigned i = 0; i < count; ++i) {
        ::Window window = children[i];
        XWindowAttributes attributes;
        if (m_state->asked.contains(window) || !XGetWindowAttributes(display, window, &attributes)
            || attributes.map_state != IsViewable)
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
        bool ours = items == 1 && *reinterpret_cast<unsigned long*>(data) == static_cast<unsigned long>(pid);
        XFree(data);
        if (!ours)
            continue;
        XEvent event {};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = protocols;
        event.xclient.format = 32;
        event.xclient.data.l[0] = long(deleteWindow);
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &event);
        m_state->asked.insert(window);
    }
    if (children)
        XFree(children);
    XFlush(display);
}

} // namespace tvrn2::test
