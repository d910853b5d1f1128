#include "platform/Window.h"

#include <algorithm>
#include <strings.h>
#include <utility>

namespace tvrn2 {
namespace {
WindowViewFactory* installedFactory = nullptr;
int allHolds = 0;

std::vector<Window*>& liveWindows()
{
    static std::vector<Window*> windows;
    return windows;
}

// Strings, prompts and images cannot take the mouse; an overlay region does that for them.
bool takesMouse(const Control& control)
{
    switch (control.kind()) {
    case ControlKind::String:
    case ControlKind::SingleLineString:
    case ControlKind::Prompt:
    case ControlKind::Image:
        return false;
    case ControlKind::Region:
        return control.immediate();
    case ControlKind::Entry:
    case ControlKind::Combo:
    case ControlKind::Text:
    case ControlKind::Button:
    case ControlKind::MenuItem:
    case ControlKind::List:
    case ControlKind::Container:
        return true;
    }
    return false;
}
} // namespace

WindowViewFactory* windowViewFactory()
{
    return installedFactory;
}

WindowViewFactory* setWindowViewFactory(WindowViewFactory* factory)
{
    auto* previous = installedFactory;
    installedFactory = factory;
    return previous;
}

Window::Window(std::string caption, Rect rect, EventLoop& loop)
    : m_loop(loop)
    , m_caption(std::move(caption))
    , m_rect(rect)
    , m_alive(std::make_shared<bool>(true))
{
    liveWindows().push_back(this);
}

Window::~Window()
{
    close();
    auto& windows = liveWindows();
    windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
}

int Window::add(ControlKind kind, std::string label, std::string text, Rect rect)
{
    int number = ++m_declared;
    while (m_controls.count(number))
        number = ++m_declared;
    m_controls.emplace(
        number, std::make_unique<Control>(*this, number, kind, std::move(label), std::move(text), rect));
    windowChanged(WindowProperty::Controls);
    return number;
}

Control& Window::create(int number, ControlKind kind, int parent)
{
    auto found = m_controls.find(number);
    if (found != m_controls.end())
        return *found->second;
    auto& control
        = *m_controls.emplace(number, std::make_unique<Control>(*this, number, kind, "", "", Rect {}))
               .first->second;
    control.setParent(parent);
    windowChanged(WindowProperty::Controls);
    return control;
}

Control* Window::control(int number)
{
    auto found = m_controls.find(number);
    return found == m_controls.end() ? nullptr : found->second.get();
}

const Control* Window::control(int number) const
{
    auto found = m_controls.find(number);
    return found == m_controls.end() ? nullptr : found->second.get();
}

std::vector<int> Window::controls() const
{
    std::vector<int> numbers;
    numbers.reserve(m_controls.size());
    for (const auto& [number, control] : m_controls)
        numbers.push_back(number);
    return numbers;
}

int Window::byLabel(std::string_view label) const
{
    for (const auto& [number, control] : m_controls) {
        if (control->label().size() == label.size()
            && strncasecmp(control->label().data(), label.data(), label.size()) == 0)
            return number;
    }
    return 0;
}

void Window::setCaption(std::string caption)
{
    if (caption == m_caption)
        return;
    m_caption = std::move(caption);
    windowChanged(WindowProperty::Caption);
}

void Window::setIcon(std::string icon)
{
    if (icon == m_icon)
        return;
    m_icon = std::move(icon);
    windowChanged(WindowProperty::Icon);
}

void Window::setRect(Rect rect)
{
    if (rect == m_rect)
        return;
    m_rect = rect;
    windowChanged(WindowProperty::Rect);
}

void Window::setFont(std::string name, int points)
{
    m_fontName = std::move(name);
    m_fontSize = points;
    windowChanged(WindowProperty::Font);
}

void Window::open()
{
    if (m_open)
        return;
    m_open = true;
    if (installedFactory)
        m_view = installedFactory->createView(*this);
    if (m_timer > 0)
        setTimer(std::exchange(m_timer, 0));
    post(Event::OpenWindow);
}

void Window::close()
{
    if (!m_open)
        return;
    m_open = false;
    if (m_timerId)
        m_loop.stopTimer(std::exchange(m_timerId, 0));
    m_queue.clear();
    m_view.reset();
    m_loop.wake();
}

void Window::select(int number)
{
    if (!control(number))
        return;
    m_focus = number;
    windowChanged(WindowProperty::Focus);
    post(Event::Selected, number);
}

void Window::setTimer(int hundredths)
{
    hundredths = std::max(hundredths, 0);
    if (m_timerId)
        m_loop.stopTimer(std::exchange(m_timerId, 0));
    m_timer = hundredths;
    if (!m_open || hundredths == 0)
        return;
    m_timerId = m_loop.startTimer(std::chrono::milliseconds(hundredths * 10), [this, alive = alive()] {
        if (alive.expired())
            return;
        if (pending(Event::Timer) == 0)
            post(Event::Timer);
    });
}

void Window::post(Event event, int control, int keyCode)
{
    if (!m_open)
        return;
    m_queue.push_back({ event, control, keyCode });
    schedule();
}

std::size_t Window::pending(Event event) const
{
    return static_cast<std::size_t>(std::count_if(
        m_queue.begin(), m_queue.end(), [event](const WindowEvent& e) { return e.event == event; }));
}

bool Window::run(Handler handler)
{
    if (m_handler || !handler)
        return false;
    if (!m_open)
        open();
    m_handler = std::move(handler);
    m_leave = false;
    schedule();
    bool finished = m_loop.runUntil([this] { return !m_open || m_leave; });
    m_handler = nullptr;
    m_leave = false;
    return finished;
}

bool Window::held() const
{
    return m_holds > 0 || allHolds > 0;
}

bool Window::mayDispatch() const
{
    return m_handler && !m_dispatching && !m_leave && !held() && m_open;
}

void Window::schedule()
{
    if (m_scheduled || m_queue.empty() || !mayDispatch())
        return;
    m_scheduled = true;
    m_loop.post([this, alive = alive()] {
        if (alive.expired())
            return;
        m_scheduled = false;
        dispatchOne();
    });
}

void Window::dispatchOne()
{
    if (m_queue.empty() || !mayDispatch())
        return;
    m_current = m_queue.front();
    m_queue.pop_front();
    if (m_current.keyCode >= 0)
        m_lastKeyCode = m_current.keyCode;
    // An accepted entry's variable takes what the user typed before anyone
    // looks at it.
    if (m_current.event == Event::Accepted) {
        if (auto* accepted = control(m_current.control); accepted && accepted->editing())
            accepted->update();
    }

    m_dispatching = true;
    auto result = m_handler(m_current);
    m_dispatching = false;

    if (result == Dispatch::Leave) {
        m_leave = true;
    } else if (result == Dispatch::Default) {
        if (m_current.control == 0
            && (m_current.event == Event::CloseWindow || m_current.event == Event::CloseDown))
            close();
    }
    m_current = {};
    m_loop.wake();
    schedule();
}

void Window::beep()
{
    ++m_beeps;
    if (m_view)
        m_view->beep();
}

void Window::forControls(int number, void (Control::*step)())
{
    if (number) {
        if (auto* c = control(number))
            (c->*step)();
        return;
    }
    for (auto& [n, c] : m_controls)
        ((*c).*step)();
}

void Window::display(int number)
{
    forControls(number, &Control::display);
}

void Window::update(int number)
{
    forControls(number, &Control::update);
}

bool Window::inputClick(int number, int keyCode)
{
    auto* c = control(number);
    if (!c || !c->takesInput())
        return false;
    post(Event::Accepted, number, keyCode);
    return true;
}

bool Window::inputKey(int number, int keyCode)
{
    auto* c = control(number);
    if (!c || !c->takesInput())
        return false;
    if (!c->alerted(keyCode)) {
        m_lastKeyCode = keyCode;
        return false;
    }
    post(Event::AlertKey, number, keyCode);
    return true;
}

bool Window::inputMouse(int number, Event event, int x, int y)
{
    m_mouseX = x;
    m_mouseY = y;
    auto* c = control(number);
    if (!c || !c->takesInput() || !takesMouse(*c))
        return false;
    if (event == Event::MouseMove && !m_queue.empty() && m_queue.back().event == Event::MouseMove
        && m_queue.back().control == number)
        return true;
    post(event, number);
    return true;
}

bool Window::inputScreenText(int number, std::string text)
{
    auto* c = control(number);
    if (!c || !c->takesInput())
        return false;
    c->typeScreenText(std::move(text));
    return true;
}

bool Window::inputFocus(int number)
{
    if (number == m_focus || (number != 0 && !control(number)))
        return false;
    // Leaving an entry the user changed completes it, as Enter does.
    if (auto* left = control(m_focus); left && left->editing())
        post(Event::Accepted, m_focus);
    m_focus = number;
    if (number != 0)
        post(Event::Selected, number);
    return true;
}

bool Window::inputWindowEvent(Event event)
{
    if (event == Event::Sized && !m_queue.empty() && m_queue.back() == WindowEvent { Event::Sized, 0, -1 })
        return true;
    post(event);
    return true;
}

void Window::holdEvents()
{
    ++m_holds;
}

void Window::releaseEvents()
{
    if (m_holds > 0 && --m_holds == 0)
        schedule();
}

void Window::holdAllEvents()
{
    ++allHolds;
}

void Window::releaseAllEvents()
{
    if (allHolds > 0 && --allHolds == 0) {
        for (auto* window : liveWindows())
            window->schedule();
    }
}

void Window::controlChanged(int number, ControlProperty property)
{
    if (m_view)
        m_view->controlChanged(number, property);
}

void Window::windowChanged(WindowProperty property)
{
    if (m_view)
        m_view->windowChanged(property);
}

EventHold::EventHold()
    : m_window(nullptr)
{
    Window::holdAllEvents();
}

EventHold::EventHold(Window& window)
    : m_window(&window)
    , m_alive(window.alive())
{
    window.holdEvents();
}

EventHold::~EventHold()
{
    if (!m_window)
        Window::releaseAllEvents();
    else if (!m_alive.expired())
        m_window->releaseEvents();
}

Window* Window::current()
{
    const auto& windows = liveWindows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        if ((*it)->running() && (*it)->isOpen())
            return *it;
    }
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        if ((*it)->isOpen())
            return *it;
    }
    return nullptr;
}

} // namespace tvrn2
