#pragma once

#include "platform/EventLoop.h"

#include <map>
#include <memory>

namespace tvrn2 {

// The loop of the real program: the default GLib main context, which GTK
// and WebKitGTK dispatch on as well.
class GLibEventLoop final : public EventLoop {
public:
    GLibEventLoop();
    ~GLibEventLoop() override;
    GLibEventLoop(const GLibEventLoop&) = delete;
    GLibEventLoop& operator=(const GLibEventLoop&) = delete;

    bool runUntil(const std::function<bool()>& done) override;
    bool pump() override;
    void wake() override;
    void post(Task task) override;
    TimerId startTimer(std::chrono::milliseconds interval, Task tick) override;
    void stopTimer(TimerId id) override;

private:
    struct Source;
    // GLib source ids of running timers and pending tasks, removed on destruction.
    std::map<TimerId, unsigned> m_timers;
    std::shared_ptr<bool> m_alive;
    TimerId m_nextTimer { 1 };
};

} // namespace tvrn2
