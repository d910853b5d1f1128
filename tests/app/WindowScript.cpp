#include "tests/app/WindowScript.h"

#include "platform/Window.h"

#include <gtest/gtest.h>

namespace tvrn2::test {

WindowScript::WindowScript(Window& window, std::chrono::milliseconds poll, std::chrono::milliseconds timeout)
    : m_window(window)
    , m_poll(poll)
    , m_timeout(timeout)
{ }

WindowScript::~WindowScript()
{
    if (m_timer)
        eventLoop().stopTimer(m_timer);
}

WindowScript& WindowScript::step(std::string what, std::function<bool()> until, std::function<void()> action)
{
    m_steps.push_back({ std::move(what), std::move(until), std::move(action) });
    return *this;
}

WindowScript& WindowScript::closes(std::string what)
{
    m_steps.push_back({ std::move(what), {}, {}, true });
    return *this;
}

bool WindowScript::finished() const
{
    return m_steps.empty() || (m_steps.size() == 1 && m_steps.front().closes && !m_window.isOpen());
}

void WindowScript::start()
{
    m_timer = eventLoop().startTimer(m_poll, [this] { poll(); });
}

void WindowScript::poll()
{
    // An action that waits on the loop (a modal dialog, a nested check) must
    // not see the next step start underneath it.
    if (m_acting || !m_window.isOpen())
        return;
    if (m_closing) {
        // The close event was not taken: end the window's loop the hard way.
        m_waited += m_poll;
        if (m_waited >= m_timeout) {
            ADD_FAILURE() << "the window did not close";
            eventLoop().stopTimer(m_timer);
            m_timer = 0;
            m_window.close();
        }
        return;
    }
    if (m_steps.empty()) {
        closeWindow();
        return;
    }
    Step& next = m_steps.front();
    if (next.closes || (next.until && !next.until())) {
        m_waited += m_poll;
        if (m_waited >= m_timeout) {
            ADD_FAILURE() << "timed out waiting for: " << next.what;
            m_steps.clear();
            closeWindow();
        }
        return;
    }
    Step current = std::move(next);
    m_steps.pop_front();
    m_waited = std::chrono::milliseconds(0);
    m_acting = true;
    if (current.action)
        current.action();
    m_acting = false;
}

void WindowScript::closeWindow()
{
    m_closing = true;
    m_waited = std::chrono::milliseconds(0);
    m_window.post(Event::CloseWindow);
}

} // namespace tvrn2::test
