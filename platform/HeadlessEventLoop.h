#pragma once

#include "platform/EventLoop.h"

#include <deque>
#include <map>

namespace tvrn2 {

// A loop without a window system. Time is virtual: when no task is ready,
// runUntil jumps the clock to the next timer, so a test of a ten-second
// timer takes no time at all. It never blocks: with nothing left to do, or
// past its time or step limit, runUntil returns false instead of hanging.
class HeadlessEventLoop final : public EventLoop {
public:
    bool runUntil(const std::function<bool()>& done) override;
    bool pump() override;
    void wake() override { }
    void post(Task task) override;
    TimerId startTimer(std::chrono::milliseconds interval, Task tick) override;
    void stopTimer(TimerId id) override;

    // Moves the clock forward, firing the timers that fall due and running
    // the tasks they cause.
    void advance(std::chrono::milliseconds by);
    std::chrono::milliseconds now() const { return m_now; }
    bool timerRunning(TimerId id) const { return m_timers.count(id) != 0; }
    std::size_t pendingTasks() const { return m_tasks.size(); }

    // The watchdog: runUntil gives up past this virtual time or step count.
    void setLimits(std::chrono::milliseconds time, std::size_t steps)
    {
        m_timeLimit = time;
        m_stepLimit = steps;
    }

private:
    struct Timer {
        std::chrono::milliseconds interval;
        std::chrono::milliseconds due;
        Task tick;
    };

    bool runOneTask();
    bool fireNextTimer(std::chrono::milliseconds until);

    std::deque<Task> m_tasks;
    std::map<TimerId, Timer> m_timers;
    TimerId m_nextTimer { 1 };
    std::chrono::milliseconds m_now { 0 };
    std::chrono::milliseconds m_timeLimit { std::chrono::hours(24) };
    std::size_t m_stepLimit { 1'000'000 };
};

} // namespace tvrn2
