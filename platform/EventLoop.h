#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace tvrn2 {

// The loop that drives windows, timers and posted work. The GLib loop runs
// the real program; the headless loop runs tests on a virtual clock.
class EventLoop {
public:
    using TimerId = std::uint64_t;
    using Task = std::function<void()>;

    virtual ~EventLoop() = default;

    // Runs until done() answers true. Returns false when the loop gave up
    // before that: a headless loop with nothing left to do, or past its limit.
    virtual bool runUntil(const std::function<bool()>& done) = 0;
    // Runs the work that is ready without waiting; true when anything ran.
    virtual bool pump() = 0;
    // Makes a waiting runUntil look at its condition again.
    virtual void wake() = 0;
    // Runs the task soon, after the tasks posted before it.
    virtual void post(Task task) = 0;
    // Calls tick every interval until stopped. Ids are never reused.
    virtual TimerId startTimer(std::chrono::milliseconds interval, Task tick) = 0;
    virtual void stopTimer(TimerId id) = 0;
};

// The loop in use; a headless one until the program installs another.
EventLoop& eventLoop();
EventLoop* setEventLoop(EventLoop* loop);

// Installs a loop for one scope.
class ScopedEventLoop {
public:
    explicit ScopedEventLoop(EventLoop& loop)
        : m_previous(setEventLoop(&loop))
    { }
    ~ScopedEventLoop() { setEventLoop(m_previous); }
    ScopedEventLoop(const ScopedEventLoop&) = delete;
    ScopedEventLoop& operator=(const ScopedEventLoop&) = delete;

private:
    EventLoop* m_previous;
};

} // namespace tvrn2
