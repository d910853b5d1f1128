#pragma once

#include "platform/EventLoop.h"

#include <chrono>
#include <deque>
#include <functional>
#include <string>

namespace tvrn2 {
class Window;
}

namespace tvrn2::test {

// Drives a window from inside its running event loop: each step waits until
// its condition holds and then acts. A step that waits past the time-out
// fails the test and closes the window (the watchdog), and so does a script
// that runs out of steps with the window still open, so a broken flow ends
// instead of hanging. Time is the loop's: virtual on a headless loop.
class WindowScript {
public:
    WindowScript(Window& window, std::chrono::milliseconds poll, std::chrono::milliseconds timeout);
    ~WindowScript();
    WindowScript(const WindowScript&) = delete;
    WindowScript& operator=(const WindowScript&) = delete;

    WindowScript& step(std::string what, std::function<bool()> until, std::function<void()> action = {});
    WindowScript& act(std::string what, std::function<void()> action)
    {
        return step(std::move(what), {}, std::move(action));
    }

    // The window must close by itself (the previous action asked it to)
    // within the time-out; the script does not close it.
    WindowScript& closes(std::string what);

    // Starts polling on the loop in use; the window's own run follows.
    void start();
    // Every step ran, and a window expected to close did.
    bool finished() const;

private:
    struct Step {
        std::string what;
        std::function<bool()> until;
        std::function<void()> action;
        bool closes { false };
    };

    void poll();
    void closeWindow();

    Window& m_window;
    std::chrono::milliseconds m_poll;
    std::chrono::milliseconds m_timeout;
    std::deque<Step> m_steps;
    std::chrono::milliseconds m_waited { 0 };
    EventLoop::TimerId m_timer { 0 };
    bool m_acting { false };
    bool m_closing { false };
};

} // namespace tvrn2::test
