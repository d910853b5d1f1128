#include "platform/HeadlessEventLoop.h"

#include <algorithm>

namespace tvrn2 {
namespace {
HeadlessEventLoop defaultLoop;
EventLoop* installedLoop = nullptr;
} // namespace

EventLoop& eventLoop()
{
    return installedLoop ? *installedLoop : defaultLoop;
}

EventLoop* setEventLoop(EventLoop* loop)
{
    auto* previous = installedLoop;
    installedLoop = loop;
    return previous;
}

void HeadlessEventLoop::post(Task task)
{
    m_tasks.push_back(std::move(task));
}

EventLoop::TimerId HeadlessEventLoop::startTimer(std::chrono::milliseconds interval, Task tick)
{
    interval = std::max(interval, std::chrono::milliseconds(1));
    auto id = m_nextTimer++;
    m_timers.emplace(id, Timer { interval, m_now + interval, std::move(tick) });
    return id;
}

void HeadlessEventLoop::stopTimer(TimerId id)
{
    m_timers.erase(id);
}

bool HeadlessEventLoop::runOneTask()
{
    if (m_tasks.empty())
        return false;
    auto task = std::move(m_tasks.front());
    m_tasks.pop_front();
    task();
    return true;
}

// Fires the earliest timer due no later than `until`, moving the clock to it.
bool HeadlessEventLoop::fireNextTimer(std::chrono::milliseconds until)
{
    auto next = std::min_element(m_timers.begin(), m_timers.end(),
        [](const auto& a, const auto& b) { return a.second.due < b.second.due; });
    if (next == m_timers.end() || next->second.due > until)
        return false;
    m_now = std::max(m_now, next->second.due);
    next->second.due = m_now + next->second.interval;
    // The tick may stop or restart its own timer; copy it so it outlives that.
    auto tick = next->second.tick;
    tick();
    return true;
}

bool HeadlessEventLoop::pump()
{
    bool ran = false;
    for (std::size_t steps = 0; steps < m_stepLimit && runOneTask(); ++steps)
        ran = true;
    return ran;
}

void HeadlessEventLoop::advance(std::chrono::milliseconds by)
{
    auto until = m_now + by;
    pump();
    while (fireNextTimer(until))
        pump();
    m_now = until;
}

bool HeadlessEventLoop::runUntil(const std::function<bool()>& done)
{
    for (std::size_t steps = 0; steps < m_stepLimit; ++steps) {
        if (done())
            return true;
        if (runOneTask())
            continue;
        if (!fireNextTimer(m_timeLimit))
            return false;
    }
    return done();
}

} // namespace tvrn2
