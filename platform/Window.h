#pragma once

#include "platform/Control.h"
#include "platform/Event.h"
#include "platform/EventLoop.h"
#include "platform/WindowView.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace tvrn2 {

struct WindowEvent {
    Event event { Event::None };
    int control { 0 }; // 0: the event belongs to the window
    int keyCode { -1 }; // the key or button behind it; -1 when none

    friend bool operator==(const WindowEvent&, const WindowEvent&) = default;
};

// What the runtime does with an event after the handler has seen it.
enum class Dispatch {
    Default, // the runtime's own handling (a close event closes the window)
    Skip, // no handling by the runtime
    Leave, // leave the window's event loop
};

// A window of numbered controls with its own event queue. Headless unless a
// view factory is installed when it opens; the code that drives it cannot
// tell the difference.
//
// Events are handed out one at a time and only while run() is active. They
// wait while the handler is still busy with the previous one (so a timer
// tick never re-enters its handler, and a modal box opened by a handler holds
// the window), and while an EventHold is alive.
class Window {
public:
    explicit Window(std::string caption = {}, Rect rect = {}, EventLoop& loop = eventLoop());
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Controls are numbered from 1 in the order they are added.
    int add(ControlKind kind, std::string label, std::string text = {}, Rect rect = {});
    // A control at a number of its own choosing (overlays above the declared
    // ones); an existing control of that number is returned unchanged.
    Control& create(int number, ControlKind kind, int parent = 0);
    Control* control(int number);
    const Control* control(int number) const;
    // Control numbers in ascending order: the order Tab moves the focus in.
    std::vector<int> controls() const;
    int byLabel(std::string_view label) const; // 0 when there is none

    const std::string& caption() const { return m_caption; }
    void setCaption(std::string caption);
    const std::string& icon() const { return m_icon; }
    void setIcon(std::string icon);
    // Dialog units; x and y of -1 leave the place to the window system.
    const Rect& rect() const { return m_rect; }
    void setRect(Rect rect);
    // The dialog font: family and size in points; empty for the desktop's.
    const std::string& fontName() const { return m_fontName; }
    int fontSize() const { return m_fontSize; }
    void setFont(std::string name, int points);

    void open();
    void close();
    bool isOpen() const { return m_open; }
    WindowView* view() const { return m_view.get(); }

    int focus() const { return m_focus; }
    // Moves the focus and raises the selected event for the control.
    void select(int control);

    // The window timer in hundredths of a second; 0 switches it off. Ticks
    // do not pile up: one waiting timer event stands for any number of ticks.
    int timer() const { return m_timer; }
    void setTimer(int hundredths);

    void post(Event event, int control = 0, int keyCode = -1);
    std::size_t pending() const { return m_queue.size(); }
    std::size_t pending(Event event) const;

    // Runs the window's events through the handler until the window closes
    // or the handler leaves. False when the loop gave up (headless only).
    using Handler = std::function<Dispatch(const WindowEvent&)>;
    bool run(Handler handler);
    bool running() const { return m_handler != nullptr; }

    // The event being handled, and the control it belongs to.
    Event event() const { return m_current.event; }
    int field() const { return m_current.control; }

    int lastKeyCode() const { return m_lastKeyCode; }
    void setLastKeyCode(int code) { m_lastKeyCode = code; }
    // The mouse position in dialog units from the window's client origin.
    int mouseX() const { return m_mouseX; }
    int mouseY() const { return m_mouseY; }

    // While set, the window is taking every control's value at once; a
    // redisplay then waits and links do not launch.
    bool acceptAll() const { return m_acceptAll; }
    void setAcceptAll(bool on) { m_acceptAll = on; }

    void beep();
    int beeps() const { return m_beeps; }

    // Every control (or one): show bound variables, take screen values back.
    void display(int control = 0);
    void update(int control = 0);

    // The input side, called by the view (and by tests on a headless window).
    // Input for a control that takes none is dropped. Each returns true when
    // the window consumed the input.
    bool inputClick(int control, int keyCode = 1); // a button pressed, or an entry activated
    bool inputKey(int control, int keyCode);
    bool inputMouse(int control, Event event, int x, int y);
    bool inputScreenText(int control, std::string text);
    // The focus moved to a control, or (0) to something that is none of them.
    bool inputFocus(int control);
    bool inputWindowEvent(Event event);

    // Holds, counted; events wait while any is active. See EventHold.
    void holdEvents();
    void releaseEvents();
    static void holdAllEvents();
    static void releaseAllEvents();
    bool held() const;

    // Called by Control on every change.
    void controlChanged(int control, ControlProperty property);
    // Expires when the window goes, for callbacks that may outlive it.
    std::weak_ptr<bool> alive() const { return m_alive; }

    // The window the caller runs in: the newest window whose events are being
    // run, else the newest open window; null when there is none.
    static Window* current();

private:
    void windowChanged(WindowProperty property);
    // Runs the step on one control, or on every control for 0.
    void forControls(int number, void (Control::*step)());
    void schedule();
    void dispatchOne();
    bool mayDispatch() const;

    EventLoop& m_loop;
    std::string m_caption;
    std::string m_icon;
    Rect m_rect;
    std::string m_fontName;
    int m_fontSize { 0 };
    std::map<int, std::unique_ptr<Control>> m_controls;
    int m_declared { 0 };
    std::unique_ptr<WindowView> m_view;
    bool m_open { false };
    int m_focus { 0 };
    int m_timer { 0 };
    EventLoop::TimerId m_timerId { 0 };
    std::deque<WindowEvent> m_queue;
    Handler m_handler;
    bool m_dispatching { false };
    bool m_scheduled { false };
    bool m_leave { false };
    WindowEvent m_current;
    int m_lastKeyCode { 0 };
    int m_mouseX { 0 };
    int m_mouseY { 0 };
    bool m_acceptAll { false };
    int m_beeps { 0 };
    int m_holds { 0 };
    std::shared_ptr<bool> m_alive;
};

// Holds back the events of one window, or of every window, for a scope: a
// nested wait on the loop (a synchronous call into an embedded view, a modal
// dialog) then dispatches nothing of theirs. Held events run afterwards in order.
class EventHold {
public:
    EventHold(); // every window
    explicit EventHold(Window& window);
    ~EventHold();
    EventHold(const EventHold&) = delete;
    EventHold& operator=(const EventHold&) = delete;

private:
    Window* m_window;
    std::weak_ptr<bool> m_alive;
};

} // namespace tvrn2
